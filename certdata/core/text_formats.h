// How the certificate data library writes binary values and times as text.
// Each writer works in two calls: with a null buffer it returns the size to
// allocate (terminator included), with a buffer of that size it writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Two upper-case hexadecimal digits per byte, the pairs separated by one
// space ("0A 1F FF"). The size is 3 × length (the last separator's place holds
// the terminator), and 1 for no bytes at all: an empty text.
size_t writeHexPairs(const uint8_t* bytes, size_t length, char* out);

// A platform time (100-nanosecond intervals since 1 January 1601, UTC) split
// into its calendar fields, without any time-zone conversion.
struct CalendarTime {
    unsigned year, month, day, hour, minute, second;
    unsigned weekday;  // Sunday = 0
};
CalendarTime calendarTimeOf(uint64_t ticks);

// "Monday, 31 December 2001, 23:59.59 (U.T.C.)" with the given day and month
// names; the result is cut to the 100-byte work buffer the library uses.
std::string validityText(const CalendarTime& time, const char* dayName, const char* monthName);

// A raw value as text: every byte that is not printable ASCII (0x20 to 0x7E),
// a carriage return or a line feed becomes ".".
std::string printableForm(const uint8_t* bytes, size_t length);

// A string-type code in lower-case hexadecimal without leading zeros ("c").
std::string valueTypeText(uint32_t type);
