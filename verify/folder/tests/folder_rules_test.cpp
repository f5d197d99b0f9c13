// The report's cells and page, the verdicts, the names of contents and of
// the output folder, and the folder form's command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "crl_rules.h"
#include "signer_status.h"
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
                    "07/12/2026 21:15", "30/11/2049", 0, "", "", Verdict::Valid,
                    qualifiedBy("Quinta Certificazione", Qualification::QualifiedSignature)},
                   {"Anna; \"Neri\"\nFalso Firmatario", "", "Prima Certificazione CA", "1001", "01/01/2011", "",
                    "Scaduto", 2, "Revocato", "NERI ANNA", Verdict::NotValid, ""}};
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
    EXPECT_EQ(cells[4], "=cmd|' /C calc'!A0\nAnna; \"Neri\"[U+000A]Falso Firmatario")
        << "a line break inside a name makes no signer of its own";
    EXPECT_EQ(cells[5], "RSSMRA70A01L736S\n");
    EXPECT_EQ(cells[9], "07/12/2026 21:15\n");
    EXPECT_EQ(cells[10], "30/11/2049\nScaduto");
    EXPECT_EQ(cells[11], "verde\ngiallo");
    EXPECT_EQ(cells[12], "\nRevocato");
    EXPECT_EQ(cells[15], "Da controllare");
    EXPECT_EQ(cells[17], "Quinta Certificazione: Firma qualificata\n");

    const std::string line = csvLine(cells);
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const auto rows = readCsv(line);
    ASSERT_EQ(rows.size(), 1u) << line;
    const std::vector<std::string>& read = rows[0];
    ASSERT_EQ(read.size(), REPORT_COLUMN_COUNT) << line;
    EXPECT_EQ(read[4], "'=cmd|' /C calc'!A0\nAnna; \"Neri\"[U+000A]Falso Firmatario");
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
    valid.signers = {{"<b>Mario</b>", "", "CA", "01", "30/11/2049", "", "30/11/2049", 0, "", "", Verdict::Valid, ""}};
    ASSERT_TRUE(writer.add(valid, true));
    writer.countFile(Verdict::Valid);
    LayerRow outer = twoSigners(), inner = twoSigners();
    outer.layer = 1;
    inner.verdict = Verdict::NotValid;
    inner.reason = "firma rotta";
    ASSERT_TRUE(writer.add(outer, true));
    ASSERT_TRUE(writer.add(inner, false));
    writer.countFile(worseOf(outer.verdict, inner.verdict));
    LayerRow foreign = valid;
    foreign.file = "estraneo.p7m";
    foreign.verdict = Verdict::ToCheck;
    foreign.reason = "autorit\xC3\xA0 non ammessa";
    ASSERT_TRUE(writer.add(foreign, true));
    writer.countFile(Verdict::ToCheck);
    RunFacts facts;
    facts.sourceFolder = "C:\\Posta <oggi>";
    facts.stopped = true;
    facts.filesFound = 5;
    facts.signedFound = 2;
    ASSERT_TRUE(writer.finish(facts));

    const std::string html = page.text();
    EXPECT_EQ(html.find("<b>Mario"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;Mario&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(html.find("C:\\Posta &lt;oggi&gt;"), std::string::npos);
    EXPECT_NE(html.find("Content-Security-Policy"), std::string::npos);
    const size_t summary = html.find("File verificati: 3");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_NE(html.find("Valido: 1<"), std::string::npos);
    EXPECT_NE(html.find("Non valido: 1<"), std::string::npos);
    EXPECT_NE(html.find("Da controllare: 1<"), std::string::npos);
    EXPECT_NE(html.find("Verifica interrotta: 3 file su 5"), std::string::npos);
    EXPECT_LT(summary, html.find("uno.p7m")) << "the summary comes before the rows";
    EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");

    // On top, the files to reject and to check with their reasons, before the table of all.
    const size_t reject = html.find("File da respingere (1)"), check = html.find("File da controllare (1)");
    const size_t all = html.find("Tutti i file");
    ASSERT_NE(reject, std::string::npos);
    ASSERT_NE(check, std::string::npos);
    ASSERT_NE(all, std::string::npos);
    const size_t listed = html.find("posta\\lettera.pdf.p7m");
    EXPECT_TRUE(reject < listed && listed < check) << "the file to reject is listed under its heading";
    EXPECT_LT(html.find("firma rotta</td>", reject), check) << "with its reason";
    const size_t foreignListed = html.find("estraneo.p7m");
    EXPECT_TRUE(check < foreignListed && foreignListed < all) << "the file to check is listed under its heading";
    EXPECT_EQ(html.substr(check, all - check).find("lettera.pdf"), std::string::npos)
        << "a file is listed once, by its worst layer";
    EXPECT_EQ(html.substr(reject, all - reject).find("uno.p7m"), std::string::npos) << "a valid file is in no list";
    // The table: verdict, then reason, then the file; the signer's dot takes its verdict's colour.
    const size_t head = html.find("<th>", all);
    EXPECT_EQ(html.compare(head, 34, "<th>Esito</th><th>Motivo</th><th>F"), 0) << html.substr(head, 40);
    EXPECT_NE(html.find("<span class=\"rosso\"><span class=\"disco\">&#9679;</span> <b>NERI ANNA</b>"),
              std::string::npos);
    // Printed: A4 landscape, the table's head on each page, no row split.
    for (const char* rule : {"@page{size:A4 landscape", "thead{display:table-header-group}", "tr{break-inside:avoid}"}) {
        EXPECT_NE(html.find(rule), std::string::npos) << rule;
    }
    EXPECT_NE(html.find("altri file, non verificati: 3"), std::string::npos);
    EXPECT_EQ(html.find("Nessun file firmato (.p7m)"), std::string::npos) << "two of the five were SignedFiles";

    const std::string table = csv.text();
    ASSERT_EQ(table.compare(0, 3, "\xEF\xBB\xBF"), 0) << "UTF-8 byte-order mark";
    size_t lines = 0, at = 0;
    for (; (at = table.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, 5u) << "header and four rows";
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

// Whatever a name holds, the report shows what it is.
TEST(NamesFromAnybody, InvisibleCharactersShownAndTakenOutOfDiskNames) {
    const std::string overridden = "fattura\xE2\x80\xAE" "fdp.exe.p7m";  // U+202E
    EXPECT_EQ(visibleText(overridden), "fattura[U+202E]fdp.exe.p7m");
    EXPECT_EQ(visibleText("a\xE2\x80\x8B" "b\xEF\xBB\xBF" "c\xE2\x81\xA6" "d\x1B" "e"), "a[U+200B]b[U+FEFF]c[U+2066]d[U+001B]e");
    EXPECT_EQ(visibleText("\xC4\x90or\xC4\x91" "e Petrovi\xC4\x87 \xF0\x9F\x93\x84"), "\xC4\x90or\xC4\x91" "e Petrovi\xC4\x87 \xF0\x9F\x93\x84")
        << "letters of any script stay";
    EXPECT_EQ(visibleText("x\xFFy\xC0\xAF" "z\xED\xA0\x80"), "x[0xFF]y[0xC0][0xAF]z[0xED][0xA0][0x80]")
        << "no UTF-8: bytes, overlong forms and surrogates shown as bytes";
    EXPECT_EQ(withoutInvisible(overridden), "fatturafdp.exe.p7m");
    EXPECT_EQ(safeFileName("fattura\xE2\x80\xAE" "fdp.exe"), "fatturafdp.exe");
    EXPECT_EQ(safeFileName("\xE2\x80\x8B\xE2\x80\x8B"), "contenuto");
    EXPECT_EQ(htmlText(visibleText(overridden)).find("\xE2\x80\xAE"), std::string::npos);

    for (const char* imitation : {"domanda.pdf.\xD1\x80" "7m", "a.P7\xD0\x9C", "a.p7m.", "a.p7m ", "a.p\xE2\x80\x8B" "7m",
                                  "a.\xEF\xBD\x90\xEF\xBC\x97\xEF\xBD\x8D", "a\xEF\xBC\x8Ep7m"}) {
        EXPECT_TRUE(imitatesSignedExtension(imitation)) << visibleText(imitation);
    }
    for (const char* plain : {"a.p7m", "A.P7M", "a.pdf", "a.p7s", "p7m", ".p7m", "a.p7m.pdf", "a.\xD1\x80" "df"}) {
        EXPECT_FALSE(imitatesSignedExtension(plain)) << plain;
    }
}

// What each finding says to the clerk, and how the page names a signer.
TEST(Findings, PlainWordsForEachStateAndAnswer) {
    EXPECT_EQ(signerFindings(0, "30/11/2049", 0, false), "");
    EXPECT_EQ(signerFindings(TIMESTAMPED, "30/11/2049", CRLCHECK_VALID, false), "");
    EXPECT_EQ(signerFindings(0, "30/11/2049", CRLCHECK_REVOKED_LATER, false), "");
    EXPECT_EQ(signerFindings(SIGNATURE_INVALID, "", 0, false),
              "firma non valida: il documento \xC3\xA8 stato modificato dopo la firma, o la firma \xC3\xA8 guasta");
    EXPECT_EQ(signerFindings(EXPIRED | CA_NOT_ACCEPTED, "01/01/2020", 0, false),
              "certificato scaduto il 01/01/2020; autorit\xC3\xA0 non ammessa");
    EXPECT_EQ(signerFindings(0, "30/11/2049", CRLCHECK_REVOKED, false), "certificato revocato");
    EXPECT_EQ(signerFindings(0, "30/11/2049", CRLCHECK_NETWORK, false), "revoca non verificata");
    EXPECT_EQ(signerFindings(KEY_USAGE_NOT_SIGNING, "30/11/2049", 0, true),
              "certificato non destinato alla firma di documenti; marca temporale da controllare: la revoca della "
              "sua autorit\xC3\xA0 non si \xC3\xA8 potuta verificare");
    EXPECT_EQ(signerFindings(NOT_YET_VALID | TIMESTAMP_FAILED, "", 0, false),
              "certificato non ancora valido; marca temporale non valida");

    EXPECT_EQ(signerShownName("ROSSI", "MARIO", "RSSMRA70A01L736S", "RSSMRA70A01L736S/7420050000000001.hR4r="),
              "ROSSI MARIO (RSSMRA70A01L736S)");
    EXPECT_EQ(signerShownName("Neri", "Anna", "", "Anna Neri"), "Neri Anna");
    EXPECT_EQ(signerShownName("", "Anna", "NRENNA", "Anna Neri"), "Anna Neri") << "no surname: the common name";
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
