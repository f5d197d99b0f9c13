#include "ansi_text.h"

namespace {

UINT g_codePage = 0;

// The code pages for which the platform refuses every conversion flag (and,
// for UTF-7 and UTF-8, a default character): with them a conversion that
// asks for no best fit and a "?" returns nothing at all.
bool takesNoFlags(UINT codePage) {
    return codePage == 42 || codePage == CP_UTF7 || codePage == CP_UTF8 || (codePage >= 50220 && codePage <= 50229) ||
           (codePage >= 57002 && codePage <= 57011) || codePage == 54936;
}

}  // namespace

UINT ansiCodePage() { return g_codePage != 0 ? g_codePage : GetACP(); }

void setAnsiCodePage(UINT codePage) { g_codePage = codePage; }

std::string ansiText(const wchar_t* text, int length) {
    if (text == nullptr || length == 0) return "";
    const UINT codePage = ansiCodePage();
    const DWORD flags = takesNoFlags(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = codePage == CP_UTF7 || codePage == CP_UTF8 ? nullptr : "?";
    const int size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, fallback, nullptr);
    if (size <= 0) return "";
    std::string out(size, '\0');
    WideCharToMultiByte(codePage, flags, text, length, &out[0], size, fallback, nullptr);
    if (length < 0) out.resize(out.size() - 1);  // the nul was converted too
    return out;
}

namespace {

std::wstring wideFromCodePage(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(size, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

}  // namespace

std::wstring wideText(const std::string& text) { return wideFromCodePage(text, ansiCodePage()); }

std::string utf8Text(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &out[0], size);
    return out;
}

std::string utf8FromAnsi(const std::string& text) { return utf8Text(wideText(text)); }

std::string utf8FromProgramText(const std::string& text) { return utf8Text(wideFromCodePage(text, 1252)); }
