// DER length octets and element wrapping, as the SignedFile format writes them.
//
// Lengths up to 126 take the short form; from 127 on the long form is used
// (81 7F for 127), always with the fewest octets after the 8x octet. Readers
// accept this; the files that have been written rely on it staying so.
#pragma once

#include <cstdint>

// The most length octets a 32-bit length needs: 84 and four octets.
constexpr uint32_t DER_MAX_LENGTH_OCTETS = 5;

// Writes the length octets of `length` into `octets`; returns their count (1 to 5).
uint8_t derLengthOctets(uint32_t length, uint8_t octets[DER_MAX_LENGTH_OCTETS]);

// The count of length octets of `length`, without writing them.
uint8_t derLengthCount(uint32_t length);

// Writes tag and length octets at `out`; returns the count written (2 to 6).
uint32_t derWriteHeader(uint8_t tag, uint32_t length, uint8_t* out);

// The length octets in a newly allocated block (release it with free()) and
// their count. Returns 0, or PKCS7_ERR_MEMORY when no memory can be had.
int32_t fnDerLength(uint32_t length, uint8_t** octetsOut, uint8_t* countOut);

// One element in a newly allocated block (release it with free()): the tag
// octet, the length octets, the content. Returns 0, or PKCS7_ERR_MEMORY when
// no memory can be had or the element would not fit in 32 bits.
int32_t fnDerWrap(uint8_t tag, const uint8_t* content, uint32_t contentLength,
                  uint8_t** blockOut, uint32_t* blockLengthOut);
