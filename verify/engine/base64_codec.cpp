#include "base64_codec.h"

#include <cstring>

namespace {

constexpr uint8_t NOT_IN_ALPHABET = 0xFE;
constexpr uint8_t PADDING = 0xFF;

// Sextet of each byte: the 64 characters of the alphabet, and the same
// characters with the high bit set; "=" (and 0xBD) is padding.
struct DecodingTable {
    uint8_t sextet[256];
    DecodingTable() {
        std::memset(sextet, NOT_IN_ALPHABET, sizeof sextet);
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (uint8_t v = 0; v < 64; ++v) {
            const auto c = static_cast<uint8_t>(alphabet[v]);
            sextet[c] = v;
            sextet[c + 128] = v;
        }
        sextet['='] = PADDING;
        sextet['=' + 128] = PADDING;
    }
};

const DecodingTable& table() {
    static const DecodingTable built;  // on the first decode, kept for the process
    return built;
}

// Three bytes from four sextets, in 8-bit arithmetic; padding counts as zero
// in the last two places only.
void joinGroup(const uint8_t in[4], uint8_t out[3]) {
    const uint8_t s0 = in[0], s1 = in[1];
    const uint8_t s2 = in[2] == PADDING ? 0 : in[2];
    const uint8_t s3 = in[3] == PADDING ? 0 : in[3];
    out[0] = static_cast<uint8_t>((s0 << 2) | ((s1 >> 4) & 0x03));
    out[1] = static_cast<uint8_t>((s1 << 4) | ((s2 >> 2) & 0x0F));
    out[2] = static_cast<uint8_t>((s2 << 6) | (s3 & 0x3F));
}

}  // namespace

void Base64Codec::prepareBuffer(Buffer& buffer, size_t need) {
    if (buffer.capacity < need) {
        buffer.data.reset();
        buffer.capacity = 0;
        const size_t capacity = (need / 4096 + 1) * 4096;
        buffer.data.reset(new uint8_t[capacity]);
        buffer.capacity = capacity;
    }
    if (buffer.capacity > 0) std::memset(buffer.data.get(), 0, buffer.capacity);
    buffer.length = 0;
}

void Base64Codec::decode(const uint8_t* text, size_t length) {
    const DecodingTable& t = table();
    prepareBuffer(work_, length);
    for (size_t i = 0; i < length; ++i) {
        if (!isSkipped(text[i])) work_.data[work_.length++] = text[i];
    }
    prepareBuffer(output_, length);

    size_t o = 0;
    uint8_t sextets[4];
    for (; work_.length - o >= 4; o += 4) {
        for (int k = 0; k < 4; ++k) sextets[k] = t.sextet[work_.data[o + k]];
        joinGroup(sextets, output_.data.get() + output_.length);
        output_.length += 3;
    }
    const size_t last = work_.length - o;
    if (last > 0) {
        // Room is certain: the capacity exceeds the text's length.
        std::memset(sextets, 0, sizeof sextets);
        for (size_t k = 0; k < last; ++k) sextets[k] = t.sextet[work_.data[o + k]];
        joinGroup(sextets, output_.data.get() + output_.length);
        output_.length += last;
    }
}

bool Base64Codec::mayDecodeToSequence(const uint8_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (!isSkipped(text[i])) return (text[i] & 0x7F) == 'M';
    }
    return false;
}
