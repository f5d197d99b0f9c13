// Loading SignedFiles written by the signing engine, built here with the test
// PKI's keys, and made by OpenSSL; the name and state of every kind of signer,
// with the test PKI's accepted authorities.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "signed_data_builder.h"
#include "signed_file_loader.h"
#include "signer_details.h"
#include "signer_display.h"
#include "test_card_key.h"
#include "test_pki_authorities.h"

namespace {

using namespace der_builder;

const std::string RECORD =
    "00007604Q5120801012020080101203005ROSSI05MARIO080101197001M0317510RSSMRA70A01L736S03ITA07VALDORA02IT0012VIA ROMA 1 VALDORA00";
// The same record naming another person of the test PKI (cie141's holder).
const std::string FORGED_RECORD =
    "00007804Q5120801012020080101203007BIANCHI05LAURA080101197001F0317510BNCLRA82M41L736Z03ITA07VALDORA02IT0012VIA ROMA 1 VALDORA00";
const Bytes RECORD_BYTES(RECORD.begin(), RECORD.end());

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
    int32_t loadPath(const std::string& path, const std::string& contentName = "content.bin") {
        record_ = std::make_unique<SignedFileRecord>();
        record_->signedPath = path;
        record_->contentPath = folder_ + "\\" + contentName;
        DeleteFileA(record_->contentPath.c_str());
        return loadSignedFile(*record_, authorities_.table());
    }
    Bytes content() const { return readWholeFile(record_->contentPath); }
    std::string name(int g) const { return signerNameText(record_->signerNames[g]); }
    std::string state(int g) const { return statusText(record_->signerStatus[g], record_->expiryDates[g]); }

    TestPkiAuthorities authorities_;
    std::string folder_;
    std::unique_ptr<SignedFileRecord> record_;
};

// The signing engine's file of a CIE (the base64 forms are among OpenSSL's files).
TEST_F(SignedFileLoad, EngineFileOfACie) {
    const Bytes data(5000, 'd');
    ASSERT_EQ(load(buildSignedFile(loadTestCard("cie140"), data, RECORD_BYTES)), 0);
    EXPECT_EQ(record_->loaded, 1);
    EXPECT_EQ(record_->signerCount, 1);
    EXPECT_EQ(content(), data);
    EXPECT_STREQ(record_->signerNames[0], "ROSSI/MARIO/RSSMRA70A01L736S");
    EXPECT_EQ(record_->signerStatus[0], 0u);
    EXPECT_EQ(state(0), "30/11/2049");
    EXPECT_EQ(record_->signerCerts[0], loadTestCard("cie140").certificate);
    ASSERT_EQ(load(buildSignedFile(loadTestCard("cie140"), {}, RECORD_BYTES)), 0);
    EXPECT_TRUE(content().empty()) << "empty content is content";
}

// The engine's CAdES file: the same name and state, and its signing time.
TEST_F(SignedFileLoad, EngineCadesFileOfACie) {
    const Bytes data(5000, 'd');
    ASSERT_EQ(load(buildCadesSignedFile(loadTestCard("cie140"), data, RECORD_BYTES)), 0);
    EXPECT_EQ(content(), data);
    EXPECT_STREQ(record_->signerNames[0], "ROSSI/MARIO/RSSMRA70A01L736S");
    EXPECT_EQ(record_->signerStatus[0], 0u);
    EXPECT_EQ(state(0), "30/11/2049");
    EXPECT_EQ(record_->signingTimes[0].size(), std::string("dd/mm/yyyy hh:mm").size()) << record_->signingTimes[0];
}

// The signing time shows as local time, from either form of time, only when
// a signature that verified covers it.
TEST_F(SignedFileLoad, SigningTimeShowsOnlyWhenAVerifiedSignatureCoversIt) {
    const TestCard card = loadTestCard("cie140");
    const Bytes data(300, 't');
    const Bytes basics = cat({contentTypeAttribute(DATA_OID), messageDigestAttribute(sha1Digest(data))});
    auto signingTime = [](uint8_t tag, const std::string& text) {
        return attribute("2A864886F70D010905", tlv(tag, Bytes(text.begin(), text.end())));
    };
    auto local = [](WORD year, WORD month, WORD day, WORD hour, WORD minute) {
        const SYSTEMTIME utc = {year, month, 0, day, hour, minute, 0, 0};
        SYSTEMTIME shown;
        SystemTimeToTzSpecificLocalTime(nullptr, &utc, &shown);
        return signingTimeText(shown.wDay, shown.wMonth, shown.wYear, shown.wHour, shown.wMinute);
    };
    const struct { const char* what; Bytes attribute; std::string shown; } rows[] = {
        {"UTCTime", signingTime(0x17, "261207201503Z"), local(2026, 12, 7, 20, 15)},
        {"GeneralizedTime", signingTime(0x18, "20500101000000Z"), local(2050, 1, 1, 0, 0)},
        {"not a time", signingTime(0x17, "domani"), ""},
        {"none", {}, ""},
    };
    for (const auto& row : rows) {
        const Signer signer = signerOf(card, data, cat({basics, row.attribute}));
        ASSERT_EQ(load(signedData(dataContent(data), {card.certificate}, {signerInfo(signer)})), 0) << row.what;
        EXPECT_EQ(record_->signingTimes[0], row.shown) << row.what;
    }
    // Unsigned, or under a second signature that is broken, it names nothing.
    Signer unsignedTime = signerOf(card, data, basics), broken = signerOf(card, data, cat({basics, rows[0].attribute}));
    unsignedTime.unsignedAttributes = rows[0].attribute;
    broken.signature.back() ^= 0x01;
    ASSERT_EQ(load(signedData(dataContent(data), {card.certificate}, {signerInfo(unsignedTime), signerInfo(broken)})), 0);
    EXPECT_EQ(record_->signingTimes[0], "");
    EXPECT_EQ(record_->signerStatus[1], SIGNATURE_INVALID);
    EXPECT_EQ(record_->signingTimes[1], "");
}

// The name column: a personal-data record names the signer only when it is
// the certificate's own; otherwise, or when it is empty, the common name does.
TEST_F(SignedFileLoad, NameComesFromTheRecordOnlyWhenItIsTheCertificatesOwn) {
    const struct { const char* card; std::string record; const char* name; } rows[] = {
        {"cie140", RECORD, "ROSSI/MARIO/RSSMRA70A01L736S"},
        {"cie141", FORGED_RECORD, "BIANCHI/LAURA/BNCLRA82M41L736Z"},
        {"cie140", FORGED_RECORD, "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw="},
        {"card144", RECORD, "Anna Neri"},
        {"card144", "", "Anna Neri"},              // "//" is too short
        {"cn5", "", "Firma con carta firma"},     // a common name of five characters
    };
    for (const auto& row : rows) {
        ASSERT_EQ(load(buildSignedFile(loadTestCard(row.card), Bytes(10, 'x'), Bytes(row.record.begin(), row.record.end()))), 0);
        EXPECT_EQ(name(0), row.name) << row.card;
        EXPECT_EQ(record_->signerStatus[0], 0u) << row.card;
    }
}

// Signed attributes must carry the content's digest and type, one value each;
// a signed personal-data record, like an unsigned one, names the signer only
// when it is the certificate's own.
TEST_F(SignedFileLoad, SignedAttributesMustFitTheContent) {
    const TestCard card = loadTestCard("cie140");
    const Bytes data(700, 'a'), changed(700, 'b');
    const Bytes type = contentTypeAttribute(DATA_OID), digest = messageDigestAttribute(sha1Digest(data));
    const Bytes signedRecord = personalDataAttribute(FORGED_RECORD, true);
    const struct { const char* what; Bytes attributes; Bytes content; int32_t result; const char* name; } rows[] = {
        {"fitting", cat({type, digest}), data, 0, "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw="},
        {"signed record of another person", cat({type, digest, signedRecord}), data, 0,
         "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw="},
        {"content changed", cat({type, digest}), changed, LOAD_ERR_SIGNATURE_BROKEN, ""},
        {"no digest", type, data, LOAD_ERR_SIGNATURE_BROKEN, ""},
        {"digest of other content", cat({type, messageDigestAttribute(sha1Digest(changed))}), data,
         LOAD_ERR_SIGNATURE_BROKEN, ""},
        {"no content type", digest, data, LOAD_ERR_SIGNATURE_BROKEN, ""},
        {"another content type", cat({contentTypeAttribute(hex("06 09 2A 86 48 86 F7 0D 01 07 02")), digest}), data,
         LOAD_ERR_SIGNATURE_BROKEN, ""},
        {"two content types", cat({attribute("2A864886F70D010903", cat({DATA_OID, DATA_OID})), digest}), data,
         LOAD_ERR_SIGNATURE_BROKEN, ""},
    };
    for (const auto& row : rows) {
        Signer signer = signerOf(card, data, row.attributes);
        signer.unsignedAttributes = personalDataAttribute(FORGED_RECORD);
        EXPECT_EQ(load(signedData(dataContent(row.content), {card.certificate}, {signerInfo(signer)})), row.result)
            << row.what;
        if (row.result == 0) {
            EXPECT_EQ(name(0), row.name) << row.what;
        }
    }
}

// Each row of the state table, from a real signer of the test PKI.
TEST_F(SignedFileLoad, EachKindOfCertificateShowsItsState) {
    const struct { const char* card; SignerStatus status; const char* text; } rows[] = {
        {"cie142", 0, "30/11/2049"},
        {"expired", EXPIRED, "Scaduto"},
        {"notyet", NOT_YET_VALID, "Non ancora valido"},
        {"outsider-card", CA_NOT_ACCEPTED, ";CA non ammessa"},
        {"outsider-expired", EXPIRED | CA_NOT_ACCEPTED, "Scaduto;CA non ammessa"},
        {"cie-extra-card", CA_NOT_ACCEPTED, ";CA non ammessa"},  // issued by a subordinate of 143
        {"forged-ca-card", CA_NOT_ACCEPTED, ";CA non ammessa"},  // names 140, which did not sign it
        // A time-stamping authority's key, of an accepted authority, signing a document.
        {"tsa", EXTENDED_USE_NOT_SIGNING, "30/11/2049;Certificato destinato ad altri usi"},
        {"tsa-two-usages", EXTENDED_USE_NOT_SIGNING, ";Certificato destinato ad altri usi"},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(load(buildSignedFile(loadTestCard(row.card), Bytes(100, 's'), {})), 0) << row.card;
        EXPECT_EQ(record_->signerStatus[0], row.status) << row.card;
        EXPECT_NE(state(0).find(row.text), std::string::npos) << row.card << ": " << state(0);
    }
    EXPECT_STREQ(record_->expiryDates[0], "30/11/2049");  // tsa-two-usages
    ASSERT_EQ(load(buildSignedFile(loadTestCard("expired"), Bytes(10, 'x'), {})), 0);
    EXPECT_STREQ(record_->expiryDates[0], "01/01/2011");
}

// The issuer the revocation check trusts for a signer's list: the accepted
// authority that signed the certificate, else a certificate of the file whose
// key verifies it (a namesake that did not sign it is passed over), else none.
TEST_F(SignedFileLoad, EachSignerKnowsItsIssuerWhenItCan) {
    const Bytes ca140 = readWholeFile(testDataPath("pki/ca/140.der"));
    const Bytes cieExtra = readWholeFile(testDataPath("pki/ca/cie-extra.der"));
    const Bytes forged140 = readWholeFile(testDataPath("pki/ca/forged-140.der"));
    const Bytes data(50, 'i');
    const struct { const char* card; std::vector<Bytes> carried; Bytes issuer; } rows[] = {
        {"cie140", {}, ca140},
        {"cie-extra-card", {cieExtra}, cieExtra},
        {"forged-ca-card", {ca140, forged140}, forged140},
        {"cie-extra-card", {}, {}},
        {"outsider-card", {ca140}, {}},
    };
    for (const auto& row : rows) {
        const TestCard card = loadTestCard(row.card);
        std::vector<Bytes> certificates = row.carried;
        certificates.insert(certificates.begin(), card.certificate);
        ASSERT_EQ(load(signedData(dataContent(data), certificates, {signerInfo(signerOf(card, data))})), 0) << row.card;
        EXPECT_EQ(record_->issuerCerts[0], row.issuer) << row.card << " carrying " << row.carried.size();
    }
}

// At the exact end of validity a certificate has expired; at its exact start
// it is not yet valid.
TEST(ValidityStatus, BoundariesAreExact) {
    const Bytes der = loadTestCard("cie140").certificate;
    PCCERT_CONTEXT c = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    ASSERT_NE(c, nullptr);
    auto at = [&c](FILETIME t, int64_t ticks) {
        ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
        v.QuadPart += ticks;
        return validityStatus(*c->pCertInfo, FILETIME{v.LowPart, v.HighPart});
    };
    EXPECT_EQ(at(c->pCertInfo->NotBefore, 0), NOT_YET_VALID);
    EXPECT_EQ(at(c->pCertInfo->NotBefore, 1), 0u);
    EXPECT_EQ(at(c->pCertInfo->NotAfter, -1), 0u);
    EXPECT_EQ(at(c->pCertInfo->NotAfter, 0), EXPIRED);
    CertFreeCertificateContext(c);
}

// Four signers in one file, their certificates in another order: the second
// signature is broken; the third's certificate is not in the file, so the
// last one stands in and its record is not read; the fourth (cie141) shares
// its serial number with the first's certificate (cie140, another issuer),
// which comes first and must not be taken for its own. (A broken first
// signature fails the file: OpenSSL's files show it.)
TEST_F(SignedFileLoad, EachSignerHasItsOwnCertificateAndLaterFailuresDoNotFailTheFile) {
    const TestCard a = loadTestCard("cie140"), b = loadTestCard("card144"), c = loadTestCard("cie142");
    const TestCard d = loadTestCard("cie141");
    const Bytes data(300, 't');
    Signer first = signerOf(a, data), third = signerOf(c, data), fourth = signerOf(d, data);
    first.unsignedAttributes = personalDataAttribute(RECORD);
    third.unsignedAttributes = fourth.unsignedAttributes = personalDataAttribute(FORGED_RECORD);
    ASSERT_EQ(load(signedData(dataContent(data), {a.certificate, b.certificate, d.certificate},
                              {signerInfo(first), signerInfo(signerOf(b, data, {}, true)), signerInfo(third),
                               signerInfo(fourth)})), 0);
    ASSERT_EQ(record_->signerCount, 4);
    const SignerStatus statuses[] = {0, SIGNATURE_INVALID, SIGNATURE_INVALID, 0};
    const Bytes* certificates[] = {&a.certificate, &b.certificate, &d.certificate, &d.certificate};
    const char* names[] = {"ROSSI/MARIO/RSSMRA70A01L736S", "Anna Neri",
                           "BNCLRA82M41L736Z/7420050000000002.aB3cD4eF5gH6iJ7kL8mN9oP0qR=", "BIANCHI/LAURA/BNCLRA82M41L736Z"};
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(record_->signerStatus[g], statuses[g]) << g;
        EXPECT_EQ(record_->signerCerts[g], *certificates[g]) << g;
        EXPECT_EQ(name(g), names[g]) << g;
    }
}

// Counter-signatures: each counter-signer is a row of its own under its
// parent, verified against the parent's signature value; a broken one is
// red and leaves its parent's verdict alone, and none decides whether the
// file loads.
TEST_F(SignedFileLoad, CounterSignersAreRowsOfTheirOwnUnderTheirParents) {
    const TestCard citizen = loadTestCard("cie140"), official = loadTestCard("card144"),
                   chief = loadTestCard("card144-2048"), expired = loadTestCard("expired"),
                   second = loadTestCard("card144-4096");
    const Bytes data(3000, 'c');
    Signer parent = signerOf(citizen, data);
    parent.unsignedAttributes = personalDataAttribute(RECORD);
    Signer countersigned = counterSignerOf(official, parent);
    countersigned.unsignedAttributes = counterSignatureAttribute({counterSignerOf(chief, countersigned, false)});
    // Over the content instead of the parent's signature: the digest does not match.
    const Signer misdirected = counterSignerOf(expired, parent, true, &data);
    parent.unsignedAttributes =
        cat({parent.unsignedAttributes, counterSignatureAttribute({countersigned, misdirected})});
    const std::vector<Bytes> certificates = {citizen.certificate, official.certificate, chief.certificate,
                                             expired.certificate, second.certificate};
    ASSERT_EQ(load(signedData(dataContent(data), certificates, {signerInfo(parent), signerInfo(signerOf(second, data))})),
              0);
    EXPECT_EQ(content(), data);
    ASSERT_EQ(record_->signerCount, 5);
    const struct {
        const char* name;
        const char* state;
        int icon;
    } rows[] = {
        {"ROSSI/MARIO/RSSMRA70A01L736S", "30/11/2049", 0},
        {"\xBB Anna Neri", "30/11/2049;Controfirma", 0},
        {"\xBB \xBB Paolo Gialli", "30/11/2049;Controfirma", 0},
        {"\xBB Carlo Scaduti", "Firma non valida;Controfirma", 1},
        {"Elena Blu", "30/11/2049", 0},
    };
    for (int g = 0; g < 5; ++g) {
        SCOPED_TRACE(g);
        EXPECT_EQ(signerNameText(record_->signerNames[g], record_->signerDepths[g]), rows[g].name);
        const SignerStatus status = record_->signerStatus[g];
        EXPECT_EQ(statusText(status, record_->expiryDates[g], record_->unverifiedAlgorithms[g], record_->signerDepths[g]),
                  rows[g].state);
        EXPECT_EQ(statusIcon(status), rows[g].icon);
        EXPECT_EQ(record_->signerCerts[g], certificates[g]);
    }
    EXPECT_EQ(summaryLine(true, record_->signerCount), "File non Corrotto; Il file risulta firmato 5 volte");

    // A counter-signature of a broken first signer does not make the file load,
    // and a counter-signer's certificate must be in the file like any other.
    Signer broken = signerOf(citizen, data, {}, true);
    broken.unsignedAttributes = counterSignatureAttribute({counterSignerOf(official, broken)});
    EXPECT_NE(load(signedData(dataContent(data), certificates, {signerInfo(broken)})), 0);
    parent.unsignedAttributes = counterSignatureAttribute({counterSignerOf(official, parent)});
    ASSERT_EQ(load(signedData(dataContent(data), {citizen.certificate}, {signerInfo(parent)})), 0);
    EXPECT_EQ(record_->signerStatus[0], 0u);
    EXPECT_EQ(record_->signerStatus[1], SIGNATURE_INVALID);
}

// Time-stamp tokens: one that counts shows its time, and the certificate is
// judged at that time; one that fails any check is named, and the signer is
// judged as if it had none.
TEST_F(SignedFileLoad, ATimestampThatCountsJudgesTheCertificateAtItsTime) {
    const std::string peer = std::string(QUILL_PEER_FILES_DIR) + "/";
    const Bytes data = readWholeFile(peer + "ts-content.bin");
    const TestCard expired = loadTestCard("expired-2023"), current = loadTestCard("cie140");
    const Signer other = signerOf(current, data);
    const Bytes otherSignature = other.signature;
    struct Case {
        const char* what;
        const TestCard* card;
        Bytes token;  // empty: none
        SignerStatus status;
        std::string statePrefix;
    };
    const Signer stampedExpired = signerOf(expired, data);
    // OpenSSL's signature is the same value: its tokens stamp these signatures.
    ASSERT_EQ(stampedExpired.signature, readWholeFile(peer + "ts-signature-expired-2023.bin"));
    ASSERT_EQ(other.signature, readWholeFile(peer + "ts-signature-cie140.bin"));
    const auto token = [&](TokenRecipe recipe) { return timestampToken(stampedExpired, recipe); };
    const Case cases[] = {
        {"no token", &expired, {}, EXPIRED, "Scaduto"},
        {"stamped in its valid years", &expired, token({}), TIMESTAMPED, "01/01/2023;Marca temporale 01/06/2021 "},
        {"stamped today by openssl ts", &expired, readWholeFile(peer + "ts-token-expired-2023.der"),
         TIMESTAMPED | EXPIRED, "Scaduto;Marca temporale "},
        {"a current card stamped today", &current, readWholeFile(peer + "ts-token-cie140.der"), TIMESTAMPED,
         "30/11/2049;Marca temporale "},
        {"over another signature", &expired, token({"tsa", "20210601120000Z", &otherSignature}),
         EXPIRED | TIMESTAMP_FAILED, "Scaduto;Marca temporale non valida"},
        {"by a card without the usage", &expired, token({"card144"}), EXPIRED | TIMESTAMP_FAILED,
         "Scaduto;Marca temporale non valida"},
        {"the usage not critical", &expired, token({"tsa-noncritical"}), EXPIRED | TIMESTAMP_FAILED,
         "Scaduto;Marca temporale non valida"},
        {"the usage beside another", &expired, token({"tsa-two-usages"}), EXPIRED | TIMESTAMP_FAILED,
         "Scaduto;Marca temporale non valida"},
        {"the authority's signature broken", &expired, token({"tsa", "20210601120000Z", nullptr, true, true}),
         EXPIRED | TIMESTAMP_FAILED, "Scaduto;Marca temporale non valida"},
        {"no signing-certificate attribute", &expired, token({"tsa", "20210601120000Z", nullptr, false}),
         EXPIRED | TIMESTAMP_FAILED, "Scaduto;Marca temporale non valida"},
        {"before the authority's own validity", &expired, token({"tsa", "20191201120000Z"}),
         EXPIRED | TIMESTAMP_FAILED, "Scaduto;Marca temporale non valida"},
        {"an authority not accepted", &expired, token({"tsa-outsider"}), EXPIRED | TIMESTAMP_NOT_ACCEPTED,
         "Scaduto;Marca temporale di TSA non ammessa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Signer signer = c.card == &expired ? stampedExpired : other;
        if (!c.token.empty()) signer.unsignedAttributes = timestampAttribute(c.token);
        ASSERT_EQ(load(signedData(dataContent(data), {c.card->certificate}, {signerInfo(signer)})), 0);
        EXPECT_EQ(record_->signerStatus[0], c.status);
        const std::string text = signerStateText(*record_, 0);
        EXPECT_EQ(text.substr(0, c.statePrefix.size()), c.statePrefix) << text;
        EXPECT_EQ(statusIcon(c.status), c.status == TIMESTAMPED ? 0 : 2);
        EXPECT_EQ(record_->timestampTimes[0].empty(), !(c.status & TIMESTAMPED));
    }

    // A signer with both a token and a counter-signature: each row its own.
    Signer both = stampedExpired;
    both.unsignedAttributes = cat({timestampAttribute(token({})),
                                   counterSignatureAttribute({counterSignerOf(current, stampedExpired)})});
    ASSERT_EQ(load(signedData(dataContent(data), {expired.certificate, current.certificate}, {signerInfo(both)})), 0);
    ASSERT_EQ(record_->signerCount, 2);
    EXPECT_EQ(record_->signerStatus[0], TIMESTAMPED);
    EXPECT_EQ(signerStateText(*record_, 1), "30/11/2049;Controfirma");
}

TEST_F(SignedFileLoad, FilesOpenElsewhereMissingOrWithoutRoomForTheContent) {
    EXPECT_EQ(loadPath(folder_ + "\\absent.p7m"), LOAD_ERR_UNREADABLE);

    // A file that the mail program still holds open for writing loads.
    const std::string path = folder_ + "\\held.p7m";
    writeWholeFile(path, buildSignedFile(loadTestCard("cie140"), Bytes(10, 'x'), RECORD_BYTES));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(loadPath(path), 0);
    CloseHandle(held);

    // The content cannot be written: the load fails, yet the signers' details
    // were read whole, so their certificates are there.
    EXPECT_NE(loadPath(path, "no such folder\\content.bin"), 0);
    EXPECT_EQ(record_->loaded, 0);
    EXPECT_EQ(record_->signerCerts[0], loadTestCard("cie140").certificate);
}

// The SHA-256 (or SHA-512, or MD5) of bytes, by the platform.
Bytes platformDigest(const Bytes& bytes, ALG_ID algorithm = CALG_SHA_256) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    Bytes digest(64);
    DWORD size = static_cast<DWORD>(digest.size());
    CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
    CryptCreateHash(provider, algorithm, 0, 0, &hash);
    CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0);
    CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0);
    digest.resize(size);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return digest;
}

// signing-certificate (v1, SHA-1) or -v2: one certificate reference, with
// the issuer as a directory name and the serial when both are given.
Bytes signingCertificate(bool v2, const Bytes& hash, const Bytes& issuer = {}, const Bytes& serial = {},
                         const Bytes& algorithm = {}) {
    const Bytes issuerSerial =
        issuer.empty() ? Bytes{} : tlv(0x30, cat({tlv(0x30, tlv(0xA4, issuer)), tlv(0x02, serial)}));
    const Bytes id = tlv(0x30, cat({algorithm, tlv(0x04, hash), issuerSerial}));
    return attribute(v2 ? "2A864886F70D010910022F" : "2A864886F70D010910020C", tlv(0x30, tlv(0x30, id)));
}

// A signed signing-certificate attribute binds the signature to the
// certificate it names: another certificate, issuer or serial number in it
// and the signature does not verify; an unsigned one binds nothing.
TEST_F(SignedFileLoad, SigningCertificateAttributeBindsTheCertificate) {
    // cie141 is of another authority; serial00 has another serial number (cie141's is cie140's).
    const TestCard card = loadTestCard("cie140"), other = loadTestCard("cie141");
    Bytes issuer, serial, otherIssuer, otherSerial, unused;
    issuerAndSerialOf(card.certificate, &issuer, &serial);
    issuerAndSerialOf(other.certificate, &otherIssuer, &unused);
    issuerAndSerialOf(loadTestCard("serial00").certificate, &unused, &otherSerial);
    const Bytes data(500, 'c');
    const Bytes basics = cat({contentTypeAttribute(DATA_OID), messageDigestAttribute(sha1Digest(data))});
    const Bytes own = platformDigest(card.certificate);
    const Bytes sha512 = hex("30 0B 06 09 60 86 48 01 65 03 04 02 03");
    const struct { const char* what; Bytes attribute; bool loads; } rows[] = {
        {"v2, its certificate's SHA-256", signingCertificate(true, own), true},
        {"v2 with issuer and serial", signingCertificate(true, own, issuer, serial), true},
        {"v2 naming SHA-512", signingCertificate(true, platformDigest(card.certificate, CALG_SHA_512), {}, {}, sha512), true},
        {"v1, its certificate's SHA-1", signingCertificate(false, sha1Digest(card.certificate), issuer, serial), true},
        {"v2, another certificate's hash", signingCertificate(true, platformDigest(other.certificate)), false},
        {"v2, another serial", signingCertificate(true, own, issuer, otherSerial), false},
        {"v2, another issuer", signingCertificate(true, own, otherIssuer, serial), false},
        {"v2, the SHA-512 hash named as the default", signingCertificate(true, platformDigest(card.certificate, CALG_SHA_512)),
         false},
        {"v1, another certificate's hash", signingCertificate(false, sha1Digest(other.certificate)), false},
        {"v2, not a reference", attribute("2A864886F70D010910022F", tlv(0x30, Bytes{})), false},
    };
    for (const auto& row : rows) {
        const Signer signer = signerOf(card, data, cat({basics, row.attribute}));
        EXPECT_EQ(load(signedData(dataContent(data), {card.certificate}, {signerInfo(signer)})) == 0, row.loads)
            << row.what;
    }
    Signer unsignedReference = signerOf(card, data, basics);
    unsignedReference.unsignedAttributes = signingCertificate(true, platformDigest(other.certificate));
    EXPECT_EQ(load(signedData(dataContent(data), {card.certificate}, {signerInfo(unsignedReference)})), 0)
        << "an unsigned attribute binds nothing";
}

// True under Wine, whose CNG verifies neither ECDSA on P-521 nor RSASSA-PSS with SHA-1.
bool underWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// A manifest field of values parted by `separator`, with "_" for spaces.
std::vector<std::string> manifestList(std::string field, char separator = '|') {
    for (char& c : field) c = c == '_' ? ' ' : c;
    std::vector<std::string> values;
    size_t at = 0;
    for (size_t bar; (bar = field.find(separator, at)) != std::string::npos; at = bar + 1) {
        values.push_back(field.substr(at, bar - at));
    }
    values.push_back(field.substr(at));
    return values;
}

// The files of scripts/make-peer-signed-files, as its manifest says: each
// loads or fails, and each signer of a file that loads shows its name, state
// and icon as the list shows them.
TEST_F(SignedFileLoad, FilesMadeByOpenSsl) {
    std::ifstream manifest(std::string(QUILL_PEER_FILES_DIR) + "/manifest.txt");
    ASSERT_TRUE(manifest) << "no manifest in " << QUILL_PEER_FILES_DIR;
    const Bytes expectedContent = readWholeFile(std::string(QUILL_PEER_FILES_DIR) + "/content.bin");
    const bool wine = underWine();
    std::string line;
    int files = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string file, outcome, statusField, namesField, algorithmsField;
        fields >> file >> outcome >> statusField >> namesField >> algorithmsField;
        SCOPED_TRACE(line);
        const int32_t result = loadPath(std::string(QUILL_PEER_FILES_DIR) + "/" + file);
        ++files;
        if (outcome == "fail") {
            EXPECT_NE(result, 0);
            EXPECT_EQ(record_->loaded, 0);
            continue;
        }
        // A signer marked "*" cannot be checked under Wine.
        std::vector<SignerStatus> statuses;
        bool noneChecked = outcome == "ok";
        for (const std::string& word : outcome == "ok" ? manifestList(statusField, ',') : std::vector<std::string>()) {
            const bool lacking = wine && !word.empty() && word.back() == '*';
            statuses.push_back(std::stoul(word, nullptr, 16) | (lacking ? NOT_VERIFIABLE : 0));
            noneChecked = noneChecked && (statuses.back() & NOT_VERIFIABLE);
        }
        if (outcome == "unverifiable" || noneChecked) {
            EXPECT_EQ(result, LOAD_ERR_NOT_VERIFIABLE);
            EXPECT_EQ(record_->loaded, 0);
            const std::string algorithm = manifestList(outcome == "unverifiable" ? statusField : algorithmsField)[0];
            EXPECT_EQ(record_->unverifiedAlgorithms[0], algorithm);
            EXPECT_EQ(notVerifiableLine(record_->unverifiedAlgorithms[0]),
                      "Firma non verificabile: algoritmo non supportato (" + algorithm + ")");
            continue;
        }
        ASSERT_EQ(result, 0);
        EXPECT_EQ(content(), expectedContent);
        ASSERT_EQ(record_->signerCount, static_cast<int32_t>(statuses.size()));
        const std::vector<std::string> names = manifestList(namesField);
        const std::vector<std::string> algorithms = manifestList(algorithmsField);
        for (int g = 0; g < record_->signerCount; ++g) {
            SCOPED_TRACE("signer " + std::to_string(g));
            const SignerStatus status = record_->signerStatus[g];
            EXPECT_EQ(status, statuses[g]);
            if (!namesField.empty()) {
                EXPECT_EQ(name(g), names.at(g));
            }
            const std::string text = statusText(status, record_->expiryDates[g], record_->unverifiedAlgorithms[g]);
            const bool broken = (status & SIGNATURE_INVALID) != 0;
            EXPECT_EQ(text.find("Firma non valida") != std::string::npos, broken) << text;
            EXPECT_EQ(statusIcon(status), broken ? 1 : status == 0 ? 0 : 2);
            if (status & NOT_VERIFIABLE) {
                EXPECT_EQ(text.substr(0, text.find(';')), "Firma non verificabile (" + algorithms.at(g) + ")");
            }
        }
    }
    EXPECT_GE(files, 60);
}

// --- Files made as an attacker would, from the test PKI's keys -------------

// Algorithm identifiers an attacker writes in place of a signer's own.
const Bytes DSA_SHA256_ALGORITHM = hex("30 0B 06 09 60 86 48 01 65 03 04 03 02");
const Bytes ECDSA_SHA256_ALGORITHM = hex("30 0A 06 08 2A 86 48 CE 3D 04 03 02");
const Bytes MD5_ALGORITHM = hex("30 0C 06 08 2A 86 48 86 F7 0D 02 05 05 00");

// A "signer" of the certificate `certificate` whose signature value is
// `value`, under the label `algorithm`: no signature at all.
Signer pretendedSigner(const Bytes& certificate, const Bytes& value, const Bytes& algorithm) {
    Signer s;
    issuerAndSerialOf(certificate, &s.issuer, &s.serial);
    s.signature = value;
    s.signatureAlgorithm = algorithm;
    return s;
}

// The card's RSA PKCS#1 v1.5 signature over the MD5 of `data`, as a signer.
Signer md5SignerOf(const TestCard& card, const Bytes& data) {
    Signer s;
    issuerAndSerialOf(card.certificate, &s.issuer, &s.serial);
    s.digestAlgorithm = MD5_ALGORITHM;
    s.signature = signDigestInfo(card, cat({hex("30 20 30 0C 06 08 2A 86 48 86 F7 0D 02 05 05 00 04 10"),
                                            platformDigest(data, CALG_MD5)}));
    return s;
}

// A counter-signature is the counter-signer's word on its parent's signature
// only: one made as a signature of content (it carries a content type) is
// broken wherever it is put, and one under a parent that did not verify
// proves nothing, since that "signature" may be any bytes the counter-signer
// once signed. Neither may show green. The victim is card144 (Anna Neri).
TEST_F(SignedFileLoad, ACounterSignatureCountsOnlyOverAVerifiedParent) {
    const TestCard attacker = loadTestCard("cie140"), victim = loadTestCard("card144");
    const Bytes dsaCertificate = readWholeFile(testDataPath("pki/cards/dsa.der"));
    const Bytes document(900, 'd'), victimsLetter(400, 'v');
    const Signer attackersOwn = signerOf(attacker, document);
    const Signer victimsLetterSigner = signerOf(victim, victimsLetter);  // original form, no attributes
    const struct {
        const char* what;
        Signer parent;
        Signer counterSigner;
        const char* parentState;
        const char* victimState;
        int victimIcon;
    } rows[] = {
        {"an honest counter-signature", attackersOwn, counterSignerOf(victim, attackersOwn), "30/11/2049",
         "30/11/2049;Controfirma", 0},
        {"the victim's signature of the bytes of another signature, as content", attackersOwn,
         signerOf(victim, attackersOwn.signature,
                  cat({contentTypeAttribute(DATA_OID), messageDigestAttribute(sha1Digest(attackersOwn.signature))})),
         "30/11/2049", "Firma non valida;Controfirma", 1},
        {"a letter the victim signed, under a parent relabelled DSA on an RSA key",
         pretendedSigner(attacker.certificate, victimsLetter, DSA_SHA256_ALGORITHM), victimsLetterSigner,
         "Firma non valida", "30/11/2049;Firma controfirmata non verificata;Controfirma", 2},
        {"a letter the victim signed, under a DSA parent that cannot be checked",
         pretendedSigner(dsaCertificate, victimsLetter, DSA_SHA256_ALGORITHM), victimsLetterSigner,
         "Firma non verificabile (DSA, SHA-1);CA non ammessa", "30/11/2049;Firma controfirmata non verificata;Controfirma", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Signer parent = row.parent;
        parent.unsignedAttributes = counterSignatureAttribute({row.counterSigner});
        // The attacker's own valid signature first, so that the file loads.
        ASSERT_EQ(load(signedData(dataContent(document), {attacker.certificate, victim.certificate, dsaCertificate},
                                  {signerInfo(attackersOwn), signerInfo(parent)})),
                  0);
        ASSERT_EQ(record_->signerCount, 3);
        EXPECT_EQ(signerStateText(*record_, 1), row.parentState);
        EXPECT_EQ(signerNameText(record_->signerNames[2], record_->signerDepths[2]), "\xBB Anna Neri");
        EXPECT_EQ(signerStateText(*record_, 2), row.victimState);
        EXPECT_EQ(statusIcon(record_->signerStatus[2]), row.victimIcon);
    }
}

// The scheme a signer claims must be its key's: a label its key cannot have
// made is a broken signature, not one left unchecked, and a signature over a
// digest that binds no content (MD5) is checked all the same. Content
// changed after card144 signed it must never pass as merely "not verifiable".
TEST_F(SignedFileLoad, AClaimedAlgorithmMustFitTheKey) {
    const TestCard attacker = loadTestCard("cie140"), victim = loadTestCard("card144");
    const Bytes dsaCertificate = readWholeFile(testDataPath("pki/cards/dsa.der"));
    const Bytes signedDocument(600, '1'), swapped(600, '9');
    const auto relabelled = [&](const Bytes& signatureAlgorithm, const Bytes& digestAlgorithm) {
        Signer s = signerOf(victim, signedDocument);
        s.signatureAlgorithm = signatureAlgorithm;
        s.digestAlgorithm = digestAlgorithm;
        return s;
    };
    const struct {
        const char* what;
        Signer signer;
        const char* state;
        int icon;
    } rows[] = {
        {"an RSA signature relabelled DSA", relabelled(DSA_SHA256_ALGORITHM, SHA1_ALGORITHM), "Firma non valida", 1},
        {"an RSA signature relabelled ECDSA", relabelled(ECDSA_SHA256_ALGORITHM, SHA1_ALGORITHM), "Firma non valida", 1},
        {"its digest relabelled MD5", relabelled(RSA_ALGORITHM, MD5_ALGORITHM), "Firma non valida", 1},
        {"an MD5 signature of other content", md5SignerOf(victim, signedDocument), "Firma non valida", 1},
        {"an MD5 signature of this content", md5SignerOf(victim, swapped), "Firma non verificabile (RSA, MD5)", 2},
        {"an RSA label on a DSA key", pretendedSigner(dsaCertificate, Bytes(64, 0x5A), RSA_ALGORITHM),
         "Firma non valida", 1},
        {"a DSA key's own scheme", pretendedSigner(dsaCertificate, Bytes(64, 0x5A), DSA_SHA256_ALGORITHM),
         "Firma non verificabile (DSA, SHA-1);CA non ammessa", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // The content is the swapped document; the attacker's signature of it first.
        ASSERT_EQ(load(signedData(dataContent(swapped), {attacker.certificate, victim.certificate, dsaCertificate},
                                  {signerInfo(signerOf(attacker, swapped)), signerInfo(row.signer)})),
                  0);
        EXPECT_EQ(signerStateText(*record_, 1), row.state);
        EXPECT_EQ(statusIcon(record_->signerStatus[1]), row.icon);
        // Alone, a broken one is a file that does not load, never one whose
        // algorithm "is not supported".
        const int32_t alone = load(signedData(dataContent(swapped), {victim.certificate, dsaCertificate},
                                              {signerInfo(row.signer)}));
        EXPECT_EQ(alone, row.icon == 1 ? LOAD_ERR_SIGNATURE_BROKEN : LOAD_ERR_NOT_VERIFIABLE);
    }
}

// The name column of signers whose records an attacker wrote: a signed record
// naming another person is no name of the signer's, and a signature that did
// not verify vouches for no record at all.
TEST_F(SignedFileLoad, OnlyAVerifiedSignersOwnRecordNamesIt) {
    const TestCard citizen = loadTestCard("cie140"), other = loadTestCard("card144"), first = loadTestCard("cie141");
    const Bytes data(250, 'n');
    const Bytes ownRecordSigned = cat({contentTypeAttribute(DATA_OID), messageDigestAttribute(sha1Digest(data)),
                                       personalDataAttribute(RECORD, true)});
    const struct {
        const char* what;
        Signer signer;
        const char* name;
    } rows[] = {
        {"the citizen's own signed record", signerOf(citizen, data, ownRecordSigned), "ROSSI/MARIO/RSSMRA70A01L736S"},
        {"Anna Neri's card signing the citizen's record", signerOf(other, data, ownRecordSigned), "Anna Neri"},
        {"the citizen's own record under a broken signature", signerOf(citizen, data, ownRecordSigned, true),
         "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw="},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Signer signer = row.signer;
        signer.unsignedAttributes = personalDataAttribute(RECORD);
        // A valid first signer of another card, so that a broken one still loads.
        ASSERT_EQ(load(signedData(dataContent(data), {first.certificate, citizen.certificate, other.certificate},
                                  {signerInfo(signerOf(first, data)), signerInfo(signer)})),
                  0);
        EXPECT_EQ(name(1), row.name);
    }
}

// What an attacker can add to a valid file without any key decides nothing
// about it: a counter-signature value that is no SignerInfo, and a later
// signer whose certificate the platform cannot decode, are red rows of their
// own, and the file loads on its first signer, as OpenSSL verifies it.
TEST_F(SignedFileLoad, WhatCannotBeReadIsARedRowOfItsOwn) {
    const TestCard citizen = loadTestCard("cie140"), other = loadTestCard("card144");
    const Bytes data(320, 'r');
    // card144's certificate with its validity's first time tagged as text:
    // its names still read, but the platform cannot decode it.
    Bytes unreadable = other.certificate;
    const std::string from = "200101000000Z";
    const auto at = std::search(unreadable.begin(), unreadable.end(), from.begin(), from.end());
    ASSERT_NE(at, unreadable.end());
    ASSERT_EQ(*(at - 2), 0x17);
    *(at - 2) = 0x0C;
    ASSERT_EQ(CertCreateCertificateContext(X509_ASN_ENCODING, unreadable.data(), static_cast<DWORD>(unreadable.size())),
              nullptr);
    Signer first = signerOf(citizen, data);
    first.unsignedAttributes = attribute("2A864886F70D010906", hex("04 01 00"));
    ASSERT_EQ(load(signedData(dataContent(data), {citizen.certificate, unreadable},
                              {signerInfo(first), signerInfo(signerOf(other, data))})),
              0);
    EXPECT_EQ(content(), data);
    ASSERT_EQ(record_->signerCount, 3);
    const struct { const char* name; const char* state; int icon; } rows[] = {
        {"RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw=", "30/11/2049", 0},
        {"\xBB Firma con carta firma", "Firma non valida;controfirma illeggibile;Controfirma", 1},
        {"Firma con carta firma", "Firma non valida;certificato illeggibile", 1},
    };
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE(g);
        EXPECT_EQ(signerNameText(record_->signerNames[g], record_->signerDepths[g]), rows[g].name);
        EXPECT_EQ(signerStateText(*record_, g), rows[g].state);
        EXPECT_EQ(statusIcon(record_->signerStatus[g]), rows[g].icon);
    }
}

}  // namespace
