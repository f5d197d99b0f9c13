// The module back-end against the PKCS#11 stand-in: each failure with its
// message, box and result, and the clean-up that the call log shows.
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
        return fnSignFilePkcs11(input_.c_str(), output_.c_str(), 0, pin);
    }

    // The one box of a failure: owned by the desktop, "SIGN ERROR", warning, OK.
    void expectOneBox(const std::string& text) {
        ASSERT_EQ(boxes_.boxes().size(), 1u);
        const MessageBoxRecorder::Box& box = boxes_.boxes()[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, "SIGN ERROR");
        EXPECT_EQ(box.style, UINT{MB_ICONEXCLAMATION | MB_OK});
        EXPECT_EQ(box.owner, GetDesktopWindow());
        EXPECT_EQ(GetFileAttributesA(output_.c_str()), INVALID_FILE_ATTRIBUTES) << "no SignedFile";
    }

    // The session opening and the clean-up calls, in the order they were made.
    Calls closing() const {
        Calls out;
        for (const std::string& c : card_.calls()) {
            if (c == "C_CloseAllSessions" || c == "C_Finalize" || c == "unload" || c == "C_OpenSession") {
                out.push_back(c);
            }
        }
        return out;
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;
    std::string input_, output_;
};

TEST_F(ModuleBackEnd, SignsAndClosesEverythingInOrder) {
    card_.insert("card144");
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
    EXPECT_EQ(file[file.size() - 2], 0x81);
    EXPECT_EQ(file[file.size() - 1], 0x00);
}

TEST_F(ModuleBackEnd, OverwritesAnExistingSignedFile) {
    card_.insert("card144");
    writeWholeFile(output_, Bytes(10, 'z'));
    ASSERT_EQ(sign(), 0);
    EXPECT_GT(readWholeFile(output_).size(), 3000u);
}

TEST_F(ModuleBackEnd, ModuleThatCannotBeLoaded) {
    card_.insert("card144");
    SimulatedCard::useNoModule();
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("Libreria pkcs11 non trovata");
    EXPECT_TRUE(card_.calls().empty());
}

TEST_F(ModuleBackEnd, ModuleThatRefusesToLoad) {
    card_.insertVariant("card144", "fail = DllMain");
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("Libreria pkcs11 non trovata");
}

TEST_F(ModuleBackEnd, ModuleWithoutAnEntryPointIsUnloadedUntouched) {
    card_.insert("card144");
    SimulatedCard::useIncompleteModule();
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("errore generico, eccezione");
    EXPECT_EQ(card_.calls(), (Calls{"load", "unload"}));
}

TEST_F(ModuleBackEnd, InputFileThatCannotBeOpened) {
    card_.insert("card144");
    input_ = card_.scratch() + "\\missing.doc";
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("File non trovato");
    EXPECT_EQ(card_.calls(), (Calls{"load", "unload"}));
}

TEST_F(ModuleBackEnd, InitializeFailureLeavesNothingToFinalize) {
    card_.insertVariant("card144", "fail = C_Initialize");
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("C_Initialize return error 48");  // CKR_DEVICE_ERROR
    EXPECT_EQ(card_.calls(), (Calls{"load", "C_Initialize", "unload"}));
}

// Failures after C_Initialize and before any session: the message, then the
// module finalised and unloaded, and no session opened.
struct SlotFailure {
    const char* name;
    const char* profile;
    const char* extraProfileLines;
    const char* message;
};

void PrintTo(const SlotFailure& failure, std::ostream* out) { *out << failure.name; }

class ModuleBackEndSlotFailure : public ModuleBackEnd,
                                 public testing::WithParamInterface<SlotFailure> {};

TEST_P(ModuleBackEndSlotFailure, ShowsItsMessageAndFinalizesWithoutASession) {
    card_.insertVariant(GetParam().profile, GetParam().extraProfileLines);
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox(GetParam().message);
    EXPECT_EQ(closing(), (Calls{"C_Finalize", "unload"}));
}

INSTANTIATE_TEST_SUITE_P(
    EachCase, ModuleBackEndSlotFailure,
    testing::Values(
        SlotFailure{"SlotListFails", "card144", "fail = C_GetSlotList", "C_GetSlotList return error 48"},
        // More than ten cards: CKR_BUFFER_TOO_SMALL, shown in decimal.
        SlotFailure{"ElevenCardsOverflowTheSlotList", "eleven-cards", "", "C_GetSlotList return error 336"},
        SlotFailure{"NoCardInTheReader", "no-card", "", "Inserire Una carta nel lettore"},
        SlotFailure{"TwoCardsAreAmbiguous", "two-cards", "",
                    "Attenzione, presenti: 2 carte in altrettanti lettori; ambiguo"},
        SlotFailure{"TenCardsAreAmbiguous", "ten-cards", "",
                    "Attenzione, presenti: 10 carte in altrettanti lettori; ambiguo"}),
    [](const testing::TestParamInfo<SlotFailure>& info) { return std::string(info.param.name); });

TEST_F(ModuleBackEnd, SessionThatCannotBeOpened) {
    card_.insertVariant("card144", "fail = C_OpenSession");
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("Carta Non Riconosciuta come valida");
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_Finalize", "unload"}));
}

TEST_F(ModuleBackEnd, RefusedPinLeavesNothingAndTheNextCallStartsAfresh) {
    card_.insert("card144");
    EXPECT_EQ(sign("9999"), SIGN_ERR_PIN);
    expectOneBox("PIN ERRATO");
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"}));

    const size_t before = card_.calls().size();
    EXPECT_EQ(sign("1234"), 0);
    const Calls calls = card_.calls();
    EXPECT_EQ(calls[before], "load");
    EXPECT_EQ(calls[before + 1], "C_Initialize");
    EXPECT_EQ(calls.back(), "unload");
}

// Failures once a session is open: the message, then sessions closed,
// module finalised and unloaded, in that order.
struct SessionFailure {
    const char* name;
    const char* extraProfileLines;
    const char* message;
};

void PrintTo(const SessionFailure& failure, std::ostream* out) { *out << failure.name; }

class ModuleBackEndSessionFailure : public ModuleBackEnd,
                                    public testing::WithParamInterface<SessionFailure> {};

TEST_P(ModuleBackEndSessionFailure, ShowsItsMessageAndClosesDownInOrder) {
    card_.insertVariant("card144", GetParam().extraProfileLines);
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox(GetParam().message);
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"}));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, ModuleBackEndSessionFailure,
    testing::Values(
        SessionFailure{"NoCertificateLabelledSign", "label = Firma", "certificato non trovato"},
        SessionFailure{"CertificateSearchFails", "fail = C_FindObjects", "certificato non trovato"},
        SessionFailure{"CertificateUnreadable", "fail = C_GetAttributeValue",
                       "Errore sulla lettura del certificato"},
        SessionFailure{"NoKeyWithTheCertificatesId", "key_id = 99", "chiave non trovata"},
        SessionFailure{"SignInitFails", "fail = C_SignInit", "errore in signinit"},
        SessionFailure{"SignFails", "fail = C_Sign", "errore sulla c_sign"}),
    [](const testing::TestParamInfo<SessionFailure>& info) { return std::string(info.param.name); });

TEST_F(ModuleBackEnd, KeyLongerThan4096BitsCannotSign) {
    card_.insert("card144-8192");
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("errore sulla c_sign");
    const std::vector<std::string> log = card_.logLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "C_Sign(35 bytes) = 0x00000150"), log.end());
}

TEST_F(ModuleBackEnd, EmptyFileCannotBeDigested) {
    card_.insert("card144");
    writeWholeFile(input_, Bytes{});
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("errore in hashing");
    EXPECT_EQ(card_.count("C_SignInit"), 0);
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"}));
}

TEST_F(ModuleBackEnd, CertificateThatTheEncoderCannotDecodeGivesItsCode) {
    const std::string garbage = card_.scratch() + "\\garbage.der";
    writeWholeFile(garbage, Bytes(400, 0x42));
    card_.insertVariant("card144", "certificate = " + garbage);
    const int32_t result = sign();
    EXPECT_NE(result, 0);
    EXPECT_NE(result, SIGN_ERR_GENERIC);
    expectOneBox("errore sulla creazione del pkcs7");
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"}));
}

TEST_F(ModuleBackEnd, FinalizeFailureIsReportedAndNothingIsWritten) {
    card_.insertVariant("card144", "fail = C_Finalize");
    EXPECT_EQ(sign(), SIGN_ERR_GENERIC);
    expectOneBox("errore sulla finalize");
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"}));
}

TEST_F(ModuleBackEnd, OutputThatCannotBeCreatedGivesTheLastError) {
    card_.insert("card144");
    output_ = card_.scratch() + "\\no such folder\\documento.p7m";
    EXPECT_EQ(sign(), static_cast<int32_t>(ERROR_PATH_NOT_FOUND));
    expectOneBox("errore sulla scrittura del pkcs7");
    EXPECT_EQ(closing(), (Calls{"C_OpenSession", "C_CloseAllSessions", "C_Finalize", "unload"}));
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
