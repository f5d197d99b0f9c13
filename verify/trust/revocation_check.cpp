#include "revocation_check.h"

#include <windows.h>

#include <functional>

#include "message_box.h"
#include "message_format.h"
#include "ocsp_check.h"
#include "quillcheck_messages.h"
#include "signer_details.h"
#include "trusted_list_acceptance.h"

int32_t CheckCertificateAgainstCrl(const CrlBlob& crl, const uint8_t* certificate, size_t length,
                                   const std::vector<uint8_t>& issuer, const FILETIME* signedAt) {
    std::unique_ptr<AcceptedCrl> accepted;
    const int32_t verdict = acceptCrl(crl, certificate, length, issuer, nullptr, &accepted, signedAt);
    return accepted ? accepted->answer() : verdict;
}

namespace {

// Fetches an address's list: 0 and the list (empty when the server sent
// nothing), or why none was had.
using CrlFetch = std::function<int32_t(std::vector<uint8_t>*)>;

// When a list was issued: its this-update (0 when it cannot be read).
UtcSeconds listIssuedAt(const CrlBlob& crl) {
    PCCRL_CONTEXT context = CertCreateCRLContext(X509_ASN_ENCODING, crl.pbData, crl.cbData);
    if (context == nullptr) return 0;
    const UtcSeconds issued = utcSecondsOf(context->pCrlInfo->ThisUpdate);
    CertFreeCRLContext(context);
    return issued;
}

// The answer of a list the gate accepted; a failure has no source.
RevocationAnswer listAnswer(int32_t code, const CrlBlob& crl) {
    if (code <= 0) return {code, RevocationSource::None, 0};
    return {code, RevocationSource::Crl, listIssuedAt(crl)};
}

// What a believed OCSP answer means at the time that counts.
RevocationAnswer ocspAnswer(const OcspAnswer& answer, const FILETIME* signedAt) {
    int32_t code = CRLCHECK_OCSP_UNKNOWN;
    if (answer.status == OcspCertStatus::Good) {
        code = CRLCHECK_VALID;
    } else if (answer.status == OcspCertStatus::Revoked) {
        const bool later = signedAt != nullptr && answer.revocationTime > utcSecondsOf(*signedAt);
        code = later ? CRLCHECK_REVOKED_LATER : CRLCHECK_REVOKED;
    }
    return {code, RevocationSource::Ocsp, answer.producedAt};
}

// CheckRevocation's steps on the list, with the download left to `fetch`:
// the cached copy when it settles the question, else the fetched list
// through the gate for this certificate's issuer, with the cached copy (when
// authentic) as the floor. A list the gate accepts is cached.
RevocationAnswer checkList(const uint8_t* certificate, size_t length, int skipCache, const std::vector<uint8_t>& issuer,
                           const CrlUrl& url, const CrlFetch& fetch, const FILETIME* signedAt) {
    std::vector<uint8_t> cached;
    const bool haveCached = ReadCachedCrl(url, &cached) != 0;
    if (haveCached && !skipCache) {
        const int32_t answer =
            revocationResultOf(CheckCertificateAgainstCrl(blobOf(cached), certificate, length, issuer, signedAt), true);
        if (answer != 0) return listAnswer(answer, blobOf(cached));
    }
    std::vector<uint8_t> crl;
    const int32_t downloaded = fetch(&crl);
    if (downloaded != 0) return {downloaded};
    if (crl.empty()) return {CRLCHECK_EMPTY};
    // The cached copy, when authentic, is the floor: an older list is a rollback.
    const CrlBlob known = blobOf(cached);
    std::unique_ptr<AcceptedCrl> accepted;
    const int32_t verdict =
        acceptCrl(blobOf(crl), certificate, length, issuer, haveCached ? &known : nullptr, &accepted, signedAt);
    if (!accepted) return {revocationResultOf(verdict, false)};
    WriteCachedCrl(*accepted, url);
    return listAnswer(revocationResultOf(accepted->answer(), false), accepted->blob());
}

// The whole check of one certificate: its responder first, through `post`,
// then its list, through `fetch` of its address. `asked` learns of each
// responder asked and whether it failed to answer.
RevocationAnswer checkCertificate(const std::vector<uint8_t>& certificate, int skipCache,
                                  const std::vector<uint8_t>& issuer, const FILETIME* signedAt, const OcspPost& post,
                                  const std::function<CrlFetch(const std::string&, const CrlUrl&)>& fetchOf,
                                  const std::function<void(const OcspOutcome&)>& asked = nullptr) {
    // Without the issuer's key no answer can be checked: nothing is fetched.
    if (!issuer.empty()) {
        const OcspOutcome outcome = askOcsp(certificate, issuer, skipCache != 0, signedAt, post);
        if (asked) asked(outcome);
        if (outcome.kind == OcspOutcome::Kind::Believed) return ocspAnswer(outcome.answer, signedAt);
    }
    const std::string address = GetCrlUrl(certificate.data(), certificate.size());
    if (address.empty()) return {CRLCHECK_URL};
    CrlUrl url;
    if (!parseCrlUrl(address, &url)) return {CRLCHECK_URL_PARSE};
    if (issuer.empty()) return {CRLCHECK_INTERNAL};
    return checkList(certificate.data(), certificate.size(), skipCache, issuer, url, fetchOf(address, url), signedAt);
}

}  // namespace

RevocationAnswer CheckRevocation(const uint8_t* certificate, size_t length, int skipCache,
                                 const std::vector<uint8_t>& issuer, const FILETIME* signedAt) {
    try {
        const std::vector<uint8_t> der(certificate, certificate + (certificate == nullptr ? 0 : length));
        return checkCertificate(der, skipCache, issuer, signedAt, PostOcspRequest,
                                [](const std::string& address, const CrlUrl& url) -> CrlFetch {
                                    return [address, url](std::vector<uint8_t>* crl) {
                                        return DownloadCrl(address, url, CRL_RETRIEVAL_SECONDS, crl);
                                    };
                                });
    } catch (...) {
        return {CRLCHECK_EXCEPTION};
    }
}

RevocationAnswer RevocationRun::check(const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer,
                                      const FILETIME* signedAt) {
    try {
        // A responder that failed once is not asked again in this run.
        const OcspPost post = [this](const std::string& address, const std::vector<uint8_t>& request,
                                     std::vector<uint8_t>* answer) {
            if (failedResponders_.count(address) != 0) return CRLCHECK_NETWORK;
            return PostOcspRequest(address, request, answer);
        };
        const auto remember = [this](const OcspOutcome& outcome) {
            if (outcome.kind == OcspOutcome::Kind::Failed) failedResponders_.insert(outcome.address);
        };
        // The address's download is made once, by the first certificate that
        // needs it; every certificate then takes it through the gate for its
        // own issuer, above its own floor.
        const auto once = [this](const std::string& address, const CrlUrl& url) -> CrlFetch {
            Fetched& fetched = lists_[address];
            return [&fetched, address, url](std::vector<uint8_t>* crl) {
                if (!fetched.tried) {
                    fetched.tried = true;
                    fetched.failure = DownloadCrl(address, url, CRL_RETRIEVAL_SECONDS, &fetched.list);
                }
                *crl = fetched.list;
                return fetched.failure;
            };
        };
        return checkCertificate(certificate, 0, issuer, signedAt, post, once, remember);
    } catch (...) {
        return {CRLCHECK_EXCEPTION};
    }
}

const FILETIME* stampedAt(const SignedFileRecord& record, int index, FILETIME* time) {
    const bool known = index >= 0 && index < record.signerCount && index < static_cast<int>(MAX_SIGNERS);
    if (!known || record.timestampTicks[index] == 0) return nullptr;
    time->dwLowDateTime = static_cast<DWORD>(record.timestampTicks[index]);
    time->dwHighDateTime = static_cast<DWORD>(record.timestampTicks[index] >> 32);
    return time;
}

SignerRevocation checkSignerRevocation(const SignedFileRecord& record, int index, const CertificateCheck& check) {
    static const std::vector<uint8_t> none;
    const bool known = index >= 0 && index < record.signerCount && index < static_cast<int>(MAX_SIGNERS);
    const std::vector<uint8_t>& certificate = known ? record.signerCerts[index] : none;
    const std::vector<uint8_t>& issuer = known ? record.issuerCerts[index] : none;
    FILETIME time;
    const FILETIME* at = stampedAt(record, index, &time);
    using Stamp = SignerRevocation::Stamp;
    const auto judged = [](const RevocationAnswer& answer, Stamp stamp) {
        return SignerRevocation{answer.code, stamp, answer.source, answer.issuedAt};
    };
    if (at == nullptr) return judged(check(certificate, issuer, nullptr), Stamp::None);
    // A token counts only if its authority was not revoked before its time.
    const int32_t authority =
        check(record.timestampAuthorities[index], record.timestampAuthorityIssuers[index], at).code;
    if (authority == CRLCHECK_REVOKED) return judged(check(certificate, issuer, nullptr), Stamp::AuthorityRevoked);
    const bool counts = authority == CRLCHECK_VALID || authority == CRLCHECK_REVOKED_LATER;
    return judged(check(certificate, issuer, at), counts ? Stamp::Counts : Stamp::AuthorityUnchecked);
}

std::string revocationSourceText(RevocationSource source, UtcSeconds issuedAt) {
    if (source == RevocationSource::None) return "";
    const std::string when = localTimeText(fileTimeOf(issuedAt));
    return formatMessage(source == RevocationSource::Ocsp ? quillcheck_messages::REVOCATION_SOURCE_OCSP
                                                          : quillcheck_messages::REVOCATION_SOURCE_CRL,
                         when.c_str());
}

std::string signerRevocationMessage(const SignerRevocation& answer) {
    std::string text = revocationMessage(answer.code);
    if (answer.stamp == SignerRevocation::Stamp::AuthorityRevoked) {
        text = std::string(quillcheck_messages::REVOCATION_STAMP_AUTHORITY_REVOKED) + "\n" + text;
    } else if (answer.stamp == SignerRevocation::Stamp::AuthorityUnchecked) {
        text = std::string(quillcheck_messages::REVOCATION_STAMP_AUTHORITY_UNCHECKED) + "\n" + text;
    }
    const std::string source = revocationSourceText(answer.source, answer.issuedAt);
    return source.empty() ? text : text + "\n" + source;
}

int32_t ReportRevocation(int index, const SignedFileRecord& record) {
    const SignerRevocation answer = checkSignerRevocation(
        record, index, [](const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer, const FILETIME* at) {
            return CheckRevocation(certificate.data(), certificate.size(), 0, issuer, at);
        });
    showProgramMessage(signerRevocationMessage(answer).c_str(), MB_OK);
    return 0;
}
