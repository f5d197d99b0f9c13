// The revocation report as the verification program shows it: the box's
// text, caption and style, with the answer taken from a cached list (the
// servers' cases are scripts/check-revocation's), and how the box looks.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "message_box_recorder.h"
#include "revocation_check.h"
#include "test_card_key.h"
#include "ui_driver.h"

namespace {

const char CIE140_ADDRESS_OBJECT[] = "/crl/ca140.crl";  // cie140's distribution point

class RevocationReport : public testing::Test {
protected:
    void SetUp() override {
        setProgramName("Quillcheck");
        record_ = std::make_unique<SignedFileRecord>();
        record_->signerCount = 2;
        record_->signerCerts[0] = loadTestCard("cie140").certificate;
        record_->issuerCerts[0] = readWholeFile(testDataPath("pki/ca/140.der"));
        record_->signerCerts[1] = loadTestCard("cie142").certificate;  // no distribution point
        // The answer for cie140 comes from its cached list: no server is asked.
        cached_ = crlCachePath(CrlCacheName(CIE140_ADDRESS_OBJECT));
        const Bytes list = readWholeFile(testDataPath("pki/crl/ca140.crl"));
        ASSERT_EQ(WriteCachedCrl(blobOf(list), CrlCacheName(CIE140_ADDRESS_OBJECT)), 1);
    }
    void TearDown() override { DeleteFileA(cached_.c_str()); }

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
    EXPECT_EQ(ReportRevocation(2, *record_), 0);  // past the signers: no certificate
    EXPECT_EQ(ReportRevocation(-1, *record_), 0);
    ASSERT_EQ(boxes.boxes().size(), 4u);
    EXPECT_EQ(boxes.boxes()[0], (MessageBoxRecorder::Box{nullptr, "Il Certificato risulta essere VALIDO.",
                                                         "Quillcheck", MB_OK}));
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(boxes.boxes()[i].text, noAddress) << i;
}

// The real boxes, saved for a person to look at.
TEST_F(RevocationReport, Screenshots) {
    const char* names[] = {"revocation-valid", "revocation-no-address"};
    int shown = 0;
    ui::WindowWatcher watcher("Quillcheck", [&](HWND box) {
        EXPECT_TRUE(ui::saveScreenshot(box, names[shown < 2 ? shown : 1]));
        ++shown;
        ui::pressKey(box, VK_RETURN);
    });
    ReportRevocation(0, *record_);
    ReportRevocation(1, *record_);
    EXPECT_EQ(watcher.driven(), 2);
}

}  // namespace
