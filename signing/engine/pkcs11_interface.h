// The standard PKCS#11 interface (types, constants, function pointer types) as
// Debian's p11-kit ships it; on Windows it packs structures to one byte, as
// the modules are built.
#pragma once

#include <p11-kit/pkcs11.h>
