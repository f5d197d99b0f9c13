// The SignedFile layout against the format's description: the expected file is
// built element by element with the tests' own DER helpers (not the encoder's)
// and compared whole, at every length form of the content and of the record.
// OpenSSL checks real SignedFiles in scripts/check-signed-files.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "der_builder.h"
#include "result_codes.h"
#include "signed_file_layout.h"

namespace {

using der_builder::Bytes;
using der_builder::cat;
using der_builder::hex;
using der_builder::pattern;
using der_builder::tlv;

struct Inputs {
    Bytes content, signature, certificate, issuer, serial, personalData;
};

// The SignedFile as the format lays it out, in file order.
Bytes expectedSignedFile(const Inputs& in) {
    const Bytes serialNumber = cat({Bytes{0x02, static_cast<uint8_t>(in.serial.size())}, in.serial});
    const Bytes signerInfo = tlv(0x30, cat({
        hex("02 01 01"), tlv(0x30, cat({in.issuer, serialNumber})),
        hex("30 09 06 05 2B 0E 03 02 1A 05 00"), hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00"),
        tlv(0x04, in.signature),
        tlv(0xA1, tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 09 02"),
                                 tlv(0x31, tlv(0x30, tlv(0x81, in.personalData)))}))),
    }));
    const Bytes signedData = tlv(0x30, cat({
        hex("02 01 01"), hex("31 0B 30 09 06 05 2B 0E 03 02 1A 05 00"),
        tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 01"), tlv(0xA0, tlv(0x04, in.content))})),
        tlv(0xA0, in.certificate), tlv(0x31, signerInfo),
    }));
    return tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 02"), tlv(0xA0, signedData)}));
}

// A stand-in certificate block: the encoder carries it without looking inside.
Inputs sampleInputs(size_t contentSize, size_t personalDataSize) {
    Inputs in;
    in.content = pattern(contentSize, 1);
    in.signature = pattern(128, 2);
    in.certificate = tlv(0x30, pattern(600, 3));
    in.issuer = tlv(0x30, tlv(0x31, tlv(0x30, cat({hex("06 03 55 04 03"), tlv(0x0C, pattern(20, 4))}))));
    in.serial = hex("00 8F 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");  // leading 00 kept
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

// The two lengths are independent: each is taken across its length forms
// (short, 81 from 127, 82, 83, 84) with the other one fixed.
TEST(SignedFileLayout, WholeFileMatchesTheLayoutAtEveryLengthForm) {
    for (size_t content : {0, 126, 127, 128, 255, 256, 65535, 65536, 16777216}) {
        EXPECT_EQ(assemble(sampleInputs(content, 20)), expectedSignedFile(sampleInputs(content, 20)))
            << "content of " << content << " bytes";
    }
    for (size_t record : {0, 126, 127, 130, 255}) {
        EXPECT_EQ(assemble(sampleInputs(10, record)), expectedSignedFile(sampleInputs(10, record)))
            << "record of " << record << " bytes";
    }
}

// A buffer one byte short learns the length and stays untouched; one byte
// more than needed gets the file and nothing past it.
TEST(SignedFileLayout, TwoCallProtocolWritesOnlyIntoABufferThatFits) {
    const Inputs in = sampleInputs(300, 20);
    const Bytes expected = expectedSignedFile(in);
    Bytes out(expected.size() + 1, 0xEE);
    for (uint32_t capacity : {static_cast<uint32_t>(expected.size() - 1), static_cast<uint32_t>(out.size())}) {
        const bool fits = capacity > expected.size();
        EXPECT_EQ(assembleSignedFile(partsOf(in), out.data(), &capacity), fits ? 0 : PKCS7_ERR_BUFFER_SMALL);
        EXPECT_EQ(capacity, expected.size());
        Bytes written = expected;
        if (!fits) written.assign(expected.size(), 0xEE);
        written.push_back(0xEE);
        EXPECT_EQ(out, written) << fits;
    }
}

TEST(SignedFileLayout, RefusesAFileThatWouldExceedFourGibibytes) {
    // Measuring looks at the sizes only, so no content needs to exist.
    const Inputs in = sampleInputs(0, 0);
    SignedFileParts parts = partsOf(in);
    parts.content = {in.signature.data(), 0xFFFFFF00u};
    uint32_t length = 1234;
    EXPECT_EQ(assembleSignedFile(parts, nullptr, &length), PKCS7_ERR_MEMORY);
    EXPECT_EQ(length, 1234u);
}

}  // namespace
