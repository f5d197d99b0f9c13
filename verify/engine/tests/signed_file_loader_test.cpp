// Loading SignedFiles written by the signing engine and by OpenSSL, and the
// state of every kind of signer, with the test PKI's accepted authorities.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "signed_file_loader.h"
#include "der_builder.h"
#include "signer_display.h"
#include "test_card_key.h"

namespace {

using der_builder::cat;
using der_builder::hex;
using der_builder::tlv;

const std::string RECORD =
    "00007604Q5120801012020080101203005ROSSI05MARIO080101197001M0317510RSSMRA70A01L736S03ITA07VALDORA02IT0012VIA ROMA 1 VALDORA00";
const Bytes RECORD_BYTES(RECORD.begin(), RECORD.end());

// The seven accepted authorities, from the test PKI.
class TestPkiAuthorities {
public:
    TestPkiAuthorities() {
        for (int i = 0; i < ACCEPTED_CA_COUNT; ++i) {
            certificates_[i] = readWholeFile(testDataPath("pki/ca/" + std::to_string(FIRST_ACCEPTED_CA_ID + i) + ".der"));
            table_.set(i, certificates_[i].data(), static_cast<uint32_t>(certificates_[i].size()));
        }
    }
    const AcceptedCaTable& table() const { return table_; }
private:
    Bytes certificates_[ACCEPTED_CA_COUNT];
    AcceptedCaTable table_;
};

class SignedFileLoad : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder_ = std::string(temp) + "quill-verify-test";
        CreateDirectoryA(folder_.c_str(), nullptr);
    }

    // Loads `file` (written to a scratch path) into a fresh record.
    int32_t load(const Bytes& file) {
        const std::string path = folder_ + "\\signed.p7m";
        writeWholeFile(path, file);
        return loadPath(path);
    }
    int32_t loadPath(const std::string& path) {
        record_ = std::make_unique<SignedFileRecord>();
        record_->signedPath = path;
        record_->contentPath = folder_ + "\\content.bin";
        DeleteFileA(record_->contentPath.c_str());
        return loadSignedFile(*record_, authorities_.table());
    }
    Bytes content() const { return readWholeFile(record_->contentPath); }

    std::string name(int g) const { return signerNameText(record_->signerNames[g]); }
    std::string state(int g) const {
        return statusText(record_->signerStatus[g], record_->expiryDates[g]);
    }

    TestPkiAuthorities authorities_;
    std::string folder_;
    std::unique_ptr<SignedFileRecord> record_;
};

TEST_F(SignedFileLoad, EngineFileOfACie) {
    const Bytes data(5000, 'd');
    ASSERT_EQ(load(buildSignedFile(loadTestCard("cie140"), data, RECORD_BYTES)), 0);
    EXPECT_EQ(record_->loaded, 1);
    EXPECT_EQ(record_->signerCount, 1);
    EXPECT_EQ(content(), data);
    EXPECT_STREQ(record_->signerNames[0], "ROSSI/MARIO/RSSMRA70A01L736S");
    EXPECT_STREQ(record_->expiryDates[0], "30/11/2049");
    EXPECT_EQ(record_->signerStatus[0], 0u);
    EXPECT_EQ(statusIcon(record_->signerStatus[0]), 0);
    EXPECT_EQ(state(0), "30/11/2049");
    EXPECT_EQ(record_->signerCerts[0], loadTestCard("cie140").certificate);
    EXPECT_EQ(summaryLine(true, record_->signerCount), "File non Corrotto; Il file risulta firmato 1 volta");
}

TEST_F(SignedFileLoad, EngineFileDecodesInTheFirstAttemptAndItsTextFormInTheSecond) {
    const Bytes data(777, 'e');
    const Bytes file = buildSignedFile(loadTestCard("cie141"), data, RECORD_BYTES);
    SignerStatus statuses[MAX_SIGNERS] = {};
    std::vector<ber::Span> pieces;
    ASSERT_EQ(verifyAndExtract({file.data(), file.size()}, statuses, &pieces), 0);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(Bytes(pieces[0].data, pieces[0].data + pieces[0].size), data);
    // The content is the file's own bytes, not a copy.
    EXPECT_GE(pieces[0].data, file.data());
    EXPECT_LE(pieces[0].data + pieces[0].size, file.data() + file.size());

    // As base64 text the DER attempt fails; the load then decodes the text.
    const std::string text = "MIIB" + std::string(40, 'A');
    EXPECT_NE(verifyAndExtract({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, statuses, &pieces), 0);
}

TEST_F(SignedFileLoad, EngineFileAsBase64TextLoadsTheSame) {
    const Bytes data(1234, 'b');
    const Bytes file = buildSignedFile(loadTestCard("cie140"), data, RECORD_BYTES);
    // The platform's encoder: CR LF after every 64 characters.
    DWORD length = 0;
    CryptBinaryToStringA(file.data(), static_cast<DWORD>(file.size()), CRYPT_STRING_BASE64, nullptr, &length);
    std::string text(length, '\0');
    ASSERT_TRUE(CryptBinaryToStringA(file.data(), static_cast<DWORD>(file.size()), CRYPT_STRING_BASE64,
                                     &text[0], &length));
    text.resize(length);
    ASSERT_NE(text.find("\r\n"), std::string::npos);
    ASSERT_EQ(load(Bytes(text.begin(), text.end())), 0);
    EXPECT_EQ(content(), data);
    EXPECT_STREQ(record_->signerNames[0], "ROSSI/MARIO/RSSMRA70A01L736S");
}

TEST_F(SignedFileLoad, EngineFileWithAnEmptyRecordIsNamedByTheCommonName) {
    ASSERT_EQ(load(buildSignedFile(loadTestCard("card144"), Bytes(10, 'x'), {})), 0);
    EXPECT_STREQ(record_->signerNames[0], "Anna Neri");  // "//" is too short
    EXPECT_EQ(name(0), "Anna Neri");
}

TEST_F(SignedFileLoad, CommonNameOfFiveCharactersShowsTheFixedText) {
    ASSERT_EQ(load(buildSignedFile(loadTestCard("cn5"), Bytes(10, 'x'), {})), 0);
    EXPECT_STREQ(record_->signerNames[0], "ROSSI");
    EXPECT_EQ(name(0), "Firma con carta firma");
}

TEST_F(SignedFileLoad, EmptyContentLoads) {
    ASSERT_EQ(load(buildSignedFile(loadTestCard("cie140"), {}, RECORD_BYTES)), 0);
    EXPECT_TRUE(content().empty());
}

// Each row of the state table, from a real signer of the test PKI.
struct StateRow {
    const char* card;
    SignerStatus status;
    int icon;
    const char* text;  // "%" stands for the expiry date
};

class SignerState : public SignedFileLoad, public testing::WithParamInterface<StateRow> {};

TEST_P(SignerState, IsShownAsTheTableSays) {
    const StateRow& row = GetParam();
    ASSERT_EQ(load(buildSignedFile(loadTestCard(row.card), Bytes(100, 's'), {})), 0);
    EXPECT_EQ(record_->signerStatus[0], row.status);
    EXPECT_EQ(statusIcon(record_->signerStatus[0]), row.icon);
    std::string expected = row.text;
    const size_t mark = expected.find('%');
    if (mark != std::string::npos) expected.replace(mark, 1, record_->expiryDates[0]);
    EXPECT_EQ(state(0), expected);
}

void PrintTo(const StateRow& row, std::ostream* out) { *out << row.card; }

INSTANTIATE_TEST_SUITE_P(
    TestPki, SignerState,
    testing::Values(StateRow{"cie142", 0, 0, "%"},
                    StateRow{"card144-2048", 0, 0, "%"},
                    StateRow{"expired", EXPIRED, 2, "Scaduto"},
                    StateRow{"notyet", NOT_YET_VALID, 2, "Non ancora valido"},
                    StateRow{"outsider-card", CA_NOT_ACCEPTED, 2, "%;CA non ammessa"},
                    StateRow{"outsider-expired", EXPIRED | CA_NOT_ACCEPTED, 2, "Scaduto;CA non ammessa"},
                    StateRow{"cie-extra-card", CA_NOT_ACCEPTED, 2, "%;CA non ammessa"},
                    // Names 140 as its issuer, but 140 did not sign it.
                    StateRow{"forged-ca-card", CA_NOT_ACCEPTED, 2, "%;CA non ammessa"}),
    [](const testing::TestParamInfo<StateRow>& info) {
        std::string n = info.param.card;
        for (char& c : n) if (c == '-') c = '_';
        return n;
    });

TEST_F(SignedFileLoad, ExpiryDatesAreTheCertificatesEnd) {
    ASSERT_EQ(load(buildSignedFile(loadTestCard("expired"), Bytes(10, 'x'), {})), 0);
    EXPECT_STREQ(record_->expiryDates[0], "01/01/2011");
}

// The SignerInfo as the signing engine writes it, signed with the card's key.
Bytes engineSignerInfo(const TestCard& card, const Bytes& data, const Bytes& record, bool breakIt = false) {
    Bytes issuer, serial;
    der_builder::issuerAndSerialOf(card.certificate, &issuer, &serial);
    Bytes signature = signContent(card, data.data(), static_cast<uint32_t>(data.size()));
    if (breakIt) signature.back() ^= 1;
    return tlv(0x30, cat({hex("02 01 01"), tlv(0x30, cat({issuer, tlv(0x02, serial)})),
                          hex("30 09 06 05 2B 0E 03 02 1A 05 00"),
                          hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00"), tlv(0x04, signature),
                          tlv(0xA1, tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 09 02"),
                                                   tlv(0x31, tlv(0x30, tlv(0x81, record)))})))}));
}

Bytes signedFile(const Bytes& data, const std::vector<Bytes>& certificates, const std::vector<Bytes>& signers) {
    Bytes certs, infos;
    for (const Bytes& c : certificates) certs = cat({certs, c});
    for (const Bytes& s : signers) infos = cat({infos, s});
    return tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 02"),
                          tlv(0xA0, tlv(0x30, cat({hex("02 01 01"), hex("31 0B 30 09 06 05 2B 0E 03 02 1A 05 00"),
                                                   tlv(0x30, cat({hex("06 09 2A 86 48 86 F7 0D 01 07 01"),
                                                                  tlv(0xA0, tlv(0x04, data))})),
                                                   tlv(0xA0, certs), tlv(0x31, infos)})))}));
}

TEST_F(SignedFileLoad, ForgedCertificateWithTheSignersSerialDoesNotNameTheSigner) {
    // The signer (cie141) carries first another person's certificate with the
    // same serial number (cie140, of another issuer): the name, date and
    // certificate shown must be the signer's own.
    const TestCard victim = loadTestCard("cie140"), signer = loadTestCard("cie141");
    const Bytes data(64, 'f');
    ASSERT_EQ(load(signedFile(data, {victim.certificate, signer.certificate}, {engineSignerInfo(signer, data, {})})), 0);
    EXPECT_EQ(record_->signerCerts[0], signer.certificate);
    EXPECT_EQ(std::string(record_->signerNames[0]).rfind("BNCLRA82M41L736Z", 0), 0u) << record_->signerNames[0];
    EXPECT_EQ(record_->signerStatus[0], 0u);
}

TEST_F(SignedFileLoad, ThreeSignersWithTheSecondBroken) {
    const TestCard a = loadTestCard("cie140"), b = loadTestCard("card144"), c = loadTestCard("cie142");
    const Bytes data(300, 't');
    ASSERT_EQ(load(signedFile(data, {c.certificate, a.certificate, b.certificate},
                              {engineSignerInfo(a, data, RECORD_BYTES), engineSignerInfo(b, data, {}, true),
                               engineSignerInfo(c, data, {})})), 0);
    ASSERT_EQ(record_->signerCount, 3);
    EXPECT_EQ(record_->signerStatus[0], 0u);
    EXPECT_EQ(record_->signerStatus[1], SIGNATURE_INVALID);
    EXPECT_EQ(record_->signerStatus[2], 0u);
    EXPECT_EQ(state(1), "Firma non valida");
    EXPECT_EQ(statusIcon(record_->signerStatus[1]), 1);
    // Each has its own certificate, whatever the order in the message.
    EXPECT_EQ(record_->signerCerts[0], a.certificate);
    EXPECT_EQ(record_->signerCerts[1], b.certificate);
    EXPECT_EQ(record_->signerCerts[2], c.certificate);
    EXPECT_EQ(summaryLine(true, 3), "File non Corrotto; Il file risulta firmato 3 volte");
}

TEST_F(SignedFileLoad, FirstSignatureBrokenFailsTheWholeFile) {
    const TestCard a = loadTestCard("cie140"), b = loadTestCard("card144");
    const Bytes data(300, 't');
    EXPECT_EQ(load(signedFile(data, {a.certificate, b.certificate},
                              {engineSignerInfo(a, data, RECORD_BYTES, true), engineSignerInfo(b, data, {})})),
              LOAD_ERR_UNDECODABLE);
    EXPECT_EQ(record_->loaded, 0);
    EXPECT_EQ(GetFileAttributesA(record_->contentPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SignedFileLoad, TwoSignersSharingACertificateEachGetIt) {
    const TestCard a = loadTestCard("cie140");
    const Bytes data(30, 'q');
    ASSERT_EQ(load(signedFile(data, {a.certificate}, {engineSignerInfo(a, data, RECORD_BYTES),
                                                     engineSignerInfo(a, data, RECORD_BYTES)})), 0);
    EXPECT_EQ(record_->signerCerts[0], a.certificate);
    EXPECT_EQ(record_->signerCerts[1], a.certificate);
    EXPECT_STREQ(record_->signerNames[1], record_->signerNames[0]);
    EXPECT_STREQ(record_->expiryDates[1], record_->expiryDates[0]);
}

TEST_F(SignedFileLoad, MoreThanAHundredSignersIsRefused) {
    const TestCard a = loadTestCard("cie140");
    const Bytes data(30, 'q');
    const Bytes one = engineSignerInfo(a, data, {});
    EXPECT_EQ(load(signedFile(data, {a.certificate}, std::vector<Bytes>(100, one))), 0);
    EXPECT_EQ(record_->signerCount, 100);
    EXPECT_NE(load(signedFile(data, {a.certificate}, std::vector<Bytes>(101, one))), 0);
    EXPECT_EQ(record_->loaded, 0);
}

TEST_F(SignedFileLoad, MissingFileAndUnwritableContent) {
    EXPECT_EQ(loadPath(folder_ + "\\absent.p7m"), LOAD_ERR_UNREADABLE);
    const std::string path = folder_ + "\\good.p7m";
    writeWholeFile(path, buildSignedFile(loadTestCard("cie140"), Bytes(10, 'x'), RECORD_BYTES));
    record_ = std::make_unique<SignedFileRecord>();
    record_->signedPath = path;
    record_->contentPath = folder_ + "\\no such folder\\content.bin";
    EXPECT_NE(loadSignedFile(*record_, authorities_.table()), 0);
    EXPECT_EQ(record_->loaded, 0);
    // The signatures verified: the certificate is there all the same.
    EXPECT_FALSE(record_->signerCerts[0].empty());
}

// The files of scripts/make-peer-signed-files, as its manifest says.
TEST_F(SignedFileLoad, FilesMadeByOpenSsl) {
    std::ifstream manifest(std::string(QUILL_PEER_FILES_DIR) + "/manifest.txt");
    ASSERT_TRUE(manifest) << "no manifest in " << QUILL_PEER_FILES_DIR;
    const Bytes expectedContent = readWholeFile(std::string(QUILL_PEER_FILES_DIR) + "/content.bin");
    std::string line;
    int files = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name, outcome, statuses;
        fields >> name >> outcome >> statuses;
        SCOPED_TRACE(name);
        const int32_t result = loadPath(std::string(QUILL_PEER_FILES_DIR) + "/" + name);
        ++files;
        if (outcome == "fail") {
            EXPECT_NE(result, 0);
            EXPECT_EQ(record_->loaded, 0);
            continue;
        }
        ASSERT_EQ(result, 0);
        EXPECT_EQ(content(), expectedContent);
        std::istringstream words(statuses);
        std::string word;
        int g = 0;
        while (std::getline(words, word, ',')) {
            // The peer's cards are all accepted and valid: only the signature bit.
            EXPECT_EQ(record_->signerStatus[g], std::stoul(word, nullptr, 16)) << "signer " << g;
            EXPECT_STRNE(record_->expiryDates[g], "");
            ++g;
        }
        EXPECT_EQ(record_->signerCount, g);
    }
    EXPECT_GE(files, 20);
}

// A few thousand truncated and mutated SignedFiles: each must fail or load
// with sound states, never crash.
TEST_F(SignedFileLoad, SurvivesTruncatedAndMutatedFiles) {
    const Bytes engine = buildSignedFile(loadTestCard("cie140"), Bytes(200, 'm'), RECORD_BYTES);
    const Bytes peer = readWholeFile(std::string(QUILL_PEER_FILES_DIR) + "/cms-stream-attrs.p7m");
    uint32_t x = 12345;
    auto random = [&x](uint32_t n) { x = x * 1103515245u + 12345u; return (x >> 8) % n; };
    int loaded = 0;
    for (int i = 0; i < 3000; ++i) {
        Bytes file = (i % 2 ? engine : peer);
        switch (i % 3) {
        case 0: file.resize(random(static_cast<uint32_t>(file.size()))); break;
        case 1: for (int k = 0, n = 1 + random(4); k < n; ++k) file[random(static_cast<uint32_t>(file.size()))] ^= static_cast<uint8_t>(1 + random(255)); break;
        case 2: file.insert(file.begin() + random(static_cast<uint32_t>(file.size())), static_cast<uint8_t>(random(256))); break;
        }
        if (load(file) == 0) {
            ++loaded;
            ASSERT_GE(record_->signerCount, 1);
            ASSERT_LE(record_->signerCount, 100);
            for (int g = 0; g < record_->signerCount; ++g) {
                ASSERT_EQ(record_->signerStatus[g] & ~(SIGNATURE_INVALID | NOT_YET_VALID | EXPIRED | CA_NOT_ACCEPTED), 0u);
            }
        }
    }
    // Flips in the content or certificate bytes break signatures; some
    // mutations hit bytes that nothing covers (the unsigned attribute).
    EXPECT_LT(loaded, 3000);
}

}  // namespace
