// The simulated reader and card, described by a card profile: a text file of
// "key = value" lines ('#' starts a comment). Both stand-ins read the same
// profile, named by the environment variable QUILL_CARD_PROFILE.
//
//   reader = yes | no            a reader is attached (default yes)
//   card = yes | no              a card is in it (default yes)
//   atr = 3B E9 00 ...           the card's answer-to-reset, hexadecimal
//   personal_data = 0000...      the CIE's personal-data record, as text
//   pin = 12345678               the PIN that the card accepts
//   certificate = FILE           the signature certificate, DER
//   key = FILE                   its private key, a CryptoAPI PRIVATEKEYBLOB
//   tokens = N                   PKCS#11 slots with a token (default 1 with a card)
//   label = Sign                 the certificate object's CKA_LABEL (default Sign)
//   cert_id = 01                 CKA_ID of the certificate (default 01)
//   key_id = 01                  CKA_ID of the private key (default: cert_id)
//   other_certificate = FILE     a second certificate labelled like the first,
//   other_key = FILE             with its key, listed after the first
//   other_id = 02                certificate and key object; its key is listed
//                                before the first key
//   fail = NAME, NAME            functions that fail (C_OpenSession, CIE_Sign, ...;
//                                DllMain makes the module fail to load)
//   overstate = NAME, NAME       functions that fill the caller's buffer and then
//                                report a length beyond it (CIE_Sign,
//                                CIE_ReadCCarta, C_Sign, C_GetAttributeValue):
//                                a faulty middleware or module
//   reread_certificate = FILE    what CIE_ReadCCarta returns from its second call
//                                on one connection: a card that changes between
//                                two reads
//   pin_changes_after = N PIN    the middleware card accepts PIN instead from its
//                                (N+1)-th connection on, counted since the profile
//                                last changed: a card whose PIN was changed, or
//                                another card put in, during a run
//
// File names are absolute or relative to the profile's folder.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace cardsim {

using Bytes = std::vector<uint8_t>;

struct CardProfile {
    bool readerPresent = true;
    bool cardPresent = true;
    Bytes atr;
    std::string personalData;
    std::string pin;
    Bytes certificate;
    Bytes key;
    int tokens = 1;
    std::string label = "Sign";
    Bytes certificateId{0x01};
    Bytes keyId{0x01};
    Bytes otherCertificate;
    Bytes otherKey;
    Bytes otherId{0x02};
    std::set<std::string> failing;
    std::set<std::string> overstating;
    Bytes rereadCertificate;
    int pinChangesAfter = 0;  // 0: the PIN never changes
    std::string changedPin;

    bool fails(const std::string& function) const { return failing.count(function) != 0; }
    bool overstates(const std::string& function) const { return overstating.count(function) != 0; }
};

// How much beyond the caller's buffer an overstated length reaches.
constexpr uint32_t OVERSTATED_BY = 64;

// Reads a profile; false with a message in *error when it cannot be read.
bool loadCardProfile(const std::string& path, CardProfile* profile, std::string* error);

// Parses "3B E9 00" or "3be900" into bytes; false on anything else.
bool parseHex(const std::string& text, Bytes* out);

}  // namespace cardsim
