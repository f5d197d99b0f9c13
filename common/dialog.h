// A small dialog framework over the Win32 dialog manager: dialogs from .rc
// templates, modal or modeless, with virtual handlers for initialisation,
// commands and system commands, and data exchange between controls and fields.
//
// One static dialog procedure keeps `this` in the window (set at
// WM_INITDIALOG) and dispatches to the virtual handlers.
#pragma once

#include <windows.h>

#include <string>

// The module whose resources hold the templates: the program's instance,
// kept at start-up. Until set, the executable's own.
void setResourceInstance(HINSTANCE instance);
HINSTANCE resourceInstance();

class DataExchange;

class Dialog {
public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    // A template of another module (a library's own dialog).
    Dialog(int templateId, HINSTANCE module) : templateId_(templateId), module_(module) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog modally; returns the code it was ended with, or -1
    // when the window cannot be created.
    INT_PTR runModal(HWND owner);

    // Creates the dialog modeless (shown only if its template says so); false
    // when the window cannot be created. destroy() closes it.
    bool createModeless(HWND owner);
    void destroy();

    void show(int how = SW_SHOW);
    // Centres the window over its owner, or over the screen without one.
    void centre();
    // Ends a modal dialog with `result`.
    void endDialog(INT_PTR result);

    // Data exchange: saving copies the controls into the fields, otherwise the
    // fields are shown in the controls.
    void updateData(bool saving);

    HWND handle() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }

protected:
    // WM_INITDIALOG; by default shows the fields. True lets the dialog manager
    // set the focus.
    virtual bool onInit();
    // WM_COMMAND for a control or menu id; true when handled. Unhandled IDOK
    // and IDCANCEL go to onOK and onCancel.
    virtual bool onCommand(int id, int notification);
    // By default: the fields are read, and the dialog ends with IDOK.
    virtual void onOK();
    // By default: the dialog ends with IDCANCEL.
    virtual void onCancel();
    // WM_SYSCOMMAND; false leaves it to the default handling.
    virtual bool onSysCommand(WPARAM command);
    // Any other message; set *handled to answer it with the returned value.
    virtual INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled);
    // Binds controls to fields; see DataExchange.
    virtual void exchange(DataExchange& dx);

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE module() const { return module_ != nullptr ? module_ : resourceInstance(); }

    int templateId_;
    HINSTANCE module_ = nullptr;  // none: the program's resources
    HWND window_ = nullptr;
    bool modal_ = false;
};

// One direction of data exchange, handed to Dialog::exchange.
class DataExchange {
public:
    DataExchange(HWND dialog, bool saving) : dialog_(dialog), saving_(saving) {}
    bool saving() const { return saving_; }
    // A text field and an edit or static control.
    void text(int id, std::string& field);
    // The window of a control, e.g. a progress bar or list box.
    void control(int id, HWND& field);

private:
    HWND dialog_;
    bool saving_;
};

// The busy cursor: shown while at least one is begun; restore puts it back
// after a dialog has shown another cursor.
void beginWaitCursor();
void restoreWaitCursor();
void endWaitCursor();

// The busy cursor for the life of this object.
class WaitCursor {
public:
    WaitCursor() { beginWaitCursor(); }
    ~WaitCursor() { endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
