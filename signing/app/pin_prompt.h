// The PIN prompt: the signing program's source of the PIN (pin_source.h).
#pragma once

#include "dialog.h"
#include "pin_source.h"

// Shows the prompt modally, owned by the desktop window: 0 when the user
// confirmed with OK or Return (the PIN is then in pinSlot()), 1019 for
// Cancel, -1 when it cannot be created.
int showPinPrompt();

// Makes the prompt the source of the PIN for the signing engine.
void usePinPrompt();

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
