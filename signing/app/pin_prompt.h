// The PIN prompt and PinSlot, where the PIN typed for a run is kept.
#pragma once

#include <cstdint>

#include "dialog.h"

constexpr int PIN_MAX_CHARACTERS = 9;

// The PIN of the current run: at most 9 characters, NUL-terminated, and
// their count. Written by each confirmed prompt, never cleared.
struct PinSlot {
    char text[PIN_MAX_CHARACTERS + 1];
    uint8_t length;
};
PinSlot& pinSlot();

// Results of showPinPrompt besides 0 (the PIN is in pinSlot()).
constexpr int PIN_PROMPT_CANCELLED = 1019;
constexpr int PIN_PROMPT_NOT_CREATED = -1;

// Shows the prompt modally, owned by the desktop window: 0 when the user
// confirmed with OK or Return, 1019 for Cancel, -1 when it cannot be created.
int showPinPrompt();

// The prompt's dialog. Only OK (or Return) and Cancel end it; Escape and the
// close box leave it open.
class CPinDlg : public Dialog {
public:
    CPinDlg();

protected:
    bool onCommand(int id, int notification) override;
    void onOK() override {}
    void onCancel() override {}
};
