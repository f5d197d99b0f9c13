#include "pkcs7_encoder.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <new>

#include "cades_layout.h"
#include "result_codes.h"
#include "signed_file_layout.h"

namespace {

// CryptoAPI's last error for a failed call; never 0, so that it reads as a failure.
int32_t lastCryptError() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int32_t>(error) : static_cast<int32_t>(E_INVALIDARG);
}

ByteRange rangeOf(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

}  // namespace

int32_t readIssuerAndSerial(const uint8_t* certificate, uint32_t certificateLength,
                            std::vector<uint8_t>* issuer, std::vector<uint8_t>* serial) {
    // The platform decodes the certificate for its issuer and serial number.
    SetLastError(0);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(
        X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, certificate, certificateLength);
    if (cert == nullptr) return lastCryptError();
    int32_t result = 0;
    try {
        const CERT_INFO* info = cert->pCertInfo;
        issuer->assign(info->Issuer.pbData, info->Issuer.pbData + info->Issuer.cbData);
        // CryptoAPI holds the serial least significant octet first; the file
        // carries it in the certificate's own order, a leading 00 included.
        const CRYPT_INTEGER_BLOB& reversed = info->SerialNumber;
        serial->assign(reversed.pbData, reversed.pbData + reversed.cbData);
        std::reverse(serial->begin(), serial->end());
    } catch (const std::bad_alloc&) {
        result = PKCS7_ERR_MEMORY;
    }
    CertFreeCertificateContext(cert);
    return result;
}

int32_t fnBuildPkcs7(const uint8_t* content, uint32_t contentLength,
                     const uint8_t* signature, uint32_t signatureLength,
                     const uint8_t* certificate, uint32_t certificateLength,
                     const uint8_t* personalData, uint32_t personalDataLength,
                     uint8_t* outBuffer, uint32_t* outLength) {
    if (outLength == nullptr) return static_cast<int32_t>(E_INVALIDARG);
    try {
        std::vector<uint8_t> issuer, serial;
        const int32_t read = readIssuerAndSerial(certificate, certificateLength, &issuer, &serial);
        if (read != 0) return read;
        SignedFileParts parts{};
        parts.content = {content, contentLength};
        parts.signature = {signature, signatureLength};
        parts.certificate = {certificate, certificateLength};
        parts.issuer = rangeOf(issuer);
        parts.serial = rangeOf(serial);
        parts.personalData = {personalData, personalDataLength};
        return assembleSignedFile(parts, outBuffer, outLength);
    } catch (const std::bad_alloc&) {
        return PKCS7_ERR_MEMORY;
    }
}

int32_t buildCadesFile(const uint8_t* content, uint32_t contentLength,
                       const uint8_t* signature, uint32_t signatureLength,
                       const uint8_t* certificate, uint32_t certificateLength,
                       const std::vector<uint8_t>& signedAttributes,
                       const uint8_t* personalData, uint32_t personalDataLength,
                       uint8_t* outBuffer, uint32_t* outLength) {
    if (outLength == nullptr) return static_cast<int32_t>(E_INVALIDARG);
    try {
        std::vector<uint8_t> issuer, serial;
        const int32_t read = readIssuerAndSerial(certificate, certificateLength, &issuer, &serial);
        if (read != 0) return read;
        CadesFileParts parts{};
        parts.content = {content, contentLength};
        parts.certificate = {certificate, certificateLength};
        parts.issuer = rangeOf(issuer);
        parts.serial = rangeOf(serial);
        parts.signedAttributes = rangeOf(signedAttributes);
        parts.signature = {signature, signatureLength};
        parts.personalData = {personalData, personalDataLength};
        return assembleCadesFile(parts, outBuffer, outLength);
    } catch (const std::bad_alloc&) {
        return PKCS7_ERR_MEMORY;
    }
}
