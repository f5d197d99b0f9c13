// Where no mail leaves, the citizen keeps the signed files: through the
// program's window, with the real folder dialog and file system, the files
// saved in the folder picked, nothing in it overwritten, nothing written when
// the citizen says no, and a save that fails leaves nothing behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "ansi_text.h"
#include "pin_answerer.h"
#include "program_fixture.h"
#include "quillet_messages.h"
#include "quillet_resource.h"
#include "signed_files_saving.h"
#include "signing_dlg.h"

namespace {

constexpr int BOX_TEXT = 0xFFFF;  // the static control of a message box's text

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::string(entry.cFileName) != "." && std::string(entry.cFileName) != "..") names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Answers the platform's folder dialog (its caption in either language) with
// `folder`, or with Cancel when it is empty.
class FolderAnswer {
public:
    explicit FolderAnswer(std::string folder)
        : folder_(std::move(folder)),
          english_("Browse for Folder", [this](HWND dialog) { answer(dialog); }),
          italian_("Sfoglia cartelle", [this](HWND dialog) { answer(dialog); }) {}
    int shown() const { return english_.driven() + italian_.driven(); }

private:
    void answer(HWND dialog) {
        if (folder_.empty()) ui::click(dialog, IDCANCEL);
        else ui::pickFolder(dialog, folder_);
    }
    std::string folder_;
    ui::WindowWatcher english_, italian_;
};

class SavingSignedFiles : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        saved_ = outbox_ + "\\salvati";
        removeTree(saved_);
        CreateDirectoryA(saved_.c_str(), nullptr);
        // Where the OpenSSL check finds the sources of what was saved.
        std::ofstream(saved_ + "\\A.txt.p7m", std::ios::binary) << "un file del cittadino, da non toccare";
    }
    // Attaches A.txt, types a message and a reply-to, and presses "Firma File"
    // with the mail program of `library` answering `result`; `drive` then
    // answers what comes, and the window is left with "Esci".
    void signWith(const char* library, const char* result, const std::function<void(HWND)>& drive) {
        SetDllDirectoryA(library);
        SetEnvironmentVariableA("QUILL_MAPI_RESULT", result);
        FilePicker picker;
        picker.add(sources_, "A.txt");
        CSigningDlg dialog;
        ui::WindowWatcher main(MAIN_CAPTION, [&](HWND window) {
            HWND list = GetDlgItem(window, IDC_ATTACHMENTS);
            ui::click(window, IDC_ATTACH);
            listHolds(list, 1);
            ui::type(GetDlgItem(window, IDC_MESSAGE_TEXT), "Buongiorno");
            ui::type(GetDlgItem(window, IDC_REPLY_TO), "mario.rossi@example.it");
            ui::click(window, IDC_SIGN);
            drive(window);
            ui::waitFor("the run to end", [&] { return dialog.attachments().runPending == 0; }, 60000);
            formAfter_ = std::to_string(SendMessageA(list, LB_GETCOUNT, 0, 0)) + " " +
                         ui::text(GetDlgItem(window, IDC_MESSAGE_TEXT));
            ui::click(window, IDC_EXIT);
        });
        EXPECT_EQ(dialog.runModal(nullptr), IDOK);
    }
    // What the folder holds when the save went through: the citizen's file
    // as it was, the signed copies (the taken name numbered) and the reply-to.
    void expectSaved() {
        EXPECT_EQ(namesIn(saved_), (std::vector<std::string>{"A (2).txt.p7m", "A.txt.p7m", "replyto.txt",
                                                              "testoMail.txt.p7m"}));
        EXPECT_EQ(contentOf(saved_ + "\\A.txt.p7m"), "un file del cittadino, da non toccare");
        EXPECT_EQ(contentOf(saved_ + "\\replyto.txt"), "mario.rossi@example.it");
        EXPECT_EQ(contentOf(saved_ + "\\A (2).txt.p7m").substr(0, 1), "\x30") << "a SignedFile (OpenSSL checks it)";
        EXPECT_EQ(formAfter_, "0 ") << "the form empties, as after a sent message";
        EXPECT_TRUE(runLeftovers().empty());
    }
    // Closes the Explorer window opened on the folder; true when there was one.
    bool closeExplorerOn(const std::string& folder) {
        HWND shown = nullptr;
        ui::waitFor("the Explorer on the folder", [&] {
            for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
                char title[512] = "";
                GetWindowTextA(w, title, sizeof title);
                if (IsWindowVisible(w) && std::string(title).find(baseNameOf(folder)) != std::string::npos) shown = w;
            }
            return shown != nullptr;
        }, 20000);
        if (shown != nullptr) PostMessageA(shown, WM_CLOSE, 0, 0);
        return shown != nullptr;
    }

    std::string saved_, formAfter_;
};

// No mail program: the offer comes before the PIN, as the citizen sees it
// (real boxes, saved as screenshots); "Sì", the folder, then the card; every
// signed file lands in the folder and the closing box says what to do next.
TEST_F(SavingSignedFiles, WithoutAMailProgramTheFilesAreSavedInTheFolderPicked) {
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    FolderAnswer folder(saved_);
    setProgramName("Quillet");
    setMessageBoxHandler(nullptr, nullptr);  // the real boxes, for the screenshots
    std::vector<std::string> texts;
    int pinsAtOffer = -1;
    ui::WindowWatcher boxes("Quillet", [&](HWND box) {
        ui::waitUntilPainted(box);
        texts.push_back(ui::text(GetDlgItem(box, BOX_TEXT)));
        const bool offer = GetDlgItem(box, IDYES) != nullptr;
        if (offer && pinsAtOffer < 0) pinsAtOffer = pin.driven();
        ui::saveScreenshot(box, offer ? "save-offer" : "save-done");
        ui::click(box, offer ? IDYES : IDOK);
    });
    signWith(QUILL_PROGRAM_OUTBOX_DIR, "0", [&](HWND) {
        ui::waitFor("the closing box", [&] { return !texts.empty() && texts.back().find("salvati") != std::string::npos; },
                    60000);
    });
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], quillet_messages::SAVE_OFFER_NO_MAIL_PROGRAM);
    EXPECT_EQ(pinsAtOffer, 0) << "the offer before the PIN";
    EXPECT_EQ(pin.driven(), 1);
    EXPECT_EQ(folder.shown(), 1);
    for (const char* said : {"salvati", "A (2).txt.p7m", "testoMail.txt.p7m", "replyto.txt",
                             "protocollo@comune.valdora.it"}) {
        EXPECT_NE(texts[1].find(said), std::string::npos) << said << " in: " << texts[1];
    }
    expectSaved();
    EXPECT_TRUE(sentAttachments().empty()) << "nothing was mailed";
    EXPECT_TRUE(closeExplorerOn(saved_));
}

// The mail program cannot reach the mailbox: after its message, the same
// offer, before the signed copies go.
TEST_F(SavingSignedFiles, WhenTheMailboxCannotBeReachedTheFilesMayBeSaved) {
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    FolderAnswer folder(saved_);
    boxes_.answerNextWith(IDOK);
    boxes_.answerNextWith(IDYES);
    signWith(QUILL_MAPI32_DIR, "3", [&](HWND) {
        ui::waitFor("the closing box", [&] { return boxes_.boxes().size() == 3; }, 60000);
    });
    ASSERT_EQ(boxes_.boxes().size(), 3u);
    EXPECT_EQ(boxes_.boxes()[0].text, quillet_messages::MAILBOX_NOT_REACHED);
    EXPECT_EQ(boxes_.boxes()[1].text, quillet_messages::SAVE_OFFER_MAIL_NOT_SENT);
    EXPECT_EQ(boxes_.boxes()[2].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    expectSaved();
    closeExplorerOn(saved_);
}

// "No", or the folder dialog cancelled, before or after signing: nothing is
// written and the form keeps its file and text.
TEST_F(SavingSignedFiles, NoOrACancelledFolderWritesNothing) {
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    FolderAnswer cancel("");
    const auto cancelled = [&](int times) {
        return [&cancel, times](HWND) { ui::waitFor("the folder dialog", [&] { return cancel.shown() == times; }, 60000); };
    };
    boxes_.answerNextWith(IDNO);  // no mail program: "No"
    signWith(QUILL_PROGRAM_OUTBOX_DIR, "0",
             [&](HWND) { ui::waitFor("the offer", [&] { return boxes_.boxes().size() == 1; }); });
    boxes_.answerNextWith(IDYES);  // no mail program: "Sì", then the folder cancelled
    signWith(QUILL_PROGRAM_OUTBOX_DIR, "0", cancelled(1));
    EXPECT_EQ(pin.driven(), 0) << "nothing signed";
    boxes_.answerNextWith(IDOK);   // the mailbox not reached
    boxes_.answerNextWith(IDYES);  // "Sì", then the folder cancelled
    signWith(QUILL_MAPI32_DIR, "3", cancelled(2));
    EXPECT_EQ(cancel.shown(), 2);
    EXPECT_EQ(boxes_.boxes().size(), 4u);
    EXPECT_EQ(formAfter_, "1 Buongiorno");
    EXPECT_EQ(namesIn(saved_), std::vector<std::string>{"A.txt.p7m"});
    EXPECT_TRUE(runLeftovers().empty());
}

// A save that fails part way (a file gone, a folder that is not there)
// leaves the folder as it was and says why.
TEST_F(SavingSignedFiles, AFailedSaveLeavesNothingBehind) {
    const std::string present = source("A.txt"), gone = source("non-esiste.txt");
    std::vector<std::wstring> saved;
    const std::wstring folder = wideText(saved_);
    EXPECT_NE(saveFiles({{present, "A.txt.p7m"}, {gone, "B.txt.p7m"}}, folder, &saved), "");
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(namesIn(saved_), std::vector<std::string>{"A.txt.p7m"});
    EXPECT_NE(saveFiles({{present, "A.txt.p7m"}}, folder + L"\\manca", &saved), "");
    // And one that goes through numbers a taken name, twice in one save too.
    ASSERT_EQ(saveFiles({{present, "A.txt.p7m"}, {present, "A.txt.p7m"}}, folder, &saved), "");
    EXPECT_EQ(saved, (std::vector<std::wstring>{L"A (2).txt.p7m", L"A (3).txt.p7m"}));
    EXPECT_EQ(contentOf(saved_ + "\\A (3).txt.p7m"), contentOf(present));
}

}  // namespace
