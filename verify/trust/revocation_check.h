// Whether a signer's certificate is revoked: by its authority's OCSP
// responder where the certificate names one and its answer is believed, else
// by its authority's revocation list (the check of one list, the whole check
// with the cached copy and a download), and the box that tells the user.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "crl_acceptance.h"
#include "crl_retrieval.h"
#include "crl_rules.h"
#include "list_values.h"
#include "signed_file_record.h"

// A CRLVERIFY_* result for `certificate` (DER) against `crl`, with `issuer`
// the DER certificate of the certificate's issuer (empty when unknown): the
// answer of a list that passed acceptCrl, or why it was not believed.
// With `signedAt`, the time a time-stamp proves for the signature, the
// answer is as of that time (AcceptedCrl::answer).
int32_t CheckCertificateAgainstCrl(const CrlBlob& crl, const uint8_t* certificate, size_t length,
                                   const std::vector<uint8_t>& issuer, const FILETIME* signedAt = nullptr);

// Which source answered a revocation check.
enum class RevocationSource { None, Ocsp, Crl };

// A revocation check's answer: the CRLCHECK_* result, and for an answer
// (not a failure) its source and when that source issued it: the OCSP
// answer's production time, the list's this-update.
struct RevocationAnswer {
    int32_t code = 0;
    RevocationSource source = RevocationSource::None;
    UtcSeconds issuedAt = 0;
};

// The check of `certificate`, whose issuer's certificate is `issuer` (empty
// when unknown: then nothing is believed, and the result is
// CRLCHECK_INTERNAL). Where the certificate names an OCSP responder, its
// believed answer decides (askOcsp): good CRLCHECK_VALID, revoked
// CRLCHECK_REVOKED (CRLCHECK_REVOKED_LATER when revoked after `signedAt`),
// unknown CRLCHECK_OCSP_UNKNOWN. Otherwise its list decides: the cached
// one when that settles the question (unless `skipCache`), else one
// downloaded within CRL_RETRIEVAL_SECONDS, which is cached once the gate has
// accepted it. With `signedAt`, the answer is as of the time a time-stamp
// proves (CRLCHECK_REVOKED_LATER, _NOT_ESTABLISHED too).
RevocationAnswer CheckRevocation(const uint8_t* certificate, size_t length, int skipCache,
                                 const std::vector<uint8_t>& issuer, const FILETIME* signedAt = nullptr);

// The revocation checks of one run over many SignedFiles: each address's list
// is downloaded at most once, a download that failed is not tried again, and
// a responder that failed to answer is not asked again. Every certificate is
// checked as CheckRevocation checks it: its responder, else its cached list
// when that settles the question, else the run's download of its address,
// believed only when the gate accepts it for that certificate's own issuer
// and it is not older than the cached copy. A list that another certificate's
// check fetched decides nothing for an issuer that did not sign it.
class RevocationRun {
public:
    RevocationAnswer check(const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer,
                           const FILETIME* signedAt = nullptr);

private:
    struct Fetched {
        bool tried = false;
        std::vector<uint8_t> list;  // as downloaded; empty when none was had
        int32_t failure = 0;        // the download's failure, when it failed
    };
    std::map<std::string, Fetched> lists_;         // by address
    std::set<std::string> failedResponders_;       // their addresses
};

// The time a signer's time-stamp proves, when it counts: null when it has none.
const FILETIME* stampedAt(const SignedFileRecord& record, int index, FILETIME* time);

// One certificate's revocation check, as CheckRevocation or a RevocationRun
// makes it: the certificate, its issuer's, and the time to judge it at (null: now).
using CertificateCheck = std::function<RevocationAnswer(const std::vector<uint8_t>& certificate,
                                                        const std::vector<uint8_t>& issuer, const FILETIME* at)>;

// What the revocation check says of one signer of a loaded file.
struct SignerRevocation {
    enum class Stamp {
        None,               // no time-stamp counts: the certificate is judged now
        Counts,             // its authority was not revoked before the token's time
        AuthorityRevoked,   // its authority was revoked before it: the token proves nothing
        AuthorityUnchecked  // whether its authority was revoked could not be established
    };
    int32_t code = 0;  // the CRLCHECK_* result for the signer's certificate
    Stamp stamp = Stamp::None;
    RevocationSource source = RevocationSource::None;  // of that result, and when the source issued it
    UtcSeconds issuedAt = 0;
};

// Signer `index` of `record`. Where a time-stamp counts, its authority's
// certificate is checked first, at the token's time: revoked by then, the
// token proves nothing and the signer's certificate is judged now; not
// revoked by then (or only later), the certificate is judged at the token's
// time; not established, it is judged at the token's time too, and the
// answer says that the stamp must be checked.
SignerRevocation checkSignerRevocation(const SignedFileRecord& record, int index, const CertificateCheck& check);

// The text of the box for such an answer: revocationMessage of its code,
// after a line on the time-stamp's authority when that has something to say,
// and before the line of its source when it has one (revocationSourceText).
std::string signerRevocationMessage(const SignerRevocation& answer);

// "(fonte: OCSP, risposta del dd/mm/yyyy hh:mm)", "(fonte: CRL, lista del
// dd/mm/yyyy hh:mm)" in local time; empty without a source.
std::string revocationSourceText(RevocationSource source, UtcSeconds issuedAt);

// Checks signer `index` of `record` (checkSignerRevocation, with
// CheckRevocation) and shows the result in a box of the program. Returns 0.
int32_t ReportRevocation(int index, const SignedFileRecord& record);
