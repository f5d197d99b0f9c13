#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ber.h"

namespace {

using Bytes = std::vector<uint8_t>;

ber::Span span(const Bytes& b) { return {b.data(), b.size()}; }

// In a heap block of exactly its size, so that AddressSanitizer sees overreads.
class Exact {
public:
    explicit Exact(const Bytes& b) : data_(new uint8_t[b.size() ? b.size() : 1]), size_(b.size()) {
        std::copy(b.begin(), b.end(), data_.get());
    }
    ber::Span span() const { return {data_.get(), size_}; }
private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_;
};

TEST(BerRead, DefiniteLengthsInShortAndAnyLongForm) {
    const Bytes shortForm = {0x04, 0x03, 'a', 'b', 'c', 0xFF};
    ber::Element e;
    ASSERT_TRUE(ber::read(span(shortForm), &e));
    EXPECT_EQ(e.tag, 0x04);
    EXPECT_EQ(e.content.size, 3u);
    EXPECT_EQ(e.whole.size, 5u);  // the byte after the element is not part of it

    // 81 03 is not the shortest form; BER allows it, as the signing program's 81 7F.
    const Bytes longForm = {0x04, 0x81, 0x03, 'a', 'b', 'c'};
    ASSERT_TRUE(ber::read(span(longForm), &e));
    EXPECT_EQ(e.content.size, 3u);
    const Bytes fourOctets = {0x04, 0x84, 0x00, 0x00, 0x00, 0x01, 'z'};
    ASSERT_TRUE(ber::read(span(fourOctets), &e));
    EXPECT_EQ(e.content.size, 1u);
}

TEST(BerRead, IndefiniteLengthRunsToItsOwnEndOfContents) {
    // SEQUENCE (indefinite) { [0] (indefinite) { OCTET STRING "hi" } } 00 00
    const Bytes nested = {0x30, 0x80, 0xA0, 0x80, 0x04, 0x02, 'h', 'i', 0x00, 0x00, 0x00, 0x00, 0x05, 0x00};
    ber::Element outer, inner;
    ASSERT_TRUE(ber::read(span(nested), &outer));
    EXPECT_TRUE(outer.indefinite);
    EXPECT_EQ(outer.whole.size, 12u);
    EXPECT_EQ(outer.content.size, 8u);
    ber::Reader reader(outer);
    ASSERT_TRUE(reader.next(ber::CONTEXT_0, &inner));
    EXPECT_EQ(inner.content.size, 4u);
    EXPECT_TRUE(reader.atEnd());
}

TEST(BerRead, ConstructedOctetStringGivesItsPiecesInOrder) {
    const Bytes chunks = {0x24, 0x80, 0x04, 0x02, 'a', 'b', 0x24, 0x03, 0x04, 0x01, 'c',
                          0x04, 0x00, 0x04, 0x01, 'd', 0x00, 0x00};
    ber::Element e;
    ASSERT_TRUE(ber::read(span(chunks), &e));
    std::vector<std::string> pieces;  // the empty one is not handed over
    auto gather = [&pieces](ber::Span p) {
        pieces.emplace_back(reinterpret_cast<const char*>(p.data), p.size);
        return pieces.size() < 3;
    };
    EXPECT_FALSE(ber::forEachOctetStringPiece(e, gather)) << "the visitor stops the walk";
    EXPECT_EQ(pieces, (std::vector<std::string>{"ab", "c", "d"}));

    const Bytes wrongPiece = {0x24, 0x03, 0x02, 0x01, 0x05};  // an INTEGER inside
    ASSERT_TRUE(ber::read(span(wrongPiece), &e));
    EXPECT_FALSE(ber::forEachOctetStringPiece(e, [](ber::Span) { return true; }));
}

TEST(BerRead, RefusesTruncatedAndImpossibleEncodings) {
    const Bytes cases[] = {
        {},                                    // nothing
        {0x30},                                // no length
        {0x04, 0x05, 'a'},                     // content shorter than its length
        {0x04, 0x82, 0x01},                    // length octets cut
        {0x04, 0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9},  // a length beyond 64 bits
        {0x04, 0x80, 0x00, 0x00},              // a primitive element cannot be indefinite
        {0x30, 0x80, 0x04, 0x01, 'a'},         // no end-of-contents
        {0x1F, 0x81, 0x01, 0x00},              // high tag number
        {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xFF},  // length far past the end
    };
    for (const Bytes& bytes : cases) {
        Exact exact(bytes);
        ber::Element e;
        EXPECT_FALSE(ber::read(exact.span(), &e)) << "case of " << bytes.size() << " bytes";
    }
}

TEST(BerRead, DeepNestingIsRefusedNotRecursedWithoutEnd) {
    Bytes deep;
    for (int i = 0; i < 10000; ++i) { deep.push_back(0x30); deep.push_back(0x80); }
    Exact exact(deep);
    ber::Element e;
    EXPECT_FALSE(ber::read(exact.span(), &e));
}

TEST(BerReader, StopsAndFailsOnAnElementWithTheWrongTag) {
    const Bytes seq = {0x30, 0x06, 0x02, 0x01, 0x01, 0x05, 0x00, 0xFF};
    ber::Element outer, e;
    ASSERT_TRUE(ber::read(span(seq), &outer));
    ber::Reader reader(outer);
    EXPECT_FALSE(reader.nextIf(ber::OID, &e));  // not consumed
    ASSERT_TRUE(reader.next(ber::INTEGER, &e));
    EXPECT_FALSE(reader.next(ber::INTEGER, &e));  // a NULL follows
    EXPECT_TRUE(reader.failed());
    // 0xFF inside the SEQUENCE's content is a broken element.
    ber::Reader broken(ber::Span{seq.data() + 2, 6});
    EXPECT_TRUE(broken.next(&e));
    EXPECT_TRUE(broken.next(&e));
    EXPECT_FALSE(broken.next(&e));
    EXPECT_TRUE(broken.failed());
}

TEST(BerOid, EncodesDottedText) {
    EXPECT_EQ(ber::oidFromText("1.2.840.113549.1.7.2"),
              (Bytes{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02}));
    EXPECT_EQ(ber::oidFromText("2.16.840.1.101.3.4.2.1"),
              (Bytes{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}));
    EXPECT_EQ(ber::oidFromText("2.5.4.3"), (Bytes{0x55, 0x04, 0x03}));
}

}  // namespace
