#include "cie_signer.h"

#include <memory>

#include "Cie_MetaCmd.h"
#include "result_codes.h"
#include "signature_form.h"

namespace {

// Room for a signature of a key of up to 4096 bits.
constexpr DWORD SIGNATURE_CAPACITY = 512;
constexpr DWORD CERTIFICATE_CAPACITY = 4096;

int32_t signOnCard(SignatureForm form, const char* pin, uint8_t pinLength, const uint8_t* content,
                   uint32_t contentLength, const uint8_t* personalData, uint32_t personalDataLength,
                   uint8_t* outBuffer, uint32_t* inOutLength) {
    DWORD code = CIE_VerifyPIN(pin, pinLength);
    if (code != 0) return static_cast<int32_t>(code);

    std::unique_ptr<uint8_t[]> certificate(new uint8_t[CERTIFICATE_CAPACITY]);
    DWORD certificateLength = CERTIFICATE_CAPACITY;
    auto readCertificate = [&]() -> int32_t {
        const DWORD read = CIE_ReadCCarta(certificate.get(), &certificateLength);
        if (read != 0) return static_cast<int32_t>(read);
        return certificateLength > CERTIFICATE_CAPACITY ? SIGN_ERR_CARD_LENGTH : SIGN_OK;
    };

    // The CAdES form signs attributes that name the certificate, so the card
    // gives it first; the original form reads it after signing, as it always has.
    SignatureRequest request(form);
    if (request.needsCertificate()) {
        const int32_t read = readCertificate();
        if (read != SIGN_OK) return read;
    }
    SYSTEMTIME now;
    GetSystemTime(&now);
    const int32_t prepared = request.prepare(content, contentLength, certificate.get(), certificateLength, now);
    if (prepared != SIGN_OK) return prepared;

    uint8_t signature[SIGNATURE_CAPACITY];
    DWORD signatureLength = SIGNATURE_CAPACITY;
    code = CIE_Sign(request.digestInfo(), request.digestInfoLength(), signature, &signatureLength);
    if (code != 0) return static_cast<int32_t>(code);
    // A length beyond the buffer would carry stray memory into the SignedFile.
    if (signatureLength > SIGNATURE_CAPACITY) return SIGN_ERR_CARD_LENGTH;

    if (!request.needsCertificate()) {
        const int32_t read = readCertificate();
        if (read != SIGN_OK) return read;
    }

    auto encode = [&](uint8_t* out, uint32_t* length) {
        return request.encode(content, contentLength, signature, signatureLength, certificate.get(),
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
    return fnSignBufferCie(SignatureForm::Pkcs7Sha1, pin, pinLength, content, contentLength, personalData,
                           personalDataLength, outBuffer, inOutLength);
}

int32_t fnSignBufferCie(SignatureForm form, const char* pin, uint8_t pinLength, const uint8_t* content,
                        uint32_t contentLength, const uint8_t* personalData,
                        uint32_t personalDataLength, uint8_t* outBuffer, uint32_t* inOutLength) {
    if (inOutLength == nullptr) return SIGN_ERR_GENERIC;
    try {
        return signOnCard(form, pin, pinLength, content, contentLength, personalData,
                          personalDataLength, outBuffer, inOutLength);
    } catch (...) {
        return SIGN_ERR_EXCEPTION;
    }
}
