#include "der.h"

#include <cstdlib>
#include <cstring>

#include "result_codes.h"

uint8_t derLengthCount(uint32_t length) {
    if (length <= 126) return 1;
    if (length <= 0xFF) return 2;
    if (length <= 0xFFFF) return 3;
    if (length <= 0xFFFFFF) return 4;
    return 5;
}

uint8_t derLengthOctets(uint32_t length, uint8_t octets[DER_MAX_LENGTH_OCTETS]) {
    const uint8_t count = derLengthCount(length);
    if (count == 1) {
        octets[0] = static_cast<uint8_t>(length);
        return 1;
    }
    const uint8_t following = count - 1;
    octets[0] = static_cast<uint8_t>(0x80 | following);
    for (uint8_t i = 0; i < following; ++i) {
        octets[count - 1 - i] = static_cast<uint8_t>(length >> (8 * i));
    }
    return count;
}

uint32_t derWriteHeader(uint8_t tag, uint32_t length, uint8_t* out) {
    out[0] = tag;
    return 1u + derLengthOctets(length, out + 1);
}

int32_t fnDerLength(uint32_t length, uint8_t** octetsOut, uint8_t* countOut) {
    uint8_t octets[DER_MAX_LENGTH_OCTETS];
    const uint8_t count = derLengthOctets(length, octets);
    auto* block = static_cast<uint8_t*>(std::malloc(count));
    if (block == nullptr) return PKCS7_ERR_MEMORY;
    std::memcpy(block, octets, count);
    *octetsOut = block;
    *countOut = count;
    return 0;
}

int32_t fnDerWrap(uint8_t tag, const uint8_t* content, uint32_t contentLength,
                  uint8_t** blockOut, uint32_t* blockLengthOut) {
    const uint64_t total = 1ull + derLengthCount(contentLength) + contentLength;
    if (total > UINT32_MAX) return PKCS7_ERR_MEMORY;
    auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total)));
    if (block == nullptr) return PKCS7_ERR_MEMORY;
    const uint32_t header = derWriteHeader(tag, contentLength, block);
    if (contentLength > 0) std::memcpy(block + header, content, contentLength);
    *blockOut = block;
    *blockLengthOut = static_cast<uint32_t>(total);
    return 0;
}

uint8_t strictLengthCount(uint64_t length) {
    uint8_t count = 1;
    if (length > 127) {
        for (uint64_t rest = length; rest != 0; rest >>= 8) ++count;
    }
    return count;
}

void appendStrictHeader(std::vector<uint8_t>& out, uint8_t tag, uint64_t length) {
    out.push_back(tag);
    const uint8_t count = strictLengthCount(length);
    if (count == 1) {
        out.push_back(static_cast<uint8_t>(length));
        return;
    }
    out.push_back(static_cast<uint8_t>(0x80 | (count - 1)));
    for (int shift = 8 * (count - 2); shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(length >> shift));
}

void appendStrictElement(std::vector<uint8_t>& out, uint8_t tag, const uint8_t* content, size_t length) {
    appendStrictHeader(out, tag, length);
    if (length > 0) out.insert(out.end(), content, content + length);
}

void appendStrictElement(std::vector<uint8_t>& out, uint8_t tag, const std::vector<uint8_t>& content) {
    appendStrictElement(out, tag, content.data(), content.size());
}
