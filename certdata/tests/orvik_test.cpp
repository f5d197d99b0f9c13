// orvik.dll through its exported header, as a caller uses it, on the test
// PKI's certificates and on certificates built here. (Every field against
// OpenSSL: scripts/check-certificate-data.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "der_builder.h"
#include "orvik.h"

namespace {

std::string card(const char* name) { return std::string(QUILL_TESTDATA_DIR) + "/pki/cards/" + name + ".der"; }

std::vector<BYTE> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A certificate context of a test card or of built bytes, released at the end.
struct Context {
    explicit Context(const char* name) : Context(bytesOf(card(name))) {}
    explicit Context(std::vector<BYTE> encoded) : bytes(std::move(encoded)) {
        context = CertCreateCertificateContext(X509_ASN_ENCODING, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    ~Context() { if (context) CertFreeCertificateContext(context); }
    std::vector<BYTE> bytes;
    PCCERT_CONTEXT context = nullptr;
};

// A file of the temporary folder written by the test.
std::string written(const char* name, const std::vector<BYTE>& bytes) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

// A store saved as the platform saves it: `as` a serialized store or PKCS #7.
std::vector<BYTE> savedStore(DWORD as, const std::vector<BYTE>& crl) {
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!crl.empty()) {
        CertAddEncodedCRLToStore(store, X509_ASN_ENCODING, crl.data(), static_cast<DWORD>(crl.size()),
                                 CERT_STORE_ADD_ALWAYS, nullptr);
    }
    CRYPT_DATA_BLOB blob{0, nullptr};
    CertSaveStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, as, CERT_STORE_SAVE_TO_MEMORY, &blob, 0);
    std::vector<BYTE> bytes(blob.cbData);
    blob.pbData = bytes.data();
    CertSaveStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, as, CERT_STORE_SAVE_TO_MEMORY, &blob, 0);
    CertCloseStore(store, 0);
    bytes.resize(blob.cbData);
    return bytes;
}

// Every null argument, a zero length, what is no certificate and a file that
// holds none: a code each, nothing filled, and the caller goes on.
TEST(Orvik, RefusesMissingArgumentsAndWhatIsNoCertificate) {
    ASSERT_EQ(AllocOrvikMem(), 0);
    const Context cie("cie140");
    CertificateData data{};
    CrlAddress addresses[4] = {};
    DWORD count = 0;
    char buffer[512] = "";
    const BYTE junk[] = {0x30, 0x03, 0x02, 0x01, 0x05};
    const std::string file = card("cie140");
    const struct { const char* call; int result; int expected; } rows[] = {
        {"buffer of length 0", GetCertificateDataFromBuffer(junk, 0, &data), ORVIK_NO_ARGUMENT},
        {"null buffer", GetCertificateDataFromBuffer(nullptr, 5, &data), ORVIK_NO_ARGUMENT},
        {"buffer, null record", GetCertificateDataFromBuffer(cie.bytes.data(), static_cast<DWORD>(cie.bytes.size()), nullptr),
         ORVIK_NO_ARGUMENT},
        {"null file name", GetCertificateDataFromFile(nullptr, &data), ORVIK_NO_ARGUMENT},
        {"file, null record", GetCertificateDataFromFile(file.c_str(), nullptr), ORVIK_NO_ARGUMENT},
        {"null context", GetCertificateDataFromContext(nullptr, &data), ORVIK_NO_ARGUMENT},
        {"context, null record", GetCertificateDataFromContext(cie.context, nullptr), ORVIK_NO_ARGUMENT},
        {"mail of a null context", GetSubjectMailAddress(nullptr, buffer), ORVIK_NO_ARGUMENT},
        {"common name of a null context", GetSignerCommonNameCertificateData(nullptr, buffer), -1},
        {"addresses of a null context", GetCRLAddress(nullptr, addresses, &count), ORVIK_NO_ARGUMENT},
        {"addresses into no array", GetCRLAddress(cie.context, nullptr, &count), ORVIK_NO_ARGUMENT},
        {"addresses without a count", GetCRLAddress(cie.context, addresses, nullptr), ORVIK_NO_ARGUMENT},
        {"missing file", GetCertificateDataFromFile((std::string(QUILL_TESTDATA_DIR) + "/manca.der").c_str(), &data),
         ERROR_FILE_NOT_FOUND},
        {"empty serialized store", GetCertificateDataFromFile(written("orvik-empty.sst", savedStore(CERT_STORE_SAVE_AS_STORE, {})).c_str(), &data),
         static_cast<int>(CRYPT_E_NOT_FOUND)},
        {"PKCS #7 holding only a list",
         GetCertificateDataFromFile(written("orvik-crl-only.p7b", savedStore(CERT_STORE_SAVE_AS_PKCS7,
                                                                             bytesOf(std::string(QUILL_TESTDATA_DIR) + "/pki/crl/ca140.crl"))).c_str(), &data),
         static_cast<int>(CRYPT_E_NOT_FOUND)},
    };
    for (const auto& row : rows) EXPECT_EQ(row.result, row.expected) << row.call;
    EXPECT_LT(GetCertificateDataFromBuffer(junk, sizeof junk, &data), 0) << "the platform's CRYPT_E_ASN1_ code";
    EXPECT_EQ(data.pszVersion, nullptr) << "nothing filled";
    EXPECT_EQ(count, 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(FreeOrvikMem(), 0);
}

TEST(Orvik, FillsTheRecordOfACard) {
    ASSERT_EQ(AllocOrvikMem(), 0);
    const Context cie("cie140"), other("card144");
    CertificateData data{};
    char mail[256] = "untouched";
    data.pszMailAddress = mail;
    ASSERT_EQ(GetCertificateDataFromBuffer(cie.bytes.data(), static_cast<DWORD>(cie.bytes.size()), &data), 0);
    EXPECT_EQ(data.dwReserved, 0u);
    EXPECT_STREQ(data.pszVersion, "Version 3");
    EXPECT_STREQ(data.pszSerialNumber, "10 00");
    EXPECT_STREQ(data.pszThumbprint, data.pszSha1Hash);
    ASSERT_NE(data.pKeyUsage, nullptr);
    EXPECT_STREQ(data.pKeyUsage->pszText, "Non Repudiation");
    EXPECT_EQ(data.pKeyUsage->pNext, nullptr);
    ASSERT_NE(data.pSubject, nullptr);
    EXPECT_STREQ(data.pSubject->pszName, "SUR NAME");  // the last attribute encoded comes first
    EXPECT_STREQ(data.pSubject->pszValue, "ROSSI");
    std::vector<std::string> critical;
    for (ExtensionNode* e = data.pCriticalExtensions; e; e = e->pNext) critical.push_back(e->pszName);
    EXPECT_EQ(critical, (std::vector<std::string>{"BASIC CONSTRAINTS2", "KEY USAGE"}));
    EXPECT_STREQ(mail, "untouched") << "no e-mail attribute: the buffer is left alone";

    CertificateData second{};
    second.pszMailAddress = mail;
    EXPECT_EQ(GetCertificateDataFromContext(other.context, &second), 0);
    EXPECT_STREQ(mail, "anna.neri@example.it");
    EXPECT_STREQ(data.pszSerialNumber, "10 00") << "the first record stays readable in the bracket";
    EXPECT_EQ(FreeOrvikMem(), 0);

    char alone[256] = "";
    EXPECT_EQ(GetSubjectMailAddress(other.context, alone), 0);
    EXPECT_STREQ(alone, "anna.neri@example.it");
}

// Records that no longer fit the 64000-byte heap say so and hold null texts;
// nothing is written past the heap.
TEST(Orvik, AFullHeapLeavesRecordsIncompleteNeverOutOfBounds) {
    ASSERT_EQ(AllocOrvikMem(), 0);
    const Context cie("cie140");
    std::vector<CertificateData> records(200);
    int incomplete = 0;
    for (CertificateData& data : records) {
        GetCertificateData(cie.context, &data);
        if (data.dwReserved & ORVIK_INCOMPLETE_HEAP) ++incomplete;
    }
    EXPECT_GT(incomplete, 0);
    EXPECT_EQ(records.front().dwReserved, 0u);
    EXPECT_STREQ(records.front().pszSerialNumber, "10 00");
    EXPECT_EQ(records.back().pszSerialNumber, nullptr);
    EXPECT_EQ(FreeOrvikMem(), 0);
}

// The two single answers run their own bracket.
TEST(Orvik, CommonNameAndCrlAddresses) {
    const Context cie("cie140"), cn5("cn5");
    const std::string name = "RSSMRA70A01L736S/7420050000000001.hR4rD8Tk2ZtXq1pU5rS1HvwDqYw=";
    EXPECT_EQ(GetSignerCommonNameCertificateData(cie.context, nullptr), static_cast<int>(name.size() + 1));
    std::vector<char> buffer(name.size() + 1, 'x');
    EXPECT_EQ(GetSignerCommonNameCertificateData(cie.context, buffer.data()), 0);
    EXPECT_EQ(std::string(buffer.data()), name);
    EXPECT_EQ(GetSignerCommonNameCertificateData(cn5.context, nullptr), 6);

    CrlAddress addresses[4] = {};
    DWORD count = 0;
    ASSERT_EQ(GetCRLAddress(cie.context, addresses, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(addresses[0].szAddress, "http://127.0.0.1:8089/crl/ca140.crl");
    EXPECT_EQ(addresses[0].dwKind, static_cast<DWORD>(CRL_ADDRESS_URL));
}

using der_builder::Bytes;
using der_builder::cat;
using der_builder::hex;
using der_builder::tlv;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes attribute(const char* oidHex, uint8_t stringTag, const std::string& value) {
    return tlv(0x31, tlv(0x30, cat({tlv(0x06, hex(oidHex)), tlv(stringTag, text(value))})));
}

Bytes extension(const char* oidHex, const Bytes& value) {
    return tlv(0x30, cat({tlv(0x06, hex(oidHex)), tlv(0x04, value)}));
}

// A certificate with the given subject, validity and extensions (none: a
// version 1 certificate), by default from an issuer of its own. Its signature
// is not a real one: the library describes a certificate, it does not verify it.
Bytes builtCertificate(const Bytes& subject, const char* notBefore, const char* notAfter, const Bytes& extensions,
                       Bytes issuer = tlv(0x30, attribute("55 04 03", 0x13, "Autorita di prova"))) {
    const Bytes sha1Rsa = tlv(0x30, hex("06 09 2A 86 48 86 F7 0D 01 01 05 05 00"));
    const Bytes key = tlv(0x30, cat({tlv(0x30, hex("06 09 2A 86 48 86 F7 0D 01 01 01 05 00")),
                                     tlv(0x03, cat({Bytes{0}, tlv(0x30, hex("02 03 00 C3 5B 02 03 01 00 01"))}))}));
    const Bytes tbs = tlv(0x30, cat({extensions.empty() ? Bytes{} : hex("A0 03 02 01 02"), hex("02 03 01 02 03"),
                                     sha1Rsa, issuer,
                                     tlv(0x30, cat({tlv(0x17, text(notBefore)), tlv(0x17, text(notAfter))})), subject,
                                     key, extensions.empty() ? Bytes{} : tlv(0xA3, tlv(0x30, extensions))}));
    return tlv(0x30, cat({tbs, sha1Rsa, hex("03 03 00 01 02")}));
}

Bytes criticalExtension(const char* oidHex, const Bytes& value) {
    return tlv(0x30, cat({tlv(0x06, hex(oidHex)), hex("01 01 FF"), tlv(0x04, value)}));
}

// What the record makes of each kind of field, on certificates built for it:
// the key usages lowest bit first, values of the BMP and UTF-8 string kinds,
// an extension outside the table by its identifier and its printable raw
// value, a certificate with critical extensions only, and distribution
// points named by a DNS name and by a directory name.
TEST(Orvik, EachKindOfFieldAsTheRecordShowsIt) {
    const std::string bmp("\0C\0o\0m\0u\0n\0e", 12);
    const Bytes subject = tlv(0x30, cat({attribute("55 04 0A", 0x1E, bmp), attribute("55 04 03", 0x0C, "Valdora")}));
    const Bytes points = tlv(0x30, cat({tlv(0x30, tlv(0xA0, tlv(0xA0, tlv(0x82, text("crl.example.it"))))),
                                        tlv(0x30, tlv(0xA0, tlv(0xA0, tlv(0xA4, tlv(0x30, attribute("55 04 03", 0x13, "CRL")))))),
                                        tlv(0x30, tlv(0xA0, tlv(0xA0, tlv(0x86, text("http://crl.example.it/a.crl")))))}));
    const Context mixed(builtCertificate(subject, "200101000000Z", "491231235959Z",
                                         cat({extension("55 1D 0F", hex("03 02 06 C0")),
                                              extension("2B 06 01 04 01 86 8D 1F 07", text("ab\x01")),
                                              extension("55 1D 1F", points)})));
    const Context criticalOnly(builtCertificate(tlv(0x30, attribute("55 04 03", 0x13, "Solo")), "200101000000Z",
                                                "491231235959Z", criticalExtension("55 1D 13", hex("30 03 01 01 FF"))));
    ASSERT_NE(mixed.context, nullptr);
    ASSERT_NE(criticalOnly.context, nullptr);

    ASSERT_EQ(AllocOrvikMem(), 0);
    CertificateData data{}, critical{};
    ASSERT_EQ(GetCertificateDataFromContext(mixed.context, &data), 0);
    ASSERT_EQ(GetCertificateDataFromContext(criticalOnly.context, &critical), 0);
    std::vector<std::string> usages, values, extensions;
    for (KeyUsageNode* k = data.pKeyUsage; k; k = k->pNext) usages.push_back(k->pszText);
    for (NameAttributeNode* n = data.pSubject; n; n = n->pNext) values.push_back(n->pszValue);
    for (ExtensionNode* e = data.pExtensions; e; e = e->pNext) extensions.push_back(std::string(e->pszName) + "=" + e->pszValue);
    EXPECT_EQ(usages, (std::vector<std::string>{"Non Repudiation", "Digital Signature"}));
    EXPECT_EQ(values, (std::vector<std::string>{"Valdora", "Comune"}));
    ASSERT_EQ(extensions.size(), 3u);
    EXPECT_EQ(extensions[1], "1.3.6.1.4.1.99999.7=ab.");
    EXPECT_EQ(critical.pExtensions, nullptr);
    ASSERT_NE(critical.pCriticalExtensions, nullptr);
    EXPECT_STREQ(critical.pCriticalExtensions->pszName, "BASIC CONSTRAINTS2");
    EXPECT_EQ(FreeOrvikMem(), 0);

    CrlAddress addresses[3];
    for (CrlAddress& a : addresses) {
        std::memset(a.szAddress, 'x', sizeof a.szAddress);
        a.dwKind = 0x77;
    }
    DWORD count = 0;
    ASSERT_EQ(GetCRLAddress(mixed.context, addresses, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_STREQ(addresses[0].szAddress, "crl.example.it");
    EXPECT_EQ(addresses[0].dwKind, 0x77u) << "a DNS name is no URL";
    EXPECT_STREQ(addresses[1].szAddress, "");
    EXPECT_EQ(addresses[1].dwKind, 0x77u);
    EXPECT_STREQ(addresses[2].szAddress, "http://crl.example.it/a.crl");
    EXPECT_EQ(addresses[2].dwKind, static_cast<DWORD>(CRL_ADDRESS_URL));
}

// The texts that come from the library's string tables, in the language of the
// locale the test runs under (Italian for an LC_ALL of it_IT..., else English),
// on a version 1 certificate without key usage that ends on a Monday.
TEST(OrvikTexts, DatesVersionAndNoKeyUsageInTheUsersLanguage) {
    const char* locale = std::getenv("LC_ALL");
    const bool italian = locale != nullptr && std::string(locale).rfind("it_", 0) == 0;
    const Context v1(builtCertificate(tlv(0x30, attribute("55 04 03", 0x13, "Uno")), "010507123228Z",
                                      "011231235959Z", {}));
    ASSERT_NE(v1.context, nullptr);
    ASSERT_EQ(AllocOrvikMem(), 0);
    CertificateData data{};
    GetCertificateData(v1.context, &data);
    EXPECT_STREQ(data.pszVersion, italian ? "Versione 1" : "Version 1");
    EXPECT_STREQ(data.pszValidFrom, italian ? "Luned\xEC, 07 Maggio 2001, 12:32.28 (U.T.C.)"
                                            : "Monday, 07 May 2001, 12:32.28 (U.T.C.)");
    EXPECT_STREQ(data.pszValidTo, italian ? "Luned\xEC, 31 Dicembre 2001, 23:59.59 (U.T.C.)"
                                          : "Monday, 31 December 2001, 23:59.59 (U.T.C.)");
    ASSERT_NE(data.pKeyUsage, nullptr);
    EXPECT_STREQ(data.pKeyUsage->pszText, italian ? "Nessuno" : "None");
    EXPECT_EQ(data.pExtensions, nullptr);
    EXPECT_EQ(data.pCriticalExtensions, nullptr);
    EXPECT_EQ(FreeOrvikMem(), 0);
}

// The last e-mail attribute wins; every distribution point fills its element.
TEST(Orvik, SecondMailAddressAndTwoDistributionPoints) {
    const Context twomail("twomail");
    char mail[64] = "";
    EXPECT_EQ(GetSubjectMailAddress(twomail.context, mail), 0);
    EXPECT_STREQ(mail, "lia@posta.example.it");

    const Bytes points = tlv(0x30, cat({tlv(0x30, tlv(0xA0, tlv(0xA0, tlv(0x86, text("http://127.0.0.1:8089/crl/uno.crl"))))),
                                        tlv(0x30, tlv(0xA0, tlv(0xA0, hex("87 04 7F 00 00 01"))))}));
    const Context two(builtCertificate(tlv(0x30, attribute("55 04 03", 0x13, "Due")), "200101000000Z",
                                       "491130235959Z", extension("55 1D 1F", points)));
    ASSERT_NE(two.context, nullptr);
    CrlAddress addresses[3] = {};
    std::strcpy(addresses[1].szAddress, "old");
    addresses[2].dwKind = 7;
    DWORD count = 0;
    ASSERT_EQ(GetCRLAddress(two.context, addresses, &count), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_STREQ(addresses[0].szAddress, "http://127.0.0.1:8089/crl/uno.crl");
    EXPECT_EQ(addresses[0].dwKind, static_cast<DWORD>(CRL_ADDRESS_URL));
    EXPECT_STREQ(addresses[1].szAddress, "") << "an IP address clears the text";
    EXPECT_EQ(addresses[1].dwKind, static_cast<DWORD>(CRL_ADDRESS_IP));
    EXPECT_EQ(addresses[2].dwKind, 7u) << "no element past the count is written";

    const Context none("serial00");
    count = 9;
    EXPECT_EQ(GetCRLAddress(none.context, addresses, &count), -1);
}

// Extensions that the platform may not render get the library's own texts;
// one that cannot be decoded shows its printable form.
TEST(Orvik, ExtensionsThePlatformMayNotRender) {
    const Bytes extensions = cat({
        extension("55 1D 15", hex("0A 01 01")),  // CRL reason
        extension("2A 86 48 86 F7 0D 01 09 0F", tlv(0x30, tlv(0x30, hex("06 08 2A 86 48 86 F7 0D 03 07")))),
        extension("2B 06 01 04 01 82 37 0A 02", tlv(0x30, tlv(0x86, text("http://ca.example/next")))),
        extension("55 1D 02", hex("30 03 05 01 00")),  // key attributes that are not
    });
    const Context built(builtCertificate(tlv(0x30, attribute("55 04 03", 0x13, "Estensioni")), "200101000000Z",
                                         "491130235959Z", extensions));
    ASSERT_NE(built.context, nullptr);
    ASSERT_EQ(AllocOrvikMem(), 0);
    CertificateData data{};
    GetCertificateData(built.context, &data);
    std::vector<std::string> texts;
    for (ExtensionNode* e = data.pExtensions; e; e = e->pNext) texts.push_back(std::string(e->pszName) + "=" + e->pszValue);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "CRL REASON CODE=Key Compromise (1)",
                         "RSA SMIMECapabilities=[1]SMIME Capability\r\n     Object ID=1.2.840.113549.3.7\r\n",
                         "NEXT UPDATE LOCATION=URL=http://ca.example/next\r\n",
                         "KEY ATTRIBUTES=0...."}));
    EXPECT_EQ(data.dwReserved, 0u);
    EXPECT_EQ(FreeOrvikMem(), 0);
}

// The issuer lookup in the user's "CA" store: found and verifying (0), the
// certificate outside its validity (2), a namesake whose key does not verify
// and no issuer at all (0x20000). The authority is taken out again.
class OrvikIssuer : public ::testing::Test {
protected:
    // Each change goes through its own store handle: the platform writes a
    // system store's changes to the registry when the handle is closed.
    static HCERTSTORE userCaStore() {
        return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"CA");
    }
    void SetUp() override {
        HCERTSTORE store = userCaStore();
        ASSERT_NE(store, nullptr);
        const Bytes ca = bytesOf(std::string(QUILL_TESTDATA_DIR) + "/pki/ca/140.der");
        EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, ca.data(), static_cast<DWORD>(ca.size()),
                                                     CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
        CertCloseStore(store, 0);
    }
    void TearDown() override {
        HCERTSTORE store = userCaStore();
        const Bytes ca = bytesOf(std::string(QUILL_TESTDATA_DIR) + "/pki/ca/140.der");
        PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING, ca.data(), static_cast<DWORD>(ca.size()));
        PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
        if (found) CertDeleteCertificateFromStore(found);  // also releases it
        CertFreeCertificateContext(wanted);
        CertCloseStore(store, 0);
    }
    static DWORD issuerCheckOf(const char* name) { return issuerCheckOf(Context(name)); }
    static DWORD issuerCheckOf(const Context& c) {
        CertificateData data{};
        EXPECT_EQ(AllocOrvikMem(), 0);
        GetCertificateData(c.context, &data);
        EXPECT_EQ(FreeOrvikMem(), 0);
        return data.dwIssuerCheck;
    }
};

TEST_F(OrvikIssuer, FoundOutsideValidityForgedAndMissing) {
    EXPECT_EQ(issuerCheckOf("cie140"), 0u);
    EXPECT_EQ(issuerCheckOf("expired"), 2u);
    EXPECT_EQ(issuerCheckOf("notyet"), 2u);
    EXPECT_EQ(issuerCheckOf("forged-ca-card"), 0x20000u);  // another key: its key identifier finds no candidate
    EXPECT_EQ(issuerCheckOf("outsider-card"), 0x20000u);
    // Without a key identifier the authority is a candidate by name, and its
    // key does not verify the certificate.
    Bytes authority, serial;
    der_builder::issuerAndSerialOf(bytesOf(card("cie140")), &authority, &serial);
    EXPECT_EQ(issuerCheckOf(Context(builtCertificate(tlv(0x30, attribute("55 04 03", 0x13, "Omonimo")), "200101000000Z",
                                                     "491130235959Z", {}, authority))),
              0x20000u);
}

// Outside a bracket there is no heap: a record then holds no private text and
// says so. The single answers close the heap of a bracket open across them.
TEST(Orvik, FillingNeedsAnOpenBracket) {
    const Context cie("cie140");
    CertificateData before{};
    GetCertificateData(cie.context, &before);
    EXPECT_NE(before.dwReserved & ORVIK_INCOMPLETE_HEAP, 0u);
    EXPECT_EQ(before.pszSerialNumber, nullptr);

    ASSERT_EQ(AllocOrvikMem(), 0);
    CertificateData inside{};
    GetCertificateData(cie.context, &inside);
    EXPECT_EQ(inside.dwReserved, 0u);
    EXPECT_GT(GetSignerCommonNameCertificateData(cie.context, nullptr), 0);
    CertificateData after{};
    GetCertificateData(cie.context, &after);
    EXPECT_NE(after.dwReserved & ORVIK_INCOMPLETE_HEAP, 0u) << "the single answer closed the bracket's heap";
    EXPECT_EQ(after.pszThumbprint, nullptr);
}

}  // namespace
