// Test support: drives real windows from a helper thread, as a person would
// (typing into a field, pressing buttons and keys), and saves screenshots.
//
// Windows are driven by their state, never by pauses: every wait has a
// deadline, and a wait that reaches it reports what it waited for to the
// timeout handler before it returns false (or null). The default handler
// prints that on stderr and leaves the rest to the caller; the test programs
// install one that fails the test at once (tests/support/window_test_main.cpp).
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ui {

using TimeoutHandler = void (*)(const std::string& what, int timeoutMs);
void setTimeoutHandler(TimeoutHandler handler);

// True when `condition` holds within `timeoutMs`, looked at every 20 ms;
// `what` says what is waited for, as the timeout report shows it.
bool waitFor(const std::string& what, const std::function<bool()>& condition, int timeoutMs = 20000);

// The visible top-level window with this caption, waited for; null when none appears.
HWND waitForWindow(const char* caption, int timeoutMs = 20000);

// True when the window is gone within `timeoutMs`.
bool waitUntilGone(HWND window, int timeoutMs = 20000);

// True when the window is still there after `milliseconds`: for a check that
// something leaves it open. Never reports a timeout.
bool stillOpenAfter(HWND window, int milliseconds);

// True when neither the window nor any of its controls has anything left to
// paint within `timeoutMs`.
bool waitUntilPainted(HWND window, int timeoutMs = 10000);

// The texts of a list box's entries, in its order.
std::vector<std::string> listBoxEntries(HWND list);

// Types the characters into a control, one WM_CHAR each.
void type(HWND control, const std::string& text);
// A key pressed and released on the control with the focus in `dialog`.
void pressKey(HWND dialog, UINT virtualKey);
// A click on the dialog's button with this id; it is handled later, so a
// button that opens a modal window can be clicked.
void click(HWND dialog, int buttonId);
// A click that returns once the dialog has handled it (false, reported, when
// that takes longer than `timeoutMs`).
bool clickAndWait(HWND dialog, int buttonId, int timeoutMs = 20000);
// The close box of the window's caption.
void pressCloseBox(HWND window);

// Picks files in the multi-selection open-file dialog as a person types
// them, in this process's dialog or another's: the folder first (the dialog
// then shows it), then one name or several in quotes. True once the dialog
// has closed with them.
bool pickFiles(HWND dialog, const std::string& folder, const std::string& names);

// Picks a folder in the platform's folder dialog (SHBrowseForFolder), in this
// process's dialog or another's: selects it in the dialog's tree through the
// dialog's own message for that, then presses OK. True once the dialog has
// closed.
bool pickFolder(HWND dialog, const std::string& folder);

std::string text(HWND control);
// A control's text in another process (where GetWindowText does not ask it).
std::string remoteText(HWND control);
// The first visible top-level window of a process; null when it has none.
HWND visibleWindowOf(DWORD processId);

// Lets a window of this thread paint: processes the pending messages.
void pumpMessages(int milliseconds = 200);

// Saves what the window shows, once it has painted, into
// build/screenshots/<build>/<name>.bmp (the test script turns them into PNG
// files). False when it cannot be captured.
bool saveScreenshot(HWND window, const std::string& name);

// Runs `drive` on a helper thread each time a window with `caption` appears,
// and waits for that window to close before looking for the next one, until
// destroyed; counts the windows it drove.
class WindowWatcher {
public:
    WindowWatcher(const char* caption, std::function<void(HWND)> drive);
    ~WindowWatcher();
    int driven() const { return driven_; }

private:
    std::string caption_;
    std::function<void(HWND)> drive_;
    std::atomic<bool> stop_{false};
    std::atomic<int> driven_{0};
    std::thread thread_;
};

}  // namespace ui
