#include "signing_dlg.h"

#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "message_box.h"
#include "quillet_messages.h"
#include "quillet_resource.h"
#include "shared_messages.h"
#include "signing_run.h"

namespace {

constexpr DWORD FILE_BUFFER_CHARACTERS = 2000;
constexpr int LIST_TEXT_CHARACTERS = 1000;

// What a command that failed unexpectedly says; fixed texts, since memory
// may have run out.

// A list-box entry's text.
std::string entryText(HWND list, int index) {
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return "";
    std::vector<char> text(static_cast<size_t>(length) + 1);
    SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data()).substr(0, LIST_TEXT_CHARACTERS);
}

}  // namespace

CSigningDlg::CSigningDlg() : ProgramDialog(IDD_QUILLET_DIALOG, IDR_MAINFRAME, IDS_ABOUTBOX, IDD_ABOUTBOX) {}

void CSigningDlg::exchange(DataExchange& dx) {
    dx.control(IDC_ATTACHMENTS, list_);
    dx.text(IDC_MESSAGE_TEXT, messageText_);
    dx.text(IDC_REPLY_TO, replyTo_);
}

bool CSigningDlg::onInit() {
    ProgramDialog::onInit();
    CoInitialize(nullptr);
    initialExtent_ = static_cast<int>(SendMessageA(list_, LB_GETHORIZONTALEXTENT, 0, 0));
    return true;
}

bool CSigningDlg::onCommand(int id, int) {
    if (id != IDC_ATTACH && id != IDC_REMOVE && id != IDC_SIGN && id != IDC_EXIT) return false;
    // While a run is under way (in the PIN prompt, a box or the mail
    // program), the commands do nothing.
    if (!set_.runPending) command(id);
    return true;
}

void CSigningDlg::command(int id) {
    try {
        switch (id) {
        case IDC_ATTACH: attach(); break;
        case IDC_REMOVE: remove(); break;
        case IDC_SIGN: signAndSendRun(); break;
        default: onOK(); break;
        }
    } catch (const std::bad_alloc&) {  // a run's files went with it; the form stays as it was
        showProgramMessage(id == IDC_SIGN ? quillet_messages::RUN_OUT_OF_MEMORY : quillet_messages::OUT_OF_MEMORY, MB_OK | MB_ICONERROR);
    } catch (...) {
        showProgramMessage(id == IDC_SIGN ? quillet_messages::RUN_UNEXPECTED_ERROR : shared_messages::UNEXPECTED_ERROR, MB_OK | MB_ICONERROR);
    }
}

// The window stays open while a run is under way.
void CSigningDlg::onOK() {
    if (!set_.runPending) Dialog::onOK();
}

void CSigningDlg::onCancel() {
    if (!set_.runPending) Dialog::onCancel();
}

void CSigningDlg::attach() {
    std::vector<std::string> chosen;
    chooseFiles(chosen);
    for (const std::string& path : chosen) {
        SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
        set_.files.push_back(path);
        updateExtent();
    }
}

void CSigningDlg::updateExtent() {
    HDC dc = GetDC(list_);  // in its default font, wider than the list's own: the ends show
    int widest = 0;
    const int count = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const std::string text = entryText(list_, i);
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    ReleaseDC(list_, dc);
    if (SendMessageA(list_, LB_GETHORIZONTALEXTENT, 0, 0) < widest) {
        SendMessageA(list_, LB_SETHORIZONTALEXTENT, widest - 25, 0);
    }
}

void CSigningDlg::clearForm() {
    set_.files.clear();
    messageText_.clear();
    replyTo_.clear();
    updateData(false);
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    SendMessageA(list_, LB_SETHORIZONTALEXTENT, initialExtent_, 0);
}

void CSigningDlg::remove() {
    const LRESULT count = SendMessageA(list_, LB_GETSELCOUNT, 0, 0);
    if (count == LB_ERR || count <= 0) return;
    std::vector<int> selected(static_cast<size_t>(count));
    SendMessageA(list_, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(selected.data()));
    for (size_t k = 0; k < selected.size(); ++k) {
        const std::string text = entryText(list_, selected[k]);
        SendMessageA(list_, LB_DELETESTRING, selected[k], 0);
        for (size_t later = k + 1; later < selected.size(); ++later) --selected[later];
        const auto found = std::find(set_.files.begin(), set_.files.end(), text);
        if (found != set_.files.end()) set_.files.erase(found);
    }
    if (SendMessageA(list_, LB_GETCOUNT, 0, 0) == 0) SendMessageA(list_, LB_SETHORIZONTALEXTENT, initialExtent_, 0);
}

void CSigningDlg::signAndSendRun() {
    updateData(true);
    const WaitCursor busy;
    SigningRun run(set_, workflow_);
    const std::string refusal = run.prepare(messageText_, replyTo_);
    if (!refusal.empty()) {  // nothing is signed or sent, and the form stays as it is
        showProgramMessage(refusal.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Without a mail program the signed files can only be saved: the
    // citizen says so, and picks the folder, before the PIN is asked.
    std::wstring saveFolder;
    if (!mailProgramPresent()) {
        if (showProgramMessage(quillet_messages::SAVE_OFFER_NO_MAIL_PROGRAM, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        saveFolder = pickSaveFolder(handle());
        if (saveFolder.empty()) return;
    }
    const int result = run.execute(saveFolder);
    // A copy another program holds open stays in the temporary folder: the
    // citizen is told, since it holds what was signed.
    if (!run.finish()) showProgramMessage(quillet_messages::TEMP_FILES_NOT_DELETED, MB_OK | MB_ICONEXCLAMATION);
    if (result != RUN_MAIL_NOT_SENT) clearForm();
}

int chooseFiles(std::vector<std::string>& list) {
    std::vector<char> buffer(FILE_BUFFER_CHARACTERS, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = "All Files (*.*)\0*.*\0Pkcs7 (*.p7m)\0*.p7m\0";
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = FILE_BUFFER_CHARACTERS;
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
            showMessageBox(nullptr, quillet_messages::TOO_MANY_FILES,
                           "Errore", MB_ICONEXCLAMATION | MB_OK);
        }
        return 1;
    }
    // One file: its full path. Several: the folder, then each name, each
    // ended by a NUL, the list by a second NUL.
    const std::string first = buffer.data();
    const char* name = buffer.data() + first.size() + 1;
    if (*name == '\0') {
        list.push_back(first);
        return 0;
    }
    const std::string folder = first.back() == '\\' ? first : first + "\\";
    for (; *name != '\0'; name += std::strlen(name) + 1) list.push_back(folder + name);
    return 0;
}
