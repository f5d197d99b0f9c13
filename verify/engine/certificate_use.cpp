#include "certificate_use.h"

#include <vector>

namespace {

// The purposes a certificate may name that are not the signing of documents:
// a server's or a time-stamping authority's key must not pass for a person's.
const std::vector<uint8_t> OTHER_PURPOSES[] = {
    ber::oidFromText("1.3.6.1.5.5.7.3.1"),  // server authentication
    ber::oidFromText("1.3.6.1.5.5.7.3.2"),  // client authentication
    ber::oidFromText("1.3.6.1.5.5.7.3.3"),  // code signing
    ber::oidFromText("1.3.6.1.5.5.7.3.8"),  // time stamping
    ber::oidFromText("1.3.6.1.5.5.7.3.9"),  // OCSP signing
};

// KeyUsage ::= BIT STRING: digitalSignature (0) or nonRepudiation (1) set.
bool keyUsageAllowsSigning(ber::Span value) {
    ber::Element bits;
    if (!ber::read(value, &bits) || bits.tag != ber::BIT_STRING || bits.whole.size != value.size ||
        bits.content.size < 2) {
        return false;
    }
    return (bits.content.data[1] & 0xC0) != 0;
}

// ExtKeyUsageSyntax ::= SEQUENCE OF KeyPurposeId: one purpose not among the others.
bool extendedUseAllowsSigning(ber::Span value) {
    ber::Element purposes, purpose;
    if (!ber::read(value, &purposes) || purposes.tag != ber::SEQUENCE || purposes.whole.size != value.size) {
        return false;
    }
    ber::Reader reader(purposes);
    bool signing = false;
    while (reader.next(&purpose)) {
        if (purpose.tag != ber::OID) return false;
        bool other = false;
        for (const std::vector<uint8_t>& known : OTHER_PURPOSES) other = other || ber::isOid(purpose, known);
        signing = signing || !other;
    }
    return signing && !reader.failed();
}

}  // namespace

CertificateUse certificateUseOf(ber::Span keyUsage, ber::Span extendedKeyUsage) {
    if (!keyUsage.empty() && !keyUsageAllowsSigning(keyUsage)) return CertificateUse::KeyUsageOther;
    if (!extendedKeyUsage.empty() && !extendedUseAllowsSigning(extendedKeyUsage)) return CertificateUse::ExtendedUseOther;
    return CertificateUse::Signing;
}
