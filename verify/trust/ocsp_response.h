// An OCSP answer, read with the project's own BER reader (the platform's
// decoder fails on ordinary answers: a responder's certificate, a nonce, a
// reason, several entries), and the rules an answer keeps before it is
// believed, its signature apart. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ber.h"
#include "list_values.h"

// OCSPResponseStatus values.
constexpr int OCSP_SUCCESSFUL = 0;

enum class OcspCertStatus { Good, Revoked, Unknown };

// Which certificate an entry speaks of: the hash algorithm (its OID's
// content octets), the hashes of the issuer's name and key, the serial
// number (its INTEGER's content octets).
struct OcspCertId {
    std::vector<uint8_t> hashAlgorithm, issuerNameHash, issuerKeyHash, serial;
    bool operator==(const OcspCertId& o) const {
        return hashAlgorithm == o.hashAlgorithm && issuerNameHash == o.issuerNameHash &&
               issuerKeyHash == o.issuerKeyHash && serial == o.serial;
    }
};

struct OcspSingleResponse {
    OcspCertId certId;
    OcspCertStatus status = OcspCertStatus::Unknown;
    UtcSeconds revocationTime = 0;  // for Revoked
    UtcSeconds thisUpdate = 0;
    bool hasNextUpdate = false;
    UtcSeconds nextUpdate = 0;
    bool unknownCriticalExtension = false;
};

struct OcspResponse {
    int responseStatus = -1;
    bool basic = false;       // its response type is id-pkix-ocsp-basic
    ber::Span signedData;     // the ResponseData, whole, as the signature covers it
    ber::Span responderName;  // byName: the Name, whole; else empty
    ber::Span responderKeyHash;  // byKey: the SHA-1 of the responder's key; else empty
    UtcSeconds producedAt = 0;
    std::vector<OcspSingleResponse> responses;
    bool hasNonce = false;
    ber::Span nonce;  // the nonce extension's value (the extnValue's content)
    bool unknownCriticalExtension = false;
    ber::Span signatureAlgorithm;  // the AlgorithmIdentifier, whole
    ber::Span signature;           // the BIT STRING's bits (without the unused-bits octet)
    // The signed part, the algorithm and the signature value as one
    // SEQUENCE, the form the platform checks signed content in (the
    // answer's certificates left out).
    std::vector<uint8_t> signedContent;
    std::vector<ber::Span> certificates;  // the certificates it carries, whole
};

// The DER of an OCSPRequest for one certificate, unsigned: its CertID (the
// hash algorithm SHA-1 takes NULL parameters, as responders expect) and, when
// `nonce` is not empty, a nonce extension whose value is `nonce` (the
// extnValue's content, an OCTET STRING of random octets).
std::vector<uint8_t> ocspRequest(const OcspCertId& certificate, const std::vector<uint8_t>& nonce);

// The name of the file (without its extension) that keeps a believed answer
// about the certificate of `id`: its issuer's key hash and its serial, in
// hex, by the cache's naming rule (cacheFileName).
std::string ocspCacheName(const OcspCertId& id);

// The same SEQUENCE of the signature's three parts.
std::vector<uint8_t> signedContentOf(ber::Span signedData, ber::Span algorithm, ber::Span signatureBitString);

// Reads an OCSPResponse that fills `der` exactly; false otherwise. A
// response that is not successful has no more than its status.
bool readOcspResponse(ber::Span der, OcspResponse* out);

// A GeneralizedTime's content ("YYYYMMDDHHMMSS" with an optional fraction
// and "Z") as seconds since 1970; false for any other form.
bool readGeneralizedTime(ber::Span content, UtcSeconds* out);

// How far in the future an answer's time may lie (clocks differ), and how
// long an answer without a next update speaks for.
constexpr UtcSeconds OCSP_CLOCK_LEEWAY = 5 * 60;
constexpr UtcSeconds OCSP_ANSWER_LIFE = 24 * 60 * 60;

// Why `response` is not believed as the answer for `expected`, asked with the
// nonce extension value `nonce` (empty: none was sent), at `now`; empty when
// it keeps every rule but its signature, with the entry in `single`:
//   - successful, basic, with no unknown critical extension;
//   - exactly one entry for `expected` (hash algorithm, name and key hashes,
//     serial), with no unknown critical extension;
//   - its thisUpdate not later than now and the leeway, its nextUpdate not
//     passed, or without one, its thisUpdate at most OCSP_ANSWER_LIFE old;
//   - a nonce, when it gives one, equal to the one sent.
std::string ocspAnswerRefusal(const OcspResponse& response, const OcspCertId& expected,
                              const std::vector<uint8_t>& nonce, UtcSeconds now, const OcspSingleResponse** single);
