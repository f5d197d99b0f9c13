// Runs the installer's pages as a person would, for scripts/check-installer:
// waits for its window, leaves the folder page with "Avanti", prints the
// form of signature that the next page proposes ("proposta: " and its
// button's text) and saves that page as the screenshot
// installer-signature-form, picks the form whose button's text starts with
// FORM when given, presses "Installa", prints the text of the message box
// that follows (the outside components that are missing) and saves it as the
// screenshot installer-missing-components, then answers it and closes the
// installer with "Fine". Each step waits for the window's state, with a
// deadline; the program ends non-zero when one is missed.
//   drive_installer [FORM]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// The visible radio buttons within the installer's window, in their order.
std::vector<HWND> radioButtons(HWND installer) {
    std::vector<HWND> found;
    EnumChildWindows(
        installer,
        [](HWND window, LPARAM data) -> BOOL CALLBACK {
            char name[32] = "";
            GetClassNameA(window, name, sizeof name);
            const LONG style = GetWindowLongA(window, GWL_STYLE);
            if (_stricmp(name, "Button") == 0 && (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON && IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool checked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

int main(int argc, char** argv) {
    const std::string form = argc > 1 ? argv[1] : "";
    HWND installer = nullptr;
    ui::waitFor("the installer's window", [&] { return (installer = windowCaptioned("Quill")) != nullptr; }, 60000);
    if (installer == nullptr) return std::fprintf(stderr, "drive_installer: no installer window\n"), 1;
    if (!ui::waitFor("the folder page's \"Avanti >\"", [&] { return buttonReady(installer, "Avanti >"); }, 60000)) {
        return 1;
    }
    PostMessageA(installer, WM_COMMAND, IDOK, 0);

    // The page of the form of signature: two choices, one of them proposed.
    std::vector<HWND> choices;
    if (!ui::waitFor("the page of the form of signature", [&] {
            choices = radioButtons(installer);
            return choices.size() == 2 && buttonReady(installer, "Installa");
        }, 60000)) {
        return 1;
    }
    const auto proposed = std::find_if(choices.begin(), choices.end(), checked);
    std::printf("proposta: %s\n",
                proposed == choices.end() ? "nessuna" : utf8FromAnsi(ui::remoteText(*proposed)).c_str());
    ui::saveScreenshot(installer, "installer-signature-form");
    if (!form.empty()) {
        const auto chosen = std::find_if(choices.begin(), choices.end(),
                                         [&](HWND button) { return ui::remoteText(button).rfind(form, 0) == 0; });
        if (chosen == choices.end()) return std::fprintf(stderr, "drive_installer: no choice \"%s\"\n", form.c_str()), 1;
        PostMessageA(*chosen, BM_CLICK, 0, 0);
        if (!ui::waitFor("the choice \"" + form + "\" to be checked", [&] { return checked(*chosen); })) return 1;
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
