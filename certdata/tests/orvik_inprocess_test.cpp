// The library's calls built into this program, where a test can reach what
// the DLL keeps to itself: its operator new, replaced to fail at each
// allocation in turn (every call answers with a code, the record says what
// it lacks, and the caller goes on), and the ANSI code page its texts are in.
#define ORVIK_BUILDING  // the library's own sources are part of this program
#include "orvik.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "allocation_faults.h"
#include "ansi_text.h"
#include "der_builder.h"

namespace {

std::vector<BYTE> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `call` with the n-th allocation failing, for n = 1, 2, ... until a run
// fails none; hands each result and whether an allocation failed to `check`.
int sweep(const std::function<int()>& call, const std::function<void(int, bool)>& check) {
    int runs = 0;
    for (long n = 1;; ++n, ++runs) {
        allocation_faults::failAllocation(n);
        const int result = call();
        const bool failed = allocation_faults::failed();
        allocation_faults::stop();
        check(result, failed);
        if (!failed) return runs;
    }
}

TEST(OrvikMemory, EveryCallAnswersWhenMemoryRunsOut) {
    // card144: a subject with an e-mail address, extensions of every list.
    const std::vector<BYTE> card = bytesOf(std::string(QUILL_TESTDATA_DIR) + "/pki/cards/card144.der");
    ASSERT_FALSE(card.empty());
    PCCERT_CONTEXT context =
        CertCreateCertificateContext(X509_ASN_ENCODING, card.data(), static_cast<DWORD>(card.size()));
    ASSERT_NE(context, nullptr);

    char mail[256];
    CertificateData data{};
    const int filled = sweep(
        [&] {
            AllocOrvikMem();
            data = CertificateData{};
            data.pszMailAddress = mail;
            const int result = GetCertificateDataFromBuffer(card.data(), static_cast<DWORD>(card.size()), &data);
            FreeOrvikMem();
            return result;
        },
        [&](int result, bool failed) {
            EXPECT_EQ(result, failed ? ERROR_NOT_ENOUGH_MEMORY : 0);
            EXPECT_EQ((data.dwReserved & ORVIK_INCOMPLETE_MEMORY) != 0, failed);
        });
    EXPECT_GT(filled, 10) << "the record's filling allocates";

    char text[512];
    sweep([&] { return GetSubjectMailAddress(context, text); },
          [](int result, bool failed) { EXPECT_EQ(result, failed ? ERROR_NOT_ENOUGH_MEMORY : 0); });
    sweep([&] { return GetSignerCommonNameCertificateData(context, text); },
          [](int result, bool failed) { EXPECT_EQ(result, failed ? -1 : 0); });
    CrlAddress addresses[4];
    DWORD count = 0;
    sweep([&] { return GetCRLAddress(context, addresses, &count); },
          [](int result, bool failed) { EXPECT_EQ(result, failed ? -1 : 0); });
    CertFreeCertificateContext(context);
}

// card144's certificate with a subject of two names outside ASCII, one as a
// UTF8String and one as a BMPString.
std::vector<BYTE> certificateWithNamesOutsideAscii() {
    using namespace der_builder;
    const Bytes commonName = hex("4E6963636F6CC3B22043697474C3A0");  // "Niccolò Città" in UTF-8
    const Bytes organization = hex("0043006F006D0075006E0065002003A9");  // "Comune Ω" in UTF-16BE
    return withSubject(bytesOf(std::string(QUILL_TESTDATA_DIR) + "/pki/cards/card144.der"),
                       tlv(0x30, cat({tlv(0x31, tlv(0x30, cat({tlv(0x06, hex("55040A")), tlv(0x1E, organization)}))),
                                      tlv(0x31, tlv(0x30, cat({tlv(0x06, hex("550403")), tlv(0x0C, commonName)})))})));
}

// The same names and the CRL address in three ANSI code pages: a character
// the page lacks is "?", and UTF-8 carries every one.
TEST(OrvikCodePage, NamesAndTheCrlAddressInEveryAnsiCodePage) {
    const std::vector<BYTE> names = certificateWithNamesOutsideAscii();
    const std::vector<BYTE> card = bytesOf(std::string(QUILL_TESTDATA_DIR) + "/pki/cards/card144.der");
    PCCERT_CONTEXT context =
        CertCreateCertificateContext(X509_ASN_ENCODING, card.data(), static_cast<DWORD>(card.size()));
    ASSERT_NE(context, nullptr);
    const struct { UINT codePage; const char* commonName; const char* organization; } rows[] = {
        {1252, "Niccol\xF2 Citt\xE0", "Comune ?"},
        {CP_UTF8, "Niccol\xC3\xB2 Citt\xC3\xA0", "Comune \xCE\xA9"},
        {1253, "Niccol? Citt?", "Comune \xD9"},  // Greek: an omega, no accented Latin letters
    };
    for (const auto& row : rows) {
        setAnsiCodePage(row.codePage);
        ASSERT_EQ(AllocOrvikMem(), 0);
        CertificateData data{};
        EXPECT_EQ(GetCertificateDataFromBuffer(names.data(), static_cast<DWORD>(names.size()), &data), 0);
        ASSERT_NE(data.pSubject, nullptr);
        ASSERT_NE(data.pSubject->pNext, nullptr);
        EXPECT_STREQ(data.pSubject->pszValue, row.commonName) << row.codePage;
        EXPECT_STREQ(data.pSubject->pNext->pszValue, row.organization) << row.codePage;
        EXPECT_EQ(data.dwReserved & ORVIK_INCOMPLETE_CONVERSION, 0u) << row.codePage;
        ASSERT_NE(data.pExtensions, nullptr);
        EXPECT_NE(data.pExtensions->pszValue[0], '\0') << "the platform's extension texts, converted";
        EXPECT_EQ(FreeOrvikMem(), 0);

        CrlAddress addresses[2] = {};
        DWORD count = 0;
        EXPECT_EQ(GetCRLAddress(context, addresses, &count), 0);
        EXPECT_STREQ(addresses[0].szAddress, "http://127.0.0.1:8089/crl/ca144.crl") << row.codePage;
    }
    setAnsiCodePage(0);
    CertFreeCertificateContext(context);
}

}  // namespace
