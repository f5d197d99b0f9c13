// The SignedData decoder on SignedFiles laid out by the signing engine, and on
// messages built here to reach the cases that engine never writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "signed_file_layout.h"
#include "der_builder.h"
#include "signed_message.h"
#include "signer_display.h"

namespace {

using der_builder::Bytes;
using der_builder::cat;
using der_builder::hex;
using der_builder::tlv;

Bytes readFile(const std::string& relative) {
    std::ifstream in(std::string(QUILL_TESTDATA_DIR) + "/" + relative, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ber::Span span(const Bytes& b) { return {b.data(), b.size()}; }

const std::string RECORD = "00007604Q5120801012020080101203005ROSSI05MARIO080101197001M0317510RSSMRA70A01L736S03ITA07VALDORA02IT0012VIA ROMA 1 VALDORA00";

// A SignedFile as the signing engine lays it out.
Bytes engineFile(const Bytes& content, const Bytes& certificate, const std::string& record) {
    ber::Span issuer, serial;
    EXPECT_TRUE(certificateIssuerAndSerial(span(certificate), &issuer, &serial));
    const Bytes signature(128, 0x11);
    SignedFileParts parts{{content.data(), static_cast<uint32_t>(content.size())},
                          {signature.data(), 128},
                          {certificate.data(), static_cast<uint32_t>(certificate.size())},
                          {issuer.data, static_cast<uint32_t>(issuer.size)},
                          {serial.data, static_cast<uint32_t>(serial.size)},
                          {reinterpret_cast<const uint8_t*>(record.data()), static_cast<uint32_t>(record.size())}};
    uint32_t length = 0;
    assembleSignedFile(parts, nullptr, &length);
    Bytes file(length);
    assembleSignedFile(parts, file.data(), &length);
    return file;
}

std::string joined(const std::vector<ber::Span>& pieces) {
    std::string s;
    for (const ber::Span& p : pieces) s.append(reinterpret_cast<const char*>(p.data), p.size);
    return s;
}

TEST(SignedMessage, DecodesTheEnginesLayout) {
    const Bytes cert = readFile("pki/cards/cie140.der");
    const Bytes content(300, 'x');
    Bytes file = engineFile(content, cert, RECORD);
    file.insert(file.end(), {0x00, 0x00, 0x41});  // bytes after the message are ignored
    SignedMessage m;
    ASSERT_EQ(decodeSignedMessage(span(file), &m), DecodeResult::Ok);
    EXPECT_TRUE(ber::isOid(m.contentType, oids::DATA));
    EXPECT_EQ(joined(m.content), std::string(300, 'x'));
    EXPECT_EQ(m.contentLength, 300u);
    ASSERT_EQ(m.certificates.size(), 1u);
    EXPECT_EQ(m.certificates[0], span(cert));
    ASSERT_EQ(m.signers.size(), 1u);
    const SignerInfo& s = m.signers[0];
    EXPECT_EQ(s.version, 1);
    EXPECT_TRUE(ber::isOid(s.digestAlgorithm, oids::SHA1));
    EXPECT_TRUE(ber::isOid(s.signatureAlgorithm, oids::RSA_ENCRYPTION));
    EXPECT_FALSE(s.hasSignedAttributes);
    EXPECT_EQ(s.signature.size, 128u);
    const Attribute* personal = findAttribute(s.unsignedAttributes, oids::UNSTRUCTURED_NAME);
    ASSERT_NE(personal, nullptr);
    ASSERT_EQ(personal->values.size(), 1u);
    char name[512] = "unchanged";
    ASSERT_TRUE(personalDataName(personal->values[0].whole, name, sizeof name));
    EXPECT_STREQ(name, "ROSSI/MARIO/RSSMRA70A01L736S");
    const CertificateChoice choice = findSignerCertificate(m, s);
    EXPECT_TRUE(choice.matched);
    EXPECT_EQ(choice.index, 0);
}

TEST(SignedMessage, EmptyRecordGivesTheNameOfTwoSlashes) {
    const Bytes file = engineFile(Bytes(5, 'x'), readFile("pki/cards/card144.der"), "");
    SignedMessage m;
    ASSERT_EQ(decodeSignedMessage(span(file), &m), DecodeResult::Ok);
    const Attribute* personal = findAttribute(m.signers[0].unsignedAttributes, oids::UNSTRUCTURED_NAME);
    ASSERT_NE(personal, nullptr);
    char name[512] = "";
    ASSERT_TRUE(personalDataName(personal->values[0].whole, name, sizeof name));
    EXPECT_STREQ(name, "//");
}

TEST(SignedMessage, EmptyContentIsContent) {
    const Bytes file = engineFile(Bytes{}, readFile("pki/cards/cie140.der"), RECORD);
    SignedMessage m;
    ASSERT_EQ(decodeSignedMessage(span(file), &m), DecodeResult::Ok);
    EXPECT_EQ(m.contentLength, 0u);
}

// A SignedData of our own making, for what the engine does not write.
Bytes signerInfo(const Bytes& certificate, const Bytes& signedAttributes = {}) {
    ber::Span issuer, serial;
    certificateIssuerAndSerial(span(certificate), &issuer, &serial);
    return tlv(0x30, cat({hex("02 01 01"),
                          tlv(0x30, cat({Bytes(issuer.data, issuer.data + issuer.size),
                                         tlv(0x02, Bytes(serial.data, serial.data + serial.size))})),
                          hex("30 0D 06 09 60 86 48 01 65 03 04 02 01 05 00"),
                          signedAttributes,
                          hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0B 05 00"),
                          tlv(0x04, Bytes(256, 0x22))}));
}

Bytes message(const Bytes& encapsulated, const std::vector<Bytes>& certificates,
              const std::vector<Bytes>& signers) {
    Bytes certs, infos;
    for (const Bytes& c : certificates) certs = cat({certs, c});
    for (const Bytes& s : signers) infos = cat({infos, s});
    return tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 02"),
                          tlv(0xA0, tlv(0x30, cat({hex("02 01 01"), hex("31 00"), encapsulated,
                                                   certificates.empty() ? Bytes{} : tlv(0xA0, certs),
                                                   tlv(0x31, infos)})))}));
}

Bytes dataContent(const std::string& text) {
    return tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 01"),
                          tlv(0xA0, tlv(0x04, Bytes(text.begin(), text.end())))}));
}

TEST(SignedMessage, ReadsSignedAttributesAndTheirMessageDigest) {
    const Bytes cert = readFile("pki/cards/card144.der");
    const Bytes digest(32, 0x77);
    const Bytes attributes = tlv(0xA0, tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 09 04"),
                                                     tlv(0x31, tlv(0x04, digest))})));
    const Bytes file = message(dataContent("hello"), {cert}, {signerInfo(cert, attributes)});
    SignedMessage m;
    ASSERT_EQ(decodeSignedMessage(span(file), &m), DecodeResult::Ok);
    const SignerInfo& s = m.signers[0];
    EXPECT_TRUE(s.hasSignedAttributes);
    EXPECT_EQ(s.signedAttributesElement.whole.data[0], 0xA0);
    EXPECT_TRUE(ber::isOid(s.digestAlgorithm, oids::SHA256));
    EXPECT_TRUE(ber::isOid(s.signatureAlgorithm, oids::SHA256_RSA));
    const Attribute* md = findAttribute(s.signedAttributes, oids::MESSAGE_DIGEST);
    ASSERT_NE(md, nullptr);
    EXPECT_EQ(md->values[0].content, span(digest));
}

TEST(SignedMessage, FindsEachSignersCertificateByIssuerAndSerialInAnyOrder) {
    // cie140 and cie141 share serial number 1000 under different issuers.
    const Bytes c140 = readFile("pki/cards/cie140.der"), c141 = readFile("pki/cards/cie141.der");
    const Bytes c144 = readFile("pki/cards/card144.der");
    const Bytes file = message(dataContent("x"), {c144, c141, c140},
                               {signerInfo(c140), signerInfo(c144), signerInfo(c141)});
    SignedMessage m;
    ASSERT_EQ(decodeSignedMessage(span(file), &m), DecodeResult::Ok);
    ASSERT_EQ(m.signers.size(), 3u);
    EXPECT_EQ(findSignerCertificate(m, m.signers[0]).index, 2);
    EXPECT_EQ(findSignerCertificate(m, m.signers[1]).index, 0);
    EXPECT_EQ(findSignerCertificate(m, m.signers[2]).index, 1);
}

TEST(SignedMessage, SameSerialUnderAnotherIssuerIsNotTheSignersCertificate) {
    const Bytes c140 = readFile("pki/cards/cie140.der"), c141 = readFile("pki/cards/cie141.der");
    const Bytes c144 = readFile("pki/cards/card144.der");
    // The signer names 140's issuer; the message carries only 141's certificate
    // of the same serial (and another): no match, the last stands in.
    const Bytes file = message(dataContent("x"), {c141, c144}, {signerInfo(c140)});
    SignedMessage m;
    ASSERT_EQ(decodeSignedMessage(span(file), &m), DecodeResult::Ok);
    const CertificateChoice choice = findSignerCertificate(m, m.signers[0]);
    EXPECT_FALSE(choice.matched);
    EXPECT_EQ(choice.index, 1);
    const Bytes none = message(dataContent("x"), {}, {signerInfo(c140)});
    ASSERT_EQ(decodeSignedMessage(span(none), &m), DecodeResult::Ok);
    EXPECT_EQ(findSignerCertificate(m, m.signers[0]).index, -1);
}

TEST(SignedMessage, RefusesDetachedSignaturesOtherTypesAndTooManySigners) {
    const Bytes cert = readFile("pki/cards/card144.der");
    SignedMessage m;
    const Bytes detached = message(tlv(0x30, hex("06 09 2A 86 48 86 F7 0D 01 07 01")), {cert}, {signerInfo(cert)});
    EXPECT_EQ(decodeSignedMessage(span(detached), &m), DecodeResult::NoContent);

    // The same message declared as envelopedData (1.2.840.113549.1.7.3).
    Bytes envelopedOid = message(dataContent("x"), {cert}, {signerInfo(cert)});
    const Bytes signedDataOid = hex("06 09 2A 86 48 86 F7 0D 01 07 02");
    auto oid = std::search(envelopedOid.begin(), envelopedOid.end(), signedDataOid.begin(), signedDataOid.end());
    ASSERT_NE(oid, envelopedOid.end());
    *(oid + 10) = 0x03;
    EXPECT_EQ(decodeSignedMessage(span(envelopedOid), &m), DecodeResult::Malformed);

    EXPECT_EQ(decodeSignedMessage(span(message(dataContent("x"), {cert}, {})), &m), DecodeResult::Malformed);

    std::vector<Bytes> many(100, signerInfo(cert));
    EXPECT_EQ(decodeSignedMessage(span(message(dataContent("x"), {cert}, many)), &m), DecodeResult::Ok);
    EXPECT_EQ(m.signers.size(), 100u);
    many.push_back(signerInfo(cert));
    EXPECT_EQ(decodeSignedMessage(span(message(dataContent("x"), {cert}, many)), &m),
              DecodeResult::TooManySigners);
}

TEST(SignedMessage, EveryTruncationIsRefused) {
    const Bytes file = engineFile(Bytes(40, 'x'), readFile("pki/cards/cie140.der"), RECORD);
    for (size_t length = 0; length < file.size(); ++length) {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[length + 1]);
        std::copy(file.begin(), file.begin() + length, exact.get());
        SignedMessage m;
        EXPECT_NE(decodeSignedMessage({exact.get(), length}, &m), DecodeResult::Ok) << length;
    }
}

}  // namespace
