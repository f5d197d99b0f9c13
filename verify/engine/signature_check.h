// Checks the signers' signatures of a decoded message: the certificates, the
// digests and the signature checks are the platform's (CryptoAPI for RSA
// PKCS#1 v1.5, CNG for ECDSA and RSASSA-PSS).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <vector>

#include "signature_algorithm.h"
#include "signed_message.h"

// A CryptoAPI provider handle, released when this goes away.
class CryptProvider {
public:
    CryptProvider() = default;
    explicit CryptProvider(HCRYPTPROV handle) : handle_(handle) {}
    ~CryptProvider() { if (handle_) CryptReleaseContext(handle_, 0); }
    CryptProvider(const CryptProvider&) = delete;
    CryptProvider& operator=(const CryptProvider&) = delete;
    HCRYPTPROV get() const { return handle_; }
private:
    HCRYPTPROV handle_ = 0;
};

// The one provider that checks a message: the default provider of the full
// RSA type when every signer uses SHA-1, else the default of the AES type,
// which also knows the SHA-2 digests; each type is tried after the other, so
// that a platform without one of them still checks what the other knows.
// Empty when neither can be had.
CryptProvider acquireProviderFor(const SignedMessage& message);

enum class SignatureVerdict {
    Valid,
    Invalid,
    NotVerifiable  // an algorithm that neither the engine nor the platform checks
};

// Checks the signers of one message with `provider`.
class SignatureChecker {
public:
    SignatureChecker(const SignedMessage& message, HCRYPTPROV provider)
        : message_(message), provider_(provider) {}

    // Valid when the signer's signature verifies against its certificate in
    // the message (found by issuer and serial number). Signed attributes, when
    // present, must carry the content's digest and its type (one value each),
    // and the signature then covers them; otherwise it covers the content's
    // digest. A counter-signer signs the value of its parent's signature in
    // the same way; its signed attributes carry no content type (one that
    // does is Invalid). A signed signing-certificate attribute (version 1 or
    // 2) must name that certificate: its first reference's hash, and its
    // issuer and serial number when it gives them.
    // The claimed scheme must fit the certificate's key (schemeFitsKey): a
    // mismatch is Invalid. Digests SHA-1, SHA-256, SHA-384 and SHA-512;
    // signatures RSA PKCS#1 v1.5, RSASSA-PSS with MGF1 of its own digest (the
    // digest must be the signer's, the trailer field 1), and ECDSA on the
    // curves the platform knows. An RSA PKCS#1 v1.5 signature over MD2, MD4
    // or MD5 is checked with that digest: Invalid when it does not verify,
    // NotVerifiable when it does. Another digest, a key of a kind the engine
    // does not know, a mask or a curve it does not take is NotVerifiable; so
    // is any algorithm the platform turns down as unknown to it.
    SignatureVerdict verify(const SignerInfo& signer);

private:
    // True when the attribute's first certificate reference names `certificate`.
    bool bindsCertificate(const Attribute& attribute, bool v2, const MessageCertificate& certificate);
    // The content's digest with `algorithm`, computed once per algorithm.
    const std::vector<uint8_t>* contentDigest(ALG_ID algorithm);

    const SignedMessage& message_;
    HCRYPTPROV provider_;
    std::map<ALG_ID, std::vector<uint8_t>> digests_;
};

// A signature over `bytes` by the key of the DER `certificate`: RSA PKCS#1
// v1.5 (the value big-endian) or ECDSA (the value r then s, each as long as
// the curve's order, as XML signatures write it), with `digest` SHA-256,
// SHA-384 or SHA-512. Anything else is NotVerifiable.
SignatureVerdict verifySignatureOver(ber::Span certificate, SignatureScheme scheme, DigestKind digest, ber::Span bytes,
                                     ber::Span value);

// The CryptoAPI hash algorithm of a digest or signature algorithm identifier;
// 0 when it is not one of those supported.
ALG_ID hashAlgorithmOf(const ber::Element& oid);

// The digest of `bytes` with `algorithm` (a hashAlgorithmOf result) by
// `provider`; empty when it cannot be had.
std::vector<uint8_t> digestOf(HCRYPTPROV provider, ALG_ID algorithm, ber::Span bytes);
