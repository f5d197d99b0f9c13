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
};

// The box's line on the list: the list in use, or that there is none and why
// (`refusal`, the last list's; empty when none was tried). ANSI code page.
std::string trustedListLine(const AcceptedTrustedList* list, const std::string& refusal, UtcSeconds now);
