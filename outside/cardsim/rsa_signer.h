// RSA PKCS#1 v1.5 signatures as a card makes them: the card pads whatever data
// it is given (block type 1) and applies its private key. The key comes as a
// CryptoAPI PRIVATEKEYBLOB. Platform-free, so that the simulated cards sign
// the same way on every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cardsim {

using Bytes = std::vector<uint8_t>;

// The modulus length in bytes of a PRIVATEKEYBLOB, or 0 when it is not one.
uint32_t keyBlobModulusBytes(const Bytes& keyBlob);

// Signs `data` (at most modulus length - 11 bytes) with the blob's private
// key: the signature, most significant octet first, as long as the modulus.
// False when the blob is malformed or the data too long.
bool signPkcs1(const Bytes& keyBlob, const uint8_t* data, size_t length, Bytes* signature);

}  // namespace cardsim
