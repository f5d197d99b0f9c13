// The signing entry for one file of a batch: looks at the card, signs a CIE of
// the deployment's municipality through the middleware and any other card
// through its PKCS#11 module, and writes the SignedFile.
#pragma once

#include <cstdint>

#include "signature_form.h"

// The answer-to-reset of a CIE.
constexpr uint8_t CIE_ATR_REFERENCE[] = {0x3B, 0xE9, 0x00, 0xFF, 0xC1, 0x10, 0x31,
                                         0xFE, 0x55, 0x00, 0x64, 0x05, 0x00, 0xC8,
                                         0x02, 0x31, 0x80, 0x00, 0x47};

// The issuing-municipality code that a CIE must carry.
constexpr const char* REQUIRED_MUNICIPALITY = "Q512";

// Signs inputPath into the SignedFile outputPath, in the form the municipality
// chose (configuredSignatureForm, read at each call). The PIN is asked for when
// batchIndex is 0 and kept for the later files of the batch. Returns 0 when
// the SignedFile is written; otherwise -1, the middleware's or the module's
// code (0x6300 for a refused PIN), or the PIN prompt's result (1019, -1). Every
// failure that the user must know of is told in a box here.
int32_t fnSignFile(const char* inputPath, const char* outputPath, int batchIndex);

// The same in the form given.
int32_t fnSignFile(SignatureForm form, const char* inputPath, const char* outputPath, int batchIndex);

// True when an ATR of `length` bytes is that of a CIE: each byte equals the
// reference's at the same place, and it is no longer than the reference.
bool isCieAtr(const uint8_t* atr, uint32_t length);
