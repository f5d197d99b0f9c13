// The CAdES-BES SignedFile: a CMS SignedData in strict DER with the content
// embedded, SHA-256, the signer's certificate and one signer. The signer's
// signed attributes are content-type, message-digest, signing-time and
// signing-certificate-v2; the personal-data record is the one unsigned
// attribute, as in the original form.
//
// Platform-free, like the original form's layout: the caller hashes, decodes
// the certificate and has the card sign.
#pragma once

#include <cstdint>
#include <vector>

#include "signed_file_layout.h"

constexpr uint32_t SHA256_LENGTH = 32;

// A moment in UTC, as the machine's clock gives it.
struct SigningTime {
    int year, month, day, hour, minute, second;
};

struct SignedAttributeParts {
    ByteRange contentDigest;    // SHA-256 of the content
    SigningTime signingTime;    // UTC
    ByteRange certificateHash;  // SHA-256 of the signer's DER certificate
    ByteRange issuer;           // the certificate's encoded issuer Name
    ByteRange serial;           // the certificate's serial number, INTEGER content octets
};

// The signed attributes as the DER SET OF that is hashed and signed (tag 31),
// in DER's order. False when a digest is not 32 bytes or the time is out of range.
bool encodeSignedAttributes(const SignedAttributeParts& parts, std::vector<uint8_t>* out);

struct CadesFileParts {
    ByteRange content;           // the signed file's bytes
    ByteRange certificate;       // the signer's DER certificate, carried as it is
    ByteRange issuer;            // the certificate's encoded issuer Name
    ByteRange serial;            // INTEGER content octets
    ByteRange signedAttributes;  // as encodeSignedAttributes made them
    ByteRange signature;         // the card's raw RSA signature of their DigestInfo
    ByteRange personalData;      // the card's personal-data record, or empty
};

// Lays out the SignedFile with the two-call protocol of assembleSignedFile:
// without an output buffer only the exact length is stored; with one,
// *inOutLength is its capacity on entry. Returns 0, PKCS7_ERR_BUFFER_SMALL, or
// PKCS7_ERR_MEMORY (no memory, or a file that would not fit in 32 bits).
int32_t assembleCadesFile(const CadesFileParts& parts, uint8_t* outBuffer, uint32_t* inOutLength);
