#include "revocation_check.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <memory>

#include "message_box.h"

namespace {

constexpr DWORD ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct CrlReleaser {
    void operator()(PCCRL_CONTEXT c) const { CertFreeCRLContext(c); }
};
struct CertificateReleaser {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateReleaser>;

Certificate certificateOf(const uint8_t* bytes, size_t length) {
    if (bytes == nullptr || length == 0 || length > MAXDWORD) return nullptr;
    return Certificate(CertCreateCertificateContext(ENCODING, bytes, static_cast<DWORD>(length)));
}

bool sameBlob(const CERT_NAME_BLOB& a, const CERT_NAME_BLOB& b) {
    return a.cbData == b.cbData && (a.cbData == 0 || std::memcmp(a.pbData, b.pbData, a.cbData) == 0);
}

// The issuer's key verifies the list's signature. The platform picks the
// provider for the list's own algorithm.
bool signedByIssuer(PCCRL_CONTEXT crl, const std::vector<uint8_t>& issuer) {
    const Certificate authority = certificateOf(issuer.data(), issuer.size());
    if (!authority) return false;
    return CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
                                             const_cast<CRL_CONTEXT*>(crl), CRYPT_VERIFY_CERT_SIGN_ISSUER_PUBKEY,
                                             &authority->pCertInfo->SubjectPublicKeyInfo, 0, nullptr) != FALSE;
}

}  // namespace

int32_t CheckCertificateAgainstCrl(const CrlBlob& blob, const uint8_t* certificate, size_t length,
                                   const std::vector<uint8_t>& issuer) {
    if (blob.pbData == nullptr || blob.cbData == 0) return CRLVERIFY_FAILED;
    std::unique_ptr<const CRL_CONTEXT, CrlReleaser> crl(CertCreateCRLContext(ENCODING, blob.pbData, blob.cbData));
    if (!crl) return CRLVERIFY_FAILED;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // A list without a next update (zero) is outdated too.
    if (CompareFileTime(&now, &crl->pCrlInfo->NextUpdate) >= 0) return CRLVERIFY_OUTDATED;
    const Certificate subject = certificateOf(certificate, length);
    if (!subject) return CRLVERIFY_FAILED;
    if (!sameBlob(subject->pCertInfo->Issuer, crl->pCrlInfo->Issuer)) return CRLVERIFY_FAILED;
    if (!issuer.empty() && !signedByIssuer(crl.get(), issuer)) return CRLVERIFY_FAILED;

    PCRL_INFO lists[] = {crl->pCrlInfo};
    int32_t result = CertVerifyCRLRevocation(X509_ASN_ENCODING, subject->pCertInfo, 1, lists) ? CRLVERIFY_GOOD
                                                                                              : CRLVERIFY_REVOKED;
    if (CertVerifyTimeValidity(nullptr, subject->pCertInfo) != 0) result = CRLVERIFY_TIME;
    return result;
}

int32_t CheckRevocation(const uint8_t* certificate, size_t length, int skipCache, const std::vector<uint8_t>& issuer) {
    try {
        const std::string address = GetCrlUrl(certificate, length);
        if (address.empty()) return CRLCHECK_URL;
        CrlUrl url;
        if (!parseCrlUrl(address, &url)) return CRLCHECK_URL_PARSE;
        const std::string cacheName = CrlCacheName(url.objectPart);

        std::vector<uint8_t> crl;
        if (!skipCache && !cacheName.empty() && ReadCachedCrl(cacheName, &crl)) {
            const int32_t cached =
                revocationResultOf(CheckCertificateAgainstCrl(blobOf(crl), certificate, length, issuer), true);
            if (cached != 0) return cached;
        }
        const int32_t downloaded = url.http ? DownloadCrlHttp(address, &crl)
                                            : DownloadCrlLdap(url.host, url.objectPart, &crl);
        if (downloaded != 0) return downloaded;
        if (crl.empty()) return CRLCHECK_EMPTY;
        // Cached before the check: a list the check refuses is fetched anew next time.
        if (!cacheName.empty()) WriteCachedCrl(blobOf(crl), cacheName);
        return revocationResultOf(CheckCertificateAgainstCrl(blobOf(crl), certificate, length, issuer), false);
    } catch (...) {
        return CRLCHECK_EXCEPTION;
    }
}

int32_t ReportRevocation(int index, const SignedFileRecord& record) {
    static const std::vector<uint8_t> none;
    const bool known = index >= 0 && index < record.signerCount && index < static_cast<int>(MAX_SIGNERS);
    const std::vector<uint8_t>& certificate = known ? record.signerCerts[index] : none;
    const std::vector<uint8_t>& issuer = known ? record.issuerCerts[index] : none;
    const int32_t code = CheckRevocation(certificate.data(), certificate.size(), 0, issuer);
    showProgramMessage(revocationMessage(code).c_str(), MB_OK);
    return 0;
}
