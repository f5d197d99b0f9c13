#include "timestamp_check.h"

#include <cstring>
#include <vector>

#include "signature_check.h"
#include "signer_details.h"
#include "timestamp_info.h"

namespace {

// The most a token's TSTInfo may take: real ones are a few hundred bytes.
constexpr uint64_t MAX_TST_INFO = 64 * 1024;

// True when the certificate's extended key usage is critical and names time
// stamping alone.
bool isTimeStampingOnly(PCCERT_CONTEXT certificate) {
    const CERT_INFO* info = certificate->pCertInfo;
    PCERT_EXTENSION extension = CertFindExtension(szOID_ENHANCED_KEY_USAGE, info->cExtension, info->rgExtension);
    if (extension == nullptr || !extension->fCritical) return false;
    CERT_ENHKEY_USAGE* usage = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &usage, &size)) {
        return false;
    }
    const bool only = usage->cUsageIdentifier == 1 &&
                      std::strcmp(usage->rgpszUsageIdentifier[0], szOID_PKIX_KP_TIMESTAMP_SIGNING) == 0;
    LocalFree(usage);
    return only;
}

bool decodeTime(const ber::Element& time, FILETIME* out) {
    DWORD size = sizeof *out;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, X509_CHOICE_OF_TIME, time.whole.data,
                               static_cast<DWORD>(time.whole.size), 0, nullptr, out, &size) != FALSE;
}

}  // namespace

SignerTimestamp checkTimestamp(const SignerInfo& signer, const CertificateTrust& trust) {
    SignerTimestamp result;
    const Attribute* attribute = findAttribute(signer.unsignedAttributes, oids::TIMESTAMP_TOKEN);
    if (attribute == nullptr) return result;
    result.outcome = TimestampOutcome::Failed;
    if (attribute->values.empty()) return result;

    // The token: a SignedData of a TSTInfo, its first signer the authority.
    SignedMessage token;
    if (decodeSignedMessage(attribute->values[0].whole, &token) != DecodeResult::Ok ||
        !ber::isOid(token.contentType, oids::TST_INFO) || token.contentLength > MAX_TST_INFO) {
        return result;
    }
    const SignerInfo& authority = token.signers[0];
    const CryptProvider provider = acquireProviderFor(token);
    if (provider.get() == 0 || !authority.hasSignedAttributes ||
        (findAttribute(authority.signedAttributes, oids::SIGNING_CERTIFICATE) == nullptr &&
         findAttribute(authority.signedAttributes, oids::SIGNING_CERTIFICATE_V2) == nullptr)) {
        return result;
    }
    // Its signature, which also binds the signing-certificate attribute to the certificate.
    SignatureChecker checker(token, provider.get());
    if (checker.verify(authority) != SignatureVerdict::Valid) return result;

    std::vector<uint8_t> content;
    forEachContentBlock(token, [&content](ber::Span block) {
        content.insert(content.end(), block.data, block.data + block.size);
        return true;
    });
    TstInfo info;
    FILETIME time;
    if (!readTstInfo({content.data(), content.size()}, &info) || !decodeTime(info.genTime, &time)) return result;
    const std::vector<uint8_t> digest =
        digestOf(provider.get(), hashAlgorithmOf(info.imprintAlgorithm), signer.signature);
    if (digest.empty() || info.imprint != ber::Span{digest.data(), digest.size()}) return result;

    const ber::Span& der = token.certificates[findSignerCertificate(token, authority).index].der;
    PCCERT_CONTEXT certificate = CertCreateCertificateContext(X509_ASN_ENCODING, der.data, static_cast<DWORD>(der.size));
    if (certificate == nullptr) return result;
    if (isTimeStampingOnly(certificate) && validityStatus(*certificate->pCertInfo, time) == 0) {
        result.time = time;
        TrustAnswer answer = trust.timeStamping(certificate, token.certificates, time);
        result.outcome = answer.verdict == TrustAnswer::Verdict::Vouched ? TimestampOutcome::Counts
                                                                         : TimestampOutcome::AuthorityNotAccepted;
        if (result.outcome == TimestampOutcome::Counts) {
            result.authority.assign(der.data, der.data + der.size);
            result.authorityIssuer = std::move(answer.issuer);
            result.qualified = !answer.provider.empty();
        }
    }
    CertFreeCertificateContext(certificate);
    return result;
}
