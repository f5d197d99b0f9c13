// orvik.dll through its exported header, as a caller uses it, on the test
// PKI's certificates. (Every field against OpenSSL: scripts/check-certificate-data.)
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "orvik.h"

namespace {

std::string card(const char* name) { return std::string(QUILL_TESTDATA_DIR) + "/pki/cards/" + name + ".der"; }

std::vector<BYTE> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A certificate context of a test card, released at the end.
struct Context {
    explicit Context(const char* name) : bytes(bytesOf(card(name))) {
        context = CertCreateCertificateContext(X509_ASN_ENCODING, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    ~Context() { if (context) CertFreeCertificateContext(context); }
    std::vector<BYTE> bytes;
    PCCERT_CONTEXT context = nullptr;
};

TEST(Orvik, RefusesMissingArgumentsAndWhatIsNoCertificate) {
    ASSERT_EQ(AllocOrvikMem(), 0);
    CertificateData data{};
    const BYTE junk[] = {0x30, 0x03, 0x02, 0x01, 0x05};
    EXPECT_EQ(GetCertificateDataFromBuffer(junk, 0, &data), ORVIK_NO_ARGUMENT);
    EXPECT_EQ(GetCertificateDataFromFile(nullptr, &data), ORVIK_NO_ARGUMENT);
    const int missing = GetCertificateDataFromFile((std::string(QUILL_TESTDATA_DIR) + "/manca.der").c_str(), &data);
    EXPECT_NE(missing, 0);
    EXPECT_NE(missing, ORVIK_NO_ARGUMENT);
    EXPECT_NE(GetCertificateDataFromBuffer(junk, sizeof junk, &data), 0);
    EXPECT_EQ(data.pszVersion, nullptr) << "nothing filled";
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

}  // namespace
