// A CryptoAPI structure decoded from its encoding into a buffer of its own:
// the two calls of CryptDecodeObject (the size, then the decoding) in one.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

// The decoded structure of type `structType` (an X509_* constant or an object
// identifier's text); empty when the bytes do not decode, with the
// platform's error left in GetLastError. With CRYPT_DECODE_NOCOPY_FLAG (the
// default) the structure may point into `encoded`, which must outlive it.
std::vector<BYTE> decodedObject(LPCSTR structType, const BYTE* encoded, DWORD length,
                                DWORD flags = CRYPT_DECODE_NOCOPY_FLAG);
