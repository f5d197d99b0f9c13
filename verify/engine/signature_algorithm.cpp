#include "signature_algorithm.h"

namespace oids {
const std::vector<uint8_t> MD5 = ber::oidFromText("1.2.840.113549.2.5");
const std::vector<uint8_t> RSASSA_PSS = ber::oidFromText("1.2.840.113549.1.1.10");
const std::vector<uint8_t> MGF1 = ber::oidFromText("1.2.840.113549.1.1.8");
const std::vector<uint8_t> EC_PUBLIC_KEY = ber::oidFromText("1.2.840.10045.2.1");
const std::vector<uint8_t> ECDSA_SHA1 = ber::oidFromText("1.2.840.10045.4.1");
const std::vector<uint8_t> ECDSA_SHA256 = ber::oidFromText("1.2.840.10045.4.3.2");
const std::vector<uint8_t> ECDSA_SHA384 = ber::oidFromText("1.2.840.10045.4.3.3");
const std::vector<uint8_t> ECDSA_SHA512 = ber::oidFromText("1.2.840.10045.4.3.4");
const std::vector<uint8_t> CURVE_P256 = ber::oidFromText("1.2.840.10045.3.1.7");
const std::vector<uint8_t> CURVE_P384 = ber::oidFromText("1.3.132.0.34");
const std::vector<uint8_t> CURVE_P521 = ber::oidFromText("1.3.132.0.35");
}  // namespace oids

namespace {

const std::vector<uint8_t> MD5_RSA = ber::oidFromText("1.2.840.113549.1.1.4");
const std::vector<uint8_t> MD2 = ber::oidFromText("1.2.840.113549.2.2");
const std::vector<uint8_t> MD4 = ber::oidFromText("1.2.840.113549.2.4");
const std::vector<uint8_t> MD2_RSA = ber::oidFromText("1.2.840.113549.1.1.2");
const std::vector<uint8_t> MD4_RSA = ber::oidFromText("1.2.840.113549.1.1.3");
const std::vector<uint8_t> ED25519 = ber::oidFromText("1.3.101.112");
const std::vector<uint8_t> ED448 = ber::oidFromText("1.3.101.113");
const std::vector<uint8_t> DSA = ber::oidFromText("1.2.840.10040.4.1");
const std::vector<uint8_t> DSA_SHA1 = ber::oidFromText("1.2.840.10040.4.3");
const std::vector<uint8_t> DSA_SHA256 = ber::oidFromText("2.16.840.1.101.3.4.3.2");
const std::vector<uint8_t> DSA_SHA384 = ber::oidFromText("2.16.840.1.101.3.4.3.3");
const std::vector<uint8_t> DSA_SHA512 = ber::oidFromText("2.16.840.1.101.3.4.3.4");

bool isAnyOf(const ber::Element& oid, std::initializer_list<const std::vector<uint8_t>*> candidates) {
    for (const std::vector<uint8_t>* candidate : candidates) {
        if (ber::isOid(oid, *candidate)) return true;
    }
    return false;
}

// An AlgorithmIdentifier's OBJECT IDENTIFIER and its parameters, if any.
bool readAlgorithmIdentifier(const ber::Element& identifier, ber::Element* oid, ber::Element* parameters,
                             bool* hasParameters) {
    if (identifier.tag != ber::SEQUENCE) return false;
    ber::Reader inside(identifier);
    if (!inside.next(ber::OID, oid)) return false;
    *hasParameters = inside.next(parameters);
    return !inside.failed() && inside.atEnd();
}

// HashAlgorithm inside RSASSA-PSS-params: an AlgorithmIdentifier whose
// parameters, when present, are NULL.
bool readHashAlgorithm(const ber::Element& identifier, DigestKind* kind) {
    ber::Element oid, parameters;
    bool hasParameters = false;
    if (!readAlgorithmIdentifier(identifier, &oid, &parameters, &hasParameters)) return false;
    if (hasParameters && parameters.tag != ber::NULL_TAG) return false;
    *kind = digestKindOf(oid);
    return true;
}

// A non-negative INTEGER of at most 32 bits.
bool readCount(const ber::Element& element, uint32_t* value) {
    if (element.tag != ber::INTEGER || element.content.empty() || (element.content.data[0] & 0x80)) return false;
    uint64_t number = 0;
    for (size_t i = 0; i < element.content.size; ++i) {
        number = (number << 8) | element.content.data[i];
        if (number > 0xFFFFFFFFu) return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

enum class Field { Absent, Present, Malformed };

// The explicit field [n] of a SEQUENCE, when the next element is it.
Field explicitField(ber::Reader& reader, uint8_t number, ber::Element* inner) {
    ber::Element field;
    if (!reader.nextIf(static_cast<uint8_t>(ber::CONTEXT_0 + number), &field)) return Field::Absent;
    ber::Reader inside(field);
    return inside.next(inner) && inside.atEnd() ? Field::Present : Field::Malformed;
}

const char* digestName(DigestKind kind) {
    switch (kind) {
    case DigestKind::Md2: return "MD2";
    case DigestKind::Md4: return "MD4";
    case DigestKind::Md5: return "MD5";
    case DigestKind::Sha1: return "SHA-1";
    case DigestKind::Sha256: return "SHA-256";
    case DigestKind::Sha384: return "SHA-384";
    case DigestKind::Sha512: return "SHA-512";
    case DigestKind::Unknown: break;
    }
    return nullptr;
}

std::string curveName(const ber::Element& curve) {
    if (ber::isOid(curve, oids::CURVE_P256)) return "P-256";
    if (ber::isOid(curve, oids::CURVE_P384)) return "P-384";
    if (ber::isOid(curve, oids::CURVE_P521)) return "P-521";
    return curve.tag == ber::OID ? ber::oidText(curve) : "curva non indicata";
}

}  // namespace

DigestKind digestKindOf(const ber::Element& oid) {
    if (isAnyOf(oid, {&oids::SHA1, &oids::SHA1_RSA})) return DigestKind::Sha1;
    if (isAnyOf(oid, {&oids::SHA256, &oids::SHA256_RSA})) return DigestKind::Sha256;
    if (isAnyOf(oid, {&oids::SHA384, &oids::SHA384_RSA})) return DigestKind::Sha384;
    if (isAnyOf(oid, {&oids::SHA512, &oids::SHA512_RSA})) return DigestKind::Sha512;
    if (isAnyOf(oid, {&oids::MD5, &MD5_RSA})) return DigestKind::Md5;
    if (isAnyOf(oid, {&MD2, &MD2_RSA})) return DigestKind::Md2;
    if (isAnyOf(oid, {&MD4, &MD4_RSA})) return DigestKind::Md4;
    return DigestKind::Unknown;
}

bool isBrokenDigest(DigestKind kind) {
    return kind == DigestKind::Md2 || kind == DigestKind::Md4 || kind == DigestKind::Md5;
}

KeyFit schemeFitsKey(SignatureScheme scheme, const ber::Element& keyAlgorithm) {
    if (ber::isOid(keyAlgorithm, oids::RSA_ENCRYPTION)) {
        return scheme == SignatureScheme::RsaPkcs1 || scheme == SignatureScheme::RsaPss ? KeyFit::Fits
                                                                                        : KeyFit::Mismatch;
    }
    if (ber::isOid(keyAlgorithm, oids::RSASSA_PSS)) {
        return scheme == SignatureScheme::RsaPss ? KeyFit::Fits : KeyFit::Mismatch;
    }
    if (ber::isOid(keyAlgorithm, oids::EC_PUBLIC_KEY)) {
        return scheme == SignatureScheme::Ecdsa ? KeyFit::Fits : KeyFit::Mismatch;
    }
    return scheme == SignatureScheme::Unknown ? KeyFit::UnknownKey : KeyFit::Mismatch;
}

SignatureScheme signatureSchemeOf(const ber::Element& oid) {
    if (isAnyOf(oid, {&oids::RSA_ENCRYPTION, &MD2_RSA, &MD4_RSA, &MD5_RSA, &oids::SHA1_RSA, &oids::SHA256_RSA,
                      &oids::SHA384_RSA, &oids::SHA512_RSA})) {
        return SignatureScheme::RsaPkcs1;
    }
    if (ber::isOid(oid, oids::RSASSA_PSS)) return SignatureScheme::RsaPss;
    if (isAnyOf(oid, {&oids::EC_PUBLIC_KEY, &oids::ECDSA_SHA1, &oids::ECDSA_SHA256, &oids::ECDSA_SHA384,
                      &oids::ECDSA_SHA512})) {
        return SignatureScheme::Ecdsa;
    }
    return SignatureScheme::Unknown;
}

bool readPssParameters(const ber::Element* parameters, PssParameters* out) {
    *out = PssParameters();
    if (parameters == nullptr || parameters->tag == ber::NULL_TAG) return parameters == nullptr;
    // RSASSA-PSS-params ::= SEQUENCE { hashAlgorithm [0], maskGenAlgorithm [1],
    //   saltLength [2] INTEGER, trailerField [3] INTEGER }, each optional.
    if (parameters->tag != ber::SEQUENCE) return false;
    ber::Reader fields(*parameters);
    ber::Element inner;
    Field field = explicitField(fields, 0, &inner);
    if (field == Field::Malformed || (field == Field::Present && !readHashAlgorithm(inner, &out->hash))) return false;
    field = explicitField(fields, 1, &inner);
    if (field == Field::Malformed) return false;
    if (field == Field::Present) {
        // MaskGenAlgorithm: MGF1 with its HashAlgorithm as parameters.
        ber::Element oid, hash;
        bool hasHash = false;
        if (!readAlgorithmIdentifier(inner, &oid, &hash, &hasHash)) return false;
        out->maskIsMgf1 = ber::isOid(oid, oids::MGF1);
        if (out->maskIsMgf1 && (!hasHash || !readHashAlgorithm(hash, &out->maskHash))) return false;
    }
    field = explicitField(fields, 2, &inner);
    if (field == Field::Malformed || (field == Field::Present && !readCount(inner, &out->saltLength))) return false;
    field = explicitField(fields, 3, &inner);
    if (field == Field::Malformed || (field == Field::Present && !readCount(inner, &out->trailerField))) return false;
    return !fields.failed() && fields.atEnd();
}

bool ecdsaSignatureToPlain(ber::Span der, size_t fieldBytes, std::vector<uint8_t>* out) {
    ber::Element sequence;
    if (fieldBytes == 0 || !ber::read(der, &sequence) || sequence.tag != ber::SEQUENCE || sequence.indefinite ||
        sequence.whole.size != der.size) {
        return false;
    }
    ber::Reader values(sequence);
    ber::Element r, s;
    if (!values.next(ber::INTEGER, &r) || !values.next(ber::INTEGER, &s) || !values.atEnd()) return false;
    std::vector<uint8_t> plain(2 * fieldBytes, 0);
    size_t at = 0;
    for (const ber::Element* value : {&r, &s}) {
        ber::Span bytes = value->content;
        if (bytes.empty() || (bytes.data[0] & 0x80)) return false;  // negative
        while (bytes.size > 0 && bytes.data[0] == 0) bytes = {bytes.data + 1, bytes.size - 1};
        if (bytes.empty() || bytes.size > fieldBytes) return false;  // zero, or wider than the curve
        std::copy(bytes.data, bytes.data + bytes.size, plain.begin() + at + fieldBytes - bytes.size);
        at += fieldBytes;
    }
    *out = std::move(plain);
    return true;
}

bool readPublicKeyAlgorithm(ber::Span certificate, ber::Element* oid, ber::Element* parameters) {
    // tbsCertificate: [0] version, serialNumber, signature, issuer, validity,
    // subject, subjectPublicKeyInfo SEQUENCE { algorithm, subjectPublicKey }.
    ber::Element cert, tbs, e, keyInfo, algorithm;
    if (!ber::read(certificate, &cert) || cert.tag != ber::SEQUENCE) return false;
    ber::Reader outer(cert);
    if (!outer.next(ber::SEQUENCE, &tbs)) return false;
    ber::Reader fields(tbs);
    fields.nextIf(ber::CONTEXT_0, &e);
    if (!fields.next(ber::INTEGER, &e)) return false;
    for (int skipped = 0; skipped < 4; ++skipped) {
        if (!fields.next(ber::SEQUENCE, &e)) return false;
    }
    if (!fields.next(ber::SEQUENCE, &keyInfo)) return false;
    ber::Reader key(keyInfo);
    bool hasParameters = false;
    *parameters = ber::Element();
    return key.next(ber::SEQUENCE, &algorithm) &&
           readAlgorithmIdentifier(algorithm, oid, parameters, &hasParameters);
}

std::string signatureAlgorithmName(const SignerInfo& signer, ber::Span certificate) {
    std::string name;
    switch (signatureSchemeOf(signer.signatureAlgorithm)) {
    case SignatureScheme::RsaPkcs1: name = "RSA"; break;
    case SignatureScheme::RsaPss: name = "RSASSA-PSS"; break;
    case SignatureScheme::Ecdsa: {
        name = "ECDSA";
        ber::Element keyOid, curve;
        if (!certificate.empty() && readPublicKeyAlgorithm(certificate, &keyOid, &curve) &&
            ber::isOid(keyOid, oids::EC_PUBLIC_KEY)) {
            name += " " + curveName(curve);
        }
        break;
    }
    case SignatureScheme::Unknown:
        name = ber::isOid(signer.signatureAlgorithm, ED25519) ? "Ed25519"
               : ber::isOid(signer.signatureAlgorithm, ED448) ? "Ed448"
               : isAnyOf(signer.signatureAlgorithm, {&DSA, &DSA_SHA1, &DSA_SHA256, &DSA_SHA384, &DSA_SHA512})
                   ? "DSA"
                   : ber::oidText(signer.signatureAlgorithm);
        break;
    }
    const char* digest = digestName(digestKindOf(signer.digestAlgorithm));
    return name + ", " + (digest != nullptr ? digest : ber::oidText(signer.digestAlgorithm));
}
