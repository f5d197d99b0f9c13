// A folder verified whole, as the municipal office runs it: SignedFiles of
// every state, of the signing engine and of OpenSSL, nested, in base64,
// broken, empty, locked, with clashing and overlong names; the report read
// back and each row held against the single file's load.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "allocation_faults.h"
#include "ansi_text.h"
#include "crl_retrieval.h"
#include "csv_reader.h"
#include "folder_check.h"
#include "hash_data.h"
#include "ocsp_check.h"
#include "signed_file_loader.h"
#include "signer_display.h"
#include "temp_paths.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"

namespace {

enum Column { FILE_, LAYER, SIZE, SHA, NAME, FISCAL, ISSUER, SERIAL, EXPIRY, SIGNING_TIME, STATE, COLOUR, REVOCATION, CONTENT,
              CONTENT_SHA, VERDICT, REASON };

std::string peerFile(const char* name) { return std::string(QUILL_PEER_FILES_DIR) + "\\" + name; }

std::string sha256Of(const Bytes& bytes) {
    Sha256Hasher hasher;
    hasher.begin();
    hasher.add(bytes.data(), bytes.size());
    return hasher.finishHex();
}

std::string base64Of(const Bytes& der) {
    DWORD size = 0;
    CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), CRYPT_STRING_BASE64, nullptr, &size);
    std::string text(size, '\0');
    CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), CRYPT_STRING_BASE64, &text[0], &size);
    text.resize(size);
    return text;
}

// Every file below `folder` (wide paths, any length): relative name to bytes.
void snapshot(const std::wstring& folder, const std::wstring& relative, std::map<std::wstring, Bytes>* files) {
    WIN32_FIND_DATAW found;
    const std::wstring base = relative.empty() ? folder : folder + L"\\" + relative;
    const HANDLE search = FindFirstFileW((L"\\\\?\\" + base + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*files)[path + L"\\"] = Bytes();
            snapshot(folder, path, files);
        } else {
            FileContent content;
            readFileContent((L"\\\\?\\" + folder + L"\\" + path).c_str(), &content);
            (*files)[path] = Bytes(content.data.get(), content.data.get() + content.size);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void removeTree(const std::wstring& folder) {
    std::map<std::wstring, Bytes> files;
    snapshot(folder, L"", &files);
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        const std::wstring path = L"\\\\?\\" + folder + L"\\" + it->first;
        if (it->first.back() == L'\\') {
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

class StopAfter : public FolderCheckObserver {
public:
    explicit StopAfter(size_t files) : files_(files) {}
    void onFile(size_t number, size_t total, const std::wstring& relative) override {
        seen.push_back(std::to_string(number) + "/" + std::to_string(total) + " " + utf8Text(relative));
    }
    bool stopRequested() override { return seen.size() >= files_; }
    std::vector<std::string> seen;

private:
    size_t files_;
};

// A cell as written before the spreadsheet's guard against formulas.
std::string unguarded(const std::string& cell) {
    if (cell.size() > 1 && cell[0] == '\'' && std::strchr("=+-@\t\r", cell[1])) return cell.substr(1);
    return cell;
}

class FolderCheck : public testing::Test {
protected:
    void SetUp() override {
        root_ = wideText(makeOwnTempFolder("folder-check"));
        ASSERT_FALSE(root_.empty());
        source_ = root_ + L"\\Posta del giorno";
        output_ = root_ + L"\\esiti";
        CreateDirectoryW(source_.c_str(), nullptr);
        CreateDirectoryW((source_ + L"\\sottocartella").c_str(), nullptr);
    }
    void TearDown() override { removeTree(root_); }

    std::string sourcePath(const std::string& relative) const { return ansiText(source_.c_str(), -1) + "\\" + relative; }
    void put(const std::string& relative, const Bytes& bytes) { writeWholeFile(sourcePath(relative), bytes); }
    void put(const std::string& relative, const std::string& text) { put(relative, Bytes(text.begin(), text.end())); }
    // A file whose name no code page holds.
    void putNamed(const std::wstring& relative, const Bytes& bytes) {
        const HANDLE file = CreateFileW((source_ + L"\\" + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << utf8Text(relative);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(file);
    }
    Bytes engineFile(const char* card, const std::string& content) {
        return buildSignedFile(loadTestCard(card), Bytes(content.begin(), content.end()), {});
    }

    FolderCheckResult run(bool revocation = false, FolderCheckObserver* observer = nullptr) {
        FolderCheckOptions options;
        options.source = source_;
        options.output = output_;
        options.revocation = revocation;
        return runFolderCheck(options, authorities_.table(), observer);
    }

    // The CSV's rows after its header, by file and layer ("name#2"); a row
    // that is missing reads as empty cells.
    struct Rows : std::map<std::string, std::vector<std::string>> {
        std::vector<std::string>& operator[](const std::string& key) {
            auto found = find(key);
            if (found != end()) return found->second;
            ADD_FAILURE() << "no row of " << key;
            return std::map<std::string, std::vector<std::string>>::operator[](key) =
                       std::vector<std::string>(REPORT_COLUMN_COUNT);
        }
    };
    Rows rows(const std::wstring& output) {
        const std::string csv = [&] {
            FileContent content;
            readFileContent((output + L"\\rapporto.csv").c_str(), &content);
            return std::string(reinterpret_cast<const char*>(content.data.get()), content.size);
        }();
        EXPECT_EQ(csv.compare(0, 3, "\xEF\xBB\xBF"), 0) << "a byte-order mark";
        Rows byFile;
        const auto table = readCsv(csv.substr(3));
        EXPECT_FALSE(table.empty());
        for (size_t i = 1; i < table.size(); ++i) {
            EXPECT_EQ(table[i].size(), REPORT_COLUMN_COUNT) << "row " << i;
            if (table[i].size() != REPORT_COLUMN_COUNT) continue;
            byFile.emplace(unguarded(table[i][FILE_]) + (table[i][LAYER] == "1" ? "" : "#" + table[i][LAYER]), table[i]);
        }
        return byFile;
    }

    TestPkiAuthorities authorities_;
    std::wstring root_, source_, output_;
};

// What the single file's load says, in the report's terms: the lines of
// the name, signing-time, state and colour columns, or "fail".
std::string singleLoad(const std::string& path, const AcceptedCaTable& cas) {
    auto record = std::make_unique<SignedFileRecord>();
    record->signedPath = path;
    if (loadSignedFile(*record, cas) != 0) return "fail";
    std::string names, times, states, colours;
    for (int g = 0; g < record->signerCount; ++g) {
        const std::string sep = g ? "\n" : "";
        names += sep + utf8FromAnsi(signerNameText(record->signerNames[g]));
        times += sep + record->signingTimes[g];
        states += sep + utf8FromAnsi(statusText(record->signerStatus[g], record->expiryDates[g]));
        colours += sep + colourName(statusIcon(record->signerStatus[g]));
    }
    return names + "|" + times + "|" + states + "|" + colours;
}

std::string reportLoad(const std::vector<std::string>& row) {
    if ((row[VERDICT] == "Non verificabile" || row[VERDICT] == "Non valido") && row[NAME].empty()) return "fail";
    return unguarded(row[NAME]) + "|" + row[SIGNING_TIME] + "|" + row[STATE] + "|" + row[COLOUR];
}

TEST_F(FolderCheck, EveryFileGetsTheVerdictOfItsOwnWindow) {
    const std::string letter(3000, 'L');
    put("valido.txt.p7m", engineFile("cie140", letter));
    put("scaduto.txt.p7m", engineFile("expired", "scaduto"));
    put("non-ancora.txt.p7m", engineFile("notyet", "futuro"));
    put("estraneo.txt.p7m", engineFile("outsider-card", "estraneo"));
    put("autorita-falsa.txt.p7m", engineFile("forged-ca-card", "falso"));
    put("markup.txt.p7m", engineFile("markup", "<script>"));
    put("openssl-con-attributi.p7m", readWholeFile(peerFile("smime-attrs-sha1.p7m")));
    put("openssl-senza-attributi.p7m", readWholeFile(peerFile("smime-noattr-sha1.p7m")));
    put("tre-firme-seconda-rotta.p7m", readWholeFile(peerFile("cms-three-attrs-second-broken.p7m")));
    Bytes broken = engineFile("cie141", "firma rotta");
    SignedMessage message;
    ASSERT_EQ(decodeSignedMessage({broken.data(), broken.size()}, &message), DecodeResult::Ok);
    broken[message.signers[0].signature.data - broken.data() + 5] ^= 0x01;
    put("firma-rotta.txt.p7m", broken);
    Bytes tampered = engineFile("cie140", "contenuto originale");
    tampered[std::string(tampered.begin(), tampered.end()).find("originale")] ^= 0x20;
    put("alterato.txt.p7m", tampered);
    const Bytes inner = engineFile("cie142", "interno");
    put("sottocartella\\doppia.txt.p7m.p7m", buildSignedFile(loadTestCard("card144"), inner, {}));
    put("base64.txt.p7m", base64Of(engineFile("cie141", "in base64")));
    put("vuoto.p7m", Bytes());
    put("testo.p7m", "solo testo, nessuna firma");
    put("nota.txt", "non un p7m");
    put("lettera.txt.p7m", engineFile("cie140", "prima lettera"));
    put("sottocartella\\lettera.txt.p7m", engineFile("cie141", "seconda lettera"));
    // The platform refuses < > and " in names: what a name may hold of markup.
    put("=pagina '&amp;';1.html.p7m", engineFile("card144", "<b>pagina</b>"));
    const std::string longName = std::string(220, 'n') + ".txt.p7m";
    put("sottocartella\\" + longName, engineFile("cie140", "nome lungo"));
    put("bloccato.txt.p7m", engineFile("cie140", "bloccato"));
    std::map<std::wstring, Bytes> before, after;
    snapshot(source_, L"", &before);
    const HANDLE lock = CreateFileA(sourcePath("bloccato.txt.p7m").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    const FolderCheckResult result = run();
    CloseHandle(lock);
    ASSERT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID) << result.error;
    EXPECT_EQ(result.filesFound, 21u);
    snapshot(source_, L"", &after);
    EXPECT_TRUE(before == after) << "the source folder is only read";

    auto table = rows(output_);
    EXPECT_EQ(table.size(), 22u) << "one row per file, two for the nested one";
    EXPECT_EQ(table["nota.txt"][VERDICT], "Non verificabile");
    EXPECT_EQ(table["nota.txt"][REASON], "Non \xC3\xA8 un file firmato (.p7m): non verificato");
    EXPECT_EQ(table["nota.txt"][SIZE], "10");
    // Each row as the file's own window would show it (the window opens no
    // path longer than the platform's ordinary paths: the run reads those too).
    for (const auto& entry : table) {
        const std::vector<std::string>& row = entry.second;
        const std::string path = ansiText(source_.c_str(), -1) + "\\" + unguarded(row[FILE_]);
        if (row[LAYER] != "1" || row[FILE_] == "bloccato.txt.p7m" || row[FILE_] == "nota.txt" ||
            path.size() >= MAX_PATH) {
            continue;
        }
        EXPECT_EQ(reportLoad(row), singleLoad(path, authorities_.table())) << row[FILE_];
    }
    const std::string innerPath = ansiText(root_.c_str(), -1) + "\\interno.txt.p7m";
    writeWholeFile(innerPath, inner);
    EXPECT_EQ(reportLoad(table["sottocartella\\doppia.txt.p7m.p7m#2"]), singleLoad(innerPath, authorities_.table()));

    const std::map<std::string, std::string> verdicts = {
        {"valido.txt.p7m", "Valido"}, {"scaduto.txt.p7m", "Da controllare"},
        {"non-ancora.txt.p7m", "Da controllare"}, {"estraneo.txt.p7m", "Da controllare"},
        {"autorita-falsa.txt.p7m", "Da controllare"}, {"openssl-con-attributi.p7m", "Valido"},
        {"openssl-senza-attributi.p7m", "Valido"}, {"tre-firme-seconda-rotta.p7m", "Non valido"},
        {"firma-rotta.txt.p7m", "Non valido"}, {"alterato.txt.p7m", "Non valido"},
        {"base64.txt.p7m", "Valido"}, {"vuoto.p7m", "Non verificabile"}, {"testo.p7m", "Non verificabile"},
        {"sottocartella\\doppia.txt.p7m.p7m", "Valido"}, {"sottocartella\\doppia.txt.p7m.p7m#2", "Valido"},
        {"bloccato.txt.p7m", "Non verificabile"}};
    for (const auto& v : verdicts) EXPECT_EQ(table[v.first][VERDICT], v.second) << v.first;
    for (const auto& entry : table) {
        EXPECT_TRUE(entry.second[VERDICT] == "Valido" || !entry.second[REASON].empty()) << entry.first;
    }
    EXPECT_NE(table["scaduto.txt.p7m"][REASON].find(": certificato scaduto il "), std::string::npos);
    EXPECT_NE(table["estraneo.txt.p7m"][REASON].find(": autorit\xC3\xA0 non ammessa"), std::string::npos);
    EXPECT_EQ(table["vuoto.p7m"][REASON], "File vuoto (0 byte)");
    EXPECT_EQ(table["vuoto.p7m"][SHA], sha256Of(Bytes()));
    EXPECT_NE(table["bloccato.txt.p7m"][REASON].find("bloccato da un altro programma"), std::string::npos);
    EXPECT_EQ(table["testo.p7m"][REASON], "File Corrotto o Firma non valida");
    // A changed content is rejected, and the reason says so.
    EXPECT_EQ(table["alterato.txt.p7m"][REASON],
              "Firma non valida: il documento \xC3\xA8 stato modificato dopo la firma, o la firma \xC3\xA8 guasta");

    // The signer's details.
    const auto& valid = table["valido.txt.p7m"];
    EXPECT_EQ(valid[FISCAL], "RSSMRA70A01L736S");
    EXPECT_EQ(valid[ISSUER], "CIE Sub CA 1");
    EXPECT_EQ(valid[SERIAL], "1000");
    EXPECT_EQ(valid[EXPIRY], "30/11/2049");
    EXPECT_EQ(valid[COLOUR], "verde");
    EXPECT_EQ(valid[REVOCATION], "");
    EXPECT_EQ(valid[SHA], sha256Of(readWholeFile(sourcePath("valido.txt.p7m"))));
    EXPECT_EQ(table["tre-firme-seconda-rotta.p7m"][COLOUR], "verde\nrosso\nverde");
    EXPECT_EQ(table["markup.txt.p7m"][NAME], "'=SOMMA(1;2)<script>document.title=\"violato\"</script>");

    // The contents: each under its own name, never one over another.
    const std::string contents = ansiText(output_.c_str(), -1) + "\\contenuti\\";
    EXPECT_EQ(valid[CONTENT], "valido.txt");
    EXPECT_EQ(readWholeFile(contents + "valido.txt"), Bytes(letter.begin(), letter.end()));
    EXPECT_EQ(valid[CONTENT_SHA], sha256Of(Bytes(letter.begin(), letter.end())));
    EXPECT_EQ(table["sottocartella\\doppia.txt.p7m.p7m"][CONTENT], "doppia.txt.p7m") << "the inner layer's name";
    EXPECT_EQ(table["sottocartella\\doppia.txt.p7m.p7m"][CONTENT_SHA], sha256Of(inner));
    EXPECT_EQ(table["sottocartella\\doppia.txt.p7m.p7m#2"][SHA], sha256Of(inner));
    EXPECT_EQ(readWholeFile(contents + table["sottocartella\\doppia.txt.p7m.p7m#2"][CONTENT]),
              Bytes({'i', 'n', 't', 'e', 'r', 'n', 'o'}));
    EXPECT_EQ(table["lettera.txt.p7m"][CONTENT], "lettera.txt");
    EXPECT_EQ(table["sottocartella\\lettera.txt.p7m"][CONTENT], "sottocartella\\lettera.txt")
        << "a name is numbered only within its own subfolder";
    EXPECT_EQ(readWholeFile(contents + "lettera.txt"), Bytes({'p', 'r', 'i', 'm', 'a', ' ', 'l', 'e', 't', 't', 'e', 'r', 'a'}));
    EXPECT_EQ(readWholeFile(contents + "sottocartella\\lettera.txt").size(), 15u);
    EXPECT_EQ(table["=pagina '&amp;';1.html.p7m"][CONTENT], "'=pagina '&amp;';1.html") << "no formula";
    EXPECT_EQ(readWholeFile(contents + "=pagina '&amp;';1.html").size(), 13u);
    const auto& overlong = table["sottocartella\\" + longName];
    EXPECT_EQ(overlong[VERDICT], "Da controllare");
    EXPECT_NE(overlong[REASON].find("non entra nei percorsi"), std::string::npos);
    EXPECT_EQ(overlong[NAME], "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw=");
    for (const char* none : {"firma-rotta.txt", "alterato.txt", "testo"}) {
        EXPECT_EQ(GetFileAttributesA((contents + none).c_str()), INVALID_FILE_ATTRIBUTES) << none;
    }

    // The output holds the report and the contents, nothing else.
    std::map<std::wstring, Bytes> output;
    snapshot(output_, L"", &output);
    for (const auto& file : output) {
        EXPECT_TRUE(file.first == L"rapporto.html" || file.first == L"rapporto.csv" ||
                    file.first.compare(0, 10, L"contenuti\\") == 0)
            << utf8Text(file.first);
    }
    const Bytes page = output[L"rapporto.html"];
    const std::string html(page.begin(), page.end());
    EXPECT_EQ(html.find("<script"), std::string::npos) << "no markup of a name reaches the page";
    EXPECT_NE(html.find("=SOMMA(1;2)&lt;script&gt;document.title=&quot;violato&quot;&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("File verificati: 21"), std::string::npos);
    EXPECT_NE(html.find("File firmati (.p7m): 20 &middot; altri file, non verificati: 1"), std::string::npos);
    EXPECT_NE(html.find("=pagina &#39;&amp;amp;&#39;;1.html.p7m"), std::string::npos);
    EXPECT_EQ(result.counts[static_cast<int>(Verdict::Valid)], 9u);
    EXPECT_EQ(result.reportPage, output_ + L"\\rapporto.html");
}

// Names and depths an attacker chooses: none makes a file pass for what it is not.
TEST_F(FolderCheck, CraftedNamesAndDepthsCannotPassForValid) {
    // 33 layers, the innermost signature broken: the layers past the bound are not verified.
    Bytes nested = engineFile("cie140", "importo: 1.000 euro");
    nested[std::string(nested.begin(), nested.end()).find("1.000")] = '9';
    std::string deepName = "delibera.txt.p7m";
    for (int layer = 2; layer <= 33; ++layer) {
        nested = buildSignedFile(loadTestCard("cie140"), nested, {});
        deepName += ".p7m";
    }
    put(deepName, nested);
    putNamed(L"fattura\x202E" L"fdp.exe.p7m", engineFile("cie140", "MZ finto programma"));
    put("programma.exe.p7m", engineFile("cie141", "MZ altro programma"));
    put("domanda-non-firmata.pdf", "%PDF-1.4 non firmato");
    putNamed(L"domanda.pdf.\x0440" L"7m", engineFile("cie140", "estensione cirillica"));
    CreateDirectoryW((source_ + L"\\messaggio 1").c_str(), nullptr);
    CreateDirectoryW((source_ + L"\\messaggio 2").c_str(), nullptr);
    put("messaggio 1\\testoMail.txt.p7m", engineFile("cie140", "primo messaggio"));
    put("messaggio 2\\testoMail.txt.p7m", engineFile("cie141", "secondo messaggio"));
    put("serbo.txt.p7m", engineFile("foreign-name", "nome in caratteri serbi"));
    const std::string overlong = std::string(220, 's') + ".txt.p7m";
    put(overlong, engineFile("expired", "scaduto, e con un nome troppo lungo"));

    const FolderCheckResult result = run();
    ASSERT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID) << result.error;
    auto table = rows(output_);
    const std::string deep = deepName;
    EXPECT_EQ(table[deep + "#32"][VERDICT], "Valido");
    EXPECT_EQ(table[deep + "#33"][VERDICT], "Non verificabile");
    EXPECT_NE(table[deep + "#33"][REASON].find("32 firme una dentro l'altra"), std::string::npos);
    EXPECT_EQ(table.count(deep + "#34"), 0u);
    EXPECT_EQ(result.counts[static_cast<int>(Verdict::Unverifiable)], 3u) << "the deep file and the two unsigned";

    // The override shows as what it is, and no name on disk holds it.
    const std::string overridden = "fattura[U+202E]fdp.exe.p7m";
    EXPECT_EQ(table[overridden][VERDICT], "Da controllare");
    EXPECT_EQ(table[overridden][CONTENT], "fatturafdp.exe.bloccato");
    EXPECT_NE(table[overridden][REASON].find("salvato come fatturafdp.exe.bloccato"), std::string::npos);
    EXPECT_EQ(table["programma.exe.p7m"][CONTENT], "programma.exe.bloccato");
    EXPECT_EQ(table["programma.exe.p7m"][VERDICT], "Da controllare");
    const std::string contents = ansiText(output_.c_str(), -1) + "\\contenuti\\";
    EXPECT_EQ(readWholeFile(contents + "programma.exe.bloccato").size(), 18u);
    EXPECT_EQ(GetFileAttributesA((contents + "programma.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    std::map<std::wstring, Bytes> written;
    snapshot(output_, L"", &written);
    for (const auto& file : written) EXPECT_EQ(file.first.find(L'\x202E'), std::wstring::npos);
    const Bytes page = written[L"rapporto.html"];
    EXPECT_EQ(std::string(page.begin(), page.end()).find("\xE2\x80\xAE"), std::string::npos);

    // Files that are not SignedFiles are counted, the imitation told apart.
    EXPECT_EQ(table["domanda-non-firmata.pdf"][VERDICT], "Non verificabile");
    const std::string imitation = "domanda.pdf.\xD1\x80" "7m";
    EXPECT_EQ(table[imitation][VERDICT], "Non verificabile");
    EXPECT_NE(table[imitation][REASON].find("imita l'estensione .p7m"), std::string::npos);

    // Names outside the code page come whole from the certificate's own strings.
    const std::string djordje = "\xC4\x90or\xC4\x91" "e", petrovic = "Petrovi\xC4\x87";
    EXPECT_EQ(table["serbo.txt.p7m"][NAME], djordje + " " + petrovic);
    EXPECT_EQ(table["serbo.txt.p7m"][VERDICT], "Valido");
    EXPECT_NE(std::string(page.begin(), page.end()).find(petrovic + " " + djordje + " (PTRDRD80A01Z118K)"),
              std::string::npos);

    // A reason never hides another.
    EXPECT_NE(table[overlong][REASON].find(": certificato scaduto il "), std::string::npos);
    EXPECT_NE(table[overlong][REASON].find("\nContenuto non scritto: il suo nome non entra"), std::string::npos);

    // Each message's contents in its own subfolder, under their own names.
    EXPECT_EQ(table["messaggio 1\\testoMail.txt.p7m"][CONTENT], "messaggio 1\\testoMail.txt");
    EXPECT_EQ(table["messaggio 2\\testoMail.txt.p7m"][CONTENT], "messaggio 2\\testoMail.txt");
    EXPECT_EQ(readWholeFile(contents + "messaggio 2\\testoMail.txt").size(), 17u);
}

// Nothing to verify is not "all valid".
TEST_F(FolderCheck, AFolderWithoutSignedFilesIsNotAllValid) {
    FolderCheckResult result = run();
    EXPECT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID) << "an empty folder";
    put("domanda.pdf", "%PDF-1.4");
    output_ = root_ + L"\\esiti-2";
    result = run();
    EXPECT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID);
    EXPECT_EQ(result.counts[static_cast<int>(Verdict::Unverifiable)], 1u);
    const Bytes page = readWholeFile(ansiText(output_.c_str(), -1) + "\\rapporto.html");
    EXPECT_NE(std::string(page.begin(), page.end()).find("Nessun file firmato (.p7m) nella cartella"), std::string::npos);
}

TEST_F(FolderCheck, TheOutputFolderIsNeverInsideTheSourceNorOverwritten) {
    put("valido.txt.p7m", engineFile("cie140", "uno"));
    const std::wstring defaultOutput = defaultOutputFolder(source_);
    EXPECT_EQ(defaultOutput.compare(0, root_.size() + 29, root_ + L"\\Posta del giorno - verifica "), 0)
        << utf8Text(defaultOutput);

    output_ = source_ + L"\\esiti";
    FolderCheckResult result = run();
    EXPECT_EQ(result.exitCode, FOLDER_EXIT_RUN_FAILED);
    EXPECT_NE(result.error.find("non pu\xF2 stare nella cartella da verificare"), std::string::npos);
    EXPECT_EQ(GetFileAttributesW(output_.c_str()), INVALID_FILE_ATTRIBUTES);

    // The source by other names: its short form, a link to it, another drive
    // letter. Whichever names the platform gives here are tried.
    std::vector<std::wstring> otherNames;
    wchar_t shortForm[MAX_PATH];
    const DWORD shortLength = GetShortPathNameW(source_.c_str(), shortForm, MAX_PATH);
    if (shortLength > 0 && shortLength < MAX_PATH && _wcsicmp(shortForm, source_.c_str()) != 0) {
        otherNames.push_back(shortForm);
    }
    const std::wstring link = root_ + L"\\collegamento";
    if (CreateSymbolicLinkW(link.c_str(), source_.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) otherNames.push_back(link);
    if (DefineDosDeviceW(0, L"Q:", root_.c_str())) otherNames.push_back(L"Q:\\Posta del giorno");
    EXPECT_GE(otherNames.size(), 2u) << "the platform gives at least two other names";
    std::map<std::wstring, Bytes> before, after;
    snapshot(source_, L"", &before);
    for (const std::wstring& other : otherNames) {
        output_ = other + L"\\esiti";
        result = run();
        EXPECT_EQ(result.exitCode, FOLDER_EXIT_RUN_FAILED) << utf8Text(other);
        output_ = source_ + L"\\esiti";
        const std::wstring kept = source_;
        source_ = other;
        result = run();
        source_ = kept;
        EXPECT_EQ(result.exitCode, FOLDER_EXIT_RUN_FAILED) << "source " << utf8Text(other);
    }
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
    RemoveDirectoryW(link.c_str());
    snapshot(source_, L"", &after);
    EXPECT_TRUE(before == after) << "nothing was written in the source";

    // A folder that holds something gets the run's own folder inside it.
    output_ = root_ + L"\\archivio";
    CreateDirectoryW(output_.c_str(), nullptr);
    writeWholeFile(ansiText(output_.c_str(), -1) + "\\rapporto.csv", Bytes{'x'});
    result = run();
    EXPECT_EQ(result.exitCode, FOLDER_EXIT_ALL_VALID) << result.error;
    EXPECT_EQ(readWholeFile(ansiText(output_.c_str(), -1) + "\\rapporto.csv"), Bytes{'x'});
    EXPECT_EQ(result.outputFolder.compare(0, output_.size() + 29, output_ + L"\\Posta del giorno - verifica "), 0)
        << utf8Text(result.outputFolder);
    EXPECT_EQ(rows(result.outputFolder).size(), 1u);

    source_ = root_ + L"\\manca";
    output_ = root_ + L"\\altro";
    result = run();
    EXPECT_EQ(result.exitCode, FOLDER_EXIT_RUN_FAILED);
    EXPECT_NE(result.error.find("non esiste"), std::string::npos);
}

TEST_F(FolderCheck, StoppedRunReportsTheFilesDone) {
    for (const char* name : {"a.txt.p7m", "b.txt.p7m", "sottocartella\\c.txt.p7m", "d.txt.p7m"}) {
        put(name, engineFile("cie140", name));
    }
    StopAfter observer(2);
    const FolderCheckResult result = run(false, &observer);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"1/4 a.txt.p7m", "2/4 b.txt.p7m"}));
    EXPECT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID) << "not every file was found valid";
    EXPECT_EQ(rows(output_).size(), 2u);
    const Bytes page = readWholeFile(ansiText(output_.c_str(), -1) + "\\rapporto.html");
    EXPECT_NE(std::string(page.begin(), page.end()).find("Verifica interrotta: 2 file su 4"), std::string::npos);
}

// A file that goes between the listing and its turn gets a row saying so.
TEST_F(FolderCheck, AFileThatVanishesDuringTheRunGetsARow) {
    put("a.txt.p7m", engineFile("cie140", "a"));
    put("b.txt.p7m", engineFile("cie140", "b"));
    class Remover : public FolderCheckObserver {
    public:
        explicit Remover(std::wstring path) : path_(std::move(path)) {}
        void onFile(size_t number, size_t, const std::wstring&) override {
            if (number == 2) DeleteFileW(path_.c_str());
        }
        bool stopRequested() override { return false; }

    private:
        std::wstring path_;
    } remover(source_ + L"\\b.txt.p7m");
    EXPECT_EQ(run(false, &remover).exitCode, FOLDER_EXIT_SOME_NOT_VALID);
    auto table = rows(output_);
    EXPECT_EQ(table["a.txt.p7m"][VERDICT], "Valido");
    EXPECT_EQ(table["b.txt.p7m"][VERDICT], "Non verificabile");
    EXPECT_EQ(table["b.txt.p7m"][REASON],
              "Il file non c'\xC3\xA8 pi\xC3\xB9: \xC3\xA8 stato spostato o cancellato durante la verifica");
}

// Memory running out at each allocation of a run in turn: the run ends with
// its report, or says it failed, and never takes the program down; the
// source is only read, and a file met then gets its row.
TEST_F(FolderCheck, MemoryRunningOutAtAnyAllocationEndsWithAReportOrAFailure) {
    put("valido.txt.p7m", engineFile("cie140", "uno"));
    put("sottocartella\\doppia.txt.p7m.p7m", buildSignedFile(loadTestCard("card144"), engineFile("cie142", "due"), {}));
    put("base64.txt.p7m", base64Of(engineFile("cie141", "tre")));
    std::map<std::wstring, Bytes> before, after;
    snapshot(source_, L"", &before);
    long n = 1;
    int reported = 0, failed = 0, memoryRows = 0;
    for (; n < 20000; ++n) {
        output_ = root_ + L"\\esiti-" + std::to_wstring(n);
        FolderCheckOptions options;
        options.source = source_;
        options.output = output_;
        allocation_faults::failAllocation(n);
        const FolderCheckResult result = runFolderCheck(options, authorities_.table(), nullptr);
        allocation_faults::stop();
        if (!allocation_faults::failed()) {
            EXPECT_EQ(result.exitCode, FOLDER_EXIT_ALL_VALID) << "the run without a failure";
            break;
        }
        if (result.exitCode == FOLDER_EXIT_RUN_FAILED) {
            ++failed;
            EXPECT_FALSE(result.error.empty()) << n;
            continue;
        }
        ++reported;
        EXPECT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID) << n;
        auto table = rows(output_);
        EXPECT_GE(table.size(), 3u) << n;
        std::set<std::string> named;
        for (const auto& row : table) {
            memoryRows += row.second[REASON] == "Memoria insufficiente per verificare il file";
            named.insert(row.second[CONTENT]);
        }
        // No content, whole or in part, that no row names.
        std::map<std::wstring, Bytes> contents;
        snapshot(output_ + L"\\contenuti", L"", &contents);
        for (const auto& content : contents) {
            if (content.first.back() == L'\\') continue;  // a message's subfolder
            EXPECT_EQ(named.count(utf8Text(content.first)), 1u) << n << " " << utf8Text(content.first);
        }
    }
    EXPECT_LT(n, 20000) << "the run ended without a failure at last";
    EXPECT_GT(reported, 0);
    EXPECT_GT(failed, 0);
    EXPECT_GT(memoryRows, 0) << "a file whose load ran out of memory gets a row saying so";
    snapshot(source_, L"", &after);
    EXPECT_TRUE(before == after);
}

// Against the CRL servers (the test that runs this one starts them, with
// ca140.crl listing the card "revoked", and names their HTTP log and the
// folder the HTTP server serves): three certificates of 140, one list
// fetched, each its own answer; two cards that name 140's OCSP responder,
// answered by it. Then an outdated list, which no cache keeps: still one
// download for the run.
TEST_F(FolderCheck, RevocationFetchesEachListOnce) {
    const char* log = std::getenv("QUILL_CRL_HTTP_LOG");
    const char* served = std::getenv("QUILL_CRL_HTTP_DIR");
    if (std::getenv("QUILL_CRL_SERVERS") == nullptr || log == nullptr || served == nullptr) {
        GTEST_SKIP() << "needs scripts/crl-servers";
    }
    const auto fetches = [log] {
        std::ifstream in(log);
        int count = 0;
        for (std::string line; std::getline(in, line);) count += line.find("GET /crl/ca140.crl ") != std::string::npos;
        return count;
    };
    // The cached copies of an earlier test would answer without asking.
    CrlUrl url;
    ASSERT_TRUE(parseCrlUrl("http://127.0.0.1:8089/crl/ca140.crl", &url));
    DeleteFileA(crlCachePath(url).c_str());
    const Bytes ca140 = readWholeFile(testDataPath("pki/ca/140.der"));
    for (const char* card : {"ocsp-good", "ocsp-revoked"}) {
        const Bytes der = loadTestCard(card).certificate;
        PCCERT_CONTEXT c = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
        PCCERT_CONTEXT i = CertCreateCertificateContext(X509_ASN_ENCODING, ca140.data(), static_cast<DWORD>(ca140.size()));
        ASSERT_TRUE(c != nullptr && i != nullptr);
        DeleteFileA(ocspCachePath(ocspCertIdOf(c, i)).c_str());
        CertFreeCertificateContext(c);
        CertFreeCertificateContext(i);
    }
    put("uno.txt.p7m", engineFile("cie140", "uno"));
    put("due.txt.p7m", engineFile("revoked", "due"));
    put("tre.txt.p7m", engineFile("cie140", "tre"));
    put("quattro.txt.p7m", engineFile("cie142", "senza indirizzo"));
    put("estraneo.txt.p7m", engineFile("outsider-card", "autorita non ammessa"));
    put("cinque.txt.p7m", engineFile("ocsp-good", "cinque"));
    put("sei.txt.p7m", engineFile("ocsp-revoked", "sei"));
    const int before = fetches();
    const FolderCheckResult result = run(true);
    ASSERT_EQ(result.exitCode, FOLDER_EXIT_SOME_NOT_VALID) << result.error;
    EXPECT_EQ(fetches() - before, 1);
    auto table = rows(output_);
    // The test PKI's lists were issued on 1 January 2024 at midnight (the tests' clock is UTC).
    const std::string fromTheList = " (fonte: CRL, lista del 01/01/2024 00:00)";
    EXPECT_EQ(table["uno.txt.p7m"][REVOCATION], "Il Certificato risulta essere VALIDO." + fromTheList);
    EXPECT_EQ(table["tre.txt.p7m"][REVOCATION], "Il Certificato risulta essere VALIDO." + fromTheList);
    EXPECT_EQ(table["due.txt.p7m"][REVOCATION], "Il Certificato risulta essere stato REVOCATO." + fromTheList);
    EXPECT_EQ(table["due.txt.p7m"][VERDICT], "Non valido");
    EXPECT_EQ(table["uno.txt.p7m"][VERDICT], "Valido");
    // 140's list names neither OCSP card: the responder answered.
    EXPECT_EQ(table["cinque.txt.p7m"][REVOCATION].rfind("Il Certificato risulta essere VALIDO. (fonte: OCSP, risposta del ", 0),
              0u)
        << table["cinque.txt.p7m"][REVOCATION];
    EXPECT_EQ(table["cinque.txt.p7m"][VERDICT], "Valido");
    EXPECT_EQ(table["sei.txt.p7m"][REVOCATION].rfind("Il Certificato risulta essere stato REVOCATO. (fonte: OCSP, risposta del ", 0),
              0u)
        << table["sei.txt.p7m"][REVOCATION];
    EXPECT_EQ(table["sei.txt.p7m"][VERDICT], "Non valido");
    EXPECT_EQ(table["quattro.txt.p7m"][REVOCATION],
              "Revoca non controllata: il certificato non indica dove si trova la lista di revoca (CRL) della sua "
              "autorit\xC3\xA0.");
    EXPECT_EQ(table["quattro.txt.p7m"][VERDICT], "Da controllare");
    EXPECT_NE(table["quattro.txt.p7m"][REASON].find("revoca non verificata"), std::string::npos);
    EXPECT_EQ(table["estraneo.txt.p7m"][REVOCATION],
              "Revoca non controllata: il certificato non \xC3\xA8 di un'autorit\xC3\xA0 ammessa, e della sua "
              "lista di revoca non ci si pu\xC3\xB2 fidare.");
    EXPECT_NE(table["due.txt.p7m"][REASON].find("certificato revocato"), std::string::npos);

    writeWholeFile(std::string(served) + "\\ca140.crl", readWholeFile(testDataPath("pki/crl/ca140-outdated.crl")));
    DeleteFileA(crlCachePath(url).c_str());
    output_ = root_ + L"\\esiti-lista-scaduta";
    const int second = fetches();
    ASSERT_EQ(run(true).exitCode, FOLDER_EXIT_SOME_NOT_VALID);
    EXPECT_EQ(fetches() - second, 1);
    table = rows(output_);
    const std::string notBelieved = table["uno.txt.p7m"][REVOCATION];
    EXPECT_EQ(notBelieved.find("VALIDO"), std::string::npos) << notBelieved;
    EXPECT_EQ(table["uno.txt.p7m"][VERDICT], "Da controllare");
    EXPECT_EQ(table["tre.txt.p7m"][REVOCATION], notBelieved);
    EXPECT_EQ(table["due.txt.p7m"][REVOCATION], notBelieved) << "an outdated list says nothing";
}

}  // namespace
