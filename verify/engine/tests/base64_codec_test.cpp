#include <gtest/gtest.h>

#include <string>

#include "base64_codec.h"

namespace {

std::string decode(const std::string& text) {
    Base64Codec codec;
    codec.decode(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return std::string(reinterpret_cast<const char*>(codec.outputBuffer()), codec.outputLength());
}

std::string highBit(std::string text) {
    for (char& c : text) c = static_cast<char>(c | 0x80);
    return text;
}

// Groups of four give three bytes, "=" counting as zero bits; a last group of
// one to three characters gives as many bytes as it has characters; skipped
// characters anywhere are ignored; nothing is refused.
TEST(Base64Decode, FollowsTheDecodingRules) {
    const struct { std::string text, bytes; } rows[] = {
        {"TWFu", "Man"},
        {"SGVsbG8sIFdvcmxkIQ==", std::string("Hello, World!\0\0", 15)},
        {"TWE=", std::string("Ma\0", 3)},
        {"TQ==", std::string("M\0\0", 3)},
        {"TWE", std::string("Ma\0", 3)},
        {"TQ", std::string("M\0", 2)},
        {"TWFuT", "ManL"},
        {"TW\r\nFu\tT W\x0b" "F\x0c" "u\a\b", "ManMan"},
        {"\r\n\r\n", ""},
        {"", ""},
        {highBit("TWFu"), "Man"},
    };
    for (const auto& row : rows) EXPECT_EQ(decode(row.text), row.bytes) << row.text;
    // Armour is decoded as data: 20 characters after the space is skipped.
    EXPECT_EQ(decode("-----BEGIN PKCS7-----").size(), 15u);
}

// Only a first "M" (after skipped characters) can decode to a SEQUENCE.
TEST(Base64Decode, OnlyTextStartingWithMCanHoldASignedMessage) {
    for (const std::string& text : {std::string("MIIB"), std::string("\r\n MIIB"), highBit("MIIB")}) {
        EXPECT_TRUE(Base64Codec::mayDecodeToSequence(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        EXPECT_EQ(decode(text)[0], 0x30);
    }
    for (const std::string& text : {std::string("\x30\x82\x01", 3), std::string("NIIB"), std::string("\r\n")}) {
        EXPECT_FALSE(Base64Codec::mayDecodeToSequence(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
}

}  // namespace
