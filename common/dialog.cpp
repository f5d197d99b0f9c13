#include "dialog.h"

#include <commctrl.h>

#include <vector>

#include "message_box.h"
#include "shared_messages.h"

namespace {
HINSTANCE g_resourceInstance = nullptr;

// Templates may hold common controls (progress bars, list views): their
// window classes are registered before the first dialog is made.
void prepareCommonControls() {
    static const bool prepared = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)prepared;
}
}  // namespace

void setResourceInstance(HINSTANCE instance) { g_resourceInstance = instance; }

HINSTANCE resourceInstance() {
    return g_resourceInstance != nullptr ? g_resourceInstance : GetModuleHandleA(nullptr);
}

Dialog::~Dialog() {
    if (!modal_) destroy();
}

INT_PTR Dialog::runModal(HWND owner) {
    prepareCommonControls();
    modal_ = true;
    const INT_PTR result = DialogBoxParamA(module(), MAKEINTRESOURCEA(templateId_), owner,
                                           &Dialog::procedure, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result;
}

bool Dialog::createModeless(HWND owner) {
    prepareCommonControls();
    modal_ = false;
    return CreateDialogParamA(module(), MAKEINTRESOURCEA(templateId_), owner,
                              &Dialog::procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::destroy() {
    if (window_ != nullptr) DestroyWindow(window_);
}

void Dialog::show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
}

void Dialog::centre() {
    RECT box, area;
    GetWindowRect(window_, &box);
    HWND owner = GetWindow(window_, GW_OWNER);
    if (owner == nullptr || owner == GetDesktopWindow() || IsIconic(owner)) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    } else {
        GetWindowRect(owner, &area);
    }
    const int width = box.right - box.left, height = box.bottom - box.top;
    SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::endDialog(INT_PTR result) { EndDialog(window_, result); }

void Dialog::updateData(bool saving) {
    DataExchange dx(window_, saving);
    exchange(dx);
}

bool Dialog::onInit() {
    updateData(false);
    return true;
}

bool Dialog::onCommand(int, int) { return false; }

void Dialog::onOK() {
    updateData(true);
    endDialog(IDOK);
}

void Dialog::onCancel() { endDialog(IDCANCEL); }

bool Dialog::onSysCommand(WPARAM) { return false; }

INT_PTR Dialog::onMessage(UINT, WPARAM, LPARAM, bool*) { return 0; }

void Dialog::exchange(DataExchange&) {}

INT_PTR CALLBACK Dialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->window_ = window;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
    INT_PTR result = TRUE;
    // Nothing may unwind through the platform's window code: what a handler
    // raises and did not catch itself ends here, said in a box.
    try {
        result = self->dispatch(message, wParam, lParam);
    } catch (...) {
        showProgramMessage(shared_messages::UNEXPECTED_ERROR,
                           MB_OK | MB_ICONERROR);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return onInit() ? TRUE : FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (onCommand(id, HIWORD(wParam))) return TRUE;
        if (id == IDOK) { onOK(); return TRUE; }
        if (id == IDCANCEL) { onCancel(); return TRUE; }
        return FALSE;
    }
    case WM_SYSCOMMAND:
        if (onSysCommand(wParam)) {
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        return FALSE;
    default: {
        bool handled = false;
        const INT_PTR result = onMessage(message, wParam, lParam, &handled);
        return handled ? result : FALSE;
    }
    }
}

void DataExchange::text(int id, std::string& field) {
    HWND control = GetDlgItem(dialog_, id);
    if (!saving_) {
        SetWindowTextA(control, field.c_str());
        return;
    }
    const int length = GetWindowTextLengthA(control);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextA(control, buffer.data(), length + 1);
    field.assign(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void DataExchange::control(int id, HWND& field) { field = GetDlgItem(dialog_, id); }

namespace {
int g_waitDepth = 0;
HCURSOR g_cursorBeforeWait = nullptr;
}  // namespace

void beginWaitCursor() {
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    HCURSOR before = SetCursor(wait);
    if (g_waitDepth++ == 0) g_cursorBeforeWait = before;
}

void restoreWaitCursor() {
    if (g_waitDepth > 0) SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void endWaitCursor() {
    if (g_waitDepth == 0) return;
    if (--g_waitDepth == 0) SetCursor(g_cursorBeforeWait);
}
