// Loads one SignedFile as the verification program does and reports the
// load's wall time, the process's peak memory and what was found. Run by
// scripts/bench:   load_bench <file.p7m> <content out>
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>

#include "signed_file_loader.h"
#include "test_card_key.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: load_bench <file.p7m> <content out>\n");
        return 2;
    }
    Bytes authorities[ACCEPTED_CA_COUNT];
    AcceptedCaTable table;
    for (int i = 0; i < ACCEPTED_CA_COUNT; ++i) {
        authorities[i] = readWholeFile(testDataPath("pki/ca/" + std::to_string(FIRST_ACCEPTED_CA_ID + i) + ".der"));
        table.set(i, authorities[i].data(), static_cast<uint32_t>(authorities[i].size()));
    }
    auto record = std::make_unique<SignedFileRecord>();
    record->signedPath = argv[1];
    record->contentPath = argv[2];

    const auto start = std::chrono::steady_clock::now();
    const int32_t result = loadSignedFile(*record, table);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("result=%d loaded=%d signers=%d status0=0x%X\n", result, record->loaded,
                record->signerCount, record->signerStatus[0]);
    std::printf("load=%.3f peak_private_bytes=%llu\n", seconds,
                static_cast<unsigned long long>(memory.PeakPagefileUsage));
    return result == 0 ? 0 : 1;
}
