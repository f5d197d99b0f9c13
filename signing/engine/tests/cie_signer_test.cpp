// The middleware back-end against the CIE middleware stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Cie_MetaCmd.h"
#include "cie_signer.h"
#include "message_box_recorder.h"
#include "result_codes.h"
#include "simulated_card.h"

namespace {

const char PIN[] = "12345678";
const std::string RECORD = "00001004Q51205ROSSI";

class MiddlewareBackEnd : public testing::Test {
protected:
    void connect(const std::string& profile) {
        card_.insert(profile);
        ASSERT_EQ(CIE_Connect(nullptr), 0u);
        connected_ = true;
    }
    void TearDown() override {
        if (connected_) CIE_Disconnect();
    }

    int32_t sign(uint8_t* out, uint32_t* length, const char* pin = PIN) {
        return fnSignBufferCie(pin, static_cast<uint8_t>(std::strlen(pin)), content_.data(),
                               static_cast<uint32_t>(content_.size()),
                               reinterpret_cast<const uint8_t*>(RECORD.data()),
                               static_cast<uint32_t>(RECORD.size()), out, length);
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;  // the back-end shows none
    Bytes content_ = Bytes(5000, 'c');
    bool connected_ = false;
};

TEST_F(MiddlewareBackEnd, TwoCallProtocol) {
    connect("cie140");
    uint32_t needed = 0;
    ASSERT_EQ(sign(nullptr, &needed), 0);
    ASSERT_GT(needed, content_.size());

    Bytes tooSmall(needed - 1, 0xEE);
    uint32_t length = needed - 1;
    EXPECT_EQ(sign(tooSmall.data(), &length), SIGN_ERR_BUFFER_SMALL);
    EXPECT_EQ(length, needed);
    EXPECT_TRUE(std::all_of(tooSmall.begin(), tooSmall.end(), [](uint8_t b) { return b == 0xEE; }));

    Bytes roomy(needed + 4096, 0xEE);
    length = needed;  // the capacity announced, as the caller does
    ASSERT_EQ(sign(roomy.data(), &length), 0);
    EXPECT_EQ(length, needed);
    EXPECT_EQ(roomy[0], 0x30);
    EXPECT_EQ(roomy[needed], 0xEE);
    // The personal-data record closes the file.
    EXPECT_EQ(std::string(roomy.begin() + needed - RECORD.size(), roomy.begin() + needed), RECORD);

    // Every call ran the whole sequence on the card.
    EXPECT_EQ(card_.count("CIE_VerifyPIN"), 3);
    EXPECT_EQ(card_.count("CIE_Sign"), 3);
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(MiddlewareBackEnd, RefusedPinIsTheMiddlewaresCodeAndNothingIsSigned) {
    connect("cie140");
    uint32_t length = 0;
    EXPECT_EQ(sign(nullptr, &length, "00000000"), 0x6300);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(card_.count("CIE_Sign"), 0);
}

TEST_F(MiddlewareBackEnd, EmptyContentCannotBeDigested) {
    connect("cie140");
    content_.clear();
    uint32_t length = 0;
    EXPECT_EQ(sign(nullptr, &length), SIGN_ERR_DIGEST);
    EXPECT_EQ(card_.count("CIE_Sign"), 0);
}

TEST_F(MiddlewareBackEnd, CardFailuresPassTheirCodesThroughAndWriteNothing) {
    for (const char* failing : {"CIE_Sign", "CIE_ReadCCarta"}) {
        SimulatedCard card;
        card.insertVariant("cie140", std::string("fail = ") + failing);
        ASSERT_EQ(CIE_Connect(nullptr), 0u);
        Bytes out(8192, 0xEE);
        uint32_t length = static_cast<uint32_t>(out.size());
        EXPECT_EQ(sign(out.data(), &length), 0x6F00) << failing;
        EXPECT_EQ(length, out.size());
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xEE; }));
        CIE_Disconnect();
    }
}

TEST_F(MiddlewareBackEnd, WithoutAConnectionTheMiddlewareRefuses) {
    card_.insert("cie140");
    uint32_t length = 0;
    EXPECT_EQ(sign(nullptr, &length), static_cast<int32_t>(SCARD_E_INVALID_HANDLE));
}

TEST_F(MiddlewareBackEnd, CertificateThatCannotBeDecodedGivesTheEncodersCode) {
    const std::string garbage = card_.scratch() + "\\garbage.der";
    writeWholeFile(garbage, Bytes(300, 0x42));
    card_.insertVariant("cie140", "certificate = " + garbage);
    ASSERT_EQ(CIE_Connect(nullptr), 0u);
    connected_ = true;
    uint32_t length = 0;
    const int32_t result = sign(nullptr, &length);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, SIGN_ERR_BUFFER_SMALL);
    EXPECT_EQ(length, 0u);
}

TEST_F(MiddlewareBackEnd, KeyLongerThan4096BitsGivesTheCardsCode) {
    card_.insertVariant("cie140", "certificate = ../pki/cards/card144-8192.der\n"
                                  "key = ../pki/cards/card144-8192.keyblob");
    ASSERT_EQ(CIE_Connect(nullptr), 0u);
    connected_ = true;
    uint32_t length = 0;
    EXPECT_EQ(sign(nullptr, &length), static_cast<int32_t>(SCARD_E_INSUFFICIENT_BUFFER));
}

// The stand-in itself: a signature goes only into a buffer that holds it.
TEST_F(MiddlewareBackEnd, SimulatedCardHonoursTheSignatureLength) {
    connect("cie140");  // a 1024-bit key
    const BYTE data[35] = {0x30};
    BYTE signature[512];
    DWORD length = 127;
    EXPECT_EQ(CIE_Sign(data, 35, signature, &length), static_cast<DWORD>(SCARD_E_INSUFFICIENT_BUFFER));
    length = 512;
    EXPECT_EQ(CIE_Sign(data, 35, signature, &length), 0u);
    EXPECT_EQ(length, 128u);
}

TEST_F(MiddlewareBackEnd, MissingLengthIsRefused) {
    connect("cie140");
    EXPECT_EQ(fnSignBufferCie(PIN, 8, content_.data(), 10, nullptr, 0, nullptr, nullptr),
              SIGN_ERR_GENERIC);
}

}  // namespace
