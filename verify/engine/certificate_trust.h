// The one question the load asks about a certificate: who vouches for it at
// a given time. The built-in authorities answer it (AcceptedCaTable); the
// trust layer (verify/trust) answers it with the trusted list besides.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>
#include <vector>

#include "signed_message.h"
#include "signer_status.h"

struct TrustAnswer {
    enum class Verdict {
        Vouched,      // an accepted authority, or a service the list trusts then, issued it
        NotVouched,   // nothing trusted issued it
        ListOutdated  // only a list past its next update could say, and it proves nothing then
    };
    Verdict verdict = Verdict::NotVouched;
    // The certificate that signed it (DER), for the revocation check: the
    // accepted authority's, or the first one up its chain; empty when unknown.
    std::vector<uint8_t> issuer;
    // Through the trusted list only: the trust service provider's name and
    // what the list and the certificate make of it.
    std::string provider;
    Qualification qualification = Qualification::None;
};

class CertificateTrust {
public:
    virtual ~CertificateTrust() = default;
    // A document signer's certificate at `time`, the file's certificates at hand.
    virtual TrustAnswer signer(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                               const FILETIME& time) const = 0;
    // The certificate of a time-stamp token's authority at the token's time,
    // the token's certificates at hand.
    virtual TrustAnswer timeStamping(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                                     const FILETIME& time) const = 0;
};
