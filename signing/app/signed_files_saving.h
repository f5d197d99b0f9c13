// Where the signed files go when no mail leaves: a folder the citizen picks,
// every file under its own name (numbered when the name is taken there), all
// or nothing; then the folder opens in the Explorer and a box says what to
// do next. Nothing that is in the folder is overwritten or changed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One file to save: where its bytes are, and the name it should have.
struct FileToSave {
    std::string path;
    std::string name;
};

// Saves `files` into `folder`: every file is first copied aside (a name of
// the folder's own making), then each is moved to the first free name among
// its own and numberedName's. Empty, with the names taken in `saved`; else
// why not, and then nothing this save wrote is left in the folder.
std::string saveFiles(const std::vector<FileToSave>& files, const std::wstring& folder,
                      std::vector<std::wstring>* saved);

// The folder the citizen picks for the signed files, in the platform's
// dialog opening on their Documents; empty when they cancel.
std::wstring pickSaveFolder(HWND owner);

// The files saved into `folder` (saveFiles), the folder opened in the
// system's Explorer and a box that names it, lists the files and says how to
// send them to the municipality; or, when the save failed, a box that says
// so. True when saved.
bool saveAndShow(const std::vector<FileToSave>& files, const std::wstring& folder);

// The system's Explorer opened on `folder` (by its full path, never one
// found along the search path); false when it did not start.
bool showFolderInExplorer(const std::wstring& folder);
