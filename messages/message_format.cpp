#include "message_format.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

std::string formatMessage(const char* message, ...) {
    va_list args;
    va_start(args, message);
    va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, message, measuring);
    va_end(measuring);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), message, args);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

void appendUtf8(char32_t character, std::string* text) {
    uint32_t c = character;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
        *text += static_cast<char>(c);
    } else if (c < 0x800) {
        *text += static_cast<char>(0xC0 | (c >> 6));
        *text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *text += static_cast<char>(0xE0 | (c >> 12));
        *text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *text += static_cast<char>(0xF0 | (c >> 18));
        *text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string messageAsUtf8(const std::string& message) {
#if defined(_WIN32)
    // Windows-1252's characters from 0x80 to 0x9F; the rest is Latin-1.
    static const char16_t HIGH[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string text;
    text.reserve(message.size() + message.size() / 8);
    for (const char c : message) {
        const unsigned char byte = static_cast<unsigned char>(c);
        appendUtf8(byte >= 0x80 && byte < 0xA0 ? HIGH[byte - 0x80] : byte, &text);
    }
    return text;
#else
    return message;
#endif
}
