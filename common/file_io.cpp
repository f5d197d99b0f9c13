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
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    FileWriter writer(path);
    writer.write(data, size);
    return writer.finish();
}

FileWriter::FileWriter(const char* path)
    : file_(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (file_ == INVALID_HANDLE_VALUE) error_ = GetLastError() != 0 ? GetLastError() : ERROR_OPEN_FAILED;
}

FileWriter::~FileWriter() { finish(); }

bool FileWriter::write(const uint8_t* data, size_t size) {
    for (size_t done = 0; error_ == 0 && done < size;) {
        const size_t left = size - done;
        const DWORD piece = left < IO_PIECE ? static_cast<DWORD>(left) : IO_PIECE;
        DWORD written = 0;
        if (!WriteFile(file_, data + done, piece, &written, nullptr) || written != piece) {
            error_ = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
        }
        done += written;
    }
    return error_ == 0;
}

DWORD FileWriter::finish() {
    if (file_ != INVALID_HANDLE_VALUE) {
        if (!CloseHandle(file_) && error_ == 0) error_ = GetLastError();
        file_ = INVALID_HANDLE_VALUE;
    }
    return error_;
}
