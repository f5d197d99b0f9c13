// The SignedFile: a PKCS#7 ContentInfo of type signedData with the content
// embedded, one certificate, one signer without signed attributes, and the
// personal-data attribute as the one unauthenticated attribute.
//
// This is the platform-free half of the encoder: it lays the file out from the
// certificate's issuer and serial number, which the caller has decoded.
#pragma once

#include <cstdint>

struct ByteRange {
    const uint8_t* data;
    uint32_t size;
};

struct SignedFileParts {
    ByteRange content;       // the signed file's bytes
    ByteRange signature;     // the card's raw RSA signature
    ByteRange certificate;   // the signer's DER certificate, carried as it is
    ByteRange issuer;        // the certificate's encoded issuer Name
    ByteRange serial;        // the certificate's serial number, INTEGER content octets
    ByteRange personalData;  // the card's personal-data record, or empty
};

// Lays out the SignedFile with the two-call protocol. Without an output buffer
// only the exact length is stored. With one, *inOutLength holds its capacity on entry: a
// buffer too small gets nothing and PKCS7_ERR_BUFFER_SMALL; otherwise the
// SignedFile is written into it. The exact length is stored in every case but
// PKCS7_ERR_MEMORY (a SignedFile that would not fit in 32 bits).
int32_t assembleSignedFile(const SignedFileParts& parts, uint8_t* outBuffer,
                           uint32_t* inOutLength);
