#include <gtest/gtest.h>

#include "signer_display.h"

namespace {

TEST(SignerDisplay, NameColumnNeedsMoreThanFiveCharacters) {
    EXPECT_EQ(signerNameText("ROSSI/MARIO/RSSMRA70A01L736S"), "ROSSI/MARIO/RSSMRA70A01L736S");
    EXPECT_EQ(signerNameText("ROSSIX"), "ROSSIX");
    EXPECT_EQ(signerNameText("ROSSI"), "Firma con carta firma");
    EXPECT_EQ(signerNameText("//"), "Firma con carta firma");
    EXPECT_EQ(signerNameText(""), "Firma con carta firma");
}

TEST(SignerDisplay, EveryRowOfTheStateTable) {
    const char* d = "30/11/2049";
    struct Row { SignerStatus w; int icon; const char* text; };
    const Row rows[] = {
        {0, 0, "30/11/2049"},
        {SIGNATURE_INVALID, 1, "Firma non valida"},
        {SIGNATURE_INVALID | EXPIRED | CA_NOT_ACCEPTED, 1, "Firma non valida"},
        {EXPIRED, 2, "Scaduto"},
        {NOT_YET_VALID, 2, "Non ancora valido"},
        {CA_NOT_ACCEPTED, 2, "30/11/2049;CA non ammessa"},
        {EXPIRED | CA_NOT_ACCEPTED, 2, "Scaduto;CA non ammessa"},
        {NOT_YET_VALID | CA_NOT_ACCEPTED, 2, "Non ancora valido;CA non ammessa"},
        {0x100, 2, "30/11/2049"},  // an unknown bit still counts as a finding
    };
    for (const Row& r : rows) {
        EXPECT_EQ(statusIcon(r.w), r.icon) << r.w;
        EXPECT_EQ(statusText(r.w, d), r.text) << r.w;
    }
}

TEST(SignerDisplay, SummaryLineAndExpiryDate) {
    EXPECT_EQ(summaryLine(true, 1), "File non Corrotto; Il file risulta firmato 1 volta");
    EXPECT_EQ(summaryLine(true, 3), "File non Corrotto; Il file risulta firmato 3 volte");
    EXPECT_EQ(summaryLine(true, 0), "File non Corrotto; Il file risulta firmato 0 volte");
    EXPECT_EQ(summaryLine(false, 2), "File Corrotto o Firma non valida");
    EXPECT_EQ(expiryDateText(1, 2, 2049), "01/02/2049");
    EXPECT_EQ(expiryDateText(30, 11, 999), "30/11/999");
}

TEST(PersonalDataName, LeavesTheSlotAloneForOtherValues) {
    const uint8_t dnsName[] = {0x30, 0x05, 0x82, 0x03, 'a', '.', 'b'};  // [2] dNSName first
    const uint8_t notGeneralNames[] = {0x04, 0x01, 0x00};
    const uint8_t truncated[] = {0x30, 0x05, 0x81, 0x03, 'a'};
    char slot[512] = "before";
    EXPECT_FALSE(personalDataName({dnsName, sizeof dnsName}, slot, sizeof slot));
    EXPECT_FALSE(personalDataName({notGeneralNames, sizeof notGeneralNames}, slot, sizeof slot));
    EXPECT_FALSE(personalDataName({truncated, sizeof truncated}, slot, sizeof slot));
    EXPECT_STREQ(slot, "before");
}

TEST(PersonalDataName, LongFieldsAreCutToTheSlot) {
    // Record: fields 1..5 with a 200-character surname and name.
    std::string surname(200, 'S'), name(200, 'N');
    std::string body = "04Q512" "00" "00" "C8" + surname + "C8" + name;
    char header[7];
    std::snprintf(header, sizeof header, "%06X", static_cast<unsigned>(body.size()));
    const std::string record = header + body;
    std::vector<uint8_t> value = {0x30, 0x82, 0, 0, 0x81, 0x82, 0, 0};
    value[4 + 2] = static_cast<uint8_t>(record.size() >> 8);
    value[4 + 3] = static_cast<uint8_t>(record.size());
    value.insert(value.end(), record.begin(), record.end());
    value[2] = static_cast<uint8_t>((value.size() - 4) >> 8);
    value[3] = static_cast<uint8_t>(value.size() - 4);
    char slot[64];
    ASSERT_TRUE(personalDataName({value.data(), value.size()}, slot, sizeof slot));
    EXPECT_EQ(std::string(slot), std::string(63, 'S'));
    // Only the first 255 characters of the text are the record: 18 of header,
    // municipality and empty fields, the surname, its length: 35 of the name.
    char wide[512];
    ASSERT_TRUE(personalDataName({value.data(), value.size()}, wide, sizeof wide));
    EXPECT_EQ(std::string(wide), surname + "/" + std::string(255 - 18 - 200 - 2, 'N') + "/");
}

}  // namespace
