// The system's product name, version and owner: the programs' version
// resources and the installer read them from here.
#pragma once

#define QUILL_PRODUCT_NAME "Quill"
#define QUILL_COMPANY_NAME "Comune di Valdora"
#define QUILL_VERSION_NUMBERS 1, 0, 0, 0
#define QUILL_VERSION_TEXT "1.0.0.0"
// Where the installer records the municipality's settings: REG_SZ values under
// HKLM, in the 32-bit view that the 32-bit installer writes.
#define QUILL_SETTINGS_KEY "Software\\Quill"
