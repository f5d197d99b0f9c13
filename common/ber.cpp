#include "ber.h"

#include <cstdlib>
#include <cstring>

namespace ber {
namespace {

// Deep enough for any certificate or message; shallow enough for the stack.
constexpr int MAX_DEPTH = 48;

bool readAt(Span in, Element* out, int depth);

// The content of an indefinite-length element runs up to the end-of-contents
// octets (00 00) at its own level: the elements inside are skipped whole.
bool findEndOfContents(Span in, int depth, size_t* contentSize) {
    size_t offset = 0;
    while (true) {
        if (in.size - offset < 2) return false;
        if (in.data[offset] == 0 && in.data[offset + 1] == 0) {
            *contentSize = offset;
            return true;
        }
        Element inner;
        if (!readAt({in.data + offset, in.size - offset}, &inner, depth + 1)) return false;
        offset += inner.whole.size;
    }
}

bool readAt(Span in, Element* out, int depth) {
    if (depth > MAX_DEPTH || in.size < 2) return false;
    const uint8_t tag = in.data[0];
    if ((tag & 0x1F) == 0x1F) return false;  // high tag numbers: not used here
    size_t offset = 1;
    const uint8_t first = in.data[offset++];
    Element e;
    e.tag = tag;
    if (first == 0x80) {
        if (!(tag & CONSTRUCTED)) return false;  // only constructed elements may be indefinite
        size_t contentSize = 0;
        if (!findEndOfContents({in.data + offset, in.size - offset}, depth, &contentSize)) return false;
        e.indefinite = true;
        e.content = {in.data + offset, contentSize};
        e.whole = {in.data, offset + contentSize + 2};
        *out = e;
        return true;
    }
    size_t length = first;
    if (first & 0x80) {
        const size_t count = first & 0x7F;
        if (count > sizeof(size_t) || count > in.size - offset) return false;
        length = 0;
        for (size_t i = 0; i < count; ++i) {
            if (length > (SIZE_MAX >> 8)) return false;
            length = (length << 8) | in.data[offset++];
        }
    }
    if (length > in.size - offset) return false;
    e.content = {in.data + offset, length};
    e.whole = {in.data, offset + length};
    *out = e;
    return true;
}

bool visitPieces(const Element& element, const std::function<bool(Span)>& visit, int depth) {
    if ((element.tag & ~CONSTRUCTED) != OCTET_STRING || depth > MAX_DEPTH) return false;
    if (!element.constructed()) return element.content.size == 0 || visit(element.content);
    Reader reader(element);
    Element piece;
    while (reader.next(&piece)) {
        if (!visitPieces(piece, visit, depth + 1)) return false;
    }
    return !reader.failed();
}

}  // namespace

bool Span::operator==(const Span& other) const {
    return size == other.size && (size == 0 || std::memcmp(data, other.data, size) == 0);
}

bool read(Span in, Element* out) { return readAt(in, out, 0); }

bool Reader::next(Element* out) {
    if (failed_ || rest_.size == 0) return false;
    if (!read(rest_, out)) {
        failed_ = true;
        return false;
    }
    rest_.data += out->whole.size;
    rest_.size -= out->whole.size;
    return true;
}

bool Reader::next(uint8_t tag, Element* out) {
    if (!next(out)) {
        failed_ = true;
        return false;
    }
    if (out->tag != tag) {
        failed_ = true;
        return false;
    }
    return true;
}

bool Reader::nextIf(uint8_t tag, Element* out) {
    if (failed_ || rest_.size == 0 || rest_.data[0] != tag) return false;
    return next(out);
}

bool forEachOctetStringPiece(const Element& element, const std::function<bool(Span)>& visit) {
    return visitPieces(element, visit, 0);
}

bool smallInteger(const Element& element, int* value) {
    if (element.tag != INTEGER || element.content.size == 0 || element.content.size > 2) return false;
    int v = static_cast<int8_t>(element.content.data[0]);
    for (size_t i = 1; i < element.content.size; ++i) v = v * 256 + element.content.data[i];
    *value = v;
    return true;
}

std::vector<uint8_t> oidFromText(const char* dotted) {
    std::vector<unsigned long> arcs;
    const char* p = dotted;
    while (*p) {
        char* end = nullptr;
        arcs.push_back(std::strtoul(p, &end, 10));
        p = *end == '.' ? end + 1 : end;
    }
    std::vector<uint8_t> out;
    if (arcs.size() < 2) return out;
    arcs[1] += arcs[0] * 40;
    for (size_t i = 1; i < arcs.size(); ++i) {
        uint8_t groups[8];
        int count = 0;
        unsigned long v = arcs[i];
        do {
            groups[count++] = static_cast<uint8_t>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (count-- > 0) out.push_back(static_cast<uint8_t>(groups[count] | (count ? 0x80 : 0)));
    }
    return out;
}

bool isOid(const Element& element, const std::vector<uint8_t>& oid) {
    return element.tag == OID && element.content.size == oid.size() &&
           std::memcmp(element.content.data, oid.data(), oid.size()) == 0;
}

std::string oidText(const Element& element) {
    const Span& c = element.content;
    if (element.tag != OID || c.size == 0 || (c.data[c.size - 1] & 0x80) != 0) return "";
    std::string text;
    uint64_t arc = 0;
    bool first = true;
    for (size_t i = 0; i < c.size; ++i) {
        if (arc > (UINT64_MAX >> 7) || (arc == 0 && c.data[i] == 0x80)) return "";  // too large, or not minimal
        arc = (arc << 7) | (c.data[i] & 0x7F);
        if (c.data[i] & 0x80) continue;
        if (first) {  // the first two arcs share one number
            const uint64_t top = arc < 80 ? arc / 40 : 2;
            text = std::to_string(top) + "." + std::to_string(arc - top * 40);
            first = false;
        } else {
            text += "." + std::to_string(arc);
        }
        arc = 0;
    }
    return text;
}

}  // namespace ber
