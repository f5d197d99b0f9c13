#include "trusted_list.h"

#include <gtest/gtest.h>

namespace {

const std::string TYPE = "http://uri.etsi.org/TrstSvc/Svctype/";
const std::string STATUS = "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/";
const std::string USE = "http://uri.etsi.org/TrstSvc/TrustedList/SvcInfoExt/";

UtcSeconds at(const char* text) {
    UtcSeconds time = 0;
    EXPECT_TRUE(readDateTime(text, &time)) << text;
    return time;
}

ServiceState state(const std::string& type, const std::string& status, const char* since,
                   std::vector<std::string> uses = {}) {
    ServiceState s;
    s.type = TYPE + type;
    s.status = STATUS + status;
    s.since = at(since);
    s.additionalInformation = std::move(uses);
    return s;
}

// Accredited in 2007, granted from 1 July 2016, withdrawn in 2023; the
// history newest first, as lists give it.
TrustService authority() {
    TrustService service;
    service.current = state("CA/QC", "withdrawn", "2023-06-01T00:00:00Z");
    service.history = {state("CA/QC", "granted", "2016-07-01T00:00:00Z", {USE + "ForeSignatures"}),
                       state("CA/QC", "accredited", "2007-07-20T08:53:35Z")};
    return service;
}

TEST(ServiceHistory, EachTimeReadsTheStateThatBeganLastBeforeIt) {
    const TrustService service = authority();
    EXPECT_EQ(serviceStateAt(service, at("2007-07-20T08:53:34Z")), nullptr);  // not yet listed
    EXPECT_EQ(serviceStateAt(service, at("2007-07-20T08:53:35Z")), &service.history[1]);
    EXPECT_EQ(serviceStateAt(service, at("2016-06-30T23:59:59Z")), &service.history[1]);
    EXPECT_EQ(serviceStateAt(service, at("2020-01-01T00:00:00Z")), &service.history[0]);
    EXPECT_EQ(serviceStateAt(service, at("2023-06-01T00:00:00Z")), &service.current);
    // The same history in another order reads the same.
    TrustService shuffled = service;
    std::swap(shuffled.history[0], shuffled.history[1]);
    const ServiceState* read = serviceStateAt(shuffled, at("2020-01-01T00:00:00Z"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->status, STATUS + "granted");
}

TEST(ServiceHistory, ASignatureAuthorityIsTrustedOnlyWhileItsStatusWasPositive) {
    const TrustService service = authority();
    const auto trusted = [&](const char* time) {
        const ServiceState* s = serviceStateAt(service, at(time));
        return s != nullptr && isTrustedFor(TrustedRole::SignatureAuthority, *s, at(time));
    };
    EXPECT_FALSE(trusted("2000-01-01T00:00:00Z"));
    EXPECT_TRUE(trusted("2010-01-01T00:00:00Z"));   // accredited, before 1 July 2016
    EXPECT_TRUE(trusted("2020-01-01T00:00:00Z"));   // granted
    EXPECT_FALSE(trusted("2024-01-01T00:00:00Z"));  // withdrawn
    // "accredited" is no longer positive once only "granted" is.
    EXPECT_FALSE(isTrustedFor(TrustedRole::SignatureAuthority, state("CA/QC", "accredited", "2007-01-01T00:00:00Z"),
                              at("2016-07-01T00:00:00Z")));
    EXPECT_FALSE(isTrustedFor(TrustedRole::SignatureAuthority, state("CA/QC", "granted", "2016-07-01T00:00:00Z"),
                              at("2016-06-30T23:59:59Z")));
    EXPECT_FALSE(isTrustedFor(TrustedRole::TimeStamping, state("CA/QC", "granted", "2016-07-01T00:00:00Z"),
                              at("2020-01-01T00:00:00Z")));
}

TEST(ServiceHistory, SealsOrWebSitesOnlyDoNotVouchForSigners) {
    const UtcSeconds now = at("2020-01-01T00:00:00Z");
    const auto forSigners = [&](std::vector<std::string> uses) {
        return isTrustedFor(TrustedRole::SignatureAuthority, state("CA/QC", "granted", "2017-01-01T00:00:00Z", uses), now);
    };
    EXPECT_TRUE(forSigners({}));
    EXPECT_TRUE(forSigners({USE + "ForeSignatures"}));
    EXPECT_TRUE(forSigners({USE + "ForeSeals", USE + "ForeSignatures"}));
    EXPECT_FALSE(forSigners({USE + "ForeSeals"}));
    EXPECT_FALSE(forSigners({USE + "ForWebSiteAuthentication"}));
}

TEST(ServiceHistory, TimeStampingServicesByTheRulesOfTheirTime) {
    const UtcSeconds before = at("2010-01-01T00:00:00Z"), after = at("2020-01-01T00:00:00Z");
    for (const char* type : {"TSA", "TSA/TSS-QC", "TSA/TSS-AdESQCandQES", "TSA/QTST"}) {
        EXPECT_TRUE(isTrustedFor(TrustedRole::TimeStamping, state(type, "accredited", "2007-01-01T00:00:00Z"), before))
            << type;
    }
    EXPECT_TRUE(isTrustedFor(TrustedRole::TimeStamping, state("TSA/QTST", "granted", "2016-07-01T00:00:00Z"), after));
    EXPECT_FALSE(isTrustedFor(TrustedRole::TimeStamping, state("TSA/TSS-QC", "granted", "2016-07-01T00:00:00Z"), after));
    EXPECT_FALSE(
        isTrustedFor(TrustedRole::TimeStamping, state("TSA/QTST", "withdrawn", "2016-07-01T00:00:00Z"), after));
    EXPECT_FALSE(isTrustedFor(TrustedRole::TimeStamping,
                              state("TSA/TSS-QC", "recognisedatnationallevel", "2016-06-30T22:00:00Z"), after));
}

}  // namespace
