#include "xml_canonical.h"

#include <algorithm>
#include <map>

bool c14nMethodOf(const std::string& uri, C14nMethod* method) {
    static const std::map<std::string, C14nMethod> methods = {
        {"http://www.w3.org/TR/2001/REC-xml-c14n-20010315", C14nMethod::Inclusive},
        {"http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments", C14nMethod::InclusiveWithComments},
        {"http://www.w3.org/2001/10/xml-exc-c14n#", C14nMethod::Exclusive},
        {"http://www.w3.org/2001/10/xml-exc-c14n#WithComments", C14nMethod::ExclusiveWithComments},
    };
    const auto found = methods.find(uri);
    if (found == methods.end()) return false;
    *method = found->second;
    return true;
}

namespace {

using Namespaces = std::map<std::string, std::string>;  // prefix -> URI; "" the default

void escapeText(const std::string& text, std::string* out) {
    for (char c : text) {
        switch (c) {
        case '&': *out += "&amp;"; break;
        case '<': *out += "&lt;"; break;
        case '>': *out += "&gt;"; break;
        case '\r': *out += "&#xD;"; break;
        default: *out += c;
        }
    }
}

void escapeAttribute(const std::string& text, std::string* out) {
    for (char c : text) {
        switch (c) {
        case '&': *out += "&amp;"; break;
        case '<': *out += "&lt;"; break;
        case '"': *out += "&quot;"; break;
        case '\t': *out += "&#x9;"; break;
        case '\n': *out += "&#xA;"; break;
        case '\r': *out += "&#xD;"; break;
        default: *out += c;
        }
    }
}

class Canonicalizer {
public:
    explicit Canonicalizer(const C14nInput& input)
        : input_(input),
          exclusive_(input.method == C14nMethod::Exclusive || input.method == C14nMethod::ExclusiveWithComments),
          comments_(input.method == C14nMethod::InclusiveWithComments ||
                    input.method == C14nMethod::ExclusiveWithComments) {}

    std::string run() {
        const std::vector<XmlNode>& top = input_.document->topLevel;
        if (input_.apex == nullptr) {
            // The whole document: what stands before the root ends with a line
            // break, what stands after it begins with one.
            bool afterRoot = false;
            for (const XmlNode& node : top) {
                if (node.kind == XmlNode::Kind::Element) {
                    walk(node, Namespaces{}, Namespaces{}, true);
                    afterRoot = true;
                } else if (isOutput(node)) {
                    if (afterRoot) out_ += '\n';
                    leaf(node);
                    if (!afterRoot) out_ += '\n';
                }
            }
        } else {
            for (const XmlNode& node : top) {
                if (node.kind == XmlNode::Kind::Element) walk(node, Namespaces{}, Namespaces{}, false);
            }
        }
        return std::move(out_);
    }

private:
    bool isOutput(const XmlNode& node) const {
        return node.kind != XmlNode::Kind::Comment || comments_;
    }

    void leaf(const XmlNode& node) {
        switch (node.kind) {
        case XmlNode::Kind::Text: escapeText(node.value, &out_); break;
        case XmlNode::Kind::Comment: out_ += "<!--" + node.value + "-->"; break;
        case XmlNode::Kind::ProcessingInstruction:
            out_ += "<?" + node.localName;
            if (!node.value.empty()) out_ += " " + node.value;
            out_ += "?>";
            break;
        case XmlNode::Kind::Element: break;
        }
    }

    // `parentScope`: the namespaces in scope at the parent; `rendered`: those
    // the nearest output ancestor's output has in effect. `output`: whether
    // `node` is in the subset. Maps are copied only where an element changes
    // them.
    void walk(const XmlNode& node, const Namespaces& parentScope, const Namespaces& rendered, bool output) {
        if (&node == input_.omitted) return;
        Namespaces ownScope;
        if (!node.declarations.empty()) {
            ownScope = parentScope;
            for (const XmlNamespace& d : node.declarations) ownScope[d.prefix] = d.uri;
        }
        const Namespaces& scope = node.declarations.empty() ? parentScope : ownScope;
        const bool isApex = &node == input_.apex;
        output = output || isApex;
        if (!output) {
            above_.push_back(&node);
            for (const XmlNode& child : node.children) {
                if (child.kind == XmlNode::Kind::Element) walk(child, scope, rendered, false);
            }
            above_.pop_back();
            return;
        }

        // The namespace declarations this element's output carries.
        Namespaces declare;
        const auto consider = [&](const std::string& prefix) {
            const auto found = scope.find(prefix);
            const std::string uri = found == scope.end() ? "" : found->second;
            const auto before = rendered.find(prefix);
            const std::string had = before == rendered.end() ? "" : before->second;
            if (uri != had) declare[prefix] = uri;  // else already in effect (or, for the default, still none)
        };
        if (exclusive_) {
            consider(node.prefix);  // the element's own, the default one when it has no prefix
            for (const XmlAttribute& a : node.attributes) {
                if (!a.prefix.empty() && a.namespaceUri != XML_NAMESPACE) consider(a.prefix);
            }
            for (const std::string& p : input_.inclusivePrefixes) {
                const std::string prefix = p == "#default" ? "" : p;
                if (scope.count(prefix)) consider(prefix);
            }
        } else if (isApex || !node.declarations.empty()) {
            // Below the apex only an element's own declarations can differ.
            for (const auto& entry : scope) consider(entry.first);
            for (const auto& entry : rendered) {
                if (!scope.count(entry.first)) consider(entry.first);
            }
        }
        Namespaces ownRendered;
        if (!declare.empty()) {
            ownRendered = rendered;
            for (const auto& d : declare) ownRendered[d.first] = d.second;
        }
        const Namespaces& nowRendered = declare.empty() ? rendered : ownRendered;

        std::vector<const XmlAttribute*> attributes;
        for (const XmlAttribute& a : node.attributes) attributes.push_back(&a);
        if (isApex && !exclusive_) {
            // Canonical XML 1.0 carries the xml: attributes of the ancestors
            // left out onto the apex, the nearest one's of each name, unless
            // the apex has its own.
            std::map<std::string, const XmlAttribute*> inherited;
            for (const XmlNode* ancestor : above_) {
                for (const XmlAttribute& a : ancestor->attributes) {
                    if (a.namespaceUri == XML_NAMESPACE) inherited[a.localName] = &a;
                }
            }
            for (const XmlAttribute& a : node.attributes) {
                if (a.namespaceUri == XML_NAMESPACE) inherited.erase(a.localName);
            }
            for (const auto& entry : inherited) attributes.push_back(entry.second);
        }
        std::sort(attributes.begin(), attributes.end(), [](const XmlAttribute* a, const XmlAttribute* b) {
            if (a->namespaceUri != b->namespaceUri) return a->namespaceUri < b->namespaceUri;
            return a->localName < b->localName;
        });

        const std::string name = node.prefix.empty() ? node.localName : node.prefix + ":" + node.localName;
        out_ += "<" + name;
        for (const auto& d : declare) {  // the default ("") sorts first
            out_ += d.first.empty() ? " xmlns=\"" : " xmlns:" + d.first + "=\"";
            escapeAttribute(d.second, &out_);
            out_ += "\"";
        }
        for (const XmlAttribute* a : attributes) {
            out_ += " " + (a->prefix.empty() ? a->localName : a->prefix + ":" + a->localName) + "=\"";
            escapeAttribute(a->value, &out_);
            out_ += "\"";
        }
        out_ += ">";
        for (const XmlNode& child : node.children) {
            if (child.kind == XmlNode::Kind::Element) {
                walk(child, scope, nowRendered, true);
            } else if (isOutput(child)) {
                leaf(child);
            }
        }
        out_ += "</" + name + ">";
    }

    const C14nInput& input_;
    const bool exclusive_;
    const bool comments_;
    std::vector<const XmlNode*> above_;  // the ancestors left out, outermost first
    std::string out_;
};

}  // namespace

std::string canonicalize(const C14nInput& input) {
    if (input.document == nullptr) return "";
    return Canonicalizer(input).run();
}
