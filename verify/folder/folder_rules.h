// The rules of a folder's verification that need no platform: what one row
// of the report holds, the verdicts and their counts, the report's two files
// (an HTML page and a CSV file for spreadsheets), the names the contents and
// the output folder get, and the command line of the folder form.
// Every text here is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "signer_status.h"

// A file's or a layer's verdict, from the best to the worst.
enum class Verdict { Valid = 0, ToCheck = 1, NotValid = 2, Unverifiable = 3 };
constexpr int VERDICT_COUNT = 4;

// "Valido", "Da controllare", "Non valido", "Non verificabile".
const char* verdictText(Verdict verdict);
Verdict worseOf(Verdict a, Verdict b);

// A signer's colour as the signers list shows it (its icon 0, 1, 2):
// "verde", "rosso", "giallo".
const char* colourName(int icon);

// What a signer adds to its layer's verdict: its list icon (0 all well, 1
// signature not valid, 2 any other finding), and the revocation check's
// result when one was made (CRLCHECK_*, 0 when none): revoked is not valid,
// a certificate found valid, or revoked only after the time a time-stamp
// proves, adds nothing, anything else is to be checked.
Verdict signerVerdict(int icon, int32_t revocation);

struct SignerRow {
    std::string name;        // the certificate's common name, whole
    std::string fiscalCode;  // empty when the certificate names none
    std::string issuer, serial, expiry;
    std::string signingTime;  // empty when the signer names none
    std::string state;       // the list's state text
    int icon = 0;            // the list's icon: 0, 1, 2
    std::string revocation;  // empty when not checked
    std::string shownName;   // as the page shows it (signerShownName); the name when empty
    Verdict verdict = Verdict::Valid;  // the signer's own, revocation included: the page's dot
    // Where the trusted list vouches for the signer: the trust service
    // provider and what the certificate is (qualifiedBy); else empty.
    std::string qualification;
};

// One row of the report: one layer of one file (a SignedFile inside a
// SignedFile is the second layer of the same file), or a file that is no
// SignedFile.
struct LayerRow {
    std::string file;  // relative to the source folder, backslashes
    int layer = 1;
    uint64_t size = 0;
    std::string sha256;  // of this layer's bytes; empty when they could not be read
    std::vector<SignerRow> signers;
    std::string contentName, contentSha256;  // contentName relative to the contents folder
    Verdict verdict = Verdict::Unverifiable;
    std::string reason;  // why the layer is not valid, or what else the clerk must know; lines apart
    bool runnable = false;  // its content is of a kind the desktop runs: written blocked
};

// How the page names a signer: "Cognome Nome (codice fiscale)" when the
// certificate gives surname and given name, else its common name.
std::string signerShownName(const std::string& surname, const std::string& givenName, const std::string& fiscalCode,
                            const std::string& commonName);

// What a signer's state and revocation answer (CRLCHECK_*, 0 when none was
// asked) mean for the clerk, in plain words joined by "; ": empty when all
// is well. `expiry` is the certificate's end of validity as the list shows
// it; `stampUnchecked`: whether the time-stamp's authority is revoked could
// not be established.
std::string signerFindings(SignerStatus status, const std::string& expiry, int32_t revocation, bool stampUnchecked);

// Text that may come from anybody (a file's name, a certificate's string) as
// the report shows it: each character that is invisible or turns what follows
// (controls, line breaks, direction marks and overrides, zero-width and other
// format characters) as a visible "[U+202E]", a byte that is no UTF-8 as "[0xFF]".
std::string visibleText(const std::string& utf8);
// The same text for a name on disk: those characters taken out, a byte that
// is no UTF-8 as "_".
std::string withoutInvisible(const std::string& utf8);

// True when a name does not end in ".p7m" but would pass for it: letters of
// another script or width (a Cyrillic "р"), invisible characters, or dots and
// spaces after it.
bool imitatesSignedExtension(const std::string& utf8Name);

// A content the desktop would run when opened is written under its name
// with this after it, so that opening it runs nothing.
constexpr char BLOCKED_SUFFIX[] = ".bloccato";

// The report's columns, in order.
extern const char* const REPORT_COLUMNS[];
constexpr size_t REPORT_COLUMN_COUNT = 18;

// The "Qualifica" cell of a signer the trusted list vouches for: the
// provider's name, and after it what the certificate is, when qualified
// ("Quinta Certificazione: Firma qualificata"); empty without a provider.
std::string qualifiedBy(const std::string& provider, Qualification qualification);

// A CSV cell: in double quotes (doubled inside); a text that begins with
// "=", "+", "-", "@", a tab or a carriage return gets an apostrophe first, so
// that no spreadsheet takes it as a formula.
std::string csvCell(const std::string& text);
// The row's cells, in the columns' order; a layer's several signers give one
// line each inside a cell, joined by LF.
std::vector<std::string> reportCells(const LayerRow& row);
// Cells joined by ";", ended by CR LF.
std::string csvLine(const std::vector<std::string>& cells);

// Text for an HTML page: & < > " ' written as references, LF as <br>.
std::string htmlText(const std::string& text);

// What the report says of the run, besides its rows.
struct RunFacts {
    std::string sourceFolder, outputFolder, startedAt;
    bool revocationChecked = false;
    bool stopped = false;         // the clerk stopped the run before its end
    size_t filesFound = 0;        // every file the folder held (and each folder it could not list)
    size_t signedFound = 0;       // of them, the SignedFiles
};

// Writes the two files while rows come: the CSV at once; the page's rows into
// `scratch`, since the summary on top of the page is known only at the end.
// The files stay the caller's. Of a row once written only its line in the
// page's lists of the files to reject and to check stays in memory.
class ReportWriter {
public:
    ReportWriter(std::FILE* csv, std::FILE* page, std::FILE* scratch);

    // The CSV's byte-order mark and header; false when it could not be written.
    bool begin();
    // One row of a file; `firstOfFile` for its first layer. False when a write failed.
    bool add(const LayerRow& row, bool firstOfFile);
    // The file's verdict (the worst of its layers) counts once it has all its
    // rows; a file that is not valid goes to the list of its verdict.
    void countFile(Verdict verdict);
    // The page: head, summary and the rows; false when a write failed.
    bool finish(const RunFacts& facts);

    const size_t* counts() const { return counts_; }
    size_t filesCounted() const;

private:
    std::FILE* csv_;
    std::FILE* page_;
    std::FILE* scratch_;
    size_t counts_[VERDICT_COUNT] = {};
    bool failed_ = false;
    std::string toReject_, toCheck_;  // the lists' items, as HTML
    std::string pending_;             // the items of the file in hand
};

// A content's name that the platform takes as an ordinary file name:
// invisible characters (withoutInvisible) and trailing dots and spaces go, a
// device's name ("CON", "lpt1.txt"...) gets "_" in front, and an empty name
// becomes "contenuto".
std::string safeFileName(const std::string& name);
// The name of a layer's content: the SignedFile's name without ".p7m".
std::string contentNameOf(const std::string& signedName);

// The output folder's default name, beside the source folder:
// "<source name> - verifica YYYY-MM-DD hh.mm.ss".
std::string outputFolderName(const std::string& sourceName, int year, int month, int day, int hour, int minute,
                             int second);

// The command line of the folder form, split into arguments:
//   [/rapporto] [/revoca] [/uscita <folder>] <source folder>
// /rapporto: no window, the exit code tells the result. Switches in any case.
struct FolderCommand {
    bool scheduled = false;
    bool revocation = false;
    std::string output;  // empty: the default beside the source
    std::string source;
};
// True when `argument` is the switch `name` (lower case, "/rapporto") in any case.
bool isSwitch(const std::string& argument, const char* name);
// True when any argument is one of the switches, wherever it stands: the
// line is meant for the folder form.
bool isFolderCommand(const std::vector<std::string>& arguments);
// False, with the reason for the user in `error`, when the line is not of that
// form; `scheduled` is set even then.
bool parseFolderCommand(const std::vector<std::string>& arguments, FolderCommand* command, std::string* error);

// The exit code of a run in the command-line form.
constexpr int FOLDER_EXIT_ALL_VALID = 0;
constexpr int FOLDER_EXIT_SOME_NOT_VALID = 1;
constexpr int FOLDER_EXIT_RUN_FAILED = 2;

// Bytes as upper-case hex digits.
std::string hexText(const uint8_t* bytes, size_t length);
