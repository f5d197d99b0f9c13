// Length octets and element wrapping, by two rules.
//
// The original SignedFile form: lengths up to 126 take the short form; from
// 127 on the long form is used (81 7F for 127), always with the fewest octets
// after the 8x octet. Readers accept this; the files that have been written
// rely on it staying so. These are the functions without "strict" in the name.
//
// Strict DER (X.690): the short form up to 127. The CAdES form is written so
// throughout: its signed attributes are hashed as DER, and verifiers
// re-encode them before they hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// Strict DER: the count of length octets of `length` (1 to 5).
uint8_t strictLengthCount(uint64_t length);

// Strict DER: appends tag, length octets and content to `out`.
void appendStrictElement(std::vector<uint8_t>& out, uint8_t tag, const uint8_t* content, size_t length);
void appendStrictElement(std::vector<uint8_t>& out, uint8_t tag, const std::vector<uint8_t>& content);

// Strict DER: appends tag and length octets only (the content follows).
void appendStrictHeader(std::vector<uint8_t>& out, uint8_t tag, uint64_t length);
