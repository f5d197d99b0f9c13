// The enveloped XML signature of a signed list, read and held to the rules
// that lists are signed by, so that what is left to the platform is digests
// and one signature check. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "signature_algorithm.h"
#include "xml_document.h"

constexpr char DSIG_NAMESPACE[] = "http://www.w3.org/2000/09/xmldsig#";
constexpr char XADES_NAMESPACE[] = "http://uri.etsi.org/01903/v1.3.2#";

// One reference of the signature: what its digest covers, canonicalized.
struct ListReference {
    bool wholeList = false;  // URI="" (else the XAdES SignedProperties)
    DigestKind digest = DigestKind::Unknown;
    std::string canonical;
    std::vector<uint8_t> digestValue;
};

struct ListSignature {
    SignatureScheme scheme = SignatureScheme::Unknown;  // RsaPkcs1 or Ecdsa
    DigestKind digest = DigestKind::Unknown;            // Sha256, Sha384 or Sha512
    std::string signedInfo;                             // canonicalized, what the value signs
    std::vector<uint8_t> value;                         // RSA: big-endian; ECDSA: r then s
    std::vector<uint8_t> certificate;                   // the signer's, from KeyInfo (DER)
    std::vector<ListReference> references;
};

// Reads the signature of a list whose document element is the signed one.
// Empty with `out` filled when it keeps every rule, else why not:
//   - the document element's name appears nowhere else in the document, and
//     no two elements carry the same Id: no reference can be pointed at a copy;
//   - exactly one Signature, a child of the document element;
//   - SignedInfo canonicalized by Canonical XML 1.0 or Exclusive XML
//     Canonicalization (with or without comments); RSA PKCS#1 v1.5 or ECDSA
//     with SHA-256, SHA-384 or SHA-512;
//   - exactly one reference with URI="" and the enveloped-signature transform;
//     at most one other reference, to the XAdES SignedProperties of this
//     signature ("#" and its Id); no transform but enveloped-signature (first) and one
//     canonicalization; digests SHA-256, SHA-384 or SHA-512;
//   - base64 that is base64, and exactly one X509Certificate in KeyInfo.
std::string readListSignature(const XmlDocument& document, ListSignature* out);
