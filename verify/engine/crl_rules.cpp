#include "crl_rules.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void removeAll(std::string& text, const char* piece) {
    const size_t length = std::strlen(piece);
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at)) text.erase(at, length);
}

// A name that the cache file may carry: no folder, drive or wildcard, and not
// only dots.
bool plainFileName(const std::string& name) {
    if (name.find_first_not_of('.') == std::string::npos) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || std::strchr("\\:*?\"<>|", c) != nullptr) return false;
    }
    return true;
}

}  // namespace

bool parseCrlUrl(const std::string& address, CrlUrl* url) {
    const size_t schemeEnd = address.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0) return false;
    const std::string scheme = address.substr(0, schemeEnd);
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
    const size_t authorityStart = schemeEnd + 3;
    const size_t objectStart = address.find('/', authorityStart);
    std::string authority = address.substr(authorityStart, objectStart == std::string::npos
                                                               ? std::string::npos
                                                               : objectStart - authorityStart);
    const size_t at = authority.rfind('@');  // user name and password: read, not used
    if (at != std::string::npos) authority.erase(0, at + 1);
    const size_t colon = authority.find(':');
    if (colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);  // read, not used: LDAP is on 389
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
        authority.erase(colon);
    }
    if (authority.empty()) return false;

    std::string lowerScheme;
    for (char c : scheme) lowerScheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    url->http = lowerScheme == "http";
    url->host = percentDecoded(authority);
    url->objectPart = objectStart == std::string::npos ? "/" : percentDecoded(address.substr(objectStart));
    return true;
}

std::string CrlCacheName(const std::string& objectPart) {
    std::string name = objectPart;
    removeAll(name, "/");
    removeAll(name, "cn=");
    const size_t comma = name.find(',');
    if (comma != std::string::npos) name.erase(comma);
    return plainFileName(name) ? name : "";
}

std::string ldapSearchBase(const std::string& objectPart) {
    std::string base = objectPart;
    removeAll(base, "?certificaterevocationlist");
    return base.empty() ? base : base.substr(1);
}

std::string ldapBindName(const std::string& objectPart) {
    const std::string name = objectPart.substr(0, objectPart.find('?'));
    return name.empty() ? name : name.substr(1);
}

bool isCrlAttributeName(const char* name) {
    static const char ATTRIBUTE[] = "certificateRevocationList";
    if (name == nullptr) return false;
    for (size_t i = 0; i < sizeof ATTRIBUTE - 1; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(static_cast<unsigned char>(ATTRIBUTE[i]))) {
            return false;  // also at the name's end
        }
    }
    return true;
}

int32_t revocationResultOf(int32_t verifyResult, bool fromCache) {
    switch (verifyResult) {
    case CRLVERIFY_GOOD: return CRLCHECK_VALID;
    case CRLVERIFY_REVOKED: return CRLCHECK_REVOKED;
    case CRLVERIFY_TIME: return CRLCHECK_EXPIRED;
    case CRLVERIFY_FAILED: return fromCache ? 0 : CRLCHECK_INTERNAL;
    default: return fromCache ? 0 : CRLCHECK_UNEXPECTED;
    }
}

std::string revocationMessage(int32_t code) {
    const char* lineA = "Non è stato possibile effetture la verifica del certificato.";
    const char* lineB = "Contattare l'amministratore.";
    char text[1024];
    switch (code) {
    case CRLCHECK_VALID: return "Il Certificato risulta essere VALIDO.";
    case CRLCHECK_REVOKED: return "Il Certificato risulta essere stato REVOCATO.";
    case CRLCHECK_EXPIRED: return "Il Certificato risulta essere SCADUTO.";
    case CRLCHECK_NETWORK:
        std::snprintf(text, sizeof text, "Riscontrati problemi di rete durante la connessione con il Server\n%s", lineA);
        break;
    case CRLCHECK_AUTH:
        std::snprintf(text, sizeof text, "Riscontrati problemi durante l'autenticazione con il Server.\n%s\n%s", lineA,
                      lineB);
        break;
    case CRLCHECK_DOWNLOAD:
        std::snprintf(text, sizeof text, "Riscontrati problemi durante il download della CRL dal Server.\n%s\n%s", lineA,
                      lineB);
        break;
    case CRLCHECK_INTERNAL:
        std::snprintf(text, sizeof text,
                      "Riscontrati problemi interni durante il controllo di validità del Certificato\n%s\n%s", lineA,
                      lineB);
        break;
    case CRLCHECK_URL:
        std::snprintf(text, sizeof text, "Errore relativo alla URL relativa alla CRL sul Server.\n%s\n%s", lineA, lineB);
        break;
    case CRLCHECK_URL_PARSE:
        std::snprintf(text, sizeof text,
                      "Errore interno durante il parsing della URL relativa alla CRL sul Server.\n%s\n%s", lineA, lineB);
        break;
    case CRLCHECK_EMPTY:
        std::snprintf(text, sizeof text, "La CRL appare essere vuota.\n%s\n%s", lineA, lineB);
        break;
    default:
        std::snprintf(text, sizeof text, "Errore non documentato: %x\n%s\n%s", static_cast<unsigned>(code), lineA, lineB);
        break;
    }
    return text;
}
