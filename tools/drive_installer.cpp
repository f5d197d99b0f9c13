// Runs the installer's pages as a person would, for scripts/check-installer:
// waits for its window, presses "Installa", prints the text of the message box
// that follows (the outside components that are missing) and saves it as the
// screenshot installer-missing-components, then answers it and closes the
// installer. Ends non-zero when no message box came.
//   drive_installer
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "console_text.h"
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

}  // namespace

int main() {
    HWND installer = nullptr;
    ui::waitFor([&] { return (installer = windowCaptioned("Quill")) != nullptr; }, 60000);
    if (installer == nullptr) return std::fprintf(stderr, "drive_installer: no installer window\n"), 1;
    Sleep(1000);
    PostMessageA(installer, WM_COMMAND, IDOK, 0);  // "Installa"
    HWND box = nullptr;
    ui::waitFor([&] {
        box = windowCaptioned("Quill", installer);
        return box != nullptr && GetDlgItem(box, 0xFFFF) != nullptr;
    }, 60000);
    if (box == nullptr) return std::fprintf(stderr, "drive_installer: no message\n"), 1;
    Sleep(500);
    std::printf("%s\n", utf8(ui::remoteText(GetDlgItem(box, 0xFFFF))).c_str());
    ui::saveScreenshot(box, "installer-missing-components");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(1000);
    PostMessageA(installer, WM_COMMAND, IDOK, 0);  // "Chiudi"
    return 0;
}
