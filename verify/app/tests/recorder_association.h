// The program tests' stand-in for what the desktop starts: a file type
// associated with tests/record_arguments for the test's time, and the
// command lines it recorded.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "ui_driver.h"

// `extension` (".qtest") opens with the recorder through the class `progId`,
// whose command line goes to the file `recorded`; the association the
// extension had before comes back at the end.
class RecorderAssociation {
public:
    RecorderAssociation(const char* extension, const char* progId, const std::string& recorded)
        : extension_(extension), progId_(progId) {
        SetEnvironmentVariableA("QUILL_RECORDED", recorded.c_str());
        HKEY key;
        RegCreateKeyExA(HKEY_CLASSES_ROOT, extension, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
        char previous[256] = "";
        DWORD size = sizeof previous;
        hadPrevious_ = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(previous), &size) == 0;
        previous_ = hadPrevious_ ? previous : "";
        setDefault(key, progId_);
        RegCloseKey(key);
        const std::string command = std::string("\"") + QUILL_RECORDER_EXE + "\" \"%1\"";
        RegCreateKeyExA(HKEY_CLASSES_ROOT, (progId_ + "\\shell\\open\\command").c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr);
        setDefault(key, command);
        RegCloseKey(key);
    }
    ~RecorderAssociation() {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, progId_.c_str());
        if (!hadPrevious_) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, extension_.c_str());
        } else {
            HKEY key;
            if (RegOpenKeyExA(HKEY_CLASSES_ROOT, extension_.c_str(), 0, KEY_WRITE, &key) == 0) {
                setDefault(key, previous_);
                RegCloseKey(key);
            }
        }
        SetEnvironmentVariableA("QUILL_RECORDED", nullptr);
    }
    RecorderAssociation(const RecorderAssociation&) = delete;
    RecorderAssociation& operator=(const RecorderAssociation&) = delete;

private:
    static void setDefault(HKEY key, const std::string& value) {
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    std::string extension_, progId_, previous_;
    bool hadPrevious_ = false;
};

// The lines of the recorder's file, waited for until there are `count`.
inline std::vector<std::string> recordedLines(const std::string& recorded, size_t count) {
    std::vector<std::string> lines;
    ui::waitFor("the recorder to write " + std::to_string(count) + " lines", [&] {
        lines.clear();
        std::ifstream in(recorded);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines.size() >= count;
    }, 15000);
    return lines;
}
