// Takes the European list of trusted lists, believes it only when one of the
// given certificates signed it, and writes out the certificates that its
// pointer to one member state's list names as that list's signers:
//   extract_list_signers <list of lists.xml> --signers <folder> --territory IT --out <folder>
// Each certificate goes to "<out>\<territory>-<n>.der" (n from 1); a file
// already there is not overwritten. Exits 0 when at least one was written.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "trusted_list_source.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: extract_list_signers <list of lists.xml> --signers <folder> --territory IT --out <folder>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source, signersFolder, territory, outFolder;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--signers") == 0 && hasValue) signersFolder = argv[++i];
        else if (std::strcmp(argv[i], "--territory") == 0 && hasValue) territory = argv[++i];
        else if (std::strcmp(argv[i], "--out") == 0 && hasValue) outFolder = argv[++i];
        else if (argv[i][0] != '-' && source.empty()) source = argv[i];
        else return usage();
    }
    if (source.empty() || signersFolder.empty() || territory.empty() || outFolder.empty()) return usage();

    std::vector<uint8_t> bytes;
    if (!readListFile(source, &bytes)) {
        std::printf("File non leggibile: %s\n", source.c_str());
        return 1;
    }
    std::unique_ptr<AcceptedTrustedList> accepted;
    const std::string refusal = acceptTrustedList(std::move(bytes), readPinnedSigners(signersFolder), nullptr, utcNow(), &accepted);
    if (!refusal.empty()) {
        std::printf("Lista delle liste non creduta: %s\n", utf8FromProgramText(refusal).c_str());
        return 1;
    }
    unsigned written = 0;
    for (const OtherListPointer& pointer : accepted->list().pointers) {
        // The pointer to the list itself, not to its human-readable copy.
        if (pointer.territory != territory || pointer.mimeType != "application/vnd.etsi.tsl+xml") continue;
        std::printf("Lista di %s: %s\n", territory.c_str(), pointer.location.c_str());
        for (const CertificateBytes& certificate : pointer.signers) {
            const std::string path = outFolder + "\\" + territory + "-" + std::to_string(written + 1) + ".der";
            // CREATE_NEW: a file already there stays as it is.
            const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            const bool ok = file != INVALID_HANDLE_VALUE &&
                            WriteFile(file, certificate.data(), static_cast<DWORD>(certificate.size()), &written, nullptr) &&
                            written == certificate.size();
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            if (!ok) {
                std::printf("Non scritto: %s\n", path.c_str());
                return 1;
            }
            std::printf("Scritto: %s\n", path.c_str());
            ++written;
        }
    }
    if (written == 0) std::printf("Nessun certificato per %s\n", territory.c_str());
    return written > 0 ? 0 : 1;
}
