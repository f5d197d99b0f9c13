// The one gate a trusted list passes before anything believes it or the
// cache keeps it. A list arrives over plain HTTP, or from a file any program
// of the user can write: whatever does not pass is not believed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trusted_list.h"

using CertificateBytes = std::vector<uint8_t>;

// A list that passed the gate: only acceptTrustedList makes one.
class AcceptedTrustedList {
public:
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    const TrustedList& list() const { return list_; }
    // The pinned certificate that signed it.
    const CertificateBytes& signer() const { return signer_; }
    // Whether what it says holds for `time`: a list speaks for times up to
    // its next update (a closed list, up to its issue), also once it is past
    // that; a list no newer than it was had for later times.
    bool speaksFor(UtcSeconds time) const;

private:
    friend std::string acceptTrustedList(std::vector<uint8_t>, const std::vector<CertificateBytes>&, const TrustedList*,
                                         UtcSeconds, std::unique_ptr<AcceptedTrustedList>*);
    AcceptedTrustedList(std::vector<uint8_t> bytes, TrustedList list, CertificateBytes signer)
        : bytes_(std::move(bytes)), list_(std::move(list)), signer_(std::move(signer)) {}

    std::vector<uint8_t> bytes_;
    TrustedList list_;
    CertificateBytes signer_;
};

// The gate: empty with the list in `accepted`, or why it is not believed. In
// this order: the document is read (within MAX_XML_SIZE, inside the profile),
// its signature keeps the rules of readListSignature, its signer's
// certificate is one of `pinned` (byte for byte), every reference's digest
// and the signature value verify, the list reads whole (readTrustedList),
// its sequence number is not lower than `known`'s (the list believed
// before, when there is one), and its issue is not later than `now`.
std::string acceptTrustedList(std::vector<uint8_t> bytes, const std::vector<CertificateBytes>& pinned,
                              const TrustedList* known, UtcSeconds now,
                              std::unique_ptr<AcceptedTrustedList>* accepted);

// The current time as UtcSeconds.
UtcSeconds utcNow();

// A FILETIME as UtcSeconds (the fraction of a second dropped), and back.
UtcSeconds utcSecondsOf(const FILETIME& time);
FILETIME fileTimeOf(UtcSeconds seconds);
