// The two forms a SignedFile can take, which one the municipality chose, and
// the steps that differ between them: what the card signs, and how the
// SignedFile is put together around the card's signature.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "digest_info.h"
#include "product_version.h"

enum class SignatureForm {
    Pkcs7Sha1,  // the original form: PKCS#7, SHA-1, no signed attributes
    CadesBes,   // CAdES-BES: SHA-256 and signed attributes binding the certificate
};

// Where the installer records the municipality's choice.
constexpr const char SETTINGS_KEY[] = QUILL_SETTINGS_KEY;
constexpr const char SIGNATURE_FORM_VALUE[] = "FormaFirma";

// The form named by the value `SIGNATURE_FORM_VALUE` under `root\path` (32-bit
// view): CadesBes for "CAdES" in any case; Pkcs7Sha1 for "PKCS7", for no
// value, and for any other text.
SignatureForm readSignatureForm(HKEY root, const char* path);

// The municipality's choice: readSignatureForm(HKLM, SETTINGS_KEY).
SignatureForm configuredSignatureForm();

// One signature in the making: prepare() works out the DigestInfo for the
// card, encode() puts the card's signature into the SignedFile.
class SignatureRequest {
public:
    explicit SignatureRequest(SignatureForm form) : form_(form) {}

    // Whether prepare() needs the signer's certificate (the CAdES form binds it).
    bool needsCertificate() const { return form_ == SignatureForm::CadesBes; }

    // The original form: the DigestInfo of the content's SHA-1. CAdES: the
    // signed attributes of the content's SHA-256, the time `utc` and the
    // certificate, and the DigestInfo of their SHA-256. Returns 0,
    // SIGN_ERR_DIGEST when a digest fails (an empty content included), or
    // the platform's code when the certificate cannot be decoded.
    int32_t prepare(const uint8_t* content, uint32_t contentLength, const uint8_t* certificate,
                    uint32_t certificateLength, const SYSTEMTIME& utc);

    const uint8_t* digestInfo() const { return digestInfo_; }
    uint8_t digestInfoLength() const { return digestInfoLength_; }

    // The SignedFile with the card's signature, with the two-call protocol
    // and the results of fnBuildPkcs7.
    int32_t encode(const uint8_t* content, uint32_t contentLength, const uint8_t* signature,
                   uint32_t signatureLength, const uint8_t* certificate, uint32_t certificateLength,
                   const uint8_t* personalData, uint32_t personalDataLength, uint8_t* outBuffer,
                   uint32_t* outLength) const;

private:
    SignatureForm form_;
    uint8_t digestInfo_[DIGEST_INFO_CAPACITY] = {};
    uint8_t digestInfoLength_ = 0;
    std::vector<uint8_t> signedAttributes_;  // CAdES only
};
