// The accepted authorities of the test PKI (or of another folder holding
// 140.der to 146.der), as the verification program carries its own.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "accepted_cas.h"
#include "test_card_key.h"

class TestPkiAuthorities {
public:
    explicit TestPkiAuthorities(const std::string& folder = testDataPath("pki/ca")) {
        for (int i = 0; i < ACCEPTED_CA_COUNT; ++i) {
            std::ifstream in(folder + "/" + std::to_string(FIRST_ACCEPTED_CA_ID + i) + ".der", std::ios::binary);
            certificates_[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            table_.set(i, certificates_[i].data(), static_cast<uint32_t>(certificates_[i].size()));
        }
    }
    TestPkiAuthorities(const TestPkiAuthorities&) = delete;
    TestPkiAuthorities& operator=(const TestPkiAuthorities&) = delete;
    const AcceptedCaTable& table() const { return table_; }

private:
    Bytes certificates_[ACCEPTED_CA_COUNT];  // a missing file stays empty: skipped
    AcceptedCaTable table_;
};
