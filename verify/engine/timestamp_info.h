// A time-stamp token's TSTInfo, read from its DER: what it stamps (the
// message imprint) and when. Platform-free.
#pragma once

#include <vector>

#include "ber.h"

struct TstInfo {
    ber::Element imprintAlgorithm;  // the message imprint's hash algorithm, its OBJECT IDENTIFIER
    ber::Span imprint;              // the hashed message
    ber::Element genTime;           // the GeneralizedTime, whole
};

// TSTInfo ::= SEQUENCE { version INTEGER (1), policy OBJECT IDENTIFIER,
//   messageImprint SEQUENCE { hashAlgorithm, hashedMessage OCTET STRING },
//   serialNumber INTEGER, genTime GeneralizedTime, ... }. False when `der`
// is not exactly one such element of version 1.
bool readTstInfo(ber::Span der, TstInfo* out);

namespace oids {
extern const std::vector<uint8_t> TIMESTAMP_TOKEN, TST_INFO, KP_TIME_STAMPING;
}
