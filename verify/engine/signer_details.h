// Per signer of a loaded SignedFile: name, expiry date, the state bits of the
// certificate, and the certificate.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "accepted_cas.h"
#include "certificate_trust.h"
#include "timestamp_check.h"
#include "signed_file_record.h"
#include "signed_message.h"

// Fills, for each signer of the decoded message, its name and expiry date,
// adds NOT_YET_VALID, EXPIRED, CA_NOT_ACCEPTED and LIST_OUTDATED to its
// status, puts its certificate into handles[g] and its issuer's certificate,
// when known, into issuers[g]; where the trusted list vouches for it, the
// provider's name into providers[g] and what it is into qualifications[g].
// Validity and trust are judged as of `now`, or, for a signer whose
// signature verified and whose time-stamp token counts (checkTimestamp), at
// the token's time: it becomes TIMESTAMPED, with the token's check in
// stamps[g] (left as it is otherwise); a token that does not count adds TIMESTAMP_FAILED or
// TIMESTAMP_NOT_ACCEPTED. A signer whose certificate the platform cannot
// read gets SIGNATURE_INVALID and CERTIFICATE_UNREADABLE, and no handle; an
// unreadable counter-signature value gets nothing. Returns 0 and hands the
// handles to the caller.
struct SignerDetailSlots {
    PCCERT_CONTEXT* handles;
    std::vector<uint8_t>* issuers;
    char (*names)[SIGNER_TEXT_SIZE];
    char (*dates)[SIGNER_TEXT_SIZE];
    SignerStatus* statuses;
    SignerTimestamp* stamps;
    std::string* providers;
    Qualification* qualifications;
};
int32_t readSignerDetails(const SignedMessage& message, const CertificateTrust& trust, const FILETIME& now,
                          const SignerDetailSlots& slots);

// NOT_YET_VALID when `now` is not later than the start of validity, EXPIRED
// when it is at or after the end, else 0.
SignerStatus validityStatus(const CERT_INFO& certificate, const FILETIME& now);

// A time in the machine's local time as signingTimeText writes it; empty
// when it cannot be converted.
std::string localTimeText(const FILETIME& time);

// The time that a signer's signing-time attribute names (UTCTime or
// GeneralizedTime), among its signed attributes only, in the machine's local
// time as signingTimeText writes it; empty when it has none or it cannot be read.
std::string signingTimeOf(const SignerInfo& signer);

// The value of the subject's first common name, or an empty text.
std::string subjectCommonName(PCCERT_CONTEXT certificate);
