// Result codes of the signing engine, returned as signed 32-bit integers.
#pragma once

#include <cstdint>

constexpr int32_t SIGN_OK = 0;
constexpr int32_t SIGN_ERR_GENERIC = -1;          // module back-end: every other failure
constexpr int32_t SIGN_ERR_PIN = 0x6300;          // the card refused the PIN
constexpr int32_t SIGN_ERR_DIGEST = 0x2001;       // middleware back-end: the digest failed
constexpr int32_t SIGN_ERR_BUFFER_SMALL = 0x1001; // middleware back-end: caller's buffer too small
constexpr int32_t SIGN_ERR_CARD_LENGTH = 0x2002;  // middleware back-end: the middleware reported a
                                                  // signature or certificate longer than its buffer
constexpr int32_t SIGN_ERR_EXCEPTION = static_cast<int32_t>(0x80000000u);

// The SignedFile encoder.
constexpr int32_t PKCS7_ERR_MEMORY = 8;           // no memory, or a SignedFile over 4 GiB
constexpr int32_t PKCS7_ERR_BUFFER_SMALL = 122;   // output buffer smaller than the SignedFile
                                                  // (the value of ERROR_INSUFFICIENT_BUFFER)

// fnSha1Digest.
constexpr int32_t DIGEST_ERR_ARGUMENT = -220;     // null pointer or zero length
constexpr int32_t DIGEST_ERR_PROVIDER = -100;     // no cryptographic provider context
constexpr int32_t DIGEST_ERR_HASH = -110;         // no hash object
constexpr int32_t DIGEST_ERR_READ = -120;         // hashing or reading the value failed
constexpr int32_t DIGEST_ERR_MEMORY = -130;       // out of memory
