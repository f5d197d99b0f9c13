#include <gtest/gtest.h>

#include <string>

#include "base64_codec.h"

namespace {

std::string decode(const std::string& text) {
    Base64Codec codec;
    codec.decode(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return std::string(reinterpret_cast<const char*>(codec.outputBuffer()), codec.outputLength());
}

TEST(Base64Decode, DecodesGroupsOfFour) {
    EXPECT_EQ(decode("TWFu"), "Man");
    EXPECT_EQ(decode("SGVsbG8sIFdvcmxkIQ=="), std::string("Hello, World!\0\0", 15));
}

TEST(Base64Decode, PaddingLeavesTrailingZeroBytes) {
    EXPECT_EQ(decode("TWE="), std::string("Ma\0", 3));
    EXPECT_EQ(decode("TQ=="), std::string("M\0\0", 3));
}

TEST(Base64Decode, LastGroupWithoutPaddingGivesOneByteForEachCharacter) {
    // "TWE" are three characters: three bytes are written, the length grows by three.
    EXPECT_EQ(decode("TWE"), std::string("Ma\0", 3));
    EXPECT_EQ(decode("TQ"), std::string("M\0", 2));
    EXPECT_EQ(decode("TWFuT"), std::string("ManL", 4));
}

TEST(Base64Decode, SkipsLineBreaksAndSpacesAnywhere) {
    EXPECT_EQ(decode("TW\r\nFu\tT W\x0b" "F\x0c" "u\a\b"), "ManMan");
    EXPECT_EQ(decode("\r\n\r\n"), "");
    EXPECT_EQ(decode(""), "");
}

TEST(Base64Decode, HighBitCharactersCountAsTheirAlphabetCharacter) {
    std::string text = "TWFu";
    for (char& c : text) c = static_cast<char>(c | 0x80);
    EXPECT_EQ(decode(text), "Man");
}

TEST(Base64Decode, RefusesNothingAndGivesWrongBytesForWrongCharacters) {
    // Armour is decoded as data: 20 characters after the space is skipped.
    EXPECT_EQ(decode("-----BEGIN PKCS7-----").size(), 15u);
}

TEST(Base64Decode, ReusesItsBuffersForANewText) {
    Base64Codec codec;
    const std::string first = "TWFuTWFuTWFu", second = "TQ==";
    codec.decode(reinterpret_cast<const uint8_t*>(first.data()), first.size());
    codec.decode(reinterpret_cast<const uint8_t*>(second.data()), second.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(codec.outputBuffer()), codec.outputLength()),
              std::string("M\0\0", 3));
}

TEST(Base64PrepareBuffer, GrowsInStepsOf4096StrictlyAboveTheNeedAndZeroes) {
    Base64Codec::Buffer buffer;
    Base64Codec::prepareBuffer(buffer, 4096);
    EXPECT_EQ(buffer.capacity, 8192u);
    Base64Codec::prepareBuffer(buffer, 1);
    EXPECT_EQ(buffer.capacity, 8192u);  // large enough: kept
    buffer.data[100] = 7;
    buffer.length = 5;
    Base64Codec::prepareBuffer(buffer, 10);
    EXPECT_EQ(buffer.data[100], 0);
    EXPECT_EQ(buffer.length, 0u);
    Base64Codec::prepareBuffer(buffer, 10000);
    EXPECT_EQ(buffer.capacity, 12288u);
    Base64Codec::Buffer empty;
    Base64Codec::prepareBuffer(empty, 0);
    EXPECT_EQ(empty.capacity, 0u);  // nothing needed, nothing allocated
}

}  // namespace
