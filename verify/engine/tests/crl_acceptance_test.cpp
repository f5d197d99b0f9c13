// The gate of the revocation lists, over the test PKI's lists of authority
// 140 (scripts/make-test-pki) and the card "revoked", which only
// ca140-revoked.crl and ca140-entry-reason.crl list.
#include <gtest/gtest.h>

#include <string>

#include "crl_acceptance.h"
#include "test_card_key.h"

namespace {

Bytes list(const std::string& name) { return readWholeFile(testDataPath("pki/crl/" + name + ".crl")); }
Bytes authority(const std::string& name) { return readWholeFile(testDataPath("pki/ca/" + name + ".der")); }

TEST(CrlAcceptance, OnlyTheIssuersWholeCurrentListIsBelievedAndNeverAnOlderOne) {
    const Bytes card = loadTestCard("revoked").certificate;
    const Bytes ca140 = authority("140");
    const struct {
        const char* list;
        Bytes issuer;
        const char* known;  // the copy accepted before, or none
        int32_t verdict;
        int32_t answer;     // of an accepted list
    } rows[] = {
        {"ca140", ca140, nullptr, CRLVERIFY_GOOD, CRLVERIFY_GOOD},
        {"ca140-revoked", ca140, nullptr, CRLVERIFY_GOOD, CRLVERIFY_REVOKED},
        // Understood: an entry's critical reason, a point that names where the
        // list lives and keeps it to end entities.
        {"ca140-entry-reason", ca140, nullptr, CRLVERIFY_GOOD, CRLVERIFY_REVOKED},
        {"ca140-user-only", ca140, nullptr, CRLVERIFY_GOOD, CRLVERIFY_GOOD},
        // Signed by 140 and current, but not the whole list.
        {"ca140-delta", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        {"ca140-ca-only", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        {"ca140-some-reasons", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        {"ca140-indirect", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        {"ca140-attribute-only", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        // Another partition's list: its point is not one the card names.
        {"ca140-other-point", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        {"ca140-unknown-critical", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        {"ca140-entry-issuer", ca140, nullptr, CRLVERIFY_SCOPE, 0},
        // Older than the copy accepted before: by date, by number at the same date.
        {"ca140-older", ca140, "ca140", CRLVERIFY_ROLLBACK, 0},
        {"ca140", ca140, "ca140-revoked", CRLVERIFY_ROLLBACK, 0},
        {"ca140-revoked", ca140, "ca140", CRLVERIFY_GOOD, CRLVERIFY_REVOKED},
        {"ca140", ca140, "ca140", CRLVERIFY_GOOD, CRLVERIFY_GOOD},
        // A copy that is not the issuer's own sets no floor.
        {"ca140-older", ca140, "ca140-forged", CRLVERIFY_GOOD, CRLVERIFY_GOOD},
        // Not the issuer's key, or no key to verify with.
        {"ca140-forged", ca140, nullptr, CRLVERIFY_UNSIGNED, 0},
        {"ca140", authority("forged-140"), nullptr, CRLVERIFY_UNSIGNED, 0},
        {"ca140", {}, nullptr, CRLVERIFY_UNSIGNED, 0},
        {"ca140-forged", {}, nullptr, CRLVERIFY_UNSIGNED, 0},
        {"ca140-outdated", ca140, nullptr, CRLVERIFY_OUTDATED, 0},
        {"ca141", authority("141"), nullptr, CRLVERIFY_FAILED, 0},  // another authority's
    };
    for (const auto& row : rows) {
        const std::string title = std::string(row.list) + (row.known ? std::string(" after ") + row.known : "") +
                                  (row.issuer.empty() ? ", issuer unknown" : "");
        const Bytes bytes = list(row.list);
        const Bytes known = row.known ? list(row.known) : Bytes();
        const CrlBlob knownBlob = blobOf(known);
        std::unique_ptr<AcceptedCrl> accepted;
        EXPECT_EQ(acceptCrl(blobOf(bytes), card.data(), card.size(), row.issuer, row.known ? &knownBlob : nullptr,
                            &accepted),
                  row.verdict)
            << title;
        EXPECT_EQ(accepted != nullptr, row.verdict == CRLVERIFY_GOOD) << title;
        if (accepted && row.verdict == CRLVERIFY_GOOD) {
            EXPECT_EQ(accepted->answer(), row.answer) << title;
            EXPECT_EQ(Bytes(accepted->blob().pbData, accepted->blob().pbData + accepted->blob().cbData), bytes) << title;
        }
    }
    // What is no list, or no certificate.
    std::unique_ptr<AcceptedCrl> accepted;
    const Bytes good = list("ca140");
    Bytes cut(good.begin(), good.end() - 1);
    EXPECT_EQ(acceptCrl(blobOf(cut), card.data(), card.size(), ca140, nullptr, &accepted), CRLVERIFY_FAILED);
    EXPECT_EQ(acceptCrl(CrlBlob{}, card.data(), card.size(), ca140, nullptr, &accepted), CRLVERIFY_FAILED);
    EXPECT_EQ(acceptCrl(blobOf(good), nullptr, 0, ca140, nullptr, &accepted), CRLVERIFY_FAILED);
    EXPECT_EQ(accepted, nullptr);
}

// With a time-stamp's time (the card expired-2023, valid 2020 to 2023,
// stamped on 2021-06-01): revoked only when the revocation, or an earlier
// invalidity date, came first; and for a certificate expired since, a list
// that does not name it proves nothing unless it keeps expired certificates.
TEST(CrlAcceptance, AtATimestampsTimeRevokedLaterStaysValid) {
    const Bytes card = loadTestCard("expired-2023").certificate;
    const Bytes ca140 = authority("140");
    FILETIME stamped, beforeValidity;
    const SYSTEMTIME june2021{2021, 6, 2, 1, 12, 0, 0, 0}, december2019{2019, 12, 0, 1, 12, 0, 0, 0};
    SystemTimeToFileTime(&june2021, &stamped);
    SystemTimeToFileTime(&december2019, &beforeValidity);
    const struct {
        const char* list;
        const FILETIME* at;
        int32_t answer;
    } rows[] = {
        {"ca140-revoked-after-stamp", &stamped, CRLVERIFY_REVOKED_LATER},
        {"ca140-revoked-before-stamp", &stamped, CRLVERIFY_REVOKED},
        {"ca140-invalid-before-stamp", &stamped, CRLVERIFY_REVOKED},
        {"ca140-expired-on-crl", &stamped, CRLVERIFY_GOOD},
        {"ca140", &stamped, CRLVERIFY_NOT_ESTABLISHED},
        {"ca140", &beforeValidity, CRLVERIFY_TIME},
        // Without a time-stamp: as of now, when the card has expired.
        {"ca140-revoked-after-stamp", nullptr, CRLVERIFY_TIME},
        {"ca140-expired-on-crl", nullptr, CRLVERIFY_TIME},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.list) + (row.at == &stamped ? " at the stamp" : row.at ? " before validity" : " now"));
        const Bytes bytes = list(row.list);
        std::unique_ptr<AcceptedCrl> accepted;
        ASSERT_EQ(acceptCrl(blobOf(bytes), card.data(), card.size(), ca140, nullptr, &accepted, row.at), CRLVERIFY_GOOD);
        EXPECT_EQ(accepted->answer(), row.answer);
    }
    // A current card's list answers the same with or without a time-stamp.
    const Bytes revoked = loadTestCard("revoked").certificate;
    for (const char* name : {"ca140", "ca140-revoked"}) {
        const Bytes bytes = list(name);
        std::unique_ptr<AcceptedCrl> now, atStamp;
        acceptCrl(blobOf(bytes), revoked.data(), revoked.size(), ca140, nullptr, &now);
        acceptCrl(blobOf(bytes), revoked.data(), revoked.size(), ca140, nullptr, &atStamp, &stamped);
        ASSERT_TRUE(now && atStamp) << name;
        EXPECT_EQ(atStamp->answer(), std::string(name) == "ca140" ? CRLVERIFY_GOOD : CRLVERIFY_REVOKED_LATER) << name;
        EXPECT_EQ(now->answer(), std::string(name) == "ca140" ? CRLVERIFY_GOOD : CRLVERIFY_REVOKED) << name;
    }
}

}  // namespace
