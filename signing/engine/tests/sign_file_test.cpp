// fnSignFile on the simulated cards, with the real PIN prompt answered from a
// helper thread as a person would.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "message_box_recorder.h"
#include "pin_prompt.h"
#include "resource.h"
#include "result_codes.h"
#include "sign_file.h"
#include "signing_log.h"
#include "simulated_card.h"
#include "ui_driver.h"

namespace {

const char PIN_CAPTION[] = "Verifica PIN Quillet";

// Answers every PIN prompt that appears with `pin` and OK, or with Cancel.
class PinAnswerer {
public:
    explicit PinAnswerer(std::string pin, bool cancel = false)
        : watcher_(PIN_CAPTION, [pin, cancel](HWND prompt) {
              if (cancel) {
                  ui::click(prompt, IDC_PIN_CANCEL);
                  return;
              }
              ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), pin);
              ui::click(prompt, IDC_PIN_OK);
          }) {}
    int prompts() const { return watcher_.driven(); }

private:
    ui::WindowWatcher watcher_;
};

class SignFile : public testing::Test {
protected:
    void SetUp() override {
        DeleteFileA(SIGNING_LOG_PATH);
        for (int i = 0; i < 3; ++i) {
            inputs_.push_back(card_.scratch() + "\\file" + std::to_string(i) + ".odt");
            outputs_.push_back(inputs_.back() + ".p7m");
            writeWholeFile(inputs_.back(), Bytes(2000 + i, static_cast<uint8_t>('a' + i)));
        }
    }
    void TearDown() override {
        // Every successful CIE_Connect met exactly one CIE_Disconnect.
        EXPECT_EQ(connects(), card_.count("CIE_Disconnect"));
        for (const std::string& line : card_.logLines()) {
            EXPECT_EQ(line.find("CIE_Disconnect = 0x80100003"), std::string::npos) << "double disconnect";
        }
        DeleteFileA(SIGNING_LOG_PATH);
    }

    int connects() const {
        int n = 0;
        for (const std::string& line : card_.logLines()) n += line.rfind("CIE_Connect = 0x00000000", 0) == 0;
        return n;
    }

    int32_t sign(int index) {
        return fnSignFile(inputs_[index].c_str(), outputs_[index].c_str(), index);
    }

    bool signedFileExists(int index) const {
        return GetFileAttributesA(outputs_[index].c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    void expectBox(const std::string& text, const std::string& caption, UINT style) {
        ASSERT_EQ(boxes_.boxes().size(), 1u);
        EXPECT_EQ(boxes_.boxes()[0].text, text);
        EXPECT_EQ(boxes_.boxes()[0].caption, caption);
        EXPECT_EQ(boxes_.boxes()[0].style, style);
        EXPECT_EQ(boxes_.boxes()[0].owner, GetDesktopWindow());
    }

    std::string log() const {
        try {
            const Bytes bytes = readWholeFile(SIGNING_LOG_PATH);
            return std::string(bytes.begin(), bytes.end());
        } catch (const std::exception&) {
            return "";
        }
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;
    std::vector<std::string> inputs_, outputs_;
};

TEST_F(SignFile, BatchOnACieOfTheMunicipalityAsksThePinOnce) {
    card_.insert("cie140");
    PinAnswerer answerer("12345678");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(sign(i), 0) << "file " << i;
    EXPECT_EQ(answerer.prompts(), 1);
    EXPECT_TRUE(boxes_.boxes().empty());
    // Two passes per file, each with its own PIN check and card signature.
    EXPECT_EQ(card_.count("CIE_VerifyPIN"), 6);
    EXPECT_EQ(card_.count("CIE_Sign"), 6);
    EXPECT_EQ(connects(), 3);
    for (int i = 0; i < 3; ++i) {
        const Bytes file = readWholeFile(outputs_[i]);
        const Bytes content = readWholeFile(inputs_[i]);
        EXPECT_NE(std::search(file.begin(), file.end(), content.begin(), content.end()), file.end());
        // The card's personal-data record closes the file.
        const std::string tail(file.end() - 20, file.end());
        EXPECT_EQ(tail, "VIA ROMA 1 VALDORA00") << i;
    }
    EXPECT_EQ(log(), "");  // a CIE is not logged
}

class SignFileRefusedCie : public SignFile, public testing::WithParamInterface<const char*> {};

TEST_P(SignFileRefusedCie, IsRefusedBeforeThePinIsAsked) {
    card_.insert(GetParam());
    PinAnswerer answerer("12345678");
    EXPECT_EQ(sign(0), SIGN_ERR_GENERIC);
    expectBox("La smartCard non \xE8 una CIE emessa dal Comune Corretto", "",
              MB_ICONEXCLAMATION | MB_OK);
    EXPECT_EQ(answerer.prompts(), 0);
    EXPECT_EQ(card_.count("CIE_VerifyPIN"), 0);
    EXPECT_EQ(connects(), 1);
    EXPECT_FALSE(signedFileExists(0));
}

// Lower-case code, a fifth character, another municipality, no record at all.
INSTANTIATE_TEST_SUITE_P(OtherMunicipalities, SignFileRefusedCie,
                         testing::Values("cie-lowercase", "cie-q5120", "cie-milano", "cie-no-record"));

TEST_F(SignFile, RefusedPinIsReportedAndTheConnectionClosed) {
    card_.insert("cie140");
    PinAnswerer answerer("00000000");
    EXPECT_EQ(sign(0), SIGN_ERR_PIN);
    expectBox("Errore durante le operazioni di firma", "Errore", MB_ICONERROR | MB_OK);
    EXPECT_EQ(card_.count("CIE_Sign"), 0);
    EXPECT_FALSE(signedFileExists(0));
    EXPECT_EQ(connects(), 1);
}

TEST_F(SignFile, CancelledPromptSignsNothing) {
    card_.insert("cie140");
    PinAnswerer answerer("", /*cancel=*/true);
    EXPECT_EQ(sign(0), PIN_PROMPT_CANCELLED);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(card_.count("CIE_VerifyPIN"), 0);
    EXPECT_FALSE(signedFileExists(0));
}

TEST_F(SignFile, OtherCardIsLoggedAndSignedThroughItsModule) {
    card_.insert("card144");
    PinAnswerer answerer("1234");
    ASSERT_EQ(sign(0), 0);
    EXPECT_EQ(answerer.prompts(), 1);
    EXPECT_TRUE(signedFileExists(0));
    // Two lines: "non una cie", then the card's ATR (text mode: CR LF).
    EXPECT_EQ(log(),
              "non una cie\r\nATR=  0x3B  0xFF  0x18  0x00  0xFF  0x81  0x31  0xFE  0x55  0x00 "
              " 0x6B  0x02  0x09  0x03  0x03  0x01  0x01  0x01  0x43  0x4E  0x53  0x10  0x31 "
              " 0x80  0x9F \r\n");
    // The middleware connection is closed before the module is loaded, and no
    // personal data is read.
    const std::vector<std::string> calls = card_.calls();
    const auto disconnect = std::find(calls.begin(), calls.end(), "CIE_Disconnect");
    const auto load = std::find(calls.begin(), calls.end(), "load");
    EXPECT_LT(disconnect, load);
    EXPECT_EQ(card_.count("CIE_ReadDatiPersonaliRaw"), 0);
}

TEST_F(SignFile, OtherCardWithAWrongPinGetsTheModulesMessage) {
    card_.insert("card144");
    PinAnswerer answerer("9999");
    EXPECT_EQ(sign(0), SIGN_ERR_PIN);
    expectBox("PIN ERRATO", "SIGN ERROR", MB_ICONEXCLAMATION | MB_OK);
}

TEST_F(SignFile, InputThatCannotBeOpenedFailsSilentlyBeforeTheCard) {
    card_.insert("cie140");
    inputs_[0] = card_.scratch() + "\\absent.odt";
    EXPECT_EQ(sign(0), SIGN_ERR_GENERIC);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(card_.count("CIE_Connect"), 0);
}

TEST_F(SignFile, NoReaderIsAConnectionError) {
    card_.insert("no-reader");
    EXPECT_EQ(sign(0), static_cast<int32_t>(SCARD_E_NO_READERS_AVAILABLE));
    expectBox("Errore sulla connessione con il lettore di smartcard", "", MB_ICONEXCLAMATION | MB_OK);
}

TEST_F(SignFile, AtrThatCannotBeReadIsReported) {
    card_.insertVariant("cie140", "fail = CIE_Read_ATR");
    EXPECT_EQ(sign(0), 0x6F00);
    expectBox("Errore sulla Lettura ATR", "", MB_ICONEXCLAMATION | MB_OK);
    EXPECT_EQ(connects(), 1);
}

TEST_F(SignFile, OutputThatCannotBeCreatedFailsSilently) {
    card_.insert("cie140");
    PinAnswerer answerer("12345678");
    outputs_[0] = card_.scratch() + "\\no such folder\\file0.p7m";
    EXPECT_EQ(sign(0), SIGN_ERR_GENERIC);
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST(CieAtr, MatchesTheReferenceOverTheReturnedLengthOnly) {
    uint8_t atr[32];
    std::copy(std::begin(CIE_ATR_REFERENCE), std::end(CIE_ATR_REFERENCE), atr);
    EXPECT_TRUE(isCieAtr(atr, 19));
    EXPECT_TRUE(isCieAtr(atr, 10));   // a shorter ATR is compared over its length
    atr[19] = 0x00;
    EXPECT_FALSE(isCieAtr(atr, 20));  // longer than the reference: no match
    atr[18] = 0x48;
    EXPECT_FALSE(isCieAtr(atr, 19));
}

}  // namespace
