#include "signed_file_loader.h"

#include <windows.h>
#include <wincrypt.h>

#include <new>

#include "base64_codec.h"
#include "file_io.h"
#include "signature_algorithm.h"
#include "signature_check.h"
#include "signer_details.h"

namespace {

int32_t decodeError(DecodeResult result) {
    switch (result) {
    case DecodeResult::Ok: return 0;
    case DecodeResult::NoContent: return static_cast<int32_t>(CRYPT_E_UNEXPECTED_MSG_TYPE);
    case DecodeResult::OverLimit: return static_cast<int32_t>(CRYPT_E_ASN1_LARGE);
    case DecodeResult::Malformed: break;
    }
    return static_cast<int32_t>(CRYPT_E_ASN1_BADTAG);
}

// One layer's decoding and checks; certificates go into `handles`.
int32_t decodeInto(ber::Span data, SignedFileRecord& record, const CertificateTrust& trust, const FILETIME* at,
                   Base64Codec* codec, SignedMessage* message, PCCERT_CONTEXT handles[MAX_SIGNERS]) {
    FILETIME now;
    if (at != nullptr) now = *at;
    else GetSystemTimeAsFileTime(&now);
    // The DER form first; the base64 form is known only by the failure of it.
    int32_t result = verifyAndExtract(data, record.signerStatus, record.unverifiedAlgorithms, message);
    const bool decodedAsDer = result == LOAD_ERR_SIGNATURE_BROKEN;
    if (result != 0 && result != LOAD_ERR_NO_PROVIDER && result != LOAD_ERR_NOT_VERIFIABLE && !decodedAsDer) {
        if (!Base64Codec::mayDecodeToSequence(data.data, data.size)) return LOAD_ERR_UNDECODABLE;
        codec->decode(data.data, data.size);
        result = verifyAndExtract({codec->outputBuffer(), codec->outputLength()}, record.signerStatus,
                                  record.unverifiedAlgorithms, message);
    }
    // A message that decodes but whose signature fails is told apart from
    // bytes that are no signed message: the office must reject the first.
    if (result == LOAD_ERR_NO_PROVIDER || result == LOAD_ERR_NOT_VERIFIABLE || result == LOAD_ERR_SIGNATURE_BROKEN) {
        return result;
    }
    if (result != 0) return LOAD_ERR_UNDECODABLE;

    record.signerCount = static_cast<int32_t>(message->signers.size());
    for (size_t g = 0; g < message->signers.size(); ++g) {
        record.signerDepths[g] = message->signers[g].depth;
        // A time that no verified signature covers names nothing.
        if (record.signerStatus[g] == 0) record.signingTimes[g] = signingTimeOf(message->signers[g]);
    }
    std::vector<SignerTimestamp> stamps(MAX_SIGNERS);
    result = readSignerDetails(*message, trust, now,
                               {handles, record.issuerCerts, record.signerNames, record.expiryDates,
                                record.signerStatus, stamps.data(), record.trustProviders, record.qualifications});
    for (size_t g = 0; g < message->signers.size(); ++g) {
        if (!(record.signerStatus[g] & TIMESTAMPED)) continue;
        const FILETIME& time = stamps[g].time;
        record.timestampTimes[g] = localTimeText(time);
        record.timestampTicks[g] = uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
        record.timestampAuthorities[g] = std::move(stamps[g].authority);
        record.timestampAuthorityIssuers[g] = std::move(stamps[g].authorityIssuer);
        record.qualifiedTimestamps[g] = stamps[g].qualified;
    }
    return result;
}

}  // namespace

int32_t loadSignedBytes(ber::Span data, SignedFileRecord& record, const CertificateTrust& trust,
                        Base64Codec* codec, SignedMessage* message, const FILETIME* at) {
    PCCERT_CONTEXT handles[MAX_SIGNERS] = {};
    int32_t result;
    try {
        result = decodeInto(data, record, trust, at, codec, message, handles);
    } catch (const std::bad_alloc&) {
        result = static_cast<int32_t>(E_OUTOFMEMORY);
    }
    for (size_t i = 0; i < MAX_SIGNERS; ++i) {
        if (handles[i] == nullptr) continue;
        try {
            record.signerCerts[i].assign(handles[i]->pbCertEncoded,
                                         handles[i]->pbCertEncoded + handles[i]->cbCertEncoded);
        } catch (const std::bad_alloc&) {
            result = static_cast<int32_t>(E_OUTOFMEMORY);
        }
        CertFreeCertificateContext(handles[i]);
    }
    return result;
}

int32_t loadSignedFile(SignedFileRecord& record, const CertificateTrust& trust, const FILETIME* at) {
    int32_t result;
    try {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(record.signedPath.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return LOAD_ERR_UNREADABLE;
        FindClose(search);
        FileContent file;
        if (readWholeFile(record.signedPath, &file) != 0) return LOAD_ERR_UNREADABLE;
        Base64Codec codec;
        SignedMessage message;
        result = loadSignedBytes({file.data.get(), file.size}, record, trust, &codec, &message, at);
        if (result == 0 && !record.contentPath.empty()) result = writeContentFile(record.contentPath, message);
    } catch (const std::bad_alloc&) {
        result = static_cast<int32_t>(E_OUTOFMEMORY);
    }
    if (result == 0) record.loaded = 1;
    return result;
}

int32_t readWholeFile(const std::string& path, FileContent* bytes) {
    SetLastError(0);
    const ReadResult read = readFileContent(path.c_str(), bytes);
    if (read != ReadResult::Ok || bytes->size == 0) {
        const DWORD error = GetLastError();
        return static_cast<int32_t>(error != 0 ? error : ERROR_HANDLE_EOF);
    }
    return 0;
}

int32_t verifyAndExtract(ber::Span data, SignerStatus statuses[MAX_SIGNERS], std::string algorithms[MAX_SIGNERS],
                         SignedMessage* message) {
    SignedMessage decoded;
    const DecodeResult result = decodeSignedMessage(data, &decoded);
    if (result != DecodeResult::Ok) return decodeError(result);
    const CryptProvider provider = acquireProviderFor(decoded);
    if (provider.get() == 0) return LOAD_ERR_NO_PROVIDER;
    SignatureChecker checker(decoded, provider.get());
    // The first signer of the content that can be checked must verify for
    // the file to be read at all; signers that cannot be checked are passed
    // over. Counter-signers have their own verdicts and decide nothing.
    bool checked = false;
    for (size_t i = 0; i < decoded.signers.size(); ++i) {
        const SignerInfo& signer = decoded.signers[i];
        const bool ofTheContent = signer.parent < 0;
        algorithms[i].clear();
        switch (checker.verify(signer)) {
        case SignatureVerdict::Valid:
            statuses[i] = 0;
            checked = checked || ofTheContent;
            break;
        case SignatureVerdict::Invalid:
            if (!checked && ofTheContent) return LOAD_ERR_SIGNATURE_BROKEN;
            statuses[i] = SIGNATURE_INVALID | (signer.unreadable ? COUNTER_SIGNATURE_UNREADABLE : 0);
            break;
        case SignatureVerdict::NotVerifiable: {
            statuses[i] = NOT_VERIFIABLE;
            const CertificateChoice choice = findSignerCertificate(decoded, signer);
            algorithms[i] = signatureAlgorithmName(signer, choice.matched ? decoded.certificates[choice.index].der
                                                                          : ber::Span{});
            break;
        }
        }
    }
    if (!checked) return LOAD_ERR_NOT_VERIFIABLE;
    // A counter-signature over a signature that did not verify proves nothing:
    // the "signature" it signs may be any bytes its signer once signed.
    // (Parents come before their counter-signers.)
    for (size_t i = 0; i < decoded.signers.size(); ++i) {
        const int parent = decoded.signers[i].parent;
        if (parent >= 0 && statuses[i] == 0 && (statuses[parent] & (SIGNATURE_INVALID | NOT_VERIFIABLE))) {
            statuses[i] = PARENT_NOT_VERIFIED;
        }
    }
    *message = std::move(decoded);
    return 0;
}

int32_t writeContentFile(const std::string& path, const SignedMessage& message) {
    FileWriter writer(path.c_str());
    forEachContentBlock(message, [&writer](ber::Span block) { return writer.write(block.data, block.size); });
    return static_cast<int32_t>(writer.finish());
}
