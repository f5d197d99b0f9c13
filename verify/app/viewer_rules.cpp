#include "viewer_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

std::string pathFromCommandLine(const std::string& arguments) {
    std::string path = arguments;
    if (!path.empty() && path[0] == '"') path = path.size() >= 2 ? path.substr(1, path.size() - 2) : "";
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string dumpPathIn(const std::string& workFolder) { return workFolder + "\\" + HEX_DUMP_NAME; }

std::string contentFolderIn(const std::string& workFolder) { return workFolder + "\\" + CONTENT_FOLDER_NAME; }

std::string contentPathIn(const std::string& workFolder, const std::string& signedPath) {
    const size_t slash = signedPath.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? signedPath : signedPath.substr(slash + 1);
    return contentFolderIn(workFolder) + "\\" + (name.size() > 4 ? name.substr(0, name.size() - 4) : "");
}

std::string hexDumpLine(const uint8_t* bytes, size_t count) {
    std::string line;
    char pair[4];
    for (size_t i = 0; i < 16; ++i) {
        if (i < count) {
            std::snprintf(pair, sizeof pair, "%02x ", bytes[i]);
            line += pair;
        } else {
            line += "   ";
        }
    }
    line += " ;  ";
    for (size_t i = 0; i < count && i < 16; ++i) {
        line += bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char>(bytes[i]) : '.';
    }
    return line + "\r\n";
}

void forEachDumpLine(const uint8_t* bytes, size_t length, const std::function<void(const std::string&)>& line) {
    for (size_t at = 0; at < length; at += 16) line(hexDumpLine(bytes + at, length - at < 16 ? length - at : 16));
}

std::string hexDump(const uint8_t* bytes, size_t length) {
    std::string dump;
    forEachDumpLine(bytes, length, [&](const std::string& line) { dump += line; });
    return dump;
}
