#include "file_io.h"

#include <new>
#include <vector>

#include "path_rules.h"

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

namespace {

ReadResult readOpenFile(const FileHandle& file, FileContent* content) {
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

}  // namespace

ReadResult readFileContent(const char* path, FileContent* content) {
    const FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return readOpenFile(file, content);
}

ReadResult readFileContent(const wchar_t* path, FileContent* content) {
    const FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return readOpenFile(file, content);
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

FileWriter::FileWriter(HANDLE file) : file_(file) {
    if (file_ == INVALID_HANDLE_VALUE) error_ = ERROR_OPEN_FAILED;
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

namespace {

// The most of a zone mark that is copied: a few lines, but a page's address
// in it may be long. A longer one is written as the bare mark of the
// Internet zone, which is what matters.
constexpr DWORD MAX_ZONE_MARK = 64 * 1024;
const char INTERNET_ZONE_MARK[] = "[ZoneTransfer]\r\nZoneId=3\r\n";

}  // namespace

void copyZoneMark(const std::wstring& from, const std::wstring& to) {
    const FileHandle source(CreateFileW((from + ZONE_STREAM).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.valid()) return;
    std::vector<char> mark(MAX_ZONE_MARK + 1);
    DWORD read = 0;
    if (!ReadFile(source.get(), mark.data(), static_cast<DWORD>(mark.size()), &read, nullptr) || read == 0) return;
    if (read > MAX_ZONE_MARK) {
        mark.assign(INTERNET_ZONE_MARK, INTERNET_ZONE_MARK + sizeof INTERNET_ZONE_MARK - 1);
        read = static_cast<DWORD>(mark.size());
    }
    const FileHandle target(CreateFileW((to + ZONE_STREAM).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (target.valid()) WriteFile(target.get(), mark.data(), read, &written, nullptr);
}

std::string systemProgramPath(const char* name) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return "";
    return std::string(folder) + "\\" + name;
}

bool desktopWouldRun(const std::string& path) {
    if (runsWhenOpened(path)) return true;
    const std::string extension = extensionOf(path);
    if (extension.empty()) return false;
    // The platform's own list, where it has one (shlwapi's AssocIsDangerous).
    using IsDangerous = BOOL(WINAPI*)(PCWSTR);
    static const IsDangerous isDangerous = [] {
        const HMODULE shlwapi = LoadLibraryA(systemProgramPath("shlwapi.dll").c_str());
        const FARPROC entry = shlwapi ? GetProcAddress(shlwapi, "AssocIsDangerous") : nullptr;
        return reinterpret_cast<IsDangerous>(reinterpret_cast<void (*)()>(entry));
    }();
    wchar_t wide[64];
    return isDangerous != nullptr && MultiByteToWideChar(CP_ACP, 0, extension.c_str(), -1, wide, 64) > 0 &&
           isDangerous(wide) != FALSE;
}
