#include "list_trust.h"

#include "certificate_facts.h"
#include "qualification_rules.h"
#include "signer_details.h"

namespace {

using Verdict = TrustAnswer::Verdict;

// The file's certificates with the issuer's name that are tried at each
// level: a real file carries one or two.
constexpr int MAX_NAMESAKES = 16;

struct OwnedCertificate {
    PCCERT_CONTEXT context = nullptr;
    explicit OwnedCertificate(PCCERT_CONTEXT c = nullptr) : context(c) {}
    OwnedCertificate(OwnedCertificate&& other) noexcept : context(other.context) { other.context = nullptr; }
    OwnedCertificate& operator=(OwnedCertificate&& other) noexcept {
        std::swap(context, other.context);
        return *this;
    }
    ~OwnedCertificate() {
        if (context) CertFreeCertificateContext(context);
    }
};

OwnedCertificate fromDer(const uint8_t* data, size_t size) {
    return OwnedCertificate(CertCreateCertificateContext(X509_ASN_ENCODING, data, static_cast<DWORD>(size)));
}

std::vector<uint8_t> derOf(PCCERT_CONTEXT c) { return {c->pbCertEncoded, c->pbCertEncoded + c->cbCertEncoded}; }

bool factsOf(PCCERT_CONTEXT c, CertificateFacts* facts) {
    return readCertificateFacts({c->pbCertEncoded, c->cbCertEncoded}, facts);
}

// Whether `candidate` issued `certificate` and was valid at `time`: it is
// an authority, its subject is the certificate's issuer, the key
// identifiers agree where both are given, and its key verifies the
// certificate's signature.
bool issued(PCCERT_CONTEXT candidate, PCCERT_CONTEXT certificate, const FILETIME& time) {
    CertificateFacts child, parent;
    if (!factsOf(certificate, &child) || !factsOf(candidate, &parent) || !mayIssueCertificates(parent)) return false;
    if (!child.authorityKeyId.empty() && !parent.subjectKeyId.empty() && child.authorityKeyId != parent.subjectKeyId) {
        return false;
    }
    return validityStatus(*candidate->pCertInfo, time) == 0 && isIssuedBy(certificate, candidate);
}

// Whether a service named without a certificate, by subject name and key
// identifier, is this certificate's subject and key.
bool namesSubjectAndKey(const TrustService& service, PCCERT_CONTEXT c) {
    if (!service.certificates.empty() || service.subjectNames.empty() || service.keyIdentifiers.empty()) return false;
    const std::vector<uint8_t> key = publicKeySha1(c);  // the key identifier lists give
    bool keyNamed = false;
    for (const auto& id : service.keyIdentifiers) keyNamed = keyNamed || (!key.empty() && id == key);
    if (!keyNamed) return false;
    const ber::Span subject{c->pCertInfo->Subject.pbData, c->pCertInfo->Subject.cbData};
    for (const std::string& name : service.subjectNames) {
        if (!isSameSubjectName(name, subject)) return false;
    }
    return true;
}

bool sameSubjectAndKey(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
    return CertCompareCertificateName(X509_ASN_ENCODING, &a->pCertInfo->Subject, &b->pCertInfo->Subject) &&
           CertComparePublicKeyInfo(X509_ASN_ENCODING, &a->pCertInfo->SubjectPublicKeyInfo,
                                    &b->pCertInfo->SubjectPublicKeyInfo);
}

// The walk up from a certificate through the list's services and the
// certificates at hand.
class ChainWalk {
public:
    ChainWalk(const TrustedList& list, TrustedRole role, const FILETIME& time)
        : list_(list), role_(role), time_(time), at_(utcSecondsOf(time)) {}

    TrustAnswer from(PCCERT_CONTEXT leaf, const std::vector<MessageCertificate>& carried) {
        // A time-stamping unit may be listed itself.
        if (role_ == TrustedRole::TimeStamping && vouchedAsItself(leaf)) return answer_;
        const int levels = role_ == TrustedRole::TimeStamping ? 1 : MAX_CHAIN_LEVELS;
        PCCERT_CONTEXT current = leaf;
        OwnedCertificate held;
        for (int level = 1; level <= levels; ++level) {
            if (vouchedByServiceCertificate(current, level == 1)) break;
            OwnedCertificate next = carriedIssuer(current, carried, level == 1);
            if (answer_.verdict == Verdict::Vouched || next.context == nullptr) break;
            if (level == 1) answer_.issuer = derOf(next.context);
            held = std::move(next);
            current = held.context;
        }
        if (answer_.verdict != Verdict::Vouched) answer_.issuer.clear();
        else if (role_ == TrustedRole::SignatureAuthority) {
            CertificateFacts facts;
            if (factsOf(leaf, &facts)) answer_.qualification = qualificationOf(facts, *state_);
        }
        return answer_;
    }

private:
    // Whether a service whose identity `candidate` is was trusted for the role then.
    bool trustedService(const TrustServiceProvider& provider, const TrustService& service) {
        const ServiceState* state = serviceStateAt(service, at_);
        if (state == nullptr || !isTrustedFor(role_, *state, at_)) return false;
        answer_.verdict = Verdict::Vouched;
        answer_.provider = provider.name;
        state_ = state;
        return true;
    }

    bool vouchedAsItself(PCCERT_CONTEXT unit) {
        for (const TrustServiceProvider& provider : list_.providers) {
            for (const TrustService& service : provider.services) {
                for (const auto& der : service.certificates) {
                    OwnedCertificate listed = fromDer(der.data(), der.size());
                    if (listed.context && sameSubjectAndKey(listed.context, unit) &&
                        validityStatus(*unit->pCertInfo, time_) == 0 && trustedService(provider, service)) {
                        return true;
                    }
                }
                if (namesSubjectAndKey(service, unit) && trustedService(provider, service)) return true;
            }
        }
        return false;
    }

    bool vouchedByServiceCertificate(PCCERT_CONTEXT certificate, bool direct) {
        const ber::Span issuerName{certificate->pCertInfo->Issuer.pbData, certificate->pCertInfo->Issuer.cbData};
        for (const TrustServiceProvider& provider : list_.providers) {
            for (const TrustService& service : provider.services) {
                for (const auto& der : service.certificates) {
                    // By name first: most of a real list's certificates are not even namesakes.
                    MessageCertificate names;
                    if (!readCertificateNames({der.data(), der.size()}, &names) || names.subject != issuerName) continue;
                    OwnedCertificate listed = fromDer(der.data(), der.size());
                    if (listed.context == nullptr || !issued(listed.context, certificate, time_)) continue;
                    if (trustedService(provider, service)) {
                        if (direct) answer_.issuer = der;
                        return true;
                    }
                }
            }
        }
        return false;
    }

    // The first certificate at hand that issued `certificate`; on the way,
    // the answer when one of them is a service named by subject and key.
    OwnedCertificate carriedIssuer(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                                   bool direct) {
        const ber::Span issuerName{certificate->pCertInfo->Issuer.pbData, certificate->pCertInfo->Issuer.cbData};
        OwnedCertificate first;
        int tried = 0;
        for (const MessageCertificate& c : carried) {
            if (c.subject != issuerName) continue;
            if (++tried > MAX_NAMESAKES) break;
            OwnedCertificate candidate = fromDer(c.der.data, c.der.size);
            if (candidate.context == nullptr || !issued(candidate.context, certificate, time_)) continue;
            for (const TrustServiceProvider& provider : list_.providers) {
                for (const TrustService& service : provider.services) {
                    if (namesSubjectAndKey(service, candidate.context) && trustedService(provider, service)) {
                        if (direct) answer_.issuer = derOf(candidate.context);
                        return OwnedCertificate();
                    }
                }
            }
            if (first.context == nullptr) first = std::move(candidate);
        }
        return first;
    }

    const TrustedList& list_;
    const TrustedRole role_;
    const FILETIME time_;
    const UtcSeconds at_;
    TrustAnswer answer_;
    const ServiceState* state_ = nullptr;
};

}  // namespace


namespace {

TrustAnswer judge(const AcceptedCaTable& builtIn, const AcceptedTrustedList* list, TrustedRole role,
                  PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried, const FILETIME& time) {
    TrustAnswer answer = builtIn.signer(certificate, carried, time);
    if (answer.verdict == Verdict::Vouched || list == nullptr) return answer;
    if (!list->speaksFor(utcSecondsOf(time))) {
        answer.verdict = Verdict::ListOutdated;
        return answer;
    }
    return ChainWalk(list->list(), role, time).from(certificate, carried);
}

}  // namespace

TrustAnswer ListTrust::signer(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                              const FILETIME& time) const {
    return judge(builtIn_, list_.get(), TrustedRole::SignatureAuthority, certificate, carried, time);
}

TrustAnswer ListTrust::timeStamping(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                                    const FILETIME& time) const {
    return judge(builtIn_, list_.get(), TrustedRole::TimeStamping, certificate, carried, time);
}
