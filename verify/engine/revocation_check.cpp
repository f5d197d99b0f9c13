#include "revocation_check.h"

#include <windows.h>

#include <functional>

#include "message_box.h"
#include "quillcheck_messages.h"

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

// CheckRevocation's steps, with the download left to `fetch`: the cached
// copy when it settles the question, else the fetched list through the gate
// for this certificate's issuer, with the cached copy (when authentic) as
// the floor. A list the gate accepts is cached.
int32_t checkRevocation(const uint8_t* certificate, size_t length, int skipCache, const std::vector<uint8_t>& issuer,
                        const CrlUrl& url, const CrlFetch& fetch, const FILETIME* signedAt) {
    std::vector<uint8_t> cached;
    const bool haveCached = ReadCachedCrl(url, &cached) != 0;
    if (haveCached && !skipCache) {
        const int32_t answer =
            revocationResultOf(CheckCertificateAgainstCrl(blobOf(cached), certificate, length, issuer, signedAt), true);
        if (answer != 0) return answer;
    }
    std::vector<uint8_t> crl;
    const int32_t downloaded = fetch(&crl);
    if (downloaded != 0) return downloaded;
    if (crl.empty()) return CRLCHECK_EMPTY;
    // The cached copy, when authentic, is the floor: an older list is a rollback.
    const CrlBlob known = blobOf(cached);
    std::unique_ptr<AcceptedCrl> accepted;
    const int32_t verdict =
        acceptCrl(blobOf(crl), certificate, length, issuer, haveCached ? &known : nullptr, &accepted, signedAt);
    if (!accepted) return revocationResultOf(verdict, false);
    WriteCachedCrl(*accepted, url);
    return revocationResultOf(accepted->answer(), false);
}

}  // namespace

int32_t CheckRevocation(const uint8_t* certificate, size_t length, int skipCache, const std::vector<uint8_t>& issuer,
                        const FILETIME* signedAt) {
    try {
        const std::string address = GetCrlUrl(certificate, length);
        if (address.empty()) return CRLCHECK_URL;
        CrlUrl url;
        if (!parseCrlUrl(address, &url)) return CRLCHECK_URL_PARSE;
        // Without the issuer's key no list can be checked: none is fetched.
        if (issuer.empty()) return CRLCHECK_INTERNAL;
        const CrlFetch download = [&](std::vector<uint8_t>* crl) {
            return DownloadCrl(address, url, CRL_RETRIEVAL_SECONDS, crl);
        };
        return checkRevocation(certificate, length, skipCache, issuer, url, download, signedAt);
    } catch (...) {
        return CRLCHECK_EXCEPTION;
    }
}

int32_t RevocationRun::check(const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer,
                             const FILETIME* signedAt) {
    try {
        const std::string address = GetCrlUrl(certificate.data(), certificate.size());
        if (address.empty()) return CRLCHECK_URL;
        CrlUrl url;
        if (!parseCrlUrl(address, &url)) return CRLCHECK_URL_PARSE;
        if (issuer.empty()) return CRLCHECK_INTERNAL;
        // The address's download is made once, by the first certificate that
        // needs it; every certificate then takes it through the gate for its
        // own issuer, above its own floor.
        Fetched& fetched = lists_[address];
        const CrlFetch once = [&](std::vector<uint8_t>* crl) {
            if (!fetched.tried) {
                fetched.tried = true;
                fetched.failure = DownloadCrl(address, url, CRL_RETRIEVAL_SECONDS, &fetched.list);
            }
            *crl = fetched.list;
            return fetched.failure;
        };
        return checkRevocation(certificate.data(), certificate.size(), 0, issuer, url, once, signedAt);
    } catch (...) {
        return CRLCHECK_EXCEPTION;
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
    if (at == nullptr) return {check(certificate, issuer, nullptr), Stamp::None};
    // A token counts only if its authority was not revoked before its time.
    const int32_t authority = check(record.timestampAuthorities[index], record.timestampAuthorityIssuers[index], at);
    if (authority == CRLCHECK_REVOKED) return {check(certificate, issuer, nullptr), Stamp::AuthorityRevoked};
    const bool counts = authority == CRLCHECK_VALID || authority == CRLCHECK_REVOKED_LATER;
    return {check(certificate, issuer, at), counts ? Stamp::Counts : Stamp::AuthorityUnchecked};
}

std::string signerRevocationMessage(const SignerRevocation& answer) {
    switch (answer.stamp) {
    case SignerRevocation::Stamp::AuthorityRevoked:
        return std::string(quillcheck_messages::REVOCATION_STAMP_AUTHORITY_REVOKED) + "\n" + revocationMessage(answer.code);
    case SignerRevocation::Stamp::AuthorityUnchecked:
        return std::string(quillcheck_messages::REVOCATION_STAMP_AUTHORITY_UNCHECKED) + "\n" +
               revocationMessage(answer.code);
    default:
        return revocationMessage(answer.code);
    }
}

int32_t ReportRevocation(int index, const SignedFileRecord& record) {
    const SignerRevocation answer = checkSignerRevocation(
        record, index, [](const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer, const FILETIME* at) {
            return CheckRevocation(certificate.data(), certificate.size(), 0, issuer, at);
        });
    showProgramMessage(signerRevocationMessage(answer).c_str(), MB_OK);
    return 0;
}
