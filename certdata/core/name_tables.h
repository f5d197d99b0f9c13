// The fixed name tables of the certificate data library: display names of
// attribute types, algorithms and extensions by their object identifier in
// dotted text, and the names of the key-usage bits.
#pragma once

#include <cstddef>
#include <cstdint>

struct NameTableRow {
    const char* name;
    const char* oid;
};

struct NameTable {
    const NameTableRow* rows;
    size_t count;
};

extern const NameTable ATTRIBUTE_NAMES;  // subject and issuer attribute types
extern const NameTable ALGORITHM_NAMES;  // signature and public-key algorithms
extern const NameTable EXTENSION_NAMES;  // the extensions the platform renders

// The name of the first row whose identifier equals `oid` exactly (same
// characters, same length); null when there is none.
const char* lookUpName(const NameTable& table, const char* oid);

// The key-usage names, lowest bit first (0x02 to 0x80 of the first byte).
struct KeyUsageName {
    uint8_t bit;
    const char* name;
};
extern const KeyUsageName KEY_USAGE_NAMES[7];
