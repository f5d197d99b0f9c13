// quillcheck.exe's window as a person sees it, for scripts: prints the path
// and the summary line it shows, saves a screenshot of it into
// build/screenshots/<build>/ and leaves it with "Esci".
//   show_in_quillcheck <quillcheck.exe> <file.p7m> [--revocation <name>]
//       starts the program on the file (scripts/demo: demo-quillcheck); with
//       --revocation selects the first signer, presses "Verifica Revoca
//       Certificato", prints the text of the box that answers (its lines
//       after a line "--") and saves it as revocation-<name>
//       (scripts/check-revocation)
//   show_in_quillcheck --running [--view-file | --keep-open]
//       takes the window the desktop opened (installed-outer); with
//       --view-file presses "Visualizza File" first and reports the second
//       window that opens (installed-inner); with --keep-open reports the
//       window (installed-running) and leaves it open (scripts/check-installer)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ansi_text.h"
#include "ui_driver.h"

namespace {

constexpr int VIEW_FILE = 1000, SUMMARY = 1004, SIGNED_PATH = 1006, SIGNERS = 1007, CHECK_REVOCATION = 1010;
constexpr int BOX_TEXT = 0xFFFF;  // the static control of a message box's text
const char CAPTION[] = "Quillcheck";

int fail(const char* what) {
    std::fprintf(stderr, "show_in_quillcheck: %s\n", what);
    return 1;
}

// Waits until the window is filled, prints what it shows and saves it as
// `screenshot` (when given).
void report(HWND window, const char* screenshot) {
    ui::waitFor("the summary line to be filled", [&] { return ui::remoteText(GetDlgItem(window, SUMMARY)) != "Static"; });
    std::printf("%s\n%s\n", utf8FromAnsi(ui::remoteText(GetDlgItem(window, SIGNED_PATH))).c_str(),
                utf8FromAnsi(ui::remoteText(GetDlgItem(window, SUMMARY))).c_str());
    std::fflush(stdout);
    if (screenshot != nullptr) ui::saveScreenshot(window, screenshot);
}

// A window captioned "Quillcheck" other than `other`.
HWND quillcheckWindowBesides(HWND other) {
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, CAPTION); w; w = FindWindowExA(nullptr, w, nullptr, CAPTION)) {
        if (w != other && IsWindowVisible(w) && GetDlgItem(w, SIGNED_PATH) != nullptr) return w;
    }
    return nullptr;
}

int running(bool viewFile, bool keepOpen) {
    HWND outer = nullptr;
    ui::waitFor("a quillcheck window", [&] { return (outer = quillcheckWindowBesides(nullptr)) != nullptr; }, 60000);
    if (outer == nullptr) return fail("no quillcheck window");
    report(outer, keepOpen ? "installed-running" : "installed-outer");
    if (keepOpen) return 0;
    if (viewFile) {
        PostMessageA(GetDlgItem(outer, VIEW_FILE), BM_CLICK, 0, 0);
        HWND inner = nullptr;
        ui::waitFor("a second quillcheck window", [&] { return (inner = quillcheckWindowBesides(outer)) != nullptr; },
                    60000);
        if (inner == nullptr) return fail("the content opened no second window");
        report(inner, "installed-inner");
        PostMessageA(inner, WM_COMMAND, IDOK, 0);
        ui::waitUntilGone(inner, 10000);
    }
    PostMessageA(outer, WM_COMMAND, IDOK, 0);
    return ui::waitUntilGone(outer, 10000) ? 0 : fail("the window did not close");
}

// A visible message box of the process: a window with a box's text control.
struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK takeMessageBox(HWND w, LPARAM data) {
    auto* search = reinterpret_cast<BoxSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner != search->processId || !IsWindowVisible(w) || GetDlgItem(w, BOX_TEXT) == nullptr) return TRUE;
    search->found = w;
    return FALSE;
}

HWND messageBoxOf(DWORD processId) {
    BoxSearch search{processId, nullptr};
    EnumWindows(&takeMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The revocation check of the first signer, as a person asks for it: the
// list's first row selected by the keyboard, the button, the box that
// answers. Returns false when no box came.
bool checkRevocation(HWND window, DWORD processId, const std::string& name) {
    HWND list = GetDlgItem(window, SIGNERS);
    PostMessageA(list, WM_KEYDOWN, VK_HOME, 0);
    PostMessageA(list, WM_KEYUP, VK_HOME, 0);
    ui::waitFor("the first signer selected", [&] { return ListView_GetNextItem(list, -1, LVNI_SELECTED) == 0; });
    PostMessageA(GetDlgItem(window, CHECK_REVOCATION), BM_CLICK, 0, 0);
    HWND box = nullptr;
    ui::waitFor("the revocation box", [&] { return (box = messageBoxOf(processId)) != nullptr; }, 90000);
    if (box == nullptr) return false;
    ui::waitUntilPainted(box);
    std::printf("--\n%s\n", utf8FromAnsi(ui::remoteText(GetDlgItem(box, BOX_TEXT))).c_str());
    std::fflush(stdout);
    ui::saveScreenshot(box, "revocation-" + name);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return ui::waitUntilGone(box, 10000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--running") == 0) {
        return running(argc == 3 && std::strcmp(argv[2], "--view-file") == 0,
                       argc == 3 && std::strcmp(argv[2], "--keep-open") == 0);
    }
    const bool revocation = argc == 5 && std::strcmp(argv[3], "--revocation") == 0;
    if (argc != 3 && !revocation) {
        std::fprintf(stderr, "usage: show_in_quillcheck <quillcheck.exe> <file.p7m> [--revocation <name>]\n"
                             "       show_in_quillcheck --running [--view-file | --keep-open]\n");
        return 2;
    }
    std::string commandLine = std::string("\"") + argv[1] + "\" \"" + argv[2] + "\"";
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process)) {
        return fail("quillcheck.exe does not start");
    }
    HWND window = nullptr;
    ui::waitFor("the window of quillcheck.exe",
                [&] { return (window = ui::visibleWindowOf(process.dwProcessId)) != nullptr; }, 30000);
    if (window == nullptr) return fail("no window");
    report(window, revocation ? nullptr : "demo-quillcheck");
    if (revocation && !checkRevocation(window, process.dwProcessId, argv[4])) {
        TerminateProcess(process.hProcess, 1);
        return fail("no revocation box");
    }
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) return fail("quillcheck.exe did not end");
    return 0;
}
