// The windows that accompany a signing run: the progress window, which lists
// the files signed so far and moves a bar, and the wait window shown while
// the mail is prepared. Both are modeless and cannot be closed by the user.
#pragma once

#include <string>

#include "dialog.h"

class CProgressDlg : public Dialog {
public:
    CProgressDlg();
    // The bar runs from 0 to n (a 16-bit value) in steps of 1, from 0.
    void setRange(int n);
    void step();
    // Adds "<name>  ----> FIRMATO" as a line of the report and shows it.
    void addSigned(const std::string& name);
    const std::string& signedReport() const { return signedReport_; }

protected:
    void exchange(DataExchange& dx) override;
    void onOK() override {}
    void onCancel() override {}

private:
    HWND progressBar_ = nullptr;
    std::string signedReport_;
};

class CMailWaitDlg : public Dialog {
public:
    CMailWaitDlg();

protected:
    void onOK() override {}
    void onCancel() override {}
};
