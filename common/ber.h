// A reader of BER, the basic ASN.1 encoding that PKCS #7 messages use: DER
// and its relaxations (indefinite lengths, long-form lengths of any size,
// constructed strings). It never copies: elements are views into the bytes
// they were read from, and every read is checked against their end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ber {

// A view of bytes owned elsewhere.
struct Span {
    const uint8_t* data = nullptr;
    size_t size = 0;

    bool empty() const { return size == 0; }
    bool operator==(const Span& other) const;
    bool operator!=(const Span& other) const { return !(*this == other); }
};

// Identifier octets of the elements that PKCS #7 uses.
constexpr uint8_t INTEGER = 0x02;
constexpr uint8_t BIT_STRING = 0x03;
constexpr uint8_t OCTET_STRING = 0x04;
constexpr uint8_t NULL_TAG = 0x05;
constexpr uint8_t OID = 0x06;
constexpr uint8_t SEQUENCE = 0x30;
constexpr uint8_t SET = 0x31;
constexpr uint8_t CONSTRUCTED = 0x20;
constexpr uint8_t CONTEXT_0 = 0xA0;  // [0], constructed
constexpr uint8_t CONTEXT_1 = 0xA1;  // [1], constructed

struct Element {
    uint8_t tag = 0;       // the identifier octet (low tag numbers only)
    bool indefinite = false;
    Span whole;            // identifier, length and content (and end-of-contents)
    Span content;          // the content octets

    bool constructed() const { return (tag & CONSTRUCTED) != 0; }
};

// Reads the element at the start of `in`. False when the bytes are not one
// complete element. Nesting deeper than a fixed limit is refused.
bool read(Span in, Element* out);

// The elements of a constructed element's content, one after the other.
class Reader {
public:
    explicit Reader(Span content) : rest_(content) {}
    explicit Reader(const Element& parent) : rest_(parent.content) {}

    // The next element; false at the end or when the next bytes are not an
    // element (then failed() is true).
    bool next(Element* out);
    // The next element, which must carry `tag`.
    bool next(uint8_t tag, Element* out);
    // The next element when it carries `tag`; otherwise nothing is consumed.
    bool nextIf(uint8_t tag, Element* out);

    bool atEnd() const { return rest_.size == 0; }
    bool failed() const { return failed_; }

private:
    Span rest_;
    bool failed_ = false;
};

// Hands `visit` the value of an OCTET STRING, primitive or constructed, as the
// non-empty pieces in which it lies in the encoding, in order. False when a
// piece is not an OCTET STRING or `visit` returns false; the pieces are never
// gathered, so a value of a million pieces costs no memory.
bool forEachOctetStringPiece(const Element& element, const std::function<bool(Span)>& visit);

// A small INTEGER's value (versions); false when it does not fit.
bool smallInteger(const Element& element, int* value);

// An object identifier's content octets from its dotted text, for comparisons.
std::vector<uint8_t> oidFromText(const char* dotted);
bool isOid(const Element& element, const std::vector<uint8_t>& oid);
// An object identifier's dotted text ("2.5.29.31"); empty when the element is
// not a well-formed identifier or an arc does not fit 64 bits.
std::string oidText(const Element& element);

}  // namespace ber
