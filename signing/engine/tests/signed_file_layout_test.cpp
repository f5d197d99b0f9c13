// The SignedFile layout, checked against the format's description: each test
// builds the expected file element by element from that description (with its
// own small DER helpers, not the encoder's) and compares whole files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "result_codes.h"
#include "signed_file_layout.h"
#include "signed_file_oracle.h"

namespace {

using Bytes = std::vector<uint8_t>;
using oracle::cat;
using oracle::expectedSignedFile;
using oracle::hex;
using oracle::Inputs;
using oracle::len;
using oracle::pattern;
using oracle::tlv;

// A stand-in certificate block: the encoder carries it without looking inside.
Inputs sampleInputs(size_t contentSize, size_t personalDataSize) {
    Inputs in;
    in.content = pattern(contentSize, 1);
    in.signature = pattern(128, 2);
    in.certificate = tlv(0x30, pattern(600, 3));
    in.issuer = tlv(0x30, tlv(0x31, tlv(0x30, cat({hex("06 03 55 04 03"), tlv(0x0C, pattern(20, 4))}))));
    in.serial = hex("10 00");
    in.personalData = Bytes(personalDataSize, 'A');
    return in;
}

SignedFileParts partsOf(const Inputs& in) {
    auto range = [](const Bytes& b) { return ByteRange{b.data(), static_cast<uint32_t>(b.size())}; };
    return {range(in.content), range(in.signature), range(in.certificate),
            range(in.issuer), range(in.serial), range(in.personalData)};
}

Bytes assemble(const Inputs& in) {
    const SignedFileParts parts = partsOf(in);
    uint32_t length = 0;
    EXPECT_EQ(assembleSignedFile(parts, nullptr, &length), 0);
    Bytes out(length);
    EXPECT_EQ(assembleSignedFile(parts, out.data(), &length), 0);
    EXPECT_EQ(length, out.size());
    return out;
}

size_t find(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) -
           haystack.begin();
}

class LayoutBySize : public testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(LayoutBySize, WholeFileMatchesTheLayout) {
    const auto [contentSize, personalDataSize] = GetParam();
    const Inputs in = sampleInputs(contentSize, personalDataSize);
    EXPECT_EQ(assemble(in), expectedSignedFile(in));
}

INSTANTIATE_TEST_SUITE_P(
    ContentAndRecordSizes, LayoutBySize,
    testing::Combine(testing::Values(0, 1, 126, 127, 128, 255, 256, 65535, 65536, 70000),
                     testing::Values(0, 1, 126, 127, 130, 255)));

TEST(SignedFileLayout, ContentLengthOctetsAtTheShortAndLongFormBoundary) {
    struct Case { size_t size; Bytes header; };
    const Case cases[] = {{126, hex("04 7E")},
                          {127, hex("04 81 7F")},
                          {128, hex("04 81 80")},
                          {256, hex("04 82 01 00")}};
    for (const Case& c : cases) {
        const Bytes file = assemble(sampleInputs(c.size, 0));
        // The OCTET STRING follows the data OID and its [0] wrapper.
        const size_t oid = find(file, hex("06 09 2A 86 48 86 F7 0D 01 07 01"));
        ASSERT_LT(oid, file.size());
        const size_t octetString = oid + 11 + 1 + len(c.size + c.header.size()).size();
        EXPECT_EQ(Bytes(file.begin() + octetString, file.begin() + octetString + c.header.size()),
                  c.header)
            << "content of " << c.size << " bytes";
    }
}

TEST(SignedFileLayout, EmptyRecordEndsWithTheFixedAttribute) {
    const Bytes file = assemble(sampleInputs(10, 0));
    const Bytes attribute = hex("A1 13 30 11 06 09 2A 86 48 86 F7 0D 01 09 02 31 04 30 02 81 00");
    ASSERT_GE(file.size(), attribute.size());
    EXPECT_EQ(Bytes(file.end() - attribute.size(), file.end()), attribute);
}

TEST(SignedFileLayout, RecordOf130BytesStartsItsElementWith81_81_82) {
    const Bytes file = assemble(sampleInputs(10, 130));
    const size_t record = file.size() - 130;
    EXPECT_EQ(Bytes(file.begin() + record - 3, file.begin() + record), hex("81 81 82"));
}

TEST(SignedFileLayout, SerialWithLeadingZeroIsCarriedAsInTheCertificate) {
    Inputs in = sampleInputs(10, 0);
    in.serial = hex("00 8F 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    const Bytes file = assemble(in);
    EXPECT_LT(find(file, cat({in.issuer, hex("02 11 00 8F 01 02 03")})), file.size());
    EXPECT_EQ(file, expectedSignedFile(in));
}

TEST(SignedFileLayout, BeginsWithContentInfoAndTheSignedDataOid) {
    const Bytes small = assemble(sampleInputs(100, 0));
    EXPECT_EQ(small[0], 0x30);
    EXPECT_EQ(small[1], 0x82);
    EXPECT_EQ(Bytes(small.begin() + 4, small.begin() + 16),
              hex("06 09 2A 86 48 86 F7 0D 01 07 02 A0"));

    const Bytes large = assemble(sampleInputs(70000, 0));
    EXPECT_EQ(large[1], 0x83);
    EXPECT_EQ(Bytes(large.begin() + 5, large.begin() + 17),
              hex("06 09 2A 86 48 86 F7 0D 01 07 02 A0"));
}

TEST(SignedFileLayout, SixteenMebibytesOfContentUseFourLengthOctets) {
    const Inputs in = sampleInputs(16777216, 0);
    const Bytes file = assemble(in);
    EXPECT_EQ(file[1], 0x84);
    EXPECT_LT(find(file, hex("04 84 01 00 00 00")), file.size());
    EXPECT_EQ(file, expectedSignedFile(in));
}

TEST(SignedFileLayout, TwoCallProtocolWritesOnlyIntoABufferThatFits) {
    const Inputs in = sampleInputs(300, 20);
    const SignedFileParts parts = partsOf(in);
    uint32_t needed = 0;
    ASSERT_EQ(assembleSignedFile(parts, nullptr, &needed), 0);
    ASSERT_EQ(needed, expectedSignedFile(in).size());

    Bytes tooSmall(needed - 1, 0xEE);
    uint32_t capacity = needed - 1;
    EXPECT_EQ(assembleSignedFile(parts, tooSmall.data(), &capacity), PKCS7_ERR_BUFFER_SMALL);
    EXPECT_EQ(capacity, needed);
    EXPECT_TRUE(std::all_of(tooSmall.begin(), tooSmall.end(), [](uint8_t b) { return b == 0xEE; }));

    Bytes roomy(needed + 50, 0xEE);
    capacity = static_cast<uint32_t>(roomy.size());
    ASSERT_EQ(assembleSignedFile(parts, roomy.data(), &capacity), 0);
    EXPECT_EQ(capacity, needed);
    EXPECT_EQ(Bytes(roomy.begin(), roomy.begin() + needed), expectedSignedFile(in));
    EXPECT_EQ(roomy[needed], 0xEE);  // nothing past the file
}

TEST(SignedFileLayout, RefusesAFileThatWouldExceedFourGibibytes) {
    // Measuring looks at the sizes only, so no content needs to exist.
    Inputs in = sampleInputs(0, 0);
    SignedFileParts parts = partsOf(in);
    parts.content = {in.signature.data(), 0xFFFFFF00u};
    uint32_t length = 1234;
    EXPECT_EQ(assembleSignedFile(parts, nullptr, &length), PKCS7_ERR_MEMORY);
    EXPECT_EQ(length, 1234u);
}

}  // namespace
