// OCSP answers of OpenSSL's responder through the gate: the answers for
// cards of authority 140, which signed them itself.
#include "ocsp_acceptance.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_card_key.h"

namespace {

struct Certificate {
    PCCERT_CONTEXT context;
    explicit Certificate(const std::string& relative) {
        const Bytes der = readWholeFile(testDataPath(relative));
        context = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
        if (context == nullptr) throw std::runtime_error("no certificate: " + relative);
    }
    ~Certificate() { CertFreeCertificateContext(context); }
};

UtcSeconds at(const char* text) {
    UtcSeconds t = 0;
    EXPECT_TRUE(readDateTime(text, &t)) << text;
    return t;
}

// The nonce each answer carries, as its request sent it.
std::vector<uint8_t> nonceOf(const Bytes& answer) {
    OcspResponse r;
    EXPECT_TRUE(readOcspResponse({answer.data(), answer.size()}, &r));
    return std::vector<uint8_t>(r.nonce.data, r.nonce.data + r.nonce.size);
}

const char* const LATER = "2026-12-09T02:00:00Z";  // an hour after the answers were produced

TEST(OcspGate, TheAuthoritysOwnAnswersAreBelieved) {
    const Certificate ca140("pki/ca/140.der"), good("pki/cards/cie140.der"), revoked("pki/cards/revoked.der"),
        unknown("pki/cards/expired-2023.der");
    const Bytes goodAnswer = readWholeFile(testDataPath("ocsp/good.der"));
    OcspAnswer answer;
    // The nonce of the request OpenSSL sent (testdata/ocsp/README.md).
    const std::vector<uint8_t> sent = {0x04, 0x10, 0xF0, 0x1F, 0x44, 0x64, 0xB4, 0xFF, 0xF1, 0x07,
                                       0x02, 0x81, 0xB8, 0x4F, 0x5A, 0x9F, 0xAB, 0x17};
    ASSERT_EQ(acceptOcspAnswer({goodAnswer.data(), goodAnswer.size()}, good.context, ca140.context, sent, at(LATER),
                               &answer),
              "");
    EXPECT_EQ(answer.status, OcspCertStatus::Good);
    EXPECT_EQ(answer.speaksUntil, answer.thisUpdate + 24 * 3600);

    const Bytes revokedAnswer = readWholeFile(testDataPath("ocsp/revoked.der"));
    ASSERT_EQ(acceptOcspAnswer({revokedAnswer.data(), revokedAnswer.size()}, revoked.context, ca140.context,
                               nonceOf(revokedAnswer), at(LATER), &answer),
              "");
    EXPECT_EQ(answer.status, OcspCertStatus::Revoked);
    EXPECT_EQ(answer.revocationTime, at("2024-01-01T00:00:00Z"));

    const Bytes unknownAnswer = readWholeFile(testDataPath("ocsp/unknown.der"));
    ASSERT_EQ(acceptOcspAnswer({unknownAnswer.data(), unknownAnswer.size()}, unknown.context, ca140.context,
                               nonceOf(unknownAnswer), at(LATER), &answer),
              "");
    EXPECT_EQ(answer.status, OcspCertStatus::Unknown);
}

TEST(OcspGate, AnswersOfAnotherCertificateOrAuthorityOrBrokenAreRefused) {
    const Certificate ca140("pki/ca/140.der"), ca141("pki/ca/141.der"), good("pki/cards/cie140.der"),
        revoked("pki/cards/revoked.der"), cie141("pki/cards/cie141.der");
    Bytes bytes = readWholeFile(testDataPath("ocsp/good.der"));
    const std::vector<uint8_t> nonce = nonceOf(bytes);
    OcspAnswer answer;
    const auto refusal = [&](PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
        return acceptOcspAnswer({bytes.data(), bytes.size()}, certificate, issuer, nonce, at(LATER), &answer);
    };
    EXPECT_NE(refusal(revoked.context, ca140.context), "") << "the answer for another serial";
    EXPECT_NE(refusal(cie141.context, ca141.context), "") << "the answer of another authority";
    // One bit of the signature value changed.
    OcspResponse read;
    ASSERT_TRUE(readOcspResponse({bytes.data(), bytes.size()}, &read));
    const size_t offset = static_cast<size_t>(read.signature.data - bytes.data()) + 10;
    bytes[offset] ^= 0x01;
    EXPECT_EQ(refusal(good.context, ca140.context), "firma della risposta non valida");
    bytes[offset] ^= 0x01;
    EXPECT_EQ(refusal(good.context, ca140.context), "");
}

// Answers signed by responders (make-test-pki --ocsp-responders): one that
// 140 authorised, named by name or by key hash, is believed; one without the
// OCSP signing usage, or authorised by another authority, is not.
TEST(OcspGate, ADelegatedResponderMustBeTheIssuersAndForOcsp) {
    const Certificate ca140("pki/ca/140.der"), good("pki/cards/cie140.der");
    const auto judged = [&](const char* name, OcspAnswer* answer) {
        const Bytes bytes = readWholeFile(testDataPath(std::string("ocsp/") + name + ".der"));
        OcspResponse read;
        EXPECT_TRUE(readOcspResponse({bytes.data(), bytes.size()}, &read)) << name;
        return acceptOcspAnswer({bytes.data(), bytes.size()}, good.context, ca140.context, nonceOf(bytes),
                                read.producedAt + 3600, answer);
    };
    OcspAnswer answer;
    EXPECT_EQ(judged("delegated-good", &answer), "");
    EXPECT_EQ(answer.status, OcspCertStatus::Good);
    EXPECT_EQ(judged("delegated-by-key", &answer), "");
    EXPECT_EQ(judged("responder-without-usage", &answer), "il certificato del risponditore non è destinato alle risposte OCSP");
    EXPECT_EQ(judged("responder-of-another-authority", &answer), "risponditore non autorizzato dall'autorità del certificato");
}

}  // namespace
