#include "text_formats.h"

#include <cstdio>

size_t writeHexPairs(const uint8_t* bytes, size_t length, char* out) {
    const size_t size = length == 0 ? 1 : 3 * length;
    if (out == nullptr) return size;
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < length; ++i) {
        out[3 * i] = digits[bytes[i] >> 4];
        out[3 * i + 1] = digits[bytes[i] & 0x0F];
        out[3 * i + 2] = i + 1 < length ? ' ' : '\0';
    }
    if (length == 0) out[0] = '\0';
    return size;
}

CalendarTime calendarTimeOf(uint64_t ticks) {
    const uint64_t seconds = ticks / 10000000u;
    uint64_t days = seconds / 86400u;
    const unsigned secondOfDay = static_cast<unsigned>(seconds % 86400u);
    CalendarTime t{};
    t.hour = secondOfDay / 3600;
    t.minute = secondOfDay / 60 % 60;
    t.second = secondOfDay % 60;
    t.weekday = static_cast<unsigned>((days + 1) % 7);  // 1 January 1601 was a Monday
    // Civil date from the days since 1601-01-01, in 400-year cycles.
    unsigned year = 1601 + static_cast<unsigned>(days / 146097) * 400;
    days %= 146097;
    auto leap = [](unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    while (days >= (leap(year) ? 366u : 365u)) days -= leap(year++) ? 366u : 365u;
    static const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned month = 1;
    for (; month <= 12; ++month) {
        const unsigned length = lengths[month - 1] + (month == 2 && leap(year) ? 1 : 0);
        if (days < length) break;
        days -= length;
    }
    t.year = year;
    t.month = month;
    t.day = static_cast<unsigned>(days) + 1;
    return t;
}

std::string validityText(const CalendarTime& time, const char* dayName, const char* monthName) {
    char text[100];
    std::snprintf(text, sizeof text, "%s, %02u %s %u, %02u:%02u.%02u (U.T.C.)", dayName, time.day, monthName,
                  time.year, time.hour, time.minute, time.second);
    return text;
}

std::string printableForm(const uint8_t* bytes, size_t length) {
    std::string text(reinterpret_cast<const char*>(bytes), length);
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!((u >= 0x20 && u <= 0x7E) || u == '\r' || u == '\n')) c = '.';
    }
    return text;
}

std::string valueTypeText(uint32_t type) {
    char text[12];
    std::snprintf(text, sizeof text, "%x", type);
    return text;
}
