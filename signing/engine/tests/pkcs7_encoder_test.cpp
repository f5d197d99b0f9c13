// The encoder with real certificates: the platform's decoding must give the
// issuer and serial number exactly as they stand in the certificate.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "pkcs7_encoder.h"
#include "result_codes.h"
#include "signed_file_oracle.h"
#include "test_card_key.h"

namespace {

struct Built {
    int32_t result;
    uint32_t length;
    Bytes file;
};

Built build(const Bytes& content, const Bytes& signature, const Bytes& certificate,
            const Bytes& personalData) {
    Built b{};
    b.result = fnBuildPkcs7(content.data(), static_cast<uint32_t>(content.size()),
                            signature.data(), static_cast<uint32_t>(signature.size()),
                            certificate.data(), static_cast<uint32_t>(certificate.size()),
                            personalData.data(), static_cast<uint32_t>(personalData.size()),
                            nullptr, &b.length);
    if (b.result != 0) return b;
    b.file.assign(b.length, 0);
    b.result = fnBuildPkcs7(content.data(), static_cast<uint32_t>(content.size()),
                            signature.data(), static_cast<uint32_t>(signature.size()),
                            certificate.data(), static_cast<uint32_t>(certificate.size()),
                            personalData.data(), static_cast<uint32_t>(personalData.size()),
                            b.file.data(), &b.length);
    return b;
}

oracle::Inputs inputsFor(const Bytes& certificate, const Bytes& content, const Bytes& personalData) {
    oracle::Inputs in;
    in.content = content;
    in.signature = Bytes(128, 0x5C);
    in.certificate = certificate;
    in.personalData = personalData;
    oracle::issuerAndSerialOf(certificate, &in.issuer, &in.serial);
    return in;
}

class EncoderWithCard : public testing::TestWithParam<const char*> {};

TEST_P(EncoderWithCard, WholeFileMatchesTheLayoutWithTheCertificatesIssuerAndSerial) {
    const TestCard card = loadTestCard(GetParam());
    const oracle::Inputs in = inputsFor(card.certificate, Bytes(1000, 'x'), Bytes(130, 'D'));
    const Built b = build(in.content, in.signature, in.certificate, in.personalData);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.file, oracle::expectedSignedFile(in));
}

INSTANTIATE_TEST_SUITE_P(TestPki, EncoderWithCard,
                         testing::Values("cie140", "cie141", "card144", "card144-4096",
                                         "twomail", "outsider-card"));

TEST(Encoder, KeepsTheLeadingZeroOfASerialNumber) {
    const TestCard card = loadTestCard("serial00");
    const oracle::Inputs in = inputsFor(card.certificate, Bytes(10, 'x'), {});
    ASSERT_EQ(in.serial.size(), 17u);
    const Built b = build(in.content, in.signature, in.certificate, in.personalData);
    ASSERT_EQ(b.result, 0);
    const Bytes serialBlock = oracle::cat({oracle::hex("02 11 00 8F 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F")});
    EXPECT_NE(std::search(b.file.begin(), b.file.end(), serialBlock.begin(), serialBlock.end()),
              b.file.end());
    EXPECT_EQ(b.file, oracle::expectedSignedFile(in));
}

TEST(Encoder, CertificateThatCannotBeDecodedGivesThePlatformErrorAndNoOutput) {
    const Bytes good = loadTestCard("cie140").certificate;
    const Bytes broken[] = {Bytes{}, Bytes(good.begin(), good.begin() + good.size() / 2),
                            Bytes(300, 0x42)};
    for (const Bytes& certificate : broken) {
        Bytes out(4096, 0xEE);
        uint32_t length = static_cast<uint32_t>(out.size());
        const Bytes content(10, 'x');
        const Bytes signature(128, 1);
        const int32_t result = fnBuildPkcs7(content.data(), 10, signature.data(), 128,
                                            certificate.data(),
                                            static_cast<uint32_t>(certificate.size()), nullptr,
                                            0, out.data(), &length);
        EXPECT_NE(result, 0);
        EXPECT_NE(result, PKCS7_ERR_MEMORY);
        EXPECT_EQ(length, out.size());
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t c) { return c == 0xEE; }));
    }
}

TEST(Encoder, RefusesAnOutputBufferThatIsTooSmall) {
    // The callers' customary size, content + signature + four certificates, is
    // too small for a certificate under 213 bytes: the encoder must say so
    // rather than write past the buffer.
    const TestCard card = loadTestCard("cie140");
    const Bytes content(50, 'x'), signature(128, 1);
    uint32_t needed = 0;
    ASSERT_EQ(fnBuildPkcs7(content.data(), 50, signature.data(), 128, card.certificate.data(),
                           static_cast<uint32_t>(card.certificate.size()), nullptr, 0, nullptr,
                           &needed), 0);
    Bytes out(needed + 16, 0xEE);
    uint32_t capacity = needed - 1;
    EXPECT_EQ(fnBuildPkcs7(content.data(), 50, signature.data(), 128, card.certificate.data(),
                           static_cast<uint32_t>(card.certificate.size()), nullptr, 0, out.data(),
                           &capacity), PKCS7_ERR_BUFFER_SMALL);
    EXPECT_EQ(capacity, needed);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t c) { return c == 0xEE; }));
}

}  // namespace
