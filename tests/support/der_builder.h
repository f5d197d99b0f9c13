// Small DER helpers of the tests' own (not the engines'), for building the
// files and elements that tests expect or feed in, and for reading the issuer
// and serial number straight from a certificate's bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace der_builder {

using Bytes = std::vector<uint8_t>;

inline Bytes hex(const std::string& text) {
    Bytes out;
    std::string digits;
    for (char c : text) if (c != ' ') digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// Length octets as SignedFiles write them: short form up to 126.
inline Bytes len(size_t n) {
    if (n <= 126) return {static_cast<uint8_t>(n)};
    if (n <= 0xFF) return {0x81, static_cast<uint8_t>(n)};
    if (n <= 0xFFFF) return {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    if (n <= 0xFFFFFF) {
        return {0x83, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                static_cast<uint8_t>(n)};
    }
    return {0x84, static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes tlv(uint8_t tag, const Bytes& content) {
    return cat({Bytes{tag}, len(content.size()), content});
}

// Bytes that look random and are the same at every run, for test contents.
inline Bytes pattern(size_t size, uint32_t seed) {
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 7;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 23);
    }
    return out;
}

// One element of a DER encoding found at `offset`: where its content starts
// and how long it is. Definite lengths only, as certificates use.
struct Element {
    uint8_t tag;
    size_t contentStart;
    size_t contentLength;
    size_t end() const { return contentStart + contentLength; }
};

inline Element elementAt(const Bytes& der, size_t offset) {
    Element e{der.at(offset), offset + 2, der.at(offset + 1)};
    if (e.contentLength & 0x80) {
        const size_t count = e.contentLength & 0x7F;
        e.contentLength = 0;
        for (size_t i = 0; i < count; ++i) e.contentLength = (e.contentLength << 8) | der.at(offset + 2 + i);
        e.contentStart += count;
    }
    return e;
}

// The encoded issuer Name and the serial number's content octets of a DER
// certificate, read straight from its bytes.
inline void issuerAndSerialOf(const Bytes& certificate, Bytes* issuer, Bytes* serial) {
    const Element cert = elementAt(certificate, 0);
    const Element tbs = elementAt(certificate, cert.contentStart);
    size_t at = tbs.contentStart;
    if (certificate.at(at) == 0xA0) at = elementAt(certificate, at).end();  // version
    const Element serialNumber = elementAt(certificate, at);
    const Element signatureAlgorithm = elementAt(certificate, serialNumber.end());
    const size_t issuerStart = signatureAlgorithm.end();
    const Element issuerName = elementAt(certificate, issuerStart);
    serial->assign(certificate.begin() + serialNumber.contentStart,
                   certificate.begin() + serialNumber.end());
    issuer->assign(certificate.begin() + issuerStart, certificate.begin() + issuerName.end());
}

// A DER certificate with its subject Name replaced by `subject` (DER), the
// other fields as they are: its signature no longer matches, which a test of
// what is shown of a certificate does not mind.
inline Bytes withSubject(const Bytes& certificate, const Bytes& subject) {
    const Element whole = elementAt(certificate, 0);
    const Element tbs = elementAt(certificate, whole.contentStart);
    Bytes fields;
    size_t at = tbs.contentStart;
    // version (when there is one), serial number, algorithm, issuer, validity
    const int before = certificate.at(at) == 0xA0 ? 5 : 4;
    for (int i = 0; i < before; ++i) at = elementAt(certificate, at).end();
    fields.insert(fields.end(), certificate.begin() + tbs.contentStart, certificate.begin() + at);
    fields.insert(fields.end(), subject.begin(), subject.end());
    at = elementAt(certificate, at).end();
    fields.insert(fields.end(), certificate.begin() + at, certificate.begin() + tbs.end());
    return tlv(0x30, cat({tlv(0x30, fields), Bytes(certificate.begin() + tbs.end(), certificate.begin() + whole.end())}));
}

// A copy of bytes in a heap block of exactly their size, so that
// AddressSanitizer sees any read past their end.
class ExactCopy {
public:
    explicit ExactCopy(const Bytes& b) : data_(new uint8_t[b.size()]), size_(b.size()) {
        std::copy(b.begin(), b.end(), data_.get());
    }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_;
};

}  // namespace der_builder
