// Opens one SignedFile in quillcheck.exe as the desktop does, for
// scripts/demo: prints the summary line and the path the window shows, saves
// a screenshot of the window as build/screenshots/<build>/demo-quillcheck,
// and leaves it with "Esci".
//   show_in_quillcheck <quillcheck.exe> <file.p7m>
#include <windows.h>

#include <cstdio>
#include <string>

#include "console_text.h"
#include "ui_driver.h"

namespace {

constexpr int SUMMARY = 1004, SIGNED_PATH = 1006;

int fail(const char* what) {
    std::fprintf(stderr, "show_in_quillcheck: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: show_in_quillcheck <quillcheck.exe> <file.p7m>\n");
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
    ui::waitFor([&] { return (window = ui::visibleWindowOf(process.dwProcessId)) != nullptr; }, 30000);
    if (window == nullptr) return fail("no window");
    ui::waitFor([&] { return ui::remoteText(GetDlgItem(window, SUMMARY)) != "Static"; }, 10000);
    Sleep(500);
    std::printf("%s\n%s\n", utf8(ui::remoteText(GetDlgItem(window, SIGNED_PATH))).c_str(),
                utf8(ui::remoteText(GetDlgItem(window, SUMMARY))).c_str());
    ui::saveScreenshot(window, "demo-quillcheck");
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) return fail("quillcheck.exe did not end");
    return 0;
}
