// One table of signers whose authorities only the test supervisor's trusted
// list vouches for, seen by the three that show verdicts: tools/
// load_signed_file given the list, the signers window, and the folder report
// of quillcheck.exe installed with the list as its snapshot.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../../folder/tests/csv_reader.h"
#include "ansi_text.h"
#include "der_builder.h"
#include "file_tools.h"
#include "list_trust.h"
#include "message_box_recorder.h"
#include "program_dialog.h"
#include "quillcheck_resource.h"
#include "signer_details.h"
#include "signers_dlg.h"
#include "temp_paths.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"
#include "trusted_list_source.h"
#include "ui_driver.h"
#include "verifier_test_data.h"

namespace {

const char CAPTION[] = "Quillcheck";


struct Verdict {
    std::string state;
    int icon = 0;
    std::string qualification;  // the report's "Qualifica" cell
    bool operator==(const Verdict& o) const {
        return state == o.state && icon == o.icon && qualification == o.qualification;
    }
    friend std::ostream& operator<<(std::ostream& out, const Verdict& v) {
        return out << "{" << v.state << " | " << v.icon << " | " << v.qualification << "}";
    }
};

struct Case {
    std::string file;  // in the case's list folder
    const char* list;  // of testdata/trust/lists
    Verdict expected;  // state and qualification in UTF-8
};

class TrustedListVerdicts : public testing::Test {
protected:
    static void SetUpTestSuite() {
        setProgramName(CAPTION);
        root_ = temporaryFolder() + "\\quillcheck-lista-di-fiducia";
        removeFolder(root_);  // a report left there would take the new one's place
        for (const char* list : {"valid", "stale"}) {
            const std::string folder = root_ + "\\" + list;
            CreateDirectoryA(root_.c_str(), nullptr);
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        makeFiles();
    }

    // A SignedFile of `card` carrying `extra` certificates besides its own,
    // with a token of `stampedBy` of 2021-06-01 when given.
    static void write(const std::string& path, const char* card, const std::vector<const char*>& extra = {},
                      const char* stampedBy = nullptr) {
        using namespace der_builder;
        const TestCard signer = loadTestCard(card);
        const Bytes data(40, 'q');
        Signer info = signerOf(signer, data);
        if (stampedBy != nullptr) {
            TokenRecipe recipe;
            recipe.authority = stampedBy;
            info.unsignedAttributes = timestampAttribute(timestampToken(info, recipe));
        }
        std::vector<Bytes> certificates{signer.certificate};
        for (const char* ca : extra) certificates.push_back(readWholeFile(testDataPath(std::string("pki/ca/") + ca + ".der")));
        writeWholeFile(path, signedData(dataContent(data), certificates, {signerInfo(info)}));
    }

    static void makeFiles() {
        const std::string valid = root_ + "\\valid\\", stale = root_ + "\\stale\\";
        write(valid + "qualificata.p7m", "qc-both");
        write(valid + "certificato-qualificato.p7m", "qc-compliance");
        write(valid + "solo-dispositivo.p7m", "qc-sscd");
        write(valid + "non-qualificata.p7m", "qc-none");
        write(valid + "ritirata.p7m", "qc-withdrawn-card");
        // Stamped on JUNE_2021_NOON, while "Ritirata Prova CA" was granted (withdrawn 2023-06-01).
        write(valid + "ritirata-marcata.p7m", "qc-withdrawn-card", {}, "qtsa");
        write(valid + "sigilli.p7m", "qc-seals-card");
        write(valid + "catena.p7m", "qc-chain-card", {"qc-intermediate"});
        write(valid + "catena-senza-intermedia.p7m", "qc-chain-card");
        write(valid + "intermedia-falsa.p7m", "qc-forged-card", {"qc-forged-intermediate"});
        write(valid + "nome-e-chiave.p7m", "qc-keyid-card", {"qc-keyid"});
        write(valid + "politica.p7m", "qc-policy-card");
        write(valid + "politica-senza-dispositivo.p7m", "qc-noqscd-card");
        write(valid + "estranea.p7m", "outsider-card");
        write(stale + "qualificata.p7m", "qc-both");
        write(stale + "estranea.p7m", "outsider-card");
    }

    static std::vector<Case> cases() {
        const std::string stamp = utf8FromAnsi(localTimeText(JUNE_2021_NOON));
        const std::string quinta = "Quinta Certificazione", sesta = "Sesta Certificazione";
        return {
            {"qualificata.p7m", "valid", {"30/11/2049;Firma qualificata", 0, quinta + ": Firma qualificata"}},
            {"certificato-qualificato.p7m", "valid",
             {"30/11/2049;Certificato qualificato", 0, quinta + ": Certificato qualificato"}},
            // A qualified device without a qualified certificate is no qualified signature.
            {"solo-dispositivo.p7m", "valid", {"30/11/2049", 0, quinta}},
            {"non-qualificata.p7m", "valid", {"30/11/2049", 0, quinta}},
            // Withdrawn since 2023: today it vouches for nobody; at the time
            // a qualified token proves, it was granted.
            {"ritirata.p7m", "valid", {"30/11/2049;CA non ammessa", 2, ""}},
            {"ritirata-marcata.p7m", "valid",
             {"30/11/2049;Firma qualificata;Marca temporale qualificata " + stamp, 0, quinta + ": Firma qualificata"}},
            {"sigilli.p7m", "valid", {"30/11/2049;CA non ammessa", 2, ""}},
            {"catena.p7m", "valid", {"30/11/2049;Firma qualificata", 0, sesta + ": Firma qualificata"}},
            {"catena-senza-intermedia.p7m", "valid", {"30/11/2049;CA non ammessa", 2, ""}},
            // Radice's name on the intermediate, but not Radice's signature.
            {"intermedia-falsa.p7m", "valid", {"30/11/2049;CA non ammessa", 2, ""}},
            // A service named by subject and key identifier, its certificate carried by the file.
            {"nome-e-chiave.p7m", "valid", {"30/11/2049;Firma qualificata", 0, quinta + ": Firma qualificata"}},
            // Qualified by the service's qualifiers for the certificate's policy ...
            {"politica.p7m", "valid", {"30/11/2049;Firma qualificata", 0, sesta + ": Firma qualificata"}},
            // ... and not on a qualified device, whatever the certificate says, for the other.
            {"politica-senza-dispositivo.p7m", "valid",
             {"30/11/2049;Certificato qualificato", 0, sesta + ": Certificato qualificato"}},
            {"estranea.p7m", "valid", {"30/11/2049;CA non ammessa", 2, ""}},
            // A list past its next update says nothing, either way.
            {"qualificata.p7m", "stale", {"30/11/2049;elenco di fiducia non aggiornato", 2, ""}},
            {"estranea.p7m", "stale", {"30/11/2049;elenco di fiducia non aggiornato", 2, ""}},
        };
    }

    static void TearDownTestSuite() { removeFolder(root_); }

    static void removeFolder(const std::string& folder) {
        const std::string from = folder + '\0';  // the list of paths ends in two NULs
        SHFILEOPSTRUCTA operation{};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationA(&operation);
    }

    static std::string listPath(const char* list) { return testDataPath(std::string("trust/lists/") + list + ".xml"); }
    static std::string filePath(const Case& c) { return root_ + "\\" + c.list + "\\" + c.file; }

    static std::string root_;
};

std::string TrustedListVerdicts::root_;

// Runs a program and waits for it; its standard output, as written.
std::string outputOf(const std::string& commandLine) {
    const std::string outputFile = temporaryFolder() + "\\quillcheck-lista-di-fiducia\\output.txt";
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    const bool started =
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process) != FALSE;
    CloseHandle(output);
    if (!started) {
        ADD_FAILURE() << "did not start: " << commandLine;
        return "";
    }
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 9);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const Bytes bytes = readWholeFile(outputFile);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(TrustedListVerdicts, ByLoadSignedFileGivenTheList) {
    for (const Case& c : cases()) {
        const std::string printed =
            outputOf("\"" + std::string(LOAD_SIGNED_FILE_EXE) + "\" \"" + filePath(c) + "\" --trusted-list \"" +
                     listPath(c.list) + "\" --signers \"" + testDataPath("trust/signers") + "\"");
        // result=0, then "name | state | icon | signing time[ | qualification]".
        std::istringstream lines(printed);
        std::string result, signer;
        std::getline(lines, result);
        std::getline(lines, signer);
        ASSERT_EQ(result.compare(0, 9, "result=0 "), 0) << c.file << ": " << printed;
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            const size_t end = signer.find(" | ", start);
            fields.push_back(signer.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 3;
        }
        ASSERT_GE(fields.size(), 4u) << signer;
        if (!fields.back().empty() && fields.back().back() == '\r') fields.back().pop_back();
        const Verdict seen{fields[1], std::atoi(fields[2].c_str()), fields.size() > 4 ? fields[4] : ""};
        EXPECT_EQ(seen, c.expected) << c.list << "\\" << c.file;
    }
}

TEST_F(TrustedListVerdicts, InTheSignersWindow) {
    const TestPkiAuthorities authorities;
    MessageBoxRecorder boxes;
    FileTools tools;
    for (const Case& c : cases()) {
        std::vector<uint8_t> bytes;
        std::unique_ptr<AcceptedTrustedList> accepted;
        ASSERT_TRUE(readListFile(listPath(c.list), &bytes));
        ASSERT_EQ(acceptTrustedList(bytes, readPinnedSigners(testDataPath("trust/signers")), nullptr, utcNow(), &accepted),
                  "");
        const ListTrust trust(authorities.table(), std::move(accepted));
        auto record = std::make_unique<SignedFileRecord>();
        record->signedPath = filePath(c);
        ASSERT_TRUE(prepareWorkFolder(record.get()));
        CSignersDlg dialog(&tools, record.get(), &trust);
        Verdict seen;
        ui::WindowWatcher watcher(CAPTION, [&](HWND window) {
            ui::waitFor("the summary line", [&] { return ui::text(GetDlgItem(window, IDC_SUMMARY)) != "Static"; });
            const HWND list = GetDlgItem(window, IDC_SIGNERS);
            char state[512] = "";
            LVITEMA item{};
            item.mask = LVIF_IMAGE;
            ListView_GetItem(list, &item);
            ListView_GetItemText(list, 0, 1, state, sizeof state);
            seen = {utf8FromAnsi(state), item.iImage, ""};
            if (c.file == "ritirata-marcata.p7m") ui::saveScreenshot(window, "list-qualified-timestamp");
            ui::click(window, IDOK);
        });
        dialog.runModal(nullptr);
        Verdict expected = c.expected;
        expected.qualification.clear();  // the window shows no provider
        EXPECT_EQ(seen, expected) << c.list << "\\" << c.file;
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// quillcheck.exe installed with the list as its snapshot and the test
// supervisor pinned, run on each list's folder: each file's row says what
// the table says.
TEST_F(TrustedListVerdicts, InTheFolderReportOfTheInstalledProgram) {
    const std::string installed = root_ + "\\installato";
    const std::string built = std::string(QUILLCHECK_EXE).substr(0, std::string(QUILLCHECK_EXE).find_last_of("\\/") + 1);
    CreateDirectoryA(installed.c_str(), nullptr);
    CreateDirectoryA((installed + "\\fiducia").c_str(), nullptr);
    CreateDirectoryA((installed + "\\fiducia\\firmatari").c_str(), nullptr);
    for (const char* name : {"quillcheck.exe", "vistrel.dll", "orvik.dll"}) {
        ASSERT_TRUE(CopyFileA((built + name).c_str(), (installed + "\\" + name).c_str(), FALSE)) << name;
    }
    ASSERT_TRUE(CopyFileA(testDataPath("trust/signers/supervisor.der").c_str(),
                          (installed + "\\fiducia\\firmatari\\supervisor.der").c_str(), FALSE));
    const std::string cache = installedListSettings().cachePath;
    std::map<std::string, std::vector<std::string>> rows;  // "list\file" → its row
    for (const char* list : {"valid", "stale"}) {
        ASSERT_TRUE(CopyFileA(listPath(list).c_str(), (installed + "\\fiducia\\lista-IT.xml").c_str(), FALSE));
        DeleteFileA(cache.c_str());  // another list kept there would be believed first
        const std::string output = root_ + "\\rapporto-" + list;
        ASSERT_EQ(GetFileAttributesA(output.c_str()), INVALID_FILE_ATTRIBUTES) << "a report already there";
        outputOf("\"" + installed + "\\quillcheck.exe\" /rapporto /uscita \"" + output + "\" \"" + root_ + "\\" + list +
                 "\"");
        const Bytes csv = readWholeFile(output + "\\rapporto.csv");
        const auto table = readCsv(std::string(csv.begin() + 3, csv.end()));
        ASSERT_GT(table.size(), 1u);
        EXPECT_EQ(table[0].back(), "Qualifica");
        for (size_t i = 1; i < table.size(); ++i) rows[std::string(list) + "\\" + table[i][0]] = table[i];
    }
    DeleteFileA(cache.c_str());
    const auto firstLine = [](const std::string& cell) { return cell.substr(0, cell.find('\n')); };
    for (const Case& c : cases()) {
        const auto row = rows.find(std::string(c.list) + "\\" + c.file);
        ASSERT_NE(row, rows.end()) << c.file;
        const std::vector<std::string>& cells = row->second;
        const std::string colour = firstLine(cells[11]);
        const Verdict seen{firstLine(cells[10]), colour == "verde" ? 0 : colour == "rosso" ? 1 : 2, firstLine(cells[17])};
        EXPECT_EQ(seen, c.expected) << c.list << "\\" << c.file;
    }
}

}  // namespace
