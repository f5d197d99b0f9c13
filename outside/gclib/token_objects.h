// The objects of a simulated token, built from the card profile: the
// certificate labelled for signing, its private key with the same CKA_ID, and
// optionally a second certificate and key.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "card_profile.h"

namespace gclib {

using Bytes = std::vector<uint8_t>;

struct TokenObject {
    unsigned long handle;
    bool isPrivate;                         // visible only after C_Login
    std::map<unsigned long, Bytes> values;  // attribute type -> value
    Bytes key;                              // PRIVATEKEYBLOB of a private key
};

// Objects in the order that searches return them.
std::vector<TokenObject> tokenObjects(const cardsim::CardProfile& profile);

// An attribute value as PKCS#11 holds a CK_ULONG.
Bytes ulongValue(unsigned long value);

}  // namespace gclib
