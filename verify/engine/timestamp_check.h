// The time-stamp token that a signer may carry (its unsigned attribute
// 1.2.840.113549.1.9.16.2.14): whether it proves when the signature existed.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "certificate_trust.h"
#include "signed_message.h"

enum class TimestampOutcome {
    None,                // the signer carries no token
    Counts,              // the token proves its time
    Failed,              // a token that fails a check proves nothing
    AuthorityNotAccepted // a sound token of an authority that no accepted one issued proves nothing
};

struct SignerTimestamp {
    TimestampOutcome outcome = TimestampOutcome::None;
    FILETIME time{};  // the token's time, for Counts and AuthorityNotAccepted
    // For Counts: the time-stamping authority's certificate (DER) and the
    // accepted authority's that issued it, for the revocation check.
    std::vector<uint8_t> authority, authorityIssuer;
    // For Counts: a qualified time-stamp, vouched for by a time-stamping
    // service of the trusted list.
    bool qualified = false;
};

// The signer's first token, checked: it is a SignedData of a TSTInfo whose
// first signer's signature verifies; that signer's signed attributes carry a
// signing-certificate attribute (version 1 or 2) naming its certificate;
// that certificate's only extended key usage is time stamping, marked
// critical, and it was valid at the token's time; and the token's message
// imprint is the digest of the signer's signature value. Then it counts when
// `trust` vouches for that certificate at the token's time.
SignerTimestamp checkTimestamp(const SignerInfo& signer, const CertificateTrust& trust);
