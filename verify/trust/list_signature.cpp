#include "list_signature.h"

#include <map>

#include "list_values.h"
#include "xml_canonical.h"

namespace {

constexpr char ENVELOPED[] = "http://www.w3.org/2000/09/xmldsig#enveloped-signature";
constexpr char SIGNED_PROPERTIES_TYPE[] = "http://uri.etsi.org/01903#SignedProperties";
constexpr char EXCLUSIVE_NAMESPACE[] = "http://www.w3.org/2001/10/xml-exc-c14n#";

bool digestOfUri(const std::string& uri, DigestKind* kind) {
    static const std::map<std::string, DigestKind> digests = {
        {"http://www.w3.org/2001/04/xmlenc#sha256", DigestKind::Sha256},
        {"http://www.w3.org/2001/04/xmldsig-more#sha384", DigestKind::Sha384},
        {"http://www.w3.org/2001/04/xmlenc#sha512", DigestKind::Sha512},
    };
    const auto found = digests.find(uri);
    if (found == digests.end()) return false;
    *kind = found->second;
    return true;
}

bool signatureOfUri(const std::string& uri, SignatureScheme* scheme, DigestKind* kind) {
    static const std::map<std::string, std::pair<SignatureScheme, DigestKind>> methods = {
        {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256", {SignatureScheme::RsaPkcs1, DigestKind::Sha256}},
        {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha384", {SignatureScheme::RsaPkcs1, DigestKind::Sha384}},
        {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha512", {SignatureScheme::RsaPkcs1, DigestKind::Sha512}},
        {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256", {SignatureScheme::Ecdsa, DigestKind::Sha256}},
        {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha384", {SignatureScheme::Ecdsa, DigestKind::Sha384}},
        {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha512", {SignatureScheme::Ecdsa, DigestKind::Sha512}},
    };
    const auto found = methods.find(uri);
    if (found == methods.end()) return false;
    *scheme = found->second.first;
    *kind = found->second.second;
    return true;
}

// Every element of the tree, in document order, by callback.
template <typename Visit>
void forEachElement(const XmlNode& node, Visit&& visit) {
    if (node.kind != XmlNode::Kind::Element) return;
    visit(node);
    for (const XmlNode& child : node.children) forEachElement(child, visit);
}

// The child elements of `node`, without text and comments.
std::vector<const XmlNode*> elementChildren(const XmlNode& node) {
    std::vector<const XmlNode*> elements;
    for (const XmlNode& child : node.children) {
        if (child.kind == XmlNode::Kind::Element) elements.push_back(&child);
    }
    return elements;
}

// The canonicalization a CanonicalizationMethod or Transform element names,
// with the prefix list of an exclusive one; false when it names none.
bool readCanonicalization(const XmlNode& element, C14nInput* c14n) {
    const std::string* algorithm = element.attribute("Algorithm");
    if (algorithm == nullptr || !c14nMethodOf(*algorithm, &c14n->method)) return false;
    c14n->inclusivePrefixes.clear();
    const std::vector<const XmlNode*> inner = elementChildren(element);
    const bool exclusive = c14n->method == C14nMethod::Exclusive || c14n->method == C14nMethod::ExclusiveWithComments;
    if (inner.empty()) return true;
    if (!exclusive || inner.size() != 1 || !inner[0]->isElement(EXCLUSIVE_NAMESPACE, "InclusiveNamespaces")) {
        return false;
    }
    const std::string* list = inner[0]->attribute("PrefixList");
    if (list == nullptr) return false;
    std::string word;
    for (char c : *list + " ") {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!word.empty()) c14n->inclusivePrefixes.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return true;
}

}  // namespace

std::string readListSignature(const XmlDocument& document, ListSignature* out) {
    *out = ListSignature{};
    const XmlNode* root = document.root();
    if (root == nullptr) return "documento vuoto";

    // Wrapping: a second element with the root's name, or an Id given twice.
    std::map<std::string, const XmlNode*> ids;
    std::vector<const XmlNode*> signatures;
    std::string refusal;
    forEachElement(*root, [&](const XmlNode& element) {
        if (&element != root && element.localName == root->localName && element.namespaceUri == root->namespaceUri &&
            refusal.empty()) {
            refusal = "un secondo elemento " + root->localName + " nel documento";
        }
        const std::string* id = element.attribute("Id");
        if (id != nullptr && !ids.emplace(*id, &element).second && refusal.empty()) {
            refusal = "Id ripetuto (" + *id + ")";
        }
        if (element.isElement(DSIG_NAMESPACE, "Signature")) signatures.push_back(&element);
    });
    if (!refusal.empty()) return refusal;
    if (signatures.empty()) return "la lista non è firmata";
    if (signatures.size() > 1) return "più di una firma nel documento";
    const XmlNode& signature = *signatures[0];
    if (root->firstChild(DSIG_NAMESPACE, "Signature") != &signature) return "la firma non è figlia dell'elemento radice";

    const std::vector<const XmlNode*> parts = elementChildren(signature);
    if (parts.size() < 2 || !parts[0]->isElement(DSIG_NAMESPACE, "SignedInfo") ||
        !parts[1]->isElement(DSIG_NAMESPACE, "SignatureValue")) {
        return "firma senza SignedInfo e SignatureValue";
    }
    const XmlNode& signedInfo = *parts[0];
    const std::vector<const XmlNode*> info = elementChildren(signedInfo);
    if (info.size() < 3 || !info[0]->isElement(DSIG_NAMESPACE, "CanonicalizationMethod") ||
        !info[1]->isElement(DSIG_NAMESPACE, "SignatureMethod")) {
        return "SignedInfo incompleto";
    }
    C14nInput signedInfoForm{&document, &signedInfo, nullptr, C14nMethod::Exclusive, {}};
    if (!readCanonicalization(*info[0], &signedInfoForm)) return "canonicalizzazione di SignedInfo non ammessa";
    const std::string* method = info[1]->attribute("Algorithm");
    if (method == nullptr || !signatureOfUri(*method, &out->scheme, &out->digest) ||
        !elementChildren(*info[1]).empty()) {
        return "algoritmo di firma non ammesso";
    }

    for (size_t i = 2; i < info.size(); ++i) {
        const XmlNode& reference = *info[i];
        if (!reference.isElement(DSIG_NAMESPACE, "Reference")) return "elemento inatteso in SignedInfo";
        const std::string* uri = reference.attribute("URI");
        if (uri == nullptr) return "riferimento senza URI";
        ListReference checked;
        checked.wholeList = uri->empty();
        for (const ListReference& earlier : out->references) {
            if (earlier.wholeList && checked.wholeList) return "la firma non copre l'intera lista esattamente una volta";
        }
        C14nInput form{&document, root, nullptr, C14nMethod::Inclusive, {}};
        if (!checked.wholeList) {
            // Only this signature's signed properties, by their Id.
            const auto target = (*uri)[0] == '#' ? ids.find(uri->substr(1)) : ids.end();
            const std::string* type = reference.attribute("Type");
            if (target == ids.end() || !target->second->isElement(XADES_NAMESPACE, "SignedProperties") ||
                type == nullptr || *type != SIGNED_PROPERTIES_TYPE) {
                return "riferimento a una parte del documento (" + *uri + ")";
            }
            bool inside = false;
            forEachElement(signature, [&](const XmlNode& e) { inside = inside || &e == target->second; });
            if (!inside) return "riferimento a proprietà firmate di un'altra firma";
            // Each reference costs a canonical copy: one of the properties is all a signature needs.
            for (const ListReference& earlier : out->references) {
                if (!earlier.wholeList) return "più di un riferimento alle proprietà firmate";
            }
            form.apex = target->second;
        }
        const std::vector<const XmlNode*> steps = elementChildren(reference);
        size_t at = 0;
        bool enveloped = false, canonicalized = false;
        if (at < steps.size() && steps[at]->isElement(DSIG_NAMESPACE, "Transforms")) {
            for (const XmlNode* transform : elementChildren(*steps[at])) {
                const std::string* algorithm = transform->attribute("Algorithm");
                if (!transform->isElement(DSIG_NAMESPACE, "Transform") || algorithm == nullptr) {
                    return "trasformazione non valida";
                }
                if (*algorithm == ENVELOPED && !enveloped && !canonicalized && checked.wholeList &&
                    elementChildren(*transform).empty()) {
                    enveloped = true;
                } else if (!canonicalized && readCanonicalization(*transform, &form)) {
                    canonicalized = true;
                } else {
                    return "trasformazione non ammessa (" + *algorithm + ")";
                }
            }
            ++at;
        }
        if (checked.wholeList && !enveloped) return "il riferimento alla lista non esclude la firma";
        if (at + 2 != steps.size() || !steps[at]->isElement(DSIG_NAMESPACE, "DigestMethod") ||
            !steps[at + 1]->isElement(DSIG_NAMESPACE, "DigestValue")) {
            return "riferimento incompleto";
        }
        const std::string* digest = steps[at]->attribute("Algorithm");
        if (digest == nullptr || !digestOfUri(*digest, &checked.digest)) return "algoritmo di digest non ammesso";
        if (!decodeBase64(steps[at + 1]->text(), &checked.digestValue)) return "DigestValue non è base64";
        // A same-document reference leaves comments out, whatever the
        // canonicalization says.
        if (form.method == C14nMethod::InclusiveWithComments) form.method = C14nMethod::Inclusive;
        if (form.method == C14nMethod::ExclusiveWithComments) form.method = C14nMethod::Exclusive;
        if (checked.wholeList) {
            form.apex = nullptr;
            form.omitted = &signature;
        }
        checked.canonical = canonicalize(form);
        out->references.push_back(std::move(checked));
    }
    size_t whole = 0;
    for (const ListReference& r : out->references) whole += r.wholeList ? 1 : 0;
    if (whole != 1) return "la firma non copre l'intera lista esattamente una volta";

    if (!decodeBase64(parts[1]->text(), &out->value)) return "SignatureValue non è base64";
    const XmlNode* keyInfo = parts.size() > 2 && parts[2]->isElement(DSIG_NAMESPACE, "KeyInfo") ? parts[2] : nullptr;
    std::vector<const XmlNode*> certificates;
    if (keyInfo != nullptr) {
        for (const XmlNode* data : keyInfo->childElements(DSIG_NAMESPACE, "X509Data")) {
            for (const XmlNode* c : data->childElements(DSIG_NAMESPACE, "X509Certificate")) certificates.push_back(c);
        }
    }
    if (certificates.size() != 1) return "KeyInfo non contiene esattamente un certificato";
    if (!decodeBase64(certificates[0]->text(), &out->certificate)) return "certificato di firma non è base64";
    out->signedInfo = canonicalize(signedInfoForm);
    return "";
}
