#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "personal_data.h"

namespace {

// Lengths in either case, values kept modulo 256, other characters counted by
// their code, and null pointers storing nothing.
TEST(HexToByte, ReadsLengthsAsTheCardWritesThemAndAnythingElseByItsRule) {
    const struct { const char* text; uint8_t value; } rows[] = {
        {"0000A2", 0xA2}, {"1F", 31}, {"1f", 31}, {"FF", 255}, {"", 0},
        {"100", 0}, {"1A2", 0xA2}, {"g", 'g'}, {"1g", static_cast<uint8_t>(16 + 'g')}};
    for (const auto& row : rows) {
        uint8_t value = 0xEE;
        EXPECT_EQ(fnHexToByte(row.text, &value), 0) << row.text;
        EXPECT_EQ(value, row.value) << row.text;
    }
    uint8_t value = 7;
    EXPECT_EQ(fnHexToByte(nullptr, &value), 0x1000);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(fnHexToByte("12", nullptr), 0x1000);
}

// The record of the test CIE cie140, as the card hands it out.
const std::string ROSSI =
    "00007604Q5120801012020080101203005ROSSI05MARIO080101197001M0317510RSSMRA70A01L736S03ITA"
    "07VALDORA02IT0012VIA ROMA 1 VALDORA00";

// The record in a heap block of exactly its length, so that AddressSanitizer
// sees any read past it.
struct Parsed {
    uint8_t length;
    std::unique_ptr<DatiPersonali> dati;
};
Parsed parse(const std::string& text, size_t available) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[available ? available : 1]);
    std::memcpy(exact.get(), text.data(), available);
    Parsed p{0, std::make_unique<DatiPersonali>()};  // all zero
    p.length = fnParseDatiPersonali(exact.get(), static_cast<uint32_t>(available), p.dati.get());
    return p;
}
Parsed parse(const std::string& text) { return parse(text, text.size()); }

TEST(ParseDatiPersonali, PutsEachFieldIntoItsSlot) {
    const Parsed p = parse(ROSSI);
    EXPECT_EQ(p.length, ROSSI.size());
    const char* expected[DATI_PERSONALI_SLOTS] = {
        "MARIO", "ROSSI", "M", "175", "Q512", "VIA ROMA 1 VALDORA", "VALDORA", "", "01011970",
        "RSSMRA70A01L736S", "01012020", "01012030", "ITA", "", "IT"};
    for (int slot = 0; slot < DATI_PERSONALI_SLOTS; ++slot) {
        EXPECT_STREQ(p.dati->slots[slot], expected[slot]) << "slot " << slot;
    }
    EXPECT_EQ(p.dati->continued, 0);
    EXPECT_EQ(parse(ROSSI + "X").dati->continued, 1);  // anything after field 15
}

// The full length is the header's value plus six, modulo 256.
TEST(ParseDatiPersonali, FullLengthIsTheHeaderPlusSixModulo256) {
    EXPECT_EQ(parse("0000F9").length, 255);
    EXPECT_EQ(parse("0000FA").length, 0);  // 256 does not fit the one-byte length
    EXPECT_EQ(fnParseDatiPersonali(reinterpret_cast<const uint8_t*>("00001f"), 6, nullptr), 37);  // length only
}

TEST(ParseDatiPersonali, ShortAndTruncatedRecordsGiveEmptyOrShortenedFields) {
    // Nothing at all, or less than the header: every slot empty.
    for (size_t available : {0, 3, 7}) {
        const Parsed p = parse(ROSSI, available);
        for (const auto& slot : p.dati->slots) EXPECT_STREQ(slot, "") << available;
    }
    // Cut inside the surname (field 4): "ROS", and nothing after it.
    const size_t surname = ROSSI.find("ROSSI");
    const Parsed cut = parse(ROSSI, surname + 3);
    EXPECT_STREQ(cut.dati->slots[SLOT_MUNICIPALITY], "Q512");
    EXPECT_STREQ(cut.dati->slots[SLOT_SURNAME], "ROS");
    EXPECT_STREQ(cut.dati->slots[SLOT_NAME], "");
    EXPECT_EQ(cut.dati->continued, 0);
    // A length that promises more than there is (the fuzzer tries the rest).
    EXPECT_STREQ(parse("000010FFQ512").dati->slots[SLOT_MUNICIPALITY], "Q512");
}

}  // namespace
