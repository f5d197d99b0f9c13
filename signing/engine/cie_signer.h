// The middleware back-end: signs content with a CIE through the card
// middleware, on the connection that its caller holds open, and hands the
// SignedFile back. It shows no messages; its caller reports.
#pragma once

#include <cstdint>

#include "signature_form.h"

// Verifies the PIN, has the card sign the content's SHA-1 DigestInfo, reads
// the card's certificate and encodes the SignedFile in the original form with
// the personal-data record. Two calls: without an output buffer the SignedFile's length is
// stored in *inOutLength and the bytes are dropped; with one, *inOutLength is
// its capacity on entry, and a buffer too small gets nothing and
// SIGN_ERR_BUFFER_SMALL with the needed length. Every call runs the whole
// sequence on the card. Results: 0, the middleware's own code (0x6300 for a
// refused PIN), SIGN_ERR_DIGEST, SIGN_ERR_BUFFER_SMALL, SIGN_ERR_CARD_LENGTH
// (the middleware reported more than its buffer holds), the encoder's code,
// SIGN_ERR_EXCEPTION, or SIGN_ERR_GENERIC for a missing length pointer.
int32_t fnSignBufferCie(const char* pin, uint8_t pinLength, const uint8_t* content,
                        uint32_t contentLength, const uint8_t* personalData,
                        uint32_t personalDataLength, uint8_t* outBuffer, uint32_t* inOutLength);

// The same in either form. The CAdES form reads the certificate before the
// card signs (the signed attributes name it) and signs the DigestInfo of the
// attributes' SHA-256; a failure to decode the certificate returns the
// platform's code.
int32_t fnSignBufferCie(SignatureForm form, const char* pin, uint8_t pinLength, const uint8_t* content,
                        uint32_t contentLength, const uint8_t* personalData,
                        uint32_t personalDataLength, uint8_t* outBuffer, uint32_t* inOutLength);
