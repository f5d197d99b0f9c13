#include "cades_layout.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "der.h"
#include "result_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Fixed elements, tag and length included.
const uint8_t OID_SIGNED_DATA[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t OID_DATA[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const uint8_t OID_CONTENT_TYPE[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03};
const uint8_t OID_MESSAGE_DIGEST[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const uint8_t OID_SIGNING_TIME[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x05};
const uint8_t OID_SIGNING_CERTIFICATE_V2[] = {0x06, 0x0B, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                              0x01, 0x09, 0x10, 0x02, 0x2F};
const uint8_t OID_UNSTRUCTURED_NAME[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x02};
const uint8_t VERSION_1[] = {0x02, 0x01, 0x01};
// SHA-256 with its parameters absent, as CMS generates SHA-2 identifiers.
const uint8_t ALGORITHM_SHA256[] = {0x30, 0x0B, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
// sha256WithRSAEncryption, with the NULL parameters that RSA identifiers carry.
const uint8_t ALGORITHM_SHA256_RSA[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                        0xF7, 0x0D, 0x01, 0x01, 0x0B, 0x05, 0x00};
constexpr uint8_t UTC_TIME = 0x17, GENERALIZED_TIME = 0x18;

template <size_t N>
void append(Bytes& out, const uint8_t (&fixed)[N]) { out.insert(out.end(), fixed, fixed + N); }
void append(Bytes& out, ByteRange range) {
    if (range.size > 0) out.insert(out.end(), range.data, range.data + range.size);
}
void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes element(uint8_t tag, const Bytes& content) {
    Bytes out;
    appendStrictElement(out, tag, content);
    return out;
}

// SEQUENCE { type, SET { value } }.
Bytes attribute(const Bytes& type, const Bytes& value) {
    Bytes inner = type;
    append(inner, element(0x31, value));
    return element(0x30, inner);
}

template <size_t N>
Bytes fixed(const uint8_t (&bytes)[N]) { return Bytes(bytes, bytes + N); }

// UTCTime "YYMMDDhhmmssZ" for the years 1950 to 2049, GeneralizedTime
// "YYYYMMDDhhmmssZ" beyond, as CMS wants signing-time written.
bool encodeTime(const SigningTime& t, Bytes* out) {
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
        t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60) {
        return false;
    }
    const bool utc = t.year >= 1950 && t.year < 2050;
    char text[24];
    const int length = utc ? std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02dZ", t.year % 100, t.month,
                                           t.day, t.hour, t.minute, t.second)
                           : std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02dZ", t.year, t.month,
                                           t.day, t.hour, t.minute, t.second);
    *out = element(utc ? UTC_TIME : GENERALIZED_TIME, Bytes(text, text + length));
    return true;
}

// DER's order of a SET OF: by the encodings as octet strings, the shorter
// padded with zero octets at its end.
bool derSetOrder(const Bytes& a, const Bytes& b) {
    const size_t n = a.size() > b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const uint8_t x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
        if (x != y) return x < y;
    }
    return false;
}

// The SignerInfo, in strict DER.
Bytes signerInfo(const CadesFileParts& p) {
    Bytes issuerAndSerial;
    append(issuerAndSerial, p.issuer);
    appendStrictElement(issuerAndSerial, 0x02, p.serial.data, p.serial.size);

    Bytes record;  // the personal-data attribute: GeneralNames { [1] rfc822Name }
    appendStrictElement(record, 0x81, p.personalData.data, p.personalData.size);
    Bytes personalData = attribute(fixed(OID_UNSTRUCTURED_NAME), element(0x30, record));

    Bytes info;
    append(info, VERSION_1);
    append(info, element(0x30, issuerAndSerial));
    append(info, ALGORITHM_SHA256);
    // The attributes carry [0] IMPLICIT in place of the SET tag they were signed with.
    info.push_back(0xA0);
    info.insert(info.end(), p.signedAttributes.data + 1, p.signedAttributes.data + p.signedAttributes.size);
    append(info, ALGORITHM_SHA256_RSA);
    appendStrictElement(info, 0x04, p.signature.data, p.signature.size);
    append(info, element(0xA1, personalData));
    return element(0x30, info);
}

uint64_t elementSize(uint64_t contentLength) { return 1 + strictLengthCount(contentLength) + contentLength; }

}  // namespace

bool encodeSignedAttributes(const SignedAttributeParts& p, std::vector<uint8_t>* out) {
    if (p.contentDigest.size != SHA256_LENGTH || p.certificateHash.size != SHA256_LENGTH) return false;
    try {
        Bytes time;
        if (!encodeTime(p.signingTime, &time)) return false;

        // ESSCertIDv2 { certHash, IssuerSerial { GeneralNames { [4] Name }, serial } },
        // its hash algorithm left out: SHA-256 is the default.
        Bytes issuerSerial = element(0x30, element(0xA4, Bytes(p.issuer.data, p.issuer.data + p.issuer.size)));
        appendStrictElement(issuerSerial, 0x02, p.serial.data, p.serial.size);
        Bytes essCertId;
        appendStrictElement(essCertId, 0x04, p.certificateHash.data, p.certificateHash.size);
        append(essCertId, element(0x30, issuerSerial));
        const Bytes signingCertificate = element(0x30, element(0x30, element(0x30, essCertId)));

        Bytes digest;
        appendStrictElement(digest, 0x04, p.contentDigest.data, p.contentDigest.size);
        std::vector<Bytes> attributes = {
            attribute(fixed(OID_CONTENT_TYPE), fixed(OID_DATA)),
            attribute(fixed(OID_MESSAGE_DIGEST), digest),
            attribute(fixed(OID_SIGNING_TIME), time),
            attribute(fixed(OID_SIGNING_CERTIFICATE_V2), signingCertificate),
        };
        // Insertion sort: four elements.
        for (size_t i = 1; i < attributes.size(); ++i) {
            for (size_t j = i; j > 0 && derSetOrder(attributes[j], attributes[j - 1]); --j) {
                std::swap(attributes[j], attributes[j - 1]);
            }
        }
        Bytes set;
        for (const Bytes& a : attributes) append(set, a);
        *out = element(0x31, set);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int32_t assembleCadesFile(const CadesFileParts& parts, uint8_t* outBuffer, uint32_t* inOutLength) {
    try {
        // Everything but the content is small: it is put together here, and
        // the content is copied once, into place.
        Bytes tail;  // certificates [0] IMPLICIT and signerInfos, after the content
        appendStrictElement(tail, 0xA0, parts.certificate.data, parts.certificate.size);
        append(tail, element(0x31, signerInfo(parts)));

        const uint64_t contentLength = parts.content.size;
        const uint64_t encapsulated = sizeof OID_DATA + elementSize(elementSize(contentLength));
        const uint64_t signedData =
            sizeof VERSION_1 + elementSize(sizeof ALGORITHM_SHA256) + elementSize(encapsulated) + tail.size();
        const uint64_t contentInfo = sizeof OID_SIGNED_DATA + elementSize(elementSize(signedData));
        const uint64_t total = elementSize(contentInfo);
        if (total > UINT32_MAX) return PKCS7_ERR_MEMORY;

        if (outBuffer != nullptr) {
            if (*inOutLength < total) {
                *inOutLength = static_cast<uint32_t>(total);
                return PKCS7_ERR_BUFFER_SMALL;
            }
            Bytes head;
            appendStrictHeader(head, 0x30, contentInfo);               // ContentInfo
            append(head, OID_SIGNED_DATA);
            appendStrictHeader(head, 0xA0, elementSize(signedData));  // [0] EXPLICIT content
            appendStrictHeader(head, 0x30, signedData);               // SignedData
            append(head, VERSION_1);
            append(head, element(0x31, fixed(ALGORITHM_SHA256)));    // digestAlgorithms
            appendStrictHeader(head, 0x30, encapsulated);             // encapContentInfo
            append(head, OID_DATA);
            appendStrictHeader(head, 0xA0, elementSize(contentLength));
            appendStrictHeader(head, 0x04, contentLength);
            uint8_t* p = outBuffer;
            std::memcpy(p, head.data(), head.size());
            p += head.size();
            if (contentLength > 0) std::memcpy(p, parts.content.data, parts.content.size);
            p += contentLength;
            std::memcpy(p, tail.data(), tail.size());
        }
        *inOutLength = static_cast<uint32_t>(total);
        return 0;
    } catch (const std::bad_alloc&) {
        return PKCS7_ERR_MEMORY;
    }
}
