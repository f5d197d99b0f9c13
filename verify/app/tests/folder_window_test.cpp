// The window of a folder's verification as the clerk uses it: ready, file n
// of m while the run goes, stopped by its button, finished with the report
// opened by the desktop's browser (a recorder here).
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "folder_dlg.h"
#include "message_box_recorder.h"
#include "quillcheck_resource.h"
#include "recorder_association.h"
#include "temp_paths.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"
#include "ui_driver.h"

namespace {

const char CAPTION[] = "Quillcheck - verifica di una cartella";

// The window with its run held at file 10 until the test lets it go on.
class HeldFolderDlg : public CFolderDlg {
public:
    using CFolderDlg::CFolderDlg;
    ~HeldFolderDlg() override { CloseHandle(release_); }
    void letGo() { SetEvent(release_); }

protected:
    void onFile(size_t number, size_t total, const std::wstring& relative) override {
        CFolderDlg::onFile(number, total, relative);
        if (number == 10) WaitForSingleObject(release_, 30000);
    }

private:
    HANDLE release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

class FolderWindow : public testing::Test {
protected:
    void SetUp() override {
        root_ = makeOwnTempFolder("folder-window");
        ASSERT_FALSE(root_.empty());
        source_ = root_ + "\\Posta";
        CreateDirectoryA(source_.c_str(), nullptr);
        recorded_ = root_ + "\\browser.txt";
        // The desktop's browser for pages: the recorder, for the test's time.
        browser_ = std::make_unique<RecorderAssociation>(".html", "Quill.TestPage", recorded_);
    }
    void TearDown() override { browser_.reset(); }

    void putFiles(int count) {
        const Bytes signedFile = buildSignedFile(loadTestCard("cie140"), Bytes(2000, 'c'), {});
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "\\lettera-%04d.txt.p7m", i);
            writeWholeFile(source_ + name, signedFile);
        }
    }

    std::vector<std::string> recorded(size_t count) { return recordedLines(recorded_, count); }

    TestPkiAuthorities authorities_;
    MessageBoxRecorder boxes_;
    std::string root_, source_, recorded_;
    std::unique_ptr<RecorderAssociation> browser_;
};

TEST_F(FolderWindow, ShowsFileNOfMAndStopsWhenAsked) {
    putFiles(40);
    const std::string output = root_ + "\\esiti";
    std::string ready, running, current, stopped;
    bool startOff = false, stopOn = false;
    HeldFolderDlg dialog(wideText(source_), wideText(output), false, &authorities_.table());
    ui::WindowWatcher watcher(CAPTION, [&](HWND window) {
        ready = ui::text(GetDlgItem(window, IDC_FOLDER_COUNT));
        EXPECT_EQ(ui::text(GetDlgItem(window, IDC_FOLDER_SOURCE)), source_);
        EXPECT_EQ(ui::text(GetDlgItem(window, IDC_FOLDER_OUTPUT)), output);
        EXPECT_TRUE(ui::saveScreenshot(window, "folder-ready"));
        ui::click(window, IDOK);
        ui::waitFor("the run to reach its tenth file",
                    [&] { return ui::text(GetDlgItem(window, IDC_FOLDER_COUNT)) == "File 10 di 40"; });
        running = ui::text(GetDlgItem(window, IDC_FOLDER_COUNT));
        current = ui::text(GetDlgItem(window, IDC_FOLDER_CURRENT));
        startOff = !IsWindowEnabled(GetDlgItem(window, IDOK));
        stopOn = IsWindowEnabled(GetDlgItem(window, IDC_FOLDER_STOP));
        EXPECT_TRUE(ui::saveScreenshot(window, "folder-progress"));
        ui::clickAndWait(window, IDC_FOLDER_STOP);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_FOLDER_STOP)));
        dialog.letGo();
        ui::waitFor("the run to stop", [&] {
            return ui::text(GetDlgItem(window, IDC_FOLDER_COUNT)).compare(0, 19, "Verifica interrotta") == 0;
        });
        stopped = ui::text(GetDlgItem(window, IDC_FOLDER_COUNT));
        EXPECT_TRUE(ui::saveScreenshot(window, "folder-stopped"));
        ui::click(window, IDCANCEL);
    });
    dialog.runModal(nullptr);
    EXPECT_EQ(ready, "Premere \"Avvia\" per verificare i file p7m della cartella e delle sue sottocartelle.");
    EXPECT_EQ(running, "File 10 di 40");
    EXPECT_EQ(current, "lettera-0009.txt.p7m");
    EXPECT_TRUE(startOff && stopOn);
    const FolderCheckResult& result = dialog.result();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.counts[0], 10u) << "the file begun ends, no other begins";
    EXPECT_EQ(stopped, "Verifica interrotta: 10 file. Validi 10, da controllare 0, non validi 0, non verificabili 0.");
    EXPECT_EQ(recorded(1), (std::vector<std::string>{"\"" + output + "\\rapporto.html\""}));
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(FolderWindow, FinishedRunOpensTheReportAndAFailedOneSaysWhy) {
    putFiles(3);
    writeWholeFile(source_ + "\\rotto.p7m", Bytes{'x'});
    const std::string output = root_ + "\\esiti";
    std::string done;
    {
    CFolderDlg dialog(wideText(source_), wideText(output), false, &authorities_.table());
    ui::WindowWatcher watcher(CAPTION, [&](HWND window) {
        ui::click(window, IDOK);
        ui::waitFor("the run to end", [&] {
            return ui::text(GetDlgItem(window, IDC_FOLDER_COUNT)).compare(0, 17, "Verifica conclusa") == 0;
        });
        done = ui::text(GetDlgItem(window, IDC_FOLDER_COUNT));
        EXPECT_EQ(ui::text(GetDlgItem(window, IDC_FOLDER_CURRENT)), "Rapporto: " + output + "\\rapporto.html");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDOK))) << "one run per window";
        EXPECT_TRUE(ui::saveScreenshot(window, "folder-done"));
        ui::click(window, IDCANCEL);
    });
    dialog.runModal(nullptr);
    }
    EXPECT_EQ(done, "Verifica conclusa: 4 file. Validi 3, da controllare 0, non validi 0, non verificabili 1.");
    EXPECT_EQ(recorded(1), (std::vector<std::string>{"\"" + output + "\\rapporto.html\""}));

    // An output folder inside the source: the box says why, nothing is
    // written, and the run may be started again.
    const std::string inside = source_ + "\\esiti";
    {
    CFolderDlg refused(wideText(source_), wideText(inside), false, &authorities_.table());
    ui::WindowWatcher refusing(CAPTION, [&](HWND window) {
        ui::click(window, IDOK);
        ui::waitFor("the message", [&] { return !boxes_.boxes().empty(); });
        ui::waitFor("the start button again", [&] { return IsWindowEnabled(GetDlgItem(window, IDOK)) != FALSE; });
        EXPECT_EQ(ui::text(GetDlgItem(window, IDC_FOLDER_COUNT)), "Verifica non eseguita.");
        ui::click(window, IDCANCEL);
    });
    refused.runModal(nullptr);
    }
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, "La cartella dei risultati non pu\xF2 stare nella cartella da verificare.");
    EXPECT_EQ(GetFileAttributesA(inside.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(recorded(1).size(), 1u) << "no browser for a run that did not happen";
}

}  // namespace
