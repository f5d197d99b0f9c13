#include "list_values.h"

#include <cstdio>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// `count` decimal digits at `at`, as a number; false when they are not digits.
bool digits(const std::string& s, size_t at, size_t count, int* out) {
    if (at + count > s.size()) return false;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    *out = value;
    return true;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string trimmed(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && isSpace(text[first])) ++first;
    while (last > first && isSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool readDateTime(const std::string& text, UtcSeconds* out) {
    const std::string s = trimmed(text);
    int year, month, day, hour, minute, second;
    // YYYY-MM-DDThh:mm:ss
    if (s.size() < 20 || !digits(s, 0, 4, &year) || s[4] != '-' || !digits(s, 5, 2, &month) || s[7] != '-' ||
        !digits(s, 8, 2, &day) || s[10] != 'T' || !digits(s, 11, 2, &hour) || s[13] != ':' ||
        !digits(s, 14, 2, &minute) || s[16] != ':' || !digits(s, 17, 2, &second)) {
        return false;
    }
    size_t at = 19;
    if (s[at] == '.') {
        ++at;
        const size_t first = at;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
        if (at == first) return false;
    }
    int offset = 0;
    if (at < s.size() && s[at] == 'Z') {
        ++at;
    } else if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
        int oh, om;
        if (!digits(s, at + 1, 2, &oh) || at + 3 >= s.size() || s[at + 3] != ':' || !digits(s, at + 4, 2, &om) ||
            oh > 14 || om > 59) {
            return false;
        }
        offset = (oh * 60 + om) * 60 * (s[at] == '+' ? 1 : -1);
        at += 6;
    } else {
        return false;  // a time without a zone is no instant
    }
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (at != s.size() || year < 1000 || month < 1 || month > 12 || day < 1 ||
        day > monthDays[month - 1] + (month == 2 && isLeap(year) ? 1 : 0) || hour > 23 || minute > 59 ||
        second > 59) {
        return false;
    }
    *out = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
           minute * 60 + second - offset;
    return true;
}

std::string formatUtc(UtcSeconds time) {
    int64_t days = time >= 0 ? time / 86400 : (time - 86399) / 86400;
    const int64_t seconds = time - days * 86400;
    // Civil date from days (the inverse of daysFromCivil).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
    char text[40];
    std::snprintf(text, sizeof text, "%02u/%02u/%04lld %02d:%02d UTC", d, m, static_cast<long long>(y),
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60));
    return text;
}

bool decodeBase64(const std::string& text, std::vector<uint8_t>* out) {
    out->clear();
    uint32_t bits = 0;
    int held = 0, symbols = 0, padding = 0;
    for (char c : text) {
        if (isSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = base64Value(c);
        if (value < 0 || padding > 0) {  // no character after padding
            out->clear();
            return false;
        }
        ++symbols;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out->push_back(static_cast<uint8_t>(bits >> held));
            bits &= (1u << held) - 1;
        }
    }
    // The padding completes the last group of four, and the bits it leaves over are zero.
    const int rest = symbols % 4;
    if (symbols == 0 || rest == 1 || (padding != 0 && padding != 4 - rest) || (rest == 0 && padding != 0) ||
        bits != 0) {
        out->clear();
        return false;
    }
    return true;
}

bool isAbsoluteUri(const std::string& text) {
    size_t at = 0;
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (text.empty() || !isAlpha(text[0])) return false;
    while (at < text.size() && (isAlpha(text[at]) || (text[at] >= '0' && text[at] <= '9') || text[at] == '+' ||
                                text[at] == '-' || text[at] == '.')) {
        ++at;
    }
    if (at == text.size() || text[at] != ':' || at + 1 == text.size()) return false;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7F) return false;
    }
    return true;
}
