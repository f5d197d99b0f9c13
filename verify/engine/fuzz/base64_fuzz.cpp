// libFuzzer target: any bytes as base64 text. The decoder must stay inside
// its buffers and give at most three bytes for every four characters, plus
// the last group.
#include <cstdint>
#include <cstdlib>

#include "base64_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Base64Codec codec;
    codec.decode(data, size);
    size_t kept = 0;
    for (size_t i = 0; i < size; ++i) kept += Base64Codec::isSkipped(data[i]) ? 0 : 1;
    if (codec.outputLength() != kept / 4 * 3 + kept % 4) std::abort();
    volatile uint8_t sink = 0;
    for (size_t i = 0; i < codec.outputLength(); ++i) sink ^= codec.outputBuffer()[i];
    (void)sink;
    return 0;
}
