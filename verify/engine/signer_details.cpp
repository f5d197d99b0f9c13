#include "signer_details.h"

#include <cstdio>
#include <cstring>

#include "certificate_use.h"
#include "signer_display.h"
#include "timestamp_check.h"

namespace {

void copyText(char* slot, const std::string& text) {
    std::snprintf(slot, SIGNER_TEXT_SIZE, "%s", text.c_str());
}

// The name that the signed file gives the signer: from the personal-data
// attributes (unsigned, then signed), later ones replacing earlier ones. Each
// counts only when it names the certificate's own subject: a signature covers
// what its key signed, not who the certificate says holds the key, so a
// signed record of another person's name is as false as an unsigned one.
void nameFromSignedFile(const SignerInfo& signer, const MessageCertificate& certificate, char* slot) {
    const auto take = [&](const std::vector<Attribute>& attributes, const std::vector<uint8_t>& type) {
        for (const Attribute& a : attributes) {
            PersonalDataName name;
            if (ber::isOid(a.type, type) && !a.values.empty() && readPersonalDataName(a.values[0].whole, &name) &&
                isSubjectsOwnName(name, certificate.subject)) {
                copyText(slot, name.joined());
            }
        }
    };
    take(signer.unsignedAttributes, oids::UNSTRUCTURED_NAME);
    take(signer.signedAttributes, oids::SUBJECT_ALT_NAME);
}

std::string expiryDate(const CERT_INFO* info) {
    SYSTEMTIME end;
    if (!FileTimeToSystemTime(&info->NotAfter, &end)) return "";
    return expiryDateText(end.wDay, end.wMonth, end.wYear);
}

}  // namespace

std::string signingTimeOf(const SignerInfo& signer) {
    if (!signer.hasSignedAttributes) return "";
    const Attribute* attribute = findAttribute(signer.signedAttributes, oids::SIGNING_TIME);
    if (attribute == nullptr || attribute->values.size() != 1) return "";
    const ber::Span& value = attribute->values[0].whole;
    // CHOICE OF TIME reads either form of time.
    FILETIME time;
    DWORD size = sizeof time;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_CHOICE_OF_TIME, value.data, static_cast<DWORD>(value.size), 0,
                             nullptr, &time, &size)) {
        return "";
    }
    return localTimeText(time);
}

std::string localTimeText(const FILETIME& time) {
    SYSTEMTIME utc, local;
    if (!FileTimeToSystemTime(&time, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return "";
    return signingTimeText(local.wDay, local.wMonth, local.wYear, local.wHour, local.wMinute);
}

std::string subjectCommonName(PCCERT_CONTEXT certificate) {
    CERT_NAME_INFO* name = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_NAME, certificate->pCertInfo->Subject.pbData,
                             certificate->pCertInfo->Subject.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             &name, &size)) {
        return "";
    }
    std::string result;
    for (DWORD i = 0; i < name->cRDN; ++i) {
        const CERT_RDN& rdn = name->rgRDN[i];
        if (rdn.cRDNAttr == 0 || std::strcmp(rdn.rgRDNAttr[0].pszObjId, szOID_COMMON_NAME) != 0) continue;
        char text[SIGNER_TEXT_SIZE];
        CertRDNValueToStrA(rdn.rgRDNAttr[0].dwValueType, &rdn.rgRDNAttr[0].Value, text, sizeof text);
        result = text;
        break;
    }
    LocalFree(name);
    return result;
}

namespace {

// The certificate of the file that issued `certificate`, when there is one.
// Only the first few certificates with the issuer's name are tried: a real
// file carries one or two, and a crafted one must not cost a signature check
// for every certificate it holds.
void carriedIssuer(const SignedMessage& message, PCCERT_CONTEXT certificate, std::vector<uint8_t>* issuer) {
    constexpr int MAX_NAMESAKES = 16;
    const ber::Span issuerName{certificate->pCertInfo->Issuer.pbData, certificate->pCertInfo->Issuer.cbData};
    int tried = 0;
    for (const MessageCertificate& carried : message.certificates) {
        if (carried.subject != issuerName) continue;
        if (++tried > MAX_NAMESAKES) return;
        PCCERT_CONTEXT candidate =
            CertCreateCertificateContext(X509_ASN_ENCODING, carried.der.data, static_cast<DWORD>(carried.der.size));
        if (candidate == nullptr) continue;
        const bool found = isIssuedBy(certificate, candidate);
        CertFreeCertificateContext(candidate);
        if (found) {
            issuer->assign(carried.der.data, carried.der.data + carried.der.size);
            return;
        }
    }
}

}  // namespace

namespace {

// An extension's value, empty when the certificate has none.
ber::Span extensionValue(const CERT_INFO& certificate, const char* oid) {
    const CERT_EXTENSION* found = CertFindExtension(oid, certificate.cExtension, certificate.rgExtension);
    return found ? ber::Span{found->Value.pbData, found->Value.cbData} : ber::Span{};
}

// KEY_USAGE_NOT_SIGNING or EXTENDED_USE_NOT_SIGNING for a certificate not
// issued for signing documents.
SignerStatus useStatus(const CERT_INFO& certificate) {
    switch (certificateUseOf(extensionValue(certificate, szOID_KEY_USAGE),
                             extensionValue(certificate, szOID_ENHANCED_KEY_USAGE))) {
    case CertificateUse::KeyUsageOther: return KEY_USAGE_NOT_SIGNING;
    case CertificateUse::ExtendedUseOther: return EXTENDED_USE_NOT_SIGNING;
    case CertificateUse::Signing: break;
    }
    return 0;
}

}  // namespace

SignerStatus validityStatus(const CERT_INFO& certificate, const FILETIME& now) {
    if (CompareFileTime(&now, &certificate.NotBefore) <= 0) return NOT_YET_VALID;
    if (CompareFileTime(&now, &certificate.NotAfter) >= 0) return EXPIRED;
    return 0;
}

int32_t readSignerDetails(const SignedMessage& message, const CertificateTrust& trust, const FILETIME& now,
                          const SignerDetailSlots& slots) {
    for (size_t g = 0; g < message.signers.size(); ++g) {
        const SignerInfo& signer = message.signers[g];
        if (signer.unreadable) continue;  // no certificate to name: no name, no date
        const CertificateChoice choice = findSignerCertificate(message, signer);
        if (choice.index < 0) continue;  // no certificate at all: no name, no date
        const MessageCertificate& chosen = message.certificates[choice.index];
        PCCERT_CONTEXT certificate =
            CertCreateCertificateContext(X509_ASN_ENCODING, chosen.der.data, static_cast<DWORD>(chosen.der.size));
        SignerStatus& status = slots.statuses[g];
        if (certificate == nullptr) {
            // The platform cannot read it, so no signature of it verified: a
            // red row of its own, which decides nothing about the file.
            status |= SIGNATURE_INVALID | CERTIFICATE_UNREADABLE;
            continue;
        }
        slots.handles[g] = certificate;

        // A signature that did not verify vouches for no record of the file:
        // its signer is named by the certificate.
        if (choice.matched && !(status & (SIGNATURE_INVALID | NOT_VERIFIABLE))) {
            nameFromSignedFile(signer, chosen, slots.names[g]);
        }
        if (std::strlen(slots.names[g]) < 5) {
            const std::string commonName = subjectCommonName(certificate);
            if (!commonName.empty()) copyText(slots.names[g], commonName);
        }
        // The time of a verified signature that a token proves is when the
        // certificate had to be valid and its authority trusted.
        FILETIME judged = now;
        if (status == 0) {
            SignerTimestamp timestamp = checkTimestamp(signer, trust);
            switch (timestamp.outcome) {
            case TimestampOutcome::Counts:
                judged = timestamp.time;
                status |= TIMESTAMPED;
                slots.stamps[g] = std::move(timestamp);
                break;
            case TimestampOutcome::AuthorityNotAccepted: status |= TIMESTAMP_NOT_ACCEPTED; break;
            case TimestampOutcome::Failed: status |= TIMESTAMP_FAILED; break;
            case TimestampOutcome::None: break;
            }
        }
        status |= validityStatus(*certificate->pCertInfo, judged) | useStatus(*certificate->pCertInfo);
        copyText(slots.dates[g], expiryDate(certificate->pCertInfo));
        TrustAnswer answer = trust.signer(certificate, message.certificates, judged);
        switch (answer.verdict) {
        case TrustAnswer::Verdict::Vouched:
            slots.issuers[g] = std::move(answer.issuer);
            slots.providers[g] = std::move(answer.provider);
            slots.qualifications[g] = answer.qualification;
            break;
        case TrustAnswer::Verdict::ListOutdated:
            status |= LIST_OUTDATED;
            carriedIssuer(message, certificate, &slots.issuers[g]);
            break;
        case TrustAnswer::Verdict::NotVouched:
            status |= CA_NOT_ACCEPTED;
            carriedIssuer(message, certificate, &slots.issuers[g]);
            break;
        }
    }
    return 0;
}
