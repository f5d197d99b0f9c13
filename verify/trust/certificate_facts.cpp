#include "certificate_facts.h"

namespace {

const std::vector<uint8_t> KEY_USAGE = ber::oidFromText("2.5.29.15");
const std::vector<uint8_t> POLICIES = ber::oidFromText("2.5.29.32");
const std::vector<uint8_t> SUBJECT_KEY_ID = ber::oidFromText("2.5.29.14");
const std::vector<uint8_t> AUTHORITY_KEY_ID = ber::oidFromText("2.5.29.35");
const std::vector<uint8_t> BASIC_CONSTRAINTS = ber::oidFromText("2.5.29.19");
const std::vector<uint8_t> QC_STATEMENTS = ber::oidFromText("1.3.6.1.5.5.7.1.3");
const std::vector<uint8_t> QC_COMPLIANCE = ber::oidFromText("0.4.0.1862.1.1");
const std::vector<uint8_t> QC_SSCD = ber::oidFromText("0.4.0.1862.1.4");
const std::vector<uint8_t> AUTHORITY_INFO_ACCESS = ber::oidFromText("1.3.6.1.5.5.7.1.1");
const std::vector<uint8_t> ACCESS_OCSP = ber::oidFromText("1.3.6.1.5.5.7.48.1");
constexpr uint8_t URI_NAME = 0x86;  // GeneralName [6] uniformResourceIdentifier

std::vector<uint8_t> bytesOf(ber::Span span) { return std::vector<uint8_t>(span.data, span.data + span.size); }

bool readKeyUsage(ber::Span value, CertificateFacts* out) {
    ber::Element bits;
    if (!ber::read(value, &bits) || bits.tag != ber::BIT_STRING || bits.content.size < 1 || bits.content.size > 3) {
        return false;
    }
    out->hasKeyUsage = true;
    for (size_t i = 1; i < bits.content.size; ++i) {
        for (int b = 0; b < 8; ++b) {
            if (bits.content.data[i] & (0x80 >> b)) out->keyUsage |= static_cast<uint16_t>(1u << ((i - 1) * 8 + b));
        }
    }
    return true;
}

bool readPolicies(ber::Span value, CertificateFacts* out) {
    ber::Element sequence, policy, oid;
    if (!ber::read(value, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader policies(sequence);
    while (!policies.atEnd()) {
        if (!policies.next(ber::SEQUENCE, &policy)) return false;
        ber::Reader inside(policy);
        if (!inside.next(ber::OID, &oid)) return false;
        const std::string dotted = ber::oidText(oid);
        if (dotted.empty()) return false;
        out->policies.push_back(dotted);
    }
    return true;
}

bool readQcStatements(ber::Span value, CertificateFacts* out) {
    ber::Element sequence, statement, oid;
    if (!ber::read(value, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader statements(sequence);
    while (!statements.atEnd()) {
        if (!statements.next(ber::SEQUENCE, &statement)) return false;
        ber::Reader inside(statement);
        if (!inside.next(ber::OID, &oid)) return false;
        out->qcCompliance = out->qcCompliance || ber::isOid(oid, QC_COMPLIANCE);
        out->qcSscd = out->qcSscd || ber::isOid(oid, QC_SSCD);
    }
    return true;
}

bool readBasicConstraints(ber::Span value, CertificateFacts* out) {
    ber::Element sequence, flag;
    if (!ber::read(value, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader inside(sequence);
    if (inside.nextIf(0x01, &flag)) out->isCa = flag.content.size == 1 && flag.content.data[0] != 0;
    return true;
}

bool readSubjectKeyId(ber::Span value, CertificateFacts* out) {
    ber::Element id;
    if (!ber::read(value, &id) || id.tag != ber::OCTET_STRING) return false;
    out->subjectKeyId = bytesOf(id.content);
    return true;
}

bool readAuthorityKeyId(ber::Span value, CertificateFacts* out) {
    ber::Element sequence, id;
    if (!ber::read(value, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader inside(sequence);
    if (inside.nextIf(0x80, &id)) out->authorityKeyId = bytesOf(id.content);  // [0] keyIdentifier
    return true;
}

// AuthorityInfoAccessSyntax: SEQUENCE OF { accessMethod, accessLocation }.
bool readAuthorityInfoAccess(ber::Span value, CertificateFacts* out) {
    ber::Element sequence, description, method, location;
    if (!ber::read(value, &sequence) || sequence.tag != ber::SEQUENCE) return false;
    ber::Reader descriptions(sequence);
    while (!descriptions.atEnd()) {
        if (!descriptions.next(ber::SEQUENCE, &description)) return false;
        ber::Reader inside(description);
        if (!inside.next(ber::OID, &method) || !inside.next(&location)) return false;
        if (!out->ocspAddress.empty() || !ber::isOid(method, ACCESS_OCSP) || location.tag != URI_NAME) continue;
        std::string address(reinterpret_cast<const char*>(location.content.data), location.content.size);
        std::string scheme = address.substr(0, 7);
        for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (scheme == "http://" && address.find('\0') == std::string::npos) out->ocspAddress = address;
    }
    return true;
}

}  // namespace

bool readCertificateFacts(ber::Span certificate, CertificateFacts* out) {
    *out = CertificateFacts{};
    ber::Element whole, tbs, element;
    if (!ber::read(certificate, &whole) || whole.tag != ber::SEQUENCE) return false;
    ber::Reader parts(whole);
    if (!parts.next(ber::SEQUENCE, &tbs)) return false;
    // TBSCertificate: [0] version, serial, signature, issuer, validity,
    // subject, key, [1] [2] unique identifiers, [3] extensions.
    ber::Reader fields(tbs);
    fields.nextIf(ber::CONTEXT_0, &element);
    for (int i = 0; i < 6; ++i) {
        if (!fields.next(&element)) return false;
    }
    ber::Element extensions;
    while (fields.next(&element)) {
        if (element.tag == 0xA3) extensions = element;
    }
    if (fields.failed()) return false;
    if (extensions.tag == 0) return true;

    ber::Element list, extension, oid, value;
    if (!ber::read(extensions.content, &list) || list.tag != ber::SEQUENCE) return false;
    ber::Reader each(list);
    while (!each.atEnd()) {
        if (!each.next(ber::SEQUENCE, &extension)) return false;
        ber::Reader inside(extension);
        if (!inside.next(ber::OID, &oid)) return false;
        inside.nextIf(0x01, &value);  // critical
        if (!inside.next(ber::OCTET_STRING, &value)) return false;
        bool read = true;
        if (ber::isOid(oid, KEY_USAGE)) read = readKeyUsage(value.content, out);
        else if (ber::isOid(oid, POLICIES)) read = readPolicies(value.content, out);
        else if (ber::isOid(oid, QC_STATEMENTS)) read = readQcStatements(value.content, out);
        else if (ber::isOid(oid, BASIC_CONSTRAINTS)) read = readBasicConstraints(value.content, out);
        else if (ber::isOid(oid, SUBJECT_KEY_ID)) read = readSubjectKeyId(value.content, out);
        else if (ber::isOid(oid, AUTHORITY_KEY_ID)) read = readAuthorityKeyId(value.content, out);
        else if (ber::isOid(oid, AUTHORITY_INFO_ACCESS)) read = readAuthorityInfoAccess(value.content, out);
        if (!read) return false;
    }
    return true;
}

int keyUsageBit(const std::string& name) {
    static const char* const NAMES[] = {"digitalSignature", "nonRepudiation", "keyEncipherment",
                                        "dataEncipherment", "keyAgreement",   "keyCertSign",
                                        "crlSign",          "encipherOnly",   "decipherOnly"};
    for (int i = 0; i < 9; ++i) {
        if (name == NAMES[i]) return i;
    }
    return name == "contentCommitment" ? 1 : -1;  // the newer name of nonRepudiation
}
