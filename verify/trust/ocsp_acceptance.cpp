#include "ocsp_acceptance.h"

#include <algorithm>
#include <cstring>

#include "accepted_cas.h"
#include "signer_details.h"
#include "trusted_list_acceptance.h"

namespace {

// An answer carries its responder's certificate and perhaps its chain:
// more than this is not looked at.
constexpr size_t MAX_CARRIED = 4;

// Whether the responder ID names this certificate: its subject Name, or the
// SHA-1 of its key.
bool isNamedResponder(const OcspResponse& response, PCCERT_CONTEXT c) {
    if (!response.responderKeyHash.empty()) {
        const std::vector<uint8_t> hash = publicKeySha1(c);
        return hash.size() == response.responderKeyHash.size &&
               std::memcmp(hash.data(), response.responderKeyHash.data, hash.size()) == 0;
    }
    CERT_NAME_BLOB name{static_cast<DWORD>(response.responderName.size),
                        const_cast<BYTE*>(response.responderName.data)};
    return CertCompareCertificateName(X509_ASN_ENCODING, &name, &c->pCertInfo->Subject) != FALSE;
}

bool signedBy(const OcspResponse& response, PCCERT_CONTEXT c) {
    return CryptVerifyCertificateSignature(0, X509_ASN_ENCODING, response.signedContent.data(),
                                           static_cast<DWORD>(response.signedContent.size()),
                                           &c->pCertInfo->SubjectPublicKeyInfo) != FALSE;
}

bool namesOcspSigning(PCCERT_CONTEXT c) {
    const CERT_INFO* info = c->pCertInfo;
    PCERT_EXTENSION extension = CertFindExtension(szOID_ENHANCED_KEY_USAGE, info->cExtension, info->rgExtension);
    if (extension == nullptr) return false;
    CERT_ENHKEY_USAGE* usage = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &usage, &size)) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
        found = found || std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_OCSP_SIGNING) == 0;
    }
    LocalFree(usage);
    return found;
}


// Why no certificate the responder ID names signed the answer with the issuer's leave.
std::string signatureRefusal(const OcspResponse& response, PCCERT_CONTEXT issuer) {
    if (isNamedResponder(response, issuer)) {
        return signedBy(response, issuer) ? "" : "firma della risposta non valida";
    }
    if (response.certificates.size() > MAX_CARRIED) return "troppi certificati nella risposta";
    const FILETIME produced = fileTimeOf(response.producedAt);
    for (const ber::Span& der : response.certificates) {
        PCCERT_CONTEXT responder =
            CertCreateCertificateContext(X509_ASN_ENCODING, der.data, static_cast<DWORD>(der.size));
        if (responder == nullptr) continue;
        std::string refusal;
        if (!isNamedResponder(response, responder)) {
            refusal = "-";  // another certificate: look further
        } else if (!isIssuedBy(responder, issuer)) {
            refusal = "risponditore non autorizzato dall'autorità del certificato";
        } else if (!namesOcspSigning(responder)) {
            refusal = "il certificato del risponditore non è destinato alle risposte OCSP";
        } else if (validityStatus(*responder->pCertInfo, produced) != 0) {
            refusal = "il certificato del risponditore non era valido quando ha risposto";
        } else if (!signedBy(response, responder)) {
            refusal = "firma della risposta non valida";
        }
        CertFreeCertificateContext(responder);
        if (refusal != "-") return refusal;
    }
    return "risposta firmata da un risponditore sconosciuto";
}

}  // namespace

OcspCertId ocspCertIdOf(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
    OcspCertId id;
    id.hashAlgorithm = ber::oidFromText("1.3.14.3.2.26");  // SHA-1
    id.issuerNameHash = sha1Of(issuer->pCertInfo->Subject.pbData, issuer->pCertInfo->Subject.cbData);
    id.issuerKeyHash = publicKeySha1(issuer);
    // CryptoAPI keeps the serial little-endian; the CertID has the INTEGER's octets.
    const CRYPT_INTEGER_BLOB& serial = certificate->pCertInfo->SerialNumber;
    id.serial.assign(serial.pbData, serial.pbData + serial.cbData);
    std::reverse(id.serial.begin(), id.serial.end());
    return id;
}

std::string acceptOcspAnswer(ber::Span bytes, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                             const std::vector<uint8_t>& nonce, UtcSeconds now, OcspAnswer* answer) {
    OcspResponse response;
    if (!readOcspResponse(bytes, &response)) return "risposta OCSP illeggibile";
    const OcspSingleResponse* single = nullptr;
    std::string refusal = ocspAnswerRefusal(response, ocspCertIdOf(certificate, issuer), nonce, now, &single);
    if (refusal.empty()) refusal = signatureRefusal(response, issuer);
    if (!refusal.empty()) return refusal;
    *answer = {single->status, single->revocationTime, single->thisUpdate, response.producedAt,
               single->hasNextUpdate ? single->nextUpdate : single->thisUpdate + OCSP_ANSWER_LIFE};
    return "";
}
