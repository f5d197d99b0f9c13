// Whether a signer's certificate is revoked, by its authority's revocation
// list: the check of one list, the whole check with the cached copy and a
// download, and the box that tells the user.
#pragma once

#include <cstdint>
#include <vector>

#include "crl_acceptance.h"
#include "crl_retrieval.h"
#include "crl_rules.h"
#include "signed_file_record.h"

// A CRLVERIFY_* result for `certificate` (DER) against `crl`, with `issuer`
// the DER certificate of the certificate's issuer (empty when unknown): the
// answer of a list that passed acceptCrl, or why it was not believed.
int32_t CheckCertificateAgainstCrl(const CrlBlob& crl, const uint8_t* certificate, size_t length,
                                   const std::vector<uint8_t>& issuer);

// A CRLCHECK_* result for `certificate`, whose issuer's certificate is
// `issuer` (empty when unknown: then no list is believed, and the result is
// CRLCHECK_INTERNAL): its cached list when that settles the question (unless
// `skipCache`), else one downloaded within CRL_RETRIEVAL_SECONDS, which is
// cached once the gate has accepted it.
int32_t CheckRevocation(const uint8_t* certificate, size_t length, int skipCache, const std::vector<uint8_t>& issuer);

// Checks the certificate of signer `index` of `record` and shows the result
// in a box of the program. Returns 0.
int32_t ReportRevocation(int index, const SignedFileRecord& record);
