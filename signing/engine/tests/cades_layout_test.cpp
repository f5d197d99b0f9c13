// The CAdES form's platform-free half: the signing time's encoding, what it
// refuses, and the two-call protocol. OpenSSL checks whole CAdES files made on
// the simulated cards (scripts/check-signed-files): that they verify, that
// their attributes hold the right values, and that they are strict DER.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cades_layout.h"
#include "der_builder.h"
#include "result_codes.h"

namespace {

using der_builder::Bytes;
using der_builder::hex;
using der_builder::pattern;

const Bytes CONTENT_DIGEST = pattern(32, 1), CERTIFICATE_HASH = pattern(32, 2);
const Bytes ISSUER = hex("30 0F 31 0D 30 0B 06 03 55 04 03 0C 04 54 45 53 54");
const Bytes SERIAL = hex("00 8F 01");

ByteRange range(const Bytes& b) { return {b.data(), static_cast<uint32_t>(b.size())}; }

bool encode(const SigningTime& time, Bytes* attributes, const Bytes& digest = CONTENT_DIGEST) {
    return encodeSignedAttributes({range(digest), time, range(CERTIFICATE_HASH), range(ISSUER), range(SERIAL)},
                                  attributes);
}

// The signing-time attribute's value (tag and text) in the encoded attributes.
std::string signingTimeValue(const Bytes& attributes) {
    const Bytes oid = hex("06 09 2A 86 48 86 F7 0D 01 09 05 31");
    const auto at = std::search(attributes.begin(), attributes.end(), oid.begin(), oid.end());
    if (at == attributes.end()) return "none";
    const auto value = at + static_cast<long>(oid.size()) + 1;  // past the SET's length
    return std::to_string(value[0]) + ":" + std::string(value + 2, value + 2 + value[1]);
}

TEST(CadesLayout, SigningTimeIsUtcTimeFrom1950To2049AndGeneralizedTimeOutside) {
    const struct { SigningTime time; std::string value; } rows[] = {
        {{2026, 12, 7, 20, 15, 3}, "23:261207201503Z"},
        {{1950, 1, 1, 0, 0, 0}, "23:500101000000Z"},
        {{2049, 12, 31, 23, 59, 59}, "23:491231235959Z"},
        {{2050, 1, 1, 0, 0, 0}, "24:20500101000000Z"},
        {{1949, 12, 31, 23, 59, 59}, "24:19491231235959Z"},
    };
    for (const auto& row : rows) {
        Bytes attributes;
        ASSERT_TRUE(encode(row.time, &attributes)) << row.value;
        EXPECT_EQ(attributes[0], 0x31);
        EXPECT_EQ(signingTimeValue(attributes), row.value);
    }
}

TEST(CadesLayout, RefusesATimeOutOfRangeAndADigestThatIsNotSha256) {
    Bytes attributes;
    for (const SigningTime& bad : {SigningTime{2026, 13, 1, 0, 0, 0}, SigningTime{2026, 1, 0, 0, 0, 0},
                                   SigningTime{2026, 1, 1, 24, 0, 0}, SigningTime{10000, 1, 1, 0, 0, 0}}) {
        EXPECT_FALSE(encode(bad, &attributes)) << bad.year << "-" << bad.month << "-" << bad.day << " " << bad.hour;
    }
    EXPECT_FALSE(encode({2026, 1, 1, 0, 0, 0}, &attributes, pattern(20, 1)));
}

CadesFileParts sampleParts(const Bytes& content, const Bytes& attributes, const Bytes& other) {
    return {range(content), range(other), range(ISSUER), range(SERIAL), range(attributes), range(other), range(other)};
}

// A buffer one byte short learns the length and stays untouched; one that
// fits gets the file and nothing past it.
TEST(CadesLayout, TwoCallProtocolWritesOnlyIntoABufferThatFits) {
    Bytes attributes;
    ASSERT_TRUE(encode({2026, 12, 7, 20, 15, 3}, &attributes));
    const Bytes content = pattern(300, 3), other = pattern(128, 4);
    const CadesFileParts parts = sampleParts(content, attributes, other);
    uint32_t length = 0;
    ASSERT_EQ(assembleCadesFile(parts, nullptr, &length), 0);
    Bytes out(length + 1, 0xEE);
    uint32_t capacity = length - 1;
    EXPECT_EQ(assembleCadesFile(parts, out.data(), &capacity), PKCS7_ERR_BUFFER_SMALL);
    EXPECT_EQ(capacity, length);
    EXPECT_EQ(out, Bytes(length + 1, 0xEE));
    capacity = length + 1;
    EXPECT_EQ(assembleCadesFile(parts, out.data(), &capacity), 0);
    EXPECT_EQ(capacity, length);
    EXPECT_EQ(out.back(), 0xEE);
    // The content lies whole in the file, after its OCTET STRING header (82 01 2C).
    const Bytes header = hex("04 82 01 2C");
    const auto at = std::search(out.begin(), out.end(), header.begin(), header.end());
    ASSERT_NE(at, out.end());
    EXPECT_TRUE(std::equal(content.begin(), content.end(), at + 4));
}

TEST(CadesLayout, RefusesAFileThatWouldExceedFourGibibytes) {
    Bytes attributes;
    ASSERT_TRUE(encode({2026, 12, 7, 20, 15, 3}, &attributes));
    const Bytes other = pattern(128, 4);
    CadesFileParts parts = sampleParts(other, attributes, other);
    parts.content = {other.data(), 0xFFFFFF00u};  // measuring looks at the sizes only
    uint32_t length = 1234;
    EXPECT_EQ(assembleCadesFile(parts, nullptr, &length), PKCS7_ERR_MEMORY);
    EXPECT_EQ(length, 1234u);
}

}  // namespace
