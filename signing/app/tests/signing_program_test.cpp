// The signing program as a person uses it: the main window driven through its
// controls and the open-file dialog, the card check, the PIN prompt, the
// simulated CIE and the Simple MAPI stand-in; and the run's failures.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <memory>

#include "pin_answerer.h"
#include "program_fixture.h"
#include "quillet_resource.h"
#include "signature_form.h"
#include "signed_file_loader.h"
#include "signing_dlg.h"
#include "signing_run.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"

namespace {

using Box = MessageBoxRecorder::Box;

class SigningProgram : public ProgramFixture {};

// Attach B then A in the open-file dialog, type a text and a reply-to, sign
// and send: the list shows A above B, the mail carries the text's signed copy,
// then B, then A, and afterwards the form is empty and nothing is left behind.
TEST_F(SigningProgram, SignsTheAttachedFilesAndMailsThemInAttachingOrder) {
    card_.insert("cie140");
    ui::WindowWatcher pin("Verifica PIN Quillet", [](HWND prompt) {
        ui::saveScreenshot(FindWindowA(nullptr, "Firma in corso..."), "run-in-progress");
        ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), "12345678");
        ui::click(prompt, IDC_PIN_OK);
    });
    ui::WindowWatcher openFile("Open", [this](HWND dialog) {
        ui::saveScreenshot(dialog, "open-file");
        ui::pickFiles(dialog, sources_, "\"B.txt\" \"A.txt\"");
    });
    std::vector<std::string> shown, afterRun;
    std::string textAfterRun = "?", replyToAfterRun = "?";
    ui::WindowWatcher main(MAIN_CAPTION, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_ATTACHMENTS);
        ui::click(window, IDC_ATTACH);
        listHolds(list, 2);
        shown = ui::listBoxEntries(list);
        ui::type(GetDlgItem(window, IDC_MESSAGE_TEXT), "Buongiorno,\rallego la domanda.");
        ui::type(GetDlgItem(window, IDC_REPLY_TO), "mario.rossi@example.it");
        ui::saveScreenshot(window, "main-window");
        ui::click(window, IDC_SIGN);
        ui::waitFor("the mail to reach the outbox", [&] {
            return GetFileAttributesA((outbox_ + "\\message-1.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
        }, 60000);
        // The run empties the texts, then the list.
        listHolds(list, 0);
        afterRun = ui::listBoxEntries(list);
        textAfterRun = ui::text(GetDlgItem(window, IDC_MESSAGE_TEXT));
        replyToAfterRun = ui::text(GetDlgItem(window, IDC_REPLY_TO));
        ui::saveScreenshot(window, "after-run");
        ui::click(window, IDC_EXIT);
    });
    CSigningDlg dialog;
    EXPECT_EQ(dialog.runModal(nullptr), IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{source("A.txt"), source("B.txt")}));
    const std::vector<std::vector<std::string>> sent = {{"testoMail.txt.p7m", "B.txt.p7m", "A.txt.p7m", "replyto.txt"}};
    EXPECT_EQ(sentAttachments(), sent);
    EXPECT_EQ(pin.driven(), 1);
    EXPECT_TRUE(afterRun.empty());
    EXPECT_EQ(textAfterRun + replyToAfterRun, "");
    EXPECT_TRUE(runLeftovers().empty());
    EXPECT_TRUE(dialog.attachments().files.empty() && dialog.attachments().signedFiles.empty());
    EXPECT_EQ(dialog.attachments().runPending, 0);
    EXPECT_TRUE(boxes_.boxes().empty()) << boxes_.boxes()[0];
}

// The municipality's choice of the CAdES form, where the installer writes
// it, taken away again at the end.
class CadesChosen {
public:
    CadesChosen() {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr,
                        &key_, nullptr);
        RegSetValueExA(key_, SIGNATURE_FORM_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>("CAdES"), 6);
    }
    ~CadesChosen() {
        RegDeleteValueA(key_, SIGNATURE_FORM_VALUE);
        RegCloseKey(key_);
    }
    CadesChosen(const CadesChosen&) = delete;
    CadesChosen& operator=(const CadesChosen&) = delete;

private:
    HKEY key_ = nullptr;
};

// An attachment of a message the mail program's stand-in wrote, decoded from
// its base64; empty when the message has none of that name.
Bytes attachmentOf(const std::string& eml, const std::string& name) {
    const Bytes message = readWholeFile(eml);
    const std::string text(message.begin(), message.end());
    const size_t named = text.find("name=\"" + name + "\"");
    const size_t start = named == std::string::npos ? named : text.find("\r\n\r\n", named);
    if (start == std::string::npos) return {};
    const std::string base64 = text.substr(start + 4, text.find("\r\n--", start) - start - 4);
    DWORD size = 0;
    CryptStringToBinaryA(base64.c_str(), static_cast<DWORD>(base64.size()), CRYPT_STRING_BASE64, nullptr, &size,
                         nullptr, nullptr);
    Bytes bytes(size);
    if (!CryptStringToBinaryA(base64.c_str(), static_cast<DWORD>(base64.size()), CRYPT_STRING_BASE64, bytes.data(),
                              &size, nullptr, nullptr)) {
        return {};
    }
    return bytes;
}

// With the CAdES form chosen, the window's run signs in it: the copy that
// leaves loads in the verifier as the card's holder, valid, with its signing
// time. (OpenSSL then checks its attributes: program_outbox_signed_files_verify.)
TEST_F(SigningProgram, SignsInTheCadesFormWhenTheMunicipalityChoseIt) {
    const CadesChosen chosen;
    card_.insert("cie140");
    ui::WindowWatcher pin("Verifica PIN Quillet", [](HWND prompt) {
        ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), "12345678");
        ui::click(prompt, IDC_PIN_OK);
    });
    ui::WindowWatcher openFile("Open", [this](HWND dialog) { ui::pickFiles(dialog, sources_, "\"A.txt\""); });
    ui::WindowWatcher main(MAIN_CAPTION, [&](HWND window) {
        ui::click(window, IDC_ATTACH);
        listHolds(GetDlgItem(window, IDC_ATTACHMENTS), 1);
        ui::click(window, IDC_SIGN);
        ui::waitFor("the mail to reach the outbox", [&] {
            return GetFileAttributesA((outbox_ + "\\message-1.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
        }, 60000);
        ui::click(window, IDC_EXIT);
    });
    CSigningDlg dialog;
    EXPECT_EQ(dialog.runModal(nullptr), IDOK);
    ASSERT_EQ(sentAttachments(), (std::vector<std::vector<std::string>>{{"A.txt.p7m"}}));

    const Bytes signedCopy = attachmentOf(outbox_ + "\\message-1.eml", "A.txt.p7m");
    const TestPkiAuthorities authorities;
    auto record = std::make_unique<SignedFileRecord>();
    Base64Codec codec;
    SignedMessage message;
    ASSERT_EQ(loadSignedBytes({signedCopy.data(), signedCopy.size()}, *record, authorities.table(), &codec, &message), 0);
    EXPECT_STREQ(record->signerNames[0], "ROSSI/MARIO/RSSMRA70A01L736S");
    EXPECT_EQ(record->signerStatus[0], 0u) << "green";
    EXPECT_FALSE(record->signingTimes[0].empty());
    ASSERT_EQ(message.signers.size(), 1u);
    EXPECT_EQ(ber::oidText(message.signers[0].signatureAlgorithm), "1.2.840.113549.1.1.11") << "sha256WithRSA";
    EXPECT_NE(findAttribute(message.signers[0].signedAttributes, oids::SIGNING_CERTIFICATE_V2), nullptr);
}

// The attachment list: a file attached twice, entries removed at once that
// are not adjacent, the scroll width rule, no change while a run is under
// way; and the information box.
TEST_F(SigningProgram, AttachmentListFollowsItsRules) {
    FilePicker picker;
    picker.add(sources_, "\"A.txt\" \"B.txt\" \"C.doc\" \"D.pdf\"");
    picker.add(sources_, "A.txt");
    ui::WindowWatcher info("Informazioni su Quillet", [](HWND box) {
        ui::saveScreenshot(box, "quillet-information-box");
        ui::click(box, IDOK);
    });
    CSigningDlg dialog;
    std::vector<std::string> afterAttaching, afterRemoving;
    std::vector<std::string> filesAfterRemoving;
    int extentAfterFirst = 0, extentAfterLong = 0, widest = 0, extentAfterSome = 0, extentAfterAll = 0;
    bool waitedForTheRun = false, infoShown = false, minimised = false;
    // The wide name lies in a folder of the temporary directory, whose path
    // does not grow with the build folder's: the open-file dialog hands over
    // no path beyond MAX_PATH, and in a deep clone the sources' would be.
    const std::string wideFolder = temporaryFolder() + "\\quill-wide-name";
    CreateDirectoryA(wideFolder.c_str(), nullptr);
    ui::WindowWatcher main(MAIN_CAPTION, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_ATTACHMENTS);
        auto extent = [list] { return static_cast<int>(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0)); };
        ui::click(window, IDC_ATTACH);
        listHolds(list, 4);
        extentAfterFirst = extent();
        ui::click(window, IDC_ATTACH);
        listHolds(list, 5);
        afterAttaching = ui::listBoxEntries(list);  // A, A, B, C, D
        // Two entries that are not adjacent: the second A and C.
        SendMessageA(list, LB_SETSEL, TRUE, 1);
        SendMessageA(list, LB_SETSEL, TRUE, 3);
        ui::click(window, IDC_REMOVE);
        listHolds(list, 3);
        afterRemoving = ui::listBoxEntries(list);
        filesAfterRemoving = dialog.attachments().files;
        extentAfterSome = extent();
        // A path wider than the list: the width becomes its text width less 25.
        // Measured in the list's default font, not in its own narrower one.
        const std::string wide = std::string(150, 'w') + ".txt";
        const std::string path = wideFolder + "\\" + wide;
        std::ofstream(path) << "w";
        picker.add(wideFolder, wide);
        ui::click(window, IDC_ATTACH);
        listHolds(list, 4);
        extentAfterLong = extent();
        HDC dc = GetDC(list);
        SIZE size;
        GetTextExtentPoint32A(dc, path.c_str(), static_cast<int>(path.size()), &size);
        ReleaseDC(list, dc);
        widest = size.cx;
        SendMessageA(list, LB_SETSEL, TRUE, -1);  // all of them
        ui::click(window, IDC_REMOVE);
        listHolds(list, 0);
        extentAfterAll = extent();
        // While a run is under way the commands wait: "Elimina Allegato" too.
        picker.add(sources_, "A.txt");
        ui::click(window, IDC_ATTACH);
        listHolds(list, 1);
        SendMessageA(list, LB_SETSEL, TRUE, -1);
        dialog.attachments().runPending = 1;
        ui::clickAndWait(window, IDC_REMOVE);
        waitedForTheRun = SendMessageA(list, LB_GETCOUNT, 0, 0) == 1 && dialog.attachments().files.size() == 1;
        dialog.attachments().runPending = 0;
        // Minimised, the window shows its icon; restored, the form again.
        PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        minimised = ui::waitFor("the main window to be minimised", [&] { return IsIconic(window) != FALSE; });
        ui::saveScreenshot(window, "minimised");
        PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        ui::waitFor("the main window to be restored", [&] { return IsIconic(window) == FALSE; });
        PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        infoShown = ui::waitFor("the information box to be shown and closed", [&] { return info.driven() == 1; });
        ui::click(window, IDC_EXIT);
    });
    SetLastError(0);
    const INT_PTR ended = dialog.runModal(nullptr);
    removeTree(wideFolder);
    ASSERT_EQ(ended, IDOK) << GetLastError();
    const std::vector<std::string> attached = {source("A.txt"), source("A.txt"), source("B.txt"), source("C.doc"),
                                               source("D.pdf")};
    EXPECT_EQ(afterAttaching, attached);
    EXPECT_EQ(afterRemoving, (std::vector<std::string>{source("A.txt"), source("B.txt"), source("D.pdf")}));
    // The first A of the files (attached first) went with the removed entry's text.
    EXPECT_EQ(filesAfterRemoving, (std::vector<std::string>{source("B.txt"), source("D.pdf"), source("A.txt")}));
    EXPECT_EQ(extentAfterSome, extentAfterFirst) << "removing some entries keeps the width";
    EXPECT_EQ(extentAfterLong, widest - 25);
    EXPECT_EQ(extentAfterAll, dialog.initialExtent());
    EXPECT_TRUE(waitedForTheRun);
    EXPECT_TRUE(infoShown);
    EXPECT_TRUE(minimised);
}

// Each way a run ends early, on the workflow without the window: its boxes in
// order (answered as the row says), whether a mail left, and nothing left in
// the temporary directory after the clean-up.
TEST_F(SigningProgram, EachFailureOfARunGivesItsMessagesAndSendsNothing) {
    const std::string noReader = "Nessun lettore di smartcard riconosciuto;\n\rverificare le connessioni";
    const std::string insertCard = "Inserire Una carta nel lettore di smartcard";
    const std::string wrongPin = "Il pin inserito non \xE8 corretto!";
    const struct {
        const char* what; const char* profile; const char* lines; std::vector<std::string> pins;
        std::vector<const char*> files; std::vector<int> answers; std::vector<std::string> boxes; bool mailed;
    } rows[] = {
        {"no reader", "no-reader", "", {"12345678"}, {"A.txt"}, {}, {noReader, CANCELLED}, false},
        {"no card: Retry, then Cancel", "no-card", "", {"12345678"}, {"A.txt"}, {IDRETRY, IDCANCEL},
         {insertCard, insertCard, CANCELLED}, false},
        {"another connection error", "cie140", "fail = CIE_Connect", {"12345678"}, {"A.txt"}, {},
         {"Errore sulla connessione con il lettore di smartcard", CANCELLED}, false},
        {"a wrong PIN, then the right one", "cie140", "", {"00000000", "12345678"}, {"A.txt", "B.txt"}, {},
         {"Errore durante le operazioni di firma", wrongPin}, true},
        {"three wrong PINs", "cie140", "", {"00000000"}, {"A.txt"}, {},
         {"Errore durante le operazioni di firma", wrongPin, "Errore durante le operazioni di firma", wrongPin,
          "Errore durante le operazioni di firma", wrongPin, CANCELLED}, false},
        // The card takes another PIN from its third connection (the second
        // file) on: the prompt asks again, and three refusals end the run.
        {"a wrong PIN on a later file", "cie140", "pin_changes_after = 2 87654321", {"12345678", "87654321"},
         {"A.txt", "B.txt"}, {}, {"Errore durante le operazioni di firma", wrongPin}, true},
        {"three wrong PINs on a later file", "cie140", "pin_changes_after = 2 87654321", {"12345678", "11111111"},
         {"A.txt", "B.txt"}, {},
         {"Errore durante le operazioni di firma", wrongPin, "Errore durante le operazioni di firma", wrongPin,
          "Errore durante le operazioni di firma", wrongPin, CANCELLED}, false},
        {"the third of five files is missing", "cie140", "", {"12345678"},
         {"A.txt", "B.txt", "manca.txt", "D.pdf", "E.odt"}, {}, {CANCELLED}, false},
        {"a name already signed keeps it", "cie140", "", {"12345678"}, {"VECCHIO.P7M"}, {}, {}, true},
    };
    int mails = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        card_.insertVariant(row.profile, row.lines);
        boxes_.clear();
        for (int answer : row.answers) boxes_.answerNextWith(answer);
        PinAnswerer pin(row.pins);
        AttachmentSet set;
        for (const char* name : row.files) set.files.push_back(source(name));
        SendWorkflow workflow;
        {
            SigningRun run(set, workflow);
            ASSERT_EQ(run.prepare("", ""), "");
            EXPECT_EQ(run.execute(), row.mailed ? RUN_DONE : RUN_ENDED);
            if (row.files.size() == 5) {  // two signed copies before the failure, gone with the run
                EXPECT_EQ(set.signedFiles, (std::vector<std::string>(run.signedCopies().begin(),
                                                                     run.signedCopies().begin() + 2)));
            }
        }
        EXPECT_EQ(set.files.size(), row.files.size()) << "the form's files stay the form's";
        EXPECT_EQ(set.runPending, 0);
        EXPECT_EQ(pinSlot().text[0] + pinSlot().length, 0) << "the PIN is wiped";
        std::vector<Box> expected;
        for (const std::string& text : row.boxes) expected.push_back({nullptr, text, "Quillet", MB_OK});
        if (!row.answers.empty()) expected[0].style = expected[1].style = MB_RETRYCANCEL;
        for (Box& box : expected) {
            if (box.text.rfind("Errore durante", 0) == 0) box = {GetDesktopWindow(), box.text, "Errore", MB_ICONERROR | MB_OK};
        }
        std::vector<Box> shown = boxes_.boxes();
        for (Box& box : shown) {
            if (box.caption == "Quillet") box.owner = nullptr;  // the active window, whichever it is
        }
        EXPECT_EQ(shown, expected);
        if (std::string(row.lines).rfind("pin_changes_after", 0) == 0) {
            EXPECT_EQ(pin.driven(), row.mailed ? 2 : 3) << "asked again for the later file";
        }
        mails += row.mailed;
        EXPECT_EQ(static_cast<int>(sentAttachments().size()), mails);
        EXPECT_TRUE(runLeftovers().empty());
    }
    EXPECT_EQ(sentAttachments().back(), std::vector<std::string>{"VECCHIO.P7M"});
}

// The message text's file cannot be written: the run says so and goes on,
// then ends at that file; with only a text, the text alone is signed and sent.
TEST_F(SigningProgram, TheMessageTextIsTheFirstFileOfTheRun) {
    card_.insert("cie140");
    PinAnswerer pin("12345678");
    AttachmentSet set;
    set.files.push_back(source("A.txt"));
    SendWorkflow workflow;
    std::string textFile;
    {
        SigningRun run(set, workflow);
        ASSERT_EQ(run.prepare("Buongiorno", ""), "");
        textFile = run.sources()[0];
        CreateDirectoryA(textFile.c_str(), nullptr);  // in the way of the file
        EXPECT_EQ(run.execute(), RUN_ENDED);
        RemoveDirectoryA(textFile.c_str());
    }
    std::vector<Box> shown = boxes_.boxes();
    for (Box& box : shown) box.owner = nullptr;
    const std::vector<Box> expected = {{nullptr, "errore sull' apertura del file temporaneo\n " + textFile, "Quillet", MB_OK},
                                       {nullptr, CANCELLED, "Quillet", MB_OK}};
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(sentAttachments().empty());

    boxes_.clear();
    set.files.clear();  // the text alone
    {
        SigningRun run(set, workflow);
        ASSERT_EQ(run.prepare("Buongiorno", ""), "");
        EXPECT_EQ(run.execute(), RUN_DONE);
    }
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(sentAttachments(), (std::vector<std::vector<std::string>>{{"testoMail.txt.p7m"}}));
    EXPECT_TRUE(runLeftovers().empty());
}

// What the run cannot hold is refused before anything is signed or sent, and
// the refused run leaves nothing.
TEST_F(SigningProgram, RefusesTextsAndPathsTooLongBeforeTheRun) {
    SendWorkflow workflow;
    AttachmentSet set;
    set.files.push_back(source("A.txt"));
    auto refusal = [&](const std::string& text, const std::string& replyTo) {
        SigningRun run(set, workflow);
        return run.prepare(text, replyTo);
    };
    EXPECT_EQ(refusal(std::string(32767, 't'), std::string(255, 'r')), "");
    EXPECT_NE(refusal(std::string(32768, 't'), ""), "");
    EXPECT_NE(refusal("", std::string(256, 'r')), "");
    std::string folder;
    {
        SigningRun run(set, workflow);
        ASSERT_EQ(run.prepare("", ""), "");
        folder = run.folder();
    }
    // The copy: the run's folder, "\1\", the name and ".p7m".
    const std::string longName = std::string(255 - folder.size() - 3 - 4, 'n');
    set.files.push_back("C:\\" + longName);
    EXPECT_EQ(refusal("", ""), "");
    set.files.push_back("C:\\" + longName + "x");
    EXPECT_NE(refusal("", "").find(longName + "x"), std::string::npos);
    EXPECT_TRUE(runLeftovers().empty());
    EXPECT_EQ(set.runPending, 0);
}

}  // namespace
