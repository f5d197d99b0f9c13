#include "folder_dlg.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "ansi_text.h"
#include "folder_picker.h"
#include "about_dlg.h"
#include "message_box.h"
#include "message_format.h"
#include "quillcheck_messages.h"
#include "quillcheck_resource.h"

namespace {

// Posted by the run's thread: a file begins (wParam its number, lParam the
// total), and the run has ended.
constexpr UINT WM_FOLDER_FILE = WM_APP + 1;
constexpr UINT WM_FOLDER_DONE = WM_APP + 2;


}  // namespace

CFolderDlg::CFolderDlg(const std::wstring& source, const std::wstring& output, bool revocation,
                       const CertificateTrust* trust)
    : ProgramDialog(IDD_FOLDER_CHECK, IDI_PROGRAM, IDS_ABOUTBOX, IDD_ABOUTBOX),
      source_(source),
      output_(output),
      revocation_(revocation),
      trust_(trust) {}

CFolderDlg::~CFolderDlg() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

bool CFolderDlg::onInit() {
    ProgramDialog::onInit();
    if (output_.empty()) output_ = defaultOutputFolder(source_);
    SetDlgItemTextW(handle(), IDC_FOLDER_SOURCE, source_.c_str());
    SetDlgItemTextW(handle(), IDC_FOLDER_OUTPUT, output_.c_str());
    CheckDlgButton(handle(), IDC_FOLDER_REVOCATION, revocation_ ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(handle(), IDC_FOLDER_COUNT, quillcheck_messages::FOLDER_READY);
    setRunning(false);
    return true;
}

bool CFolderDlg::onCommand(int id, int) {
    switch (id) {
    case IDC_FOLDER_BROWSE:
        browseForOutput();
        return true;
    case IDC_FOLDER_STOP:
        stop_ = true;
        EnableWindow(item(IDC_FOLDER_STOP), FALSE);
        SetDlgItemTextA(handle(), IDC_FOLDER_CURRENT, quillcheck_messages::FOLDER_STOPPING);
        return true;
    default:
        return false;
    }
}

// "Avvia".
void CFolderDlg::onOK() {
    if (!running_ && !reported_) start();
}

// "Chiudi", or the window's close box: a run in progress is stopped first.
void CFolderDlg::onCancel() {
    if (!running_) {
        endDialog(IDCANCEL);
        return;
    }
    closeWhenDone_ = true;
    stop_ = true;
    EnableWindow(item(IDCANCEL), FALSE);
    EnableWindow(item(IDC_FOLDER_STOP), FALSE);
}

void CFolderDlg::setRunning(bool running) {
    running_ = running;
    const bool mayStart = !running && !reported_;
    EnableWindow(item(IDOK), mayStart);
    EnableWindow(item(IDC_FOLDER_BROWSE), mayStart);
    EnableWindow(item(IDC_FOLDER_REVOCATION), mayStart);
    EnableWindow(item(IDC_FOLDER_STOP), running);
}

void CFolderDlg::browseForOutput() {
    const std::wstring picked = pickFolder(handle(), L"Cartella in cui scrivere il rapporto e i contenuti");
    if (picked.empty()) return;
    output_ = picked;
    SetDlgItemTextW(handle(), IDC_FOLDER_OUTPUT, output_.c_str());
}

void CFolderDlg::start() {
    revocation_ = IsDlgButtonChecked(handle(), IDC_FOLDER_REVOCATION) == BST_CHECKED;
    stop_ = false;
    SetDlgItemTextA(handle(), IDC_FOLDER_COUNT, quillcheck_messages::FOLDER_SEARCHING);
    FolderCheckOptions options;
    options.source = source_;
    options.output = output_;
    options.revocation = revocation_;
    const HWND window = handle();
    worker_ = std::thread([this, options, window] {
        try {
            result_ = runFolderCheck(options, *trust_, this);
        } catch (...) {
            result_.exitCode = FOLDER_EXIT_RUN_FAILED;
            result_.error = quillcheck_messages::FOLDER_OUT_OF_MEMORY;
        }
        PostMessageA(window, WM_FOLDER_DONE, 0, 0);
    });
    setRunning(true);
}

void CFolderDlg::onFile(size_t number, size_t total, const std::wstring& relative) {
    {
        std::lock_guard<std::mutex> hold(currentLock_);
        current_ = relative;
    }
    PostMessageA(handle(), WM_FOLDER_FILE, number, total);
}

void CFolderDlg::showProgress(size_t number, size_t total) {
    SetDlgItemTextA(handle(), IDC_FOLDER_COUNT,
                    formatMessage(quillcheck_messages::FOLDER_PROGRESS, static_cast<unsigned>(number), static_cast<unsigned>(total)).c_str());
    std::wstring current;
    {
        std::lock_guard<std::mutex> hold(currentLock_);
        current = current_;
    }
    if (!stop_) SetDlgItemTextW(handle(), IDC_FOLDER_CURRENT, current.c_str());
    SendDlgItemMessageA(handle(), IDC_FOLDER_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendDlgItemMessageA(handle(), IDC_FOLDER_PROGRESS, PBM_SETPOS, number - 1, 0);
}

void CFolderDlg::finished() {
    if (worker_.joinable()) worker_.join();
    reported_ = result_.exitCode != FOLDER_EXIT_RUN_FAILED;
    setRunning(false);
    EnableWindow(item(IDCANCEL), TRUE);
    if (closeWhenDone_) {
        endDialog(IDCANCEL);
        return;
    }
    if (result_.exitCode == FOLDER_EXIT_RUN_FAILED) {
        SetDlgItemTextA(handle(), IDC_FOLDER_COUNT, quillcheck_messages::FOLDER_NOT_RUN);
        SetDlgItemTextA(handle(), IDC_FOLDER_CURRENT, "");
        showMessageBox(handle(), result_.error.c_str(), "Attenzione", MB_ICONEXCLAMATION);
        return;
    }
    const size_t* c = result_.counts;
    const std::string count = formatMessage(result_.stopped ? quillcheck_messages::FOLDER_STOPPED : quillcheck_messages::FOLDER_DONE,
                                            static_cast<unsigned>(c[0] + c[1] + c[2] + c[3]),
                                            static_cast<unsigned>(c[0]), static_cast<unsigned>(c[1]),
                                            static_cast<unsigned>(c[2]), static_cast<unsigned>(c[3]));
    SetDlgItemTextA(handle(), IDC_FOLDER_COUNT, count.c_str());
    // The page's path may hold characters of no code page: the line is made wide.
    std::vector<wchar_t> reportLine(result_.reportPage.size() + 64);
    std::swprintf(reportLine.data(), reportLine.size(), wideText(quillcheck_messages::FOLDER_REPORT_AT).c_str(),
                  result_.reportPage.c_str());
    SetDlgItemTextW(handle(), IDC_FOLDER_CURRENT, reportLine.data());
    SendDlgItemMessageA(handle(), IDC_FOLDER_PROGRESS, PBM_SETRANGE32, 0, 1);
    SendDlgItemMessageA(handle(), IDC_FOLDER_PROGRESS, PBM_SETPOS, 1, 0);
    // The page the run wrote: the default browser shows it.
    ShellExecuteW(handle(), L"open", result_.reportPage.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR CFolderDlg::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
    if (message == WM_FOLDER_FILE) {
        showProgress(wParam, static_cast<size_t>(lParam));
        *handled = true;
        return 0;
    }
    if (message == WM_FOLDER_DONE) {
        finished();
        *handled = true;
        return 0;
    }
    return ProgramDialog::onMessage(message, wParam, lParam, handled);
}

void CFolderDlg::showAbout() {
    CAboutDlg about;
    about.runModal(handle());
}
