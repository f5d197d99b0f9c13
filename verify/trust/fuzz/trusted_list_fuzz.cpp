// Fuzz target: the input check on the raw bytes, and the same bytes read as a
// stream of parser events (elements and attributes from the names lists use)
// that the tree builder takes in; every tree it accepts goes through the
// list's signature rules, canonicalization and the list's reading, and every
// value reader sees the bytes as text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "list_signature.h"
#include "list_values.h"
#include "trusted_list.h"
#include "xml_canonical.h"
#include "xml_document.h"

namespace {

struct Name {
    const char* prefix;
    const char* local;
    const char* uri;
};

const Name NAMES[] = {
    {"", "TrustServiceStatusList", TSL_NAMESPACE}, {"", "SchemeInformation", TSL_NAMESPACE},
    {"", "TSLSequenceNumber", TSL_NAMESPACE}, {"", "ListIssueDateTime", TSL_NAMESPACE},
    {"", "NextUpdate", TSL_NAMESPACE}, {"", "dateTime", TSL_NAMESPACE},
    {"", "TrustServiceProviderList", TSL_NAMESPACE}, {"", "TrustServiceProvider", TSL_NAMESPACE},
    {"", "TSPServices", TSL_NAMESPACE}, {"", "TSPService", TSL_NAMESPACE},
    {"", "ServiceInformation", TSL_NAMESPACE}, {"", "ServiceTypeIdentifier", TSL_NAMESPACE},
    {"", "ServiceStatus", TSL_NAMESPACE}, {"", "StatusStartingTime", TSL_NAMESPACE},
    {"", "ServiceDigitalIdentity", TSL_NAMESPACE}, {"", "DigitalId", TSL_NAMESPACE},
    {"", "X509Certificate", TSL_NAMESPACE}, {"", "ServiceHistory", TSL_NAMESPACE},
    {"", "ServiceHistoryInstance", TSL_NAMESPACE}, {"", "PointersToOtherTSL", TSL_NAMESPACE},
    {"", "OtherTSLPointer", TSL_NAMESPACE}, {"", "TSLLocation", TSL_NAMESPACE},
    {"ds", "Signature", DSIG_NAMESPACE}, {"ds", "SignedInfo", DSIG_NAMESPACE},
    {"ds", "CanonicalizationMethod", DSIG_NAMESPACE}, {"ds", "SignatureMethod", DSIG_NAMESPACE},
    {"ds", "Reference", DSIG_NAMESPACE}, {"ds", "Transforms", DSIG_NAMESPACE},
    {"ds", "Transform", DSIG_NAMESPACE}, {"ds", "DigestMethod", DSIG_NAMESPACE},
    {"ds", "DigestValue", DSIG_NAMESPACE}, {"ds", "SignatureValue", DSIG_NAMESPACE},
    {"ds", "KeyInfo", DSIG_NAMESPACE}, {"ds", "X509Data", DSIG_NAMESPACE},
    {"ds", "X509Certificate", DSIG_NAMESPACE}, {"xades", "SignedProperties", XADES_NAMESPACE},
};
const char* const ATTRIBUTES[] = {"Id", "URI", "Algorithm", "Type", "uri"};
const char* const VALUES[] = {
    "", "#a", "a", "http://www.w3.org/2001/10/xml-exc-c14n#", "http://www.w3.org/2000/09/xmldsig#enveloped-signature",
    "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256", "http://www.w3.org/2001/04/xmlenc#sha256",
    "http://uri.etsi.org/01903#SignedProperties", "http://www.w3.org/TR/2001/REC-xml-c14n-20010315",
};

template <size_t N, typename T>
const T& pick(const T (&table)[N], uint8_t byte) { return table[byte % N]; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xmlInputRefusal(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    UtcSeconds time;
    readDateTime(text, &time);
    std::vector<uint8_t> bytes;
    decodeBase64(text, &bytes);
    isAbsoluteUri(text);

    XmlTreeBuilder builder(size + 1);
    size_t at = 0;
    const auto next = [&] { return at < size ? data[at++] : uint8_t{0}; };
    std::string refusal;
    while (at < size && refusal.empty()) {
        const uint8_t op = next();
        switch (op % 5) {
        case 0:
        case 1: {
            const Name& name = pick(NAMES, next());
            std::vector<XmlAttribute> attributes;
            if (at == 1) {  // the first element declares the namespaces
                attributes.push_back({"", "xmlns", "http://www.w3.org/2000/xmlns/", TSL_NAMESPACE});
                attributes.push_back({"xmlns", "ds", "http://www.w3.org/2000/xmlns/", DSIG_NAMESPACE});
                attributes.push_back({"xmlns", "xades", "http://www.w3.org/2000/xmlns/", XADES_NAMESPACE});
            }
            for (uint8_t n = next() % 3; n > 0; --n) {
                attributes.push_back({"", pick(ATTRIBUTES, next()), "", pick(VALUES, next())});
            }
            refusal = builder.startElement(name.prefix, name.local, name.uri, attributes, op % 5 == 1);
            break;
        }
        case 2: refusal = builder.endElement(); break;
        case 3: {
            const size_t length = next() % 16;
            std::string value(reinterpret_cast<const char*>(data + at), std::min(length, size - at));
            at += value.size();
            refusal = builder.text(value, false);
            break;
        }
        default: refusal = builder.comment("c"); break;
        }
    }
    if (refusal.empty() && builder.finish().empty()) {
        const XmlDocument& document = builder.document();
        ListSignature signature;
        readListSignature(document, &signature);
        TrustedList list;
        readTrustedList(document, &list);
        for (C14nMethod method : {C14nMethod::Inclusive, C14nMethod::ExclusiveWithComments}) {
            canonicalize({&document, nullptr, nullptr, method, {"ds", "#default"}});
        }
    }
    return 0;
}
