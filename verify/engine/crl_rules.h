// The rules of the revocation check that need no platform: the result codes,
// how a CRL address is split, the cache name and the LDAP search base made
// from it, which LDAP attribute holds the list, and the message the user reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// CheckRevocation's results: the three answers, then the failures.
constexpr int32_t CRLCHECK_VALID = 3;
constexpr int32_t CRLCHECK_REVOKED = 1;
constexpr int32_t CRLCHECK_EXPIRED = 2;
// Where a time-stamp proves when the signature existed: revoked only after
// that time (the signature stays valid), and expired since while the list
// does not keep expired certificates (whether it was revoked is not known).
constexpr int32_t CRLCHECK_REVOKED_LATER = 4;
constexpr int32_t CRLCHECK_NOT_ESTABLISHED = 5;
// The authority's OCSP responder answered that it does not know the certificate.
constexpr int32_t CRLCHECK_OCSP_UNKNOWN = 6;
constexpr int32_t CRLCHECK_NETWORK = -1;    // no Internet access, URL or LDAP connection
constexpr int32_t CRLCHECK_AUTH = -2;       // the LDAP bind failed
constexpr int32_t CRLCHECK_DOWNLOAD = -3;   // the LDAP search failed
constexpr int32_t CRLCHECK_INTERNAL = -4;   // the downloaded list is unreadable or of another issuer
constexpr int32_t CRLCHECK_URL = -5;        // the certificate gives no CRL address
constexpr int32_t CRLCHECK_URL_PARSE = -6;  // the address is no URL
constexpr int32_t CRLCHECK_EMPTY = -11;     // nothing was retrieved
constexpr int32_t CRLCHECK_UNEXPECTED = -1000;
constexpr int32_t CRLCHECK_EXCEPTION = static_cast<int32_t>(0x80000000u);

// CheckCertificateAgainstCrl's results. The negative ones are lists that are
// not believed.
constexpr int32_t CRLVERIFY_GOOD = 0;
constexpr int32_t CRLVERIFY_REVOKED = 1;
constexpr int32_t CRLVERIFY_TIME = 2;       // now (or the time-stamp's time) is outside the certificate's validity
constexpr int32_t CRLVERIFY_REVOKED_LATER = 3;    // listed with a date after the time-stamp's time
constexpr int32_t CRLVERIFY_NOT_ESTABLISHED = 4;  // expired, unlisted, and the list keeps no expired certificates
constexpr int32_t CRLVERIFY_FAILED = -1;    // unreadable, or not the issuer's list
constexpr int32_t CRLVERIFY_UNSIGNED = -2;  // the issuer is unknown, or its key did not sign the list
constexpr int32_t CRLVERIFY_SCOPE = -3;     // not a full list: delta, partial, or a critical extension not understood
constexpr int32_t CRLVERIFY_ROLLBACK = -4;  // older than the copy accepted before
constexpr int32_t CRLVERIFY_OUTDATED = -5;  // the list's next update is not later than now

// How long a download may take, connection included; after it the check
// reports the network failure.
constexpr unsigned CRL_RETRIEVAL_SECONDS = 20;

// A CRL address split as the dialog framework's URL splitter does it, with
// %-escapes decoded and nothing encoded again. User name, password and port
// are read and not used.
struct CrlUrl {
    bool http = false;       // the scheme is http; every other one goes by LDAP
    std::string host;
    std::string objectPart;  // from the "/" after the host on, query included ("/" when none)
};

// False when `address` is no URL: no "scheme://", an empty host, a port that
// is not a number. A "%" without two hex digits after it stays as it is.
bool parseCrlUrl(const std::string& address, CrlUrl* url);

// The cache file's name (without ".crl") for an address: "http-" or "ldap-",
// then host and object part with every character but letters, digits, "." and
// "-" written "_" (cut at 96 characters), then "-" and eight hex digits of a
// digest of the whole address, which keeps apart what the cut or the "_" join.
// Such a name is a plain file name, never a device's ("CON", "LPT1"...).
std::string CrlCacheName(const CrlUrl& url);

// A cache file's name by the same rule: `prefix` (a few letters and "-"),
// then `key` with every character but letters, digits, "." and "-" written
// "_" (cut at 96 characters), then "-" and eight hex digits of a digest of
// prefix and whole key.
std::string cacheFileName(const std::string& prefix, const std::string& key);

// The order of two CRL numbers given as their DER INTEGERs (tag, length,
// content): -1, 0 or 1; -2 when either is no non-negative INTEGER.
int crlNumberOrder(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength);

// True when an issuing distribution point extension's value (DER) leaves the
// list whole for a signer's certificate, whose CRL distribution points
// extension's value is `certificatePoints` (null when it has none): it may
// limit the list to end entities and name where the list is published,
// nothing else (not to CA or attribute certificates, not to some reasons,
// not indirect); a named point must be one the certificate names too (one
// GeneralName in common), for a list of one point speaks only for its own
// part of the issuer's certificates. False too when a value cannot be read.
bool issuingPointCoversAll(const uint8_t* der, size_t length, const uint8_t* certificatePoints, size_t pointsLength);

// The LDAP search base: the object part without "?certificaterevocationlist"
// (written so; another spelling stays) and without its first character.
std::string ldapSearchBase(const std::string& objectPart);

// The name the LDAP bind gives: the entry's distinguished name, that is the
// object part without its first character and without its query (from "?" on).
std::string ldapBindName(const std::string& objectPart);

// True for an LDAP attribute that holds the list: its first 25 characters are
// "certificateRevocationList" in any case, so "...;binary" counts too.
bool isCrlAttributeName(const char* name);

// What a check of the cached copy (`fromCache`) or of a downloaded list
// means for the user; a cached copy that does not settle the question gives 0
// (download a fresh one).
int32_t revocationResultOf(int32_t verifyResult, bool fromCache);

// The text of the box that reports a CheckRevocation result.
std::string revocationMessage(int32_t code);
