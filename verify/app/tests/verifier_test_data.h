// What the verification program's window tests share: the temporary folder
// they work in, and the time of their back-dated time-stamps.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "temp_paths.h"

inline std::string temporaryFolder() {
    char folder[1024];
    tempPathFor("\\x", folder, sizeof folder);
    return std::string(folder, std::strlen(folder) - 2);
}

// 2021-06-01 12:00 UTC: the time of the tests' time-stamp tokens
// (TokenRecipe's), inside the valid years of the cards they stamp.
inline const FILETIME JUNE_2021_NOON = [] {
    const SYSTEMTIME noon{2021, 6, 2, 1, 12, 0, 0, 0};
    FILETIME time{};
    SystemTimeToFileTime(&noon, &time);
    return time;
}();
