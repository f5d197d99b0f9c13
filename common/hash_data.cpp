#include "hash_data.h"

namespace {
constexpr size_t HASH_PIECE = 64u << 20;
}

bool hashData(HCRYPTHASH hash, const uint8_t* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const size_t piece = size - done < HASH_PIECE ? size - done : HASH_PIECE;
        if (!CryptHashData(hash, data + done, static_cast<DWORD>(piece), 0)) return false;
        done += piece;
    }
    return true;
}

Sha256Hasher::Sha256Hasher() {
    if (!CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) provider_ = 0;
}

Sha256Hasher::~Sha256Hasher() {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
}

bool Sha256Hasher::begin() {
    if (hash_) CryptDestroyHash(hash_);
    hash_ = 0;
    failed_ = provider_ == 0 || !CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_);
    return !failed_;
}

bool Sha256Hasher::add(const uint8_t* data, size_t size) {
    if (!failed_ && hash_ && !hashData(hash_, data, size)) failed_ = true;
    return !failed_ && hash_ != 0;
}

std::string Sha256Hasher::finishHex() {
    uint8_t digest[32];
    DWORD length = sizeof digest;
    const bool ok = !failed_ && hash_ && CryptGetHashParam(hash_, HP_HASHVAL, digest, &length, 0) && length == 32;
    if (hash_) CryptDestroyHash(hash_);
    hash_ = 0;
    if (!ok) return std::string();
    static const char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += DIGITS[b >> 4];
        text += DIGITS[b & 15];
    }
    return text;
}
