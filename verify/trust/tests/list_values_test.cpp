#include "list_values.h"

#include <gtest/gtest.h>

namespace {

TEST(ListDates, AnInstantNeedsItsZone) {
    UtcSeconds t = 0;
    ASSERT_TRUE(readDateTime("2019-09-04T08:00:00Z", &t));
    EXPECT_EQ(t, 1567584000);
    ASSERT_TRUE(readDateTime(" 2019-09-04T10:00:00.123+02:00\n", &t));
    EXPECT_EQ(t, 1567584000);
    ASSERT_TRUE(readDateTime("2020-02-29T23:59:59-01:30", &t));
    EXPECT_EQ(formatUtc(t), "01/03/2020 01:29 UTC");
    for (const char* wrong : {"2019-09-04T08:00:00", "2019-02-29T00:00:00Z", "2019-13-01T00:00:00Z",
                              "2019-09-04 08:00:00Z", "2019-09-04T24:00:00Z", "2019-09-04T08:00:00.Z",
                              "0999-01-01T00:00:00Z", "2019-09-04T08:00:00Zjunk", "2019-09-04T08:00:00+15:00", ""}) {
        EXPECT_FALSE(readDateTime(wrong, &t)) << wrong;
    }
    EXPECT_EQ(formatUtc(0), "01/01/1970 00:00 UTC");
    EXPECT_EQ(formatUtc(-1), "31/12/1969 23:59 UTC");
}

TEST(ListBase64, OnlyBase64IsDecoded) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(decodeBase64(" TWFu\nTWE=\r\n", &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "ManMa");
    ASSERT_TRUE(decodeBase64("TQ==", &bytes));
    EXPECT_EQ(bytes, std::vector<uint8_t>{'M'});
    for (const char* wrong : {"", "T", "TQ=", "TQ===", "TWE=TWE=", "TW-u", "TR==", "TWFu=", "====", "TWF\x01u"}) {
        EXPECT_FALSE(decodeBase64(wrong, &bytes)) << wrong;
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(ListUris, AbsoluteWithoutSpaces) {
    EXPECT_TRUE(isAbsoluteUri("http://uri.etsi.org/TrstSvc/Svctype/CA/QC"));
    EXPECT_TRUE(isAbsoluteUri("mailto:it_tsl@agid.gov.it"));
    for (const char* wrong : {"", "CA/QC", ":x", "1http://x", "http:", "http://a b", "http://a\tb"}) {
        EXPECT_FALSE(isAbsoluteUri(wrong)) << wrong;
    }
}

}  // namespace
