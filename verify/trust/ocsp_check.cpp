#include "ocsp_check.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <memory>

#include "certificate_facts.h"
#include "crl_retrieval.h"
#include "signer_details.h"
#include "trusted_list_acceptance.h"

namespace {

struct CertificateReleaser {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateReleaser>;

Certificate certificateOf(const std::vector<uint8_t>& der) {
    if (der.empty() || der.size() > MAXDWORD) return nullptr;
    return Certificate(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
}

// A nonce extension's value: an OCTET STRING of 16 random octets, so that an
// answer recorded before cannot be played back as this one.
std::vector<uint8_t> freshNonce() {
    std::vector<uint8_t> nonce = {0x04, 16};
    nonce.resize(2 + 16);
    if (BCryptGenRandom(nullptr, nonce.data() + 2, 16, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return {};
    return nonce;
}

// The nonce an answer gives (empty when none): a cached answer was checked
// against the nonce sent when it was asked; read again, its freshness is its
// own next update.
std::vector<uint8_t> nonceGiven(const std::vector<uint8_t>& answer) {
    OcspResponse response;
    if (!readOcspResponse({answer.data(), answer.size()}, &response)) return {};
    return std::vector<uint8_t>(response.nonce.data, response.nonce.data + response.nonce.size);
}

bool readCached(const std::string& path, std::vector<uint8_t>* answer) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    answer->resize(MAX_OCSP_ANSWER_SIZE + 1);
    answer->resize(std::fread(answer->data(), 1, answer->size(), file.get()));
    return answer->size() <= MAX_OCSP_ANSWER_SIZE;
}

// Whether the responder said it could not answer (tryLater, internalError,
// unauthorized...): then it failed, as one that sent nothing did.
bool saysItCannotAnswer(const std::vector<uint8_t>& answer) {
    OcspResponse response;
    return readOcspResponse({answer.data(), answer.size()}, &response) && response.responseStatus != OCSP_SUCCESSFUL;
}

}  // namespace

int32_t PostOcspRequest(const std::string& address, const std::vector<uint8_t>& request, std::vector<uint8_t>* answer) {
    return DownloadWithin(
        CRL_RETRIEVAL_SECONDS,
        [address, request](std::vector<uint8_t>* bytes) {
            return PostHttp(address, "application/ocsp-request", request, "application/ocsp-response",
                            MAX_OCSP_ANSWER_SIZE, bytes);
        },
        answer);
}

std::string ocspCachePath(const OcspCertId& id) {
    char folder[2048];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return "";
    return std::string(folder) + CRL_CACHE_FOLDER + "\\" + ocspCacheName(id) + ".ocsp";
}

OcspOutcome askOcsp(const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer, bool skipCache,
                    const FILETIME* at, const OcspPost& post) {
    OcspOutcome outcome;
    CertificateFacts facts;
    if (!readCertificateFacts({certificate.data(), certificate.size()}, &facts)) return outcome;
    outcome.address = facts.ocspAddress;
    const Certificate subject = certificateOf(certificate), authority = certificateOf(issuer);
    if (outcome.address.empty() || !subject || !authority) return outcome;
    const UtcSeconds now = utcNow();
    if (validityStatus(*subject->pCertInfo, fileTimeOf(now)) != 0 ||
        (at != nullptr && validityStatus(*subject->pCertInfo, *at) != 0)) {
        return outcome;
    }

    const OcspCertId id = ocspCertIdOf(subject.get(), authority.get());
    const std::string cached = ocspCachePath(id);
    std::vector<uint8_t> answer;
    if (!skipCache && !cached.empty() && readCached(cached, &answer) &&
        acceptOcspAnswer({answer.data(), answer.size()}, subject.get(), authority.get(), nonceGiven(answer), now,
                         &outcome.answer)
            .empty()) {
        outcome.kind = OcspOutcome::Kind::Believed;
        return outcome;
    }

    const std::vector<uint8_t> nonce = freshNonce();
    if (nonce.empty()) return outcome;
    outcome.kind = OcspOutcome::Kind::Failed;
    if (post(outcome.address, ocspRequest(id, nonce), &answer) != 0 || saysItCannotAnswer(answer)) return outcome;
    if (!acceptOcspAnswer({answer.data(), answer.size()}, subject.get(), authority.get(), nonce, utcNow(),
                          &outcome.answer)
             .empty()) {
        outcome.kind = OcspOutcome::Kind::Refused;
        return outcome;
    }
    outcome.kind = OcspOutcome::Kind::Believed;
    // "unknown" says nothing lasting: only good and revoked are kept.
    if (outcome.answer.status != OcspCertStatus::Unknown) replaceCacheFile(cached, answer.data(), answer.size());
    return outcome;
}
