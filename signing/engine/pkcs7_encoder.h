// The SignedFile encoders: content, the card's signature, the signer's
// certificate and the personal-data record become the bytes of a SignedFile,
// in the original PKCS#7 form or in the CAdES-BES form.
#pragma once

#include <cstdint>
#include <vector>

// The original form. Returns 0, PKCS7_ERR_MEMORY (8), PKCS7_ERR_BUFFER_SMALL,
// or the platform's error code when the certificate cannot be decoded.
//
// Two calls: with a null outBuffer only the exact length of the SignedFile is
// stored in *outLength. With a buffer, *outLength is its capacity on entry; the
// SignedFile is written when it fits (PKCS7_ERR_BUFFER_SMALL and nothing
// written otherwise), and *outLength receives its exact length.
int32_t fnBuildPkcs7(const uint8_t* content, uint32_t contentLength,
                     const uint8_t* signature, uint32_t signatureLength,
                     const uint8_t* certificate, uint32_t certificateLength,
                     const uint8_t* personalData, uint32_t personalDataLength,
                     uint8_t* outBuffer, uint32_t* outLength);

// The CAdES-BES form, with the signed attributes that the signature covers
// (as encodeSignedAttributes made them). Results and calls as fnBuildPkcs7.
int32_t buildCadesFile(const uint8_t* content, uint32_t contentLength,
                       const uint8_t* signature, uint32_t signatureLength,
                       const uint8_t* certificate, uint32_t certificateLength,
                       const std::vector<uint8_t>& signedAttributes,
                       const uint8_t* personalData, uint32_t personalDataLength,
                       uint8_t* outBuffer, uint32_t* outLength);

// A certificate's encoded issuer Name and its serial number's INTEGER content
// octets in the certificate's own order (a leading 00 included). Returns 0, or
// the platform's error code when the certificate cannot be decoded.
int32_t readIssuerAndSerial(const uint8_t* certificate, uint32_t certificateLength,
                            std::vector<uint8_t>* issuer, std::vector<uint8_t>* serial);
