#include "cie_signer.h"

#include <cstdlib>
#include <memory>

#include "Cie_MetaCmd.h"
#include "digest_info.h"
#include "pkcs7_encoder.h"
#include "result_codes.h"
#include "sha1_digest.h"

namespace {

// Room for a signature of a key of up to 4096 bits.
constexpr DWORD SIGNATURE_CAPACITY = 512;
constexpr DWORD CERTIFICATE_CAPACITY = 4096;

int32_t signOnCard(const char* pin, uint8_t pinLength, const uint8_t* content,
                   uint32_t contentLength, const uint8_t* personalData,
                   uint32_t personalDataLength, uint8_t* outBuffer, uint32_t* inOutLength) {
    DWORD code = CIE_VerifyPIN(pin, pinLength);
    if (code != 0) return static_cast<int32_t>(code);

    uint8_t* digest = nullptr;
    uint32_t digestLength = 0;
    if (fnSha1Digest(content, contentLength, &digest, &digestLength) != 0) return SIGN_ERR_DIGEST;
    uint8_t digestInfo[DIGEST_INFO_CAPACITY];
    uint8_t digestInfoLength = 0;
    const int32_t made = fnMakeDigestInfo(digest, digestLength, digestInfo, &digestInfoLength);
    std::free(digest);
    if (made != 0) return SIGN_ERR_DIGEST;

    uint8_t signature[SIGNATURE_CAPACITY];
    DWORD signatureLength = SIGNATURE_CAPACITY;
    code = CIE_Sign(digestInfo, digestInfoLength, signature, &signatureLength);
    if (code != 0) return static_cast<int32_t>(code);
    // A length beyond the buffer would carry stray memory into the SignedFile.
    if (signatureLength > SIGNATURE_CAPACITY) return SIGN_ERR_CARD_LENGTH;

    std::unique_ptr<uint8_t[]> certificate(new uint8_t[CERTIFICATE_CAPACITY]);
    DWORD certificateLength = CERTIFICATE_CAPACITY;
    code = CIE_ReadCCarta(certificate.get(), &certificateLength);
    if (code != 0) return static_cast<int32_t>(code);
    if (certificateLength > CERTIFICATE_CAPACITY) return SIGN_ERR_CARD_LENGTH;

    auto encode = [&](uint8_t* out, uint32_t* length) {
        return fnBuildPkcs7(content, contentLength, signature, signatureLength, certificate.get(),
                            certificateLength, personalData, personalDataLength, out, length);
    };
    uint32_t needed = 0;
    const int32_t measured = encode(nullptr, &needed);
    if (measured != 0) return measured;
    if (outBuffer != nullptr && *inOutLength < needed) {
        *inOutLength = needed;
        return SIGN_ERR_BUFFER_SMALL;
    }
    if (outBuffer != nullptr) {
        uint32_t capacity = *inOutLength;
        const int32_t encoded = encode(outBuffer, &capacity);
        if (encoded != 0) return encoded;
    }
    *inOutLength = needed;
    return SIGN_OK;
}

}  // namespace

int32_t fnSignBufferCie(const char* pin, uint8_t pinLength, const uint8_t* content,
                        uint32_t contentLength, const uint8_t* personalData,
                        uint32_t personalDataLength, uint8_t* outBuffer, uint32_t* inOutLength) {
    if (inOutLength == nullptr) return SIGN_ERR_GENERIC;
    try {
        return signOnCard(pin, pinLength, content, contentLength, personalData,
                          personalDataLength, outBuffer, inOutLength);
    } catch (...) {
        return SIGN_ERR_EXCEPTION;
    }
}
