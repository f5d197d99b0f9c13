#include "progress_dialogs.h"

#include <commctrl.h>

#include "message_format.h"
#include "quillet_messages.h"
#include "quillet_resource.h"

CProgressDlg::CProgressDlg() : Dialog(IDD_PROGRESS) {}

void CProgressDlg::exchange(DataExchange& dx) {
    dx.control(IDC_PROGRESS_BAR, progressBar_);
    dx.text(IDC_SIGNED_REPORT, signedReport_);
}

void CProgressDlg::setRange(int n) {
    SendMessageA(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(n)));
    SendMessageA(progressBar_, PBM_SETSTEP, 1, 0);
    SendMessageA(progressBar_, PBM_SETPOS, 0, 0);
}

void CProgressDlg::step() { SendMessageA(progressBar_, PBM_STEPIT, 0, 0); }

void CProgressDlg::addSigned(const std::string& name) {
    signedReport_ += formatMessage(quillet_messages::FILE_SIGNED, name.c_str()) + "\r\n";
    updateData(false);
}

CMailWaitDlg::CMailWaitDlg() : Dialog(IDD_MAIL_WAIT) {}
