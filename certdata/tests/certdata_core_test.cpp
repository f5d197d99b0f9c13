// The certificate data library's platform-free rules: the name tables, hex
// pairs, the calendar and the validity text, the printable form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "name_tables.h"
#include "text_formats.h"

namespace {

// The tables as the format gives them: their sizes, their first and last rows,
// the gaps, and exact matching only.
TEST(NameTables, HoldTheirRowsAndMatchExactly) {
    EXPECT_EQ(ATTRIBUTE_NAMES.count, 44u);
    EXPECT_EQ(ALGORITHM_NAMES.count, 107u);
    EXPECT_EQ(EXTENSION_NAMES.count, 17u);
    const struct { const NameTable& table; const char* oid; const char* name; } rows[] = {
        {ATTRIBUTE_NAMES, "2.5.4.3", "COMMON NAME"},
        {ATTRIBUTE_NAMES, "2.5.4.40", "CROSS CERTIFICATE PAIR"},
        {ATTRIBUTE_NAMES, "2.5.4.41", nullptr},
        {ATTRIBUTE_NAMES, "2.5.4.42", "GIVEN NAME"},
        {ATTRIBUTE_NAMES, "0.9.2342.19200300.100.1.25", "DOMAIN COMPONENT"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.5", "RSA SHA1"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.11", nullptr},  // sha256WithRSA: not in the table
        {ALGORITHM_NAMES, "1.2.840.113549.1.1", "PKCS 1"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.12", "PKCS 12"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.11", nullptr},
        {ALGORITHM_NAMES, "1.3.14.3.2.5", nullptr},
        {ALGORITHM_NAMES, "1.3.14.3.2.29", "OIWSEC sha1RSASign"},
        {ALGORITHM_NAMES, "2.16.840.1.101.2.1.1.21", "INFOSEC mosaicUpdatedInteg"},
        {EXTENSION_NAMES, "2.5.29.31", "CRL DIST POINTS"},
        {EXTENSION_NAMES, "2.5.29.3", nullptr},
        {EXTENSION_NAMES, "2.5.29.1", nullptr},  // no prefix matching
        {EXTENSION_NAMES, "2.5.29.14 ", nullptr},
    };
    for (const auto& row : rows) {
        const char* found = lookUpName(row.table, row.oid);
        EXPECT_STREQ(found, row.name) << row.oid;
    }
    EXPECT_EQ(lookUpName(EXTENSION_NAMES, nullptr), nullptr);
}

TEST(TextFormats, HexPairsAndTheirSizes) {
    const uint8_t bytes[] = {0x0A, 0x1F, 0xFF};
    ASSERT_EQ(writeHexPairs(bytes, 3, nullptr), 9u);
    std::vector<char> out(9, 'x');
    writeHexPairs(bytes, 3, out.data());
    EXPECT_STREQ(out.data(), "0A 1F FF");
    char empty[1] = {'x'};
    EXPECT_EQ(writeHexPairs(nullptr, 0, nullptr), 1u);
    writeHexPairs(nullptr, 0, empty);
    EXPECT_STREQ(empty, "");
}

TEST(TextFormats, ValidityTimesAreUtcCalendarFields) {
    // 2001-12-31 23:59:59 UTC, 1601-01-01 (a Monday), 2000-02-29 and 2024-02-29.
    const struct { uint64_t ticks; CalendarTime time; } rows[] = {
        {126543167990000000ull, {2001, 12, 31, 23, 59, 59, 1}},
        {0, {1601, 1, 1, 0, 0, 0, 1}},
        {125962560000000000ull, {2000, 2, 29, 0, 0, 0, 2}},
        {133536384000000000ull, {2024, 2, 29, 0, 0, 0, 4}},
    };
    for (const auto& row : rows) {
        const CalendarTime t = calendarTimeOf(row.ticks);
        EXPECT_EQ(std::vector<unsigned>({t.year, t.month, t.day, t.hour, t.minute, t.second, t.weekday}),
                  std::vector<unsigned>({row.time.year, row.time.month, row.time.day, row.time.hour,
                                         row.time.minute, row.time.second, row.time.weekday}))
            << row.ticks;
    }
    EXPECT_EQ(validityText(calendarTimeOf(126543167990000000ull), "Monday", "December"),
              "Monday, 31 December 2001, 23:59.59 (U.T.C.)");
    EXPECT_EQ(validityText({2001, 5, 7, 12, 32, 28, 1}, "Luned\xEC", "Maggio"),
              "Luned\xEC, 07 Maggio 2001, 12:32.28 (U.T.C.)");
}

TEST(TextFormats, PrintableFormAndValueTypes) {
    const uint8_t raw[] = {'a', 0x00, '\r', '\n', 0x7F, 0x1F, '~', 0xE8};
    EXPECT_EQ(printableForm(raw, sizeof raw), "a.\r\n..~.");
    EXPECT_EQ(valueTypeText(4), "4");
    EXPECT_EQ(valueTypeText(12), "c");
    EXPECT_EQ(valueTypeText(13), "d");
}

}  // namespace
