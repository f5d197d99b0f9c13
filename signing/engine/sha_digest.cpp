#include "sha_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>

#include "hash_data.h"
#include "result_codes.h"

namespace {

// The provider handle and hash object of one digest, released whichever way
// the digest ends.
class DigestResources {
public:
    ~DigestResources() {
        if (hash != 0) CryptDestroyHash(hash);
        if (provider != 0) CryptReleaseContext(provider, 0);
    }
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
};

bool acquireProvider(ALG_ID algorithm, HCRYPTPROV* provider) {
    // SHA-256 needs the AES provider; no key is used, so no key set either.
    if (algorithm != CALG_SHA1) {
        return CryptAcquireContextA(provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) != FALSE;
    }
    // The machine key set of the base provider; created on a machine that has none.
    if (CryptAcquireContextA(provider, nullptr, MS_DEF_PROV_A, PROV_RSA_FULL,
                             CRYPT_MACHINE_KEYSET)) {
        return true;
    }
    return CryptAcquireContextA(provider, nullptr, MS_DEF_PROV_A, PROV_RSA_FULL,
                                CRYPT_MACHINE_KEYSET | CRYPT_NEWKEYSET) != FALSE;
}

int32_t digestOf(ALG_ID algorithm, const uint8_t* data, uint32_t length, uint8_t** digestOut,
                 uint32_t* digestLengthOut) {
    if (data == nullptr || length == 0 || digestOut == nullptr || digestLengthOut == nullptr) {
        return DIGEST_ERR_ARGUMENT;
    }
    DigestResources r;
    if (!acquireProvider(algorithm, &r.provider)) return DIGEST_ERR_PROVIDER;
    if (!CryptCreateHash(r.provider, algorithm, 0, 0, &r.hash)) return DIGEST_ERR_HASH;
    if (!hashData(r.hash, data, length)) return DIGEST_ERR_READ;

    DWORD hashSize = 0;
    DWORD sizeLength = sizeof hashSize;
    if (!CryptGetHashParam(r.hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize),
                           &sizeLength, 0)) {
        return DIGEST_ERR_READ;
    }

    DWORD valueLength = 0;
    if (!CryptGetHashParam(r.hash, HP_HASHVAL, nullptr, &valueLength, 0)) return DIGEST_ERR_READ;
    auto* value = static_cast<uint8_t*>(std::malloc(valueLength));
    if (value == nullptr) return DIGEST_ERR_MEMORY;
    if (!CryptGetHashParam(r.hash, HP_HASHVAL, value, &valueLength, 0)) {
        std::free(value);
        return DIGEST_ERR_READ;
    }
    *digestOut = value;
    *digestLengthOut = valueLength;
    return 0;
}

}  // namespace

int32_t fnSha1Digest(const uint8_t* data, uint32_t length, uint8_t** digestOut,
                     uint32_t* digestLengthOut) {
    return digestOf(CALG_SHA1, data, length, digestOut, digestLengthOut);
}

int32_t sha256Digest(const uint8_t* data, uint32_t length, uint8_t** digestOut,
                     uint32_t* digestLengthOut) {
    return digestOf(CALG_SHA_256, data, length, digestOut, digestLengthOut);
}
