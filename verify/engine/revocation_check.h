// Whether a signer's certificate is revoked, by its authority's revocation
// list: the check of one list, the whole check with the cached copy and a
// download, and the box that tells the user.
#pragma once

#include <cstdint>
#include <vector>

#include "crl_retrieval.h"
#include "crl_rules.h"
#include "signed_file_record.h"

// A CRLVERIFY_* result for `certificate` (DER) against `crl`. When `issuer`
// (the DER certificate of the certificate's issuer) is given, the list counts
// only if the issuer's key verifies its signature: otherwise anybody on the
// way, or anybody who can write the cached copy, could clear a revoked
// certificate. A list that fails this is treated as one of another issuer.
int32_t CheckCertificateAgainstCrl(const CrlBlob& crl, const uint8_t* certificate, size_t length,
                                   const std::vector<uint8_t>& issuer = {});

// A CRLCHECK_* result for `certificate`: its cached list when that settles the
// question (unless `skipCache`), else a downloaded one, which is cached.
int32_t CheckRevocation(const uint8_t* certificate, size_t length, int skipCache,
                        const std::vector<uint8_t>& issuer = {});

// Checks the certificate of signer `index` of `record` and shows the result
// in a box of the program. Returns 0.
int32_t ReportRevocation(int index, const SignedFileRecord& record);
