// Signs one file as the signing engine does (the digest, its DigestInfo, the
// card's RSA signature, the SignedFile encoder), in the original form or with
// --cades in the CAdES form, with a test card's key in place of the card, and
// reports the time of each step and the process's peak memory.
// scripts/bench and scripts/check-signed-files run it:
//   sign_with_test_key [--cades] <content> <out.p7m> <card name> [personal-data record file]
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "file_io.h"
#include "signature_form.h"
#include "test_card_key.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const bool cades = argc > 1 && std::string(argv[1]) == "--cades";
    if (cades) {
        --argc;
        ++argv;
    }
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: sign_with_test_key [--cades] <content> <out.p7m> <card> [record]\n");
        return 2;
    }
    try {
        const TestCard card = loadTestCard(argv[3]);
        const Bytes record = argc == 5 ? readWholeFile(argv[4]) : Bytes{};
        const auto start = std::chrono::steady_clock::now();
        FileContent file;
        if (readFileContent(argv[1], &file) != ReadResult::Ok) throw std::runtime_error("cannot read the content");
        const uint8_t* content = file.data.get();
        const uint32_t size = file.size;
        const double readTime = secondsSince(start);

        auto step = std::chrono::steady_clock::now();
        SignatureRequest request(cades ? SignatureForm::CadesBes : SignatureForm::Pkcs7Sha1);
        SYSTEMTIME now;
        GetSystemTime(&now);
        if (request.prepare(content, size, card.certificate.data(), static_cast<uint32_t>(card.certificate.size()),
                            now) != 0) {
            throw std::runtime_error("the digest failed");
        }
        const Bytes signature =
            signDigestInfo(card, Bytes(request.digestInfo(), request.digestInfo() + request.digestInfoLength()));
        const double signTime = secondsSince(step);

        step = std::chrono::steady_clock::now();
        uint32_t length = 0;
        auto encode = [&](uint8_t* out) {
            return request.encode(content, size, signature.data(), static_cast<uint32_t>(signature.size()),
                                  card.certificate.data(), static_cast<uint32_t>(card.certificate.size()),
                                  record.data(), static_cast<uint32_t>(record.size()), out, &length);
        };
        if (encode(nullptr) != 0) throw std::runtime_error("encoder failed to measure");
        auto* out = static_cast<uint8_t*>(std::malloc(length));
        if (!out) throw std::runtime_error("no memory for a SignedFile of " + std::to_string(length) + " bytes");
        if (encode(out) != 0) throw std::runtime_error("encoder failed");
        const double encodeTime = secondsSince(step);

        step = std::chrono::steady_clock::now();
        if (writeFileContent(argv[2], out, length) != 0) throw std::runtime_error("cannot write the SignedFile");
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
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sign_with_test_key: %s\n", e.what());
        return 1;
    }
    return 0;
}
