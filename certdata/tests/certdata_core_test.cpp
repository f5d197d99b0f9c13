// The certificate data library's platform-free rules: the name tables, hex
// pairs, the calendar and the validity text, the printable form, and its own
// renderings of the extensions the platform may not render.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "der_builder.h"
#include "extension_texts.h"
#include "name_tables.h"
#include "text_formats.h"

namespace {

// The tables as the format gives them: their sizes, their first and last rows,
// the gaps, and exact matching only.
TEST(NameTables, HoldTheirRowsAndMatchExactly) {
    EXPECT_EQ(ATTRIBUTE_NAMES.count, 44u);
    EXPECT_EQ(ALGORITHM_NAMES.count, 118u);
    EXPECT_EQ(EXTENSION_NAMES.count, 17u);
    const struct { const NameTable& table; const char* oid; const char* name; } rows[] = {
        {ATTRIBUTE_NAMES, "2.5.4.3", "COMMON NAME"},
        {ATTRIBUTE_NAMES, "2.5.4.40", "CROSS CERTIFICATE PAIR"},
        {ATTRIBUTE_NAMES, "2.5.4.41", nullptr},
        {ATTRIBUTE_NAMES, "2.5.4.42", "GIVEN NAME"},
        {ATTRIBUTE_NAMES, "0.9.2342.19200300.100.1.25", "DOMAIN COMPONENT"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.5", "RSA SHA1"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.11", "RSA SHA256"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.10", "RSA SSA PSS"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.14", "RSA SHA224"},
        {ALGORITHM_NAMES, "1.2.840.113549.1.1.15", nullptr},
        {ALGORITHM_NAMES, "1.2.840.10045.2.1", "X962 ECC PUBLIC KEY"},
        {ALGORITHM_NAMES, "1.2.840.10045.4.1", "ECDSA SHA1"},
        {ALGORITHM_NAMES, "1.2.840.10045.4.3.2", "ECDSA SHA256"},
        {ALGORITHM_NAMES, "1.2.840.10045.4.3.4", "ECDSA SHA512"},
        {ALGORITHM_NAMES, "1.2.840.10045.4.3", nullptr},
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

using der_builder::Bytes;
using der_builder::cat;
using der_builder::hex;
using der_builder::tlv;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string narrow(const std::u16string& wide) {
    std::string out;
    for (char16_t c : wide) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string rendered(const char* oid, const Bytes& value) {
    const der_builder::ExactCopy copy(value);  // any read past the value shows under the sanitizers
    return narrow(ownExtensionText(oid, copy.data(), copy.size()));
}

// Each type as the platform's style shows it, from values built here.
TEST(OwnExtensionTexts, RenderEachTypeInThePlatformsStyle) {
    const Bytes keyUsage = hex("03 02 06 C0");  // digital signature and non-repudiation
    const struct { const char* oid; Bytes value; const char* text; } rows[] = {
        {"2.5.29.14", hex("04 03 A1 B2 0C"), "a1 b2 0c"},
        {"2.5.29.21", hex("0A 01 01"), "Key Compromise (1)"},
        {"2.5.29.21", hex("0A 01 07"), "Unknown (7)"},
        {"2.5.29.2",
         tlv(0x30, cat({hex("04 02 01 02"), keyUsage, tlv(0x30, tlv(0x81, text("20011231235959Z")))})),
         "KeyID=01 02\r\nIntended Key Usage=Digital Signature, Non-Repudiation (c0)\r\n"
         "NotAfter=31/12/2001 23:59:59 (U.T.C.)\r\n"},
        {"2.5.29.4",
         tlv(0x30, cat({tlv(0x30, cat({tlv(0x30, hex("06 03 2A 03 04")), tlv(0x30, hex("06 01 2B 06 01 2C"))})),
                        hex("03 03 07 00 80")})),
         "[1]Certificate Policy:\r\n     Policy Identifier=1.2.3.4\r\n[2]Certificate Policy:\r\n"
         "     Policy Identifier=1.3\r\n     Policy Identifier=1.4\r\n"
         "Restricted Key Usage=Decipher Only (00 80)\r\n"},
        {"1.3.6.1.4.1.311.10.2",
         tlv(0x30, cat({tlv(0x86, text("http://ca.example/next")), hex("87 04 7F 00 00 01"),
                        tlv(0x81, text("ca@example"))})),
         "URL=http://ca.example/next\r\nIP Address=127.0.0.1\r\nEmail Address=ca@example\r\n"},
        {"1.2.840.113549.1.9.15",
         tlv(0x30, cat({tlv(0x30, hex("06 08 2A 86 48 86 F7 0D 03 07")),
                        tlv(0x30, hex("06 08 2A 86 48 86 F7 0D 03 02 02 02 00 80"))})),
         "[1]SMIME Capability\r\n     Object ID=1.2.840.113549.3.7\r\n[2]SMIME Capability\r\n"
         "     Object ID=1.2.840.113549.3.2\r\n     Parameters=02 02 00 80\r\n"},
        {"1.3.6.1.4.1.311.2.1.10",
         tlv(0x30, cat({tlv(0xA0, tlv(0x80, text("http://ca.example/cps"))),
                        tlv(0xA1, hex("80 0A 00 43 00 69 00 74 00 74 00 E0"))})),
         "Policy Information:\r\n     URL=http://ca.example/cps\r\nPolicy Display Text=Citt?\r\n"},
    };
    for (const auto& row : rows) EXPECT_EQ(rendered(row.oid, row.value), row.text) << row.oid;
}

// A value that is not its type, in whole or in part, has no rendering of its
// own (the record then shows its printable form); neither has another type.
TEST(OwnExtensionTexts, RefuseValuesThatAreNotTheirType) {
    const struct { const char* oid; Bytes value; } rows[] = {
        {"2.5.29.14", hex("04 03 A1 B2")},                // truncated
        {"2.5.29.14", hex("04 01 A1 00")},                // a byte after the value
        {"2.5.29.21", hex("02 01 01")},                   // an integer, not an enumeration
        {"2.5.29.21", hex("0A 02 00 01")},
        {"2.5.29.2", hex("30 04 03 02 08 C0")},           // eight unused bits
        {"2.5.29.2", hex("30 03 05 01 00")},              // an unexpected field
        {"2.5.29.4", hex("30 05 30 03 30 01 06")},        // a broken identifier
        {"1.3.6.1.4.1.311.10.2", hex("30 03 88 01 80")},  // a registered ID ending inside an arc
        {"1.2.840.113549.1.9.15", hex("30 04 30 02 05 00")},  // a capability without its identifier
        {"1.3.6.1.4.1.311.2.1.10", hex("30 04 A0 02 83 00")}, // a link of no known kind
        {"2.5.29.31", hex("30 00")},                      // rendered by the platform only
        {"2.5.29.14", {}},
    };
    for (const auto& row : rows) EXPECT_EQ(rendered(row.oid, row.value), "") << row.oid;
    EXPECT_EQ(ownExtensionText(nullptr, nullptr, 0), u"");
}

}  // namespace
