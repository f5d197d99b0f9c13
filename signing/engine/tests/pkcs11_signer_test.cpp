// The module back-end against the PKCS#11 stand-in, in both forms: each
// failure with its message, box and result, and the clean-up that the call
// log shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "message_box_recorder.h"
#include "pkcs11_signer.h"
#include "result_codes.h"
#include "simulated_card.h"

namespace {

using Calls = std::vector<std::string>;

class ModuleBackEnd : public testing::Test {
protected:
    void SetUp() override {
        input_ = card_.scratch() + "\\documento.pdf.bin";
        output_ = card_.scratch() + "\\documento.p7m";
        writeWholeFile(input_, Bytes(3000, 'q'));
    }

    int32_t sign(const char* pin = "1234") {
        return fnSignFilePkcs11(form_, input_.c_str(), output_.c_str(), 0, pin);
    }

    // Loading, opening and closing down, in the order they happened.
    Calls lifecycle() const {
        static const Calls kept = {"load", "C_Initialize", "C_OpenSession", "C_CloseAllSessions",
                                   "C_Finalize", "unload"};
        Calls out;
        for (const std::string& c : card_.calls()) {
            if (std::find(kept.begin(), kept.end(), c) != kept.end()) out.push_back(c);
        }
        return out;
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;
    std::string input_, output_;
    SignatureForm form_ = SignatureForm::Pkcs7Sha1;
};

const SignatureForm BOTH_FORMS[] = {SignatureForm::Pkcs7Sha1, SignatureForm::CadesBes};

// The card signs the DigestInfo of the content's SHA-1 (35 bytes) or, in the
// CAdES form, of the signed attributes' SHA-256 (51 bytes); the calls are the same.
TEST_F(ModuleBackEnd, SignsOverAnExistingFileAndClosesEverythingInOrder) {
  for (const SignatureForm form : BOTH_FORMS) {
    const bool cades = form == SignatureForm::CadesBes;
    SCOPED_TRACE(cades ? "CAdES" : "PKCS#7");
    form_ = form;
    card_.clearLog();
    card_.insert("card144");
    writeWholeFile(output_, Bytes(10, 'z'));
    ASSERT_EQ(sign(), 0);
    EXPECT_TRUE(boxes_.boxes().empty());
    const Calls expected = {"load", "C_Initialize", "C_GetSlotList", "C_OpenSession", "C_Login",
                            "C_FindObjectsInit", "C_FindObjects", "C_FindObjectsFinal",
                            "C_GetAttributeValue", "C_FindObjectsInit", "C_FindObjects",
                            "C_FindObjectsFinal", "C_SignInit", "C_Sign", "C_CloseAllSessions",
                            "C_Finalize", "unload"};
    EXPECT_EQ(card_.calls(), expected);
    const Bytes file = readWholeFile(output_);
    // The module's card has no personal-data record: the attribute ends 81 00.
    ASSERT_GT(file.size(), 3000u);
    EXPECT_EQ(Bytes(file.end() - 2, file.end()), (Bytes{0x81, 0x00}));
    const std::vector<std::string> log = card_.logLines();
    const std::string signing = cades ? "C_Sign(51 bytes) = 0x00000000" : "C_Sign(35 bytes) = 0x00000000";
    EXPECT_NE(std::find(log.begin(), log.end(), signing), log.end());
  }
}

// Every failure shows one box (owned by the desktop, "SIGN ERROR", warning,
// OK), writes no SignedFile, and closes what it opened: sessions, then the
// module's state, then the DLL.
TEST_F(ModuleBackEnd, EachFailureShowsItsMessageAndClosesDownInOrder) {
    enum Setup { PROFILE, NO_MODULE, INCOMPLETE_MODULE, MISSING_INPUT, EMPTY_INPUT, NO_OUTPUT_FOLDER };
    const Calls notLoaded = {};
    const Calls untouched = {"load", "unload"};
    const Calls initFailed = {"load", "C_Initialize", "unload"};
    const Calls noSession = {"load", "C_Initialize", "C_Finalize", "unload"};
    const Calls sessionFailed = {"load", "C_Initialize", "C_OpenSession", "C_Finalize", "unload"};
    const Calls inSession = {"load", "C_Initialize", "C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"};
    const std::string garbage = card_.scratch() + "\\garbage.der";
    writeWholeFile(garbage, Bytes(400, 0x42));
    const int32_t ENCODER_CODE = 1;  // the encoder's certificate-decoding error
    const struct {
        Setup setup; const char* profile; std::string lines; const char* pin;
        int32_t result; const char* message; const Calls& calls;
    } rows[] = {
        {NO_MODULE, "card144", "", "1234", -1, "Libreria pkcs11 non trovata", notLoaded},
        {INCOMPLETE_MODULE, "card144", "", "1234", -1, "errore generico, eccezione", untouched},
        {MISSING_INPUT, "card144", "", "1234", -1, "File non trovato", untouched},
        {PROFILE, "card144", "fail = C_Initialize", "1234", -1, "C_Initialize return error 48", initFailed},
        {PROFILE, "card144", "fail = C_GetSlotList", "1234", -1, "C_GetSlotList return error 48", noSession},
        // More than ten cards: CKR_BUFFER_TOO_SMALL, shown in decimal.
        {PROFILE, "eleven-cards", "", "1234", -1, "C_GetSlotList return error 336", noSession},
        {PROFILE, "no-card", "", "1234", -1, "Inserire Una carta nel lettore", noSession},
        {PROFILE, "two-cards", "", "1234", -1, "Attenzione, presenti: 2 carte in altrettanti lettori; ambiguo", noSession},
        {PROFILE, "ten-cards", "", "1234", -1, "Attenzione, presenti: 10 carte in altrettanti lettori; ambiguo", noSession},
        {PROFILE, "card144", "fail = C_OpenSession", "1234", -1, "Carta Non Riconosciuta come valida", sessionFailed},
        {PROFILE, "card144", "", "9999", SIGN_ERR_PIN, "PIN ERRATO", inSession},
        {PROFILE, "card144", "label = Firma", "1234", -1, "certificato non trovato", inSession},
        {PROFILE, "card144", "fail = C_FindObjects", "1234", -1, "certificato non trovato", inSession},
        {PROFILE, "card144", "fail = C_GetAttributeValue", "1234", -1, "Errore sulla lettura del certificato", inSession},
        {PROFILE, "card144", "overstate = C_GetAttributeValue", "1234", -1, "Errore sulla lettura del certificato", inSession},
        {PROFILE, "card144", "key_id = 99", "1234", -1, "chiave non trovata", inSession},
        {EMPTY_INPUT, "card144", "", "1234", -1, "errore in hashing", inSession},
        {PROFILE, "card144", "fail = C_SignInit", "1234", -1, "errore in signinit", inSession},
        {PROFILE, "card144", "fail = C_Sign", "1234", -1, "errore sulla c_sign", inSession},
        {PROFILE, "card144", "overstate = C_Sign", "1234", -1, "errore sulla c_sign", inSession},
        {PROFILE, "card144-8192", "", "1234", -1, "errore sulla c_sign", inSession},
        {PROFILE, "card144", "certificate = " + garbage, "1234", ENCODER_CODE, "errore sulla creazione del pkcs7", inSession},
        {PROFILE, "card144", "fail = C_Finalize", "1234", -1, "errore sulla finalize", inSession},
        {NO_OUTPUT_FOLDER, "card144", "", "1234", static_cast<int32_t>(ERROR_PATH_NOT_FOUND),
         "errore sulla scrittura del pkcs7", inSession},
    };
    const std::string input = input_, output = output_;
  for (const SignatureForm form : BOTH_FORMS) {
    form_ = form;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(form == SignatureForm::CadesBes ? "CAdES " : "PKCS#7 ") + row.profile + " " +
                     row.lines + " " + row.message);
        card_.clearLog();
        boxes_.clear();
        input_ = row.setup == MISSING_INPUT ? card_.scratch() + "\\missing.doc" : input;
        output_ = row.setup == NO_OUTPUT_FOLDER ? card_.scratch() + "\\no such folder\\x.p7m" : output;
        writeWholeFile(input, row.setup == EMPTY_INPUT ? Bytes{} : Bytes(3000, 'q'));
        card_.insertVariant(row.profile, row.lines);
        if (row.setup == NO_MODULE) SimulatedCard::useNoModule();
        if (row.setup == INCOMPLETE_MODULE) SimulatedCard::useIncompleteModule();

        const int32_t result = sign(row.pin);
        SimulatedCard::useFullModule();
        if (row.result == ENCODER_CODE) {
            EXPECT_TRUE(result != 0 && result != SIGN_ERR_GENERIC) << result;
        } else {
            EXPECT_EQ(result, row.result);
        }
        const MessageBoxRecorder::Box box{GetDesktopWindow(), row.message, "SIGN ERROR", MB_ICONEXCLAMATION | MB_OK};
        EXPECT_EQ(boxes_.boxes(), std::vector<MessageBoxRecorder::Box>{box});
        EXPECT_EQ(GetFileAttributesA(output_.c_str()), INVALID_FILE_ATTRIBUTES) << "no SignedFile";
        EXPECT_EQ(lifecycle(), row.calls);
    }
  }
}

TEST_F(ModuleBackEnd, OfTwoSigningCertificatesTheFirstIsUsedWithTheKeyOfItsId) {
    // The second certificate's key is listed first: only the CKA_ID finds the
    // right one, and the SignedFile carries the first certificate.
    card_.insertVariant("card144", "other_certificate = ../pki/cards/cn5.der\n"
                                   "other_key = ../pki/cards/cn5.keyblob\nother_id = 02");
    ASSERT_EQ(sign(), 0);
    const Bytes file = readWholeFile(output_);
    const Bytes first = loadTestCard("card144").certificate;
    const Bytes second = loadTestCard("cn5").certificate;
    EXPECT_NE(std::search(file.begin(), file.end(), first.begin(), first.end()), file.end());
    EXPECT_EQ(std::search(file.begin(), file.end(), second.begin(), second.end()), file.end());
    const std::vector<std::string> log = card_.logLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "C_SignInit(key=4) = 0x00000000"), log.end());
}

}  // namespace
