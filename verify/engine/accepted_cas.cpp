#include "accepted_cas.h"

void AcceptedCaTable::set(int index, const uint8_t* bytes, uint32_t length) {
    if (index < 0 || index >= ACCEPTED_CA_COUNT) return;
    entries_[index] = {bytes, length};
}

bool AcceptedCaTable::issuerOf(PCCERT_CONTEXT certificate, std::vector<uint8_t>* authority) const {
    for (const Entry& e : entries_) {
        if (e.bytes == nullptr || e.length == 0) continue;
        PCCERT_CONTEXT ca = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                         e.bytes, e.length);
        if (ca == nullptr) continue;
        const bool signedByIt = isIssuedBy(certificate, ca);
        CertFreeCertificateContext(ca);
        if (signedByIt) {
            if (authority) authority->assign(e.bytes, e.bytes + e.length);
            return true;
        }
    }
    return false;
}

TrustAnswer AcceptedCaTable::signer(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>&,
                                    const FILETIME&) const {
    TrustAnswer answer;
    if (issuerOf(certificate, &answer.issuer)) answer.verdict = TrustAnswer::Verdict::Vouched;
    return answer;
}

TrustAnswer AcceptedCaTable::timeStamping(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                                          const FILETIME& time) const {
    return signer(certificate, carried, time);
}

bool isIssuedBy(PCCERT_CONTEXT certificate, PCCERT_CONTEXT candidate) {
    return CertCompareCertificateName(X509_ASN_ENCODING, &candidate->pCertInfo->Subject,
                                      &certificate->pCertInfo->Issuer) != FALSE &&
           CryptVerifyCertificateSignature(0, X509_ASN_ENCODING, certificate->pbCertEncoded,
                                           certificate->cbCertEncoded,
                                           &candidate->pCertInfo->SubjectPublicKeyInfo) != FALSE;
}

std::vector<uint8_t> sha1Of(const BYTE* data, DWORD size) {
    BYTE digest[20];
    DWORD length = sizeof digest;
    if (!CryptHashCertificate(0, CALG_SHA1, 0, data, size, digest, &length)) return {};
    return {digest, digest + length};
}

std::vector<uint8_t> publicKeySha1(PCCERT_CONTEXT certificate) {
    const CRYPT_BIT_BLOB& key = certificate->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    return sha1Of(key.pbData, key.cbData);
}
