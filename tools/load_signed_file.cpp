// Loads one SignedFile as the verification program does and prints what its
// signers list would show:
//   load_signed_file <file.p7m> [content out] [--cas <folder>]
// The first line is the load's result; then one line per signer with the name
// column, the state column, the icon index and the signing time (empty when
// none); then the summary line (texts in UTF-8). The accepted authorities are <folder>\140.der to 146.der, by default
// those of the test PKI. The load's wall time and the process's peak memory go
// to standard error, for scripts/bench.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "ansi_text.h"
#include "signed_file_loader.h"
#include "signer_display.h"
#include "test_pki_authorities.h"

int main(int argc, char** argv) {
    std::string signedPath, contentPath, casFolder = testDataPath("pki/ca");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cas") == 0 && i + 1 < argc) {
            casFolder = argv[++i];
        } else if (signedPath.empty()) {
            signedPath = argv[i];
        } else if (contentPath.empty()) {
            contentPath = argv[i];
        } else {
            signedPath.clear();
            break;
        }
    }
    if (signedPath.empty()) {
        std::fprintf(stderr, "usage: load_signed_file <file.p7m> [content out] [--cas <folder>]\n");
        return 2;
    }
    const TestPkiAuthorities authorities(casFolder);
    auto record = std::make_unique<SignedFileRecord>();
    record->signedPath = signedPath;
    record->contentPath = contentPath;

    const auto start = std::chrono::steady_clock::now();
    const int32_t result = loadSignedFile(*record, authorities.table());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("result=%d (0x%08X)\n", result, static_cast<unsigned>(result));
    if (record->loaded) {
        for (int g = 0; g < record->signerCount; ++g) {
            const SignerStatus status = record->signerStatus[g];
            const int32_t depth = record->signerDepths[g];
            std::printf("%s | %s | %d | %s\n", utf8FromAnsi(signerNameText(record->signerNames[g], depth)).c_str(),
                        utf8FromAnsi(signerStateText(*record, g)).c_str(),
                        statusIcon(status),
                        record->signingTimes[g].c_str());
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
