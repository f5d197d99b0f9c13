#include "ocsp_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> answer(const std::string& name) {
    std::ifstream in(std::string(QUILL_TESTDATA_DIR) + "/ocsp/" + name + ".der", std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> hex(const char* text) {
    std::vector<uint8_t> out;
    for (; text[0] && text[1]; text += 2) out.push_back(static_cast<uint8_t>(std::stoi(std::string(text, 2), nullptr, 16)));
    return out;
}

UtcSeconds at(const char* text) {
    UtcSeconds t = 0;
    EXPECT_TRUE(readDateTime(text, &t)) << text;
    return t;
}

// The CertID of the card with serial `serial` of authority 140, as OpenSSL
// computes it (SHA-1 of 140's subject Name and of its key's bits).
OcspCertId of140(const char* serial) {
    return {hex("2B0E03021A"), hex("3EB11847664C90BF0F5958BC3E06BACA6B41EA5A"),
            hex("8170944D343F031F1FA43E12785C8EFE70666268"), hex(serial)};
}

// OpenSSL's responder (signing as 140, carrying its certificate, with the
// request's nonce, next update a day after) on 2026-12-09 00:56:12.
const char* const PRODUCED = "2026-12-09T00:56:12Z";

TEST(OcspResponse, OpenSslsAnswersReadWhole) {
    const std::vector<uint8_t> good = answer("good"), revoked = answer("revoked"), unknown = answer("unknown");
    OcspResponse r;
    ASSERT_TRUE(readOcspResponse({good.data(), good.size()}, &r));
    EXPECT_EQ(r.responseStatus, OCSP_SUCCESSFUL);
    EXPECT_TRUE(r.basic);
    EXPECT_FALSE(r.responderName.empty());
    EXPECT_EQ(r.producedAt, at(PRODUCED));
    ASSERT_EQ(r.responses.size(), 1u);
    EXPECT_EQ(r.responses[0].status, OcspCertStatus::Good);
    EXPECT_TRUE(r.responses[0].certId == of140("1000"));
    EXPECT_TRUE(r.responses[0].hasNextUpdate);
    EXPECT_EQ(r.responses[0].nextUpdate - r.responses[0].thisUpdate, 24 * 3600);
    EXPECT_TRUE(r.hasNonce);
    EXPECT_EQ(r.certificates.size(), 1u);
    EXPECT_EQ(r.signature.size, 256u);

    ASSERT_TRUE(readOcspResponse({revoked.data(), revoked.size()}, &r));
    ASSERT_EQ(r.responses.size(), 1u);
    EXPECT_EQ(r.responses[0].status, OcspCertStatus::Revoked);
    EXPECT_EQ(r.responses[0].revocationTime, at("2024-01-01T00:00:00Z"));  // with its reason
    ASSERT_TRUE(readOcspResponse({unknown.data(), unknown.size()}, &r));
    ASSERT_EQ(r.responses.size(), 1u);
    EXPECT_EQ(r.responses[0].status, OcspCertStatus::Unknown);
}

TEST(OcspResponse, CutExtendedOrNotSuccessfulAnswers) {
    std::vector<uint8_t> good = answer("good");
    OcspResponse r;
    EXPECT_FALSE(readOcspResponse({good.data(), good.size() - 1}, &r));
    good.push_back(0);
    EXPECT_FALSE(readOcspResponse({good.data(), good.size()}, &r)) << "trailing bytes";
    const std::vector<uint8_t> tryLater = {0x30, 0x03, 0x0A, 0x01, 0x03};
    ASSERT_TRUE(readOcspResponse({tryLater.data(), tryLater.size()}, &r));
    EXPECT_EQ(r.responseStatus, 3);
    const OcspSingleResponse* single = nullptr;
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), {}, at(PRODUCED), &single), "");
    EXPECT_EQ(single, nullptr);
}

TEST(OcspResponse, TheRulesOfABelievedAnswer) {
    const std::vector<uint8_t> good = answer("good");
    OcspResponse r;
    ASSERT_TRUE(readOcspResponse({good.data(), good.size()}, &r));
    const std::vector<uint8_t> nonce(r.nonce.data, r.nonce.data + r.nonce.size);
    const UtcSeconds produced = at(PRODUCED);
    const OcspSingleResponse* single = nullptr;
    EXPECT_EQ(ocspAnswerRefusal(r, of140("1000"), nonce, produced + 3600, &single), "");
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->status, OcspCertStatus::Good);

    // Another serial, another issuer key, another hash algorithm: no answer for it.
    EXPECT_NE(ocspAnswerRefusal(r, of140("1001"), nonce, produced, &single), "");
    OcspCertId otherKey = of140("1000");
    otherKey.issuerKeyHash[0] ^= 1;
    EXPECT_NE(ocspAnswerRefusal(r, otherKey, nonce, produced, &single), "");
    OcspCertId sha256 = of140("1000");
    sha256.hashAlgorithm = hex("608648016503040201");
    EXPECT_NE(ocspAnswerRefusal(r, sha256, nonce, produced, &single), "");

    // Times: five minutes' leeway before thisUpdate, none after nextUpdate.
    EXPECT_EQ(ocspAnswerRefusal(r, of140("1000"), nonce, produced - OCSP_CLOCK_LEEWAY, &single), "");
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), nonce, produced - OCSP_CLOCK_LEEWAY - 1, &single), "");
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), nonce, r.responses[0].nextUpdate, &single), "");
    r.responses[0].hasNextUpdate = false;  // then a day from thisUpdate
    EXPECT_EQ(ocspAnswerRefusal(r, of140("1000"), nonce, produced + OCSP_ANSWER_LIFE, &single), "");
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), nonce, produced + OCSP_ANSWER_LIFE + 1, &single), "");

    // The nonce: the one sent, or the answer is a replay.
    std::vector<uint8_t> other = nonce;
    other.back() ^= 1;
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), other, produced, &single), "");
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), {}, produced, &single), "");
    r.hasNonce = false;  // a responder that gives none
    EXPECT_EQ(ocspAnswerRefusal(r, of140("1000"), nonce, produced, &single), "");

    r.unknownCriticalExtension = true;
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), nonce, produced, &single), "");
    r.unknownCriticalExtension = false;
    r.responses.push_back(r.responses[0]);  // two answers for one certificate
    EXPECT_NE(ocspAnswerRefusal(r, of140("1000"), nonce, produced, &single), "");
}

// The request OpenSSL made for that answer, byte for byte, from the same
// CertID and nonce; and without a nonce, no extensions at all.
TEST(OcspRequest, AsOpenSslWritesIt) {
    const std::vector<uint8_t> openssl = answer("request-cie140");
    const std::vector<uint8_t> nonce = hex("0410F01F4464B4FFF1070281B84F5A9FAB17");
    EXPECT_EQ(ocspRequest(of140("1000"), nonce), openssl);
    const std::vector<uint8_t> bare = ocspRequest(of140("1000"), {});
    ASSERT_EQ(bare.size(), openssl.size() - 37);  // the [2] extensions, 2 + 35 octets
    EXPECT_EQ(bare[1], 0x43);  // the request, then the TBSRequest around the request list alone
    EXPECT_EQ(bare[3], 0x41);
    EXPECT_TRUE(std::equal(bare.begin() + 4, bare.end(), openssl.begin() + 4));
}

TEST(OcspResponse, GeneralizedTimes) {
    const auto read = [](const char* text, UtcSeconds* t) {
        return readGeneralizedTime({reinterpret_cast<const uint8_t*>(text), std::strlen(text)}, t);
    };
    UtcSeconds t = 0;
    EXPECT_TRUE(read("20240101000000Z", &t));
    EXPECT_EQ(t, at("2024-01-01T00:00:00Z"));
    EXPECT_TRUE(read("20240101000000.123Z", &t));
    EXPECT_EQ(t, at("2024-01-01T00:00:00Z"));
    for (const char* bad : {"20240101000000", "2024010100000Z", "20240231000000Z", "20240101000000.Z", "2024010100000aZ",
                            "20240101000000+0100"}) {
        EXPECT_FALSE(read(bad, &t)) << bad;
    }
}

}  // namespace

// One plain file name per certificate asked about, however long its serial.
TEST(OcspResponse, CacheNames) {
    OcspCertId id;
    id.issuerKeyHash = {0x81, 0x70, 0x94};
    id.serial = {0x71, 0x00};
    EXPECT_EQ(ocspCacheName(id).substr(0, 17), "ocsp-817094-7100-");
    OcspCertId other = id;
    other.serial = {0x71, 0x01};
    EXPECT_NE(ocspCacheName(id), ocspCacheName(other));
    other = id;
    other.issuerKeyHash = {0x81, 0x70, 0x95};
    EXPECT_NE(ocspCacheName(id), ocspCacheName(other));
    // Two serials that differ only past the readable part keep apart too.
    OcspCertId longA = id, longB = id;
    longA.serial.assign(200, 0xAB);
    longB.serial = longA.serial;
    longB.serial.back() = 0xAC;
    const std::string a = ocspCacheName(longA);
    EXPECT_LE(a.size(), 5u + 96u + 9u);
    EXPECT_NE(a, ocspCacheName(longB));
    EXPECT_EQ(a.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos) << a;
}
