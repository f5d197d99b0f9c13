// The CIE's personal-data record and its parsed form.
//
// The record is text: six hexadecimal digits giving T, the length of the rest
// (the whole record is T + 6 long), then fields 1 to 15, each as two
// hexadecimal digits of length followed by that many characters. Field 1 is
// the issuing municipality's code. Anything after field 15 marks the record as
// continued.
#pragma once

#include <cstdint>

constexpr int DATI_PERSONALI_SLOTS = 15;
constexpr int DATI_PERSONALI_SLOT_SIZE = 256;

// The parsed record: 15 NUL-terminated texts and the continuation flag. The
// record's fields go to the slots in a fixed arrangement (fieldOfSlot).
struct DatiPersonali {
    char slots[DATI_PERSONALI_SLOTS][DATI_PERSONALI_SLOT_SIZE];
    uint8_t continued;
};

// Slot numbers of the fields that callers look at.
constexpr int SLOT_MUNICIPALITY = 4;  // field 1
constexpr int SLOT_SURNAME = 1;       // field 4
constexpr int SLOT_NAME = 0;          // field 5
constexpr int SLOT_FISCAL_CODE = 9;   // field 9

// The record field (1 to 15) that fills each slot (0 to 14).
extern const uint8_t fieldOfSlot[DATI_PERSONALI_SLOTS];

// Parses `record` into `dati`, which must be all zero. Returns the record's
// full length, T + 6, modulo 256. Positions at or past `recordLength` count as
// zero bytes and are never read. With a null `dati` only the length is
// worked out.
uint8_t fnParseDatiPersonali(const uint8_t* record, uint32_t recordLength, DatiPersonali* dati);

// Converts NUL-terminated hexadecimal text into one byte: each character,
// folded to lower case, counts 0-9 or a-f as digits and any other character
// with its own code; the weighted sum is kept modulo 256. Empty text gives 0.
// Returns 0, or 0x1000 (nothing stored) when a pointer is null.
int32_t fnHexToByte(const char* text, uint8_t* value);
