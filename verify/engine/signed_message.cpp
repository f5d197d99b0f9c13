#include "signed_message.h"

#include <cstring>

namespace oids {
const std::vector<uint8_t> SIGNED_DATA = ber::oidFromText("1.2.840.113549.1.7.2");
const std::vector<uint8_t> DATA = ber::oidFromText("1.2.840.113549.1.7.1");
const std::vector<uint8_t> CONTENT_TYPE = ber::oidFromText("1.2.840.113549.1.9.3");
const std::vector<uint8_t> MESSAGE_DIGEST = ber::oidFromText("1.2.840.113549.1.9.4");
const std::vector<uint8_t> UNSTRUCTURED_NAME = ber::oidFromText("1.2.840.113549.1.9.2");
const std::vector<uint8_t> SUBJECT_ALT_NAME = ber::oidFromText("2.5.29.8");
const std::vector<uint8_t> SHA1 = ber::oidFromText("1.3.14.3.2.26");
const std::vector<uint8_t> SHA256 = ber::oidFromText("2.16.840.1.101.3.4.2.1");
const std::vector<uint8_t> SHA384 = ber::oidFromText("2.16.840.1.101.3.4.2.2");
const std::vector<uint8_t> SHA512 = ber::oidFromText("2.16.840.1.101.3.4.2.3");
const std::vector<uint8_t> RSA_ENCRYPTION = ber::oidFromText("1.2.840.113549.1.1.1");
const std::vector<uint8_t> SHA1_RSA = ber::oidFromText("1.2.840.113549.1.1.5");
const std::vector<uint8_t> SHA256_RSA = ber::oidFromText("1.2.840.113549.1.1.11");
const std::vector<uint8_t> SHA384_RSA = ber::oidFromText("1.2.840.113549.1.1.12");
const std::vector<uint8_t> SHA512_RSA = ber::oidFromText("1.2.840.113549.1.1.13");
const std::vector<uint8_t> SIGNING_CERTIFICATE = ber::oidFromText("1.2.840.113549.1.9.16.2.12");
const std::vector<uint8_t> SIGNING_CERTIFICATE_V2 = ber::oidFromText("1.2.840.113549.1.9.16.2.47");
const std::vector<uint8_t> SIGNING_TIME = ber::oidFromText("1.2.840.113549.1.9.5");
const std::vector<uint8_t> COUNTER_SIGNATURE = ber::oidFromText("1.2.840.113549.1.9.6");
}  // namespace oids

namespace {

using ber::Element;
using ber::Reader;

// Every structure is read to its end: an element it does not allow, or bytes
// left over inside it, make the whole malformed. Bytes that no signature
// covers must not ride along in a file that is shown as signed.

// AlgorithmIdentifier: SEQUENCE { OBJECT IDENTIFIER, parameters OPTIONAL }.
bool readAlgorithm(Reader& reader, Element* oid, Element* parameters = nullptr, bool* hasParameters = nullptr) {
    Element algorithm, ignored;
    if (!reader.next(ber::SEQUENCE, &algorithm)) return false;
    Reader inside(algorithm);
    if (!inside.next(ber::OID, oid)) return false;
    const bool present = inside.next(parameters != nullptr ? parameters : &ignored);
    if (hasParameters != nullptr) *hasParameters = present;
    return !inside.failed() && inside.atEnd();
}

// SET OF Attribute, each SEQUENCE { OBJECT IDENTIFIER, SET OF value }.
bool readAttributes(const Element& set, std::vector<Attribute>* attributes) {
    Reader reader(set);
    Element attribute;
    while (reader.next(&attribute)) {
        if (attribute.tag != ber::SEQUENCE) return false;
        Reader inside(attribute);
        Attribute a;
        Element values;
        if (!inside.next(ber::OID, &a.type) || !inside.next(ber::SET, &values) || !inside.atEnd()) return false;
        Reader valueReader(values);
        Element value;
        while (valueReader.next(&value)) a.values.push_back(value);
        if (valueReader.failed()) return false;
        attributes->push_back(std::move(a));
    }
    return !reader.failed();
}

bool readSignerInfo(const Element& element, SignerInfo* signer) {
    if (element.tag != ber::SEQUENCE) return false;
    Reader reader(element);
    Element e;
    if (!reader.next(ber::INTEGER, &e) || !ber::smallInteger(e, &signer->version)) return false;

    // issuerAndSerialNumber, or a subject key identifier [0] (version 3).
    if (!reader.next(&e)) return false;
    if (e.tag == ber::SEQUENCE) {
        Reader ias(e);
        Element issuer, serial;
        if (!ias.next(ber::SEQUENCE, &issuer) || !ias.next(ber::INTEGER, &serial) || !ias.atEnd()) return false;
        signer->issuer = issuer.whole;
        signer->serial = serial.content;
    } else if (e.tag == 0x80) {
        signer->subjectKeyId = e.content;
    } else {
        return false;
    }

    if (!readAlgorithm(reader, &signer->digestAlgorithm)) return false;
    if (reader.nextIf(ber::CONTEXT_0, &e)) {
        signer->hasSignedAttributes = true;
        signer->signedAttributesElement = e;
        if (!readAttributes(e, &signer->signedAttributes)) return false;
    }
    if (!readAlgorithm(reader, &signer->signatureAlgorithm, &signer->signatureParameters,
                       &signer->hasSignatureParameters)) {
        return false;
    }
    if (!reader.next(ber::OCTET_STRING, &e)) return false;
    signer->signature = e.content;
    if (reader.nextIf(ber::CONTEXT_1, &e) && !readAttributes(e, &signer->unsignedAttributes)) return false;
    return !reader.failed() && reader.atEnd();
}

// A CertificateChoices element: a Certificate (SEQUENCE) or one of the
// tagged alternatives [0] to [3], constructed.
bool isCertificateChoice(const Element& element) {
    return element.tag == ber::SEQUENCE || (element.tag >= 0xA0 && element.tag <= 0xA3);
}

// Appends the signer in `element` (counter-signing signers[parent], or a
// signer of the content when parent is -1), then its counter-signers, depth
// first. A value of a counter-signature attribute that is no SignerInfo is
// kept as an unreadable counter-signer: an unsigned attribute, which anyone
// can add, must not decide whether the file loads.
DecodeResult addSigner(const Element& element, int parent, std::vector<SignerInfo>* signers) {
    if (signers->size() == MAX_SIGNERS) return DecodeResult::OverLimit;
    SignerInfo signer;
    if (!readSignerInfo(element, &signer)) {
        if (parent < 0) return DecodeResult::Malformed;
        signer = SignerInfo();
        signer.unreadable = true;
    }
    signer.parent = parent;
    signer.depth = parent < 0 ? 0 : (*signers)[parent].depth + 1;
    const int index = static_cast<int>(signers->size());
    signers->push_back(std::move(signer));
    // Copied: pushing onto `signers` moves the vector's elements.
    const std::vector<Attribute> unsignedAttributes = (*signers)[index].unsignedAttributes;
    for (const Attribute& a : unsignedAttributes) {
        if (!ber::isOid(a.type, oids::COUNTER_SIGNATURE)) continue;
        for (const Element& value : a.values) {
            const DecodeResult added = addSigner(value, index, signers);
            if (added != DecodeResult::Ok) return added;
        }
    }
    return DecodeResult::Ok;
}

}  // namespace

DecodeResult decodeSignedMessage(ber::Span data, SignedMessage* message) {
    Element contentInfo, e;
    if (!ber::read(data, &contentInfo) || contentInfo.tag != ber::SEQUENCE) return DecodeResult::Malformed;
    // Bytes after the outer element are allowed (some programs pad files).
    Reader top(contentInfo);
    if (!top.next(ber::OID, &e) || !ber::isOid(e, oids::SIGNED_DATA)) return DecodeResult::Malformed;
    Element explicitContent, signedData;
    if (!top.next(ber::CONTEXT_0, &explicitContent) || !top.atEnd()) return DecodeResult::Malformed;
    Reader wrapper(explicitContent);
    if (!wrapper.next(ber::SEQUENCE, &signedData) || !wrapper.atEnd()) return DecodeResult::Malformed;

    SignedMessage m;
    Reader sd(signedData);
    Element version, digestAlgorithms, encapsulated;
    if (!sd.next(ber::INTEGER, &version) || !sd.next(ber::SET, &digestAlgorithms) ||
        !sd.next(ber::SEQUENCE, &encapsulated)) {
        return DecodeResult::Malformed;
    }

    // encapContentInfo: SEQUENCE { contentType, [0] EXPLICIT OCTET STRING OPTIONAL }
    Reader encap(encapsulated);
    if (!encap.next(ber::OID, &m.contentType)) return DecodeResult::Malformed;
    Element eContent, octets;
    if (!encap.nextIf(ber::CONTEXT_0, &eContent)) {
        return encap.failed() || !encap.atEnd() ? DecodeResult::Malformed : DecodeResult::NoContent;
    }
    if (!encap.atEnd()) return DecodeResult::Malformed;  // a second content, which no signature covers
    // The content is only walked here, to check its pieces and count them.
    Reader inner(eContent);
    size_t pieces = 0;
    auto count = [&m, &pieces](ber::Span piece) {
        m.contentLength += piece.size;
        return ++pieces <= MAX_CONTENT_PIECES;
    };
    if (!inner.next(&m.contentOctets) || !inner.atEnd()) return DecodeResult::Malformed;
    if (!ber::forEachOctetStringPiece(m.contentOctets, count)) {
        return pieces > MAX_CONTENT_PIECES ? DecodeResult::OverLimit : DecodeResult::Malformed;
    }

    if (sd.nextIf(ber::CONTEXT_0, &e)) {  // certificates [0] IMPLICIT
        Reader certificates(e);
        Element certificate;
        while (certificates.next(&certificate)) {
            if (!isCertificateChoice(certificate)) return DecodeResult::Malformed;
            if (m.certificates.size() == MAX_CERTIFICATES) return DecodeResult::OverLimit;
            MessageCertificate c;
            if (!readCertificateNames(certificate.whole, &c)) c = MessageCertificate{certificate.whole, {}, {}, {}};
            m.certificates.push_back(c);
        }
        if (certificates.failed()) return DecodeResult::Malformed;
    }
    sd.nextIf(ber::CONTEXT_1, &e);  // crls [1] IMPLICIT: not read
    Element signerInfos;
    if (!sd.next(ber::SET, &signerInfos)) return DecodeResult::Malformed;
    Reader signers(signerInfos);
    Element signerElement;
    while (signers.next(&signerElement)) {
        const DecodeResult added = addSigner(signerElement, -1, &m.signers);
        if (added != DecodeResult::Ok) return added;
    }
    if (signers.failed() || sd.failed() || !sd.atEnd() || m.signers.empty()) return DecodeResult::Malformed;
    *message = std::move(m);
    return DecodeResult::Ok;
}

const Attribute* findAttribute(const std::vector<Attribute>& attributes,
                               const std::vector<uint8_t>& type) {
    for (const Attribute& a : attributes) {
        if (ber::isOid(a.type, type)) return &a;
    }
    return nullptr;
}

bool forEachContentBlock(const SignedMessage& message, const std::function<bool(ber::Span)>& visit) {
    constexpr size_t BLOCK = 64 * 1024;
    std::vector<uint8_t> gathered;
    auto flush = [&]() {
        const bool ok = gathered.empty() || visit({gathered.data(), gathered.size()});
        gathered.clear();
        return ok;
    };
    const bool walked = ber::forEachOctetStringPiece(message.contentOctets, [&](ber::Span piece) {
        if (piece.size >= BLOCK) return flush() && visit(piece);
        if (gathered.size() + piece.size > BLOCK && !flush()) return false;
        if (gathered.capacity() == 0) gathered.reserve(BLOCK);
        gathered.insert(gathered.end(), piece.data, piece.data + piece.size);
        return true;
    });
    return walked && flush();
}

bool readCertificateNames(ber::Span certificate, MessageCertificate* out) {
    // Certificate: SEQUENCE { tbsCertificate SEQUENCE { [0] version OPTIONAL,
    // serialNumber, signature, issuer, validity, subject, ... }, ... }
    Element cert, tbs, e, serialNumber, issuerName, subjectName;
    if (!ber::read(certificate, &cert) || cert.tag != ber::SEQUENCE) return false;
    Reader outer(cert);
    if (!outer.next(ber::SEQUENCE, &tbs)) return false;
    Reader fields(tbs);
    fields.nextIf(ber::CONTEXT_0, &e);
    if (!fields.next(ber::INTEGER, &serialNumber) || !fields.next(ber::SEQUENCE, &e) ||
        !fields.next(ber::SEQUENCE, &issuerName) || !fields.next(ber::SEQUENCE, &e) ||
        !fields.next(ber::SEQUENCE, &subjectName)) {
        return false;
    }
    *out = MessageCertificate{cert.whole, issuerName.whole, serialNumber.content, subjectName.whole};
    return true;
}

CertificateChoice findSignerCertificate(const SignedMessage& message, const SignerInfo& signer) {
    if (!signer.serial.empty()) {
        for (size_t i = 0; i < message.certificates.size(); ++i) {
            const MessageCertificate& c = message.certificates[i];
            if (c.serial == signer.serial && c.issuer == signer.issuer) return {static_cast<int>(i), true};
        }
    }
    return {static_cast<int>(message.certificates.size()) - 1, false};
}

bool readCertificateReference(const Attribute& attribute, bool v2, CertificateReference* out) {
    *out = CertificateReference();
    if (attribute.values.empty()) return false;
    // SigningCertificate(V2) ::= SEQUENCE { certs SEQUENCE OF ESSCertID(v2), policies OPTIONAL }
    const Element& value = attribute.values[0];
    Element certs, first, hash, issuerSerial, names, name, directoryName, serial;
    if (value.tag != ber::SEQUENCE) return false;
    Reader outer(value);
    if (!outer.next(ber::SEQUENCE, &certs)) return false;
    Reader list(certs);
    if (!list.next(ber::SEQUENCE, &first)) return false;
    // ESSCertIDv2 ::= SEQUENCE { hashAlgorithm DEFAULT sha256, certHash OCTET STRING, issuerSerial OPTIONAL };
    // ESSCertID has no algorithm: SHA-1.
    Reader id(first);
    if (v2) {
        Reader peek = id;
        Element algorithm;
        if (peek.nextIf(ber::SEQUENCE, &algorithm)) {
            if (!readAlgorithm(id, &out->hashAlgorithm)) return false;
            out->namesAlgorithm = true;
        }
    }
    if (!id.next(ber::OCTET_STRING, &hash)) return false;
    out->hash = hash.content;
    if (!id.nextIf(ber::SEQUENCE, &issuerSerial)) return !id.failed();
    // IssuerSerial ::= SEQUENCE { issuer GeneralNames, serialNumber INTEGER }; the
    // issuer counts when its first name is a directoryName ([4] EXPLICIT Name).
    out->hasIssuerSerial = true;
    Reader parts(issuerSerial);
    if (!parts.next(ber::SEQUENCE, &names) || !parts.next(ber::INTEGER, &serial)) return false;
    out->serial = serial.content;
    Reader nameList(names);
    if (nameList.next(&name) && name.tag == 0xA4) {
        Reader inside(name);
        if (inside.next(ber::SEQUENCE, &directoryName)) out->issuer = directoryName.whole;
    }
    return true;
}
