// The one gate a revocation list passes before the check believes it or the
// cache keeps it. Lists arrive over plain HTTP or LDAP, or from a file any
// program of the user can write: whatever does not pass is not believed.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "crl_rules.h"

// A CRL's encoded bytes as the check reads them: length, then pointer (the
// shape of an LDAP binary value).
struct CrlBlob {
    uint32_t cbData = 0;
    const uint8_t* pbData = nullptr;
};

inline CrlBlob blobOf(const std::vector<uint8_t>& bytes) {
    return {static_cast<uint32_t>(bytes.size()), bytes.data()};
}

// A list that passed the gate, for one certificate: only acceptCrl makes one.
class AcceptedCrl {
public:
    ~AcceptedCrl();
    AcceptedCrl(const AcceptedCrl&) = delete;
    AcceptedCrl& operator=(const AcceptedCrl&) = delete;

    // The list's bytes as received.
    CrlBlob blob() const { return blobOf(bytes_); }
    // CRLVERIFY_GOOD, CRLVERIFY_REVOKED, or CRLVERIFY_TIME when now is outside
    // the certificate's validity (listed or not). With a time-stamp's time:
    // CRLVERIFY_TIME when that time is outside it; CRLVERIFY_REVOKED only when
    // the entry's revocation date, or its invalidity date when earlier, is not
    // later than that time, else CRLVERIFY_REVOKED_LATER; for a certificate
    // that has expired since and is not listed, CRLVERIFY_GOOD only when the
    // list keeps expired certificates (its expired-certificates-on-CRL date is
    // not later than the certificate's end), else CRLVERIFY_NOT_ESTABLISHED.
    int32_t answer() const { return answer_; }

private:
    friend int32_t acceptCrl(const CrlBlob&, const uint8_t*, size_t, const std::vector<uint8_t>&, const CrlBlob*,
                             std::unique_ptr<AcceptedCrl>*, const FILETIME*);
    AcceptedCrl(std::vector<uint8_t> bytes, int32_t answer) : bytes_(std::move(bytes)), answer_(answer) {}

    std::vector<uint8_t> bytes_;
    int32_t answer_;
};

// The gate, for `certificate` (DER) and its issuer's DER certificate `issuer`
// (empty when the issuer is unknown): CRLVERIFY_GOOD with the list in
// `accepted`, or why it is not believed (CRLVERIFY_FAILED, _UNSIGNED, _SCOPE,
// _ROLLBACK, _OUTDATED), in this order:
//   - it is readable and current: its next update later than now;
//   - it names the certificate's issuer, and that issuer's key signed it;
//   - it is a full list: no delta indicator; an issuing distribution point, if
//     any, that limits it to neither CA certificates, attribute certificates
//     nor some reasons, does not make it indirect, and names no point but one
//     the certificate's distribution points name; no other critical
//     extension, and no entry with a critical extension but a reason code or
//     an invalidity date;
//   - it is not older than `known` (the copy accepted before, when it is the
//     same issuer's authentic list): neither an earlier this-update nor a lower
//     CRL number.
// The accepted list's answer is as of now, or as of `signedAt`, the time a
// time-stamp proves for the signature, when given (see AcceptedCrl::answer).
int32_t acceptCrl(const CrlBlob& crl, const uint8_t* certificate, size_t length, const std::vector<uint8_t>& issuer,
                  const CrlBlob* known, std::unique_ptr<AcceptedCrl>* accepted, const FILETIME* signedAt = nullptr);
