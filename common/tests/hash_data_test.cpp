// Large blocks through a CryptoAPI hash object.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "hash_data.h"

namespace {

std::string sha1Hex(const std::string& data) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE value[20];
    DWORD size = sizeof value;
    std::string hex;
    if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash) &&
        hashData(hash, reinterpret_cast<const uint8_t*>(data.data()), data.size()) &&
        CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0)) {
        char two[3];
        for (DWORD i = 0; i < size; ++i) {
            std::snprintf(two, sizeof two, "%02x", value[i]);
            hex += two;
        }
    }
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    return hex;
}

// 512 MiB: one CryptHashData call of this size gives Wine's SHA-1 a wrong
// value. The digest is that of `head -c 536870912 /dev/zero | tr '\0' a | sha1sum`.
TEST(HashData, GivesTheRightDigestOfSmallAndHalfAGibibyteBlocks) {
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex(std::string(512u << 20, 'a')), "0ea59bfe8787939816796610c73deb1c625e03ed");
}

}  // namespace
