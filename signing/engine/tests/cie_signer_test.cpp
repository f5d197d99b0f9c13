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

const std::string RECORD = "00001004Q51205ROSSI";

class MiddlewareBackEnd : public testing::Test {
protected:
    // Connects to the cie140 card with further profile lines.
    void connect(const std::string& extraLines = "") {
        card_.insertVariant("cie140", extraLines);
        ASSERT_EQ(CIE_Connect(nullptr), 0u);
        connected_ = true;
    }
    void TearDown() override {
        if (connected_) CIE_Disconnect();
        EXPECT_TRUE(boxes_.boxes().empty()) << "the back-end shows no boxes";
    }

    int32_t sign(uint8_t* out, uint32_t* length, const std::string& pin = "12345678") {
        return fnSignBufferCie(pin.c_str(), static_cast<uint8_t>(pin.size()), content_.data(),
                               static_cast<uint32_t>(content_.size()),
                               reinterpret_cast<const uint8_t*>(RECORD.data()),
                               static_cast<uint32_t>(RECORD.size()), out, length);
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;
    Bytes content_ = Bytes(5000, 'c');
    bool connected_ = false;
};

// Every failure is a code of its own, and the caller's buffer stays untouched;
// a buffer too small learns the length it needs. (fnSignFile's tests sign.)
TEST_F(MiddlewareBackEnd, FailuresGiveTheirCodeAndDeliverNothing) {
    const std::string garbage = card_.scratch() + "\\garbage.der";
    writeWholeFile(garbage, Bytes(300, 0x42));
    const int32_t PLATFORM_CODE = 1;  // the encoder's certificate-decoding error
    const struct { const char* what; std::string lines; std::string pin; size_t content; int32_t code; } rows[] = {
        {"buffer too small", "", "12345678", 9000, SIGN_ERR_BUFFER_SMALL},
        {"refused PIN", "", "00000000", 5000, SIGN_ERR_PIN},
        {"empty content", "", "12345678", 0, SIGN_ERR_DIGEST},
        {"CIE_Sign fails", "fail = CIE_Sign", "12345678", 5000, 0x6F00},
        {"CIE_ReadCCarta fails", "fail = CIE_ReadCCarta", "12345678", 5000, 0x6F00},
        {"signature longer than its buffer", "overstate = CIE_Sign", "12345678", 5000, SIGN_ERR_CARD_LENGTH},
        {"certificate longer than its buffer", "overstate = CIE_ReadCCarta", "12345678", 5000,
         SIGN_ERR_CARD_LENGTH},
        {"key over 4096 bits", "certificate = ../pki/cards/card144-8192.der\nkey = ../pki/cards/card144-8192.keyblob",
         "12345678", 5000, static_cast<int32_t>(SCARD_E_INSUFFICIENT_BUFFER)},
        {"certificate that cannot be decoded", "certificate = " + garbage, "12345678", 5000, PLATFORM_CODE},
    };
    for (const auto& row : rows) {
        connect(row.lines);
        content_.assign(row.content, 'c');
        Bytes out(8192, 0xEE);
        uint32_t length = static_cast<uint32_t>(out.size());
        const int32_t code = sign(out.data(), &length, row.pin);
        if (row.code == PLATFORM_CODE) {
            EXPECT_TRUE(code != 0 && code != SIGN_ERR_BUFFER_SMALL && code != SIGN_ERR_GENERIC) << code;
        } else {
            EXPECT_EQ(code, row.code) << row.what;
        }
        if (row.code == SIGN_ERR_BUFFER_SMALL) {
            EXPECT_GT(length, 9000u) << "the SignedFile's length";
        } else {
            EXPECT_EQ(length, out.size()) << row.what;
        }
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xEE; })) << row.what;
        CIE_Disconnect();
        connected_ = false;
    }
}

}  // namespace
