#include "digest_info.h"

#include <cstring>

#include "result_codes.h"

namespace {

// SEQUENCE { OID, NULL }: the AlgorithmIdentifiers of the two digests.
const uint8_t SHA1_ALGORITHM[] = {0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00};
const uint8_t SHA256_ALGORITHM[] = {0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                    0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00};

int32_t makeDigestInfo(const uint8_t* algorithm, uint32_t algorithmLength, const uint8_t* digest,
                       uint32_t digestLength, uint8_t* out, uint8_t* outLength) {
    // The prefix and the OCTET STRING header around the digest.
    const uint32_t overhead = 2 + algorithmLength + 2;
    // Every length inside must stay in the short form, and the whole in one byte.
    if (digest == nullptr || out == nullptr || outLength == nullptr || digestLength + overhead > 127) {
        return SIGN_ERR_GENERIC;
    }
    uint8_t* p = out;
    *p++ = 0x30;
    *p++ = static_cast<uint8_t>(algorithmLength + 2 + digestLength);
    std::memcpy(p, algorithm, algorithmLength);
    p += algorithmLength;
    *p++ = 0x04;
    *p++ = static_cast<uint8_t>(digestLength);
    std::memcpy(p, digest, digestLength);
    *outLength = static_cast<uint8_t>(digestLength + overhead);
    return 0;
}

}  // namespace

int32_t fnMakeDigestInfo(const uint8_t* digest, uint32_t digestLength, uint8_t* out,
                         uint8_t* outLength) {
    return makeDigestInfo(SHA1_ALGORITHM, sizeof SHA1_ALGORITHM, digest, digestLength, out, outLength);
}

int32_t makeSha256DigestInfo(const uint8_t* digest, uint32_t digestLength, uint8_t* out,
                             uint8_t* outLength) {
    if (digestLength != 32) return SIGN_ERR_GENERIC;
    return makeDigestInfo(SHA256_ALGORITHM, sizeof SHA256_ALGORITHM, digest, digestLength, out, outLength);
}
