// The report's cells and page, the verdicts, the names of contents and of
// the output folder, and the folder form's command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "crl_rules.h"
#include "csv_reader.h"
#include "folder_rules.h"

namespace {

TEST(ReportCells, QuotedWithNoFormulaAndNoColumnShift) {
    EXPECT_EQ(csvCell("Anna Neri"), "\"Anna Neri\"");
    EXPECT_EQ(csvCell("a;b \"c\""), "\"a;b \"\"c\"\"\"");
    EXPECT_EQ(csvCell("riga\r\naltra"), "\"riga\r\naltra\"");
    for (const std::string start : {"=", "+", "-", "@", "\t", "\r"}) {
        EXPECT_EQ(csvCell(start + "1+1"), "\"'" + start + "1+1\"") << start;
    }
    EXPECT_EQ(csvCell("1=1"), "\"1=1\"") << "only the first character counts";
    EXPECT_EQ(csvCell(""), "\"\"");
}

LayerRow twoSigners() {
    LayerRow row;
    row.file = "posta\\lettera.pdf.p7m";
    row.layer = 2;
    row.size = 1234;
    row.sha256 = "ab";
    row.signers = {{"=cmd|' /C calc'!A0", "RSSMRA70A01L736S", "CIE Sub CA 1", "1000", "30/11/2049",
                    "07/12/2026 21:15", "30/11/2049", 0, ""},
                   {"Anna; \"Neri\"", "", "Prima Certificazione CA", "1001", "01/01/2011", "", "Scaduto", 2,
                    "Revocato"}};
    row.contentName = "lettera.pdf";
    row.contentSha256 = "cd";
    row.verdict = Verdict::ToCheck;
    return row;
}

TEST(ReportCells, OneLinePerSignerInEachSignerColumn) {
    const std::vector<std::string> cells = reportCells(twoSigners());
    ASSERT_EQ(cells.size(), REPORT_COLUMN_COUNT);
    EXPECT_EQ(cells[0], "posta\\lettera.pdf.p7m");
    EXPECT_EQ(cells[1], "2");
    EXPECT_EQ(cells[2], "1234");
    EXPECT_EQ(cells[4], "=cmd|' /C calc'!A0\nAnna; \"Neri\"");
    EXPECT_EQ(cells[5], "RSSMRA70A01L736S\n");
    EXPECT_EQ(cells[9], "07/12/2026 21:15\n");
    EXPECT_EQ(cells[10], "30/11/2049\nScaduto");
    EXPECT_EQ(cells[11], "verde\ngiallo");
    EXPECT_EQ(cells[12], "\nRevocato");
    EXPECT_EQ(cells[15], "Da controllare");

    const std::string line = csvLine(cells);
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const auto rows = readCsv(line);
    ASSERT_EQ(rows.size(), 1u) << line;
    const std::vector<std::string>& read = rows[0];
    ASSERT_EQ(read.size(), REPORT_COLUMN_COUNT) << line;
    EXPECT_EQ(read[4], "'=cmd|' /C calc'!A0\nAnna; \"Neri\"");
    EXPECT_EQ(read[13], "lettera.pdf");
}

TEST(ReportPage, MarkupIsShownAsText) {
    EXPECT_EQ(htmlText("<script>alert(\"x\")</script> & 'y'"),
              "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;y&#39;");
    EXPECT_EQ(htmlText("uno\ndue"), "uno<br>due");
}

struct TemporaryFile {
    TemporaryFile() : file(std::tmpfile()) {}
    ~TemporaryFile() {
        if (file) std::fclose(file);
    }
    std::string text() const {
        std::fflush(file);
        std::fseek(file, 0, SEEK_END);
        const long size = std::ftell(file);
        std::string out(static_cast<size_t>(size), '\0');
        std::fseek(file, 0, SEEK_SET);
        if (size > 0 && std::fread(&out[0], 1, out.size(), file) != out.size()) out.clear();
        return out;
    }
    std::FILE* file;
};

TEST(ReportPage, SummaryOnTopCountsEachFileOnceByItsWorstLayer) {
    TemporaryFile csv, page, scratch;
    ASSERT_TRUE(csv.file && page.file && scratch.file);
    ReportWriter writer(csv.file, page.file, scratch.file);
    ASSERT_TRUE(writer.begin());
    LayerRow valid;
    valid.file = "uno.p7m";
    valid.verdict = Verdict::Valid;
    valid.signers = {{"<b>Mario</b>", "", "CA", "01", "30/11/2049", "", "30/11/2049", 0, ""}};
    ASSERT_TRUE(writer.add(valid, true));
    writer.countFile(Verdict::Valid);
    LayerRow outer = twoSigners(), inner = twoSigners();
    outer.layer = 1;
    inner.verdict = Verdict::NotValid;
    ASSERT_TRUE(writer.add(outer, true));
    ASSERT_TRUE(writer.add(inner, false));
    writer.countFile(worseOf(outer.verdict, inner.verdict));
    RunFacts facts;
    facts.sourceFolder = "C:\\Posta <oggi>";
    facts.stopped = true;
    facts.filesFound = 5;
    ASSERT_TRUE(writer.finish(facts));

    const std::string html = page.text();
    EXPECT_EQ(html.find("<b>Mario"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;Mario&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(html.find("C:\\Posta &lt;oggi&gt;"), std::string::npos);
    EXPECT_NE(html.find("Content-Security-Policy"), std::string::npos);
    const size_t summary = html.find("File verificati: 2");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_NE(html.find("Valido: 1<"), std::string::npos);
    EXPECT_NE(html.find("Non valido: 1<"), std::string::npos);
    EXPECT_NE(html.find("Da controllare: 0<"), std::string::npos);
    EXPECT_NE(html.find("Verifica interrotta: 2 file su 5"), std::string::npos);
    EXPECT_LT(summary, html.find("uno.p7m")) << "the summary comes before the rows";
    EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");

    const std::string table = csv.text();
    ASSERT_EQ(table.compare(0, 3, "\xEF\xBB\xBF"), 0) << "UTF-8 byte-order mark";
    size_t lines = 0, at = 0;
    for (; (at = table.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, 4u) << "header and three rows";
    EXPECT_EQ(table.compare(3, 7, "\"File\";"), 0);
}

TEST(Verdicts, SignerStateAndRevocation) {
    EXPECT_EQ(signerVerdict(0, 0), Verdict::Valid);
    EXPECT_EQ(signerVerdict(0, CRLCHECK_VALID), Verdict::Valid);
    EXPECT_EQ(signerVerdict(2, 0), Verdict::ToCheck);
    EXPECT_EQ(signerVerdict(1, 0), Verdict::NotValid);
    EXPECT_EQ(signerVerdict(0, CRLCHECK_REVOKED), Verdict::NotValid);
    EXPECT_EQ(signerVerdict(0, CRLCHECK_NETWORK), Verdict::ToCheck) << "an unanswered check is no answer";
    EXPECT_EQ(signerVerdict(0, CRLCHECK_EXPIRED), Verdict::ToCheck);
    EXPECT_EQ(signerVerdict(0, CRLCHECK_REVOKED_LATER), Verdict::Valid) << "revoked after the time-stamp";
    EXPECT_EQ(signerVerdict(0, CRLCHECK_NOT_ESTABLISHED), Verdict::ToCheck);
    EXPECT_EQ(signerVerdict(1, CRLCHECK_NETWORK), Verdict::NotValid);
    EXPECT_EQ(worseOf(Verdict::Unverifiable, Verdict::Valid), Verdict::Unverifiable);
    EXPECT_EQ(worseOf(Verdict::ToCheck, Verdict::NotValid), Verdict::NotValid);
    EXPECT_STREQ(colourName(2), "giallo");
}

TEST(ContentNames, OrdinaryFileNamesNumberedApart) {
    EXPECT_EQ(contentNameOf("lettera.pdf.p7m"), "lettera.pdf");
    EXPECT_EQ(contentNameOf("a.P7M"), "a");
    EXPECT_EQ(safeFileName("lettera.pdf"), "lettera.pdf");
    EXPECT_EQ(safeFileName("CON"), "_CON");
    EXPECT_EQ(safeFileName("con.txt"), "_con.txt");
    EXPECT_EQ(safeFileName("Lpt1.doc"), "_Lpt1.doc");
    EXPECT_EQ(safeFileName("nul .txt"), "_nul .txt");
    EXPECT_EQ(safeFileName("COM10.txt"), "COM10.txt");
    EXPECT_EQ(safeFileName("console.txt"), "console.txt");
    EXPECT_EQ(safeFileName("relazione. . "), "relazione");
    EXPECT_EQ(safeFileName("..."), "contenuto");
    EXPECT_EQ(numberedName("a.pdf", 1), "a.pdf");
    EXPECT_EQ(numberedName("a.pdf", 2), "a (2).pdf");
    EXPECT_EQ(numberedName("archivio.tar.gz", 3), "archivio.tar (3).gz");
    EXPECT_EQ(numberedName("LEGGIMI", 2), "LEGGIMI (2)");
    EXPECT_EQ(numberedName(".profilo", 2), ".profilo (2)");
}

TEST(FolderCommandLine, SwitchesAndOneFolder) {
    FolderCommand command;
    std::string error;
    EXPECT_TRUE(isFolderCommand({"/RAPPORTO", "x"}));
    EXPECT_TRUE(isFolderCommand({"/revoca", "x"}));
    EXPECT_TRUE(isFolderCommand({"C:\\posta", "/rapporto"})) << "a switch after the folder";
    EXPECT_TRUE(isFolderCommand({"C:\\posta", "/uscita", "D:\\esiti"}));
    EXPECT_FALSE(isFolderCommand({"C:\\posta\\lettera.p7m"}));
    EXPECT_FALSE(isFolderCommand({}));

    ASSERT_TRUE(parseFolderCommand({"/Rapporto", "/revoca", "/uscita", "D:\\esiti", "C:\\posta del giorno"}, &command,
                                   &error));
    EXPECT_TRUE(command.scheduled);
    EXPECT_TRUE(command.revocation);
    EXPECT_EQ(command.output, "D:\\esiti");
    EXPECT_EQ(command.source, "C:\\posta del giorno");

    ASSERT_TRUE(parseFolderCommand({"C:\\posta", "/uscita", "D:\\esiti", "/RAPPORTO"}, &command, &error));
    EXPECT_TRUE(command.scheduled);
    EXPECT_EQ(command.source, "C:\\posta");
    EXPECT_EQ(command.output, "D:\\esiti");

    ASSERT_TRUE(parseFolderCommand({"/revoca", "C:\\posta"}, &command, &error));
    EXPECT_FALSE(command.scheduled);
    EXPECT_TRUE(command.output.empty());

    EXPECT_FALSE(parseFolderCommand({"/rapporto"}, &command, &error));
    EXPECT_TRUE(command.scheduled) << "a scheduled run that fails still opens no window";
    EXPECT_NE(error.find("Manca la cartella"), std::string::npos);
    EXPECT_FALSE(parseFolderCommand({"/rapporto", "/uscita"}, &command, &error));
    EXPECT_FALSE(parseFolderCommand({"/rapporto", "a", "b"}, &command, &error));
    EXPECT_FALSE(parseFolderCommand({"/revoca", "/tutto", "a"}, &command, &error));
    EXPECT_NE(error.find("/tutto"), std::string::npos);
}

}  // namespace
