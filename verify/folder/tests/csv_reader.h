// The report's CSV read back as a spreadsheet reads it: ";" between cells,
// double quotes around them ("" inside), line breaks inside quoted cells.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ';') {
            row.push_back(cell);
            cell.clear();
        } else if (c == '\n') {
            row.push_back(cell);
            rows.push_back(row);
            row.clear();
            cell.clear();
            any = false;
        } else if (c != '\r') {
            cell += c;
            any = true;
        }
    }
    if (any || !row.empty()) {
        row.push_back(cell);
        rows.push_back(row);
    }
    return rows;
}
