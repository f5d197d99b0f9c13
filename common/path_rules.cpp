#include "path_rules.h"

#include <cctype>
#include <cstring>

std::string baseNameOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int isSignedFileName(const char* name) {
    const size_t length = std::strlen(name);
    if (length <= 4) return 0;
    std::string tail(name + length - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".p7m" ? 1 : 0;
}

bool resolveLongPathWith(const std::string& dir, const LongNameLookup& lookup, std::string* out) {
    out->clear();
    std::string built;
    size_t at = 0;
    if (dir.compare(0, 2, "\\\\") == 0) {
        // \\server\share: the directory search cannot look at these two.
        const size_t server = dir.find('\\', 2);
        const size_t share = server == std::string::npos ? std::string::npos : dir.find('\\', server + 1);
        built = dir.substr(0, share);
        at = share == std::string::npos ? dir.size() : share + 1;
        if (server == std::string::npos || server == 2 || share == server + 1 || built.size() == server + 1) return false;
    } else {
        const size_t first = dir.find('\\');
        built = dir.substr(0, first);  // the drive, or empty for a path from the root
        at = first == std::string::npos ? dir.size() : first + 1;
    }
    while (at < dir.size()) {  // each turn consumes at least one character
        size_t end = dir.find('\\', at);
        if (end == std::string::npos) end = dir.size();
        const std::string component = dir.substr(at, end - at);
        at = end + 1;
        if (component.empty()) continue;
        const std::string candidate = built + "\\" + component;
        std::string name;
        if (candidate.size() >= SEARCH_PATH_CAPACITY || !lookup(candidate, &name) || name.empty()) return false;
        built += "\\" + name;
    }
    if (built.empty()) return false;
    *out = built;
    return true;
}

std::string extensionOf(const std::string& name) {
    std::string trimmed = name;
    while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' ')) trimmed.pop_back();
    const size_t dot = trimmed.rfind('.');
    if (dot == std::string::npos || trimmed.find_first_of("\\/", dot) != std::string::npos) return "";
    std::string extension;
    for (size_t i = dot; i < trimmed.size(); ++i) {
        extension += static_cast<char>(std::tolower(static_cast<unsigned char>(trimmed[i])));
    }
    return extension;
}

std::string numberedName(const std::string& name, int n) {
    if (n < 2) return name;
    const std::string signedPart = isSignedFileName(name.c_str()) ? name.substr(name.size() - 4) : "";
    const std::string wrapped = name.substr(0, name.size() - signedPart.size());
    size_t dot = wrapped.rfind('.');
    if (dot == 0 || dot == std::string::npos) dot = wrapped.size();
    return wrapped.substr(0, dot) + " (" + std::to_string(n) + ")" + wrapped.substr(dot) + signedPart;
}

bool runsWhenOpened(const std::string& name) {
    static const char* const RUNNABLE[] = {
        // programs, scripts and their hosts
        ".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".cpl", ".msc", ".hta", ".jar", ".jnlp", ".js", ".jse",
        ".vb", ".vbs", ".vbe", ".ws", ".wsf", ".wsh", ".wsc", ".sct", ".ps1", ".chm",
        // installers and what changes the system
        ".msi", ".msp", ".mst", ".msix", ".appinstaller", ".application", ".appref-ms", ".reg", ".inf", ".diagcab",
        // shortcuts and places that point elsewhere
        ".lnk", ".url", ".scf", ".website", ".library-ms", ".settingcontent-ms",
        // certificates, which install, and disk images, which mount
        ".cer", ".crt", ".der", ".iso", ".img", ".vhd", ".vhdx"};
    const std::string extension = extensionOf(name);
    for (const char* runnable : RUNNABLE) {
        if (extension == runnable) return true;
    }
    return false;
}
