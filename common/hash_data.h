// Feeding large blocks to a CryptoAPI hash object; SHA-256 digests as text.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <cstdint>
#include <string>

// CryptHashData in pieces of 64 MiB. Wine's SHA-1 gives a wrong value when a
// single call passes 512 MiB or more (the length in bits overflows 32 bits),
// and a DWORD cannot pass 4 GiB at all. False when a call fails.
bool hashData(HCRYPTHASH hash, const uint8_t* data, size_t size);

// SHA-256 digests in lower-case hex, one after another, through one provider
// of the platform (the AES provider, which has SHA-256).
class Sha256Hasher {
public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;

    // Starts a new digest; false when the platform gives none.
    bool begin();
    // Adds bytes to the digest begun; false once anything has failed.
    bool add(const uint8_t* data, size_t size);
    // The digest of what was added since begin(), as 64 hex digits; empty
    // when anything failed.
    std::string finishHex();

private:
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
    bool failed_ = false;
};
