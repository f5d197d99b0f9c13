// Who vouches for a certificate, as the verification program decides it:
// one of the built-in authorities, else a service of the trusted list that
// was trusted for that role at the time that counts.
#pragma once

#include <memory>

#include "accepted_cas.h"
#include "certificate_trust.h"
#include "trusted_list_acceptance.h"

// Certificates above a signer's that are looked up before giving up: the
// signer's issuer, and at most two more (a file carries the intermediates).
constexpr int MAX_CHAIN_LEVELS = 3;

class ListTrust : public CertificateTrust {
public:
    // `list` may be null: then the built-in authorities alone decide.
    ListTrust(const AcceptedCaTable& builtIn, std::shared_ptr<const AcceptedTrustedList> list)
        : builtIn_(builtIn), list_(std::move(list)) {}

    // Vouched by a built-in authority as always. Else, when the list speaks
    // for `time`: vouched when its chain reaches, within MAX_CHAIN_LEVELS
    // certificates each found by subject, key identifier and a verified
    // signature among the service's and the file's, and each valid at
    // `time`, a CA/QC service trusted for signatures at `time`; else not.
    // A list that does not speak for `time` proves neither: ListOutdated.
    TrustAnswer signer(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                       const FILETIME& time) const override;
    // The same for the authority of a time-stamp token, whose certificate
    // must be a time-stamping service's certificate, or issued by one.
    TrustAnswer timeStamping(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                             const FILETIME& time) const override;

    const AcceptedTrustedList* list() const { return list_.get(); }

private:
    const AcceptedCaTable& builtIn_;
    std::shared_ptr<const AcceptedTrustedList> list_;
};
