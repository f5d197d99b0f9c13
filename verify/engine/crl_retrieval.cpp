#include "crl_retrieval.h"

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>
#include <winldap.h>
#include <winber.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "ansi_text.h"
#include "decoded_object.h"
#include "crl_rules.h"

namespace {

constexpr DWORD ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr ULONG LDAP_SERVER_PORT = 389;
constexpr ULONG LDAP_CONNECT_SECONDS = 10;

struct CertificateReleaser {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
struct InternetCloser {
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
struct LdapUnbinder {
    void operator()(LDAP* ld) const { ldap_unbind(ld); }
};
struct LdapMessageReleaser {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
struct LdapValuesReleaser {
    void operator()(berval** values) const { ldap_value_free_len(values); }
};
using LdapValues = std::unique_ptr<berval*, LdapValuesReleaser>;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string GetCrlUrl(const uint8_t* certificate, size_t length) {
    if (certificate == nullptr || length == 0 || length > MAXDWORD) return "";
    // The platform's parser reads from a private copy.
    std::vector<BYTE> copy(certificate, certificate + length);
    std::unique_ptr<const CERT_CONTEXT, CertificateReleaser> context(
        CertCreateCertificateContext(ENCODING, copy.data(), static_cast<DWORD>(copy.size())));
    if (!context) return "";
    const CERT_INFO* info = context->pCertInfo;
    const CERT_EXTENSION* points = nullptr;
    for (DWORD i = 0; i < info->cExtension && points == nullptr; ++i) {
        if (std::strcmp(info->rgExtension[i].pszObjId, szOID_CRL_DIST_POINTS) == 0) points = &info->rgExtension[i];
    }
    if (points == nullptr) return "";
    const std::vector<BYTE> decoded = decodedObject(points->pszObjId, points->Value.pbData, points->Value.cbData);
    if (decoded.empty()) return "";
    const auto* list = reinterpret_cast<const CRL_DIST_POINTS_INFO*>(decoded.data());
    if (list->cDistPoint == 0) return "";
    const CRL_DIST_POINT_NAME& name = list->rgDistPoint[0].DistPointName;
    // Only a URL names a list to fetch; a directory name or anything else gives no address.
    if (name.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME || name.FullName.cAltEntry == 0 ||
        name.FullName.rgAltEntry[0].dwAltNameChoice != CERT_ALT_NAME_URL) {
        return "";
    }
    return ansiText(name.FullName.rgAltEntry[0].pwszURL, -1);
}

std::string crlCachePath(const CrlUrl& url) {
    char folder[2048];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return "";
    return std::string(folder) + CRL_CACHE_FOLDER + "\\" + CrlCacheName(url) + ".crl";
}

int ReadCachedCrl(const CrlUrl& url, std::vector<uint8_t>* crl) {
    const std::string path = crlCachePath(url);
    if (path.empty()) return 0;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return 0;
    const long size = std::ftell(file.get());
    if (size < 0 || static_cast<unsigned long>(size) > MAX_CRL_SIZE || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return 0;
    }
    crl->assign(static_cast<size_t>(size) + 1, 0);
    crl->resize(std::fread(crl->data(), 1, static_cast<size_t>(size), file.get()));
    return 1;
}

bool replaceCacheFile(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) return false;
    // The folder is made when first needed; a file in its place is no folder.
    const std::string folder = path.substr(0, path.rfind('\\'));
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;

    const std::string aside = path + ".new";
    std::unique_ptr<FILE, FileCloser> file(std::fopen(aside.c_str(), "wb"));
    if (!file) return false;
    const bool written = std::fwrite(data, 1, size, file.get()) == size;
    if (std::fclose(file.release()) != 0 || !written ||
        !MoveFileExA(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(aside.c_str());
        return false;
    }
    return true;
}

int WriteCachedCrl(const AcceptedCrl& crl, const CrlUrl& url) {
    const CrlBlob blob = crl.blob();
    return replaceCacheFile(crlCachePath(url), blob.pbData, blob.cbData) ? 1 : 0;
}

int32_t DownloadCrlHttp(const std::string& url, std::vector<uint8_t>* crl) { return DownloadHttp(url, MAX_CRL_SIZE, crl); }

namespace {

// A session whose every step (connect, send, receive) ends in time, also
// when the download is left running past the check's deadline.
std::unique_ptr<void, InternetCloser> openInternet() {
    std::unique_ptr<void, InternetCloser> internet(
        InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return internet;
    DWORD milliseconds = CRL_RETRIEVAL_SECONDS * 1000;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(internet.get(), option, &milliseconds, sizeof milliseconds);
    }
    return internet;
}

// A fresh copy every time, without cookies, and no logon to a host that a
// certificate named.
constexpr DWORD REQUEST_FLAGS = INTERNET_FLAG_RAW_DATA | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                                INTERNET_FLAG_NO_UI;

// The body of an answered request, read once into a buffer that grows as it
// arrives: 0, or CRLCHECK_DOWNLOAD for a status but 200, CRLCHECK_NETWORK for
// a body over `limit` bytes or one that ends before its announced length.
int32_t readAnswer(HINTERNET request, size_t limit, std::vector<uint8_t>* body) {
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status != 200) {
        return CRLCHECK_DOWNLOAD;  // a page that says why there is no answer is no answer
    }
    DWORD announced = 0;
    size = sizeof announced;
    const bool lengthKnown =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr) != FALSE;
    if (lengthKnown && announced > limit) return CRLCHECK_NETWORK;
    BYTE piece[1024];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, piece, sizeof piece, &read) || body->size() + read > limit) {
            body->clear();
            return CRLCHECK_NETWORK;
        }
        if (read == 0) break;
        body->insert(body->end(), piece, piece + read);
    }
    if (lengthKnown && body->size() != announced) {  // the connection ended early
        body->clear();
        return CRLCHECK_NETWORK;
    }
    return 0;
}

}  // namespace

int32_t DownloadHttp(const std::string& url, size_t limit, std::vector<uint8_t>* body) {
    body->clear();
    const auto internet = openInternet();
    if (!internet) return CRLCHECK_NETWORK;
    std::unique_ptr<void, InternetCloser> request(
        InternetOpenUrlA(internet.get(), url.c_str(), nullptr, 0, REQUEST_FLAGS, 0));
    if (!request) return CRLCHECK_NETWORK;
    return readAnswer(request.get(), limit, body);
}

int32_t PostHttp(const std::string& url, const char* contentType, const std::vector<uint8_t>& request,
                 const char* answerType, size_t limit, std::vector<uint8_t>* answer) {
    answer->clear();
    char host[256] = "", path[2048] = "";
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        parts.nScheme != INTERNET_SCHEME_HTTP || host[0] == '\0') {
        return CRLCHECK_NETWORK;
    }
    const auto internet = openInternet();
    if (!internet) return CRLCHECK_NETWORK;
    std::unique_ptr<void, InternetCloser> connection(
        InternetConnectA(internet.get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return CRLCHECK_NETWORK;
    const char* accepted[] = {answerType, nullptr};
    std::unique_ptr<void, InternetCloser> sent(HttpOpenRequestA(connection.get(), "POST", path[0] ? path : "/",
                                                                nullptr, nullptr, accepted, REQUEST_FLAGS, 0));
    if (!sent) return CRLCHECK_NETWORK;
    const std::string headers = std::string("Content-Type: ") + contentType + "\r\n";
    if (!HttpSendRequestA(sent.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<uint8_t*>(request.data()), static_cast<DWORD>(request.size()))) {
        return CRLCHECK_NETWORK;
    }
    const int32_t read = readAnswer(sent.get(), limit, answer);
    if (read != 0) return read;
    // Only an answer that says it is one is read as one.
    char type[128] = "";
    DWORD size = sizeof type;
    if (!HttpQueryInfoA(sent.get(), HTTP_QUERY_CONTENT_TYPE, type, &size, nullptr) ||
        lstrcmpiA(type, answerType) != 0) {
        answer->clear();
        return CRLCHECK_DOWNLOAD;
    }
    return 0;
}

int32_t DownloadCrlLdap(const std::string& host, const std::string& objectPart, std::vector<uint8_t>* crl) {
    crl->clear();
    std::unique_ptr<LDAP, LdapUnbinder> ld(ldap_initA(const_cast<char*>(host.c_str()), LDAP_SERVER_PORT));
    if (!ld) return CRLCHECK_NETWORK;
    // Windows' client speaks version 2 unless told, which directories today refuse.
    ULONG version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    l_timeval timeout = {static_cast<LONG>(LDAP_CONNECT_SECONDS), 0};
    if (ldap_connect(ld.get(), &timeout) != LDAP_SUCCESS) return CRLCHECK_NETWORK;

    // The bind names the list's entry, without a password. (Not the object
    // part as it stands: with its "/" and query it is no distinguished name,
    // and a server refuses it as one.) A server that cannot be reached is a
    // network failure: the platform's connect may leave that to the bind.
    const std::string name = ldapBindName(objectPart);
    const ULONG bound = ldap_simple_bind_sA(ld.get(), const_cast<char*>(name.c_str()), nullptr);
    if (bound == LDAP_SERVER_DOWN || bound == LDAP_CONNECT_ERROR || bound == LDAP_TIMEOUT) return CRLCHECK_NETWORK;
    if (bound != LDAP_SUCCESS) return CRLCHECK_AUTH;
    const std::string base = ldapSearchBase(objectPart);
    LDAPMessage* found = nullptr;
    const ULONG searched = ldap_search_sA(ld.get(), const_cast<char*>(base.c_str()), LDAP_SCOPE_BASE,
                                          const_cast<char*>("(certificateRevocationList=*)"), nullptr, 0, &found);
    std::unique_ptr<LDAPMessage, LdapMessageReleaser> result(found);
    if (searched != LDAP_SUCCESS) return CRLCHECK_DOWNLOAD;

    LDAPMessage* entry = ldap_first_entry(ld.get(), result.get());
    if (entry == nullptr) return 0;
    // Every attribute of the entry; the last one named for the list wins.
    LdapValues kept;
    BerElement* position = nullptr;
    for (char* name = ldap_first_attributeA(ld.get(), entry, &position); name != nullptr;
         name = ldap_next_attributeA(ld.get(), entry, position)) {
        LdapValues values(ldap_get_values_lenA(ld.get(), entry, name));
        if (isCrlAttributeName(name)) kept = std::move(values);
        ldap_memfreeA(name);
    }
    if (position != nullptr) ber_free(position, 0);
    if (kept && kept.get()[0] != nullptr && kept.get()[0]->bv_len > 0) {
        const berval* first = kept.get()[0];
        if (first->bv_len > MAX_CRL_SIZE) return CRLCHECK_NETWORK;
        crl->assign(reinterpret_cast<const uint8_t*>(first->bv_val),
                    reinterpret_cast<const uint8_t*>(first->bv_val) + first->bv_len);
    }
    return 0;
}

int32_t DownloadWithin(unsigned seconds, std::function<int32_t(std::vector<uint8_t>*)> download,
                       std::vector<uint8_t>* bytes) {
    bytes->clear();
    // What the download thread and the caller share; the last one to let go frees it.
    struct Shared {
        std::mutex lock;
        std::condition_variable ended;
        bool finished = false;
        int32_t code = CRLCHECK_NETWORK;
        std::vector<uint8_t> bytes;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread([shared, download] {
        std::vector<uint8_t> got;
        int32_t code;
        try {
            code = download(&got);
        } catch (...) {
            code = CRLCHECK_EXCEPTION;
        }
        const std::lock_guard<std::mutex> hold(shared->lock);
        shared->code = code;
        shared->bytes.swap(got);
        shared->finished = true;
        shared->ended.notify_all();
    }).detach();
    std::unique_lock<std::mutex> hold(shared->lock);
    if (!shared->ended.wait_for(hold, std::chrono::seconds(seconds), [&] { return shared->finished; })) {
        return CRLCHECK_NETWORK;
    }
    bytes->swap(shared->bytes);
    return shared->code;
}

int32_t DownloadCrl(const std::string& address, const CrlUrl& url, unsigned seconds, std::vector<uint8_t>* crl) {
    return DownloadWithin(
        seconds,
        [address, url](std::vector<uint8_t>* bytes) {
            return url.http ? DownloadCrlHttp(address, bytes) : DownloadCrlLdap(url.host, url.objectPart, bytes);
        },
        crl);
}
