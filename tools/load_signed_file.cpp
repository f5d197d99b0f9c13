// Loads one SignedFile as the verification program does and prints what its
// signers list would show:
//   load_signed_file <file.p7m> [content out] [--cas <folder>]
//                    [--trusted-list <list.xml> --signers <folder>] [--at <time>]
// The first line is the load's result; then one line per signer with the name
// column, the state column, the icon index, the signing time (empty when
// none) and, where the trusted list vouches for the signer, the report's
// "Qualifica" cell; then the summary line (texts in UTF-8). The accepted
// authorities are <folder>\140.der to 146.der, by default those of the test
// PKI. A trusted list counts once it passes the gate with the pinned
// certificates of the signers folder (else the tool ends with 3). --at
// judges as of a time (2019-10-01T00:00:00Z) instead of now. The load's wall
// time and the process's peak memory go to standard error, for scripts/bench.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "ansi_text.h"
#include "folder_rules.h"
#include "list_trust.h"
#include "signed_file_loader.h"
#include "signer_display.h"
#include "test_pki_authorities.h"
#include "trusted_list_source.h"

int main(int argc, char** argv) {
    std::string signedPath, contentPath, casFolder = testDataPath("pki/ca"), listPath, signersFolder, at;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cas") == 0 && i + 1 < argc) {
            casFolder = argv[++i];
        } else if (std::strcmp(argv[i], "--trusted-list") == 0 && i + 1 < argc) {
            listPath = argv[++i];
        } else if (std::strcmp(argv[i], "--signers") == 0 && i + 1 < argc) {
            signersFolder = argv[++i];
        } else if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc) {
            at = argv[++i];
        } else if (signedPath.empty()) {
            signedPath = argv[i];
        } else if (contentPath.empty()) {
            contentPath = argv[i];
        } else {
            signedPath.clear();
            break;
        }
    }
    UtcSeconds atSeconds = 0;
    if (signedPath.empty() || listPath.empty() != signersFolder.empty() || (!at.empty() && !readDateTime(at, &atSeconds))) {
        std::fprintf(stderr, "usage: load_signed_file <file.p7m> [content out] [--cas <folder>]\n"
                             "       [--trusted-list <list.xml> --signers <folder>] [--at <yyyy-mm-ddThh:mm:ssZ>]\n");
        return 2;
    }
    const TestPkiAuthorities authorities(casFolder);
    std::shared_ptr<const AcceptedTrustedList> list;
    if (!listPath.empty()) {
        std::vector<uint8_t> bytes;
        std::unique_ptr<AcceptedTrustedList> accepted;
        const std::string refusal = readListFile(listPath, &bytes)
                                        ? acceptTrustedList(bytes, readPinnedSigners(signersFolder), nullptr,
                                                            utcNow(), &accepted)
                                        : "lista non leggibile";
        if (!refusal.empty()) {
            std::fprintf(stderr, "trusted list refused: %s\n", refusal.c_str());
            return 3;
        }
        list = std::move(accepted);
    }
    const ListTrust trust(authorities.table(), list);
    const FILETIME judgedAt = fileTimeOf(atSeconds);
    auto record = std::make_unique<SignedFileRecord>();
    record->signedPath = signedPath;
    record->contentPath = contentPath;

    const auto start = std::chrono::steady_clock::now();
    const int32_t result = loadSignedFile(*record, trust, at.empty() ? nullptr : &judgedAt);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("result=%d (0x%08X)\n", result, static_cast<unsigned>(result));
    if (record->loaded) {
        for (int g = 0; g < record->signerCount; ++g) {
            const SignerStatus status = record->signerStatus[g];
            const int32_t depth = record->signerDepths[g];
            const std::string qualification = qualifiedBy(record->trustProviders[g], record->qualifications[g]);
            std::printf("%s | %s | %d | %s%s%s\n", utf8FromAnsi(signerNameText(record->signerNames[g], depth)).c_str(),
                        utf8FromAnsi(signerStateText(*record, g)).c_str(), statusIcon(status),
                        record->signingTimes[g].c_str(), qualification.empty() ? "" : " | ", qualification.c_str());
        }
    }
    std::printf("%s\n", result == LOAD_ERR_NOT_VERIFIABLE ? notVerifiableLine(record->unverifiedAlgorithms[0]).c_str()
                                                          : summaryLine(record->loaded != 0, record->signerCount).c_str());

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::fprintf(stderr, "load=%.3f peak_private_bytes=%llu\n", seconds,
                 static_cast<unsigned long long>(memory.PeakPagefileUsage));
    return result == 0 ? 0 : 1;
}
