// The PKCS #7 SignedData of a SignedFile, decoded without copying: every
// part is a view into the file's bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "ber.h"

// The most signers a file may have; a file with more is refused.
constexpr size_t MAX_SIGNERS = 100;

struct Attribute {
    ber::Element type;                 // OBJECT IDENTIFIER
    std::vector<ber::Element> values;  // the elements of its SET
};

struct SignerInfo {
    int version = 0;
    ber::Span issuer;            // the issuer Name, as encoded in the message
    ber::Span serial;            // the serial number's INTEGER content octets
    ber::Span subjectKeyId;      // instead of issuer and serial (version 3)
    ber::Element digestAlgorithm;     // its OBJECT IDENTIFIER
    ber::Element signatureAlgorithm;  // its OBJECT IDENTIFIER
    bool hasSignedAttributes = false;
    ber::Element signedAttributesElement;  // [0], whole, for the signature
    std::vector<Attribute> signedAttributes;
    std::vector<Attribute> unsignedAttributes;
    ber::Span signature;         // encryptedDigest
};

struct SignedMessage {
    ber::Element contentType;          // of the encapsulated content
    std::vector<ber::Span> content;    // the content, in the pieces of the encoding
    uint64_t contentLength = 0;
    std::vector<ber::Span> certificates;  // each whole, in message order
    std::vector<SignerInfo> signers;      // in message order
};

enum class DecodeResult {
    Ok,
    Malformed,      // not a PKCS #7 ContentInfo of type signedData
    NoContent,      // a signed message without embedded content (detached)
    TooManySigners  // more than MAX_SIGNERS
};

// Decodes a ContentInfo of type signedData at the start of `data`; bytes
// after its end are ignored.
DecodeResult decodeSignedMessage(ber::Span data, SignedMessage* message);

// The first attribute of `type`, or null.
const Attribute* findAttribute(const std::vector<Attribute>& attributes,
                               const std::vector<uint8_t>& type);

// The issuer Name (whole) and serial number (content octets) of a DER
// certificate; false when it is not one.
bool certificateIssuerAndSerial(ber::Span certificate, ber::Span* issuer, ber::Span* serial);

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
extern const std::vector<uint8_t> SIGNED_DATA, DATA, MESSAGE_DIGEST, UNSTRUCTURED_NAME,
    SUBJECT_ALT_NAME, SHA1, SHA256, SHA384, SHA512, RSA_ENCRYPTION, SHA1_RSA, SHA256_RSA,
    SHA384_RSA, SHA512_RSA;
}
