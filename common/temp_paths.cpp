#include "temp_paths.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "file_io.h"
#include "message_box.h"
#include "message_format.h"
#include "shared_messages.h"

bool longNameOf(const std::string& path, std::string* name) {
    if (path.size() >= SEARCH_PATH_CAPACITY) return false;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    *name = found.cFileName;
    return true;
}

int resolveLongPath(const char* dir, char* out, size_t outSize) {
    std::string resolved;
    const bool ok = resolveLongPathWith(dir, longNameOf, &resolved) && resolved.size() < outSize;
    if (outSize > 0) std::snprintf(out, outSize, "%s", ok ? resolved.c_str() : "");
    return ok ? 1 : 0;
}

void endOnDiskError() {
    showProgramMessage(shared_messages::DISK_WRITE_ERROR);
    std::exit(0);
}

bool tempPathFor(const char* path, char* out, size_t outSize) {
    char reported[TEMP_DIR_CAPACITY];
    const DWORD length = GetTempPathA(sizeof reported, reported);
    char longDir[TEMP_DIR_CAPACITY];
    if (length == 0 || length >= sizeof reported || !resolveLongPath(reported, longDir, sizeof longDir)) {
        endOnDiskError();
    }
    const std::string result = std::string(longDir) + "\\" + baseNameOf(path);
    const bool fits = result.size() < outSize;
    if (outSize > 0) std::snprintf(out, outSize, "%s", fits ? result.c_str() : "");
    return fits;
}

std::string makeOwnTempFolder(const char* prefix) {
    for (unsigned attempt = 1; attempt <= 1000; ++attempt) {
        char name[128];
        std::snprintf(name, sizeof name, "\\%s-%lu-%u", prefix, GetCurrentProcessId(), attempt);
        char path[TEMP_DIR_CAPACITY];
        if (!tempPathFor(name, path, sizeof path)) return "";
        std::string folder = path;  // before the folder exists: once it does, nothing may fail
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
    }
    return "";
}

int writeTempFile(const char* path, const uint8_t* data, size_t length) {
    FileWriter writer(path);
    if (!writer.isOpen()) {
        showProgramMessage(formatMessage(shared_messages::TEMP_FILE_NOT_OPENED, path).c_str());
        return 0;
    }
    const bool written = length > 0 && writer.write(data, length);
    if (writer.finish() != 0 || !written) {
        showProgramMessage(shared_messages::SIGNED_FILE_NOT_STORED);
        return 0;
    }
    return 1;
}
