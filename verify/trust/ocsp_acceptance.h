// The one gate an OCSP answer passes before the revocation check believes
// it: the rules of ocspAnswerRefusal, then a signature by the certificate's
// issuer, or by a responder the issuer authorised for that.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "ocsp_response.h"

// What a believed answer says of one certificate.
struct OcspAnswer {
    OcspCertStatus status = OcspCertStatus::Unknown;
    UtcSeconds revocationTime = 0;  // for Revoked
    UtcSeconds thisUpdate = 0;
    UtcSeconds producedAt = 0;
    UtcSeconds speaksUntil = 0;  // its next update, or its thisUpdate and OCSP_ANSWER_LIFE
};

// The SHA-1 CertID of `certificate`, whose issuer is `issuer`: the hashes of
// the issuer's subject Name and of its key's bits, and the serial number.
OcspCertId ocspCertIdOf(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer);

// Empty with `answer` filled when `bytes` is believed as the answer about
// `certificate` (issued by `issuer`), asked with `nonce` at `now`; else why
// not. Besides the rules of ocspAnswerRefusal, the signature verifies with
// the key of the certificate its responder ID names (by name or by key
// hash), which is `issuer` itself or a certificate the answer carries that
// `issuer` signed, that names OCSP signing among its extended key usages,
// and that was valid when the answer was produced.
std::string acceptOcspAnswer(ber::Span bytes, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                             const std::vector<uint8_t>& nonce, UtcSeconds now, OcspAnswer* answer);
