// The module back-end: signs a file with a card that is not a CIE through the
// card's PKCS#11 module, gclib.dll, and writes the SignedFile itself.
#pragma once

#include <cstdint>

#include "signature_form.h"

// The module, loaded by name at each call.
constexpr const char* PKCS11_MODULE_NAME = "gclib.dll";

// Signs inputPath into the SignedFile outputPath (overwritten if it exists), in the original form,
// with the NUL-terminated PIN. batchIndex is accepted and not used. Every
// failure is told in a "SIGN ERROR" box; the result is 0, SIGN_ERR_GENERIC,
// SIGN_ERR_PIN, the encoder's code, or the platform's last error when the
// output cannot be written. Sessions, module and library are closed before it
// returns, on every path.
int32_t fnSignFilePkcs11(const char* inputPath, const char* outputPath, int batchIndex,
                         const char* pin);

// The same in either form (a certificate that cannot be decoded for the
// CAdES form is told as the encoder's failure is).
int32_t fnSignFilePkcs11(SignatureForm form, const char* inputPath, const char* outputPath, int batchIndex,
                         const char* pin);
