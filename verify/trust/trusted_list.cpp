#include "trusted_list.h"

#include "certificate_facts.h"

namespace {

constexpr const char* NS = TSL_NAMESPACE;
constexpr char QUALIFICATIONS_NAMESPACE[] = "http://uri.etsi.org/TrstSvc/SvcInfoExt/eSigDir-1999-93-EC-TrustedList/#";
constexpr char ADDITIONAL_TYPES_NAMESPACE[] = "http://uri.etsi.org/02231/v2/additionaltypes#";
constexpr char XADES_NAMESPACE[] = "http://uri.etsi.org/01903/v1.3.2#";

// A policy identifier as the list writes it ("urn:oid:1.2.3", or the bare
// dotted form); empty when it is neither.
std::string dottedPolicy(const std::string& text) {
    std::string dotted = text;
    if (dotted.size() > 8) {
        std::string scheme = dotted.substr(0, 8);
        for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (scheme == "urn:oid:") dotted = dotted.substr(8);
    }
    bool digitBefore = false;
    for (char c : dotted) {
        if (c >= '0' && c <= '9') digitBefore = true;
        else if (c == '.' && digitBefore) digitBefore = false;
        else return "";
    }
    return digitBefore ? dotted : "";
}

// A CriteriaList element.
CriteriaList readCriteria(const XmlNode& element) {
    CriteriaList criteria;
    const std::string* assertion = element.attribute("assert");
    if (assertion == nullptr || *assertion == "all") criteria.assertion = CriteriaList::Assert::All;
    else if (*assertion == "atLeastOne") criteria.assertion = CriteriaList::Assert::AtLeastOne;
    else if (*assertion == "none") criteria.assertion = CriteriaList::Assert::None;
    else criteria.unknownCriterion = true;
    for (const XmlNode& child : element.children) {
        if (child.kind != XmlNode::Kind::Element) continue;
        if (child.isElement(QUALIFICATIONS_NAMESPACE, "KeyUsage")) {
            std::vector<std::pair<int, bool>> bits;
            for (const XmlNode* bit : child.childElements(QUALIFICATIONS_NAMESPACE, "KeyUsageBit")) {
                const std::string* name = bit->attribute("name");
                const std::string value = trimmed(bit->text());
                const int number = name ? keyUsageBit(*name) : -1;
                if (number < 0 || (value != "true" && value != "false")) criteria.unknownCriterion = true;
                else bits.emplace_back(number, value == "true");
            }
            criteria.keyUsages.push_back(std::move(bits));
        } else if (child.isElement(QUALIFICATIONS_NAMESPACE, "PolicySet")) {
            std::vector<std::string> policies;
            for (const XmlNode* policy : child.childElements(QUALIFICATIONS_NAMESPACE, "PolicyIdentifier")) {
                const XmlNode* identifier = policy->firstChild(XADES_NAMESPACE, "Identifier");
                const std::string dotted = identifier ? dottedPolicy(trimmed(identifier->text())) : "";
                if (dotted.empty()) criteria.unknownCriterion = true;
                else policies.push_back(dotted);
            }
            criteria.policySets.push_back(std::move(policies));
        } else if (child.isElement(QUALIFICATIONS_NAMESPACE, "CriteriaList")) {
            criteria.nested.push_back(readCriteria(child));
        } else if (!child.isElement(QUALIFICATIONS_NAMESPACE, "Description")) {
            criteria.unknownCriterion = true;  // otherCriteriaList and whatever comes
        }
    }
    return criteria;
}

std::string afterLastSlash(const std::string& uri) { return uri.substr(uri.rfind('/') + 1); }

// The name of a multilingual list of Name elements: Italian, else English,
// else the first.
std::string pickName(const XmlNode* names) {
    if (names == nullptr) return "";
    const XmlNode* chosen = nullptr;
    int rank = 3;
    for (const XmlNode* name : names->childElements(NS, "Name")) {
        int r = 2;
        for (const XmlAttribute& a : name->attributes) {
            if (a.namespaceUri == XML_NAMESPACE && a.localName == "lang") r = a.value == "it" ? 0 : a.value == "en" ? 1 : 2;
        }
        if (r < rank) chosen = name, rank = r;
    }
    return chosen ? trimmed(chosen->text()) : "";
}

// Where a list is made of several parts, the first refusal wins.
struct Reader {
    std::string refusal;

    void refuse(const std::string& why) {
        if (refusal.empty()) refusal = why;
    }
    std::string uri(const XmlNode* element, const char* what) {
        if (element == nullptr) return "";
        const std::string value = trimmed(element->text());
        if (!isAbsoluteUri(value)) refuse(std::string("URI non valido in ") + what);
        return value;
    }
    UtcSeconds time(const XmlNode* element, const char* what) {
        UtcSeconds value = 0;
        if (element == nullptr || !readDateTime(element->text(), &value)) refuse(std::string("data non valida in ") + what);
        return value;
    }
    std::vector<uint8_t> certificate(const XmlNode* element) {
        std::vector<uint8_t> der;
        if (!decodeBase64(element->text(), &der) || der.size() < 2 || der[0] != 0x30) refuse("certificato non valido");
        return der;
    }

    // The service identities of a ServiceDigitalIdentity.
    void identities(const XmlNode* identity, TrustService* service) {
        if (identity == nullptr) return;
        for (const XmlNode* digitalId : identity->childElements(NS, "DigitalId")) {
            for (const XmlNode* c : digitalId->childElements(NS, "X509Certificate")) {
                service->certificates.push_back(certificate(c));
            }
            for (const XmlNode* s : digitalId->childElements(NS, "X509SubjectName")) {
                service->subjectNames.push_back(trimmed(s->text()));
            }
            for (const XmlNode* k : digitalId->childElements(NS, "X509SKI")) {
                std::vector<uint8_t> id;
                if (!decodeBase64(k->text(), &id)) refuse("identificativo di chiave non valido");
                service->keyIdentifiers.push_back(std::move(id));
            }
        }
    }

    // The type, status, time and extensions of a ServiceInformation or a
    // ServiceHistoryInstance.
    ServiceState state(const XmlNode& from) {
        ServiceState s;
        s.type = uri(from.firstChild(NS, "ServiceTypeIdentifier"), "ServiceTypeIdentifier");
        s.status = uri(from.firstChild(NS, "ServiceStatus"), "ServiceStatus");
        s.since = time(from.firstChild(NS, "StatusStartingTime"), "StatusStartingTime");
        if (from.firstChild(NS, "ServiceTypeIdentifier") == nullptr || from.firstChild(NS, "ServiceStatus") == nullptr) {
            refuse("servizio senza tipo o stato");
        }
        const XmlNode* extensions = from.firstChild(NS, "ServiceInformationExtensions");
        if (extensions == nullptr) return s;
        for (const XmlNode* extension : extensions->childElements(NS, "Extension")) {
            for (const XmlNode& inner : extension->children) {
                if (inner.isElement(NS, "AdditionalServiceInformation")) {
                    s.additionalInformation.push_back(uri(inner.firstChild(NS, "URI"), "AdditionalServiceInformation"));
                } else if (inner.isElement(QUALIFICATIONS_NAMESPACE, "Qualifications")) {
                    for (const XmlNode* element : inner.childElements(QUALIFICATIONS_NAMESPACE, "QualificationElement")) {
                        QualificationElement qualification;
                        if (const XmlNode* qualifiers = element->firstChild(QUALIFICATIONS_NAMESPACE, "Qualifiers")) {
                            for (const XmlNode* q : qualifiers->childElements(QUALIFICATIONS_NAMESPACE, "Qualifier")) {
                                const std::string* value = q->attribute("uri");
                                if (value == nullptr || !isAbsoluteUri(*value)) refuse("qualificatore non valido");
                                else qualification.qualifiers.push_back(*value);
                            }
                        }
                        const XmlNode* criteria = element->firstChild(QUALIFICATIONS_NAMESPACE, "CriteriaList");
                        if (criteria != nullptr) qualification.criteria = readCriteria(*criteria);
                        else qualification.criteria.unknownCriterion = true;  // the schema requires one
                        s.qualifications.push_back(std::move(qualification));
                    }
                }
            }
        }
        return s;
    }
};

}  // namespace

std::string serviceTypeName(const std::string& uri) {
    const size_t at = uri.find("/Svctype/");
    return at == std::string::npos ? afterLastSlash(uri) : uri.substr(at + 9);
}
std::string statusName(const std::string& uri) { return afterLastSlash(uri); }

std::string readTrustedList(const XmlDocument& document, TrustedList* out) {
    *out = TrustedList{};
    const XmlNode* root = document.root();
    if (root == nullptr || !root->isElement(NS, "TrustServiceStatusList")) return "non è una lista di fiducia";
    const XmlNode* scheme = root->firstChild(NS, "SchemeInformation");
    if (scheme == nullptr) return "lista senza SchemeInformation";
    Reader read;

    const XmlNode* sequence = scheme->firstChild(NS, "TSLSequenceNumber");
    const std::string number = sequence ? trimmed(sequence->text()) : "";
    if (number.empty() || number.size() > 18 || number[0] == '0') {
        read.refuse("numero di sequenza non valido");
    } else {
        for (char c : number) {
            if (c < '0' || c > '9') read.refuse("numero di sequenza non valido");
            out->sequenceNumber = out->sequenceNumber * 10 + static_cast<uint64_t>(c - '0');
        }
    }
    out->issuer = pickName(scheme->firstChild(NS, "SchemeOperatorName"));
    const XmlNode* territory = scheme->firstChild(NS, "SchemeTerritory");
    out->territory = territory ? trimmed(territory->text()) : "";
    out->issued = read.time(scheme->firstChild(NS, "ListIssueDateTime"), "ListIssueDateTime");
    const XmlNode* next = scheme->firstChild(NS, "NextUpdate");
    if (next == nullptr) read.refuse("lista senza NextUpdate");
    const XmlNode* nextTime = next ? next->firstChild(NS, "dateTime") : nullptr;
    out->closed = next != nullptr && nextTime == nullptr;
    if (nextTime != nullptr) out->nextUpdate = read.time(nextTime, "NextUpdate");

    if (const XmlNode* pointers = scheme->firstChild(NS, "PointersToOtherTSL")) {
        for (const XmlNode* p : pointers->childElements(NS, "OtherTSLPointer")) {
            OtherListPointer pointer;
            pointer.location = read.uri(p->firstChild(NS, "TSLLocation"), "TSLLocation");
            if (const XmlNode* identities = p->firstChild(NS, "ServiceDigitalIdentities")) {
                TrustService holder;
                for (const XmlNode* identity : identities->childElements(NS, "ServiceDigitalIdentity")) {
                    read.identities(identity, &holder);
                }
                pointer.signers = std::move(holder.certificates);
            }
            if (const XmlNode* info = p->firstChild(NS, "AdditionalInformation")) {
                for (const XmlNode* other : info->childElements(NS, "OtherInformation")) {
                    if (const XmlNode* t = other->firstChild(NS, "SchemeTerritory")) pointer.territory = trimmed(t->text());
                    if (const XmlNode* m = other->firstChild(ADDITIONAL_TYPES_NAMESPACE, "MimeType")) {
                        pointer.mimeType = trimmed(m->text());
                    }
                }
            }
            out->pointers.push_back(std::move(pointer));
        }
    }

    if (const XmlNode* providers = root->firstChild(NS, "TrustServiceProviderList")) {
        for (const XmlNode* p : providers->childElements(NS, "TrustServiceProvider")) {
            TrustServiceProvider provider;
            const XmlNode* information = p->firstChild(NS, "TSPInformation");
            provider.name = pickName(information ? information->firstChild(NS, "TSPName") : nullptr);
            const XmlNode* services = p->firstChild(NS, "TSPServices");
            for (const XmlNode* s : services ? services->childElements(NS, "TSPService") : std::vector<const XmlNode*>{}) {
                const XmlNode* serviceInformation = s->firstChild(NS, "ServiceInformation");
                if (serviceInformation == nullptr) {
                    read.refuse("servizio senza ServiceInformation");
                    continue;
                }
                TrustService service;
                service.name = pickName(serviceInformation->firstChild(NS, "ServiceName"));
                read.identities(serviceInformation->firstChild(NS, "ServiceDigitalIdentity"), &service);
                service.current = read.state(*serviceInformation);
                if (const XmlNode* history = s->firstChild(NS, "ServiceHistory")) {
                    for (const XmlNode* instance : history->childElements(NS, "ServiceHistoryInstance")) {
                        service.history.push_back(read.state(*instance));
                    }
                }
                provider.services.push_back(std::move(service));
            }
            out->providers.push_back(std::move(provider));
        }
    }
    return read.refusal;
}

std::string listSuccessionRefusal(const TrustedList& list, const TrustedList* known, UtcSeconds now) {
    if (known != nullptr && list.sequenceNumber < known->sequenceNumber) {
        return "numero di sequenza " + std::to_string(list.sequenceNumber) + " più basso di quello della lista già avuta (" +
               std::to_string(known->sequenceNumber) + ")";
    }
    if (list.issued > now) return "emessa in una data futura (" + formatUtc(list.issued) + ")";
    return "";
}

const ServiceState* serviceStateAt(const TrustService& service, UtcSeconds time) {
    const ServiceState* found = service.current.since <= time ? &service.current : nullptr;
    for (const ServiceState& earlier : service.history) {
        if (earlier.since <= time && (found == nullptr || earlier.since > found->since)) found = &earlier;
    }
    return found;
}

bool isTrustedFor(TrustedRole role, const ServiceState& state, UtcSeconds time) {
    static const std::string TYPES = "http://uri.etsi.org/TrstSvc/Svctype/";
    static const std::string STATUSES = "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/";
    static const std::string USES = "http://uri.etsi.org/TrstSvc/TrustedList/SvcInfoExt/";
    const bool eidas = time >= QUALIFIED_STATUS_CHANGE;
    const std::string& status = state.status;
    const bool positive = eidas ? status == STATUSES + "granted"
                                : status == STATUSES + "undersupervision" || status == STATUSES + "accredited" ||
                                      status == STATUSES + "supervisionincessation";
    if (!positive) return false;
    if (role == TrustedRole::TimeStamping) {
        return state.type == TYPES + "TSA/QTST" ||
               (!eidas && (state.type == TYPES + "TSA" || state.type == TYPES + "TSA/TSS-QC" ||
                           state.type == TYPES + "TSA/TSS-AdESQCandQES"));
    }
    if (state.type != TYPES + "CA/QC") return false;
    // A service for seals or web sites only does not vouch for signers of documents.
    bool namesUse = false;
    for (const std::string& use : state.additionalInformation) {
        if (use == USES + "ForeSignatures") return true;
        namesUse = namesUse || use == USES + "ForeSeals" || use == USES + "ForWebSiteAuthentication";
    }
    return !namesUse;
}
