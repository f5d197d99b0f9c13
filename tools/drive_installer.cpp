// Runs the installer's pages as a person would, for scripts/check-installer:
// waits for its window, presses "Installa", prints the text of the message box
// that follows (the outside components that are missing) and saves it as the
// screenshot installer-missing-components, then answers it and closes the
// installer with "Fine". Each step waits for the window's state, with a
// deadline; the program ends non-zero when one is missed.
//   drive_installer
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ansi_text.h"
#include "ui_driver.h"

namespace {

// A visible top-level window whose caption holds `part`, other than `other`.
HWND windowCaptioned(const char* part, HWND other = nullptr) {
    struct Search {
        const char* part;
        HWND other, found;
    } search{part, other, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL CALLBACK {
            auto* s = reinterpret_cast<Search*>(data);
            char caption[256] = "";
            GetWindowTextA(window, caption, sizeof caption);
            if (window == s->other || !IsWindowVisible(window) || std::strstr(caption, s->part) == nullptr) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The installer's own button, once it shows `text` and may be pressed (its
// text marks a key with "&" within: "Ins&talla").
bool buttonReady(HWND installer, const char* text) {
    HWND button = GetDlgItem(installer, IDOK);
    std::string shown = ui::remoteText(button);
    shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end());
    return IsWindowVisible(button) && IsWindowEnabled(button) && shown == text;
}

}  // namespace

int main() {
    HWND installer = nullptr;
    ui::waitFor("the installer's window", [&] { return (installer = windowCaptioned("Quill")) != nullptr; }, 60000);
    if (installer == nullptr) return std::fprintf(stderr, "drive_installer: no installer window\n"), 1;
    if (!ui::waitFor("the installer's \"Installa\"", [&] { return buttonReady(installer, "Installa"); }, 60000)) {
        return 1;
    }
    PostMessageA(installer, WM_COMMAND, IDOK, 0);
    HWND box = nullptr;
    ui::waitFor("the installer's message", [&] {
        box = windowCaptioned("Quill", installer);
        return box != nullptr && GetDlgItem(box, 0xFFFF) != nullptr;
    }, 60000);
    if (box == nullptr) return std::fprintf(stderr, "drive_installer: no message\n"), 1;
    std::printf("%s\n", utf8FromAnsi(ui::remoteText(GetDlgItem(box, 0xFFFF))).c_str());
    ui::saveScreenshot(box, "installer-missing-components");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (!ui::waitUntilGone(box) ||
        !ui::waitFor("the installer's \"Fine\"", [&] { return buttonReady(installer, "Fine"); }, 60000)) {
        return 1;
    }
    PostMessageA(installer, WM_COMMAND, IDOK, 0);
    return ui::waitUntilGone(installer, 60000) ? 0 : 1;
}
