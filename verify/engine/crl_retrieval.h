// Getting a signer's certificate revocation list: the address the certificate
// carries, the copy kept in a folder of the program's own under the user's
// temporary folder, and a fresh one by HTTP (wininet) or LDAP (wldap32).
// Failures are the CRLCHECK_* codes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crl_acceptance.h"
#include "crl_rules.h"

// Downloads larger than this fail as CRLCHECK_NETWORK: real lists are far smaller.
constexpr size_t MAX_CRL_SIZE = 64u << 20;

// The first CRL distribution point's URL of a DER certificate, in the ANSI code
// page; empty when the certificate has none (or cannot be read, or its first
// point is not named by a URL).
std::string GetCrlUrl(const uint8_t* certificate, size_t length);

// The folder of the cached lists, in the temporary folder.
constexpr char CRL_CACHE_FOLDER[] = "quillcheck-crl";

// The cache file of an address: "<temporary folder>quillcheck-crl\<CrlCacheName>.crl";
// empty when the platform gives no temporary folder.
std::string crlCachePath(const CrlUrl& url);

// 1 with the cached copy in `crl`, 0 when there is none (or it cannot be read,
// or is larger than MAX_CRL_SIZE). What it holds is to be believed only after
// acceptCrl.
int ReadCachedCrl(const CrlUrl& url, std::vector<uint8_t>* crl);

// Keeps `size` bytes as the cache file `path`: its folder made when first
// needed, the bytes written aside, then moved over the copy before, so that a
// reader never finds half a file. True when they were kept.
bool replaceCacheFile(const std::string& path, const uint8_t* data, size_t size);

// Keeps a list that passed the gate as the copy of its address, in place of
// the one before (written aside, then moved over it); 1 when it was kept.
int WriteCachedCrl(const AcceptedCrl& crl, const CrlUrl& url);

// 0 with the body of `url` in `body` (read once), or CRLCHECK_NETWORK (also
// for a body over `limit` bytes), CRLCHECK_DOWNLOAD for a status but 200.
int32_t DownloadHttp(const std::string& url, size_t limit, std::vector<uint8_t>* body);

// 0 with the answer to an HTTP POST of `request` (of `contentType`) to `url`
// in `answer`, under the same deadlines and flags as DownloadHttp: or
// CRLCHECK_NETWORK (no connection, a body over `limit` bytes or cut short),
// CRLCHECK_DOWNLOAD for a status but 200 or an answer whose content type is
// not `answerType`.
int32_t PostHttp(const std::string& url, const char* contentType, const std::vector<uint8_t>& request,
                 const char* answerType, size_t limit, std::vector<uint8_t>* answer);

// DownloadHttp of a revocation list: at most MAX_CRL_SIZE.
int32_t DownloadCrlHttp(const std::string& url, std::vector<uint8_t>* crl);

// 0 with the first value of the entry's CRL attribute in `crl` (empty when the
// entry has none), or CRLCHECK_NETWORK (also for a value over MAX_CRL_SIZE),
// CRLCHECK_AUTH, CRLCHECK_DOWNLOAD.
// The server is asked on port 389 whatever the address says.
int32_t DownloadCrlLdap(const std::string& host, const std::string& objectPart, std::vector<uint8_t>* crl);

// `download` run within `seconds`: its result and bytes, or CRLCHECK_NETWORK
// after that. A download still running then is left to end by itself; it
// holds only its own copies.
int32_t DownloadWithin(unsigned seconds, std::function<int32_t(std::vector<uint8_t>*)> download,
                       std::vector<uint8_t>* bytes);

// The list of `address` (parsed as `url`) by HTTP or LDAP, as the two above,
// within `seconds` for the whole of it: after that, CRLCHECK_NETWORK. A
// download still running then is left to end by itself; it holds only its
// own copies.
int32_t DownloadCrl(const std::string& address, const CrlUrl& url, unsigned seconds, std::vector<uint8_t>* crl);
