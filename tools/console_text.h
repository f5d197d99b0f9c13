// Texts of the programs' code page written for a UTF-8 terminal.
#pragma once

#include <windows.h>

#include <string>

inline std::string utf8(const std::string& text) {
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (wide <= 0) return text;
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &w[0], wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) return text;
    std::string out(narrow, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], narrow, nullptr, nullptr);
    out.resize(narrow - 1);
    return out;
}
