// The platform's folder dialog, as every program of the system shows it.
#pragma once

#include <windows.h>

#include <string>

// The folder the user picks in the platform's dialog, owned by `owner`, under
// `title`, opening on `start` when that is given; empty when the user
// cancels or picks no folder of the file system.
std::wstring pickFolder(HWND owner, const wchar_t* title, const std::wstring& start = std::wstring());

// The user's Documents folder; empty when the platform names none.
std::wstring documentsFolder();
