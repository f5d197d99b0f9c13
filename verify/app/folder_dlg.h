// The window of a folder's verification: the source folder, the output
// folder (the default beside the source, or one the clerk picks), the
// revocation check box, and while the run goes file n of m, the current
// name, a progress bar and the button that stops it. At the end the report
// opens in the default browser.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "certificate_trust.h"
#include "folder_check.h"
#include "program_dialog.h"

class CFolderDlg : public ProgramDialog, private FolderCheckObserver {
public:
    // `output` empty: the default beside the source. The authorities stay the caller's.
    CFolderDlg(const std::wstring& source, const std::wstring& output, bool revocation,
               const CertificateTrust* trust);
    ~CFolderDlg() override;

    // The run's result, once it has ended.
    const FolderCheckResult& result() const { return result_; }

protected:
    bool onInit() override;
    // The box that names the trusted list in use.
    void showAbout() override;
    bool onCommand(int id, int notification) override;
    void onOK() override;
    void onCancel() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

    // Called from the run's thread.
    void onFile(size_t number, size_t total, const std::wstring& relative) override;
    bool stopRequested() override { return stop_; }

private:
    void start();
    void browseForOutput();
    void showProgress(size_t number, size_t total);
    void finished();
    void setRunning(bool running);

    std::wstring source_, output_;
    bool revocation_;
    const CertificateTrust* trust_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
    bool closeWhenDone_ = false;
    bool reported_ = false;  // a run has written its report: one per window
    std::mutex currentLock_;
    std::wstring current_;  // the name of the file being checked
    FolderCheckResult result_;
};
