// How the verification program shows a signer and the file: the texts and
// icons of the signers list and the summary line, and the name taken from a
// CIE's personal-data record.
#pragma once

#include <cstddef>
#include <string>

#include "ber.h"
#include "signer_status.h"

// The name column: the name when it is longer than 5 characters, otherwise
// "Firma con carta firma".
std::string signerNameText(const char* name);

// The icon of the state: 0 green (all well), 1 red (signature not valid),
// 2 yellow (any other finding).
int statusIcon(SignerStatus status);

// The state column, with `expiryDate` as the signer's expiry text.
std::string statusText(SignerStatus status, const char* expiryDate);

// The line above the list.
std::string summaryLine(bool loaded, int signerCount);

// "dd/mm/yyyy".
std::string expiryDateText(int day, int month, int year);

// The name of a personal-data attribute value (an X.509 GeneralNames whose
// first entry is an rfc822Name holding the card's record): the record's
// surname, name and fiscal code joined by "/", written into `slot` of
// `slotSize` bytes (cut to fit). False, and the slot unchanged, when the
// value is not of that kind.
bool personalDataName(ber::Span value, char* slot, size_t slotSize);
