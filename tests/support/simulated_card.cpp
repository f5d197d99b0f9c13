#include "simulated_card.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string tempFolder() {
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    return std::string(path) + "quill-card-test";
}

void removeFolderFiles(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA((folder + "\\" + entry.cFileName).c_str());
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

SimulatedCard::SimulatedCard() : scratch_(tempFolder()), logPath_(scratch_ + "\\calls.log") {
    CreateDirectoryA(scratch_.c_str(), nullptr);
    removeFolderFiles(scratch_);
    SetEnvironmentVariableA("QUILL_CARD_LOG", logPath_.c_str());
    SetEnvironmentVariableA("QUILL_CARD_PROFILE", nullptr);
    useFullModule();
}

SimulatedCard::~SimulatedCard() {
    SetEnvironmentVariableA("QUILL_CARD_PROFILE", nullptr);
    SetEnvironmentVariableA("QUILL_CARD_LOG", nullptr);
    useFullModule();
}

void SimulatedCard::insert(const std::string& profileName) {
    const std::string path = testDataPath("cards/" + profileName + ".profile");
    SetEnvironmentVariableA("QUILL_CARD_PROFILE", path.c_str());
}

void SimulatedCard::insertVariant(const std::string& profileName, const std::string& extraLines) {
    // File names in the copy are made absolute, since it lives elsewhere.
    std::ifstream base(testDataPath("cards/" + profileName + ".profile"));
    std::stringstream in;
    in << base.rdbuf() << "\n" << extraLines << "\n";
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        const std::string cardsFolder = "../pki/";
        const size_t at = line.find(cardsFolder);
        if (at != std::string::npos) line.replace(at, cardsFolder.size(), testDataPath("pki/"));
        out << line << "\n";
    }
    const std::string path = scratch_ + "\\variant.profile";
    std::ofstream(path) << out.str();
    SetEnvironmentVariableA("QUILL_CARD_PROFILE", path.c_str());
}

void SimulatedCard::useFullModule() { SetDllDirectoryA(QUILL_GCLIB_DIR); }
void SimulatedCard::useIncompleteModule() { SetDllDirectoryA(QUILL_GCLIB_INCOMPLETE_DIR); }
void SimulatedCard::useNoModule() { SetDllDirectoryA(nullptr); }

void SimulatedCard::clearLog() { DeleteFileA(logPath_.c_str()); }

std::vector<std::string> SimulatedCard::logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(logPath_);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> SimulatedCard::calls() const {
    std::vector<std::string> names;
    for (const std::string& line : logLines()) names.push_back(line.substr(0, line.find_first_of("( ")));
    return names;
}

int SimulatedCard::count(const std::string& call) const {
    const std::vector<std::string> names = calls();
    return static_cast<int>(std::count(names.begin(), names.end(), call));
}
