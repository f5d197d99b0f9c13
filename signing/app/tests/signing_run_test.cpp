// What a signing run must never do, through the program's window: lose a
// file, touch a file of the user's, call a mail that did not leave sent,
// leave a file behind, or go down with the program when memory runs out.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "allocation_faults.h"
#include "outlook_express.h"
#include "pin_answerer.h"
#include "program_fixture.h"
#include "quillet_messages.h"
#include "quillet_resource.h"
#include "scripted_pin.h"
#include "signing_dlg.h"

namespace {

using Box = MessageBoxRecorder::Box;

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

void write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool pinWiped() {
    const PinSlot& slot = pinSlot();
    for (char c : slot.text) {
        if (c != 0) return false;
    }
    return slot.length == 0;
}

class SigningRunSafety : public ProgramFixture {
protected:
    // Runs the window until `drive` (on a helper thread) leaves it with "Esci".
    void runWindow(CSigningDlg& dialog, const std::function<void(HWND)>& drive) {
        ui::WindowWatcher main(MAIN_CAPTION, [&](HWND window) {
            drive(window);
            ui::click(window, IDC_EXIT);
        });
        EXPECT_EQ(dialog.runModal(nullptr), IDOK);
    }
    // Presses "Firma File" and waits for the mail to reach the outbox.
    void signAndWaitForMail(HWND window, int mails) {
        ui::click(window, IDC_SIGN);
        ui::waitFor("mail " + std::to_string(mails) + " to reach the outbox",
                    [&] { return static_cast<int>(sentAttachments().size()) == mails; }, 60000);
    }
};

// Two files of one name from two folders, and a SignedFile of the user's that
// lies in the temporary folder, beside a file of the user's that bears a
// signed copy's name: all three leave, each as itself, and the user's files
// stay as they were.
TEST_F(SigningRunSafety, FilesOfOneNameAndTheUsersOwnInTheTemporaryFolder) {
    for (const char* folder : {"\\anna", "\\bruno"}) CreateDirectoryA((sources_ + folder).c_str(), nullptr);
    write(sources_ + "\\anna\\domanda.txt", "la domanda di Anna");
    write(sources_ + "\\bruno\\domanda.txt", "la domanda di Bruno");
    const std::string usersSigned = temporaryFolder() + "\\lettera.pdf.p7m";
    const std::string usersCopy = temporaryFolder() + "\\domanda.txt.p7m";
    write(usersSigned, "una lettera firmata da altri");
    write(usersCopy, "una copia dell'utente");
    write(sources_ + "\\lettera.pdf.p7m", "una lettera firmata da altri");  // where the OpenSSL check looks
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    FilePicker picker;
    picker.add(sources_ + "\\anna", "domanda.txt");
    picker.add(sources_ + "\\bruno", "domanda.txt");
    picker.add(temporaryFolder(), "lettera.pdf.p7m");
    CSigningDlg dialog;
    runWindow(dialog, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_ATTACHMENTS);
        for (int attached = 1; attached <= 3; ++attached) {
            ui::click(window, IDC_ATTACH);
            listHolds(list, attached);
        }
        signAndWaitForMail(window, 1);
        listHolds(list, 0);
    });
    const std::vector<std::vector<std::string>> names = {{"domanda.txt.p7m", "domanda.txt.p7m", "lettera.pdf.p7m"}};
    EXPECT_EQ(sentAttachments(), names);
    const std::vector<std::string> paths = sentPaths().at(0);
    EXPECT_NE(paths[0], paths[1]) << "each file its own signed copy";
    EXPECT_EQ(contentOf(usersSigned), "una lettera firmata da altri");
    EXPECT_EQ(contentOf(usersCopy), "una copia dell'utente");
    DeleteFileA(usersSigned.c_str());
    DeleteFileA(usersCopy.c_str());
    EXPECT_TRUE(boxes_.boxes().empty()) << boxes_.boxes()[0];
    EXPECT_TRUE(runLeftovers().empty());
    EXPECT_TRUE(pinWiped());
}

// No mail program, one without its entry, one that cannot log on: each says
// that nothing left (the first two before the PIN, offering to save the
// files instead; the third after signing, with the same offer), and,
// the offer declined, the form keeps its file and texts for another try,
// which then goes through.
TEST_F(SigningRunSafety, AMailThatDidNotLeaveKeepsTheForm) {
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    FilePicker picker;
    picker.add(sources_, "A.txt");
    const struct {
        const char* library;  // the mail program's folder
        const char* result;   // its answer
        size_t boxes;         // the boxes the try shows
        int pins;             // the PIN prompts so far
    } tries[] = {{QUILL_PROGRAM_OUTBOX_DIR, "0", 1, 0}, {QUILL_MAPI32_DIR "\\incomplete", "0", 1, 0},
                 {QUILL_MAPI32_DIR, "3", 2, 1}};
    std::vector<std::string> formAfter;
    CSigningDlg dialog;
    runWindow(dialog, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_ATTACHMENTS);
        ui::click(window, IDC_ATTACH);
        listHolds(list, 1);
        ui::type(GetDlgItem(window, IDC_MESSAGE_TEXT), "Buongiorno");
        ui::type(GetDlgItem(window, IDC_REPLY_TO), "mario.rossi@example.it");
        for (const auto& t : tries) {
            const size_t shown = boxes_.boxes().size();
            SetDllDirectoryA(t.library);
            SetEnvironmentVariableA("QUILL_MAPI_RESULT", t.result);
            boxes_.answerNextWith(IDNO);
            if (t.boxes == 2) boxes_.answerNextWith(IDNO);
            ui::click(window, IDC_SIGN);
            ui::waitFor("the boxes saying that nothing left", [&] { return boxes_.boxes().size() == shown + t.boxes; },
                        60000);
            ui::waitFor("the run to end", [&] { return dialog.attachments().runPending == 0; });
            EXPECT_EQ(pin.driven(), t.pins) << t.library;
            formAfter.push_back(std::to_string(SendMessageA(list, LB_GETCOUNT, 0, 0)) + " " +
                                ui::text(GetDlgItem(window, IDC_MESSAGE_TEXT)) + " " +
                                ui::text(GetDlgItem(window, IDC_REPLY_TO)));
        }
        SetDllDirectoryA(QUILL_MAPI32_DIR);
        SetEnvironmentVariableA("QUILL_MAPI_RESULT", nullptr);
        signAndWaitForMail(window, 2);
        listHolds(list, 0);
    });
    ASSERT_EQ(boxes_.boxes().size(), 4u);
    const std::string offerBefore = quillet_messages::SAVE_OFFER_NO_MAIL_PROGRAM;
    EXPECT_EQ(boxes_.boxes()[0].text, offerBefore) << "no mail program: the offer, before the PIN";
    EXPECT_EQ(boxes_.boxes()[1].text, offerBefore) << "no MAPISendMail: the same";
    EXPECT_NE(boxes_.boxes()[2].text.find("non \xE8 stato inviato"), std::string::npos);
    EXPECT_EQ(boxes_.boxes()[3].text, quillet_messages::SAVE_OFFER_MAIL_NOT_SENT);
    EXPECT_EQ(boxes_.boxes()[3].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    const std::string form = "1 Buongiorno mario.rossi@example.it";
    EXPECT_EQ(formAfter, (std::vector<std::string>{form, form, form}));
    // The stand-in records what it was handed also when it answers 3.
    const std::vector<std::string> mail = {"testoMail.txt.p7m", "A.txt.p7m", "replyto.txt"};
    EXPECT_EQ(sentAttachments(), (std::vector<std::vector<std::string>>{mail, mail}));
    EXPECT_TRUE(runLeftovers().empty());
}

// A signed copy that another program holds open while the mail leaves
// cannot be removed: the run says so when it ends, and the copy is still
// there, whole, for the citizen to find.
TEST_F(SigningRunSafety, ACopyHeldOpenIsReportedAndKept) {
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    FilePicker picker;
    picker.add(sources_, "A.txt");
    SetEnvironmentVariableA("QUILL_MAPI_HOLD_MS", "3000");
    std::string copy;
    HANDLE held = INVALID_HANDLE_VALUE;
    ui::WindowWatcher mailWait("Preparazione della Mail", [&](HWND) {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((temporaryFolder() + "\\quillet-*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        copy = temporaryFolder() + "\\" + entry.cFileName + "\\1\\A.txt.p7m";
        FindClose(search);
        // As a virus scanner or a viewer would: read, no leave to delete.
        held = CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    });
    CSigningDlg dialog;
    runWindow(dialog, [&](HWND window) {
        ui::click(window, IDC_ATTACH);
        listHolds(GetDlgItem(window, IDC_ATTACHMENTS), 1);
        signAndWaitForMail(window, 1);
        ui::waitFor("the run to end", [&] { return dialog.attachments().runPending == 0; });
    });
    SetEnvironmentVariableA("QUILL_MAPI_HOLD_MS", nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << copy;
    CloseHandle(held);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, quillet_messages::TEMP_FILES_NOT_DELETED);
    EXPECT_EQ(contentOf(copy).substr(0, 1), "\x30") << "the signed copy, whole";
    // What was held goes with the next clean slate.
    EXPECT_FALSE(runLeftovers().empty());
    DeleteFileA(copy.c_str());
    EXPECT_TRUE(pinWiped());
}

// Under a file size limit (set by the test that runs this one), the signed
// copy of a large file is written part-way and the run ends: the part
// written was there when the run ended, and is gone afterwards.
TEST_F(SigningRunSafety, ASignedCopyWrittenPartWayIsRemoved) {
    if (std::getenv("QUILL_FILE_SIZE_LIMITED") == nullptr) GTEST_SKIP() << "needs a file size limit";
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    // The boxes recorded; at the run's end, how much of the copy was there.
    struct Watch {
        std::vector<std::string> texts;
        long long partial = -1;
    } watch;
    setMessageBoxHandler([](void* context, HWND, const char* text, const char*, UINT) {
        auto* w = static_cast<Watch*>(context);
        w->texts.push_back(text);
        WIN32_FIND_DATAA folder;
        HANDLE search = FindFirstFileA((temporaryFolder() + "\\quillet-*").c_str(), &folder);
        if (search == INVALID_HANDLE_VALUE) return IDOK;
        FindClose(search);
        WIN32_FILE_ATTRIBUTE_DATA copy;
        const std::string path = temporaryFolder() + "\\" + folder.cFileName + "\\1\\grande.bin.p7m";
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &copy)) w->partial = copy.nFileSizeLow;
        return IDOK;
    }, &watch);
    std::string folder = QUILL_LARGE_SOURCE_DIR;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    FilePicker picker;
    picker.add(folder, "grande.bin");
    CSigningDlg dialog;
    runWindow(dialog, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_ATTACHMENTS);
        ui::click(window, IDC_ATTACH);
        listHolds(list, 1);
        ui::click(window, IDC_SIGN);
        listHolds(list, 0);
    });
    setMessageBoxHandler(nullptr, nullptr);
    EXPECT_EQ(watch.texts, std::vector<std::string>{CANCELLED});
    EXPECT_GT(watch.partial, 0) << "the copy was written part-way";
    EXPECT_TRUE(runLeftovers().empty());
    EXPECT_TRUE(sentAttachments().empty());
}

// Memory running out at each allocation of a run in turn -- in the form, the
// run, the signing or the mail step: the program goes on, a box says what
// happened (unless the mail left all the same), the run's files are gone,
// the account has its former reply-to again and the PIN is wiped; then a run
// goes through as usual.
TEST_F(SigningRunSafety, MemoryRunningOutAtAnyPointOfARun) {
    card_.insert("cie140");
    ScriptedPin pin("12345678");
    OutlookExpressSettings outlookExpress;
    outlookExpress.setClient("Outlook Express");
    outlookExpress.setReplyTo("segreteria@studio-neri.it");
    CSigningDlg dialog;
    ASSERT_TRUE(dialog.createModeless(nullptr));
    HWND window = dialog.handle();
    // The form filled, then "Firma File" with the `n`-th allocation from the
    // press on failing (0: none).
    auto run = [&](long n) {
        dialog.attachments().files = {source("A.txt"), source("B.txt")};
        SetDlgItemTextA(window, IDC_MESSAGE_TEXT, "Buongiorno");
        SetDlgItemTextA(window, IDC_REPLY_TO, "mario.rossi@example.it");
        allocation_faults::failAllocation(n);
        SendMessageA(window, WM_COMMAND, IDC_SIGN, 0);
        allocation_faults::stop();
    };
    run(0);  // the first run also makes what lives as long as the program
    run(0);
    const long allocations = allocation_faults::counted();
    ASSERT_EQ(sentAttachments().size(), 2u);
    ASSERT_GT(allocations, 20);
    for (long n = 1; n <= allocations && !HasFailure(); ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
        boxes_.clear();
        const size_t mails = sentAttachments().size();
        run(n);
        EXPECT_TRUE(allocation_faults::failed());
        EXPECT_TRUE(!boxes_.boxes().empty() || sentAttachments().size() == mails + 1);
        EXPECT_TRUE(runLeftovers().empty());
        EXPECT_EQ(outlookExpress.replyTo(), "segreteria@studio-neri.it");
        EXPECT_EQ(dialog.attachments().runPending, 0);
        EXPECT_TRUE(pinWiped());
    }
    boxes_.clear();
    const size_t mails = sentAttachments().size();
    run(0);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(sentAttachments().size(), mails + 1);
    dialog.destroy();
}

}  // namespace
