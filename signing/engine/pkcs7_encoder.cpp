#include "pkcs7_encoder.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <new>
#include <vector>

#include "result_codes.h"
#include "signed_file_layout.h"

namespace {

// CryptoAPI's last error for a failed call; never 0, so that it reads as a failure.
int32_t lastCryptError() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int32_t>(error) : static_cast<int32_t>(E_INVALIDARG);
}

}  // namespace

int32_t fnBuildPkcs7(const uint8_t* content, uint32_t contentLength,
                     const uint8_t* signature, uint32_t signatureLength,
                     const uint8_t* certificate, uint32_t certificateLength,
                     const uint8_t* personalData, uint32_t personalDataLength,
                     uint8_t* outBuffer, uint32_t* outLength) {
    if (outLength == nullptr) return static_cast<int32_t>(E_INVALIDARG);

    // The platform decodes the certificate for its issuer and serial number.
    SetLastError(0);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(
        X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, certificate, certificateLength);
    if (cert == nullptr) return lastCryptError();

    int32_t result;
    try {
        const CERT_INFO* info = cert->pCertInfo;
        // CryptoAPI holds the serial least significant octet first; the file
        // carries it in the certificate's own order, a leading 00 included.
        const CRYPT_INTEGER_BLOB& reversed = info->SerialNumber;
        std::vector<uint8_t> serial(reversed.pbData, reversed.pbData + reversed.cbData);
        std::reverse(serial.begin(), serial.end());

        SignedFileParts parts{};
        parts.content = {content, contentLength};
        parts.signature = {signature, signatureLength};
        parts.certificate = {certificate, certificateLength};
        parts.issuer = {info->Issuer.pbData, info->Issuer.cbData};
        parts.serial = {serial.data(), static_cast<uint32_t>(serial.size())};
        parts.personalData = {personalData, personalDataLength};
        result = assembleSignedFile(parts, outBuffer, outLength);
    } catch (const std::bad_alloc&) {
        result = PKCS7_ERR_MEMORY;
    }
    CertFreeCertificateContext(cert);
    return result;
}
