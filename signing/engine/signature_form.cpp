#include "signature_form.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "cades_layout.h"
#include "digest_info.h"
#include "pkcs7_encoder.h"
#include "result_codes.h"
#include "sha_digest.h"

namespace {

// A digest of the engine's digest functions, released with free().
struct Digest {
    ~Digest() { std::free(bytes); }
    uint8_t* bytes = nullptr;
    uint32_t length = 0;
    ByteRange range() const { return {bytes, length}; }
};

}  // namespace

SignatureForm readSignatureForm(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
        return SignatureForm::Pkcs7Sha1;
    }
    char value[16] = {};
    DWORD type = 0, size = sizeof value - 1;
    const LONG read = RegQueryValueExA(key, SIGNATURE_FORM_VALUE, nullptr, &type,
                                       reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ) return SignatureForm::Pkcs7Sha1;
    return _stricmp(value, "CAdES") == 0 ? SignatureForm::CadesBes : SignatureForm::Pkcs7Sha1;
}

SignatureForm configuredSignatureForm() { return readSignatureForm(HKEY_LOCAL_MACHINE, SETTINGS_KEY); }

int32_t SignatureRequest::prepare(const uint8_t* content, uint32_t contentLength, const uint8_t* certificate,
                                  uint32_t certificateLength, const SYSTEMTIME& utc) {
    Digest contentDigest;
    if (form_ == SignatureForm::Pkcs7Sha1) {
        if (fnSha1Digest(content, contentLength, &contentDigest.bytes, &contentDigest.length) != 0 ||
            fnMakeDigestInfo(contentDigest.bytes, contentDigest.length, digestInfo_, &digestInfoLength_) != 0) {
            return SIGN_ERR_DIGEST;
        }
        return SIGN_OK;
    }

    std::vector<uint8_t> issuer, serial;
    const int32_t read = readIssuerAndSerial(certificate, certificateLength, &issuer, &serial);
    if (read != 0) return read;
    Digest certificateHash, attributesDigest;
    if (sha256Digest(content, contentLength, &contentDigest.bytes, &contentDigest.length) != 0 ||
        sha256Digest(certificate, certificateLength, &certificateHash.bytes, &certificateHash.length) != 0) {
        return SIGN_ERR_DIGEST;
    }
    SignedAttributeParts parts{};
    parts.contentDigest = contentDigest.range();
    parts.signingTime = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
    parts.certificateHash = certificateHash.range();
    parts.issuer = {issuer.data(), static_cast<uint32_t>(issuer.size())};
    parts.serial = {serial.data(), static_cast<uint32_t>(serial.size())};
    if (!encodeSignedAttributes(parts, &signedAttributes_)) return SIGN_ERR_DIGEST;
    if (sha256Digest(signedAttributes_.data(), static_cast<uint32_t>(signedAttributes_.size()),
                     &attributesDigest.bytes, &attributesDigest.length) != 0 ||
        makeSha256DigestInfo(attributesDigest.bytes, attributesDigest.length, digestInfo_, &digestInfoLength_) != 0) {
        return SIGN_ERR_DIGEST;
    }
    return SIGN_OK;
}

int32_t SignatureRequest::encode(const uint8_t* content, uint32_t contentLength, const uint8_t* signature,
                                 uint32_t signatureLength, const uint8_t* certificate, uint32_t certificateLength,
                                 const uint8_t* personalData, uint32_t personalDataLength, uint8_t* outBuffer,
                                 uint32_t* outLength) const {
    if (form_ == SignatureForm::Pkcs7Sha1) {
        return fnBuildPkcs7(content, contentLength, signature, signatureLength, certificate, certificateLength,
                            personalData, personalDataLength, outBuffer, outLength);
    }
    return buildCadesFile(content, contentLength, signature, signatureLength, certificate, certificateLength,
                          signedAttributes_, personalData, personalDataLength, outBuffer, outLength);
}
