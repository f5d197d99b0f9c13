// The verification of a whole folder: every SignedFile in it and its
// subfolders is loaded as the verification program loads one, layer by layer
// when SignedFiles are nested; the innermost content of each is written to
// the output folder's contents, in the subfolder the SignedFile has in the
// source. The output folder also gets the report (an HTML page and a CSV
// file), with a row for every other file too, which is not verified. The
// source folder is only read.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "certificate_trust.h"
#include "folder_rules.h"

// The report's and the contents' places in the output folder.
constexpr wchar_t REPORT_PAGE_NAME[] = L"rapporto.html";
constexpr wchar_t REPORT_CSV_NAME[] = L"rapporto.csv";
constexpr wchar_t CONTENTS_FOLDER_NAME[] = L"contenuti";
// Layers of SignedFiles nested deeper than this are not verified, and the
// file is not verifiable.
constexpr int MAX_LAYERS = 32;

struct FolderCheckOptions {
    std::wstring source;
    std::wstring output;  // empty: a new folder beside the source (defaultOutputFolder)
    bool revocation = false;
};

// What the run tells while it goes, from its own thread.
class FolderCheckObserver {
public:
    virtual ~FolderCheckObserver() = default;
    // File `number` of `total` (from 1) is next; `relative` its path in the source folder.
    virtual void onFile(size_t number, size_t total, const std::wstring& relative) = 0;
    // Asked before each file: true ends the run there, with the report of the files done.
    virtual bool stopRequested() = 0;
};

struct FolderCheckResult {
    int exitCode = FOLDER_EXIT_RUN_FAILED;  // FOLDER_EXIT_*
    std::string error;                      // why the run failed, for the user (ANSI code page)
    std::wstring outputFolder, reportPage;
    size_t filesFound = 0;  // every file of the folder, SignedFile or not
    size_t counts[VERDICT_COUNT] = {};
    bool stopped = false;
};

// The name of a run's own output folder: after the source folder and the
// local date and time ("Disco C" for a drive's root).
std::wstring outputFolderNameFor(const std::wstring& source);

// The default output folder of `source`: beside it, named after it and the
// local date and time; in the user's documents when the source is a drive's
// root. Empty when `source` is no folder path.
std::wstring defaultOutputFolder(const std::wstring& source);

// Runs the whole check. The output folder must not be the source folder nor
// lie inside it, by whatever name either is given; it is made when missing,
// and when it already holds something the run's own folder
// (outputFolderNameFor) is made inside it. All valid only when there was
// something to verify and every file was found valid.
FolderCheckResult runFolderCheck(const FolderCheckOptions& options, const CertificateTrust& trust,
                                 FolderCheckObserver* observer);
