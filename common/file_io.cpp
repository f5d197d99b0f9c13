#include "file_io.h"

#include <new>

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() { if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
private:
    HANDLE h_;
};

// Reads and writes go in pieces: one call for a whole large file is refused by
// some file systems.
constexpr DWORD IO_PIECE = 64u << 20;

}  // namespace

bool canOpenForReading(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

ReadResult readFileContent(const char* path, FileContent* content) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return ReadResult::NotOpenable;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return ReadResult::NotOpenable;
    if (size.QuadPart >= 0xFFFFFFFFll) return ReadResult::TooLarge;
    const auto total = static_cast<uint32_t>(size.QuadPart);
    std::unique_ptr<uint8_t[]> data(new uint8_t[total ? total : 1]);
    uint32_t done = 0;
    while (done < total) {
        const DWORD piece = total - done < IO_PIECE ? total - done : IO_PIECE;
        DWORD got = 0;
        if (!ReadFile(file.get(), data.get() + done, piece, &got, nullptr) || got == 0) {
            return ReadResult::NotOpenable;
        }
        done += got;
    }
    content->data = std::move(data);
    content->size = total;
    return ReadResult::Ok;
}

DWORD writeFileContent(const char* path, const uint8_t* data, uint32_t size) {
    const BytePiece whole{data, size};
    return writeFilePieces(path, &whole, 1);
}

DWORD writeFilePieces(const char* path, const BytePiece* pieces, size_t count) {
    FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return GetLastError();
    for (size_t p = 0; p < count; ++p) {
        for (size_t done = 0; done < pieces[p].size;) {
            const size_t left = pieces[p].size - done;
            const DWORD piece = left < IO_PIECE ? static_cast<DWORD>(left) : IO_PIECE;
            DWORD written = 0;
            if (!WriteFile(file.get(), pieces[p].data + done, piece, &written, nullptr) ||
                written != piece) {
                const DWORD error = GetLastError();
                return error != 0 ? error : ERROR_WRITE_FAULT;
            }
            done += written;
        }
    }
    return 0;
}
