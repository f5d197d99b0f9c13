// The SignedFile encoder: content, the card's signature, the signer's
// certificate and the personal-data record become the bytes of a SignedFile.
#pragma once

#include <cstdint>

// Returns 0, PKCS7_ERR_MEMORY (8), PKCS7_ERR_BUFFER_SMALL, or the platform's
// error code when the certificate cannot be decoded.
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
