// quillcheck.exe: the verification program, started on one SignedFile. Every
// failure of the start-up ends the program after its message; otherwise the
// one window runs modally and the program ends when it closes.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "accepted_cas.h"
#include "ansi_text.h"
#include "dialog.h"
#include "file_tools.h"
#include "folder_dlg.h"
#include "folder_rules.h"
#include "message_box.h"
#include "quillcheck_messages.h"
#include "quillcheck_resource.h"
#include "signed_file_record.h"
#include "signers_dlg.h"
#include "temp_paths.h"
#include "viewer_rules.h"

namespace {

// The application's data for the whole run.
struct CVerifierApp {
    SignedFileRecord record;
    FileTools tools;
    AcceptedCaTable acceptedCas;

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
    bool initInstance(HINSTANCE instance, const char* arguments) {
        loadAcceptedCas(instance);
        if (arguments != nullptr && arguments[0] != '\0') {
            // A file keeps its own start-up; a folder is verified whole.
            const DWORD attributes = GetFileAttributesA(pathFromCommandLine(arguments).c_str());
            const bool file = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
            if (!file && startFolderCheck()) return false;
        }
        if (arguments == nullptr || arguments[0] == '\0') {
            showMessageBox(nullptr, quillcheck_messages::NO_FILE_GIVEN, "Attenzione", MB_ICONEXCLAMATION);
            std::exit(0);
        }
        const std::string path = pathFromCommandLine(arguments);
        char longPath[MAX_PATH * 4];
        if (!resolveLongPath(path.c_str(), longPath, sizeof longPath)) endOnDiskError();
        record.signedPath = longPath;
        // The window's own folder: another window on a file of the same name
        // shows and deletes only its own content.
        if (!prepareWorkFolder(&record)) endOnDiskError();
        if (!isSignedFileName(record.signedPath.c_str())) {
            showMessageBox(nullptr, quillcheck_messages::NOT_A_SIGNED_FILE, "Attenzione!", MB_ICONSTOP);
            std::exit(0);
        }
        CSignersDlg dialog(&tools, &record, &acceptedCas);
        dialog.runModal(nullptr);
        return false;
    }

    // The folder forms of the command line: the whole text naming a folder
    // (one dropped on the program), or the switches. False when the line is
    // of neither form.
    bool startFolderCheck() {
        const std::vector<std::string> arguments = commandLineArguments();
        const std::wstring whole = wideFromUtf8(pathFromCommandLine(utf8Text(argumentsText())));
        const DWORD attributes = GetFileAttributesW(whole.c_str());
        FolderCommand command;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            command.source = utf8Text(whole);
        } else if (isFolderCommand(arguments)) {
            std::string error;
            if (!parseFolderCommand(arguments, &command, &error)) {
                const std::string text = ansiText(wideFromUtf8(error).c_str(), -1);
                if (command.scheduled) endScheduledRun(FOLDER_EXIT_RUN_FAILED, text);
                showMessageBox(nullptr, text.c_str(), "Attenzione", MB_ICONEXCLAMATION);
                return true;
            }
        } else {
            return false;
        }
        FolderCheckOptions options;
        options.source = wideFromUtf8(command.source);
        options.output = wideFromUtf8(command.output);
        options.revocation = command.revocation;
        if (command.scheduled) {
            const FolderCheckResult result = runFolderCheck(options, acceptedCas, nullptr);
            endScheduledRun(result.exitCode, result.exitCode == FOLDER_EXIT_RUN_FAILED
                                                 ? result.error
                                                 : ansiText(result.reportPage.c_str(), -1));
        }
        CFolderDlg dialog(options.source, options.output, options.revocation, &acceptedCas);
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

    // The arguments after the program's name, as the platform splits them, in UTF-8.
    static std::vector<std::string> commandLineArguments() {
        std::vector<std::string> arguments;
        int count = 0;
        LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
        if (split == nullptr) return arguments;
        for (int i = 1; i < count; ++i) arguments.push_back(utf8Text(split[i]));
        LocalFree(split);
        return arguments;
    }

    // The end of a run with no window: one line for whoever started it (its
    // standard error, or the console it was started from), and the exit code.
    [[noreturn]] static void endScheduledRun(int exitCode, const std::string& line) {
        HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
        bool own = false;
        if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
            out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            own = true;
        }
        if (out != nullptr && out != INVALID_HANDLE_VALUE) {
            const std::string text = "quillcheck: " + line + "\r\n";
            DWORD written = 0;
            WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            if (own) CloseHandle(out);
        }
        std::exit(exitCode);
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
    auto app = std::make_unique<CVerifierApp>();
    app->initInstance(instance, arguments);
    return 0;
}
