// Getting a signer's certificate revocation list: the address the certificate
// carries, the copy kept in the user's temporary folder, and a fresh one by
// HTTP (wininet) or LDAP (wldap32). Failures are the CRLCHECK_* codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A CRL's encoded bytes as the check reads them: length, then pointer (the
// shape of an LDAP binary value).
struct CrlBlob {
    uint32_t cbData = 0;
    const uint8_t* pbData = nullptr;
};

inline CrlBlob blobOf(const std::vector<uint8_t>& bytes) {
    return {static_cast<uint32_t>(bytes.size()), bytes.data()};
}

// Downloads larger than this fail as CRLCHECK_NETWORK: real lists are far smaller.
constexpr size_t MAX_CRL_SIZE = 64u << 20;

// The first CRL distribution point's URL of a DER certificate, in the ANSI code
// page; empty when the certificate has none (or cannot be read, or its first
// point is not named by a URL).
std::string GetCrlUrl(const uint8_t* certificate, size_t length);

// The cache file of a cache name: "<temporary folder><name>.crl"; empty when
// the platform gives no temporary folder.
std::string crlCachePath(const std::string& cacheName);

// 1 with the cached copy in `crl`, 0 when there is none (or it cannot be read,
// or is larger than MAX_CRL_SIZE).
int ReadCachedCrl(const std::string& cacheName, std::vector<uint8_t>* crl);

// 1 when the copy was written, 0 otherwise.
int WriteCachedCrl(const CrlBlob& crl, const std::string& cacheName);

// 0 with the body of `url` in `crl` (read once), or CRLCHECK_NETWORK.
int32_t DownloadCrlHttp(const std::string& url, std::vector<uint8_t>* crl);

// 0 with the first value of the entry's CRL attribute in `crl` (empty when the
// entry has none), or CRLCHECK_NETWORK (also for a value over MAX_CRL_SIZE),
// CRLCHECK_AUTH, CRLCHECK_DOWNLOAD.
// The server is asked on port 389 whatever the address says.
int32_t DownloadCrlLdap(const std::string& host, const std::string& objectPart, std::vector<uint8_t>* crl);
