#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "card_profile.h"

namespace {

using cardsim::Bytes;
using cardsim::CardProfile;

std::string testdata(const std::string& relative) {
    return std::string(QUILL_TESTDATA_DIR) + "/" + relative;
}

// A profile written beside the checked-in ones, so that relative names work.
// Named after the running test: ctest runs the tests of this file side by side,
// and a shared name let one test read the profile another had just written.
class ProfileFile {
public:
    explicit ProfileFile(const std::string& text)
        : path_(testdata(std::string("cards/unit-test.") +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                         ".profile.tmp")) {
        std::ofstream(path_) << text;
    }
    ~ProfileFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
private:
    std::string path_;
};

TEST(CardProfile, ReadsACieProfileWithItsFilesRelativeToItsFolder) {
    CardProfile p;
    std::string error;
    ASSERT_TRUE(cardsim::loadCardProfile(testdata("cards/cie140.profile"), &p, &error)) << error;
    EXPECT_TRUE(p.readerPresent);
    EXPECT_TRUE(p.cardPresent);
    EXPECT_EQ(p.atr, (Bytes{0x3B, 0xE9, 0x00, 0xFF, 0xC1, 0x10, 0x31, 0xFE, 0x55, 0x00, 0x64,
                            0x05, 0x00, 0xC8, 0x02, 0x31, 0x80, 0x00, 0x47}));
    EXPECT_EQ(p.pin, "12345678");
    EXPECT_EQ(p.personalData.substr(0, 14), "00007604Q51208");
    EXPECT_GT(p.certificate.size(), 500u);
    EXPECT_EQ(p.key[0], 0x07);  // PRIVATEKEYBLOB
    EXPECT_EQ(p.tokens, 1);
    EXPECT_EQ(p.label, "Sign");
    EXPECT_TRUE(p.failing.empty());
}

TEST(CardProfile, DefaultsFollowTheReaderAndCard) {
    CardProfile p;
    std::string error;
    ASSERT_TRUE(cardsim::loadCardProfile(testdata("cards/no-reader.profile"), &p, &error)) << error;
    EXPECT_FALSE(p.readerPresent);
    EXPECT_FALSE(p.cardPresent);  // no reader, no card
    EXPECT_EQ(p.tokens, 0);
}

TEST(CardProfile, KeyIdFollowsTheCertificateIdUnlessGiven) {
    std::string error;
    CardProfile a, b;
    ProfileFile first("key_id = 07\ncert_id = 0A 0B\n");
    ASSERT_TRUE(cardsim::loadCardProfile(first.path(), &a, &error)) << error;
    EXPECT_EQ(a.certificateId, (Bytes{0x0A, 0x0B}));
    EXPECT_EQ(a.keyId, (Bytes{0x07}));
    ProfileFile second("cert_id = 0a0b\nfail = C_Sign, CIE_Sign ,\n");
    ASSERT_TRUE(cardsim::loadCardProfile(second.path(), &b, &error)) << error;
    EXPECT_EQ(b.keyId, (Bytes{0x0A, 0x0B}));
    EXPECT_TRUE(b.fails("C_Sign"));
    EXPECT_TRUE(b.fails("CIE_Sign"));
    EXPECT_FALSE(b.fails("C_Login"));
}

TEST(CardProfile, RefusesWhatItCannotUseNamingTheLine) {
    const char* bad[] = {"atr = 3B E", "atr = zz", "reader = maybe", "tokens = -1",
                         "certificate = missing.der", "colour = blue", "just words"};
    for (const char* line : bad) {
        ProfileFile file(std::string("# a comment\n") + line + "\n");
        CardProfile p;
        std::string error;
        EXPECT_FALSE(cardsim::loadCardProfile(file.path(), &p, &error)) << line;
        EXPECT_NE(error.find(":2:"), std::string::npos) << error;
    }
    CardProfile p;
    std::string error;
    EXPECT_FALSE(cardsim::loadCardProfile(testdata("cards/absent.profile"), &p, &error));
}

}  // namespace
