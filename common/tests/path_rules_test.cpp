#include <gtest/gtest.h>

#include <map>
#include <string>

#include "path_rules.h"

namespace {

TEST(PathRules, BaseNamesAndSignedNames) {
    EXPECT_EQ(baseNameOf("\\testoMail.txt"), "testoMail.txt");
    EXPECT_EQ(baseNameOf("c:\\file_hex.txt"), "file_hex.txt");
    EXPECT_EQ(baseNameOf("plain.doc"), "plain.doc");
    EXPECT_EQ(baseNameOf("c:\\dir\\"), "");
    for (const char* name : {"a.P7M", "x\\y.p7m", "c:\\d\\lettera.pdf.p7M"}) EXPECT_EQ(isSignedFileName(name), 1) << name;
    for (const char* name : {".p7m", "a.p7m.txt", "p7m", "", "a.p7"}) EXPECT_EQ(isSignedFileName(name), 0) << name;
}

// A directory search over a few folders stored under their long names, found
// by their short names too, as the platform's search does; it records what
// it was asked.
class FakeDisk {
public:
    FakeDisk() {
        for (const char* path : {"C:\\Documents and Settings", "C:\\Documents and Settings\\Mario Rossi",
                                 "C:\\Documents and Settings\\Mario Rossi\\Impostazioni locali",
                                 "C:\\Documents and Settings\\Mario Rossi\\Impostazioni locali\\Temp",
                                 "\\\\archivio\\comune\\Pratiche edilizie", "C:\\Temp"}) {
            stored_[path] = baseNameOf(path);
        }
        stored_["C:\\DOCUME~1"] = "Documents and Settings";
        stored_["C:\\Documents and Settings\\MARIOR~1"] = "Mario Rossi";
        stored_["C:\\Documents and Settings\\Mario Rossi\\IMPOST~1"] = "Impostazioni locali";
        stored_["\\\\archivio\\comune\\PRATIC~1"] = "Pratiche edilizie";
        stored_["\\Temp"] = "Temp";
    }
    LongNameLookup lookup() {
        return [this](const std::string& path, std::string* name) {
            asked.push_back(path);
            const auto found = stored_.find(path);
            if (found == stored_.end()) return false;
            *name = found->second;
            return true;
        };
    }
    std::vector<std::string> asked;

private:
    std::map<std::string, std::string> stored_;
};

TEST(ResolveLongPath, EveryComponentAsTheSearchSpellsIt) {
    const struct { const char* dir; const char* longForm; } rows[] = {
        {"C:\\DOCUME~1\\MARIOR~1\\IMPOST~1\\Temp\\", "C:\\Documents and Settings\\Mario Rossi\\Impostazioni locali\\Temp"},
        {"C:\\DOCUME~1\\\\MARIOR~1", "C:\\Documents and Settings\\Mario Rossi"},  // an empty component is skipped
        {"C:\\", "C:"},
        {"\\\\archivio\\comune\\PRATIC~1\\", "\\\\archivio\\comune\\Pratiche edilizie"},
        {"\\Temp", "\\Temp"},  // from the root of the current drive
    };
    for (const auto& row : rows) {
        FakeDisk disk;
        std::string out = "stale";
        EXPECT_TRUE(resolveLongPathWith(row.dir, disk.lookup(), &out)) << row.dir;
        EXPECT_EQ(out, row.longForm);
    }
}

TEST(ResolveLongPath, RefusesWhatTheSearchCannotFindOrHold) {
    const std::string deep = "C:\\Temp\\" + std::string(495, 'x');
    for (const std::string& dir : {std::string("C:\\DOCUME~1\\NOSUCH~1\\"), std::string("\\\\archivio"),
                                   std::string("\\\\archivio\\\\x"), std::string("\\\\"), std::string(""),
                                   std::string("\\"), deep}) {
        FakeDisk disk;
        std::string out = "stale";
        EXPECT_FALSE(resolveLongPathWith(dir, disk.lookup(), &out)) << dir;
        EXPECT_EQ(out, "");
        for (const std::string& asked : disk.asked) EXPECT_LT(asked.size(), SEARCH_PATH_CAPACITY);
    }
}

// Contents the desktop would run or install rather than show: they go to the
// chooser, never to their association.
TEST(RunnableNames, ProgramsScriptsInstallersShortcutsCertificatesAndDiskImages) {
    for (const char* name : {"C:\\Temp\\x.exe", "C:\\Temp\\LETTERA.PDF.EXE", "a.bat", "a.cmd", "a.vbs", "a.js",
                             "a.lnk", "a.msi", "a.scr", "a.ps1", "a.reg", "a.hta", "a.exe.", "a.exe .", "a.com",
                             "guida.chm", "a.vb", "a.ws", "a.wsc", "a.sct", "a.mst", "a.appref-ms",
                             "a.settingcontent-ms", "a.website", "a.library-ms", "a.jnlp", "a.msix", "a.appinstaller",
                             "a.diagcab", "firma.cer", "firma.CRT", "firma.der", "disco.iso", "disco.img", "disco.vhd",
                             "disco.VHDX", "a.url", "a.inf", "a.application"}) {
        EXPECT_TRUE(runsWhenOpened(name)) << name;
    }
    for (const char* name : {"C:\\Temp\\lettera.pdf", "C:\\Temp\\lettera", "C:\\Temp.exe\\lettera", "a.txt",
                             "a.p7m", "a.exe.pdf", "a.docx", "a.cerx", "a.vbx", "a.iso.txt", "", "."}) {
        EXPECT_FALSE(runsWhenOpened(name)) << name;
    }
    EXPECT_EQ(extensionOf("C:\\Temp\\Lettera.PDF. ."), ".pdf");
    EXPECT_EQ(extensionOf("C:\\Temp.d\\lettera"), "");
}

}  // namespace

// A name that is taken in a folder (a saved SignedFile, a content the folder
// check writes): the number goes before the extension of what a SignedFile
// wraps, so that both extensions stay.
TEST(NumberedName, BeforeTheWrappedExtension) {
    EXPECT_EQ(numberedName("lettera.pdf.p7m", 2), "lettera (2).pdf.p7m");
    EXPECT_EQ(numberedName("LETTERA.PDF.P7M", 3), "LETTERA (3).PDF.P7M");
    EXPECT_EQ(numberedName("testoMail.txt.p7m", 2), "testoMail (2).txt.p7m");
    EXPECT_EQ(numberedName("v1.2.docx.p7m", 2), "v1.2 (2).docx.p7m");
    EXPECT_EQ(numberedName("archivio.p7m", 10), "archivio (10).p7m");
    EXPECT_EQ(numberedName("replyto.txt", 2), "replyto (2).txt");
    EXPECT_EQ(numberedName("LEGGIMI", 2), "LEGGIMI (2)");
    EXPECT_EQ(numberedName(".profilo.p7m", 2), ".profilo (2).p7m");
    EXPECT_EQ(numberedName(".profilo", 2), ".profilo (2)");
    EXPECT_EQ(numberedName("archivio.tar.gz", 3), "archivio.tar (3).gz");
    EXPECT_EQ(numberedName("a.pdf", 1), "a.pdf") << "the first try is the name itself";
}
