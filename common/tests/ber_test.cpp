#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ber.h"
#include "der_builder.h"

namespace {

using der_builder::Bytes;
using der_builder::ExactCopy;

bool readExact(const Bytes& bytes, ber::Element* e) {
    static std::unique_ptr<ExactCopy> copy;  // the element's views point into it
    copy = std::make_unique<ExactCopy>(bytes);
    return ber::read({copy->data(), copy->size()}, e);
}

TEST(BerRead, IndefiniteLengthRunsToItsOwnEndOfContents) {
    // SEQUENCE (indefinite) { [0] (indefinite) { OCTET STRING "hi" } } 00 00
    const Bytes nested = {0x30, 0x80, 0xA0, 0x80, 0x04, 0x02, 'h', 'i', 0x00, 0x00, 0x00, 0x00, 0x05, 0x00};
    ber::Element outer, inner;
    ASSERT_TRUE(readExact(nested, &outer));
    EXPECT_TRUE(outer.indefinite);
    EXPECT_EQ(outer.whole.size, 12u);
    EXPECT_EQ(outer.content.size, 8u);
    ber::Reader reader(outer);
    ASSERT_TRUE(reader.next(ber::CONTEXT_0, &inner));
    EXPECT_EQ(inner.content.size, 4u);
    EXPECT_FALSE(reader.nextIf(ber::OID, &inner));
    EXPECT_TRUE(reader.atEnd() && !reader.failed());
}

TEST(BerRead, ConstructedOctetStringGivesItsPiecesInOrder) {
    const Bytes chunks = {0x24, 0x80, 0x04, 0x02, 'a', 'b', 0x24, 0x03, 0x04, 0x01, 'c',
                          0x04, 0x00, 0x04, 0x01, 'd', 0x00, 0x00};
    ber::Element e;
    ASSERT_TRUE(readExact(chunks, &e));
    std::vector<std::string> pieces;  // the empty one is not handed over
    auto gather = [&pieces](ber::Span p) {
        pieces.emplace_back(reinterpret_cast<const char*>(p.data), p.size);
        return pieces.size() < 3;
    };
    EXPECT_FALSE(ber::forEachOctetStringPiece(e, gather)) << "the visitor stops the walk";
    EXPECT_EQ(pieces, (std::vector<std::string>{"ab", "c", "d"}));

    ASSERT_TRUE(readExact({0x24, 0x03, 0x02, 0x01, 0x05}, &e));  // an INTEGER inside
    EXPECT_FALSE(ber::forEachOctetStringPiece(e, [](ber::Span) { return true; }));
}

TEST(BerRead, RefusesTruncatedImpossibleAndTooDeepEncodings) {
    Bytes deep;
    for (int i = 0; i < 10000; ++i) deep.insert(deep.end(), {0x30, 0x80});
    const Bytes cases[] = {
        {},                                    // nothing
        {0x30},                                // no length
        {0x04, 0x05, 'a'},                     // content shorter than its length (81 05 or 84 00 00 00 05 alike)
        {0x04, 0x84, 0x00, 0x00, 0x00, 0x05, 'a'},
        {0x04, 0x82, 0x01},                    // length octets cut
        {0x04, 0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9},  // a length beyond 64 bits
        {0x04, 0x80, 0x00, 0x00},              // a primitive element cannot be indefinite
        {0x30, 0x80, 0x04, 0x01, 'a'},         // no end-of-contents
        {0x1F, 0x81, 0x01, 0x00},              // high tag number
        {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xFF},  // length far past the end
        deep,                                  // nesting refused, not recursed without end
    };
    for (const Bytes& bytes : cases) {
        ber::Element e;
        EXPECT_FALSE(readExact(bytes, &e)) << "case of " << bytes.size() << " bytes";
    }
}

TEST(BerReader, StopsAndFailsOnAnElementWithTheWrongTagOrABrokenOne) {
    const Bytes content = {0x02, 0x01, 0x01, 0x05, 0x00, 0xFF};
    ber::Reader reader(ber::Span{content.data(), content.size()});
    ber::Element e;
    ASSERT_TRUE(reader.next(ber::INTEGER, &e));
    EXPECT_FALSE(reader.next(ber::INTEGER, &e));  // a NULL follows
    EXPECT_TRUE(reader.failed());
    ber::Reader broken(ber::Span{content.data(), content.size()});
    EXPECT_TRUE(broken.next(&e) && broken.next(&e));
    EXPECT_FALSE(broken.next(&e));  // 0xFF is no element
    EXPECT_TRUE(broken.failed());
}

// Identifiers read back as the text they were made from; broken ones as nothing.
TEST(BerOid, TextOfWellFormedIdentifiersOnly) {
    for (const char* dotted : {"2.5.29.31", "1.2.840.113549.1.9.15", "0.9.2342.19200300.100.1.25", "2.999.1"}) {
        ber::Element e;
        ASSERT_TRUE(readExact(der_builder::tlv(ber::OID, ber::oidFromText(dotted)), &e));
        EXPECT_EQ(ber::oidText(e), dotted);
    }
    const Bytes broken[] = {
        {0x06, 0x00},                    // empty
        {0x06, 0x02, 0x55, 0x9D},        // ends inside an arc
        {0x06, 0x03, 0x55, 0x80, 0x01},  // an arc with a leading zero group
        {0x06, 0x0C, 0x55, 0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00},  // 2^70
        {0x04, 0x01, 0x55},              // not an identifier
    };
    for (const Bytes& bytes : broken) {
        ber::Element e;
        ASSERT_TRUE(readExact(bytes, &e));
        EXPECT_EQ(ber::oidText(e), "") << bytes.size() << " bytes";
    }
}

}  // namespace
