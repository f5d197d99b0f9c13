// The signature algorithms that the verification engine knows, read from a
// signer's algorithm identifiers, and the forms in which the platform's
// verification wants their parameters and values. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ber.h"
#include "signed_message.h"

enum class DigestKind { Unknown, Md2, Md4, Md5, Sha1, Sha256, Sha384, Sha512 };

// MD2, MD4 and MD5: digests whose collisions can be made, so that a signature
// with one binds no content; the engine never calls such a signature valid.
bool isBrokenDigest(DigestKind kind);

// The digest of a digest algorithm's identifier; the RSA-with-digest
// identifiers name theirs too, as some files write them in the digest's place.
DigestKind digestKindOf(const ber::Element& oid);

enum class SignatureScheme { Unknown, RsaPkcs1, RsaPss, Ecdsa };

// The scheme of a signer's signature algorithm: RSA PKCS#1 v1.5 (bare or
// with its digest named), RSASSA-PSS, or ECDSA (with a SHA digest named, or
// bare as the key's own identifier).
SignatureScheme signatureSchemeOf(const ber::Element& oid);

// Whether a signer's claimed scheme fits its certificate's key, whose
// algorithm identifier's OBJECT IDENTIFIER is `keyAlgorithm`:
//   - Fits: RSA PKCS#1 v1.5 or RSASSA-PSS on an RSA key (rsaEncryption),
//     RSASSA-PSS on a key marked for it alone, ECDSA on an elliptic-curve key;
//   - Mismatch: any other scheme on one of those keys, or a scheme the engine
//     knows on a key of another kind: the signature is broken, whatever the
//     label says;
//   - UnknownKey: a scheme the engine does not know on a key of another kind
//     (DSA, EdDSA...), which only the platform could check.
enum class KeyFit { Fits, Mismatch, UnknownKey };
KeyFit schemeFitsKey(SignatureScheme scheme, const ber::Element& keyAlgorithm);

// RSASSA-PSS-params, each field at the standard's default when absent.
struct PssParameters {
    DigestKind hash = DigestKind::Sha1;
    bool maskIsMgf1 = true;  // false: a mask generation function other than MGF1
    DigestKind maskHash = DigestKind::Sha1;
    uint32_t saltLength = 20;
    uint32_t trailerField = 1;
};

// Reads the parameters of an RSASSA-PSS algorithm identifier: `parameters`
// is null when the identifier has none (then every field is its default).
// False when they are not of that form, or a number is out of range.
bool readPssParameters(const ber::Element* parameters, PssParameters* out);

// An ECDSA signature value, DER SEQUENCE { INTEGER r, INTEGER s }, as the
// platform takes it: r then s, big-endian, each left-padded with zeros to
// `fieldBytes` (the size of the curve's order). False when the value is not
// exactly that sequence, or r or s is not positive or does not fit.
bool ecdsaSignatureToPlain(ber::Span der, size_t fieldBytes, std::vector<uint8_t>* out);

// The algorithm identifier of a certificate's subject public key: its
// OBJECT IDENTIFIER and, when it has one, its parameters (a curve's
// identifier for an elliptic-curve key). False when the bytes are no certificate.
bool readPublicKeyAlgorithm(ber::Span certificate, ber::Element* oid, ber::Element* parameters);

// A short name of a signer's algorithms for a person who must be told why
// its signature was not checked: the scheme, the curve of an elliptic-curve
// key, and the digest, as in "ECDSA P-521, SHA-512"; identifiers without a
// name appear in dotted form. `certificate` is the signer's certificate
// (empty when there is none).
std::string signatureAlgorithmName(const SignerInfo& signer, ber::Span certificate);

namespace oids {
extern const std::vector<uint8_t> MD5, RSASSA_PSS, MGF1, EC_PUBLIC_KEY, ECDSA_SHA1, ECDSA_SHA256, ECDSA_SHA384,
    ECDSA_SHA512, CURVE_P256, CURVE_P384, CURVE_P521;
}
