#include "folder_picker.h"

#include <ole2.h>
#include <shlobj.h>

namespace {

// Opens the dialog on the start folder once it is shown.
int CALLBACK selectStart(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start != 0) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

}  // namespace

std::wstring pickFolder(HWND owner, const wchar_t* title, const std::wstring& start) {
    // The dialog's new style needs OLE in this thread.
    const HRESULT ole = OleInitialize(nullptr);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = &selectStart;
    browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    std::wstring picked;
    if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse)) {
        wchar_t path[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(chosen, path)) picked = path;
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return picked;
}

std::wstring documentsFolder() {
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
    return path;
}
