// The information box of the verification program: the product, and the
// trusted list in use (its issuer, sequence number, issue and next update).
#pragma once

#include <string>

#include "dialog.h"
#include "trusted_list_acceptance.h"

class CAboutDlg : public Dialog {
public:
    CAboutDlg();

protected:
    bool onInit() override;
    // While the list is still being read, a timer shows it once it is.
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

private:
    // Shows the list in hand; false while it is still being read.
    bool showList();
};

// The box's line on the list: the list in use, or that there is none and why
// (`refusal`, the last list's; empty when none was tried). ANSI code page.
std::string trustedListLine(const AcceptedTrustedList* list, const std::string& refusal, UtcSeconds now);
