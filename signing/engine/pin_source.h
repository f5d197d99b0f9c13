// Where the signing engine gets the card's PIN. The program registers its
// prompt as the source, as it registers its message boxes; a test registers
// another. The PIN is kept in PinSlot for the later files of a run.
#pragma once

#include <cstdint>

constexpr int PIN_MAX_CHARACTERS = 9;

// The PIN of the current run: at most 9 characters, NUL-terminated, and
// their count. Filled by the source; wiped at the end of each run.
struct PinSlot {
    char text[PIN_MAX_CHARACTERS + 1];
    uint8_t length;
};
PinSlot& pinSlot();

// What a source answers besides 0 (the PIN is then in pinSlot()).
constexpr int PIN_PROMPT_CANCELLED = 1019;
constexpr int PIN_PROMPT_NOT_CREATED = -1;

// A source of the PIN: fills pinSlot() and returns 0, or returns the code of
// its failure. Registered for every later askForPin; null takes it away.
using PinSource = int (*)(void* context);
void setPinSource(PinSource source, void* context);

// Asks the registered source; PIN_PROMPT_NOT_CREATED without one.
int askForPin();

// Overwrites the slot with zeros, in a way the compiler may not leave out.
void wipePin();
