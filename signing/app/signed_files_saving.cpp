#include "signed_files_saving.h"

#include <string>

#include "ansi_text.h"
#include "folder_picker.h"
#include "message_box.h"
#include "message_format.h"
#include "path_rules.h"
#include "quillet_messages.h"
#include "send_workflow.h"

namespace {

// How far the numbers of a taken name go before the save gives up.
constexpr int MAX_NUMBERED_NAMES = 9999;

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The platform's text for the last error, in the ANSI code page, without
// its line end.
std::string lastErrorText(DWORD error) {
    char text[512] = "";
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string said(text, length);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
    return said.empty() ? "errore " + std::to_string(error) : said;
}

// Removes what a failed save wrote: its copies aside and the files it moved
// into place; then says why it failed.
std::string undo(const std::vector<std::wstring>& written, DWORD error) {
    for (const std::wstring& path : written) DeleteFileW(path.c_str());
    return lastErrorText(error);
}

}  // namespace

std::string saveFiles(const std::vector<FileToSave>& files, const std::wstring& folder,
                      std::vector<std::wstring>* saved) {
    saved->clear();
    std::vector<std::wstring> aside, placed;
    const auto everything = [&] {
        std::vector<std::wstring> all = placed;
        all.insert(all.end(), aside.begin(), aside.end());
        return all;
    };
    // Every copy is written aside first: a failure part way leaves nothing
    // under a name the citizen would take for a file saved.
    for (const FileToSave& file : files) {
        wchar_t temporary[MAX_PATH];
        if (!GetTempFileNameW(folder.c_str(), L"qlt", 0, temporary)) return undo(everything(), GetLastError());
        aside.push_back(temporary);  // made empty by the call: ours from here
        if (!CopyFileW(wideText(file.path).c_str(), temporary, FALSE)) return undo(everything(), GetLastError());
    }
    for (size_t i = 0; i < files.size(); ++i) {
        // The first free name; a move never replaces what is there, so a
        // name taken in the meantime is passed over too.
        for (int n = 1;; ++n) {
            if (n > MAX_NUMBERED_NAMES) {
                saved->clear();
                return undo(everything(), ERROR_FILE_EXISTS);
            }
            const std::wstring name = wideText(n == 1 ? files[i].name : numberedName(files[i].name, n));
            const std::wstring target = folder + L"\\" + name;
            if (exists(target)) continue;
            if (MoveFileExW(aside[i].c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
                placed.push_back(target);
                aside[i].clear();
                saved->push_back(name);
                break;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
                saved->clear();
                return undo(everything(), error);
            }
        }
    }
    return "";
}

bool showFolderInExplorer(const std::wstring& folder) {
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring program = std::wstring(windows) + L"\\explorer.exe";
    std::wstring commandLine = L"\"" + program + L"\" \"" + folder + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::wstring pickSaveFolder(HWND owner) {
    return pickFolder(owner, wideText(quillet_messages::SAVE_FOLDER_TITLE).c_str(), documentsFolder());
}

bool saveAndShow(const std::vector<FileToSave>& files, const std::wstring& folder) {
    const std::string shownFolder = ansiText(folder.c_str(), -1);
    std::vector<std::wstring> saved;
    const std::string failure = saveFiles(files, folder, &saved);
    if (!failure.empty()) {
        showProgramMessage(formatMessage(quillet_messages::SAVE_FAILED, shownFolder.c_str(), failure.c_str()).c_str(),
                           MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    showFolderInExplorer(folder);
    std::string names;
    for (const std::wstring& name : saved) names += "    " + ansiText(name.c_str(), -1) + "\r\n";
    // The mailbox without its address type ("SMTP:").
    const std::string mailbox = std::string(MUNICIPAL_MAILBOX).substr(std::string(MUNICIPAL_MAILBOX).find(':') + 1);
    showProgramMessage(
        formatMessage(quillet_messages::SAVE_DONE, shownFolder.c_str(), names.c_str(), mailbox.c_str()).c_str(),
        MB_OK | MB_ICONINFORMATION);
    return true;
}
