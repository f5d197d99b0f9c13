// Drives quillet.exe as a person would, for scripts/demo: attaches the files
// one by one through the open-file dialog, types the message text and the
// reply-to address, presses "Firma File", answers the PIN prompt, waits for
// the mail to reach the stand-in's outbox, and leaves with "Esci". Screenshots
// of the windows go to build/screenshots/<build>/demo-*.
//   drive_quillet <quillet.exe> <pin> <message text> <reply-to> <outbox> <file>...
#include <windows.h>

#include <cstdio>
#include <string>

#include "quillet_resource.h"
#include "ui_driver.h"

namespace {

const char MAIN_CAPTION[] = "Quillet Comune di Valdora";

bool listHas(HWND window, int count) {
    return ui::waitFor("the attachment list to hold " + std::to_string(count) + " entries",
                       [&] { return SendMessageA(GetDlgItem(window, IDC_ATTACHMENTS), LB_GETCOUNT, 0, 0) == count; },
                       30000);
}

int fail(const char* what) {
    std::fprintf(stderr, "drive_quillet: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: drive_quillet <quillet.exe> <pin> <message text> <reply-to> <outbox> <file>...\n");
        return 2;
    }
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "drive_quillet: %s does not start (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    HWND window = ui::waitForWindow(MAIN_CAPTION, 30000);
    if (window == nullptr) return fail("no main window");

    for (int i = 6; i < argc; ++i) {  // one file at a time: its folder, then its name
        const std::string path = argv[i];
        const size_t slash = path.find_last_of('\\');
        ui::click(window, IDC_ATTACH);
        HWND open = ui::waitForWindow("Open");
        if (open == nullptr) return fail("no open-file dialog");
        if (i == 6) ui::saveScreenshot(open, "demo-open-file");
        if (!ui::pickFiles(open, path.substr(0, slash), path.substr(slash + 1))) return fail("no file was picked");
        if (!listHas(window, i - 5)) return fail("the file was not attached");
    }
    ui::type(GetDlgItem(window, IDC_MESSAGE_TEXT), argv[3]);
    ui::type(GetDlgItem(window, IDC_REPLY_TO), argv[4]);
    ui::saveScreenshot(window, "demo-main-window");

    ui::click(window, IDC_SIGN);
    HWND prompt = ui::waitForWindow("Verifica PIN Quillet", 30000);
    if (prompt == nullptr) return fail("no PIN prompt");
    ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), argv[2]);
    ui::saveScreenshot(FindWindowA(nullptr, "Firma in corso..."), "demo-progress");
    ui::click(prompt, IDC_PIN_OK);
    const std::string record = std::string(argv[5]) + "\\message-1.txt";
    if (!ui::waitFor("the mail to reach the outbox",
                     [&] { return GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000)) {
        return fail("no mail reached the outbox");
    }
    if (!listHas(window, 0)) return fail("the form was not emptied");
    ui::saveScreenshot(window, "demo-after-run");
    ui::click(window, IDC_EXIT);
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("quillet.exe ran: the mail is in %s\n", argv[5]);
    return 0;
}
