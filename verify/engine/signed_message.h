// The PKCS #7 SignedData of a SignedFile, decoded without copying: every
// part is a view into the file's bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ber.h"

// The most a file may hold; a file with more is refused. Real files carry
// one signer or a few, a short chain of certificates, and content in one
// piece or in pieces of a kilobyte or more: the limits only stop files made
// to exhaust time or memory.
constexpr size_t MAX_SIGNERS = 100;
constexpr size_t MAX_CERTIFICATES = 10000;
constexpr size_t MAX_CONTENT_PIECES = size_t{1} << 24;

struct Attribute {
    ber::Element type;                 // OBJECT IDENTIFIER
    std::vector<ber::Element> values;  // the elements of its SET
};

// A signer of the content, or a counter-signer: the signer of another
// signer's signature value, carried in that signer's unsigned attributes.
struct SignerInfo {
    int parent = -1;  // the index of the signer it counter-signs; -1 for a signer of the content
    int depth = 0;    // 0 for a signer of the content, 1 for its counter-signers, and so on
    int version = 0;
    ber::Span issuer;            // the issuer Name, as encoded in the message
    ber::Span serial;            // the serial number's INTEGER content octets
    ber::Span subjectKeyId;      // instead of issuer and serial (version 3)
    ber::Element digestAlgorithm;     // its OBJECT IDENTIFIER
    ber::Element signatureAlgorithm;  // its OBJECT IDENTIFIER
    bool hasSignatureParameters = false;
    ber::Element signatureParameters;  // the identifier's parameters, when it has any
    bool hasSignedAttributes = false;
    ber::Element signedAttributesElement;  // [0], whole, for the signature
    std::vector<Attribute> signedAttributes;
    std::vector<Attribute> unsignedAttributes;
    ber::Span signature;         // encryptedDigest
    // A counter-signature value that is no SignerInfo: a row of its own,
    // never verified, that decides nothing about its parent or the file.
    bool unreadable = false;
};

// A certificate of the message, with the names read once when the message is
// decoded; they stay empty when the bytes are no certificate.
struct MessageCertificate {
    ber::Span der;      // the whole certificate
    ber::Span issuer;   // the issuer Name, whole
    ber::Span serial;   // the serial number's INTEGER content octets
    ber::Span subject;  // the subject Name, whole
};

struct SignedMessage {
    ber::Element contentType;      // of the encapsulated content
    ber::Element contentOctets;    // the OCTET STRING holding the content
    uint64_t contentLength = 0;
    std::vector<MessageCertificate> certificates;  // in message order
    // In message order, each signer of the content followed by its
    // counter-signers, depth first (a counter-signer's own ones after it).
    std::vector<SignerInfo> signers;
};

enum class DecodeResult {
    Ok,
    Malformed,  // not a PKCS #7 ContentInfo of type signedData
    NoContent,  // a signed message without embedded content (detached)
    OverLimit   // more signers (counter-signers included), certificates or content pieces than a file may hold
};

// Decodes a ContentInfo of type signedData at the start of `data`; bytes
// after its end are ignored.
DecodeResult decodeSignedMessage(ber::Span data, SignedMessage* message);

// The first attribute of `type`, or null.
const Attribute* findAttribute(const std::vector<Attribute>& attributes,
                               const std::vector<uint8_t>& type);

// Hands `visit` the content in order, in blocks: small pieces are gathered
// into blocks of up to 64 KiB, so that content in many tiny pieces costs few
// calls. False when `visit` returns false.
bool forEachContentBlock(const SignedMessage& message, const std::function<bool(ber::Span)>& visit);

// The issuer, serial number and subject of a DER certificate, read from its
// bytes into `out` (whose der becomes the certificate); false when it is not one.
bool readCertificateNames(ber::Span certificate, MessageCertificate* out);

// The message's certificate for a signer: the one with the signer's issuer
// and serial number. When none has both, `matched` is false and the index is
// that of the last certificate (-1 without any), which stands for it on screen.
struct CertificateChoice {
    int index;
    bool matched;
};
CertificateChoice findSignerCertificate(const SignedMessage& message, const SignerInfo& signer);

// Object identifiers of the algorithms and attributes read here.
namespace oids {
extern const std::vector<uint8_t> SIGNED_DATA, DATA, CONTENT_TYPE, MESSAGE_DIGEST, UNSTRUCTURED_NAME,
    SUBJECT_ALT_NAME, SHA1, SHA256, SHA384, SHA512, RSA_ENCRYPTION, SHA1_RSA, SHA256_RSA,
    SHA384_RSA, SHA512_RSA, SIGNING_CERTIFICATE, SIGNING_CERTIFICATE_V2, SIGNING_TIME, COUNTER_SIGNATURE;
}

// The first certificate reference of a signing-certificate attribute: of
// version 1 (ESSCertID, a SHA-1 hash) or 2 (ESSCertIDv2, a hash with the
// algorithm it names, SHA-256 when it names none), and the issuer and serial
// number when it gives them.
struct CertificateReference {
    bool namesAlgorithm = false;
    ber::Element hashAlgorithm;  // its OBJECT IDENTIFIER, when named
    ber::Span hash;
    bool hasIssuerSerial = false;
    ber::Span issuer;  // the Name of its first directory name, whole; empty when it names none
    ber::Span serial;  // the INTEGER's content octets
};

// False when the attribute's first value is not of that form.
bool readCertificateReference(const Attribute& attribute, bool v2, CertificateReference* out);
