#include "signed_file_layout.h"

#include <cstring>

#include "der.h"
#include "result_codes.h"

namespace {

// Fixed elements, tag and length included.
const uint8_t OID_SIGNED_DATA[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t OID_DATA[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const uint8_t VERSION_1[] = {0x02, 0x01, 0x01};
const uint8_t DIGEST_ALGORITHMS_SHA1[] = {0x31, 0x0B, 0x30, 0x09, 0x06, 0x05, 0x2B,
                                          0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00};
const uint8_t ALGORITHM_SHA1[] = {0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00};
const uint8_t ALGORITHM_RSA[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                 0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00};
const uint8_t OID_UNSTRUCTURED_NAME[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x02};

// Content lengths of every variable element, worked out inside out. Sums are
// kept in 64 bits so that an oversized file is caught, not wrapped around.
struct Lengths {
    uint64_t octetString;     // 04: the content
    uint64_t explicitContent; // A0 around the OCTET STRING
    uint64_t contentInfo;     // 30: data OID and [0]
    uint64_t serialHeader;    // 02 and the serial's length octets
    uint64_t issuerAndSerial; // 30: issuer Name and serial INTEGER
    uint64_t encryptedDigest; // 04: the signature
    uint64_t rfc822Name;      // 81: the personal-data record
    uint64_t generalNames;    // 30 around it
    uint64_t values;          // 31 around that
    uint64_t attribute;       // 30: OID and values
    uint64_t unauthAttrs;     // A1: the one attribute
    uint64_t signerInfo;      // 30: SignerInfo
    uint64_t signerInfos;     // 31: the one SignerInfo
    uint64_t signedData;      // 30: SignedData
    uint64_t explicitSigned;  // A0 around SignedData
    uint64_t contentInfoTop;  // 30: ContentInfo
    uint64_t total;
};

// Stands for the size of an element whose content exceeds a 32-bit length; it
// stays above UINT32_MAX through the few sums that contain it.
constexpr uint64_t TOO_LARGE = uint64_t{1} << 40;

// An element's whole size from its content length: tag, length octets, content.
uint64_t element(uint64_t contentLength) {
    if (contentLength > UINT32_MAX) return TOO_LARGE;
    return 1 + derLengthCount(static_cast<uint32_t>(contentLength)) + contentLength;
}

// The serial number's length is written as a plain DER length: one octet up
// to 127 content octets (every real certificate), the long form beyond.
uint32_t serialLengthOctets(uint32_t n, uint8_t out[DER_MAX_LENGTH_OCTETS]) {
    if (n <= 127) {
        out[0] = static_cast<uint8_t>(n);
        return 1;
    }
    return derLengthOctets(n, out);
}

Lengths measure(const SignedFileParts& p) {
    Lengths l{};
    uint8_t scratch[DER_MAX_LENGTH_OCTETS];
    l.octetString = p.content.size;
    l.explicitContent = element(l.octetString);
    l.contentInfo = sizeof OID_DATA + element(l.explicitContent);
    l.serialHeader = 1 + serialLengthOctets(p.serial.size, scratch);
    l.issuerAndSerial = uint64_t{p.issuer.size} + l.serialHeader + p.serial.size;
    l.encryptedDigest = p.signature.size;
    l.rfc822Name = p.personalData.size;
    l.generalNames = element(l.rfc822Name);
    l.values = element(l.generalNames);
    l.attribute = sizeof OID_UNSTRUCTURED_NAME + element(l.values);
    l.unauthAttrs = element(l.attribute);
    l.signerInfo = sizeof VERSION_1 + element(l.issuerAndSerial) + sizeof ALGORITHM_SHA1 +
                   sizeof ALGORITHM_RSA + element(l.encryptedDigest) + element(l.unauthAttrs);
    l.signerInfos = element(l.signerInfo);
    l.signedData = sizeof VERSION_1 + sizeof DIGEST_ALGORITHMS_SHA1 + element(l.contentInfo) +
                   element(p.certificate.size) + element(l.signerInfos);
    l.explicitSigned = element(l.signedData);
    l.contentInfoTop = sizeof OID_SIGNED_DATA + element(l.explicitSigned);
    l.total = element(l.contentInfoTop);
    return l;
}

// Appends to the output front to back. The lengths are known beforehand, so
// every byte, the content included, is written once and in place.
class Writer {
public:
    explicit Writer(uint8_t* out) : p_(out) {}
    void header(uint8_t tag, uint64_t length) {
        p_ += derWriteHeader(tag, static_cast<uint32_t>(length), p_);
    }
    void bytes(const uint8_t* data, uint32_t size) {
        if (size > 0) std::memcpy(p_, data, size);
        p_ += size;
    }
    template <size_t N>
    void bytes(const uint8_t (&fixed)[N]) { bytes(fixed, N); }
    void bytes(ByteRange range) { bytes(range.data, range.size); }
    void serialHeader(uint32_t n) {
        *p_++ = 0x02;
        p_ += serialLengthOctets(n, p_);
    }

private:
    uint8_t* p_;
};

void write(const SignedFileParts& p, const Lengths& l, uint8_t* out) {
    Writer w(out);
    w.header(0x30, l.contentInfoTop);            // ContentInfo
    w.bytes(OID_SIGNED_DATA);
    w.header(0xA0, l.explicitSigned);            // [0] EXPLICIT content
    w.header(0x30, l.signedData);                // SignedData
    w.bytes(VERSION_1);
    w.bytes(DIGEST_ALGORITHMS_SHA1);
    w.header(0x30, l.contentInfo);               // contentInfo
    w.bytes(OID_DATA);
    w.header(0xA0, l.explicitContent);           // [0] EXPLICIT content
    w.header(0x04, l.octetString);
    w.bytes(p.content);
    w.header(0xA0, p.certificate.size);          // certificates [0] IMPLICIT
    w.bytes(p.certificate);
    w.header(0x31, l.signerInfos);               // signerInfos
    w.header(0x30, l.signerInfo);                // SignerInfo
    w.bytes(VERSION_1);
    w.header(0x30, l.issuerAndSerial);           // issuerAndSerialNumber
    w.bytes(p.issuer);
    w.serialHeader(p.serial.size);
    w.bytes(p.serial);
    w.bytes(ALGORITHM_SHA1);                     // digestAlgorithm
    w.bytes(ALGORITHM_RSA);                      // digestEncryptionAlgorithm
    w.header(0x04, l.encryptedDigest);           // encryptedDigest
    w.bytes(p.signature);
    w.header(0xA1, l.unauthAttrs);               // unauthenticatedAttributes [1] IMPLICIT
    w.header(0x30, l.attribute);                 // Attribute
    w.bytes(OID_UNSTRUCTURED_NAME);
    w.header(0x31, l.values);                    // values
    w.header(0x30, l.generalNames);              // GeneralNames
    w.header(0x81, l.rfc822Name);                // [1] rfc822Name: the record
    w.bytes(p.personalData);
}

}  // namespace

int32_t assembleSignedFile(const SignedFileParts& parts, uint8_t* outBuffer,
                           uint32_t* inOutLength) {
    const Lengths l = measure(parts);
    if (l.total > UINT32_MAX) return PKCS7_ERR_MEMORY;
    const auto total = static_cast<uint32_t>(l.total);
    if (outBuffer != nullptr) {
        if (*inOutLength < total) {
            *inOutLength = total;
            return PKCS7_ERR_BUFFER_SMALL;
        }
        write(parts, l, outBuffer);
    }
    *inOutLength = total;
    return 0;
}
