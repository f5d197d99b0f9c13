// The verification program's one window: the SignedFile's path, the summary
// line, the signers list with its legend, and the commands to view the
// content, the source and a certificate, to check revocation, and to leave.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "certificate_trust.h"
#include "file_tools.h"
#include "program_dialog.h"
#include "signed_file_record.h"

class CSignersDlg : public ProgramDialog {
public:
    // The tools, the record and the accepted authorities stay the caller's.
    CSignersDlg(FileTools* tools, SignedFileRecord* record, const CertificateTrust* trust);

protected:
    bool onInit() override;
    // The box that names the trusted list in use.
    void showAbout() override;
    bool onCommand(int id, int notification) override;
    void onOK() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

private:
    void fillList(int32_t loadResult);
    // The selected signer for a command, or -1 after asking for a selection.
    int chosenSigner(const char* request);
    // The next command needs a new selection.
    void clearSelection();

    FileTools* tools_;
    SignedFileRecord* record_;
    const CertificateTrust* trust_;
    HWND list_ = nullptr;
    HIMAGELIST images_ = nullptr;
};
