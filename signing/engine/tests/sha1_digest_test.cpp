#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "result_codes.h"
#include "sha1_digest.h"

namespace {

std::string sha1Hex(const std::string& data) {
    uint8_t* digest = nullptr;
    uint32_t length = 0;
    const int32_t result = fnSha1Digest(reinterpret_cast<const uint8_t*>(data.data()),
                                        static_cast<uint32_t>(data.size()), &digest, &length);
    EXPECT_EQ(result, 0);
    if (result != 0) return "";
    EXPECT_EQ(length, SHA1_DIGEST_LENGTH);
    std::string hex;
    char two[3];
    for (uint32_t i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    std::free(digest);
    return hex;
}

// The test vectors of FIPS 180-1.
TEST(Sha1Digest, GivesTheStandardDigests) {
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// 512 MiB in one go: the platform's SHA-1 must not be fed it in one call.
// The same bytes as 1 MiB blocks of 'a' give the digest of
// `head -c 536870912 /dev/zero | tr '\0' a | sha1sum`.
TEST(Sha1Digest, GivesTheRightDigestOfHalfAGibibyte) {
    const std::string big(512u << 20, 'a');
    EXPECT_EQ(sha1Hex(big), "0ea59bfe8787939816796610c73deb1c625e03ed");
}

TEST(Sha1Digest, RefusesNullPointersAndEmptyInputHandingNothingOver) {
    const uint8_t data[] = {1, 2, 3};
    uint8_t* digest = reinterpret_cast<uint8_t*>(0x1);
    uint32_t length = 77;
    EXPECT_EQ(fnSha1Digest(data, 0, &digest, &length), DIGEST_ERR_ARGUMENT);
    EXPECT_EQ(fnSha1Digest(nullptr, 3, &digest, &length), DIGEST_ERR_ARGUMENT);
    EXPECT_EQ(fnSha1Digest(data, 3, nullptr, &length), DIGEST_ERR_ARGUMENT);
    EXPECT_EQ(fnSha1Digest(data, 3, &digest, nullptr), DIGEST_ERR_ARGUMENT);
    EXPECT_EQ(digest, reinterpret_cast<uint8_t*>(0x1));
    EXPECT_EQ(length, 77u);
}

}  // namespace
