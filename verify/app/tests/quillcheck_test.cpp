// The verification program as a person uses it: the window on SignedFiles of
// the test PKI and of OpenSSL, its commands, the certificate dialog, the
// content opened through the desktop, and quillcheck.exe's start-up.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "about_dlg.h"
#include "ansi_text.h"
#include "der_builder.h"
#include "file_tools.h"
#include "message_box_recorder.h"
#include "program_dialog.h"
#include "revocation_check.h"
#include "quillcheck_resource.h"
#include "recorder_association.h"
#include "signer_details.h"
#include "signers_dlg.h"
#include "temp_paths.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"
#include "trusted_list_source.h"
#include "ui_driver.h"
#include "verifier_test_data.h"
#include "viewer_rules.h"

namespace {

using Box = MessageBoxRecorder::Box;
const char CAPTION[] = "Quillcheck";
const char SELECT_FOR_CERTIFICATE[] = "Selezionare un firmatario dalla lista \r\n\n  prima di visualizzare il certificato.";
const char SELECT_FOR_REVOCATION[] = "Selezionare un firmatario dalla lista \r\n\n  prima di verificarne la revoca in CRL.";
const char RSSMRA[] = "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw=";
const char VRDGPP[] = "VRDGPP65T10L736K/7420050000000003.zY9xW8vU7tS6rQ5pO4nM3lK2jI=";


std::string peerFile(const char* name) { return std::string(QUILL_PEER_FILES_DIR) + "\\" + name; }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Row {
    std::string name, state;
    int icon;
    bool operator==(const Row& o) const { return name == o.name && state == o.state && icon == o.icon; }
    friend std::ostream& operator<<(std::ostream& out, const Row& r) {
        return out << "{" << r.name << " | " << r.state << " | " << r.icon << "}";
    }
};

std::vector<Row> rowsOf(HWND list) {
    std::vector<Row> rows;
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        char name[512] = "", state[512] = "";
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        ListView_GetItem(list, &item);
        ListView_GetItemText(list, i, 0, name, sizeof name);
        ListView_GetItemText(list, i, 1, state, sizeof state);
        rows.push_back({name, state, item.iImage});
    }
    return rows;
}

void select(HWND list, int row) {
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(list, row);
}

class VerifierWindow : public testing::Test {
protected:
    void SetUp() override {
        setProgramName(CAPTION);
        folder_ = temporaryFolder() + "\\quillcheck-test";
        CreateDirectoryA(folder_.c_str(), nullptr);
    }

    // A SignedFile of the test PKI's `card`, made as the signing engine makes it.
    std::string engineFile(const char* card) {
        const std::string path = folder_ + "\\" + card + ".txt.p7m";
        writeWholeFile(path, buildSignedFile(loadTestCard(card), Bytes(40, 'v'), {}));
        return path;
    }

    // A SignedFile of card144-2048 that card144 counter-signed (and cie142
    // that), with a counter-signature of `expired` over the content instead
    // of the signature.
    std::string counterSignedFile() {
        using namespace der_builder;
        const TestCard citizen = loadTestCard("card144-2048"), official = loadTestCard("card144"),
                       chief = loadTestCard("cie142"), expired = loadTestCard("expired");
        const Bytes data(40, 'k');
        Signer parent = signerOf(citizen, data);
        Signer countersigned = counterSignerOf(official, parent);
        countersigned.unsignedAttributes = counterSignatureAttribute({counterSignerOf(chief, countersigned)});
        parent.unsignedAttributes = counterSignatureAttribute({countersigned, counterSignerOf(expired, parent, true, &data)});
        const std::string path = folder_ + "\\controfirmato.txt.p7m";
        writeWholeFile(path, signedData(dataContent(data),
                                        {citizen.certificate, official.certificate, chief.certificate, expired.certificate},
                                        {signerInfo(parent)}));
        return path;
    }

    // A SignedFile of the card `expired-2023` (valid 2020 to 2023) with a
    // time-stamp of 2021 from the accepted authority's TSA.
    std::string timestampedFile() {
        using namespace der_builder;
        const TestCard card = loadTestCard("expired-2023");
        const Bytes data(40, 'm');
        Signer signer = signerOf(card, data);
        signer.unsignedAttributes = timestampAttribute(timestampToken(signer, {}));
        const std::string path = folder_ + "\\marcato.txt.p7m";
        writeWholeFile(path, signedData(dataContent(data), {card.certificate}, {signerInfo(signer)}));
        return path;
    }

    // Opens the window on `signedPath` as the program does and hands it to
    // `drive` on a helper thread; returns when the window has closed.
    INT_PTR open(const std::string& signedPath, const std::function<void(HWND)>& drive) {
        record_ = std::make_unique<SignedFileRecord>();
        record_->signedPath = signedPath;
        EXPECT_TRUE(prepareWorkFolder(record_.get()));
        CSignersDlg dialog(&tools_, record_.get(), &authorities_.table());
        ui::WindowWatcher watcher(CAPTION, [&](HWND window) {
            ui::waitFor("the summary line to be filled",
                        [&] { return ui::text(GetDlgItem(window, IDC_SUMMARY)) != "Static"; });
            drive(window);
        });
        return dialog.runModal(nullptr);
    }

    std::string dumpPath() const { return dumpPathIn(record_->workFolder); }

    FileTools tools_;
    TestPkiAuthorities authorities_;
    MessageBoxRecorder boxes_;
    std::unique_ptr<SignedFileRecord> record_;
    std::string folder_;
};

// Every state of the list, from files of the signing engine and of OpenSSL.
TEST_F(VerifierWindow, ShowsEachStateOfItsSigners) {
    const std::string one = "File non Corrotto; Il file risulta firmato 1 volta";
    const std::string three = "File non Corrotto; Il file risulta firmato 3 volte";
    const struct {
        std::string file, summary;
        std::vector<Row> rows;
        const char* screenshot;
    } cases[] = {
        {peerFile("smime-attrs-sha1.p7m"), one, {{"Anna Neri", "30/11/2049", 0}}, "list-one-signer"},
        {peerFile("cms-three-attrs-second-broken.p7m"), three,
         {{RSSMRA, "30/11/2049", 0}, {VRDGPP, "Firma non valida", 1}, {"Anna Neri", "30/11/2049", 0}}, "list-invalid"},
        {engineFile("expired"), one, {{"Carlo Scaduti", "Scaduto", 2}}, "list-expired"},
        {engineFile("outsider-card"), one, {{"Ugo Estranei", "30/11/2049;CA non ammessa", 2}}, "list-ca-not-accepted"},
        // Counter-signatures under their parent: a nested one, and a red one.
        {counterSignedFile(), "File non Corrotto; Il file risulta firmato 4 volte",
         {{"Paolo Gialli", "30/11/2049", 0}, {"\xBB Anna Neri", "30/11/2049;Controfirma", 0},
          {std::string("\xBB \xBB ") + VRDGPP, "30/11/2049;Controfirma", 0},
          {"\xBB Carlo Scaduti", "Firma non valida;Controfirma", 1}},
         "list-counter-signatures"},
        // An expired card with a time-stamp of its valid years: green, with the stamp's time.
        {timestampedFile(), one, {{"Ada Passati", "01/01/2023;Marca temporale " + localTimeText(JUNE_2021_NOON), 0}},
         "list-timestamp"},
        // Today's algorithms: a DSA signer that cannot be checked, neither
        // valid nor broken, beside an ECDSA one and a broken RSA one.
        {peerFile("mixed-dsa-ec-rsa-broken.p7m"), three,
         {{"Dario Antichi", "Firma non verificabile (DSA, SHA-256);CA non ammessa", 2},
          {"Elisa Curvi (P-256)", "30/11/2049;CA non ammessa", 2}, {"Anna Neri", "Firma non valida", 1}},
         "list-not-verifiable"},
    };
    for (const auto& c : cases) {
        std::string summary, path;
        std::vector<Row> rows;
        bool buttons = false;
        open(c.file, [&](HWND window) {
            summary = ui::text(GetDlgItem(window, IDC_SUMMARY));
            path = ui::text(GetDlgItem(window, IDC_SIGNED_PATH));
            rows = rowsOf(GetDlgItem(window, IDC_SIGNERS));
            buttons = IsWindowEnabled(GetDlgItem(window, IDC_VIEW_FILE)) &&
                      IsWindowEnabled(GetDlgItem(window, IDC_VIEW_SOURCE)) &&
                      IsWindowEnabled(GetDlgItem(window, IDC_VIEW_CERTIFICATE));
            EXPECT_TRUE(ui::saveScreenshot(window, c.screenshot));
            ui::click(window, IDOK);
        });
        EXPECT_EQ(summary, c.summary) << c.file;
        EXPECT_EQ(path, c.file);
        EXPECT_EQ(rows, c.rows) << c.file;
        EXPECT_TRUE(buttons) << c.file;
    }
    EXPECT_TRUE(boxes_.boxes().empty());
}

// A file that does not load: the summary says why (a file none of whose
// signers can be checked names the algorithm instead of calling the file
// corrupt), the list stays empty, the three viewing buttons are off, and the
// revocation button asks for a signer.
TEST_F(VerifierWindow, AFileThatDoesNotLoadDisablesTheViewsAndAsksForASigner) {
    const struct {
        const char *file, *summary, *screenshot;
    } cases[] = {
        {"random.p7m", "File Corrotto o Firma non valida", "list-corrupt"},
        {"dsa-alone.p7m", "Firma non verificabile: algoritmo non supportato (DSA, SHA-256)", "list-not-verifiable-only"},
    };
    for (const auto& c : cases) {
        boxes_.clear();
        HWND shown = nullptr;
        std::string summary;
        size_t rows = 99;
        bool viewsOff = false, revocationOn = false;
        open(peerFile(c.file), [&](HWND window) {
            shown = window;
            summary = ui::text(GetDlgItem(window, IDC_SUMMARY));
            rows = rowsOf(GetDlgItem(window, IDC_SIGNERS)).size();
            viewsOff = !IsWindowEnabled(GetDlgItem(window, IDC_VIEW_FILE)) &&
                       !IsWindowEnabled(GetDlgItem(window, IDC_VIEW_SOURCE)) &&
                       !IsWindowEnabled(GetDlgItem(window, IDC_VIEW_CERTIFICATE));
            revocationOn = IsWindowEnabled(GetDlgItem(window, IDC_CHECK_REVOCATION)) != FALSE;
            EXPECT_TRUE(ui::saveScreenshot(window, c.screenshot));
            ui::click(window, IDC_CHECK_REVOCATION);
            ui::waitFor("the box asking for a signer", [&] { return !boxes_.boxes().empty(); });
            ui::click(window, IDOK);
        });
        EXPECT_EQ(summary, c.summary);
        EXPECT_EQ(rows, 0u) << c.file;
        EXPECT_TRUE(viewsOff) << c.file;
        EXPECT_TRUE(revocationOn) << c.file;
        ASSERT_EQ(boxes_.boxes().size(), 1u) << c.file;
        EXPECT_EQ(boxes_.boxes()[0], (Box{shown, SELECT_FOR_REVOCATION, "Attezione", MB_ICONEXCLAMATION}));
    }
}

// The certificate dialog of an elliptic-curve signer names its algorithms.
TEST_F(VerifierWindow, CertificateDialogNamesTheEllipticCurveAlgorithms) {
    std::map<std::string, std::string> fields;
    ui::WindowWatcher certificateDialog("Certificato", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, 2001);
        ui::waitFor("the certificate's fields", [&] { return ListView_GetItemCount(list) > 0; });
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            char field[256] = "", value[512] = "";
            ListView_GetItemText(list, i, 0, field, sizeof field);
            ListView_GetItemText(list, i, 1, value, sizeof value);
            fields[field] = value;
        }
        EXPECT_TRUE(ui::saveScreenshot(dialog, "certificate-dialog-ecdsa"));
        ui::click(dialog, IDOK);
    });
    open(peerFile("ecdsa-p384-sha384.p7m"), [&](HWND window) {
        select(GetDlgItem(window, IDC_SIGNERS), 0);
        ui::click(window, IDC_VIEW_CERTIFICATE);
        ui::waitFor("the certificate dialog to be shown and closed", [&] { return certificateDialog.driven() == 1; });
        ui::click(window, IDOK);
    });
    EXPECT_EQ(fields["Algoritmo di firma"], "ECDSA SHA256");
    EXPECT_EQ(fields["Chiave pubblica"], "X962 ECC PUBLIC KEY");
    EXPECT_EQ(fields["Soggetto"], "Elisa Curvi (P-384)");
}

// The certificate command needs a selection, shows the certificate dialog,
// and leaves no selection behind; so does the information box its menu item.
TEST_F(VerifierWindow, CertificateOfTheSelectedSignerThenTheSelectionIsGone) {
    std::atomic<int> certificates{0};
    std::string title;
    int fields = 0;
    ui::WindowWatcher certificateDialog("Certificato", [&](HWND dialog) {
        ui::waitFor("the certificate's fields", [&] { return ListView_GetItemCount(GetDlgItem(dialog, 2001)) > 0; });
        title = ui::text(GetDlgItem(dialog, 2003));
        fields = ListView_GetItemCount(GetDlgItem(dialog, 2001));
        EXPECT_TRUE(ui::saveScreenshot(dialog, "certificate-dialog"));
        ++certificates;
        ui::click(dialog, IDOK);
    });
    std::string listLine;
    ui::WindowWatcher information("Informazioni su Quillcheck", [&](HWND box) {
        listLine = ui::text(GetDlgItem(box, IDC_ABOUT_TRUSTED_LIST));
        EXPECT_TRUE(ui::saveScreenshot(box, "quillcheck-information-box"));
        ui::click(box, IDOK);
    });
    int selectedAfter = 0, markAfter = 0;
    HWND shown = nullptr;
    open(peerFile("smime-attrs-sha1.p7m"), [&](HWND window) {
        shown = window;
        HWND list = GetDlgItem(window, IDC_SIGNERS);
        ui::click(window, IDC_VIEW_CERTIFICATE);  // nothing selected
        ui::waitFor("the box asking for a signer", [&] { return boxes_.boxes().size() == 1; });
        select(list, 0);
        ui::click(window, IDC_VIEW_CERTIFICATE);
        ui::waitFor("the certificate dialog to be shown and closed", [&] { return certificates == 1; });
        ui::waitFor("the selection to be cleared",
                    [&] { return ListView_GetNextItem(list, -1, LVNI_SELECTED) < 0; });
        selectedAfter = ListView_GetNextItem(list, -1, LVNI_SELECTED);
        markAfter = ListView_GetSelectionMark(list);
        ui::click(window, IDC_VIEW_CERTIFICATE);  // again, without a new selection
        ui::waitFor("the second box asking for a signer", [&] { return boxes_.boxes().size() == 2; });
        PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        ui::waitFor("the information box to be shown and closed", [&] { return information.driven() == 1; });
        ui::click(window, IDOK);
    });
    // The test program has no list laid beside it: the box says so.
    EXPECT_EQ(listLine.rfind("Lista di fiducia: ", 0), 0u) << listLine;
    EXPECT_EQ(certificates, 1);
    EXPECT_EQ(title, "Certificato di Anna Neri\r\nemesso da Prima Certificazione CA");
    EXPECT_GT(fields, 12) << "the general fields and the extensions";
    EXPECT_EQ(selectedAfter, -1);
    EXPECT_EQ(markAfter, -1);
    const Box ask{shown, SELECT_FOR_CERTIFICATE, "Attezione", MB_ICONEXCLAMATION};
    EXPECT_EQ(boxes_.boxes(), (std::vector<Box>{ask, ask}));
}

// card144's certificate with a subject of a common name and an e-mail address
// `length` characters long.
Bytes certificateWithMailOf(size_t length) {
    using namespace der_builder;
    std::string mail(length - 11, 'm');
    mail += "@example.it";
    const std::string name = "Posta Lunga";
    return withSubject(loadTestCard("card144").certificate,
                       tlv(0x30, cat({tlv(0x31, tlv(0x30, cat({tlv(0x06, hex("550403")), tlv(0x0C, Bytes(name.begin(), name.end()))}))),
                                      tlv(0x31, tlv(0x30, cat({tlv(0x06, hex("2A864886F70D010901")),
                                                               tlv(0x16, Bytes(mail.begin(), mail.end()))})))})));
}

// The certificate dialog shows an e-mail address of any length whole: the
// buffer it hands the library is sized from the subject.
TEST_F(VerifierWindow, CertificateDialogShowsAnEMailAddressOfAnyLength) {
    for (size_t length : {20u, 600u, 5000u}) {
        SignedFileRecord record;
        record.signerCount = 1;
        record.signerCerts[0] = certificateWithMailOf(length);
        std::string shown;
        ui::WindowWatcher dialog("Certificato", [&](HWND window) {
            HWND list = GetDlgItem(window, 2001);
            ui::waitFor("the certificate's fields", [&] { return ListView_GetItemCount(list) > 0; });
            for (int i = 0; i < ListView_GetItemCount(list); ++i) {
                std::vector<char> field(64), value(8192);
                ListView_GetItemText(list, i, 0, field.data(), static_cast<int>(field.size()));
                ListView_GetItemText(list, i, 1, value.data(), static_cast<int>(value.size()));
                if (std::string(field.data()) == "Indirizzo e-mail") shown = value.data();
            }
            ui::click(window, IDOK);
        });
        EXPECT_EQ(tools_.showCertificate(0, record), 0);
        EXPECT_EQ(shown.size(), length);
        EXPECT_EQ(shown.substr(shown.size() < 11 ? 0 : shown.size() - 11), "@example.it") << length;
    }
}

// "Esci" deletes the content and the dump; the close box leaves them. Each
// window has a place of its own: one on another file of the same name, from
// another folder, neither shows nor deletes the first one's content.
TEST_F(VerifierWindow, EachWindowKeepsItsOwnContentAndEsciDeletesOnlyThat) {
    const std::string file = engineFile("cie140");
    const std::string sameName = folder_ + "\\altra\\cie140.txt.p7m";
    CreateDirectoryA((folder_ + "\\altra").c_str(), nullptr);
    writeWholeFile(sameName, buildSignedFile(loadTestCard("cie141"), Bytes(40, 'w'), {}));
    const uint8_t bytes[] = {1, 2, 3};
    open(file, [&](HWND window) {
        tools_.writeHexDump(dumpPath(), bytes, sizeof bytes);
        ui::pressCloseBox(window);
    });
    const std::string firstContent = record_->contentPath, firstDump = dumpPath();
    EXPECT_EQ(readWholeFile(firstContent), Bytes(40, 'v'));
    EXPECT_TRUE(exists(firstDump));
    open(sameName, [&](HWND window) {
        tools_.writeHexDump(dumpPath(), bytes, sizeof bytes);
        ui::click(window, IDOK);
    });
    EXPECT_NE(record_->contentPath, firstContent);
    EXPECT_FALSE(exists(record_->contentPath));
    EXPECT_FALSE(exists(dumpPath()));
    EXPECT_FALSE(exists(record_->workFolder)) << "the window's folder goes with what it held";
    EXPECT_EQ(readWholeFile(firstContent), Bytes(40, 'v')) << "the other window's content";
    EXPECT_TRUE(exists(firstDump));
}

// A content that opens the way its SignedFile would: it carries the
// SignedFile's zone mark (under Wine the stream is a file of its own beside
// it), and "Esci" takes the mark away with the content.
TEST_F(VerifierWindow, TheContentCarriesTheSignedFilesZoneMark) {
    const std::string file = engineFile("cie140");
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://posta.example/allegato\r\n";
    writeWholeFile(file + ":Zone.Identifier", Bytes(mark.begin(), mark.end()));
    Bytes carried;
    open(file, [&](HWND window) {
        const std::string carriedMark = record_->contentPath + ":Zone.Identifier";
        if (exists(carriedMark)) carried = readWholeFile(carriedMark);
        ui::click(window, IDOK);
    });
    EXPECT_EQ(std::string(carried.begin(), carried.end()), mark);
    EXPECT_FALSE(exists(record_->contentPath + ":Zone.Identifier"));
    EXPECT_FALSE(exists(record_->workFolder));
    DeleteFileA((file + ":Zone.Identifier").c_str());
}

// The source view: the SignedFile as stored, dumped, in the system's text
// editor, even with a program of the editor's name beside the SignedFile in
// the current folder, as when the desktop opens a SignedFile.
TEST_F(VerifierWindow, SourceViewOpensTheDumpInTheSystemsTextEditor) {
    const std::string file = engineFile("card144");
    const std::string planted = folder_ + "\\notepad.exe", recorded = folder_ + "\\planted-ran.txt";
    CopyFileA(QUILL_RECORDER_EXE, planted.c_str(), FALSE);
    DeleteFileA(recorded.c_str());
    SetEnvironmentVariableA("QUILL_RECORDED", recorded.c_str());
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    SetCurrentDirectoryA(folder_.c_str());
    HWND editor = nullptr;
    std::string dumped;
    open(file, [&](HWND window) {
        ui::click(window, IDC_VIEW_SOURCE);
        ui::waitFor("the text editor on the dump, or the planted program", [&] {
            editor = nullptr;
            for (HWND w = GetTopWindow(nullptr); w && !editor; w = GetWindow(w, GW_HWNDNEXT)) {
                char caption[256] = "";
                GetWindowTextA(w, caption, sizeof caption);
                if (IsWindowVisible(w) && std::strstr(caption, "file_hex") != nullptr) editor = w;
            }
            return editor != nullptr || exists(recorded);
        }, 30000);
        if (editor) {
            const Bytes dump = readWholeFile(dumpPath());
            dumped.assign(dump.begin(), dump.end());
            EXPECT_TRUE(ui::saveScreenshot(editor, "source-view"));
            PostMessageA(editor, WM_CLOSE, 0, 0);
        }
        ui::click(window, IDOK);
    });
    SetCurrentDirectoryA(before);
    SetEnvironmentVariableA("QUILL_RECORDED", nullptr);
    EXPECT_FALSE(exists(recorded)) << "the program beside the SignedFile ran";
    ASSERT_NE(editor, nullptr) << "no text editor on the dump";
    const Bytes stored = readWholeFile(file);
    EXPECT_EQ(dumped, hexDump(stored.data(), stored.size()));
    EXPECT_TRUE(boxes_.boxes().empty());
}

// The dump file is written anew each time; a file that cannot be read is said.
TEST_F(VerifierWindow, DumpIsRewrittenAndAFileThatCannotBeReadIsSaid) {
    const std::string dump = folder_ + "\\dump.txt";
    const Bytes longer(40, 'a'), shorter(20, 'b');
    tools_.writeHexDump(dump, longer.data(), longer.size());
    tools_.writeHexDump(dump, shorter.data(), shorter.size());
    const Bytes written = readWholeFile(dump);
    EXPECT_EQ(std::string(written.begin(), written.end()), hexDump(shorter.data(), shorter.size()));

    std::vector<uint8_t> read = {9};
    EXPECT_EQ(tools_.readFileBytes(folder_ + "\\manca.p7m", &read), -1);
    EXPECT_TRUE(read.empty());
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, "Errore nell'apertura del file");
    EXPECT_EQ(tools_.readFileBytes(peerFile("random.p7m"), &read), 0);
    EXPECT_EQ(read, readWholeFile(peerFile("random.p7m")));
}

// The content opens with the application associated with its type (a
// recorder here); without one, and for a content that would run when opened,
// the desktop's chooser is started instead: it starts without a message (Wine
// always runs its own RUNDLL32.EXE, whose chooser does nothing), and the
// program is never run.
class ContentOpening : public VerifierWindow {
protected:
    void SetUp() override {
        VerifierWindow::SetUp();
        recorded_ = folder_ + "\\recorded.txt";
        DeleteFileA(recorded_.c_str());
        association_ = std::make_unique<RecorderAssociation>(".qtest", "Quill.TestFile", recorded_);
    }
    void TearDown() override { association_.reset(); }
    std::vector<std::string> recorded(size_t count) { return recordedLines(recorded_, count); }
    std::string content(const char* name) {
        const std::string path = folder_ + "\\" + name;
        std::ofstream(path) << "contenuto";
        return path;
    }
    std::string recorded_;
    std::unique_ptr<RecorderAssociation> association_;
};

TEST_F(ContentOpening, ThroughTheAssociationOrTheChooser) {
    const std::string associated = content("lettera.qtest");
    const std::string unknown = content("lettera.qnone");
    const std::string runnable = folder_ + "\\programma.exe";
    CopyFileA(QUILL_RECORDER_EXE, runnable.c_str(), FALSE);  // it would record itself if it ran
    EXPECT_EQ(tools_.openWithAssociation(associated), 0);
    EXPECT_EQ(recorded(1), (std::vector<std::string>{"\"" + associated + "\""}));
    EXPECT_EQ(tools_.openWithAssociation(unknown), 0);
    EXPECT_EQ(tools_.openWithAssociation(runnable), 0);
    Sleep(3000);  // time enough for the program to record itself, had it been run
    EXPECT_EQ(recorded(1), (std::vector<std::string>{"\"" + associated + "\""}));
    EXPECT_TRUE(boxes_.boxes().empty()) << "the chooser started";
}

// The revocation button on the selected signer, against the CRL servers
// (started by the test that runs this one with QUILL_CRL_SERVERS set): by
// HTTP for cie140, by LDAP for cie141; afterwards the selection is gone.
TEST_F(VerifierWindow, RevocationButtonAsksTheServers) {
    if (std::getenv("QUILL_CRL_SERVERS") == nullptr) GTEST_SKIP() << "needs scripts/crl-servers";
    for (const char* card : {"cie140", "cie141"}) {
        for (const char* address : {"http://127.0.0.1:8089/crl/ca140.crl",
                                    "ldap://127.0.0.1/cn=CRL141,ou=CA,o=Valdora,c=IT?certificaterevocationlist"}) {
            CrlUrl url;
            parseCrlUrl(address, &url);
            DeleteFileA(crlCachePath(url).c_str());  // the answer comes from the server
        }
        boxes_.clear();
        int selectedAfter = 0;
        HWND shown = nullptr;
        open(engineFile(card), [&](HWND window) {
            shown = window;
            HWND list = GetDlgItem(window, IDC_SIGNERS);
            select(list, 0);
            ui::click(window, IDC_CHECK_REVOCATION);
            ui::waitFor("the revocation report", [&] { return !boxes_.boxes().empty(); }, 60000);
            ui::waitFor("the selection to be cleared",
                        [&] { return ListView_GetNextItem(list, -1, LVNI_SELECTED) < 0; });
            selectedAfter = ListView_GetNextItem(list, -1, LVNI_SELECTED);
            ui::click(window, IDOK);
        });
        ASSERT_EQ(boxes_.boxes().size(), 1u) << card;
        // The test PKI's lists were issued on 1 January 2024 at midnight (the tests' clock is UTC).
        EXPECT_EQ(boxes_.boxes()[0], (Box{shown, "Il Certificato risulta essere VALIDO.\n(fonte: CRL, lista del 01/01/2024 00:00)",
                                          CAPTION, MB_OK}))
            << card;
        EXPECT_EQ(selectedAfter, -1);
    }
}

// quillcheck.exe started as the desktop starts it: the four ways start-up
// ends, each with its box and exit code 0, and the paths it accepts.
class QuillcheckStartUp : public testing::Test {
protected:
    // The windows' work folders in the temporary folder ("quillcheck-<pid>-<n>").
    static std::vector<std::string> workFolders() {
        std::vector<std::string> found;
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((temporaryFolder() + "\\quillcheck-*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return found;
        do {
            const std::string name = entry.cFileName;
            if (name.size() > 11 && name[11] >= '0' && name[11] <= '9') found.push_back(name);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
        std::sort(found.begin(), found.end());
        return found;
    }

    struct Shown {
        std::string caption, text, path;  // the box's, or the main window's path
        std::string folder;               // the folder window's source folder
        bool revocationChecked = false;   // and its revocation box
        DWORD exitCode = 99;
    };

    // The started programs end with the test program, also when a wait past
    // its deadline ends it at once: a window left open would hold CTest.
    static HANDLE programs() {
        static const HANDLE job = [] {
            HANDLE created = CreateJobObjectA(nullptr, nullptr);
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
            return created;
        }();
        return job;
    }

    // Starts quillcheck.exe on `arguments`, its standard error into `errors`
    // when given; false, with a failure, when it did not start.
    static bool start(const std::wstring& arguments, PROCESS_INFORMATION* process, HANDLE errors = nullptr) {
        std::wstring commandLine = L"\"" + wideText(QUILLCHECK_EXE) + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (errors != nullptr) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdError = errors;
        }
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, errors != nullptr, CREATE_SUSPENDED, nullptr,
                           nullptr, &startup, process)) {
            AssignProcessToJobObject(programs(), process->hProcess);
            ResumeThread(process->hThread);
            return true;
        }
        ADD_FAILURE() << "quillcheck.exe did not start: " << GetLastError();
        return false;
    }
    static bool start(const std::string& arguments, PROCESS_INFORMATION* process) {
        return start(wideText(arguments), process);
    }

    // The exit code of a started program, whose handles are then closed.
    static DWORD exitCodeOf(const PROCESS_INFORMATION& process) {
        DWORD exitCode = 99;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }

    // Runs the program on `arguments`; the first window it shows is read,
    // saved as `screenshot` and closed.
    static Shown run(const std::string& arguments, const char* screenshot) {
        PROCESS_INFORMATION process{};
        Shown shown;
        if (!start(arguments, &process)) return shown;
        HWND window = nullptr;
        ui::waitFor("the first window of quillcheck.exe", [&] {
            window = ui::visibleWindowOf(process.dwProcessId);
            return window != nullptr;
        }, 30000);
        if (window != nullptr) {
            // The main window fills its summary line; a message box has none.
            if (GetDlgItem(window, IDC_SUMMARY) != nullptr) {
                ui::waitFor("the summary line to be filled",
                            [&] { return ui::remoteText(GetDlgItem(window, IDC_SUMMARY)) != "Static"; });
            }
            char caption[256] = "";
            GetWindowTextA(window, caption, sizeof caption);
            shown.caption = caption;
            shown.text = ui::remoteText(GetDlgItem(window, 0xFFFF));
            shown.path = ui::remoteText(GetDlgItem(window, IDC_SIGNED_PATH));
            shown.folder = ui::remoteText(GetDlgItem(window, IDC_FOLDER_SOURCE));
            shown.revocationChecked =
                SendDlgItemMessageA(window, IDC_FOLDER_REVOCATION, BM_GETCHECK, 0, 0) == BST_CHECKED;
            ui::saveScreenshot(window, screenshot);
            // The folder window's IDOK starts a run: it is closed instead.
            const bool folderWindow = GetDlgItem(window, IDC_FOLDER_SOURCE) != nullptr;
            PostMessageA(window, WM_COMMAND, folderWindow ? IDCANCEL : IDOK, 0);
        }
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 9);
        shown.exitCode = exitCodeOf(process);
        return shown;
    }

    // Runs the program's scheduled form on `arguments` (its standard error
    // into `errors` when given): its exit code, or 99 when it showed a window
    // (which is closed) or did not end.
    static DWORD runScheduled(const std::wstring& arguments, HANDLE errors = nullptr) {
        PROCESS_INFORMATION process{};
        if (!start(arguments, &process, errors)) return 99;
        return endWithoutWindow(process, utf8Text(arguments));
    }
    static DWORD runScheduled(const std::string& arguments) { return runScheduled(wideText(arguments)); }

    // The exit code of a started program that must show no window (99 when
    // it showed one, which is closed, or did not end).
    static DWORD endWithoutWindow(const PROCESS_INFORMATION& process, const std::string& what) {
        bool window = false;
        for (int waited = 0; waited < 60000 && WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT; waited += 20) {
            if (HWND shown = ui::visibleWindowOf(process.dwProcessId)) {
                window = true;
                PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
            }
        }
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 98);
        const DWORD exitCode = exitCodeOf(process);
        EXPECT_FALSE(window) << what;
        return window ? 99 : exitCode;
    }

    // The scheduled form with its standard error in a file: its exit code,
    // and in `line` the bytes it wrote there.
    static DWORD runScheduledIntoFile(const std::wstring& arguments, const std::string& file, std::string* line) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        HANDLE errors = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
        if (errors == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "no file " << file;
            return 99;
        }
        const DWORD exitCode = runScheduled(arguments, errors);
        CloseHandle(errors);
        const Bytes written = readWholeFile(file);
        line->assign(written.begin(), written.end());
        return exitCode;
    }

    // The first window a started program shows; null, with a failure, when none comes.
    static HWND firstWindowOf(const PROCESS_INFORMATION& process) {
        HWND window = nullptr;
        ui::waitFor("the first window of quillcheck.exe", [&] {
            window = ui::visibleWindowOf(process.dwProcessId);
            return window != nullptr;
        }, 30000);
        return window;
    }

    // Whether one of the window's controls, in another process, shows `text`.
    struct TextSearch {
        std::string text;
        bool found;
    };
    static BOOL CALLBACK findText(HWND child, LPARAM data) {
        auto* search = reinterpret_cast<TextSearch*>(data);
        search->found = ui::remoteText(child) == search->text;
        return !search->found;
    }
    static bool showsText(HWND window, const std::string& text) {
        TextSearch search{text, false};
        EnumChildWindows(window, &findText, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    void SetUp() override {
        folder_ = temporaryFolder() + "\\quillcheck start";
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA((folder_ + "\\Cartella con nome lungo").c_str(), nullptr);
        signed_ = folder_ + "\\Cartella con nome lungo\\LETTERA FIRMATA.P7M";
        writeWholeFile(signed_, buildSignedFile(loadTestCard("cie140"), Bytes(30, 's'), {}));
    }
    std::string folder_, signed_;
};

TEST_F(QuillcheckStartUp, EndsWithAMessageOrShowsTheFileInLongForm) {
    const Shown none = run("", "start-without-file");
    EXPECT_EQ(none.caption, "Attenzione");
    EXPECT_EQ(none.text, "L'applicazione \xE8 stata avviata senza selezionare alcun file p7m e verr\xE0 terminata");
    EXPECT_EQ(none.exitCode, 0u);

    const Shown missing = run("\"" + folder_ + "\\manca\\lettera.p7m\"", "start-missing-folder");
    EXPECT_EQ(missing.caption, CAPTION);
    EXPECT_EQ(missing.text, "Attenzione! Si \xE8 verificato un errore nella scrittura sul disco\r\n\n"
                            " L'applicazione verr\xE0 chiusa");
    EXPECT_EQ(missing.exitCode, 0u);

    // The temporary directory missing: the same message, before the file is looked at.
    char tmp[MAX_PATH] = "", temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    SetEnvironmentVariableA("TMP", (folder_ + "\\manca").c_str());
    SetEnvironmentVariableA("TEMP", (folder_ + "\\manca").c_str());
    const Shown noTemporary = run("\"" + signed_ + "\"", "start-missing-temporary-folder");
    SetEnvironmentVariableA("TMP", tmp);
    SetEnvironmentVariableA("TEMP", temp);
    EXPECT_EQ(noTemporary.caption, CAPTION);
    EXPECT_EQ(noTemporary.text, missing.text);
    EXPECT_EQ(noTemporary.exitCode, 0u);

    const std::string text = folder_ + "\\a.txt";
    std::ofstream(text) << "testo";
    const std::vector<std::string> workFoldersBefore = workFolders();
    for (int i = 0; i < 3; ++i) {
        const Shown notSigned = run(text, "start-not-p7m");
        EXPECT_EQ(notSigned.caption, "Attenzione!");
        EXPECT_EQ(notSigned.text, "Il file selezionato non \xE8 un p7m e l'applicazione verr\xE0 chiusa");
        EXPECT_EQ(notSigned.exitCode, 0u);
    }
    EXPECT_EQ(workFolders(), workFoldersBefore) << "a file that is no p7m leaves no work folder behind";

    const Shown quoted = run("\"" + signed_ + "\"", "start-quoted-path");
    EXPECT_EQ(quoted.caption, CAPTION);
    EXPECT_EQ(quoted.path, signed_);
    EXPECT_EQ(quoted.exitCode, 0u);
    EXPECT_EQ(run(signed_, "start-unquoted-path").path, signed_) << "spaces and all, one path";

    char shortForm[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(signed_.c_str(), shortForm, sizeof shortForm), 0u);
    ASSERT_NE(std::string(shortForm), signed_);
    EXPECT_EQ(run(shortForm, "start-short-path").path, signed_);
}

// A folder, dropped on the program or named on its command line, opens the
// folder's window; the switches choose revocation, and the scheduled form
// opens no window and tells the result by its exit code.
TEST_F(QuillcheckStartUp, AFolderOpensItsWindowOrRunsScheduled) {
    folder_ = makeOwnTempFolder("quillcheck-start");
    const std::string folder = folder_ + "\\Posta del giorno";
    CreateDirectoryA(folder.c_str(), nullptr);
    writeWholeFile(folder + "\\LETTERA FIRMATA.P7M", readWholeFile(signed_));
    const Shown dropped = run("\"" + folder + "\"", "start-folder");
    EXPECT_EQ(dropped.caption, "Quillcheck - verifica di una cartella");
    EXPECT_EQ(dropped.folder, folder);
    EXPECT_FALSE(dropped.revocationChecked);
    EXPECT_EQ(dropped.exitCode, 0u);
    EXPECT_EQ(run(folder, "start-folder-unquoted").folder, folder) << "spaces and all, one path";
    const Shown revocation = run("/revoca \"" + folder + "\"", "start-folder-revocation");
    EXPECT_EQ(revocation.folder, folder);
    EXPECT_TRUE(revocation.revocationChecked);
    EXPECT_EQ(run(folder + "\\LETTERA FIRMATA.P7M", "start-file-beside-folders").path, folder + "\\LETTERA FIRMATA.P7M")
        << "a file keeps its own start-up";

    const std::string output = folder_ + "\\esiti";
    EXPECT_EQ(runScheduled("/rapporto /uscita \"" + output + "\" \"" + folder + "\""), 0u);
    EXPECT_NE(GetFileAttributesA((output + "\\rapporto.html").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((output + "\\contenuti\\LETTERA FIRMATA").c_str()), INVALID_FILE_ATTRIBUTES);

    std::ofstream(folder + "\\rotto.p7m") << "non firmato";
    const std::string second = folder_ + "\\esiti 2";
    EXPECT_EQ(runScheduled("/RAPPORTO /uscita \"" + second + "\" \"" + folder + "\""), 1u);
    EXPECT_NE(GetFileAttributesA((second + "\\rapporto.csv").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(runScheduled("/rapporto /uscita \"" + folder + "\\esiti\" \"" + folder + "\""), 2u);
    EXPECT_EQ(GetFileAttributesA((folder + "\\esiti").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(runScheduled("/rapporto \"" + folder_ + "\\manca\""), 2u);
    EXPECT_EQ(runScheduled("/rapporto /tutto \"" + folder + "\""), 2u);
}

// The scheduled form wherever its switch stands: never a window, and one
// line on the standard error, in UTF-8 when that is a file.
TEST_F(QuillcheckStartUp, AScheduledRunShowsNoWindowWhereverItsSwitchStands) {
    folder_ = makeOwnTempFolder("quillcheck-scheduled");
    const std::string folder = folder_ + "\\Posta del giorno";
    CreateDirectoryA(folder.c_str(), nullptr);
    writeWholeFile(folder + "\\LETTERA FIRMATA.P7M", readWholeFile(signed_));
    const std::string output = folder_ + "\\esiti";
    EXPECT_EQ(runScheduled("\"" + folder + "\" /rapporto /uscita \"" + output + "\""), 0u);
    EXPECT_NE(GetFileAttributesA((output + "\\rapporto.html").c_str()), INVALID_FILE_ATTRIBUTES);
    std::ofstream(folder + "\\rotto.p7m") << "non firmato";
    EXPECT_EQ(runScheduled("/uscita \"" + folder_ + "\\esiti 2\" \"" + folder + "\" /Rapporto"), 1u);
    EXPECT_NE(GetFileAttributesA((folder_ + "\\esiti 2\\rapporto.csv").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(runScheduled("/rapporto /sconosciuto x"), 2u);
    EXPECT_EQ(runScheduled("\"" + signed_ + "\" /rapporto"), 2u) << "a file is no folder to verify";
    EXPECT_EQ(runScheduled("/cartella /rapporto"), 2u) << "the scheduled form goes before the Start menu's";
    // A line whose whole text names a folder ("Posta " holding "rapporto")
    // is still scheduled when one of its arguments is /rapporto.
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wideText(folder_) + L"\\Posta ").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wideText(folder_) + L"\\Posta \\rapporto").c_str(), nullptr));
    EXPECT_EQ(runScheduled(folder_ + "\\Posta /rapporto"), 2u);

    std::string line;
    const std::wstring source = wideText(folder);
    EXPECT_EQ(runScheduledIntoFile(L"/rapporto /uscita \"" + source + L"\\esiti\" \"" + source + L"\"",
                                   folder_ + "\\errori.txt", &line), 2u);
    EXPECT_EQ(line, "quillcheck: La cartella dei risultati non pu\xC3\xB2 stare nella cartella da verificare.\r\n");
    // A report's path with a character of no code page comes out whole.
    const std::wstring omega = wideText(folder_) + L"\\esiti \x03A9";
    EXPECT_EQ(runScheduledIntoFile(L"\"" + source + L"\" /rapporto /uscita \"" + omega + L"\"", folder_ + "\\esito.txt",
                                   &line), 1u);
    EXPECT_EQ(line, "quillcheck: " + utf8Text(omega) + "\\rapporto.html\r\n");

    // On a console the line is written as UTF-16: a screen buffer of the test's console.
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              &inheritable, CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(runScheduled(L"\"" + source + L"\" /rapporto /uscita \"" + omega + L" 2\"", screen), 1u);
    std::wstring shown(400, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, &shown[0], static_cast<DWORD>(shown.size()), COORD{0, 0}, &read);
    CloseHandle(screen);
    FreeConsole();
    const std::wstring expected = L"quillcheck: " + omega + L" 2\\rapporto.html";
    EXPECT_EQ(shown.substr(0, expected.size()), expected) << utf8Text(shown);
}

// The Start menu's entry, quillcheck /cartella: the folder dialog first;
// cancelled, the program ends with nothing else; a folder picked there opens
// the folder's window on it. The switch stands alone.
// The program laid out as the installer lays it, with the 2019 Italian list
// and its signers in "fiducia": the list becomes the first cached copy, and
// the information box names it (past its next update) while a fresher one is
// looked for in the background.
TEST_F(QuillcheckStartUp, TheInstalledTrustedListIsCachedAndNamed) {
    const std::string installed = makeOwnTempFolder("quillcheck-installed");
    const std::string program = installed + "\\quillcheck.exe";
    const std::string built = std::string(QUILLCHECK_EXE).substr(0, std::string(QUILLCHECK_EXE).find_last_of("\\/") + 1);
    for (const char* name : {"quillcheck.exe", "vistrel.dll", "orvik.dll"}) {
        ASSERT_TRUE(CopyFileA((built + name).c_str(), (installed + "\\" + name).c_str(), FALSE)) << name;
    }
    CreateDirectoryA((installed + "\\fiducia").c_str(), nullptr);
    CreateDirectoryA((installed + "\\fiducia\\firmatari").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(testDataPath("trust/real/IT-2019-09-04.xml").c_str(),
                          (installed + "\\fiducia\\lista-IT.xml").c_str(), FALSE));
    for (const char* name : {"IT-1.der", "IT-2.der"}) {
        ASSERT_TRUE(CopyFileA(testDataPath(std::string("trust/real/") + name).c_str(),
                              (installed + "\\fiducia\\firmatari\\" + name).c_str(), FALSE));
    }
    const std::string cache = installedListSettings().cachePath;
    DeleteFileA(cache.c_str());

    const std::wstring commandLine = L"\"" + wideText(program) + L"\" \"" + wideText(signed_) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                               &process));
    AssignProcessToJobObject(programs(), process.hProcess);
    ResumeThread(process.hThread);
    const HWND window = firstWindowOf(process);
    std::string named;
    if (window != nullptr) {
        PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND box = nullptr;
        ui::waitFor("the information box", [&] {
            box = FindWindowA(nullptr, "Informazioni su Quillcheck");
            return box != nullptr && IsWindowVisible(box);
        }, 30000);
        if (box != nullptr) {
            // The list may still be being read when the box opens: it then says so, and shows it once read.
            ui::waitFor("the list to be named", [&] {
                named = ui::remoteText(GetDlgItem(box, IDC_ABOUT_TRUSTED_LIST));
                return named != "Lista di fiducia: in caricamento";
            }, 30000);
            ui::saveScreenshot(box, "quillcheck-information-box-list");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        ui::waitFor("the information box to close", [&] { return FindWindowA(nullptr, "Informazioni su Quillcheck") == nullptr; });
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 9);
    exitCodeOf(process);
    EXPECT_EQ(named,
              "Lista di fiducia: Agenzia per l'Italia Digitale (IT), numero 141\nemessa il 04/09/2019 08:00 UTC\n"
              "prossimo aggiornamento 27/02/2020 00:00 UTC (scaduta)");
    EXPECT_TRUE(readWholeFile(cache) == readWholeFile(installed + "\\fiducia\\lista-IT.xml"))
        << "the snapshot is the first cached copy";
    DeleteFileA(cache.c_str());
}

TEST_F(QuillcheckStartUp, TheStartMenuEntryAsksForTheFolderFirst) {
    folder_ = makeOwnTempFolder("quillcheck-pick");
    const std::string folder = folder_ + "\\Posta del giorno";
    CreateDirectoryA(folder.c_str(), nullptr);

    PROCESS_INFORMATION process{};
    ASSERT_TRUE(start("/cartella", &process));
    HWND dialog = firstWindowOf(process);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(showsText(dialog, "Cartella da verificare")) << "the folder dialog, with its title";
    EXPECT_EQ(GetDlgItem(dialog, IDC_FOLDER_SOURCE), nullptr) << "no folder window before a folder is picked";
    ui::saveScreenshot(dialog, "start-pick-folder");
    ui::click(dialog, IDCANCEL);
    ASSERT_TRUE(ui::waitUntilGone(dialog));
    EXPECT_EQ(endWithoutWindow(process, "the folder dialog cancelled"), 0u);

    ASSERT_TRUE(start("/CARTELLA", &process));
    dialog = firstWindowOf(process);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ui::pickFolder(dialog, folder));
    HWND window = nullptr;
    ui::waitFor("the folder's window", [&] {
        window = ui::visibleWindowOf(process.dwProcessId);
        return window != nullptr && GetDlgItem(window, IDC_FOLDER_SOURCE) != nullptr;
    }, 30000);
    std::string shown;
    if (window != nullptr) {
        shown = ui::remoteText(GetDlgItem(window, IDC_FOLDER_SOURCE));
        ui::saveScreenshot(window, "start-picked-folder");
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 9);
    EXPECT_EQ(shown, folder);
    EXPECT_EQ(exitCodeOf(process), 0u);

    const Shown withFolder = run("/cartella \"" + folder + "\"", "start-pick-folder-with-argument");
    EXPECT_EQ(withFolder.caption, "Attenzione");
    EXPECT_EQ(withFolder.text,
              "Opzione sconosciuta: /cartella. Uso: quillcheck /rapporto [/revoca] [/uscita cartella] cartella");
    EXPECT_EQ(withFolder.exitCode, 0u);
}

}  // namespace

// The information box's line on the trusted list: issuer, number, issue and
// next update, and whether it is past that; or why there is none.
TEST(InformationBox, NamesTheTrustedListInUse) {
    std::ifstream in(testDataPath("trust/lists/stale.xml"), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<AcceptedTrustedList> list;
    ASSERT_EQ(acceptTrustedList(bytes, readPinnedSigners(testDataPath("trust/signers")), nullptr, utcNow(), &list), "");
    EXPECT_EQ(trustedListLine(list.get(), "", list->list().issued),
              "Lista di fiducia: Organismo di Vigilanza di Prova (IT), numero 6\nemessa il 01/12/2023 00:00 UTC\n"
              "prossimo aggiornamento 01/06/2024 00:00 UTC");
    EXPECT_EQ(trustedListLine(list.get(), "", utcNow()).rfind("Lista di fiducia: Organismo di Vigilanza di Prova (IT), numero 6\n", 0),
              0u);
    EXPECT_NE(trustedListLine(list.get(), "", utcNow()).find("(scaduta)"), std::string::npos);
    EXPECT_EQ(trustedListLine(nullptr, "firmata da un altro", utcNow()),
              "Lista di fiducia: nessuna lista attendibile (firmata da un altro)");
}
