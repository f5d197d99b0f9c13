#include "extension_texts.h"

#include <cstring>

#include "ber.h"
#include "text_formats.h"

namespace {

using ber::Element;
using ber::Reader;
using ber::Span;

const char16_t INDENT[] = u"     ";
const char16_t NEWLINE[] = u"\r\n";

std::u16string widen(const std::string& text) {
    std::u16string out;
    for (unsigned char c : text) out += static_cast<char16_t>(c);
    return out;
}

std::u16string bytesText(Span bytes) {  // 8-bit strings (IA5, printable): one unit per byte
    std::u16string out;
    for (size_t i = 0; i < bytes.size; ++i) out += static_cast<char16_t>(bytes.data[i]);
    return out;
}

std::u16string bmpText(Span bytes) {  // BMP strings: big-endian 16-bit units
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size; i += 2) {
        out += static_cast<char16_t>((bytes.data[i] << 8) | bytes.data[i + 1]);
    }
    return out;
}

std::u16string hexText(Span bytes, bool lowerCase) {
    std::string text(writeHexPairs(bytes.data, bytes.size, nullptr), '\0');
    writeHexPairs(bytes.data, bytes.size, &text[0]);
    text.resize(text.size() - 1);
    if (lowerCase) {
        for (char& c : text) if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
    return widen(text);
}

// The one element that `value` must be, entirely.
bool wholeElement(const uint8_t* value, size_t length, uint8_t tag, Element* out) {
    return ber::read(Span{value, length}, out) && out->tag == tag && out->whole.size == length;
}

// A key usage bit string: the names of the bits set, then the bytes in hex,
// as the platform shows its key usage extension ("Digital Signature,
// Non-Repudiation (c0)").
bool keyUsageText(const Element& bits, std::u16string* out) {
    static const char16_t* const NAMES[] = {
        u"Digital Signature", u"Non-Repudiation", u"Key Encipherment", u"Data Encipherment", u"Key Agreement",
        u"Certificate Signing", u"Off-line CRL Signing, CRL Signing", u"Encipher Only", u"Decipher Only"};
    if (bits.tag != 0x03 || bits.content.size < 1 || bits.content.data[0] > 7) return false;
    const Span bytes{bits.content.data + 1, bits.content.size - 1};
    std::u16string names;
    for (size_t bit = 0; bit < 9 && bit / 8 < bytes.size; ++bit) {
        if (bytes.data[bit / 8] & (0x80 >> (bit % 8))) names += (names.empty() ? u"" : u", ") + std::u16string(NAMES[bit]);
    }
    *out = (names.empty() ? u"No Key Usage" : names) + u" (" + hexText(bytes, true) + u")";
    return true;
}

// The optional key usage that comes next in `fields`, as a "label=..." line;
// false when it is there but broken.
bool appendKeyUsage(Reader& fields, const char16_t* label, std::u16string* text) {
    Element bits;
    if (!fields.nextIf(0x03, &bits)) return true;
    std::u16string usage;
    if (!keyUsageText(bits, &usage)) return false;
    *text += label + usage + NEWLINE;
    return true;
}

// A GeneralizedTime "YYYYMMDDhhmmssZ" as "31/12/2001 23:59:59 (U.T.C.)"; the
// digits as they stand when the form is another.
std::u16string timeText(Span time) {
    const std::string t(reinterpret_cast<const char*>(time.data), time.size);
    if (t.size() == 15 && t[14] == 'Z' && t.find_first_not_of("0123456789", 0) == 14) {
        return widen(t.substr(6, 2) + "/" + t.substr(4, 2) + "/" + t.substr(0, 4) + " " + t.substr(8, 2) + ":" +
                     t.substr(10, 2) + ":" + t.substr(12, 2) + " (U.T.C.)");
    }
    return bytesText(time);
}

// One general name as a "Kind=value" text.
bool generalNameText(const Element& name, std::u16string* out) {
    switch (name.tag) {
    case 0x81: *out = u"Email Address=" + bytesText(name.content); return true;
    case 0x82: *out = u"DNS Name=" + bytesText(name.content); return true;
    case 0x86: *out = u"URL=" + bytesText(name.content); return true;
    case 0x87:
        if (name.content.size == 4) {
            std::string ip;
            for (size_t i = 0; i < 4; ++i) ip += (i ? "." : "") + std::to_string(name.content.data[i]);
            *out = u"IP Address=" + widen(ip);
        } else {
            *out = u"IP Address=" + hexText(name.content, true);
        }
        return true;
    case 0x88: {
        const std::string oid = ber::oidText(Element{ber::OID, false, name.whole, name.content});
        if (oid.empty()) return false;
        *out = u"Registered ID=" + widen(oid);
        return true;
    }
    case 0xA0: *out = u"Other Name=" + hexText(name.content, false); return true;
    case 0xA4: *out = u"Directory Address=" + hexText(name.content, false); return true;
    default: *out = u"Unknown Name=" + hexText(name.content, false); return true;
    }
}

// SpcString: [0] a BMP string, [1] an IA5 string.
bool spcStringText(const Element& choice, std::u16string* out) {
    if (choice.tag == 0x80) *out = bmpText(choice.content);
    else if (choice.tag == 0x81) *out = bytesText(choice.content);
    else return false;
    return true;
}

// SpcLink: [0] a URL, [1] a serialized object, [2] a file name (an SpcString).
bool spcLinkText(const Element& link, std::u16string* out) {
    Element inner;
    if (!ber::read(link.content, &inner)) return false;
    if (inner.tag == 0x80) {
        *out = u"URL=" + bytesText(inner.content);
    } else if (inner.tag == 0xA1) {
        *out = u"Moniker=" + hexText(inner.content, false);
    } else if (inner.tag == 0xA2) {
        Element name;
        std::u16string text;
        if (!ber::read(inner.content, &name) || !spcStringText(name, &text)) return false;
        *out = u"File=" + text;
    } else {
        return false;
    }
    return true;
}

std::u16string subjectKeyIdentifier(const uint8_t* value, size_t length) {
    Element id;
    if (!wholeElement(value, length, ber::OCTET_STRING, &id)) return u"";
    return hexText(id.content, true);
}

std::u16string crlReason(const uint8_t* value, size_t length) {
    static const char16_t* const REASONS[] = {
        u"Unspecified",      u"Key Compromise",  u"CA Compromise",    u"Affiliation Changed",
        u"Superseded",       u"Cessation Of Operation", u"Certificate Hold", nullptr,
        u"Remove From CRL",  u"Privilege Withdrawn",    u"AA Compromise"};
    Element reason;
    if (!wholeElement(value, length, 0x0A, &reason) || reason.content.size != 1) return u"";
    const unsigned code = reason.content.data[0];
    const char16_t* name = code < sizeof REASONS / sizeof REASONS[0] ? REASONS[code] : nullptr;
    return (name ? std::u16string(name) : u"Unknown") + u" (" + widen(std::to_string(code)) + u")";
}

std::u16string keyAttributes(const uint8_t* value, size_t length) {
    Element attributes, item;
    if (!wholeElement(value, length, ber::SEQUENCE, &attributes)) return u"";
    std::u16string text;
    Reader fields(attributes);
    if (fields.nextIf(ber::OCTET_STRING, &item)) text += u"KeyID=" + hexText(item.content, true) + NEWLINE;
    if (!appendKeyUsage(fields, u"Intended Key Usage=", &text)) return u"";
    if (fields.nextIf(ber::SEQUENCE, &item)) {
        Reader period(item);
        Element time;
        if (period.nextIf(0x80, &time)) text += u"NotBefore=" + timeText(time.content) + NEWLINE;
        if (period.nextIf(0x81, &time)) text += u"NotAfter=" + timeText(time.content) + NEWLINE;
        if (!period.atEnd()) return u"";
    }
    return fields.atEnd() && !fields.failed() ? text : u"";
}

std::u16string keyUsageRestriction(const uint8_t* value, size_t length) {
    Element restriction, item;
    if (!wholeElement(value, length, ber::SEQUENCE, &restriction)) return u"";
    std::u16string text;
    Reader fields(restriction);
    if (fields.nextIf(ber::SEQUENCE, &item)) {
        Reader policies(item);
        Element policy;
        for (int n = 1; !policies.atEnd(); ++n) {
            if (!policies.next(ber::SEQUENCE, &policy)) return u"";
            text += u"[" + widen(std::to_string(n)) + u"]Certificate Policy:" + NEWLINE;
            Reader ids(policy);
            Element id;
            while (!ids.atEnd()) {
                if (!ids.next(ber::OID, &id)) return u"";
                const std::string oid = ber::oidText(id);
                if (oid.empty()) return u"";
                text += INDENT + std::u16string(u"Policy Identifier=") + widen(oid) + NEWLINE;
            }
        }
    }
    if (!appendKeyUsage(fields, u"Restricted Key Usage=", &text)) return u"";
    return fields.atEnd() && !fields.failed() ? text : u"";
}

std::u16string generalNames(const uint8_t* value, size_t length) {
    Element names, name;
    if (!wholeElement(value, length, ber::SEQUENCE, &names)) return u"";
    std::u16string text;
    Reader reader(names);
    while (reader.next(&name)) {
        std::u16string line;
        if (!generalNameText(name, &line)) return u"";
        text += line + NEWLINE;
    }
    return reader.failed() ? u"" : text;
}

std::u16string smimeCapabilities(const uint8_t* value, size_t length) {
    Element capabilities, capability, id, parameters;
    if (!wholeElement(value, length, ber::SEQUENCE, &capabilities)) return u"";
    std::u16string text;
    Reader reader(capabilities);
    for (int n = 1; !reader.atEnd(); ++n) {
        if (!reader.next(ber::SEQUENCE, &capability)) return u"";
        Reader fields(capability);
        if (!fields.next(ber::OID, &id)) return u"";
        const std::string oid = ber::oidText(id);
        if (oid.empty()) return u"";
        text += u"[" + widen(std::to_string(n)) + u"]SMIME Capability" + NEWLINE;
        text += INDENT + std::u16string(u"Object ID=") + widen(oid) + NEWLINE;
        if (fields.next(&parameters)) {
            text += INDENT + std::u16string(u"Parameters=") + hexText(parameters.whole, false) + NEWLINE;
        }
        if (!fields.atEnd()) return u"";
    }
    return text;
}

std::u16string spAgencyInfo(const uint8_t* value, size_t length) {
    Element info, item, inner;
    if (!wholeElement(value, length, ber::SEQUENCE, &info)) return u"";
    std::u16string text, part;
    Reader fields(info);
    if (fields.nextIf(0xA0, &item)) {
        if (!spcLinkText(item, &part)) return u"";
        text += u"Policy Information:" + std::u16string(NEWLINE) + INDENT + part + NEWLINE;
    }
    if (fields.nextIf(0xA1, &item)) {
        if (!ber::read(item.content, &inner) || !spcStringText(inner, &part)) return u"";
        text += u"Policy Display Text=" + part + NEWLINE;
    }
    if (fields.nextIf(0xA2, &item)) text += u"Logo Type=" + hexText(item.content, false) + NEWLINE;
    if (fields.nextIf(0xA3, &item)) {
        if (!spcLinkText(item, &part)) return u"";
        text += u"Logo Link:" + std::u16string(NEWLINE) + INDENT + part + NEWLINE;
    }
    return fields.atEnd() && !fields.failed() ? text : u"";
}

}  // namespace

std::u16string ownExtensionText(const char* oid, const uint8_t* value, size_t length) {
    struct Renderer {
        const char* oid;
        std::u16string (*render)(const uint8_t*, size_t);
    };
    static const Renderer RENDERERS[] = {
        {"2.5.29.14", subjectKeyIdentifier},
        {"2.5.29.21", crlReason},
        {"2.5.29.2", keyAttributes},
        {"2.5.29.4", keyUsageRestriction},
        {"1.3.6.1.4.1.311.10.2", generalNames},  // next update location
        {"1.2.840.113549.1.9.15", smimeCapabilities},
        {"1.3.6.1.4.1.311.2.1.10", spAgencyInfo},
    };
    if (oid == nullptr || value == nullptr) return u"";
    for (const Renderer& r : RENDERERS) {
        if (std::strcmp(oid, r.oid) == 0) return r.render(value, length);
    }
    return u"";
}
