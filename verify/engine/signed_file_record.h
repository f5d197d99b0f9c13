// What the verification program knows of the SignedFile it was started on.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "signed_message.h"
#include "signer_status.h"

constexpr size_t SIGNER_TEXT_SIZE = 512;

struct SignedFileRecord {
    int32_t loaded = 0;          // 1 after a successful load
    std::string contentPath;     // where the extracted content goes
    std::string workFolder;      // the window's own folder: the dump, and the content below it
    std::string signedPath;      // the SignedFile, in long form
    // Per signer, counter-signers included, in the order of the decoded
    // message's signers (each signer of the content, then its counter-signers):
    char signerNames[MAX_SIGNERS][SIGNER_TEXT_SIZE];
    char expiryDates[MAX_SIGNERS][SIGNER_TEXT_SIZE];  // dd/mm/yyyy
    std::vector<uint8_t> signerCerts[MAX_SIGNERS];    // DER certificates
    // The issuer's certificate when it is known (an accepted authority, or a
    // certificate of the file, whose key verifies the signer's); else empty.
    std::vector<uint8_t> issuerCerts[MAX_SIGNERS];
    SignerStatus signerStatus[MAX_SIGNERS];
    // 0 for a signer of the content, 1 for a counter-signer of one, 2 for a
    // counter-signer of that, and so on; a counter-signer's row follows its parent's.
    int32_t signerDepths[MAX_SIGNERS];
    // The time its signed signing-time attribute names (signingTimeOf), for
    // a signature that verified; else empty.
    std::string signingTimes[MAX_SIGNERS];
    // For a signer that is TIMESTAMPED, the time its token proves, as
    // signing times are written; else empty.
    std::string timestampTimes[MAX_SIGNERS];
    // The same time as a FILETIME's 100-nanosecond count; 0 when none.
    uint64_t timestampTicks[MAX_SIGNERS];
    // For a signer that is TIMESTAMPED, the certificate of the authority that
    // made the token and of the accepted authority that issued it (DER).
    std::vector<uint8_t> timestampAuthorities[MAX_SIGNERS];
    std::vector<uint8_t> timestampAuthorityIssuers[MAX_SIGNERS];
    // Whether that token's authority is a qualified one of the trusted list.
    bool qualifiedTimestamps[MAX_SIGNERS];
    // Where the trusted list, not a built-in authority, vouches for the
    // signer: the trust service provider's name, and what the certificate is.
    std::string trustProviders[MAX_SIGNERS];
    Qualification qualifications[MAX_SIGNERS];
    // For a signer that is NOT_VERIFIABLE, the name of its algorithms
    // (signatureAlgorithmName); else empty.
    std::string unverifiedAlgorithms[MAX_SIGNERS];
    int32_t signerCount = 0;

    SignedFileRecord() {
        std::memset(signerNames, 0, sizeof signerNames);
        std::memset(expiryDates, 0, sizeof expiryDates);
        std::memset(signerStatus, 0, sizeof signerStatus);
        std::memset(signerDepths, 0, sizeof signerDepths);
        std::memset(timestampTicks, 0, sizeof timestampTicks);
        std::memset(qualifiedTimestamps, 0, sizeof qualifiedTimestamps);
        for (Qualification& q : qualifications) q = Qualification::None;
    }
};
