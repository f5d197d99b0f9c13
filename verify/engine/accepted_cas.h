// The certification authorities whose signers the verification program
// accepts: seven DER certificates, delivered with the program (its "CER"
// resources 140 to 146), filled in by the program at start-up.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <vector>

#include "certificate_trust.h"

constexpr int ACCEPTED_CA_COUNT = 7;
constexpr int FIRST_ACCEPTED_CA_ID = 140;

class AcceptedCaTable : public CertificateTrust {
public:
    struct Entry {
        const uint8_t* bytes = nullptr;  // owned elsewhere (the program's resources)
        uint32_t length = 0;
    };

    // Entry `index` (0 to 6, for the ids 140 to 146); an empty one is skipped.
    void set(int index, const uint8_t* bytes, uint32_t length);
    const Entry& entry(int index) const { return entries_[index]; }

    // True when an accepted authority issued `certificate`: its subject is the
    // certificate's issuer and its key verifies the certificate's signature. A
    // name alone is not enough: anybody can write any issuer name. The
    // platform picks the provider for the certificate's own algorithms.
    bool issued(PCCERT_CONTEXT certificate) const { return issuerOf(certificate, nullptr); }
    // The same, handing out a copy of the authority's certificate.
    bool issuerOf(PCCERT_CONTEXT certificate, std::vector<uint8_t>* authority) const;

    // Vouched when an accepted authority issued it, whatever the time: the
    // certificate's own validity is judged apart.
    TrustAnswer signer(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                       const FILETIME& time) const override;
    TrustAnswer timeStamping(PCCERT_CONTEXT certificate, const std::vector<MessageCertificate>& carried,
                             const FILETIME& time) const override;

private:
    Entry entries_[ACCEPTED_CA_COUNT];
};

// True when `candidate`'s subject is `certificate`'s issuer and its key
// verifies `certificate`'s signature.
bool isIssuedBy(PCCERT_CONTEXT certificate, PCCERT_CONTEXT candidate);

// The SHA-1 of bytes (empty when the platform cannot make it), and of a
// certificate's public key bits: the key identifier trusted lists and OCSP
// responders name a key by.
std::vector<uint8_t> sha1Of(const BYTE* data, DWORD size);
std::vector<uint8_t> publicKeySha1(PCCERT_CONTEXT certificate);
