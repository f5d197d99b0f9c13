#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "der.h"
#include "result_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes lengthOctets(uint32_t length) {
    uint8_t octets[DER_MAX_LENGTH_OCTETS];
    const uint8_t count = derLengthOctets(length, octets);
    return Bytes(octets, octets + count);
}

// Every row of the length table, at both ends of each row.
TEST(DerLength, FollowsTheLengthTableAtEveryBoundary) {
    EXPECT_EQ(lengthOctets(0), (Bytes{0x00}));
    EXPECT_EQ(lengthOctets(1), (Bytes{0x01}));
    EXPECT_EQ(lengthOctets(126), (Bytes{0x7E}));
    EXPECT_EQ(lengthOctets(127), (Bytes{0x81, 0x7F}));  // the long form starts at 127
    EXPECT_EQ(lengthOctets(128), (Bytes{0x81, 0x80}));
    EXPECT_EQ(lengthOctets(255), (Bytes{0x81, 0xFF}));
    EXPECT_EQ(lengthOctets(256), (Bytes{0x82, 0x01, 0x00}));
    EXPECT_EQ(lengthOctets(65535), (Bytes{0x82, 0xFF, 0xFF}));
    EXPECT_EQ(lengthOctets(65536), (Bytes{0x83, 0x01, 0x00, 0x00}));
    EXPECT_EQ(lengthOctets(16777215), (Bytes{0x83, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(lengthOctets(16777216), (Bytes{0x84, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(lengthOctets(0xFFFFFFFFu), (Bytes{0x84, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(lengthOctets(0x01020304u), (Bytes{0x84, 0x01, 0x02, 0x03, 0x04}));
}

TEST(DerLength, CountAgreesWithTheOctetsWritten) {
    for (uint32_t length : {0u, 126u, 127u, 255u, 256u, 65535u, 65536u, 16777215u, 16777216u}) {
        EXPECT_EQ(derLengthCount(length), lengthOctets(length).size()) << length;
    }
}

TEST(DerLength, AllocatedFormHandsOverTheSameOctets) {
    uint8_t* octets = nullptr;
    uint8_t count = 0;
    ASSERT_EQ(fnDerLength(300, &octets, &count), 0);
    ASSERT_NE(octets, nullptr);
    EXPECT_EQ(Bytes(octets, octets + count), (Bytes{0x82, 0x01, 0x2C}));
    std::free(octets);
}

TEST(DerWrap, PutsTagAndLengthBeforeTheContent) {
    const Bytes content(127, 0x5A);
    uint8_t* block = nullptr;
    uint32_t blockLength = 0;
    ASSERT_EQ(fnDerWrap(0x04, content.data(), 127, &block, &blockLength), 0);
    ASSERT_EQ(blockLength, 130u);
    Bytes expected{0x04, 0x81, 0x7F};
    expected.insert(expected.end(), content.begin(), content.end());
    EXPECT_EQ(Bytes(block, block + blockLength), expected);
    std::free(block);
}

TEST(DerWrap, WrapsEmptyContent) {
    uint8_t* block = nullptr;
    uint32_t blockLength = 0;
    ASSERT_EQ(fnDerWrap(0x81, nullptr, 0, &block, &blockLength), 0);
    EXPECT_EQ(Bytes(block, block + blockLength), (Bytes{0x81, 0x00}));
    std::free(block);
}

TEST(DerWrap, RefusesAnElementBeyondFourGibibytes) {
    // Only the length is looked at before the refusal; no content is read.
    static const uint8_t one = 0;
    uint8_t* block = nullptr;
    uint32_t blockLength = 7;
    EXPECT_EQ(fnDerWrap(0x04, &one, 0xFFFFFFFFu, &block, &blockLength), PKCS7_ERR_MEMORY);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(blockLength, 7u);
}

}  // namespace
