// Test support: the records that the Simple MAPI stand-in (outside/mapi32)
// writes beside each message it was handed, message-1.txt, message-2.txt...
#pragma once

#include <fstream>
#include <map>
#include <string>
#include <vector>

// One message: each "key=value" line, and the attachments' "file=" lines in order.
struct MailRecord {
    std::map<std::string, std::string> fields;
    std::vector<std::string> files;
};

// The records of an outbox folder, oldest first.
inline std::vector<MailRecord> readMailOutbox(const std::string& folder) {
    std::vector<MailRecord> records;
    for (int n = 1;; ++n) {
        std::ifstream in(folder + "\\message-" + std::to_string(n) + ".txt");
        if (!in) return records;
        MailRecord r;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t equals = line.find('=');
            if (line.compare(0, equals, "file") == 0) r.files.push_back(line.substr(equals + 1));
            else r.fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
        records.push_back(r);
    }
}
