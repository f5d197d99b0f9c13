#include "ocsp_response.h"

#include "crl_rules.h"

namespace {

constexpr uint8_t BOOLEAN = 0x01;
constexpr uint8_t ENUMERATED = 0x0A;
constexpr uint8_t GENERALIZED_TIME = 0x18;

const std::vector<uint8_t> BASIC_RESPONSE = ber::oidFromText("1.3.6.1.5.5.7.48.1.1");
const std::vector<uint8_t> NONCE = ber::oidFromText("1.3.6.1.5.5.7.48.1.2");

std::vector<uint8_t> bytesOf(ber::Span s) { return std::vector<uint8_t>(s.data, s.data + s.size); }

bool readTime(ber::Reader& reader, UtcSeconds* out) {
    ber::Element time;
    return reader.next(GENERALIZED_TIME, &time) && readGeneralizedTime(time.content, out);
}

// The content of an element that must be the only one of `outer`'s content.
bool onlyElement(const ber::Element& outer, uint8_t tag, ber::Element* inner) {
    ber::Reader reader(outer);
    return reader.next(tag, inner) && reader.atEnd();
}

// Extensions ::= SEQUENCE OF SEQUENCE { extnID, critical BOOLEAN DEFAULT FALSE,
// extnValue OCTET STRING }. Each is handed to `known`, which says whether it
// understood it; a critical one it did not sets `unknownCritical`.
template <typename Known>
bool readExtensions(const ber::Element& explicitTag, bool* unknownCritical, Known known) {
    ber::Element list, extension, oid, flag, value;
    if (!onlyElement(explicitTag, ber::SEQUENCE, &list)) return false;
    ber::Reader each(list);
    while (!each.atEnd()) {
        if (!each.next(ber::SEQUENCE, &extension)) return false;
        ber::Reader inside(extension);
        if (!inside.next(ber::OID, &oid)) return false;
        bool critical = false;
        if (inside.nextIf(BOOLEAN, &flag)) critical = flag.content.size == 1 && flag.content.data[0] != 0;
        if (!inside.next(ber::OCTET_STRING, &value) || !inside.atEnd()) return false;
        if (!known(oid, value.content) && critical) *unknownCritical = true;
    }
    return true;
}

bool readCertId(const ber::Element& sequence, OcspCertId* out) {
    ber::Reader fields(sequence);
    ber::Element algorithm, oid, nameHash, keyHash, serial;
    if (!fields.next(ber::SEQUENCE, &algorithm) || !fields.next(ber::OCTET_STRING, &nameHash) ||
        !fields.next(ber::OCTET_STRING, &keyHash) || !fields.next(ber::INTEGER, &serial) || !fields.atEnd()) {
        return false;
    }
    ber::Reader algorithmFields(algorithm);
    if (!algorithmFields.next(ber::OID, &oid)) return false;
    *out = {bytesOf(oid.content), bytesOf(nameHash.content), bytesOf(keyHash.content), bytesOf(serial.content)};
    return true;
}

bool readSingle(const ber::Element& sequence, OcspSingleResponse* out) {
    ber::Reader fields(sequence);
    ber::Element certId, status, element;
    if (!fields.next(ber::SEQUENCE, &certId) || !readCertId(certId, &out->certId) || !fields.next(&status)) return false;
    switch (status.tag) {
    case 0x80:  // good [0] IMPLICIT NULL
        if (status.content.size != 0) return false;
        out->status = OcspCertStatus::Good;
        break;
    case 0xA1: {  // revoked [1] IMPLICIT SEQUENCE { revocationTime, [0] EXPLICIT reason OPTIONAL }
        ber::Reader revoked(status);
        if (!readTime(revoked, &out->revocationTime)) return false;
        if (revoked.nextIf(ber::CONTEXT_0, &element) && !onlyElement(element, ENUMERATED, &element)) return false;
        if (!revoked.atEnd()) return false;
        out->status = OcspCertStatus::Revoked;
        break;
    }
    case 0x82:  // unknown [2] IMPLICIT NULL
        if (status.content.size != 0) return false;
        out->status = OcspCertStatus::Unknown;
        break;
    default: return false;
    }
    if (!readTime(fields, &out->thisUpdate)) return false;
    if (fields.nextIf(ber::CONTEXT_0, &element)) {
        ber::Element time;
        if (!onlyElement(element, GENERALIZED_TIME, &time) || !readGeneralizedTime(time.content, &out->nextUpdate)) {
            return false;
        }
        out->hasNextUpdate = true;
    }
    if (fields.nextIf(ber::CONTEXT_1, &element) &&
        !readExtensions(element, &out->unknownCriticalExtension, [](const ber::Element&, ber::Span) { return false; })) {
        return false;
    }
    return fields.atEnd();
}

bool readResponseData(const ber::Element& data, OcspResponse* out) {
    ber::Reader fields(data);
    ber::Element element, inner;
    if (fields.nextIf(ber::CONTEXT_0, &element)) {  // version [0] EXPLICIT, v1 (0) only
        int version = -1;
        if (!onlyElement(element, ber::INTEGER, &inner) || !ber::smallInteger(inner, &version) || version != 0) return false;
    }
    if (!fields.next(&element)) return false;
    if (element.tag == 0xA1) {  // byName [1] EXPLICIT Name
        if (!onlyElement(element, ber::SEQUENCE, &inner)) return false;
        out->responderName = inner.whole;
    } else if (element.tag == 0xA2) {  // byKey [2] EXPLICIT KeyHash
        if (!onlyElement(element, ber::OCTET_STRING, &inner)) return false;
        out->responderKeyHash = inner.content;
    } else {
        return false;
    }
    if (!readTime(fields, &out->producedAt) || !fields.next(ber::SEQUENCE, &element)) return false;
    ber::Reader responses(element);
    while (!responses.atEnd()) {
        ber::Element single;
        OcspSingleResponse read;
        if (!responses.next(ber::SEQUENCE, &single) || !readSingle(single, &read)) return false;
        out->responses.push_back(read);
    }
    if (fields.nextIf(ber::CONTEXT_1, &element) &&
        !readExtensions(element, &out->unknownCriticalExtension, [out](const ber::Element& oid, ber::Span value) {
            if (!ber::isOid(oid, NONCE)) return false;
            out->hasNonce = true;
            out->nonce = value;
            return true;
        })) {
        return false;
    }
    return fields.atEnd();
}

bool readBasic(ber::Span der, OcspResponse* out) {
    ber::Element basic, data, algorithm, signature, certificates, list;
    if (!ber::read(der, &basic) || basic.tag != ber::SEQUENCE || basic.whole.size != der.size) return false;
    ber::Reader fields(basic);
    if (!fields.next(ber::SEQUENCE, &data) || !fields.next(ber::SEQUENCE, &algorithm) ||
        !fields.next(ber::BIT_STRING, &signature) || signature.content.size < 2 || signature.content.data[0] != 0) {
        return false;
    }
    out->signedData = data.whole;
    out->signatureAlgorithm = algorithm.whole;
    out->signature = {signature.content.data + 1, signature.content.size - 1};
    out->signedContent = signedContentOf(data.whole, algorithm.whole, signature.whole);
    if (fields.nextIf(ber::CONTEXT_0, &certificates)) {
        if (!onlyElement(certificates, ber::SEQUENCE, &list)) return false;
        ber::Reader each(list);
        while (!each.atEnd()) {
            ber::Element certificate;
            if (!each.next(ber::SEQUENCE, &certificate)) return false;
            out->certificates.push_back(certificate.whole);
        }
    }
    return fields.atEnd() && readResponseData(data, out);
}

// A DER element of `tag` around `content`.
std::vector<uint8_t> tlv(uint8_t tag, const std::vector<uint8_t>& content) {
    std::vector<uint8_t> out{tag};
    const size_t n = content.size();
    if (n < 0x80) {
        out.push_back(static_cast<uint8_t>(n));
    } else {
        std::vector<uint8_t> length;
        for (size_t rest = n; rest > 0; rest >>= 8) length.insert(length.begin(), static_cast<uint8_t>(rest));
        out.push_back(static_cast<uint8_t>(0x80 | length.size()));
        out.insert(out.end(), length.begin(), length.end());
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

std::vector<uint8_t> joined(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

std::vector<uint8_t> signedContentOf(ber::Span signedData, ber::Span algorithm, ber::Span signatureBitString) {
    std::vector<uint8_t> parts(signedData.data, signedData.data + signedData.size);
    parts.insert(parts.end(), algorithm.data, algorithm.data + algorithm.size);
    parts.insert(parts.end(), signatureBitString.data, signatureBitString.data + signatureBitString.size);
    return tlv(ber::SEQUENCE, parts);
}

std::vector<uint8_t> ocspRequest(const OcspCertId& certificate, const std::vector<uint8_t>& nonce) {
    const std::vector<uint8_t> algorithm =
        tlv(ber::SEQUENCE, joined({tlv(ber::OID, certificate.hashAlgorithm), tlv(ber::NULL_TAG, {})}));
    const std::vector<uint8_t> certId =
        tlv(ber::SEQUENCE, joined({algorithm, tlv(ber::OCTET_STRING, certificate.issuerNameHash),
                                   tlv(ber::OCTET_STRING, certificate.issuerKeyHash),
                                   tlv(ber::INTEGER, certificate.serial)}));
    const std::vector<uint8_t> requestList = tlv(ber::SEQUENCE, tlv(ber::SEQUENCE, certId));
    std::vector<uint8_t> tbs = requestList;
    if (!nonce.empty()) {
        const std::vector<uint8_t> extension =
            tlv(ber::SEQUENCE, joined({tlv(ber::OID, NONCE), tlv(ber::OCTET_STRING, nonce)}));
        const std::vector<uint8_t> extensions = tlv(0xA2, tlv(ber::SEQUENCE, extension));  // [2] EXPLICIT
        tbs.insert(tbs.end(), extensions.begin(), extensions.end());
    }
    return tlv(ber::SEQUENCE, tlv(ber::SEQUENCE, tbs));
}

std::string ocspCacheName(const OcspCertId& id) {
    static const char HEX[] = "0123456789abcdef";
    std::string key;
    for (const std::vector<uint8_t>* part : {&id.issuerKeyHash, &id.serial}) {
        if (!key.empty()) key += '-';
        for (uint8_t b : *part) key += {HEX[b >> 4], HEX[b & 15]};
    }
    return cacheFileName("ocsp-", key);
}

bool readOcspResponse(ber::Span der, OcspResponse* out) {
    *out = OcspResponse{};
    ber::Element whole, status, bytes, inner, type, response;
    if (!ber::read(der, &whole) || whole.tag != ber::SEQUENCE || whole.whole.size != der.size) return false;
    ber::Reader fields(whole);
    if (!fields.next(ENUMERATED, &status) || status.content.size != 1) return false;
    out->responseStatus = status.content.data[0];
    if (!fields.nextIf(ber::CONTEXT_0, &bytes)) return fields.atEnd();
    if (!fields.atEnd() || !onlyElement(bytes, ber::SEQUENCE, &inner)) return false;
    ber::Reader responseBytes(inner);
    if (!responseBytes.next(ber::OID, &type) || !responseBytes.next(ber::OCTET_STRING, &response) ||
        !responseBytes.atEnd()) {
        return false;
    }
    out->basic = ber::isOid(type, BASIC_RESPONSE);
    return !out->basic || readBasic(response.content, out);
}

bool readGeneralizedTime(ber::Span content, UtcSeconds* out) {
    const std::string text(reinterpret_cast<const char*>(content.data), content.size);
    if (text.size() < 15 || text.back() != 'Z') return false;
    for (size_t i = 0; i < 14; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    // A fraction of a second: "." and digits, dropped.
    if (text.size() > 15 && (text[14] != '.' || text.size() < 17)) return false;
    for (size_t i = 15; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    // As an xsd:dateTime, which list_values reads and checks (31 February...).
    const std::string iso = text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2) + "T" +
                            text.substr(8, 2) + ":" + text.substr(10, 2) + ":" + text.substr(12, 2) + "Z";
    return readDateTime(iso, out);
}

std::string ocspAnswerRefusal(const OcspResponse& response, const OcspCertId& expected,
                              const std::vector<uint8_t>& nonce, UtcSeconds now, const OcspSingleResponse** single) {
    *single = nullptr;
    if (response.responseStatus != OCSP_SUCCESSFUL) {
        return "risposta non riuscita (stato " + std::to_string(response.responseStatus) + ")";
    }
    if (!response.basic) return "risposta di un tipo sconosciuto";
    if (response.unknownCriticalExtension) return "estensione critica sconosciuta";
    const OcspSingleResponse* found = nullptr;
    for (const OcspSingleResponse& entry : response.responses) {
        if (!(entry.certId == expected)) continue;
        if (found != nullptr) return "due risposte per lo stesso certificato";
        found = &entry;
    }
    if (found == nullptr) return "nessuna risposta per il certificato chiesto";
    if (found->unknownCriticalExtension) return "estensione critica sconosciuta nella risposta";
    if (found->thisUpdate > now + OCSP_CLOCK_LEEWAY) return "risposta emessa in una data futura";
    if (found->hasNextUpdate ? found->nextUpdate <= now : now - found->thisUpdate > OCSP_ANSWER_LIFE) {
        return "risposta scaduta";
    }
    if (response.hasNonce &&
        (nonce.empty() || bytesOf(response.nonce) != nonce)) {
        return "nonce diverso da quello inviato";
    }
    *single = found;
    return "";
}
