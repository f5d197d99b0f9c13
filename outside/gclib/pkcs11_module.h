// The standard PKCS#11 header, as the module is built with it: Debian's
// p11-kit copy, which packs structures to one byte on Windows as the standard
// requires.
#pragma once

#define CRYPTOKI_EXPORTS
#include <p11-kit/pkcs11.h>
