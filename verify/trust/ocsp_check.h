// Asking a certificate's OCSP responder about it: a request with a fresh
// nonce, sent by HTTP POST within the revocation check's deadline, the answer
// through the gate, and a believed answer kept in the cache folder until it
// stops speaking.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ocsp_acceptance.h"

// Answers larger than this are failures: real ones are a few kilobytes.
constexpr size_t MAX_OCSP_ANSWER_SIZE = 64u << 10;

// Sends `request` to the responder at `address`: 0 with its answer, or a
// CRLCHECK_* failure (PostHttp's).
using OcspPost =
    std::function<int32_t(const std::string& address, const std::vector<uint8_t>& request, std::vector<uint8_t>* answer)>;

// PostHttp of an OCSP request, bounded by MAX_OCSP_ANSWER_SIZE, within
// CRL_RETRIEVAL_SECONDS for the whole of it.
int32_t PostOcspRequest(const std::string& address, const std::vector<uint8_t>& request, std::vector<uint8_t>* answer);

// What asking about one certificate came to.
struct OcspOutcome {
    enum class Kind {
        NotAsked,  // no http:// responder, no issuer, or the certificate is outside its validity
        Failed,    // no answer had, or the responder said it could not answer
        Refused,   // an answer the gate refused
        Believed
    };
    Kind kind = Kind::NotAsked;
    std::string address;  // the responder's, when it names one
    OcspAnswer answer;    // when believed
};

// The file that keeps the believed answer about `id`, in the revocation
// check's cache folder ("<temporary folder>quillcheck-crl\<ocspCacheName>.ocsp").
std::string ocspCachePath(const OcspCertId& id);

// Asks about `certificate` (DER), whose issuer's DER certificate is
// `issuer`, at now: first its cached answer (unless `skipCache`), when that
// still passes the gate, else the responder its certificate names, through
// `post`. A believed "good" or "revoked" answer is cached. The certificate
// must be valid now and, with `at`, at that time too: a responder need not
// keep what it knew of an expired certificate.
OcspOutcome askOcsp(const std::vector<uint8_t>& certificate, const std::vector<uint8_t>& issuer, bool skipCache,
                    const FILETIME* at, const OcspPost& post);
