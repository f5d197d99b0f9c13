// Test support: drives real windows from a helper thread, as a person would
// (typing into a field, pressing buttons and keys), and saves screenshots.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ui {

// The top-level window with this caption, waited for up to `timeoutMs`; null
// when none appears.
HWND waitForWindow(const char* caption, int timeoutMs = 10000);

// True when the window is gone within `timeoutMs`.
bool waitUntilGone(HWND window, int timeoutMs = 5000);

// True when `condition` holds within `timeoutMs`, looked at every 50 ms.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000);

// The texts of a list box's entries, in its order.
std::vector<std::string> listBoxEntries(HWND list);

// Types the characters into a control, one WM_CHAR each.
void type(HWND control, const std::string& text);
// A key pressed and released on the control with the focus in `dialog`.
void pressKey(HWND dialog, UINT virtualKey);
// A click on the dialog's button with this id.
void click(HWND dialog, int buttonId);
// The close box of the window's caption.
void pressCloseBox(HWND window);

std::string text(HWND control);
// A control's text in another process (where GetWindowText does not ask it).
std::string remoteText(HWND control);
// The first visible top-level window of a process; null when it has none.
HWND visibleWindowOf(DWORD processId);

// Lets a window of this thread paint: processes the pending messages.
void pumpMessages(int milliseconds = 200);

// Saves what the window shows into build/screenshots/<name>.bmp (the test
// script turns them into PNG files). False when it cannot be captured.
bool saveScreenshot(HWND window, const std::string& name);

// Runs `drive` on a helper thread each time a window with `caption` appears,
// until destroyed; counts the windows it drove.
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
