// Whole-file reading and writing for the programs' own files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

struct FileContent {
    std::unique_ptr<uint8_t[]> data;  // not zero-filled: every byte is read
    uint32_t size = 0;
};

enum class ReadResult { Ok, NotOpenable, TooLarge };

// Reads a file whole into memory, sharing it with programs that hold it open
// for reading or writing (as the C runtime's "rb" does). Files of 4 GiB and more are TooLarge; a
// block that cannot be had throws std::bad_alloc.
ReadResult readFileContent(const char* path, FileContent* content);
ReadResult readFileContent(const wchar_t* path, FileContent* content);

// True when `path` can be opened for reading.
bool canOpenForReading(const char* path);

// Creates (or truncates) the file and writes the bytes. Returns 0, or the
// platform's last-error value when it cannot be created or written whole.
DWORD writeFileContent(const char* path, const uint8_t* data, uint32_t size);

// Writes a new file (created or truncated) from blocks handed in order.
class FileWriter {
public:
    explicit FileWriter(const char* path);
    // A file the caller has opened for writing; the writer closes it.
    explicit FileWriter(HANDLE file);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // The file could be created.
    bool isOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    // Appends the bytes; false once anything has failed.
    bool write(const uint8_t* data, size_t size);
    // Closes the file. Returns 0, or the platform's last-error value of the
    // first failure (creating or writing).
    DWORD finish();

private:
    HANDLE file_;
    DWORD error_ = 0;
};

// The stream in which the desktop marks a file with the zone it came from.
constexpr wchar_t ZONE_STREAM[] = L":Zone.Identifier";

// Gives `to` the zone mark of `from` (its Zone.Identifier stream), when it has
// one, so that programs open `to` as they would open `from`: a document from
// the Internet in protected view.
void copyZoneMark(const std::wstring& from, const std::wstring& to);

// A program of the system folder by its full path, so that a program of the
// same name in the current folder (the SignedFile's, when the desktop opened
// it) is never the one that runs.
std::string systemProgramPath(const char* name);

// True when the desktop would run or install the file rather than show it:
// by the names runsWhenOpened knows, or by the platform's own judgement.
bool desktopWouldRun(const std::string& path);
