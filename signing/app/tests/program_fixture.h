// What the signing program's tests share: an outbox of the mail program's
// stand-in and source files of the test's own, the simulated card, the
// recorded message boxes, and the temporary directory that runs must leave
// as they found it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "mail_outbox.h"
#include "message_box_recorder.h"
#include "pin_prompt.h"
#include "simulated_card.h"
#include "temp_paths.h"
#include "ui_driver.h"

const char MAIN_CAPTION[] = "Quillet Comune di Valdora";
const char CANCELLED[] = "L'operazione di firma \xE8 stata annullata, la sessione verr\xE0 terminata";

// Waits until the attachment list holds `count` entries.
inline void listHolds(HWND list, int count) {
    ui::waitFor("the attachment list to hold " + std::to_string(count) + " entries",
                [&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == count; });
}

inline std::string temporaryFolder() {
    char folder[1024];
    tempPathFor("\\x", folder, sizeof folder);
    return std::string(folder, std::strlen(folder) - 2);
}

// What runs left in the temporary directory: the names of their folders
// ("quillet-...") and of the files they once made there.
inline std::vector<std::string> runLeftovers() {
    std::vector<std::string> found;
    WIN32_FIND_DATAA entry;
    for (const char* pattern : {"\\quillet-*", "\\*.p7m", "\\*.P7M", "\\testoMail.txt", "\\replyto.txt"}) {
        HANDLE search = FindFirstFileA((temporaryFolder() + pattern).c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) continue;
        do found.push_back(entry.cFileName); while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    return found;
}

// Removes a folder with everything in it (folders of runs are two deep).
inline void removeTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(path + "\\" + name);
            else DeleteFileA((path + "\\" + name).c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

class ProgramFixture : public testing::Test {
protected:
    void SetUp() override {
        // In the build folder, for the OpenSSL check of the SignedFiles that follows.
        CreateDirectoryA(QUILL_PROGRAM_OUTBOX_DIR, nullptr);
        outbox_ = QUILL_PROGRAM_OUTBOX_DIR "\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        std::replace(outbox_.begin(), outbox_.end(), '/', '\\');
        CreateDirectoryA(outbox_.c_str(), nullptr);
        for (int n = 1; DeleteFileA((outbox_ + "\\message-" + std::to_string(n) + ".txt").c_str()); ++n) {}
        SetEnvironmentVariableA("QUILL_MAIL_OUTBOX", outbox_.c_str());
        SetDllDirectoryA(QUILL_MAPI32_DIR);
        sources_ = outbox_ + "\\sorgenti";
        CreateDirectoryA(sources_.c_str(), nullptr);
        for (const char* name : {"B.txt", "A.txt", "C.doc", "D.pdf", "E.odt", "VECCHIO.P7M"}) {
            std::ofstream(sources_ + "\\" + name, std::ios::binary) << "contenuto di " << name << "\r\n";
        }
        // A clean slate: what earlier programs left is not this run's.
        for (const std::string& name : runLeftovers()) {
            const std::string path = temporaryFolder() + "\\" + name;
            if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) removeTree(path);
            else DeleteFileA(path.c_str());
        }
        usePinPrompt();
    }
    void TearDown() override {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("QUILL_MAPI_RESULT", nullptr);
    }
    std::string source(const char* name) const { return sources_ + "\\" + name; }

    // The stand-in's record of each message sent: the attachments' paths as
    // handed over (they are gone after the run).
    std::vector<std::vector<std::string>> sentPaths() const {
        std::vector<std::vector<std::string>> messages;
        for (const MailRecord& record : readMailOutbox(outbox_)) {
            messages.emplace_back();
            for (const std::string& file : record.files) {  // 0 0 0xFFFFFFFF "path" null null
                const size_t start = file.find('"') + 1;
                messages.back().push_back(file.substr(start, file.rfind("\" null null") - start));
            }
        }
        return messages;
    }
    // The same, the attachments' file names alone.
    std::vector<std::vector<std::string>> sentAttachments() const {
        std::vector<std::vector<std::string>> messages = sentPaths();
        for (auto& message : messages) {
            for (std::string& path : message) path = baseNameOf(path);
        }
        return messages;
    }

    SimulatedCard card_;
    MessageBoxRecorder boxes_;
    std::string outbox_, sources_;
};

// Answers each open-file dialog with the next pick of its queue (a folder and
// one name or several in quotes), and with Cancel when the queue is empty.
class FilePicker : public ui::WindowWatcher {
public:
    FilePicker() : WindowWatcher("Open", [this](HWND dialog) { pick(dialog); }) {}
    void add(const std::string& folder, const std::string& names) {
        const std::lock_guard<std::mutex> lock(mutex_);
        picks_.emplace_back(folder, names);
    }

private:
    void pick(HWND dialog) {
        std::pair<std::string, std::string> next;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (picks_.empty()) return ui::click(dialog, IDCANCEL);
            next = picks_.front();
            picks_.pop_front();
        }
        ui::pickFiles(dialog, next.first, next.second);
    }

    std::mutex mutex_;
    std::deque<std::pair<std::string, std::string>> picks_;
};
