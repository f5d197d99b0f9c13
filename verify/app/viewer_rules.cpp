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

std::string hexDump(const uint8_t* bytes, size_t length) {
    std::string dump;
    for (size_t at = 0; at < length; at += 16) dump += hexDumpLine(bytes + at, length - at < 16 ? length - at : 16);
    return dump;
}

bool runsWhenOpened(const std::string& name) {
    static const char* const RUNNABLE[] = {
        ".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".cpl", ".msi", ".msp", ".msc", ".hta", ".jar",
        ".js",  ".jse", ".vbs", ".vbe", ".wsf", ".wsh", ".ps1", ".reg", ".lnk", ".url", ".scf", ".inf", ".application"};
    // The desktop ignores trailing dots and spaces of a name.
    std::string trimmed = name;
    while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' ')) trimmed.pop_back();
    const size_t dot = trimmed.rfind('.');
    if (dot == std::string::npos || trimmed.find('\\', dot) != std::string::npos) return false;
    std::string extension;
    for (size_t i = dot; i < trimmed.size(); ++i) {
        extension += static_cast<char>(std::tolower(static_cast<unsigned char>(trimmed[i])));
    }
    for (const char* runnable : RUNNABLE) {
        if (extension == runnable) return true;
    }
    return false;
}
