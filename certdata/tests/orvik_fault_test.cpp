// The library's calls with memory running out at each allocation in turn,
// built into this program with its operator new replaced (the DLL has its
// own): every call answers with a code, the record says what it lacks, and
// the caller goes on.
#define ORVIK_BUILDING  // the library's own sources are part of this program
#include "orvik.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "allocation_faults.h"

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

}  // namespace
