// The simulated cards' RSA against OpenSSL: for every test card, the signature
// of the SHA-1 DigestInfo of "abc" must equal the one that OpenSSL made with the
// same key when the test PKI was generated (PKCS#1 v1.5 is deterministic).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "rsa_signer.h"

namespace {

using cardsim::Bytes;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string card(const std::string& name, const std::string& extension) {
    return std::string(QUILL_TESTDATA_DIR) + "/pki/cards/" + name + extension;
}

// DigestInfo { SHA-1, SHA-1("abc") }
const Bytes ABC_DIGEST_INFO = {
    0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14,
    0xA9, 0x99, 0x3E, 0x36, 0x47, 0x06, 0x81, 0x6A, 0xBA, 0x3E, 0x25, 0x71, 0x78, 0x50, 0xC2,
    0x6C, 0x9C, 0xD0, 0xD8, 0x9D};

class RsaSigner : public testing::TestWithParam<const char*> {};

TEST_P(RsaSigner, SignsLikeOpenSsl) {
    const Bytes key = readFile(card(GetParam(), ".keyblob"));
    const Bytes expected = readFile(card(GetParam(), ".abc.sig"));
    ASSERT_FALSE(expected.empty());
    Bytes signature;
    ASSERT_TRUE(cardsim::signPkcs1(key, ABC_DIGEST_INFO.data(), ABC_DIGEST_INFO.size(), &signature));
    EXPECT_EQ(signature, expected);
    EXPECT_EQ(cardsim::keyBlobModulusBytes(key), expected.size());
}

INSTANTIATE_TEST_SUITE_P(TestCards, RsaSigner,
                         testing::Values("cie140", "card144", "card144-2048", "card144-4096", "serial00"));

TEST(RsaSignerLimits, RefusesDataTooLongForTheKeyAndMalformedBlobs) {
    const Bytes key = readFile(card("cie140", ".keyblob"));  // 128-byte modulus
    Bytes signature;
    const Bytes longest(117, 0x55), tooLong(118, 0x55);
    EXPECT_TRUE(cardsim::signPkcs1(key, longest.data(), longest.size(), &signature));
    EXPECT_EQ(signature.size(), 128u);
    EXPECT_FALSE(cardsim::signPkcs1(key, tooLong.data(), tooLong.size(), &signature));

    const Bytes truncated(key.begin(), key.begin() + key.size() / 2);
    EXPECT_FALSE(cardsim::signPkcs1(truncated, longest.data(), 10, &signature));
    EXPECT_EQ(cardsim::keyBlobModulusBytes(truncated), 0u);
    EXPECT_EQ(cardsim::keyBlobModulusBytes(Bytes(40, 0)), 0u);
}

}  // namespace
