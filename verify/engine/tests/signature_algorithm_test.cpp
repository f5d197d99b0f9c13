// The signature algorithms' rules: the RSASSA-PSS parameters with their
// defaults, the ECDSA value in the platform's form, and the names a person
// reads for a signature that could not be checked; and a time-stamp token's
// TSTInfo.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "der_builder.h"
#include "signature_algorithm.h"
#include "timestamp_info.h"

namespace {

using namespace der_builder;

const Bytes SHA256_ID = tlv(0x30, cat({tlv(0x06, hex("608648016503040201")), hex("0500")}));
const Bytes SHA512_ID = tlv(0x30, tlv(0x06, hex("608648016503040203")));
const Bytes MGF1_SHA256 = tlv(0x30, cat({tlv(0x06, hex("2A864886F70D010108")), SHA256_ID}));

ber::Element elementOf(const Bytes& der) {
    ber::Element e;
    EXPECT_TRUE(ber::read({der.data(), der.size()}, &e));
    return e;
}

bool readPss(const Bytes& der, PssParameters* out) {
    const ber::Element e = elementOf(der);
    return readPssParameters(&e, out);
}

TEST(PssParameters, AbsentFieldsTakeTheStandardsDefaults) {
    PssParameters p;
    ASSERT_TRUE(readPssParameters(nullptr, &p));
    EXPECT_EQ(p.hash, DigestKind::Sha1);
    EXPECT_TRUE(p.maskIsMgf1);
    EXPECT_EQ(p.maskHash, DigestKind::Sha1);
    EXPECT_EQ(p.saltLength, 20u);
    EXPECT_EQ(p.trailerField, 1u);
    p.saltLength = 7;
    ASSERT_TRUE(readPss(hex("3000"), &p));  // an empty SEQUENCE: every default
    EXPECT_EQ(p.saltLength, 20u);
    EXPECT_EQ(p.hash, DigestKind::Sha1);
}

TEST(PssParameters, EachFieldIsRead) {
    PssParameters p;
    ASSERT_TRUE(readPss(tlv(0x30, cat({tlv(0xA0, SHA256_ID), tlv(0xA1, MGF1_SHA256), tlv(0xA2, hex("020120")),
                                       tlv(0xA3, hex("020101"))})),
                        &p));
    EXPECT_EQ(p.hash, DigestKind::Sha256);
    EXPECT_EQ(p.maskHash, DigestKind::Sha256);
    EXPECT_EQ(p.saltLength, 32u);
    EXPECT_EQ(p.trailerField, 1u);

    // Some fields only; a hash without parameters; salt 0; a salt of 4 octets.
    ASSERT_TRUE(readPss(tlv(0x30, cat({tlv(0xA0, SHA512_ID), tlv(0xA2, hex("020100"))})), &p));
    EXPECT_EQ(p.hash, DigestKind::Sha512);
    EXPECT_EQ(p.maskHash, DigestKind::Sha1);
    EXPECT_EQ(p.saltLength, 0u);
    ASSERT_TRUE(readPss(tlv(0x30, tlv(0xA2, hex("020500FFFFFFFF"))), &p));
    EXPECT_EQ(p.saltLength, 0xFFFFFFFFu);

    // What the platform cannot do is read, not refused: another mask, an unknown hash.
    ASSERT_TRUE(readPss(tlv(0x30, tlv(0xA1, tlv(0x30, tlv(0x06, hex("2A864886F70D010109"))))), &p));
    EXPECT_FALSE(p.maskIsMgf1);
    ASSERT_TRUE(readPss(tlv(0x30, tlv(0xA0, tlv(0x30, tlv(0x06, hex("608648016503040204"))))), &p));  // SHA-224
    EXPECT_EQ(p.hash, DigestKind::Unknown);
}

TEST(PssParameters, MalformedOnesAreRefused) {
    PssParameters p;
    const Bytes refused[] = {
        hex("020100"),                                                  // an INTEGER, not a SEQUENCE
        tlv(0x30, tlv(0xA2, hex("0201FF"))),                            // a negative salt length
        tlv(0x30, tlv(0xA2, hex("02050100000000"))),                    // a salt length over 32 bits
        tlv(0x30, tlv(0xA2, hex("0401 20"))),                           // not an INTEGER
        tlv(0x30, tlv(0xA0, cat({SHA256_ID, SHA256_ID}))),              // two values in one field
        tlv(0x30, tlv(0xA0, tlv(0x30, cat({tlv(0x06, hex("608648016503040201")), hex("020100")})))),  // hash parameters not NULL
        tlv(0x30, tlv(0xA1, tlv(0x30, tlv(0x06, hex("2A864886F70D010108"))))),  // MGF1 without its hash
        tlv(0x30, cat({tlv(0xA2, hex("020120")), tlv(0xA0, SHA256_ID)})),  // fields out of order
        tlv(0x30, tlv(0xA4, hex("020101"))),                            // a field the standard has not
        tlv(0x30, hex("A0")),                                           // truncated
    };
    for (const Bytes& der : refused) {
        SCOPED_TRACE(::testing::PrintToString(der));
        ber::Element e;
        ASSERT_TRUE(ber::read({der.data(), der.size()}, &e)) << "each case is one element, refused for its content";
        EXPECT_FALSE(readPssParameters(&e, &p));
    }
    ber::Element null = elementOf(hex("0500"));
    EXPECT_FALSE(readPssParameters(&null, &p));
}

Bytes plain(const Bytes& der, size_t field, bool* ok) {
    std::vector<uint8_t> out;
    *ok = ecdsaSignatureToPlain({der.data(), der.size()}, field, &out);
    return out;
}

TEST(EcdsaSignature, IntegersBecomeFixedWidthHalvesByTheirValue) {
    bool ok = false;
    // A leading 00 that keeps r positive goes; a short s is padded in front.
    EXPECT_EQ(plain(tlv(0x30, cat({tlv(0x02, hex("00 80 01 02 03")), tlv(0x02, hex("05"))})), 4, &ok),
              hex("80010203 00000005"));
    EXPECT_TRUE(ok);
    // Values exactly as wide as the field, and P-521's 66 octets with a top octet of 01.
    Bytes r66(66, 0xAB), s66(66, 0xCD);
    r66[0] = 0x01;
    s66[0] = 0x00;
    s66[1] = 0x7F;
    const Bytes out = plain(tlv(0x30, cat({tlv(0x02, r66), tlv(0x02, Bytes(s66.begin() + 1, s66.end()))})), 66, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(out, cat({r66, s66}));
    // Redundant zeros in front (not DER, but the value is what counts).
    EXPECT_EQ(plain(tlv(0x30, cat({tlv(0x02, hex("0000 01")), tlv(0x02, hex("02"))})), 2, &ok), hex("0001 0002"));
    EXPECT_TRUE(ok);
}

TEST(EcdsaSignature, WhatIsNoSignatureOfTheCurveIsRefused) {
    const Bytes refused[] = {
        tlv(0x30, cat({tlv(0x02, hex("01020304 05")), tlv(0x02, hex("01"))})),  // r wider than the field
        tlv(0x30, cat({tlv(0x02, hex("81")), tlv(0x02, hex("01"))})),           // r negative
        tlv(0x30, cat({tlv(0x02, hex("00")), tlv(0x02, hex("01"))})),           // r zero
        tlv(0x30, cat({tlv(0x02, hex("01")), tlv(0x02, Bytes{})})),             // s empty
        tlv(0x30, tlv(0x02, hex("01"))),                                        // s missing
        tlv(0x30, cat({tlv(0x02, hex("01")), tlv(0x02, hex("01")), tlv(0x02, hex("01"))})),  // a third value
        tlv(0x30, cat({tlv(0x04, hex("01")), tlv(0x02, hex("01"))})),           // not INTEGERs
        cat({tlv(0x30, cat({tlv(0x02, hex("01")), tlv(0x02, hex("01"))})), hex("00")}),  // bytes after it
        tlv(0x31, cat({tlv(0x02, hex("01")), tlv(0x02, hex("01"))})),           // a SET
        hex("30 80 0201 01 0201 01 0000"),                                      // indefinite length
        Bytes{},
    };
    for (const Bytes& der : refused) {
        SCOPED_TRACE(::testing::PrintToString(der));
        bool ok = true;
        plain(der, 4, &ok);
        EXPECT_FALSE(ok);
    }
    bool ok = true;
    plain(tlv(0x30, cat({tlv(0x02, hex("01")), tlv(0x02, hex("01"))})), 0, &ok);
    EXPECT_FALSE(ok);
}

Bytes testCard(const std::string& name) {
    std::ifstream in(std::string(QUILL_TESTDATA_DIR) + "/pki/cards/" + name + ".der", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(SignatureAlgorithmName, SchemeCurveAndDigestAsAPersonReadsThem) {
    struct Case {
        const char* signatureOid;
        const char* digestOid;
        const char* card;
        const char* expected;
    } cases[] = {
        {"1.2.840.10045.4.3.4", "2.16.840.1.101.3.4.2.3", "ec-p521", "ECDSA P-521, SHA-512"},
        {"1.2.840.10045.2.1", "2.16.840.1.101.3.4.2.1", "ec-p256", "ECDSA P-256, SHA-256"},
        {"1.2.840.10045.4.3.2", "2.16.840.1.101.3.4.2.1", "", "ECDSA, SHA-256"},
        {"1.2.840.113549.1.1.10", "1.3.14.3.2.26", "pss", "RSASSA-PSS, SHA-1"},
        {"1.2.840.113549.1.1.1", "1.2.840.113549.2.5", "card144", "RSA, MD5"},
        {"2.16.840.1.101.3.4.3.2", "2.16.840.1.101.3.4.2.1", "dsa", "DSA, SHA-256"},
        {"1.3.101.112", "2.16.840.1.101.3.4.2.3", "", "Ed25519, SHA-512"},
        {"1.2.3.4.5", "2.16.840.1.101.3.4.2.4", "", "1.2.3.4.5, 2.16.840.1.101.3.4.2.4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const std::vector<uint8_t> signatureOid = ber::oidFromText(c.signatureOid), digestOid = ber::oidFromText(c.digestOid);
        const Bytes signatureDer = tlv(0x06, signatureOid), digestDer = tlv(0x06, digestOid);
        SignerInfo signer;
        signer.signatureAlgorithm = elementOf(signatureDer);
        signer.digestAlgorithm = elementOf(digestDer);
        const Bytes certificate = *c.card ? testCard(c.card) : Bytes();
        ASSERT_EQ(certificate.empty(), !*c.card) << "no test card " << c.card;
        EXPECT_EQ(signatureAlgorithmName(signer, {certificate.data(), certificate.size()}), c.expected);
    }
}

// A TSTInfo's imprint and time are read; anything else of that shape is refused.
TEST(TstInfo, ImprintAndTimeOfVersionOneOnly) {
    const Bytes imprint = tlv(0x30, cat({SHA256_ID, tlv(0x04, Bytes(32, 0x5A))}));
    const Bytes time = tlv(0x18, hex("3230323130363031313230303030 5A"));  // 20210601120000Z
    const auto info = [&](const Bytes& version, const Bytes& tail) {
        return tlv(0x30, cat({version, tlv(0x06, hex("2A0304")), imprint, hex("020110"), tail}));
    };
    TstInfo out;
    Bytes der = info(hex("020101"), cat({time, hex("3003020101")}));  // with an accuracy after it
    ASSERT_TRUE(readTstInfo({der.data(), der.size()}, &out));
    EXPECT_EQ(out.imprint.size, 32u);
    EXPECT_EQ(out.imprint.data[0], 0x5A);
    EXPECT_EQ(ber::oidText(out.imprintAlgorithm), "2.16.840.1.101.3.4.2.1");
    EXPECT_EQ(out.genTime.content.size, 15u);

    const Bytes refused[] = {
        info(hex("020102"), time),                         // version 2
        info(hex("020101"), tlv(0x17, hex("3231303630313132303030305A"))),  // UTCTime
        info(hex("020101"), Bytes{}),                      // no time
        cat({info(hex("020101"), time), hex("00")}),       // bytes after it
        tlv(0x31, cat({hex("020101"), tlv(0x06, hex("2A0304")), imprint, hex("020110"), time})),  // a SET
    };
    for (const Bytes& bad : refused) {
        SCOPED_TRACE(::testing::PrintToString(bad));
        EXPECT_FALSE(readTstInfo({bad.data(), bad.size()}, &out));
    }
}

}  // namespace
