#include "crl_rules.h"

#include <algorithm>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ber.h"
#include "message_format.h"
#include "quillcheck_messages.h"

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

// FNV-1a, 32 bits: enough to keep apart the few addresses one user meets.
uint32_t nameDigest(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    return hash;
}

// The content of a DER INTEGER without its leading zero octets; false when
// the bytes are no INTEGER or it is negative.
bool unsignedContent(const uint8_t* der, size_t length, ber::Span* content) {
    ber::Element integer;
    if (der == nullptr || !ber::read({der, length}, &integer) || integer.tag != ber::INTEGER ||
        integer.whole.size != length || integer.content.empty() || (integer.content.data[0] & 0x80)) {
        return false;
    }
    *content = integer.content;
    while (content->size > 1 && content->data[0] == 0) ++content->data, --content->size;
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

std::string CrlCacheName(const CrlUrl& url) {
    return cacheFileName(url.http ? "http-" : "ldap-", url.host + url.objectPart);
}

std::string cacheFileName(const std::string& prefix, const std::string& key) {
    constexpr size_t READABLE_PART = 96;
    std::string name = prefix;
    for (size_t i = 0; i < key.size() && i < READABLE_PART; ++i) {
        const unsigned char c = static_cast<unsigned char>(key[i]);
        const bool kept = (c < 0x80 && std::isalnum(c)) || c == '.' || c == '-';
        name += kept ? static_cast<char>(c) : '_';
    }
    char digest[16];
    std::snprintf(digest, sizeof digest, "-%08x", static_cast<unsigned>(nameDigest(prefix + key)));
    return name + digest;
}

int crlNumberOrder(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength) {
    ber::Span x, y;
    if (!unsignedContent(a, aLength, &x) || !unsignedContent(b, bLength, &y)) return -2;
    if (x.size != y.size) return x.size < y.size ? -1 : 1;
    const int order = std::memcmp(x.data, y.data, x.size);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

namespace {

constexpr uint8_t POINT_NAME = 0xA0;  // [0] DistributionPointName, in both structures
constexpr uint8_t FULL_NAME = 0xA0;   // [0] GeneralNames, within it

// The names of a DistributionPointName: each GeneralName of a full name, or
// the whole element for a name relative to the issuer. False when unreadable.
bool pointNames(const ber::Element& pointName, std::vector<ber::Span>* names) {
    ber::Element choice;
    if (!ber::read(pointName.content, &choice) || choice.whole.size != pointName.content.size) return false;
    if (choice.tag != FULL_NAME) {
        names->push_back(choice.whole);
        return true;
    }
    ber::Reader generalNames(choice);
    ber::Element name;
    while (generalNames.next(&name)) names->push_back(name.whole);
    return !generalNames.failed();
}

// True when one of `names` is among the names of the distribution points of
// a certificate's CRL distribution points extension (`points`, DER).
bool certificateNamesOneOf(const std::vector<ber::Span>& names, const uint8_t* points, size_t pointsLength) {
    ber::Element all;
    if (points == nullptr || !ber::read({points, pointsLength}, &all) || all.tag != ber::SEQUENCE) return false;
    ber::Reader each(all);
    ber::Element point;
    while (each.next(&point)) {
        if (point.tag != ber::SEQUENCE) return false;
        ber::Reader fields(point);
        ber::Element pointName;
        std::vector<ber::Span> named;
        if (!fields.nextIf(POINT_NAME, &pointName) || !pointNames(pointName, &named)) continue;
        for (const ber::Span& name : named) {
            if (std::find(names.begin(), names.end(), name) != names.end()) return true;
        }
    }
    return false;
}

}  // namespace

bool issuingPointCoversAll(const uint8_t* der, size_t length, const uint8_t* certificatePoints, size_t pointsLength) {
    constexpr uint8_t ONLY_USER_CERTS = 0x81;  // [1]: end entities, which signers are
    ber::Element point;
    if (der == nullptr || !ber::read({der, length}, &point) || point.tag != ber::SEQUENCE ||
        point.whole.size != length) {
        return false;
    }
    ber::Reader fields(point);
    ber::Element field;
    while (fields.next(&field)) {
        if (field.tag == POINT_NAME) {
            // A list published for one point (a partition of the issuer's
            // certificates) speaks only for certificates that name that point.
            std::vector<ber::Span> names;
            if (!pointNames(field, &names) || !certificateNamesOneOf(names, certificatePoints, pointsLength)) {
                return false;
            }
        } else if (field.tag != ONLY_USER_CERTS) {
            return false;
        }
    }
    return !fields.failed();
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
    case CRLVERIFY_REVOKED_LATER: return CRLCHECK_REVOKED_LATER;
    case CRLVERIFY_NOT_ESTABLISHED: return CRLCHECK_NOT_ESTABLISHED;
    case CRLVERIFY_FAILED:
    case CRLVERIFY_UNSIGNED:
    case CRLVERIFY_SCOPE:
    case CRLVERIFY_ROLLBACK: return fromCache ? 0 : CRLCHECK_INTERNAL;
    default: return fromCache ? 0 : CRLCHECK_UNEXPECTED;
    }
}

std::string revocationMessage(int32_t code) {
    switch (code) {
    case CRLCHECK_VALID: return quillcheck_messages::REVOCATION_VALID;
    case CRLCHECK_REVOKED: return quillcheck_messages::REVOCATION_REVOKED;
    case CRLCHECK_EXPIRED: return quillcheck_messages::REVOCATION_EXPIRED;
    case CRLCHECK_REVOKED_LATER: return quillcheck_messages::REVOCATION_REVOKED_LATER;
    case CRLCHECK_NOT_ESTABLISHED: return quillcheck_messages::REVOCATION_NOT_ESTABLISHED;
    case CRLCHECK_OCSP_UNKNOWN: return quillcheck_messages::REVOCATION_OCSP_UNKNOWN;
    case CRLCHECK_NETWORK: return quillcheck_messages::REVOCATION_NETWORK;
    case CRLCHECK_AUTH: return quillcheck_messages::REVOCATION_AUTHENTICATION;
    case CRLCHECK_DOWNLOAD: return quillcheck_messages::REVOCATION_DOWNLOAD;
    case CRLCHECK_INTERNAL: return quillcheck_messages::REVOCATION_INTERNAL;
    case CRLCHECK_URL: return quillcheck_messages::REVOCATION_URL;
    case CRLCHECK_URL_PARSE: return quillcheck_messages::REVOCATION_URL_PARSE;
    case CRLCHECK_EMPTY: return quillcheck_messages::REVOCATION_EMPTY_CRL;
    default: return formatMessage(quillcheck_messages::REVOCATION_UNDOCUMENTED, static_cast<unsigned>(code));
    }
}
