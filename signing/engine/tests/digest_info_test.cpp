#include <gtest/gtest.h>

#include <vector>

#include "digest_info.h"
#include "result_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(DigestInfo, WrapsASha1DigestInThirtyFiveBytes) {
    Bytes digest(20);
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(0xA0 + i);
    uint8_t out[DIGEST_INFO_CAPACITY];
    uint8_t length = 0;
    ASSERT_EQ(fnMakeDigestInfo(digest.data(), 20, out, &length), 0);
    ASSERT_EQ(length, 35);
    Bytes expected{0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03,
                   0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
    expected.insert(expected.end(), digest.begin(), digest.end());
    EXPECT_EQ(Bytes(out, out + length), expected);
}

TEST(DigestInfo, CarriesOtherDigestLengthsInItsLengthOctets) {
    const Bytes digest(16, 0x11);
    uint8_t out[DIGEST_INFO_CAPACITY];
    uint8_t length = 0;
    ASSERT_EQ(fnMakeDigestInfo(digest.data(), 16, out, &length), 0);
    EXPECT_EQ(length, 31);
    EXPECT_EQ(out[1], 29);  // n + 13
    EXPECT_EQ(out[14], 16); // n
}

TEST(DigestInfo, RefusesNullPointersAndOverlongDigestsWithoutWriting) {
    const Bytes digest(200, 0x22);
    uint8_t out[DIGEST_INFO_CAPACITY] = {};
    uint8_t length = 99;
    EXPECT_EQ(fnMakeDigestInfo(nullptr, 20, out, &length), SIGN_ERR_GENERIC);
    EXPECT_EQ(fnMakeDigestInfo(digest.data(), 20, nullptr, &length), SIGN_ERR_GENERIC);
    EXPECT_EQ(fnMakeDigestInfo(digest.data(), 200, out, &length), SIGN_ERR_GENERIC);
    EXPECT_EQ(length, 99);
    EXPECT_EQ(out[0], 0);
}

}  // namespace
