// Loading the SignedFile that the verification program was started on: the
// file is read whole, decoded as DER and, when that fails, as base64 text;
// every signature is checked, the content is written to its temporary file,
// and each signer's details fill the record.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>

#include "certificate_trust.h"
#include "base64_codec.h"
#include "ber.h"
#include "file_io.h"
#include "signed_file_record.h"
#include "signed_message.h"

// Results of the load besides 0 and the platform's error codes.
constexpr int32_t LOAD_ERR_UNREADABLE = -2;  // the file is missing or cannot be read
constexpr int32_t LOAD_ERR_UNDECODABLE = -1; // neither form decodes and verifies
// The message decodes, but its first signer that can be checked does not
// verify: the content was changed after signing, or the signature is broken.
constexpr int32_t LOAD_ERR_SIGNATURE_BROKEN = static_cast<int32_t>(NTE_BAD_SIGNATURE);
// No CryptoAPI provider that checks signatures could be had.
constexpr int32_t LOAD_ERR_NO_PROVIDER = static_cast<int32_t>(NTE_PROV_TYPE_NOT_DEF);
// Every signer uses an algorithm that neither the engine nor the platform
// verifies (the record's unverifiedAlgorithms name them).
constexpr int32_t LOAD_ERR_NOT_VERIFIABLE = static_cast<int32_t>(NTE_BAD_ALGID);

// Loads record.signedPath and writes its content to record.contentPath (none
// when empty). Returns 0 and sets record.loaded, or a failure code. Files with
// more signers, certificates or content pieces than a file may hold are refused.
// Certificates reach record.signerCerts only when every signer's details
// were read. `trust` says who vouches for the signers, as of now or of `at`.
int32_t loadSignedFile(SignedFileRecord& record, const CertificateTrust& trust, const FILETIME* at = nullptr);

// One SignedFile given as its bytes (`data`, DER or base64 text), as
// loadSignedFile loads a file: the record's signers are filled (certificates
// included) and `message` holds the decoded message, whose parts are views
// into `data` or into `codec`, which must outlive it. Writes no file.
// Returns 0, or a failure code as loadSignedFile.
int32_t loadSignedBytes(ber::Span data, SignedFileRecord& record, const CertificateTrust& trust,
                        Base64Codec* codec, SignedMessage* message, const FILETIME* at = nullptr);

// The file whole, shared with programs that hold it open for writing; 0, or
// the platform's last error (an empty file is a failure).
int32_t readWholeFile(const std::string& path, FileContent* bytes);

// Decodes the message in `data` and checks every signer: statuses[i] becomes
// 0, SIGNATURE_INVALID or NOT_VERIFIABLE (then algorithms[i] names its
// algorithms). Returns 0 with the message (whose parts are views into
// `data`); LOAD_ERR_NOT_VERIFIABLE when no signer could be checked; or
// another non-zero code when the data is no signed message with embedded
// content or the first signer that could be checked does not verify.
int32_t verifyAndExtract(ber::Span data, SignerStatus statuses[MAX_SIGNERS], std::string algorithms[MAX_SIGNERS],
                         SignedMessage* message);

// Writes the message's content into `path`; 0 when written whole.
int32_t writeContentFile(const std::string& path, const SignedMessage& message);
