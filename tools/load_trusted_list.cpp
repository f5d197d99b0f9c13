// Loads a trusted list as the verification program does and says whether it
// is believed and why, then prints its providers and services with their
// current status (UTF-8):
//   load_trusted_list <file | http://address> [--signers <folder>] [--known <file>]
// --signers names the folder of the certificates that may sign the list (by
// default the installed ones); --known a list believed before, whose sequence
// number the list may not go below. The line "gate=<seconds>" gives the time
// the gate took. Exits 0 only when the list is believed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "trusted_list_source.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: load_trusted_list <file | http://address> [--signers <folder>] [--known <file>]\n");
    return 2;
}

bool isAddress(const std::string& source) {
    return source.compare(0, 7, "http://") == 0 || source.compare(0, 8, "https://") == 0;
}

// The list's bytes from a file or an address; empty with `failure` set when none.
std::vector<uint8_t> fetch(const std::string& source, std::string* failure) {
    if (isAddress(source)) return downloadList(source, LIST_RETRIEVAL_SECONDS, failure);
    std::vector<uint8_t> bytes;
    if (!readListFile(source, &bytes)) *failure = "file non leggibile";
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source, knownPath, signersFolder = installedListSettings().signersFolder;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--signers") == 0 && hasValue) signersFolder = argv[++i];
        else if (std::strcmp(argv[i], "--known") == 0 && hasValue) knownPath = argv[++i];
        else if (argv[i][0] != '-' && source.empty()) source = argv[i];
        else return usage();
    }
    if (source.empty()) return usage();
    const std::vector<CertificateBytes> pinned = readPinnedSigners(signersFolder);
    std::printf("Firmatari ammessi: %u (%s)\n", static_cast<unsigned>(pinned.size()), signersFolder.c_str());

    std::unique_ptr<AcceptedTrustedList> known;
    if (!knownPath.empty()) {
        std::string failure;
        std::vector<uint8_t> bytes = fetch(knownPath, &failure);
        const std::string refusal = failure.empty() ? acceptTrustedList(bytes, pinned, nullptr, utcNow(), &known) : failure;
        if (!refusal.empty()) {
            std::printf("Lista nota non creduta: %s\n", utf8FromProgramText(refusal).c_str());
            return 1;
        }
    }
    std::string failure;
    std::vector<uint8_t> bytes = fetch(source, &failure);
    std::unique_ptr<AcceptedTrustedList> accepted;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const std::string refusal =
        failure.empty() ? acceptTrustedList(std::move(bytes), pinned, known ? &known->list() : nullptr, utcNow(), &accepted)
                        : failure;
    QueryPerformanceCounter(&end);
    // The gate's time: reading, canonicalizing, digests, signature and content.
    std::printf("gate=%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    if (!refusal.empty()) {
        std::printf("Lista non creduta: %s\n", utf8FromProgramText(refusal).c_str());
        return 1;
    }
    const TrustedList& list = accepted->list();
    std::printf("Lista creduta: %s (%s), numero di sequenza %llu, emessa il %s, prossimo aggiornamento %s%s\n",
                list.issuer.c_str(), list.territory.c_str(), static_cast<unsigned long long>(list.sequenceNumber),
                formatUtc(list.issued).c_str(), list.closed ? "nessuno" : formatUtc(list.nextUpdate).c_str(),
                accepted->speaksFor(utcNow()) ? "" : " (scaduta: vale per i tempi fino al prossimo aggiornamento)");

    std::map<std::string, std::map<std::string, unsigned>> counts;  // type -> status -> services
    size_t services = 0;
    for (const TrustServiceProvider& provider : list.providers) {
        std::printf("%s\n", provider.name.c_str());
        for (const TrustService& service : provider.services) {
            ++services;
            const std::string type = serviceTypeName(service.current.type);
            const std::string status = statusName(service.current.status);
            ++counts[type][status];
            std::printf("  %s %s dal %s: %s\n", type.c_str(), status.c_str(), formatUtc(service.current.since).c_str(),
                        service.name.c_str());
        }
    }
    for (const OtherListPointer& pointer : list.pointers) {
        std::printf("Lista di %s: %s (%s), %u certificati di firma\n", pointer.territory.c_str(), pointer.location.c_str(),
                    pointer.mimeType.c_str(), static_cast<unsigned>(pointer.signers.size()));
    }
    std::printf("Fornitori: %u, servizi: %u\n", static_cast<unsigned>(list.providers.size()), static_cast<unsigned>(services));
    for (const auto& type : counts) {
        for (const auto& status : type.second) {
            std::printf("Servizi %s %s: %u\n", type.first.c_str(), status.first.c_str(), status.second);
        }
    }
    return 0;
}
