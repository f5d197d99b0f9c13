// PKCS #7 SignedData built element by element with the tests' own DER helpers,
// for the messages that the signing engine never writes: signed attributes,
// several signers and certificates, content in pieces, other algorithms.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "der_builder.h"

namespace der_builder {

inline const Bytes SHA1_ALGORITHM = hex("30 09 06 05 2B 0E 03 02 1A 05 00");
inline const Bytes SHA256_ALGORITHM = hex("30 0D 06 09 60 86 48 01 65 03 04 02 01 05 00");
inline const Bytes RSA_ALGORITHM = hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00");
inline const Bytes SHA256_RSA_ALGORITHM = hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0B 05 00");
inline const Bytes DATA_OID = hex("06 09 2A 86 48 86 F7 0D 01 07 01");

// Attribute ::= SEQUENCE { type OBJECT IDENTIFIER (dotted hex content), values SET { value } }.
inline Bytes attribute(const std::string& typeHex, const Bytes& value) {
    return tlv(0x30, cat({tlv(0x06, hex(typeHex)), tlv(0x31, value)}));
}
inline Bytes contentTypeAttribute(const Bytes& oidElement) { return attribute("2A864886F70D010903", oidElement); }
inline Bytes messageDigestAttribute(const Bytes& digest) { return attribute("2A864886F70D010904", tlv(0x04, digest)); }
// A card's personal-data record as the signing engine carries it: GeneralNames
// holding one rfc822Name; unsigned (1.2.840.113549.1.9.2) or signed (2.5.29.8).
inline Bytes personalDataAttribute(const std::string& record, bool signedForm = false) {
    return attribute(signedForm ? "551D08" : "2A864886F70D010902",
                     tlv(0x30, tlv(0x81, Bytes(record.begin(), record.end()))));
}

// encapContentInfo of type data with the content in one OCTET STRING, or in
// a constructed one of `pieces` pieces.
inline Bytes dataContent(const Bytes& content, size_t pieces = 1) {
    Bytes octets;
    if (pieces <= 1) {
        octets = tlv(0x04, content);
    } else {
        Bytes inner;
        for (size_t i = 0, step = (content.size() + pieces - 1) / pieces; i < content.size(); i += step) {
            const Bytes piece = tlv(0x04, Bytes(content.begin() + i, content.begin() + std::min(content.size(), i + step)));
            inner.insert(inner.end(), piece.begin(), piece.end());
        }
        octets = tlv(0x24, inner);
    }
    return tlv(0x30, cat({DATA_OID, tlv(0xA0, octets)}));
}

struct Signer {
    Bytes issuer, serial;  // the certificate's issuer Name, whole, and serial content
    Bytes digestAlgorithm = SHA1_ALGORITHM;
    Bytes signedAttributes;  // the attributes, one after the other; none when empty
    Bytes signatureAlgorithm = RSA_ALGORITHM;
    Bytes signature;
    Bytes unsignedAttributes;
};

// The signed attributes as the signature covers them: SET OF, DER.
inline Bytes signedAttributesForSignature(const Signer& s) { return tlv(0x31, s.signedAttributes); }

inline Bytes signerInfo(const Signer& s) {
    return tlv(0x30, cat({hex("02 01 01"), tlv(0x30, cat({s.issuer, tlv(0x02, s.serial)})), s.digestAlgorithm,
                          s.signedAttributes.empty() ? Bytes{} : tlv(0xA0, s.signedAttributes),
                          s.signatureAlgorithm, tlv(0x04, s.signature),
                          s.unsignedAttributes.empty() ? Bytes{} : tlv(0xA1, s.unsignedAttributes)}));
}

inline Bytes signedData(const Bytes& encapsulated, const std::vector<Bytes>& certificates,
                        const std::vector<Bytes>& signerInfos) {
    Bytes certs, infos;
    for (const Bytes& c : certificates) certs.insert(certs.end(), c.begin(), c.end());
    for (const Bytes& s : signerInfos) infos.insert(infos.end(), s.begin(), s.end());
    return tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 02"),
                          tlv(0xA0, tlv(0x30, cat({hex("02 01 01"), tlv(0x31, SHA1_ALGORITHM), encapsulated,
                                                   certificates.empty() ? Bytes{} : tlv(0xA0, certs),
                                                   tlv(0x31, infos)})))}));
}

}  // namespace der_builder
