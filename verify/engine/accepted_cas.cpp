#include "accepted_cas.h"

void AcceptedCaTable::set(int index, const uint8_t* bytes, uint32_t length) {
    if (index < 0 || index >= ACCEPTED_CA_COUNT) return;
    entries_[index] = {bytes, length};
}

bool AcceptedCaTable::issued(PCCERT_CONTEXT certificate) const {
    for (const Entry& e : entries_) {
        if (e.bytes == nullptr || e.length == 0) continue;
        PCCERT_CONTEXT ca = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                         e.bytes, e.length);
        if (ca == nullptr) continue;
        const bool named = CertCompareCertificateName(X509_ASN_ENCODING, &ca->pCertInfo->Subject,
                                                      &certificate->pCertInfo->Issuer) != FALSE;
        const bool signedByIt =
            named && CryptVerifyCertificateSignature(0, X509_ASN_ENCODING,
                                                     certificate->pbCertEncoded,
                                                     certificate->cbCertEncoded,
                                                     &ca->pCertInfo->SubjectPublicKeyInfo) != FALSE;
        CertFreeCertificateContext(ca);
        if (signedByIt) return true;
    }
    return false;
}
