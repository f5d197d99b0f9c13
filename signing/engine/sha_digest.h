// SHA-1 and SHA-256 of a buffer through the platform's cryptographic providers.
#pragma once

#include <cstdint>

constexpr uint32_t SHA1_DIGEST_LENGTH = 20;

// Returns 0 and hands over a newly allocated digest (release it with free())
// and its length (20); or DIGEST_ERR_ARGUMENT (-220) for a null pointer or a
// zero length, DIGEST_ERR_PROVIDER (-100), DIGEST_ERR_HASH (-110),
// DIGEST_ERR_READ (-120) or DIGEST_ERR_MEMORY (-130). Nothing is handed over
// on failure.
int32_t fnSha1Digest(const uint8_t* data, uint32_t length, uint8_t** digestOut,
                     uint32_t* digestLengthOut);

// The same for SHA-256 (a 32-byte digest), through the AES provider, with the
// same results.
int32_t sha256Digest(const uint8_t* data, uint32_t length, uint8_t** digestOut,
                     uint32_t* digestLengthOut);
