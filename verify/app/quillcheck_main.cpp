// quillcheck.exe: the verification program, started on one SignedFile, on a
// folder, from the Start menu's entry (/cartella: a folder picked first), or
// scheduled (/rapporto: no window at all). Every failure of the start-up ends
// the program after its message (a scheduled run's: one line and exit code
// 2); otherwise the one window runs modally and the program ends when it
// closes.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "accepted_cas.h"
#include "ansi_text.h"
#include "dialog.h"
#include "file_tools.h"
#include "folder_dlg.h"
#include "folder_picker.h"
#include "folder_rules.h"
#include "message_box.h"
#include "message_format.h"
#include "quillcheck_messages.h"
#include "quillcheck_resource.h"
#include "signed_file_record.h"
#include "signers_dlg.h"
#include "list_trust.h"
#include "temp_paths.h"
#include "trusted_list_source.h"
#include "viewer_rules.h"

namespace {

// The arguments after the program's name, as the platform splits them, in UTF-8.
std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(utf8Text(split[i]));
    LocalFree(split);
    return arguments;
}

// A line with /rapporto anywhere is a scheduled run, whatever else it holds:
// the folder form's own rule says so even for a line it refuses.
bool isScheduledLine(const std::vector<std::string>& arguments) {
    FolderCommand command;
    std::string error;
    parseFolderCommand(arguments, &command, &error);
    return command.scheduled;
}

// A message as one line of a log: its line breaks become one space.
std::wstring oneLine(const std::wstring& text) {
    std::wstring line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') {
            line += text[i];
            continue;
        }
        while (!line.empty() && line.back() == L' ') line.pop_back();
        while (i + 1 < text.size() && (text[i + 1] == L'\r' || text[i + 1] == L'\n' || text[i + 1] == L' ')) ++i;
        line += L' ';
    }
    return line;
}

// One line for whoever started a run with no window: on its standard error,
// or the console it was started from. A console is written in UTF-16, which
// it shows whatever its code page; anything else (a file, a pipe) gets
// UTF-8, so that a path with characters of no code page stays whole.
void writeScheduledLine(const std::wstring& line) {
    HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
    bool own = false;
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        // Read access too: the console mode is asked below.
        out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
        own = true;
    }
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    const std::wstring text = L"quillcheck: " + oneLine(line) + L"\r\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        const std::string bytes = utf8Text(text);
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    if (own) CloseHandle(out);
}

// The end of a run with no window: its line, and the exit code.
[[noreturn]] void endScheduledRun(int exitCode, const std::wstring& line) {
    writeScheduledLine(line);
    std::exit(exitCode);
}

// A scheduled run shows no box: a message that would need one ends the run
// as failed, with the message, as the box would have shown it, for its line.
int endInsteadOfBox(void*, HWND, const char* text, const char*, UINT) {
    endScheduledRun(FOLDER_EXIT_RUN_FAILED, wideText(text != nullptr ? text : ""));
}

// Nor does a fault: no report of the platform's or the runtime's waits for
// somebody to close it. The state is not to be trusted: the process ends at
// once, without its exit handlers.
LONG WINAPI endScheduledRunOnFault(EXCEPTION_POINTERS*) {
    writeScheduledLine(wideText(quillcheck_messages::INTERNAL_ERROR));
    TerminateProcess(GetCurrentProcess(), FOLDER_EXIT_RUN_FAILED);
    return EXCEPTION_EXECUTE_HANDLER;
}

void keepScheduledRunWithoutBoxes() {
    setMessageBoxHandler(&endInsteadOfBox, nullptr);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    _set_error_mode(_OUT_TO_STDERR);
    SetUnhandledExceptionFilter(&endScheduledRunOnFault);
}

// The application's data for the whole run.
struct CVerifierApp {
    SignedFileRecord record;
    FileTools tools;
    AcceptedCaTable acceptedCas;
    std::unique_ptr<ListTrust> trust;

    // Who vouches for signers: the accepted authorities, and the trusted
    // list as `fetch` finds it.
    const CertificateTrust& trustWith(ListFetch fetch) {
        trust = std::make_unique<ListTrust>(acceptedCas, programListStore().current(fetch));
        return *trust;
    }

    // The accepted authorities: the program's "CER" resources 140 to 146.
    void loadAcceptedCas(HINSTANCE instance) {
        acceptedCas = AcceptedCaTable();
        for (int k = 0; k < ACCEPTED_CA_COUNT; ++k) {
            HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_FIRST_ACCEPTED_CA + k), "CER");
            HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
            const void* bytes = loaded ? LockResource(loaded) : nullptr;
            if (bytes) acceptedCas.set(k, static_cast<const uint8_t*>(bytes), SizeofResource(instance, found));
        }
    }

    // The start-up: returns false, and the program ends when the window has closed.
    bool initInstance(HINSTANCE instance, const char* arguments, const std::vector<std::string>& split,
                      bool scheduled) {
        loadAcceptedCas(instance);
        // The scheduled form goes first: nothing else of the line may lead to a window.
        if (scheduled) runScheduled(split);
        for (const std::string& a : split) {
            if (isSwitch(a, "/cartella")) {
                pickFolderAndCheck(split, a);
                return false;
            }
        }
        if (arguments != nullptr && arguments[0] != '\0') {
            // A file keeps its own start-up; a folder is verified whole.
            const DWORD attributes = GetFileAttributesA(pathFromCommandLine(arguments).c_str());
            const bool file = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
            if (!file && startFolderCheck(split)) return false;
        }
        if (arguments == nullptr || arguments[0] == '\0') {
            showMessageBox(nullptr, quillcheck_messages::NO_FILE_GIVEN, "Attenzione", MB_ICONEXCLAMATION);
            std::exit(0);
        }
        const std::string path = pathFromCommandLine(arguments);
        char longPath[MAX_PATH * 4];
        if (!resolveLongPath(path.c_str(), longPath, sizeof longPath)) endOnDiskError();
        record.signedPath = longPath;
        if (!isSignedFileName(record.signedPath.c_str())) {
            showMessageBox(nullptr, quillcheck_messages::NOT_A_SIGNED_FILE, "Attenzione!", MB_ICONSTOP);
            std::exit(0);
        }
        // The window's own folder: another window on a file of the same name
        // shows and deletes only its own content. It goes on every way out.
        if (!prepareWorkFolder(&record)) {
            removeWorkFolder(record);
            endOnDiskError();
        }
        CSignersDlg dialog(&tools, &record, &trustWith(ListFetch::Local));
        dialog.runModal(nullptr);
        removeWorkFolder(record);
        return false;
    }

    // quillcheck /rapporto ...: no window; the exit code and one line tell the result.
    [[noreturn]] void runScheduled(const std::vector<std::string>& arguments) {
        FolderCommand command;
        std::string error;
        if (!parseFolderCommand(arguments, &command, &error)) {
            endScheduledRun(FOLDER_EXIT_RUN_FAILED, wideFromUtf8(error));
        }
        FolderCheckOptions options;
        options.source = wideFromUtf8(command.source);
        options.output = wideFromUtf8(command.output);
        options.revocation = command.revocation;
        FolderCheckResult result;
        try {
            result = runFolderCheck(options, trustWith(ListFetch::Refreshed), nullptr);
        } catch (...) {
            result.exitCode = FOLDER_EXIT_RUN_FAILED;
            result.error = quillcheck_messages::FOLDER_OUT_OF_MEMORY;
        }
        endScheduledRun(result.exitCode, result.exitCode == FOLDER_EXIT_RUN_FAILED
                                             ? wideFromUtf8(utf8FromProgramText(result.error))
                                             : result.reportPage);
    }

    // The Start menu's entry (quillcheck /cartella): the clerk picks the
    // folder in the platform's folder dialog, and its window opens on it;
    // cancelled, the program ends. The switch stands alone.
    void pickFolderAndCheck(const std::vector<std::string>& arguments, const std::string& pickSwitch) {
        if (arguments.size() != 1) {
            const std::string error = formatMessage(quillcheck_messages::COMMAND_UNKNOWN_OPTION, pickSwitch.c_str());
            showMessageBox(nullptr, ansiText(wideFromUtf8(error).c_str(), -1).c_str(), "Attenzione",
                           MB_ICONEXCLAMATION);
            return;
        }
        const std::wstring source = pickFolder(nullptr, L"Cartella da verificare");
        if (!source.empty()) {
            CFolderDlg dialog(source, std::wstring(), false, &trustWith(ListFetch::Local));
            dialog.runModal(nullptr);
        }
    }

    // The folder's window: the whole text naming a folder (one dropped on
    // the program), or the switches. False when the line is of neither form.
    bool startFolderCheck(const std::vector<std::string>& arguments) {
        const std::wstring whole = wideFromUtf8(pathFromCommandLine(utf8Text(argumentsText())));
        const DWORD attributes = GetFileAttributesW(whole.c_str());
        FolderCommand command;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            command.source = utf8Text(whole);
        } else if (isFolderCommand(arguments)) {
            std::string error;
            if (!parseFolderCommand(arguments, &command, &error)) {
                showMessageBox(nullptr, ansiText(wideFromUtf8(error).c_str(), -1).c_str(), "Attenzione",
                               MB_ICONEXCLAMATION);
                return true;
            }
        } else {
            return false;
        }
        CFolderDlg dialog(wideFromUtf8(command.source), wideFromUtf8(command.output), command.revocation,
                          &trustWith(ListFetch::Local));
        dialog.runModal(nullptr);
        return true;
    }

    // The command line after the program's name.
    static std::wstring argumentsText() {
        const wchar_t* line = GetCommandLineW();
        if (*line == L'"') {
            for (++line; *line && *line != L'"'; ++line) {}
            if (*line) ++line;
        } else {
            while (*line && *line != L' ' && *line != L'\t') ++line;
        }
        while (*line == L' ' || *line == L'\t') ++line;
        return line;
    }
};

// The desktop starts the program in the SignedFile's folder, where anybody
// who sent the file may have put a DLL beside it: the current folder leaves
// the DLL search (the program's own folder and the system's stay).
void keepCurrentFolderOutOfDllSearch() {
    SetDllDirectoryA("");
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    const FARPROC entry = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    const auto setDefault = reinterpret_cast<SetDefaultDirectories>(reinterpret_cast<void (*)()>(entry));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    keepCurrentFolderOutOfDllSearch();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    setResourceInstance(instance);
    setProgramName("Quillcheck");
    const std::vector<std::string> split = commandLineArguments();
    const bool scheduled = isScheduledLine(split);
    if (scheduled) keepScheduledRunWithoutBoxes();
    // A window's run finds its trusted list meanwhile (a scheduled run has no use for it yet).
    if (!scheduled) refreshProgramListInBackground();
    auto app = std::make_unique<CVerifierApp>();
    app->initInstance(instance, arguments, split, scheduled);
    return 0;
}
