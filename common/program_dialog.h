// What both programs' main windows share: the system menu's item for the
// information box, the program's icon as the window's large and small icon,
// and the icon drawn centred while the window is minimised.
#pragma once

#include "dialog.h"

// The system-menu entry of the information box.
constexpr UINT IDM_ABOUTBOX = 16;

class ProgramDialog : public Dialog {
public:
    // `iconId`: the program's icon; `aboutTextId`: the string of the menu item
    // (none when empty); `aboutTemplateId`: the information box.
    ProgramDialog(int templateId, int iconId, int aboutTextId, int aboutTemplateId);

protected:
    // Call first from an override.
    bool onInit() override;
    // Ids 0x10 to 0x1F open the information box modally.
    bool onSysCommand(WPARAM command) override;
    // Paints the icon while minimised and answers the drag-icon query.
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

    HICON icon() const { return icon_; }
    // Shows the information box modally; a program whose box says more
    // shows its own.
    virtual void showAbout();
    int aboutTemplateId() const { return aboutTemplateId_; }

private:
    HICON icon_;
    int aboutTextId_;
    int aboutTemplateId_;
};
