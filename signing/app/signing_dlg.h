// The signing program's one window: the attachment list, the message text,
// the reply-to address, and the commands attach, remove, sign and send, exit.
#pragma once

#include <string>
#include <vector>

#include "program_dialog.h"
#include "send_workflow.h"

class CSigningDlg : public ProgramDialog {
public:
    CSigningDlg();

    const AttachmentSet& attachments() const { return set_; }
    AttachmentSet& attachments() { return set_; }
    // The list box's horizontal scroll width as found when the window opened.
    int initialExtent() const { return initialExtent_; }

protected:
    bool onInit() override;
    bool onCommand(int id, int notification) override;
    void onOK() override;
    void onCancel() override;
    void exchange(DataExchange& dx) override;

private:
    // One command, with whatever it raises caught here: the window stays.
    void command(int id);
    void attach();
    void remove();
    void signAndSendRun();
    // The form emptied after a run: texts, list and its scroll width.
    void clearForm();
    void updateExtent();

    HWND list_ = nullptr;
    std::string messageText_;
    std::string replyTo_;
    AttachmentSet set_;
    SendWorkflow workflow_;
    int initialExtent_ = 0;
};

// The open-file dialog with multiple selection: 0 with every chosen full path
// appended to `list`, 1 when nothing was chosen (a selection too long for the
// dialog's buffer says so).
int chooseFiles(std::vector<std::string>& list);
