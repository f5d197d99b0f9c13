// Whole-file reading and writing for the programs' own files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

struct FileContent {
    std::unique_ptr<uint8_t[]> data;  // not zero-filled: every byte is read
    uint32_t size = 0;
};

enum class ReadResult { Ok, NotOpenable, TooLarge };

// Reads a file whole into memory. Files of 4 GiB and more are TooLarge; a
// block that cannot be had throws std::bad_alloc.
ReadResult readFileContent(const char* path, FileContent* content);

// True when `path` can be opened for reading.
bool canOpenForReading(const char* path);

// Creates (or truncates) the file and writes the bytes. Returns 0, or the
// platform's last-error value when it cannot be created or written whole.
DWORD writeFileContent(const char* path, const uint8_t* data, uint32_t size);

// The same for content that lies in several pieces, written in order.
struct BytePiece {
    const uint8_t* data;
    size_t size;
};
DWORD writeFilePieces(const char* path, const BytePiece* pieces, size_t count);
