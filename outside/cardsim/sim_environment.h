// What the simulated reader takes from its surroundings: the card profile
// named by QUILL_CARD_PROFILE, and the call log named by QUILL_CARD_LOG.
// Both are read through the process environment at each use, so that a test
// can switch cards between calls.
#pragma once

#include <string>

#include "card_profile.h"

namespace cardsim {

enum class ProfileState { Loaded, NotSet, Unreadable };

// The card profile in force. Without QUILL_CARD_PROFILE there is no reader.
ProfileState loadActiveProfile(CardProfile* profile);

// Appends one line, formatted like printf, to the call log when
// QUILL_CARD_LOG names one.
void logCall(const char* format, ...);

// Hexadecimal text of bytes, for log lines.
std::string hexText(const uint8_t* bytes, size_t count);

}  // namespace cardsim
