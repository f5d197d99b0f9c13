#include "trusted_list_acceptance.h"

#include <windows.h>

#include <algorithm>

#include "list_signature.h"
#include "signature_check.h"
#include "xml_reader.h"

namespace {

// The digest of `bytes` by the platform's provider of the SHA-2 digests.
std::vector<uint8_t> digestOf(DigestKind kind, const std::string& bytes) {
    const ALG_ID algorithm = kind == DigestKind::Sha256   ? CALG_SHA_256
                             : kind == DigestKind::Sha384 ? CALG_SHA_384
                             : kind == DigestKind::Sha512 ? CALG_SHA_512
                                                          : 0;
    HCRYPTPROV handle = 0;
    if (algorithm == 0 || !CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return {};
    const CryptProvider provider(handle);
    return ::digestOf(provider.get(), algorithm,
                      ber::Span{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace

bool AcceptedTrustedList::speaksFor(UtcSeconds time) const {
    return time <= (list_.closed ? list_.issued : list_.nextUpdate);
}

UtcSeconds utcNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return utcSecondsOf(now);
}

// FILETIME counts 100 ns from 1601, UtcSeconds seconds from 1970.
constexpr int64_t FILETIME_TICKS_PER_SECOND = 10000000;
constexpr int64_t SECONDS_FROM_1601_TO_1970 = 11644473600LL;

UtcSeconds utcSecondsOf(const FILETIME& time) {
    const int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks / FILETIME_TICKS_PER_SECOND - SECONDS_FROM_1601_TO_1970;
}

FILETIME fileTimeOf(UtcSeconds seconds) {
    const uint64_t ticks = static_cast<uint64_t>(seconds + SECONDS_FROM_1601_TO_1970) * FILETIME_TICKS_PER_SECOND;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::string acceptTrustedList(std::vector<uint8_t> bytes, const std::vector<CertificateBytes>& pinned,
                              const TrustedList* known, UtcSeconds now,
                              std::unique_ptr<AcceptedTrustedList>* accepted) {
    accepted->reset();
    XmlDocument document;
    std::string refusal = readXmlDocument(bytes, &document);
    if (!refusal.empty()) return refusal;
    ListSignature signature;
    refusal = readListSignature(document, &signature);
    if (!refusal.empty()) return refusal;
    if (std::find(pinned.begin(), pinned.end(), signature.certificate) == pinned.end()) {
        return "firmata da un certificato che non è tra i firmatari ammessi della lista";
    }
    for (const ListReference& reference : signature.references) {
        if (digestOf(reference.digest, reference.canonical) != reference.digestValue) {
            return reference.wholeList ? "la lista è stata modificata dopo la firma (digest errato)"
                                       : "le proprietà firmate sono state modificate (digest errato)";
        }
    }
    const auto span = [](const std::vector<uint8_t>& v) { return ber::Span{v.data(), v.size()}; };
    const SignatureVerdict verdict = verifySignatureOver(
        span(signature.certificate), signature.scheme, signature.digest,
        ber::Span{reinterpret_cast<const uint8_t*>(signature.signedInfo.data()), signature.signedInfo.size()},
        span(signature.value));
    if (verdict != SignatureVerdict::Valid) return "la firma della lista non è valida";

    TrustedList list;
    refusal = readTrustedList(document, &list);
    if (!refusal.empty()) return refusal;
    refusal = listSuccessionRefusal(list, known, now);
    if (!refusal.empty()) return refusal;
    accepted->reset(new AcceptedTrustedList(std::move(bytes), std::move(list), std::move(signature.certificate)));
    return "";
}
