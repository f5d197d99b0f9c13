#include "decoded_object.h"

std::vector<BYTE> decodedObject(LPCSTR structType, const BYTE* encoded, DWORD length, DWORD flags) {
    constexpr DWORD ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    DWORD size = 0;
    if (!CryptDecodeObject(ENCODING, structType, encoded, length, flags, nullptr, &size) || size == 0) return {};
    std::vector<BYTE> decoded(size);
    if (!CryptDecodeObject(ENCODING, structType, encoded, length, flags, decoded.data(), &size)) return {};
    decoded.resize(size);
    return decoded;
}
