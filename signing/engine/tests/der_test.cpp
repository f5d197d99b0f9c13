#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "der.h"
#include "result_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Each row of the length table at both ends: the octets, their count and the
// allocated form.
TEST(DerLength, FollowsTheLengthTableAtEveryBoundary) {
    const struct { uint32_t length; Bytes octets; } rows[] = {
        {0, {0x00}}, {126, {0x7E}}, {127, {0x81, 0x7F}}, {255, {0x81, 0xFF}},
        {256, {0x82, 0x01, 0x00}}, {65535, {0x82, 0xFF, 0xFF}}, {65536, {0x83, 0x01, 0x00, 0x00}},
        {16777215, {0x83, 0xFF, 0xFF, 0xFF}}, {16777216, {0x84, 0x01, 0x00, 0x00, 0x00}},
        {0xFFFFFFFFu, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}}};
    for (const auto& row : rows) {
        uint8_t octets[DER_MAX_LENGTH_OCTETS];
        const uint8_t count = derLengthOctets(row.length, octets);
        EXPECT_EQ(Bytes(octets, octets + count), row.octets) << row.length;
        EXPECT_EQ(derLengthCount(row.length), row.octets.size()) << row.length;
        uint8_t* allocated = nullptr;
        uint8_t allocatedCount = 0;
        ASSERT_EQ(fnDerLength(row.length, &allocated, &allocatedCount), 0);
        EXPECT_EQ(Bytes(allocated, allocated + allocatedCount), row.octets) << row.length;
        std::free(allocated);
    }
}

TEST(DerWrap, PutsTagAndLengthBeforeTheContentAndRefusesMoreThan32Bits) {
    const Bytes content(127, 0x5A);
    uint8_t* block = nullptr;
    uint32_t blockLength = 7;
    EXPECT_EQ(fnDerWrap(0x04, content.data(), 0xFFFFFFFFu, &block, &blockLength), PKCS7_ERR_MEMORY);
    EXPECT_TRUE(block == nullptr && blockLength == 7);
    ASSERT_EQ(fnDerWrap(0x04, content.data(), 127, &block, &blockLength), 0);
    Bytes expected{0x04, 0x81, 0x7F};
    expected.insert(expected.end(), content.begin(), content.end());
    EXPECT_EQ(Bytes(block, block + blockLength), expected);
    std::free(block);
}

}  // namespace
