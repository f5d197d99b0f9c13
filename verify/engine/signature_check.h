// Checks the signers' signatures of a decoded message: the certificates, the
// digests and the RSA check are the platform's (CryptoAPI).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <vector>

#include "signed_message.h"

// Checks the signers of one message.
class SignatureChecker {
public:
    explicit SignatureChecker(const SignedMessage& message);
    ~SignatureChecker();
    SignatureChecker(const SignatureChecker&) = delete;
    SignatureChecker& operator=(const SignatureChecker&) = delete;

    // The provider could be had; without it nothing verifies.
    bool ready() const { return provider_ != 0; }
    HCRYPTPROV provider() const { return provider_; }

    // True when the signer's signature verifies against its certificate in
    // the message (found by issuer and serial number). Signed attributes, when
    // present, must carry the content's digest, and the signature then covers
    // them; otherwise it covers the content's digest. SHA-1, SHA-256, SHA-384
    // and SHA-512 with RSA PKCS#1 v1.5.
    bool verify(const SignerInfo& signer);

private:
    // The content's digest with `algorithm`, computed once per algorithm.
    const std::vector<uint8_t>* contentDigest(ALG_ID algorithm);

    const SignedMessage& message_;
    HCRYPTPROV provider_ = 0;
    std::map<ALG_ID, std::vector<uint8_t>> digests_;
};

// The CryptoAPI hash algorithm of a digest or signature algorithm identifier;
// 0 when it is not one of those supported.
ALG_ID hashAlgorithmOf(const ber::Element& oid);
