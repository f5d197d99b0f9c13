// The revocation report as the verification program shows it: the box's
// text, caption and style, with the answer taken from a cached list (the
// servers' cases are scripts/check-revocation's).
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "message_box_recorder.h"
#include "quillcheck_messages.h"
#include "revocation_check.h"
#include "signed_file_loader.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"

namespace {

const char CIE140_ADDRESS[] = "http://127.0.0.1:8089/crl/ca140.crl";  // cie140's distribution point
// The line of the source under an answer of the test PKI's lists, all issued
// on 1 January 2024 at midnight (the tests' clock is UTC).
const char FROM_THE_LIST[] = "\n(fonte: CRL, lista del 01/01/2024 00:00)";

class RevocationReport : public testing::Test {
protected:
    void SetUp() override {
        setProgramName("Quillcheck");
        record_ = std::make_unique<SignedFileRecord>();
        record_->signerCount = 3;
        record_->signerCerts[0] = loadTestCard("cie140").certificate;
        record_->issuerCerts[0] = readWholeFile(testDataPath("pki/ca/140.der"));
        record_->signerCerts[1] = loadTestCard("cie142").certificate;  // no distribution point
        record_->signerCerts[2] = record_->signerCerts[0];             // its issuer unknown
        // The answer for cie140 comes from its cached list: no server is asked.
        CrlUrl url;
        ASSERT_TRUE(parseCrlUrl(CIE140_ADDRESS, &url));
        cached_ = crlCachePath(url);
        CreateDirectoryA(cached_.substr(0, cached_.rfind('\\')).c_str(), nullptr);
        writeWholeFile(cached_, readWholeFile(testDataPath("pki/crl/ca140.crl")));
    }
    void TearDown() override { DeleteFileA(cached_.c_str()); }

    // record_: a file that `card` signed, with a token of the test PKI's
    // time-stamping unit `authority` that counts (1 June 2021).
    void loadStamped(const TestCard& card, const char* authority) {
        using namespace der_builder;
        const Bytes data(64, 's');
        Signer signer = signerOf(card, data);
        TokenRecipe recipe;
        recipe.authority = authority;
        signer.unsignedAttributes = timestampAttribute(timestampToken(signer, recipe));
        const Bytes file = signedData(dataContent(data), {card.certificate}, {signerInfo(signer)});
        const TestPkiAuthorities authorities;
        Base64Codec codec;
        SignedMessage message;
        record_ = std::make_unique<SignedFileRecord>();
        ASSERT_EQ(loadSignedBytes({file.data(), file.size()}, *record_, authorities.table(), &codec, &message), 0);
        ASSERT_EQ(record_->signerStatus[0], TIMESTAMPED);
    }

    std::unique_ptr<SignedFileRecord> record_;
    std::string cached_;
};

TEST_F(RevocationReport, ShowsTheAnswerInAPlainBoxOfTheProgram) {
    const std::string lines = "\nNon \xE8 stato possibile effetture la verifica del certificato.\n"
                              "Contattare l'amministratore.";
    const std::string noAddress = "Errore relativo alla URL relativa alla CRL sul Server." + lines;
    MessageBoxRecorder boxes;
    EXPECT_EQ(ReportRevocation(0, *record_), 0);
    EXPECT_EQ(ReportRevocation(1, *record_), 0);
    EXPECT_EQ(ReportRevocation(2, *record_), 0);
    EXPECT_EQ(ReportRevocation(3, *record_), 0);  // past the signers: no certificate
    EXPECT_EQ(ReportRevocation(-1, *record_), 0);
    ASSERT_EQ(boxes.boxes().size(), 5u);
    EXPECT_EQ(boxes.boxes()[0],
              (MessageBoxRecorder::Box{nullptr, std::string("Il Certificato risulta essere VALIDO.") + FROM_THE_LIST,
                                       "Quillcheck", MB_OK}));
    EXPECT_EQ(boxes.boxes()[1].text, noAddress);
    // The same list, cached: without the issuer's key it is not believed.
    EXPECT_EQ(boxes.boxes()[2].text,
              "Riscontrati problemi interni durante il controllo di validit\xE0 del Certificato" + lines);
    for (size_t i = 3; i < 5; ++i) EXPECT_EQ(boxes.boxes()[i].text, noAddress) << i;
}

// A signer whose time-stamp counts is checked as of the stamp's time, from
// the record that the load fills (the card expired-2023, stamped on
// 2021-06-01), once the stamp's authority has been checked at that time:
// revoked before it, the stamp proves nothing and the card is judged today;
// not known, the answer says that the stamp must be checked.
TEST_F(RevocationReport, AStampedSignerIsCheckedAtTheStampsTimeIfItsAuthorityWasNotRevokedBefore) {
    const TestCard card = loadTestCard("expired-2023");
    CrlUrl url144;
    ASSERT_TRUE(parseCrlUrl("http://127.0.0.1:8089/crl/ca144.crl", &url144));  // tsa-listed's distribution point
    const std::string cached144 = crlCachePath(url144);
    const std::string authorityRevoked = std::string(quillcheck_messages::REVOCATION_STAMP_AUTHORITY_REVOKED) + "\n";
    const std::string authorityUnchecked = std::string(quillcheck_messages::REVOCATION_STAMP_AUTHORITY_UNCHECKED) + "\n";
    const struct {
        const char* what;
        const char* authority;  // the time-stamping authority of the test PKI
        const char* list144;    // its authority's cached list
        const char* list140;    // the card's
        std::string text;
    } rows[] = {
        {"revoked after the stamp", "tsa-listed", "ca144", "ca140-revoked-after-stamp",
         revocationMessage(CRLCHECK_REVOKED_LATER)},
        {"revoked before the stamp", "tsa-listed", "ca144", "ca140-revoked-before-stamp",
         "Il Certificato risulta essere stato REVOCATO."},
        {"not listed, expired since", "tsa-listed", "ca144", "ca140", revocationMessage(CRLCHECK_NOT_ESTABLISHED)},
        {"the stamp's authority revoked after its time", "tsa-listed", "ca144-tsa-revoked-after-stamp",
         "ca140-revoked-after-stamp", revocationMessage(CRLCHECK_REVOKED_LATER)},
        {"the stamp's authority revoked before its time", "tsa-listed", "ca144-tsa-revoked-before-stamp",
         "ca140-revoked-after-stamp", authorityRevoked + "Il Certificato risulta essere SCADUTO."},
        {"the stamp's authority names no list", "tsa", "ca144", "ca140-revoked-after-stamp",
         authorityUnchecked + revocationMessage(CRLCHECK_REVOKED_LATER)},
    };
    MessageBoxRecorder boxes;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_NO_FATAL_FAILURE(loadStamped(card, row.authority));
        writeWholeFile(cached144, readWholeFile(testDataPath(std::string("pki/crl/") + row.list144 + ".crl")));
        writeWholeFile(cached_, readWholeFile(testDataPath(std::string("pki/crl/") + row.list140 + ".crl")));
        ASSERT_EQ(ReportRevocation(0, *record_), 0);
        EXPECT_EQ(boxes.boxes().back().text, row.text + FROM_THE_LIST);
    }
    DeleteFileA(cached144.c_str());
    // Without the stamp's time, the same card is expired now.
    record_->timestampTicks[0] = 0;
    ReportRevocation(0, *record_);
    EXPECT_EQ(boxes.boxes().back().text, std::string("Il Certificato risulta essere SCADUTO.") + FROM_THE_LIST);
}

// Against 140's OCSP responder (the test that runs this one starts the
// servers): the card ocsp-revoked, revoked on 1 January 2024 by the
// responder's answer and named by no list, stamped on 1 June 2021. Revoked
// after the stamp's time, the signature stays valid; without the stamp, it is
// revoked; either way the box names the responder as the source.
TEST_F(RevocationReport, TheResponderAnswersAsOfTheStampsTime) {
    if (std::getenv("QUILL_CRL_SERVERS") == nullptr) GTEST_SKIP() << "needs scripts/crl-servers";
    ASSERT_NO_FATAL_FAILURE(loadStamped(loadTestCard("ocsp-revoked"), "tsa-listed"));  // 144 names its list
    // The stamp's authority is judged by its list, the card by the responder.
    CrlUrl url144;
    ASSERT_TRUE(parseCrlUrl("http://127.0.0.1:8089/crl/ca144.crl", &url144));
    writeWholeFile(crlCachePath(url144), readWholeFile(testDataPath("pki/crl/ca144.crl")));
    MessageBoxRecorder boxes;
    ASSERT_EQ(ReportRevocation(0, *record_), 0);
    const std::string fromTheResponder = "\n(fonte: OCSP, risposta del ";
    EXPECT_EQ(boxes.boxes().back().text.rfind(revocationMessage(CRLCHECK_REVOKED_LATER) + fromTheResponder, 0), 0u)
        << boxes.boxes().back().text;
    record_->timestampTicks[0] = 0;
    ReportRevocation(0, *record_);
    EXPECT_EQ(boxes.boxes().back().text.rfind(revocationMessage(CRLCHECK_REVOKED) + fromTheResponder, 0), 0u)
        << boxes.boxes().back().text;
    DeleteFileA(crlCachePath(url144).c_str());
}

}  // namespace
