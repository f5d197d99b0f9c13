#include "folder_rules.h"

#include <cctype>
#include <cstring>

#include "crl_rules.h"
#include "message_format.h"
#include "path_rules.h"
#include "quillcheck_messages.h"
#include "signer_display.h"

namespace {

const char* const VERDICT_TEXTS[VERDICT_COUNT] = {quillcheck_messages::VERDICT_VALID, quillcheck_messages::VERDICT_TO_CHECK, quillcheck_messages::VERDICT_INVALID,
                                                   quillcheck_messages::VERDICT_NOT_VERIFIABLE};
// The page's colours of the verdicts and of the list's icons.
const char* const VERDICT_CLASSES[VERDICT_COUNT] = {"verde", "giallo", "rosso", "grigio"};
const char* const COLOUR_NAMES[3] = {"verde", "rosso", "giallo"};

bool isFormulaStart(char c) { return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r'; }

// One field of every signer, one line each.
template <typename Field>
std::string signerLines(const std::vector<SignerRow>& signers, Field field) {
    std::string text;
    for (size_t i = 0; i < signers.size(); ++i) {
        if (i > 0) text += '\n';
        text += field(signers[i]);
    }
    return text;
}

bool put(std::FILE* file, const std::string& text) {
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

std::string cell(const char* cssClass, const std::string& html) {
    return std::string("<td class=\"") + cssClass + "\">" + html + "</td>";
}

// The page on screen and on A4: verdict and reason first, names wrapped,
// digests small under their file; printed landscape, the table's head on
// every page and no row split across two.
const char PAGE_STYLE[] =
    "body{font-family:Arial,Helvetica,sans-serif;font-size:13px;margin:16px;color:#222;max-width:1600px}"
    "h1{font-size:20px;margin:0 0 8px}h2{font-size:16px;margin:16px 0 6px}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:3px 5px;vertical-align:top;text-align:left;overflow-wrap:anywhere}"
    "th{background:#e8e8e8}"
    ".fatti td{border:none;padding:1px 8px 1px 0}"
    ".riepilogo{margin:10px 0 4px}.riepilogo td{font-weight:bold;font-size:14px;padding:4px 10px}"
    ".altri{margin:0 0 10px}.nessuno{color:#b3141b;font-weight:bold;font-size:15px}"
    ".elenco{width:100%;table-layout:fixed;margin-bottom:8px}.elenco td:first-child{width:40%}"
    ".file{width:100%;table-layout:fixed}"
    ".file col.esito{width:9em}.file col.motivo{width:24%}.file col.nome{width:24%}.file col.contenuto{width:16%}"
    ".hash{font-family:Consolas,monospace;font-size:10px;color:#555;overflow-wrap:anywhere}"
    ".dati{font-size:11px;color:#444}"
    ".firmatario{margin:0 0 4px}.firmatario:last-child{margin:0}"
    ".verde{color:#11682b}.giallo{color:#8a6100}.rosso{color:#b3141b}.grigio{color:#555}"
    ".esito.verde{background:#dff3e4}.esito.giallo{background:#fff3cd}.esito.rosso{background:#fbe0e0}"
    ".esito.grigio{background:#e4e4e4}td.esito{font-weight:bold}"
    ".bloccato{color:#b3141b;font-weight:bold}"
    ".disco{font-size:15px}.interrotta{color:#b3141b;font-weight:bold}"
    "@page{size:A4 landscape;margin:10mm}"
    "@media print{body{margin:0;font-size:10px;max-width:none}h1{font-size:15px}h2{font-size:12px}"
    ".riepilogo td{font-size:11px}thead{display:table-header-group}tr{break-inside:avoid}"
    ".esito.verde,.esito.giallo,.esito.rosso,.esito.grigio,th{-webkit-print-color-adjust:exact;"
    "print-color-adjust:exact}}";

// Text from anybody, for the page: visible and harmless.
std::string shown(const std::string& text) { return htmlText(visibleText(text)); }

std::string signerBlock(const SignerRow& s) {
    const std::string& name = s.shownName.empty() ? s.name : s.shownName;
    std::string html = std::string("<div class=\"firmatario\"><span class=\"") +
                       VERDICT_CLASSES[static_cast<int>(s.verdict)] + "\"><span class=\"disco\">&#9679;</span> <b>" +
                       shown(name) + "</b></span><div class=\"dati\">";
    html += "Stato: " + shown(s.state);
    if (!s.signingTime.empty()) html += " &middot; Firmato il " + shown(s.signingTime);
    html += "<br>Emittente: " + shown(s.issuer) + " &middot; Scadenza: " + shown(s.expiry) +
            " &middot; Serie: " + shown(s.serial);
    if (!s.revocation.empty()) html += "<br>Revoca: " + shown(s.revocation);
    if (!s.qualification.empty()) html += "<br>Qualifica: " + shown(s.qualification);
    return html + "</div></div>";
}

// The reason's lines, each made visible.
std::string visibleLines(const std::string& text) {
    std::string out;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        out += visibleText(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return out;
        out += '\n';
        start = end + 1;
    }
}

// The next character of UTF-8 text at `at`, moving past it; false, with the
// byte in `code` and `at` past it, when no UTF-8 character starts there.
bool nextCharacter(const std::string& text, size_t* at, uint32_t* code) {
    const unsigned char first = static_cast<unsigned char>(text[*at]);
    size_t length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3 : (first >> 3) == 30 ? 4 : 0;
    uint32_t value = length == 1 ? first : length == 2 ? first & 0x1F : length == 3 ? first & 0x0F : first & 0x07;
    bool valid = length > 0 && *at + length <= text.size();
    for (size_t i = 1; valid && i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[*at + i]);
        valid = (next & 0xC0) == 0x80;
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no characters.
    static const uint32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && value >= LEAST[length] && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
    if (!valid) {
        *code = first;
        *at += 1;
        return false;
    }
    *code = value;
    *at += length;
    return true;
}

// Characters that show nothing, or change how what follows shows.
bool isInvisible(uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xAD || c == 0x34F || c == 0x61C || c == 0x115F ||
           c == 0x1160 || c == 0x17B4 || c == 0x17B5 || (c >= 0x180B && c <= 0x180F) ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) ||
           c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFFB) ||
           (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

// The ASCII letter, digit or dot that a character of another script or width
// passes for in ".p7m"; 0 for any other.
char passesFor(uint32_t c) {
    if (c < 0x80) return static_cast<char>(std::tolower(static_cast<int>(c)));
    switch (c) {
    case 0x0440: case 0x0420: case 0x03C1: case 0x03A1: case 0xFF50: case 0xFF30: return 'p';
    case 0xFF17: case 0x2077: case 0x2087: return '7';
    case 0x043C: case 0x041C: case 0x039C: case 0xFF4D: case 0xFF2D: case 0x217F: case 0x216F: return 'm';
    case 0xFF0E: case 0x2024: case 0xFE52: case 0x3002: return '.';
    default: return 0;
    }
}

}  // namespace

std::string visibleText(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    char escape[16];
    for (size_t at = 0; at < utf8.size();) {
        uint32_t c = 0;
        if (!nextCharacter(utf8, &at, &c)) {
            std::snprintf(escape, sizeof escape, "[0x%02X]", static_cast<unsigned>(c));
            out += escape;
        } else if (isInvisible(c)) {
            std::snprintf(escape, sizeof escape, "[U+%04X]", static_cast<unsigned>(c));
            out += escape;
        } else {
            appendUtf8(c, &out);
        }
    }
    return out;
}

std::string withoutInvisible(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        uint32_t c = 0;
        if (!nextCharacter(utf8, &at, &c)) {
            out += '_';
        } else if (!isInvisible(c)) {
            appendUtf8(c, &out);
        }
    }
    return out;
}

bool imitatesSignedExtension(const std::string& utf8Name) {
    // What shows of the name's end, each character as what it passes for.
    std::string folded;
    for (size_t at = 0; at < utf8Name.size();) {
        uint32_t c = 0;
        if (!nextCharacter(utf8Name, &at, &c)) {
            folded += '?';
        } else if (!isInvisible(c)) {
            const char ascii = passesFor(c);
            folded += ascii != 0 ? ascii : '?';
        }
    }
    while (!folded.empty() && (folded.back() == '.' || folded.back() == ' ')) folded.pop_back();
    const bool looksSigned = folded.size() > 4 && folded.compare(folded.size() - 4, 4, ".p7m") == 0;
    return looksSigned && !isSignedFileName(utf8Name.c_str());
}

std::string signerShownName(const std::string& surname, const std::string& givenName, const std::string& fiscalCode,
                            const std::string& commonName) {
    if (surname.empty() || givenName.empty()) return commonName;
    return surname + " " + givenName + (fiscalCode.empty() ? "" : " (" + fiscalCode + ")");
}

std::string signerFindings(SignerStatus status, const std::string& expiry, int32_t revocation, bool stampUnchecked) {
    namespace m = quillcheck_messages;
    std::vector<std::string> found;
    if (status & SIGNATURE_INVALID) {
        found.push_back((status & COUNTER_SIGNATURE_UNREADABLE) ? m::FINDING_COUNTER_SIGNATURE_UNREADABLE
                        : (status & CERTIFICATE_UNREADABLE)     ? m::FINDING_CERTIFICATE_UNREADABLE
                                                                : m::FINDING_SIGNATURE_BROKEN);
    }
    if (status & PARENT_NOT_VERIFIED) found.push_back(m::FINDING_PARENT_NOT_VERIFIED);
    if (status & NOT_VERIFIABLE) found.push_back(m::FINDING_NOT_VERIFIABLE);
    if (revocation == CRLCHECK_REVOKED) found.push_back(m::FINDING_REVOKED);
    if (status & EXPIRED) found.push_back(formatMessage(m::FINDING_EXPIRED, expiry.c_str()));
    if (status & NOT_YET_VALID) found.push_back(m::FINDING_NOT_YET_VALID);
    if (status & CA_NOT_ACCEPTED) found.push_back(m::FINDING_CA_NOT_ACCEPTED);
    if (status & LIST_OUTDATED) found.push_back(m::FINDING_LIST_OUTDATED);
    if (status & (KEY_USAGE_NOT_SIGNING | EXTENDED_USE_NOT_SIGNING)) found.push_back(m::FINDING_NOT_FOR_SIGNING);
    if (status & TIMESTAMP_FAILED) found.push_back(m::FINDING_TIMESTAMP_FAILED);
    if (status & TIMESTAMP_NOT_ACCEPTED) found.push_back(m::FINDING_TIMESTAMP_NOT_ACCEPTED);
    if (stampUnchecked) found.push_back(m::FINDING_STAMP_AUTHORITY_UNCHECKED);
    if (revocation != 0 && revocation != CRLCHECK_REVOKED && revocation != CRLCHECK_VALID &&
        revocation != CRLCHECK_REVOKED_LATER) {
        found.push_back(m::FINDING_REVOCATION_UNCHECKED);
    }
    std::string text;
    for (const std::string& finding : found) text += (text.empty() ? "" : "; ") + messageAsUtf8(finding);
    return text;
}

namespace {

}  // namespace

const char* const REPORT_COLUMNS[REPORT_COLUMN_COUNT] = {
    "File",  "Livello", "Dimensione", "SHA-256 del file", "Firmatario", "Codice fiscale", "Emittente",
    "Numero di serie", "Scadenza", "Data della firma", "Stato", "Colore", "Revoca", "Contenuto",
    "SHA-256 del contenuto", "Esito", "Motivo", "Qualifica"};

std::string qualifiedBy(const std::string& provider, Qualification qualification) {
    if (provider.empty()) return "";
    const std::string what = qualificationText(qualification);
    return what.empty() ? provider : provider + ": " + messageAsUtf8(what);
}

const char* verdictText(Verdict verdict) { return VERDICT_TEXTS[static_cast<int>(verdict)]; }

Verdict worseOf(Verdict a, Verdict b) { return static_cast<int>(a) >= static_cast<int>(b) ? a : b; }

const char* colourName(int icon) { return icon >= 0 && icon < 3 ? COLOUR_NAMES[icon] : COLOUR_NAMES[1]; }

Verdict signerVerdict(int icon, int32_t revocation) {
    Verdict verdict = icon == 0 ? Verdict::Valid : icon == 2 ? Verdict::ToCheck : Verdict::NotValid;
    if (revocation == CRLCHECK_REVOKED) return Verdict::NotValid;
    // Revoked only after the time a time-stamp proves: the signature stays valid.
    if (revocation != 0 && revocation != CRLCHECK_VALID && revocation != CRLCHECK_REVOKED_LATER) {
        verdict = worseOf(verdict, Verdict::ToCheck);
    }
    return verdict;
}

std::string csvCell(const std::string& text) {
    std::string out = "\"";
    if (!text.empty() && isFormulaStart(text[0])) out += '\'';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::vector<std::string> reportCells(const LayerRow& row) {
    const auto& s = row.signers;
    const auto lines = [&s](std::string SignerRow::*field) {
        return signerLines(s, [field](const SignerRow& r) { return visibleText(r.*field); });
    };
    return {visibleText(row.file),
            std::to_string(row.layer),
            std::to_string(row.size),
            row.sha256,
            lines(&SignerRow::name),
            lines(&SignerRow::fiscalCode),
            lines(&SignerRow::issuer),
            lines(&SignerRow::serial),
            lines(&SignerRow::expiry),
            lines(&SignerRow::signingTime),
            lines(&SignerRow::state),
            signerLines(s, [](const SignerRow& r) { return std::string(colourName(r.icon)); }),
            lines(&SignerRow::revocation),
            visibleText(row.contentName),
            row.contentSha256,
            verdictText(row.verdict),
            visibleLines(row.reason),
            lines(&SignerRow::qualification)};
}

std::string csvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += ';';
        line += csvCell(cells[i]);
    }
    return line + "\r\n";
}

std::string htmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\n': out += "<br>"; break;
        default: out += c;
        }
    }
    return out;
}

ReportWriter::ReportWriter(std::FILE* csv, std::FILE* page, std::FILE* scratch)
    : csv_(csv), page_(page), scratch_(scratch) {}

bool ReportWriter::begin() {
    std::vector<std::string> header(REPORT_COLUMNS, REPORT_COLUMNS + REPORT_COLUMN_COUNT);
    failed_ = !put(csv_, "\xEF\xBB\xBF" + csvLine(header));
    return !failed_;
}

bool ReportWriter::add(const LayerRow& row, bool firstOfFile) {
    if (failed_) return false;
    const int v = static_cast<int>(row.verdict);
    const std::string reason = htmlText(visibleLines(row.reason));
    std::string file = shown(row.file);
    if (row.layer > 1) file += " <span class=\"dati\">(livello " + std::to_string(row.layer) + ")</span>";
    std::string html = firstOfFile ? "<tr class=\"primo\">" : "<tr>";
    html += cell((std::string("esito ") + VERDICT_CLASSES[v]).c_str(), htmlText(verdictText(row.verdict)));
    html += cell("", reason);
    std::string about = file + "<div class=\"dati\">" + std::to_string(row.size) + " byte</div>";
    if (!row.sha256.empty()) about += "<div class=\"hash\">SHA-256 " + htmlText(row.sha256) + "</div>";
    html += cell("", about);
    std::string signers;
    for (const SignerRow& s : row.signers) signers += signerBlock(s);
    html += cell("", signers);
    std::string content = row.runnable ? "<span class=\"bloccato\">" + shown(row.contentName) + "</span>"
                                       : shown(row.contentName);
    if (!row.contentSha256.empty()) content += "<div class=\"hash\">SHA-256 " + htmlText(row.contentSha256) + "</div>";
    html += cell("", content);
    html += "</tr>\n";
    failed_ = !put(csv_, csvLine(reportCells(row))) || !put(scratch_, html);
    // The lists on top: each file to reject or to check, with its reason;
    // which list, its worst layer decides.
    if (row.verdict != Verdict::Valid) pending_ += "<tr><td>" + file + "</td><td>" + reason + "</td></tr>\n";
    return !failed_;
}

void ReportWriter::countFile(Verdict verdict) {
    ++counts_[static_cast<int>(verdict)];
    if (verdict != Verdict::Valid) (verdict == Verdict::ToCheck ? toCheck_ : toReject_) += pending_;
    pending_.clear();
}

size_t ReportWriter::filesCounted() const {
    size_t total = 0;
    for (size_t c : counts_) total += c;
    return total;
}

bool ReportWriter::finish(const RunFacts& facts) {
    if (failed_) return false;
    std::string head =
        "<!DOCTYPE html>\n<html lang=\"it\">\n<head>\n<meta charset=\"utf-8\">\n"
        // Nothing on the page runs or is fetched, whatever a name holds.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
        "<title>Verifica dei file firmati</title>\n<style>";
    head += PAGE_STYLE;
    head += "</style>\n</head>\n<body>\n<h1>Verifica dei file firmati</h1>\n<table class=\"fatti\">\n";
    head += "<tr><td>Cartella verificata:</td><td>" + shown(facts.sourceFolder) + "</td></tr>\n";
    head += "<tr><td>Cartella dei risultati:</td><td>" + shown(facts.outputFolder) + "</td></tr>\n";
    head += "<tr><td>Verifica del:</td><td>" + htmlText(facts.startedAt) + "</td></tr>\n";
    head += std::string("<tr><td>Controllo della revoca:</td><td>") +
            (facts.revocationChecked ? "eseguito" : "non eseguito") + "</td></tr>\n</table>\n";
    if (facts.stopped) {
        head += "<p class=\"interrotta\">" +
                htmlText(formatMessage(quillcheck_messages::REPORT_STOPPED, static_cast<unsigned>(filesCounted()),
                                       static_cast<unsigned>(facts.filesFound))) +
                "</p>\n";
    }
    head += "<table class=\"riepilogo\"><tr><td>File verificati: " + std::to_string(filesCounted()) + "</td>";
    for (int v = 0; v < VERDICT_COUNT; ++v) {
        head += std::string("<td class=\"esito ") + VERDICT_CLASSES[v] + "\">" +
                verdictText(static_cast<Verdict>(v)) + ": " + std::to_string(counts_[v]) + "</td>";
    }
    head += "</tr></table>\n";
    const size_t others = facts.filesFound - facts.signedFound;
    head += "<p class=\"altri\">File firmati (.p7m): " + std::to_string(facts.signedFound) +
            " &middot; altri file, non verificati: " + std::to_string(others) + "</p>\n";
    if (facts.signedFound == 0) {
        head += "<p class=\"nessuno\">Nessun file firmato (.p7m) nella cartella: non &egrave; stato verificato nulla.</p>\n";
    }
    const auto list = [](const char* title, size_t count, const std::string& items) {
        std::string html = std::string("<h2>") + title + " (" + std::to_string(count) + ")</h2>\n";
        if (items.empty()) return html + "<p>Nessuno.</p>\n";
        return html + "<table class=\"elenco\">\n<thead><tr><th>File</th><th>Motivo</th></tr></thead>\n" + items +
               "</table>\n";
    };
    head += list("File da respingere", counts_[static_cast<int>(Verdict::NotValid)] +
                                            counts_[static_cast<int>(Verdict::Unverifiable)], toReject_);
    head += list("File da controllare", counts_[static_cast<int>(Verdict::ToCheck)], toCheck_);
    head += "<h2>Tutti i file</h2>\n<table class=\"file\">\n<colgroup><col class=\"esito\"><col class=\"motivo\">"
            "<col class=\"nome\"><col><col class=\"contenuto\"></colgroup>\n<thead><tr>";
    for (const char* title : {"Esito", "Motivo", "File", "Firmatari", "Contenuto"}) {
        head += std::string("<th>") + title + "</th>";
    }
    head += "</tr></thead>\n";
    if (!put(page_, head)) return false;
    // The rows, as written while the run went.
    if (std::fflush(scratch_) != 0 || std::fseek(scratch_, 0, SEEK_SET) != 0) return false;
    char block[64 * 1024];
    for (size_t n; (n = std::fread(block, 1, sizeof block, scratch_)) > 0;) {
        if (std::fwrite(block, 1, n, page_) != n) return false;
    }
    if (std::ferror(scratch_)) return false;
    return put(page_, "</table>\n</body>\n</html>\n") && std::fflush(page_) == 0 && std::fflush(csv_) == 0;
}

std::string safeFileName(const std::string& name) {
    std::string safe = withoutInvisible(name);
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
    if (safe.empty()) return "contenuto";
    // The device names hold before any extension, in any case.
    std::string stem = safe.substr(0, safe.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool device = stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
                  stem == "CONOUT$" || stem == "CLOCK$";
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
        stem[3] >= '0' && stem[3] <= '9') {
        device = true;
    }
    return device ? "_" + safe : safe;
}

std::string contentNameOf(const std::string& signedName) {
    return signedName.size() > 4 ? signedName.substr(0, signedName.size() - 4) : std::string();
}

std::string outputFolderName(const std::string& sourceName, int year, int month, int day, int hour, int minute,
                             int second) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, " - verifica %04d-%02d-%02d %02d.%02d.%02d", year, month, day, hour, minute,
                  second);
    return sourceName + stamp;
}

bool isSwitch(const std::string& argument, const char* name) {
    if (argument.size() != std::strlen(name)) return false;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(argument[i])) != name[i]) return false;
    }
    return true;
}

bool isFolderCommand(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments) {
        if (isSwitch(a, "/rapporto") || isSwitch(a, "/revoca") || isSwitch(a, "/uscita")) return true;
    }
    return false;
}

bool parseFolderCommand(const std::vector<std::string>& arguments, FolderCommand* command, std::string* error) {
    *command = FolderCommand();
    // Known first, so that a scheduled run that fails still ends without a window.
    for (const std::string& a : arguments) command->scheduled = command->scheduled || isSwitch(a, "/rapporto");
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (isSwitch(a, "/rapporto")) {
            command->scheduled = true;
        } else if (isSwitch(a, "/revoca")) {
            command->revocation = true;
        } else if (isSwitch(a, "/uscita")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                *error = quillcheck_messages::COMMAND_OUTPUT_MISSING;
                return false;
            }
            command->output = arguments[++i];
        } else if (!a.empty() && a[0] == '/' && a.size() > 1 && a.find('\\') == std::string::npos &&
                   a.find('/', 1) == std::string::npos) {
            *error = formatMessage(quillcheck_messages::COMMAND_UNKNOWN_OPTION, a.c_str());
            return false;
        } else if (command->source.empty() && !a.empty()) {
            command->source = a;
        } else {
            *error = quillcheck_messages::COMMAND_SEVERAL_FOLDERS;
            return false;
        }
    }
    if (command->source.empty()) {
        *error = quillcheck_messages::COMMAND_FOLDER_MISSING;
        return false;
    }
    return true;
}

std::string hexText(const uint8_t* bytes, size_t length) {
    static const char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        text += DIGITS[bytes[i] >> 4];
        text += DIGITS[bytes[i] & 15];
    }
    return text;
}
