// The DER DigestInfo of PKCS#1: what the card signs.
#pragma once

#include <cstdint>

// Room that callers give the DigestInfo; its length is held in one byte.
constexpr uint32_t DIGEST_INFO_CAPACITY = 255;

// Writes 30, n+13, the SHA-1 AlgorithmIdentifier, 04, n and the n digest bytes
// into `out` (room for DIGEST_INFO_CAPACITY bytes) and n+15 into *outLength:
// 35 bytes for a 20-byte digest. Returns 0, or SIGN_ERR_GENERIC (nothing
// written) for a null pointer or a digest too long for a one-byte length.
int32_t fnMakeDigestInfo(const uint8_t* digest, uint32_t digestLength, uint8_t* out,
                         uint8_t* outLength);

// The same for a SHA-256 digest, which must be 32 bytes: 51 bytes, with the
// SHA-256 AlgorithmIdentifier and its NULL parameters.
int32_t makeSha256DigestInfo(const uint8_t* digest, uint32_t digestLength, uint8_t* out,
                             uint8_t* outLength);
