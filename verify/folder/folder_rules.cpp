#include "folder_rules.h"

#include <cctype>
#include <cstring>

#include "crl_rules.h"
#include "message_format.h"
#include "quillcheck_messages.h"

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

const char PAGE_STYLE[] =
    "body{font-family:Arial,Helvetica,sans-serif;font-size:13px;margin:16px;color:#222}"
    "h1{font-size:20px;margin:0 0 8px}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:3px 5px;vertical-align:top;text-align:left}"
    "th{background:#e8e8e8}"
    ".fatti td{border:none;padding:1px 8px 1px 0}"
    ".riepilogo{margin:10px 0 14px}.riepilogo td{font-weight:bold;font-size:14px;padding:4px 10px}"
    ".hash{font-family:Consolas,monospace;font-size:11px;word-break:break-all;max-width:150px}"
    ".firmatario{margin:0 0 4px}.firmatario:last-child{margin:0}"
    ".verde{color:#11682b}.giallo{color:#8a6100}.rosso{color:#b3141b}.grigio{color:#555}"
    ".esito.verde{background:#dff3e4}.esito.giallo{background:#fff3cd}.esito.rosso{background:#fbe0e0}"
    ".esito.grigio{background:#e4e4e4}"
    ".disco{font-size:15px}.interrotta{color:#b3141b;font-weight:bold}";

std::string signerBlock(const SignerRow& s) {
    const int icon = s.icon >= 0 && s.icon < 3 ? s.icon : 1;
    std::string html = "<div class=\"firmatario\"><b>" + htmlText(s.name) + "</b>";
    if (!s.fiscalCode.empty()) html += "<br>Codice fiscale: " + htmlText(s.fiscalCode);
    html += "<br>Emittente: " + htmlText(s.issuer);
    html += "<br>Numero di serie: " + htmlText(s.serial);
    html += "<br>Scadenza: " + htmlText(s.expiry);
    if (!s.signingTime.empty()) html += "<br>Data della firma: " + htmlText(s.signingTime);
    html += std::string("<br>Stato: <span class=\"") + COLOUR_NAMES[icon] + "\"><span class=\"disco\">&#9679;</span> " +
            htmlText(s.state) + "</span>";
    if (!s.revocation.empty()) html += "<br>Revoca: " + htmlText(s.revocation);
    return html + "</div>";
}

}  // namespace

const char* const REPORT_COLUMNS[REPORT_COLUMN_COUNT] = {
    "File",  "Livello", "Dimensione", "SHA-256 del file", "Firmatario", "Codice fiscale", "Emittente",
    "Numero di serie", "Scadenza", "Data della firma", "Stato", "Colore", "Revoca", "Contenuto",
    "SHA-256 del contenuto", "Esito", "Motivo"};

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
    return {row.file,
            std::to_string(row.layer),
            std::to_string(row.size),
            row.sha256,
            signerLines(s, [](const SignerRow& r) { return r.name; }),
            signerLines(s, [](const SignerRow& r) { return r.fiscalCode; }),
            signerLines(s, [](const SignerRow& r) { return r.issuer; }),
            signerLines(s, [](const SignerRow& r) { return r.serial; }),
            signerLines(s, [](const SignerRow& r) { return r.expiry; }),
            signerLines(s, [](const SignerRow& r) { return r.signingTime; }),
            signerLines(s, [](const SignerRow& r) { return r.state; }),
            signerLines(s, [](const SignerRow& r) { return std::string(colourName(r.icon)); }),
            signerLines(s, [](const SignerRow& r) { return r.revocation; }),
            row.contentName,
            row.contentSha256,
            verdictText(row.verdict),
            row.reason};
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
    std::string html = firstOfFile ? "<tr class=\"primo\">" : "<tr>";
    html += cell("", htmlText(row.file));
    html += cell("", std::to_string(row.layer));
    html += cell("", std::to_string(row.size));
    html += cell("hash", htmlText(row.sha256));
    std::string signers;
    for (const SignerRow& s : row.signers) signers += signerBlock(s);
    html += cell("", signers);
    std::string content = htmlText(row.contentName);
    if (!row.contentSha256.empty()) content += "<div class=\"hash\">" + htmlText(row.contentSha256) + "</div>";
    html += cell("", content);
    html += cell((std::string("esito ") + VERDICT_CLASSES[v]).c_str(), htmlText(verdictText(row.verdict)));
    html += cell("", htmlText(row.reason));
    html += "</tr>\n";
    failed_ = !put(csv_, csvLine(reportCells(row))) || !put(scratch_, html);
    return !failed_;
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
    head += "<tr><td>Cartella verificata:</td><td>" + htmlText(facts.sourceFolder) + "</td></tr>\n";
    head += "<tr><td>Cartella dei risultati:</td><td>" + htmlText(facts.outputFolder) + "</td></tr>\n";
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
    head += "</tr></table>\n<table>\n<tr>";
    for (const char* title : {"File", "Livello", "Dimensione (byte)", "SHA-256 del file", "Firmatari",
                              "Contenuto e SHA-256", "Esito", "Motivo"}) {
        head += std::string("<th>") + title + "</th>";
    }
    head += "</tr>\n";
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
    std::string safe = name;
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

std::string numberedName(const std::string& name, int n) {
    if (n < 2) return name;
    const size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
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

namespace {

bool isSwitch(const std::string& argument, const char* name) {
    if (argument.size() != std::strlen(name)) return false;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(argument[i])) != name[i]) return false;
    }
    return true;
}

}  // namespace

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
