#include "hash_data.h"

namespace {
constexpr size_t HASH_PIECE = 64u << 20;
}

bool hashData(HCRYPTHASH hash, const uint8_t* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const size_t piece = size - done < HASH_PIECE ? size - done : HASH_PIECE;
        if (!CryptHashData(hash, data + done, static_cast<DWORD>(piece), 0)) return false;
        done += piece;
    }
    return true;
}
