#include "revocation_check.h"

#include <windows.h>

#include "message_box.h"

int32_t CheckCertificateAgainstCrl(const CrlBlob& crl, const uint8_t* certificate, size_t length,
                                   const std::vector<uint8_t>& issuer, const FILETIME* signedAt) {
    std::unique_ptr<AcceptedCrl> accepted;
    const int32_t verdict = acceptCrl(crl, certificate, length, issuer, nullptr, &accepted, signedAt);
    return accepted ? accepted->answer() : verdict;
}

namespace {

// CheckRevocation's steps. `fetched`, when given, receives the list the
// answer came from: the cached copy when it settled the question, else the
// downloaded one (whatever the gate said of it); it stays empty when none was had.
int32_t checkRevocation(const uint8_t* certificate, size_t length, int skipCache, const std::vector<uint8_t>& issuer,
                        const std::string& address, const CrlUrl& url, std::vector<uint8_t>* fetched,
                        const FILETIME* signedAt) {
    std::vector<uint8_t> cached;
    const bool haveCached = ReadCachedCrl(url, &cached) != 0;
    if (haveCached && !skipCache) {
        const int32_t answer =
            revocationResultOf(CheckCertificateAgainstCrl(blobOf(cached), certificate, length, issuer, signedAt), true);
        if (answer != 0) {
            if (fetched) *fetched = std::move(cached);
            return answer;
        }
    }
    std::vector<uint8_t> crl;
    const int32_t downloaded = DownloadCrl(address, url, CRL_RETRIEVAL_SECONDS, &crl);
    if (downloaded != 0) return downloaded;
    if (crl.empty()) return CRLCHECK_EMPTY;
    // The cached copy, when authentic, is the floor: an older list is a rollback.
    const CrlBlob known = blobOf(cached);
    std::unique_ptr<AcceptedCrl> accepted;
    const int32_t verdict =
        acceptCrl(blobOf(crl), certificate, length, issuer, haveCached ? &known : nullptr, &accepted, signedAt);
    if (fetched) *fetched = crl;
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
        return checkRevocation(certificate, length, skipCache, issuer, address, url, nullptr, signedAt);
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
        const auto known = lists_.find(address);
        if (known == lists_.end()) {
            Fetched first;
            const int32_t answer =
                checkRevocation(certificate.data(), certificate.size(), 0, issuer, address, url, &first.list, signedAt);
            if (first.list.empty()) first.failure = answer;
            lists_.emplace(address, std::move(first));
            return answer;
        }
        if (known->second.list.empty()) return known->second.failure;
        // The same gate as the first certificate's list passed (or failed).
        return revocationResultOf(
            CheckCertificateAgainstCrl(blobOf(known->second.list), certificate.data(), certificate.size(), issuer,
                                       signedAt),
            false);
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

int32_t ReportRevocation(int index, const SignedFileRecord& record) {
    static const std::vector<uint8_t> none;
    const bool known = index >= 0 && index < record.signerCount && index < static_cast<int>(MAX_SIGNERS);
    const std::vector<uint8_t>& certificate = known ? record.signerCerts[index] : none;
    const std::vector<uint8_t>& issuer = known ? record.issuerCerts[index] : none;
    FILETIME time;
    const int32_t code = CheckRevocation(certificate.data(), certificate.size(), 0, issuer, stampedAt(record, index, &time));
    showProgramMessage(revocationMessage(code).c_str(), MB_OK);
    return 0;
}
