// Test support: choosing the card in the simulated reader, the PKCS#11 module
// variant, and reading the stand-ins' call log.
#pragma once

#include <string>
#include <vector>

#include "test_card_key.h"

// While it lives, the simulated reader holds the chosen card and the
// stand-ins write their calls to a fresh log; on destruction the reader is
// empty again and the full module is selected.
class SimulatedCard {
public:
    SimulatedCard();
    ~SimulatedCard();
    SimulatedCard(const SimulatedCard&) = delete;
    SimulatedCard& operator=(const SimulatedCard&) = delete;

    // A checked-in profile, by name: testdata/cards/<name>.profile.
    void insert(const std::string& profileName);
    // A profile written for the test: a checked-in one with further lines
    // (later lines win), e.g. insertVariant("card144", "fail = C_Sign").
    // File names may be given relative to testdata/cards, as in the profiles.
    void insertVariant(const std::string& profileName, const std::string& extraLines);

    // The module that LoadLibrary("gclib.dll") finds: the full one, the one
    // without C_Sign, or none.
    static void useFullModule();
    static void useIncompleteModule();
    static void useNoModule();

    // Lines of the call log, and the calls' names alone ("C_Login", "load");
    // clearLog starts it afresh.
    void clearLog();
    std::vector<std::string> logLines() const;
    std::vector<std::string> calls() const;
    int count(const std::string& call) const;

    // A scratch folder of this test's own, emptied at construction.
    const std::string& scratch() const { return scratch_; }

private:
    std::string scratch_;
    std::string logPath_;
};
