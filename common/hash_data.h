// Feeding large blocks to a CryptoAPI hash object.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <cstdint>

// CryptHashData in pieces of 64 MiB. Wine's SHA-1 gives a wrong value when a
// single call passes 512 MiB or more (the length in bits overflows 32 bits),
// and a DWORD cannot pass 4 GiB at all. False when a call fails.
bool hashData(HCRYPTHASH hash, const uint8_t* data, size_t size);
