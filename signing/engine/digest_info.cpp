#include "digest_info.h"

#include <cstring>

#include "result_codes.h"

namespace {
// SEQUENCE { OID 1.3.14.3.2.26, NULL }: the SHA-1 AlgorithmIdentifier.
const uint8_t SHA1_ALGORITHM[] = {0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00};
// The prefix and the OCTET STRING header around the digest.
constexpr uint32_t DIGEST_INFO_OVERHEAD = 2 + sizeof SHA1_ALGORITHM + 2;
}  // namespace

int32_t fnMakeDigestInfo(const uint8_t* digest, uint32_t digestLength, uint8_t* out,
                         uint8_t* outLength) {
    // Every length inside must stay in the short form, and the whole in one byte.
    if (digest == nullptr || out == nullptr || outLength == nullptr ||
        digestLength + DIGEST_INFO_OVERHEAD > 127) {
        return SIGN_ERR_GENERIC;
    }
    uint8_t* p = out;
    *p++ = 0x30;
    *p++ = static_cast<uint8_t>(digestLength + 13);
    std::memcpy(p, SHA1_ALGORITHM, sizeof SHA1_ALGORITHM);
    p += sizeof SHA1_ALGORITHM;
    *p++ = 0x04;
    *p++ = static_cast<uint8_t>(digestLength);
    std::memcpy(p, digest, digestLength);
    *outLength = static_cast<uint8_t>(digestLength + DIGEST_INFO_OVERHEAD);
    return 0;
}
