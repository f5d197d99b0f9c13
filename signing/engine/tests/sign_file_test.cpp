// fnSignFile on the simulated cards, in both forms, with the PIN from the
// test's own source; and the setting that chooses the form.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "message_box_recorder.h"
#include "scripted_pin.h"
#include "result_codes.h"
#include "sign_file.h"
#include "signing_log.h"
#include "simulated_card.h"

namespace {

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
        DeleteFileA(SIGNING_LOG_PATH);
    }

    int connects() const {
        int n = 0;
        for (const std::string& line : card_.logLines()) n += line.rfind("CIE_Connect = 0x00000000", 0) == 0;
        return n;
    }
    int32_t sign(int index) { return fnSignFile(form_, inputs_[index].c_str(), outputs_[index].c_str(), index); }
    bool signedFileExists(int index) const {
        return GetFileAttributesA(outputs_[index].c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    static std::string log() {
        std::ifstream in(SIGNING_LOG_PATH, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;
    std::vector<std::string> inputs_, outputs_;
    SignatureForm form_ = SignatureForm::Pkcs7Sha1;
};

const SignatureForm BOTH_FORMS[] = {SignatureForm::Pkcs7Sha1, SignatureForm::CadesBes};
const char* nameOf(SignatureForm form) { return form == SignatureForm::CadesBes ? "CAdES" : "PKCS#7"; }

TEST_F(SignFile, BatchOnACieOfTheMunicipalityAsksThePinOnce) {
  for (const SignatureForm form : BOTH_FORMS) {
    SCOPED_TRACE(nameOf(form));
    form_ = form;
    card_.clearLog();
    card_.insert("cie140");
    ScriptedPin answerer("12345678");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(sign(i), 0) << "file " << i;
    EXPECT_EQ(answerer.asked(), 1);
    EXPECT_TRUE(boxes_.boxes().empty());
    // Two passes per file, each with its own PIN check and card signature.
    EXPECT_EQ(card_.count("CIE_VerifyPIN"), 6);
    EXPECT_EQ(card_.count("CIE_Sign"), 6);
    EXPECT_EQ(connects(), 3);
    for (int i = 0; i < 3; ++i) {  // the card's personal-data record closes the file
        const Bytes file = readWholeFile(outputs_[i]);
        EXPECT_EQ(std::string(file.end() - 20, file.end()), "VIA ROMA 1 VALDORA00") << i;
    }
    EXPECT_EQ(log(), "");  // a CIE is not logged
    // The original form signs the content's SHA-1 DigestInfo, then reads the
    // certificate; the CAdES form reads it first, for the signed attributes,
    // and signs their SHA-256 DigestInfo.
    const std::vector<std::string> calls = card_.calls(), lines = card_.logLines();
    const auto read = std::find(calls.begin(), calls.end(), "CIE_ReadCCarta");
    const auto signing = std::find(calls.begin(), calls.end(), "CIE_Sign");
    EXPECT_EQ(read < signing, form == SignatureForm::CadesBes);
    const std::string signed51 = "CIE_Sign(51 bytes) = 0x00000000", signed35 = "CIE_Sign(35 bytes) = 0x00000000";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), form == SignatureForm::CadesBes ? signed51 : signed35), 6);
  }
}

// The original form stays byte for byte what the engine has always written:
// testdata/golden holds SignedFiles of samples/richiesta.txt made by the
// engine before the CAdES form existed, on the same simulated cards (RSA
// PKCS#1 v1.5 signatures are deterministic). Made again only with the test PKI.
TEST_F(SignFile, OriginalFormIsByteForByteTheStoredSignedFiles) {
    for (const char* profile : {"cie140", "card144"}) {
        SCOPED_TRACE(profile);
        card_.insert(profile);
        ScriptedPin answerer(std::string(profile) == "cie140" ? "12345678" : "1234");
        inputs_[0] = testDataPath("samples/richiesta.txt");
        ASSERT_EQ(sign(0), 0);
        EXPECT_EQ(readWholeFile(outputs_[0]), readWholeFile(testDataPath(std::string("golden/richiesta.txt.") + profile + ".p7m")));
    }
}

// Without the setting, or with any text but "CAdES" (in any case), the
// original form; the value is read in the 32-bit view that the installer writes.
TEST(SignatureFormSetting, OnlyCadesInAnyCaseChoosesTheCadesForm) {
    const char* path = "Software\\QuillTest\\SignatureForm";
    RegDeleteKeyExA(HKEY_CURRENT_USER, path, KEY_WOW64_32KEY, 0);
    EXPECT_EQ(readSignatureForm(HKEY_CURRENT_USER, path), SignatureForm::Pkcs7Sha1) << "no key";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(readSignatureForm(HKEY_CURRENT_USER, path), SignatureForm::Pkcs7Sha1) << "no value";
    const struct { const char* text; SignatureForm form; } rows[] = {
        {"CAdES", SignatureForm::CadesBes}, {"cades", SignatureForm::CadesBes}, {"CADES", SignatureForm::CadesBes},
        {"PKCS7", SignatureForm::Pkcs7Sha1}, {"CAdES-BES", SignatureForm::Pkcs7Sha1}, {"", SignatureForm::Pkcs7Sha1},
        {"a text much longer than the value's buffer, which is cut and not CAdES", SignatureForm::Pkcs7Sha1},
    };
    for (const auto& row : rows) {
        RegSetValueExA(key, SIGNATURE_FORM_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(row.text),
                       static_cast<DWORD>(std::strlen(row.text) + 1));
        EXPECT_EQ(readSignatureForm(HKEY_CURRENT_USER, path), row.form) << row.text;
    }
    const DWORD one = 1;  // a number is not a name
    RegSetValueExA(key, SIGNATURE_FORM_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    EXPECT_EQ(readSignatureForm(HKEY_CURRENT_USER, path), SignatureForm::Pkcs7Sha1) << "REG_DWORD";
    RegCloseKey(key);
    RegDeleteKeyExA(HKEY_CURRENT_USER, path, KEY_WOW64_32KEY, 0);
}

// Every way fnSignFile ends without a SignedFile: its result, its one box (or
// none), and whether the PIN was asked for. Every connection is closed
// (TearDown).
TEST_F(SignFile, EachFailureGivesItsResultAndBoxAndWritesNothing) {
    enum Setup { NONE, MISSING_INPUT, EMPTY_INPUT, HUGE_INPUT, NO_OUTPUT_FOLDER };
    const std::string refused = "La smartCard non \xE8 una CIE emessa dal Comune Corretto";
    const UINT warning = MB_ICONEXCLAMATION | MB_OK, error = MB_ICONERROR | MB_OK;
    const char* CANCEL = nullptr;
    const char* failed = "Errore durante le operazioni di firma";
    const std::string garbage = "certificate = " + card_.scratch() + "\\garbage.der";
    writeWholeFile(garbage.substr(14), Bytes(300, 0x42));
    const std::string bigKey = "certificate = ../pki/cards/card144-8192.der\nkey = ../pki/cards/card144-8192.keyblob";
    const int32_t ENCODER_CODE = 1;  // the encoder's certificate-decoding error, whatever it is
    const struct {
        const char* profile; const char* lines; Setup setup; const char* pin; int prompts;
        int32_t result; const char* box; const char* caption; UINT style;
    } rows[] = {
        // CIEs of other municipalities: lower-case code, a fifth character,
        // another code, no record at all.
        {"cie-lowercase", "", NONE, "12345678", 0, -1, refused.c_str(), "", warning},
        {"cie-q5120", "", NONE, "12345678", 0, -1, refused.c_str(), "", warning},
        {"cie-milano", "", NONE, "12345678", 0, -1, refused.c_str(), "", warning},
        {"cie-no-record", "", NONE, "12345678", 0, -1, refused.c_str(), "", warning},
        // The middleware back-end's failures, each with its own code.
        {"cie140", "", NONE, "00000000", 1, SIGN_ERR_PIN, failed, "Errore", error},
        {"cie140", "", EMPTY_INPUT, "12345678", 1, SIGN_ERR_DIGEST, failed, "Errore", error},
        {"cie140", "fail = CIE_Sign", NONE, "12345678", 1, 0x6F00, failed, "Errore", error},
        {"cie140", "fail = CIE_ReadCCarta", NONE, "12345678", 1, 0x6F00, failed, "Errore", error},
        {"cie140", "overstate = CIE_Sign", NONE, "12345678", 1, SIGN_ERR_CARD_LENGTH, failed, "Errore", error},
        {"cie140", "overstate = CIE_ReadCCarta", NONE, "12345678", 1, SIGN_ERR_CARD_LENGTH, failed, "Errore", error},
        {"cie140", bigKey.c_str(), NONE, "12345678", 1, static_cast<int32_t>(SCARD_E_INSUFFICIENT_BUFFER), failed,
         "Errore", error},
        {"cie140", garbage.c_str(), NONE, "12345678", 1, ENCODER_CODE, failed, "Errore", error},
        // The card hands out a longer certificate on the second pass.
        {"cie140", "reread_certificate = ../pki/cards/card144-4096.der", NONE, "12345678", 1,
         SIGN_ERR_BUFFER_SMALL, "errore durante le operazioni di firma", "Errore", error},
        {"cie140", "", NONE, CANCEL, 1, PIN_PROMPT_CANCELLED, nullptr, nullptr, 0},
        {"card144", "", NONE, CANCEL, 1, PIN_PROMPT_CANCELLED, nullptr, nullptr, 0},
        {"card144", "", NONE, "9999", 1, SIGN_ERR_PIN, "PIN ERRATO", "SIGN ERROR", warning},
        {"no-reader", "", NONE, "12345678", 0, static_cast<int32_t>(SCARD_E_NO_READERS_AVAILABLE),
         "Errore sulla connessione con il lettore di smartcard", "", warning},
        {"cie140", "fail = CIE_Read_ATR", NONE, "12345678", 0, 0x6F00, "Errore sulla Lettura ATR", "", warning},
        {"cie140", "", MISSING_INPUT, "12345678", 0, -1, nullptr, nullptr, 0},
        {"cie140", "", NO_OUTPUT_FOLDER, "12345678", 1, -1, nullptr, nullptr, 0},
        // Content that cannot be held in memory fails as exhausted memory.
        {"cie140", "", HUGE_INPUT, "12345678", 0, -1, "In fnSignFile catch. \n", "Error",
         error | MB_SETFOREGROUND},
    };
    const std::string input = inputs_[0], output = outputs_[0];
  for (const SignatureForm form : BOTH_FORMS) {
    form_ = form;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(nameOf(form)) + " " + row.profile + " " + row.lines + " " + std::to_string(row.setup));
        card_.insertVariant(row.profile, row.lines);
        boxes_.clear();
        inputs_[0] = row.setup == MISSING_INPUT ? card_.scratch() + "\\absent.odt" : input;
        writeWholeFile(input, row.setup == EMPTY_INPUT ? Bytes{} : Bytes(2000, 'a'));
        outputs_[0] = row.setup == NO_OUTPUT_FOLDER ? card_.scratch() + "\\no such folder\\x.p7m" : output;
        if (row.setup == HUGE_INPUT) {
            inputs_[0] = card_.scratch() + "\\huge.bin";
            makeSparseFile(inputs_[0], (uint64_t{1} << 32) + 1);  // takes no room on the disk
        }
        const int loadsBefore = card_.count("load");
        int32_t result;
        int prompts;
        {
            ScriptedPin answerer(row.pin ? row.pin : "", row.pin == CANCEL);
            result = sign(0);
            prompts = answerer.asked();
        }
        if (row.result == ENCODER_CODE) {
            EXPECT_TRUE(result != 0 && result != SIGN_ERR_GENERIC && result != SIGN_ERR_BUFFER_SMALL) << result;
        } else {
            EXPECT_EQ(result, row.result);
        }
        EXPECT_EQ(prompts, row.prompts);
        EXPECT_FALSE(signedFileExists(0));
        std::vector<MessageBoxRecorder::Box> expected;
        HWND owner = row.setup == HUGE_INPUT ? nullptr : GetDesktopWindow();
        if (row.box != nullptr) expected.push_back({owner, row.box, row.caption, row.style});
        EXPECT_EQ(boxes_.boxes(), expected);
        if (row.pin == CANCEL) {
            EXPECT_EQ(card_.count("load"), loadsBefore) << "the module is not loaded";
        }
        if (row.setup == HUGE_INPUT) DeleteFileA(inputs_[0].c_str());
    }
  }
    EXPECT_EQ(card_.count("CIE_Connect"), 40) << "no connection for the missing input";
}

TEST_F(SignFile, OtherCardIsLoggedAndSignedThroughItsModule) {
    card_.insert("card144");
    ScriptedPin answerer("1234");
    ASSERT_EQ(sign(0), 0);
    EXPECT_EQ(answerer.asked(), 1);
    EXPECT_TRUE(signedFileExists(0));
    // Two lines: "non una cie", then the card's ATR (text mode: CR LF).
    EXPECT_EQ(log(),
              "non una cie\r\nATR=  0x3B  0xFF  0x18  0x00  0xFF  0x81  0x31  0xFE  0x55  0x00 "
              " 0x6B  0x02  0x09  0x03  0x03  0x01  0x01  0x01  0x43  0x4E  0x53  0x10  0x31 "
              " 0x80  0x9F \r\n");
    // The middleware connection is closed before the module is loaded, and no
    // personal data is read.
    const std::vector<std::string> calls = card_.calls();
    EXPECT_LT(std::find(calls.begin(), calls.end(), "CIE_Disconnect"), std::find(calls.begin(), calls.end(), "load"));
    EXPECT_EQ(card_.count("CIE_ReadDatiPersonaliRaw"), 0);
}

}  // namespace
