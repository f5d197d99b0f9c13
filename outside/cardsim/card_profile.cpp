#include "card_profile.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

namespace cardsim {
namespace {

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool readFile(const std::string& path, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A file named in the profile: absolute ("C:\\...", "/...") or relative to the
// profile's folder.
std::string resolve(const std::string& folder, const std::string& name) {
    const bool absolute = (name.size() > 1 && name[1] == ':') ||
                          (!name.empty() && (name[0] == '/' || name[0] == '\\'));
    return absolute ? name : folder + name;
}

bool parseYesNo(const std::string& value, bool* out) {
    if (value == "yes") { *out = true; return true; }
    if (value == "no") { *out = false; return true; }
    return false;
}

// "A, B, C" into the set.
void addNames(const std::string& list, std::set<std::string>* names) {
    std::istringstream in(list);
    std::string name;
    while (std::getline(in, name, ',')) {
        if (!trim(name).empty()) names->insert(trim(name));
    }
}

}  // namespace

bool parseHex(const std::string& text, Bytes* out) {
    out->clear();
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = digit;
        } else {
            out->push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    return high < 0;
}

bool loadCardProfile(const std::string& path, CardProfile* profile, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot open the card profile " + path;
        return false;
    }
    CardProfile p;
    bool tokensGiven = false;
    bool keyIdGiven = false;
    const std::string folder = folderOf(path);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string content = trim(line);
        if (content.empty() || content[0] == '#') continue;
        const size_t equals = content.find('=');
        const std::string key = trim(content.substr(0, equals));
        const std::string value = equals == std::string::npos ? "" : trim(content.substr(equals + 1));
        bool ok = equals != std::string::npos;
        if (!ok) {
        } else if (key == "reader") {
            ok = parseYesNo(value, &p.readerPresent);
        } else if (key == "card") {
            ok = parseYesNo(value, &p.cardPresent);
        } else if (key == "atr") {
            ok = parseHex(value, &p.atr);
        } else if (key == "personal_data") {
            p.personalData = value;
        } else if (key == "pin") {
            p.pin = value;
        } else if (key == "pin_changes_after") {
            const size_t space = value.find(' ');
            ok = space != std::string::npos && value.find_first_not_of("0123456789") == space && space > 0;
            if (ok) {
                p.pinChangesAfter = std::stoi(value.substr(0, space));
                p.changedPin = value.substr(space + 1);
            }
        } else if (key == "certificate") {
            ok = readFile(resolve(folder, value), &p.certificate);
        } else if (key == "key") {
            ok = readFile(resolve(folder, value), &p.key);
        } else if (key == "other_certificate") {
            ok = readFile(resolve(folder, value), &p.otherCertificate);
        } else if (key == "other_key") {
            ok = readFile(resolve(folder, value), &p.otherKey);
        } else if (key == "tokens") {
            std::istringstream number(value);
            ok = static_cast<bool>(number >> p.tokens) && p.tokens >= 0;
            tokensGiven = true;
        } else if (key == "label") {
            p.label = value;
        } else if (key == "cert_id") {
            ok = parseHex(value, &p.certificateId);
        } else if (key == "key_id") {
            ok = parseHex(value, &p.keyId);
            keyIdGiven = true;
        } else if (key == "other_id") {
            ok = parseHex(value, &p.otherId);
        } else if (key == "fail") {
            addNames(value, &p.failing);
        } else if (key == "overstate") {
            addNames(value, &p.overstating);
        } else if (key == "reread_certificate") {
            ok = readFile(resolve(folder, value), &p.rereadCertificate);
        } else {
            ok = false;
        }
        if (!ok) {
            *error = path + ":" + std::to_string(number) + ": cannot use \"" + content + "\"";
            return false;
        }
    }
    if (!p.readerPresent) p.cardPresent = false;
    if (!keyIdGiven) p.keyId = p.certificateId;
    if (!tokensGiven) p.tokens = p.cardPresent ? 1 : 0;
    *profile = std::move(p);
    return true;
}

}  // namespace cardsim
