// The verification program's platform-free rules: the path on the command
// line, the dump format, the names the desktop would run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer_rules.h"

namespace {

TEST(CommandLine, OnePathQuotedOrWhole) {
    EXPECT_EQ(pathFromCommandLine("\"C:\\Documenti e lettere\\a b.p7m\""), "C:\\Documenti e lettere\\a b.p7m");
    EXPECT_EQ(pathFromCommandLine("C:\\Documenti e lettere\\a b.p7m"), "C:\\Documenti e lettere\\a b.p7m");
    EXPECT_EQ(pathFromCommandLine("\"C:\\a.p7m"), "C:\\a.p7") << "the last character goes, whatever it is";
    EXPECT_EQ(pathFromCommandLine("\""), "");
    EXPECT_EQ(pathFromCommandLine("\"Z:/tmp/a b/c.p7m\""), "Z:\\tmp\\a b\\c.p7m");
    EXPECT_EQ(pathFromCommandLine(""), "");
}

// Twenty bytes: a full line, then four bytes padded with twelve groups of
// three spaces; the character column shows 0x20 to 0x7E only.
TEST(HexDump, LinesOfSixteenPaddedOnTheHexSide) {
    std::vector<uint8_t> bytes = {'A', ' ', '~', 0x7F, 0x80, 0xFF, 0x00, '\r', '\n', 'z', 0x1F, 0x20, 'a', 'b', 'c', 'd',
                                  'e', 0xE8, 'f', 0x09};
    const std::string dump = hexDump(bytes.data(), bytes.size());
    const std::string first = "41 20 7e 7f 80 ff 00 0d 0a 7a 1f 20 61 62 63 64  ;  A ~......z. abcd\r\n";
    const std::string second = "65 e8 66 09 " + std::string(12 * 3, ' ') + " ;  e.f.\r\n";
    EXPECT_EQ(first.size(), 70u);
    EXPECT_EQ(dump, first + second);
    EXPECT_EQ(hexDump(bytes.data(), 0), "");
    EXPECT_EQ(hexDump(bytes.data(), 16), first);
}

// A window's content lies one folder below its dump, so that no SignedFile's
// name makes its content the dump.
TEST(WindowPlace, TheContentNeverMeetsTheDump) {
    const std::string folder = "C:\\T\\quillcheck-7-1";
    EXPECT_EQ(dumpPathIn(folder), "C:\\T\\quillcheck-7-1\\file_hex.txt");
    EXPECT_EQ(contentPathIn(folder, "D:\\posta\\lettera.pdf.p7m"), "C:\\T\\quillcheck-7-1\\contenuto\\lettera.pdf");
    EXPECT_EQ(contentPathIn(folder, "D:\\posta\\file_hex.txt.p7m"), "C:\\T\\quillcheck-7-1\\contenuto\\file_hex.txt");
    EXPECT_NE(contentPathIn(folder, "D:\\posta\\file_hex.txt.p7m"), dumpPathIn(folder));
    EXPECT_EQ(contentPathIn(folder, "D:/posta/a.txt.P7M"), "C:\\T\\quillcheck-7-1\\contenuto\\a.txt");
}

}  // namespace
