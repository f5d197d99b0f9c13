// Signs one file as the signing engine does (SHA-1, DigestInfo, the card's RSA
// signature, the SignedFile encoder), with a test card's key in place of the
// card, and reports the time of each step and the process's peak memory.
// scripts/bench and scripts/demo run it:
//   test_key_signer <content> <out.p7m> <card name>
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "pkcs7_encoder.h"
#include "test_card_key.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The whole file in one block, as the signing engine holds it.
uint8_t* readContent(const char* path, uint32_t* size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    *size = GetFileSize(file, nullptr);
    auto* data = static_cast<uint8_t*>(std::malloc(*size ? *size : 1));
    DWORD got = 0;
    const bool ok = data && ReadFile(file, data, *size, &got, nullptr) && got == *size;
    CloseHandle(file);
    if (!ok) { std::free(data); return nullptr; }
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: test_key_signer <content> <out.p7m> <card>\n");
        return 2;
    }
    try {
        const TestCard card = loadTestCard(argv[3]);
        const auto start = std::chrono::steady_clock::now();
        uint32_t size = 0;
        uint8_t* content = readContent(argv[1], &size);
        if (!content) throw std::runtime_error("cannot read the content");
        const double readTime = secondsSince(start);

        auto step = std::chrono::steady_clock::now();
        const Bytes signature = signContent(card, content, size);
        const double signTime = secondsSince(step);

        step = std::chrono::steady_clock::now();
        uint32_t length = 0;
        auto encode = [&](uint8_t* out) {
            return fnBuildPkcs7(content, size, signature.data(), static_cast<uint32_t>(signature.size()),
                                card.certificate.data(), static_cast<uint32_t>(card.certificate.size()),
                                nullptr, 0, out, &length);
        };
        if (encode(nullptr) != 0) throw std::runtime_error("encoder failed to measure");
        auto* out = static_cast<uint8_t*>(std::malloc(length));
        if (!out || encode(out) != 0) throw std::runtime_error("encoder failed");
        const double encodeTime = secondsSince(step);

        step = std::chrono::steady_clock::now();
        HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE || !WriteFile(file, out, length, &written, nullptr) ||
            written != length) {
            throw std::runtime_error("cannot write the SignedFile");
        }
        CloseHandle(file);
        const double writeTime = secondsSince(step);
        const double total = secondsSince(start);

        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
        std::printf("content_bytes=%u signed_file_bytes=%u\n", size, length);
        std::printf("read=%.3f digest_and_sign=%.3f encode=%.3f write=%.3f total=%.3f\n",
                    readTime, signTime, encodeTime, writeTime, total);
        std::printf("peak_working_set_bytes=%llu peak_private_bytes=%llu\n",
                    static_cast<unsigned long long>(memory.PeakWorkingSetSize),
                    static_cast<unsigned long long>(memory.PeakPagefileUsage));
        std::free(out);
        std::free(content);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "test_key_signer: %s\n", e.what());
        return 1;
    }
    return 0;
}
