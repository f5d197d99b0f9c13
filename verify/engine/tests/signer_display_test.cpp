#include <gtest/gtest.h>

#include "der_builder.h"
#include "signer_display.h"

namespace {

using namespace der_builder;

// The name column, every row of the state table, the summary line, the date.
TEST(SignerDisplay, FollowsTheDisplayRules) {
    EXPECT_EQ(signerNameText("ROSSIX"), "ROSSIX");
    EXPECT_EQ(signerNameText("ROSSI"), "Firma con carta firma");  // more than five characters needed
    EXPECT_EQ(signerNameText(""), "Firma con carta firma");
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
        {0x2000, 2, "30/11/2049"},  // an unknown bit still counts as a finding
        {KEY_USAGE_NOT_SIGNING, 2, "30/11/2049;Chiave non destinata alla firma"},
        {EXTENDED_USE_NOT_SIGNING | CA_NOT_ACCEPTED, 2, "30/11/2049;CA non ammessa;Certificato destinato ad altri usi"},
        {SIGNATURE_INVALID | CERTIFICATE_UNREADABLE, 1, "Firma non valida;certificato illeggibile"},
        {SIGNATURE_INVALID | COUNTER_SIGNATURE_UNREADABLE, 1, "Firma non valida;controfirma illeggibile"},
        // A counter-signature over a signature that did not verify proves nothing.
        {PARENT_NOT_VERIFIED, 2, "30/11/2049;Firma controfirmata non verificata"},
        {PARENT_NOT_VERIFIED | TIMESTAMPED, 2, "30/11/2049;Firma controfirmata non verificata;Marca temporale 01/06/2021 12:00"},
        // Not verifiable: neither valid nor broken; it says so before the date's findings.
        {NOT_VERIFIABLE, 2, "Firma non verificabile (DSA, SHA-256)"},
        {NOT_VERIFIABLE | EXPIRED | CA_NOT_ACCEPTED, 2, "Firma non verificabile (DSA, SHA-256);CA non ammessa"},
        // A time-stamp that counts is no finding; one that does not is.
        {TIMESTAMPED, 0, "30/11/2049;Marca temporale 01/06/2021 12:00"},
        {TIMESTAMPED | CA_NOT_ACCEPTED, 2, "30/11/2049;CA non ammessa;Marca temporale 01/06/2021 12:00"},
        {TIMESTAMP_FAILED | EXPIRED, 2, "Scaduto;Marca temporale non valida"},
        {TIMESTAMP_NOT_ACCEPTED, 2, "30/11/2049;Marca temporale di TSA non ammessa"},
        {TIMESTAMPED | SIGNATURE_INVALID, 1, "Firma non valida"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(statusIcon(r.w), r.icon) << r.w;
        EXPECT_EQ(statusText(r.w, "30/11/2049", "DSA, SHA-256", 0, "01/06/2021 12:00"), r.text) << r.w;
    }
    EXPECT_EQ(statusText(TIMESTAMPED, "30/11/2049", "", 1, "01/06/2021 12:00"),
              "30/11/2049;Marca temporale 01/06/2021 12:00;Controfirma");
    EXPECT_EQ(notVerifiableLine("ECDSA P-521, SHA-512"),
              "Firma non verificabile: algoritmo non supportato (ECDSA P-521, SHA-512)");
    EXPECT_EQ(summaryLine(true, 1), "File non Corrotto; Il file risulta firmato 1 volta");
    EXPECT_EQ(summaryLine(true, 3), "File non Corrotto; Il file risulta firmato 3 volte");
    EXPECT_EQ(summaryLine(false, 2), "File Corrotto o Firma non valida");
    EXPECT_EQ(expiryDateText(1, 2, 2049), "01/02/2049");
}

TEST(PersonalDataName, OtherValuesNameNobody) {
    const uint8_t dnsName[] = {0x30, 0x05, 0x82, 0x03, 'a', '.', 'b'};  // [2] dNSName first
    const uint8_t notGeneralNames[] = {0x04, 0x01, 0x00};
    const uint8_t truncated[] = {0x30, 0x05, 0x81, 0x03, 'a'};
    PersonalDataName name;
    EXPECT_FALSE(readPersonalDataName({dnsName, sizeof dnsName}, &name));
    EXPECT_FALSE(readPersonalDataName({notGeneralNames, sizeof notGeneralNames}, &name));
    EXPECT_FALSE(readPersonalDataName({truncated, sizeof truncated}, &name));
}

TEST(PersonalDataName, OnlyTheFirst255CharactersAreTheRecord) {
    // Record: fields 1..5 with a 200-character surname and name.
    const std::string surname(200, 'S'), name(200, 'N');
    const std::string body = "04Q512" "00" "00" "C8" + surname + "C8" + name;
    char header[7];
    std::snprintf(header, sizeof header, "%06X", static_cast<unsigned>(body.size()));
    const std::string record = header + body;
    const Bytes value = tlv(0x30, tlv(0x81, Bytes(record.begin(), record.end())));
    // Only the first 255 characters of the text are the record: 18 of header,
    // municipality and empty fields, the surname, its length: 35 of the name.
    PersonalDataName read;
    ASSERT_TRUE(readPersonalDataName({value.data(), value.size()}, &read));
    EXPECT_EQ(read.joined(), surname + "/" + std::string(255 - 18 - 200 - 2, 'N') + "/");
}

// A subject Name of the given attributes (dotted-hex type, value), one per RDN.
Bytes subjectOf(const std::vector<std::pair<std::string, std::string>>& attributes) {
    Bytes rdns;
    for (const auto& a : attributes) {
        rdns = cat({rdns, tlv(0x31, tlv(0x30, cat({tlv(0x06, hex(a.first)), tlv(0x0C, Bytes(a.second.begin(), a.second.end()))})))});
    }
    return tlv(0x30, rdns);
}

// An identity card's subject, and what a personal-data record must hold to be its own.
TEST(SubjectsOwnName, SurnameGivenNameAndFiscalCodeMustAllAgree) {
    const std::string SN = "550404", GN = "55042A", SERIAL = "550405", CN = "550403";
    const std::string code = "RSSMRA70A01L736S";
    const Bytes cie = subjectOf({{SN, "ROSSI"}, {GN, "MARIO"}, {SERIAL, "IT:" + code}, {CN, code + "/7420050000000001.x="}});
    const struct { Bytes subject; PersonalDataName name; bool own; } rows[] = {
        {cie, {"ROSSI", "MARIO", code}, true},
        {cie, {"Rossi", "mario", "rssmra70a01l736s"}, true},  // case does not count
        {subjectOf({{SN, "ROSSI"}, {GN, "MARIO"}, {SERIAL, "TINIT-" + code}}), {"ROSSI", "MARIO", code}, true},
        {subjectOf({{SN, "ROSSI"}, {GN, "MARIO"}, {SERIAL, code}}), {"ROSSI", "MARIO", code}, true},
        {subjectOf({{SN, "ROSSI"}, {GN, "MARIO"}, {CN, code}}), {"ROSSI", "MARIO", code}, true},
        {subjectOf({{SN, "ROSSI"}, {GN, "MARIO"}, {CN, code + "X"}}), {"ROSSI", "MARIO", code}, false},
        {cie, {"BIANCHI", "MARIO", code}, false},
        {cie, {"ROSSI", "LAURA", code}, false},
        {cie, {"ROSSI", "MARIO", "BNCLRA82M41L736Z"}, false},
        {cie, {"ROSSI", "MARIO", code.substr(0, 15)}, false},  // a code cut short is another code
        {cie, {"ROSSI", "MARIO", ""}, false},
        {subjectOf({{SN, "ROSSI"}, {SERIAL, code}}), {"ROSSI", "", code}, false},  // no given name
        {subjectOf({{CN, "Anna Neri"}}), {"", "", ""}, false},
        {hex("04 00"), {"ROSSI", "MARIO", code}, false},  // not a Name
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isSubjectsOwnName(row.name, {row.subject.data(), row.subject.size()}), row.own) << row.name.joined();
    }
}

// Names in any of their string types come out as UTF-8: none is lost to a code page.
TEST(SubjectNames, EachStringTypeAsUtf8) {
    const auto attribute = [](const char* type, uint8_t tag, const Bytes& value) {
        return tlv(0x31, tlv(0x30, cat({tlv(0x06, hex(type)), tlv(tag, value)})));
    };
    const Bytes subject = tlv(0x30, cat({attribute("550403", 0x1E, hex("0110 006F 0072 0111 0065 D83D DCC4")),
                                         attribute("550404", 0x14, hex("4DE1 7269 6F")),
                                         attribute("55042A", 0x1C, hex("0000 0420 0000 0443"))}));
    const SubjectNames names = subjectNamesOf({subject.data(), subject.size()});
    EXPECT_EQ(names.commonName, "\xC4\x90or\xC4\x91" "e\xF0\x9F\x93\x84") << "BMPString, a surrogate pair joined";
    EXPECT_EQ(names.surname, "M\xC3\xA1rio") << "TeletexString as Latin-1";
    EXPECT_EQ(names.givenName, "\xD0\xA0\xD1\x83") << "UniversalString";
    const Bytes utf8 = subjectOf({{"550403", "Mário Rössi"}});
    EXPECT_EQ(subjectNamesOf({utf8.data(), utf8.size()}).commonName, "Mário Rössi");
    const Bytes none = hex("04 00");
    EXPECT_EQ(subjectNamesOf({none.data(), none.size()}).surname, "");
}

}  // namespace
