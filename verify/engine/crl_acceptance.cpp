#include "crl_acceptance.h"

#include <cstring>

namespace {

constexpr DWORD ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
const char INVALIDITY_DATE[] = "2.5.29.24";

struct CrlReleaser {
    void operator()(PCCRL_CONTEXT c) const { CertFreeCRLContext(c); }
};
struct CertificateReleaser {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
using Crl = std::unique_ptr<const CRL_CONTEXT, CrlReleaser>;
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateReleaser>;

Certificate certificateOf(const uint8_t* bytes, size_t length) {
    if (bytes == nullptr || length == 0 || length > MAXDWORD) return nullptr;
    return Certificate(CertCreateCertificateContext(ENCODING, bytes, static_cast<DWORD>(length)));
}

Crl crlOf(const CrlBlob& blob) {
    if (blob.pbData == nullptr || blob.cbData == 0) return nullptr;
    return Crl(CertCreateCRLContext(ENCODING, blob.pbData, blob.cbData));
}

bool sameName(const CERT_NAME_BLOB& a, const CERT_NAME_BLOB& b) {
    return a.cbData == b.cbData && (a.cbData == 0 || std::memcmp(a.pbData, b.pbData, a.cbData) == 0);
}

bool is(const char* oid, const char* wanted) { return std::strcmp(oid, wanted) == 0; }

// The list names `issuer` and its key signed it. The platform picks the
// provider for the list's own algorithm.
bool signedBy(PCCRL_CONTEXT crl, PCCERT_CONTEXT issuer) {
    return sameName(issuer->pCertInfo->Subject, crl->pCrlInfo->Issuer) &&
           CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
                                             const_cast<CRL_CONTEXT*>(crl), CRYPT_VERIFY_CERT_SIGN_ISSUER_PUBKEY,
                                             &issuer->pCertInfo->SubjectPublicKeyInfo, 0, nullptr) != FALSE;
}

const CERT_EXTENSION* crlNumberOf(const CRL_INFO& info) {
    for (DWORD i = 0; i < info.cExtension; ++i) {
        if (is(info.rgExtension[i].pszObjId, szOID_CRL_NUMBER)) return &info.rgExtension[i];
    }
    return nullptr;
}

// The certificate's CRL distribution points extension's value, or null.
const CRYPT_OBJID_BLOB* distributionPointsOf(const CERT_INFO& subject) {
    const CERT_EXTENSION* points = CertFindExtension(szOID_CRL_DIST_POINTS, subject.cExtension, subject.rgExtension);
    return points ? &points->Value : nullptr;
}

// The whole list of the issuer for every reason, or of the point `subject`
// names, and nothing in it that the check would have to understand and does not.
bool fullList(const CRL_INFO& info, const CERT_INFO& subject) {
    const CRYPT_OBJID_BLOB* points = distributionPointsOf(subject);
    for (DWORD i = 0; i < info.cExtension; ++i) {
        const CERT_EXTENSION& extension = info.rgExtension[i];
        const char* oid = extension.pszObjId;
        if (is(oid, szOID_DELTA_CRL_INDICATOR)) return false;  // critical or not, a delta is no full list
        if (is(oid, szOID_ISSUING_DIST_POINT)) {
            if (!issuingPointCoversAll(extension.Value.pbData, extension.Value.cbData, points ? points->pbData : nullptr,
                                       points ? points->cbData : 0)) {
                return false;
            }
        } else if (is(oid, szOID_CRL_NUMBER)) {
            const CRYPT_OBJID_BLOB& value = extension.Value;
            if (crlNumberOrder(value.pbData, value.cbData, value.pbData, value.cbData) != 0) return false;
        } else if (extension.fCritical && !is(oid, szOID_AUTHORITY_KEY_IDENTIFIER2)) {
            return false;
        }
    }
    // A reason or an invalidity date does not change whether an entry revokes;
    // any other critical entry extension (a certificate issuer, for one) might.
    for (DWORD e = 0; e < info.cCRLEntry; ++e) {
        const CRL_ENTRY& entry = info.rgCRLEntry[e];
        for (DWORD i = 0; i < entry.cExtension; ++i) {
            const CERT_EXTENSION& extension = entry.rgExtension[i];
            if (extension.fCritical && !is(extension.pszObjId, szOID_CRL_REASON_CODE) &&
                !is(extension.pszObjId, INVALIDITY_DATE)) {
                return false;
            }
        }
    }
    return true;
}

// Issued before `known`: an earlier this-update, or a lower CRL number.
bool olderThan(const CRL_INFO& list, const CRL_INFO& known) {
    if (CompareFileTime(&list.ThisUpdate, &known.ThisUpdate) < 0) return true;
    const CERT_EXTENSION* number = crlNumberOf(list);
    const CERT_EXTENSION* knownNumber = crlNumberOf(known);
    if (number == nullptr || knownNumber == nullptr) return false;
    return crlNumberOrder(number->Value.pbData, number->Value.cbData, knownNumber->Value.pbData,
                          knownNumber->Value.cbData) < 0;
}

}  // namespace

AcceptedCrl::~AcceptedCrl() = default;

namespace {

const char EXPIRED_CERTS_ON_CRL[] = "2.5.29.60";

// A time extension's value (GeneralizedTime, or UTCTime) as a FILETIME.
bool timeOf(const CRYPT_OBJID_BLOB& value, FILETIME* time) {
    DWORD size = sizeof *time;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, X509_CHOICE_OF_TIME, value.pbData, value.cbData, 0, nullptr, time,
                               &size) != FALSE;
}

// The list's answer for a certificate whose signature a time-stamp proves
// existed at `signedAt`.
int32_t answerAt(const CRL_INFO& list, const CERT_INFO& subject, const FILETIME& now, const FILETIME& signedAt) {
    if (CompareFileTime(&signedAt, &subject.NotBefore) < 0 || CompareFileTime(&signedAt, &subject.NotAfter) > 0) {
        return CRLVERIFY_TIME;
    }
    for (DWORD e = 0; e < list.cCRLEntry; ++e) {
        const CRL_ENTRY& entry = list.rgCRLEntry[e];
        if (!CertCompareIntegerBlob(const_cast<CRYPT_INTEGER_BLOB*>(&entry.SerialNumber),
                                    const_cast<CRYPT_INTEGER_BLOB*>(&subject.SerialNumber))) {
            continue;
        }
        // The key may have been unsafe from its invalidity date, before the revocation.
        FILETIME from = entry.RevocationDate, invalid;
        for (DWORD i = 0; i < entry.cExtension; ++i) {
            if (is(entry.rgExtension[i].pszObjId, INVALIDITY_DATE) && timeOf(entry.rgExtension[i].Value, &invalid) &&
                CompareFileTime(&invalid, &from) < 0) {
                from = invalid;
            }
        }
        return CompareFileTime(&from, &signedAt) > 0 ? CRLVERIFY_REVOKED_LATER : CRLVERIFY_REVOKED;
    }
    // A list may drop a certificate once it has expired: then not being named proves nothing.
    if (CompareFileTime(&now, &subject.NotAfter) > 0) {
        FILETIME keptSince;
        for (DWORD i = 0; i < list.cExtension; ++i) {
            if (is(list.rgExtension[i].pszObjId, EXPIRED_CERTS_ON_CRL) && timeOf(list.rgExtension[i].Value, &keptSince) &&
                CompareFileTime(&keptSince, &subject.NotAfter) <= 0) {
                return CRLVERIFY_GOOD;
            }
        }
        return CRLVERIFY_NOT_ESTABLISHED;
    }
    return CRLVERIFY_GOOD;
}

}  // namespace

int32_t acceptCrl(const CrlBlob& blob, const uint8_t* certificate, size_t length, const std::vector<uint8_t>& issuer,
                  const CrlBlob* known, std::unique_ptr<AcceptedCrl>* accepted, const FILETIME* signedAt) {
    accepted->reset();
    const Crl crl = crlOf(blob);
    if (!crl) return CRLVERIFY_FAILED;
    const CRL_INFO& info = *crl->pCrlInfo;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // A list without a next update (zero) is outdated too.
    if (CompareFileTime(&now, &info.NextUpdate) >= 0) return CRLVERIFY_OUTDATED;
    const Certificate subject = certificateOf(certificate, length);
    if (!subject || !sameName(subject->pCertInfo->Issuer, info.Issuer)) return CRLVERIFY_FAILED;
    const Certificate authority = certificateOf(issuer.data(), issuer.size());
    if (!authority || !signedBy(crl.get(), authority.get())) return CRLVERIFY_UNSIGNED;
    if (!fullList(info, *subject->pCertInfo)) return CRLVERIFY_SCOPE;
    if (known != nullptr) {
        // The copy accepted before counts only when it is the issuer's own.
        const Crl before = crlOf(*known);
        if (before && signedBy(before.get(), authority.get()) && olderThan(info, *before->pCrlInfo)) {
            return CRLVERIFY_ROLLBACK;
        }
    }

    PCRL_INFO lists[] = {crl->pCrlInfo};
    int32_t answer = CertVerifyCRLRevocation(X509_ASN_ENCODING, subject->pCertInfo, 1, lists) ? CRLVERIFY_GOOD
                                                                                              : CRLVERIFY_REVOKED;
    if (CertVerifyTimeValidity(nullptr, subject->pCertInfo) != 0) answer = CRLVERIFY_TIME;
    if (signedAt != nullptr) answer = answerAt(info, *subject->pCertInfo, now, *signedAt);
    accepted->reset(new AcceptedCrl(std::vector<uint8_t>(blob.pbData, blob.pbData + blob.cbData), answer));
    return CRLVERIFY_GOOD;
}
