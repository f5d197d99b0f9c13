#include "pin_prompt.h"

#include <cstring>

#include "quillet_resource.h"

CPinDlg::CPinDlg() : Dialog(IDD_PIN_PROMPT) {}

bool CPinDlg::onCommand(int id, int) {
    if (id == IDC_PIN_OK) {
        // Longer input is cut to its first 9 characters.
        PinSlot& slot = pinSlot();
        GetDlgItemTextA(handle(), IDC_PIN_EDIT, slot.text, sizeof slot.text);
        slot.text[PIN_MAX_CHARACTERS] = '\0';
        slot.length = static_cast<uint8_t>(std::strlen(slot.text));
        endDialog(IDC_PIN_OK);
        return true;
    }
    if (id == IDC_PIN_CANCEL) {
        endDialog(IDC_PIN_CANCEL);
        return true;
    }
    return false;
}

int showPinPrompt() {
    CPinDlg prompt;
    const INT_PTR result = prompt.runModal(GetDesktopWindow());
    return result == IDC_PIN_OK ? 0 : static_cast<int>(result);
}

void usePinPrompt() {
    setPinSource([](void*) { return showPinPrompt(); }, nullptr);
}
