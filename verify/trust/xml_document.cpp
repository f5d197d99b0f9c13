#include "xml_document.h"

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>

const std::string* XmlNode::attribute(const char* name) const {
    for (const XmlAttribute& a : attributes) {
        if (a.namespaceUri.empty() && a.localName == name) return &a.value;
    }
    return nullptr;
}

std::vector<const XmlNode*> XmlNode::childElements(const char* uri, const char* name) const {
    std::vector<const XmlNode*> found;
    for (const XmlNode& child : children) {
        if (child.isElement(uri, name)) found.push_back(&child);
    }
    return found;
}

const XmlNode* XmlNode::firstChild(const char* uri, const char* name) const {
    for (const XmlNode& child : children) {
        if (child.isElement(uri, name)) return &child;
    }
    return nullptr;
}

std::string XmlNode::text() const {
    std::string all;
    for (const XmlNode& child : children) {
        if (child.kind == Kind::Text) all += child.value;
    }
    return all;
}

const XmlNode* XmlDocument::root() const {
    for (const XmlNode& node : topLevel) {
        if (node.kind == XmlNode::Kind::Element) return &node;
    }
    return nullptr;
}

namespace {

bool startsWith(const uint8_t* at, const uint8_t* end, const char* text) {
    const size_t n = std::strlen(text);
    return static_cast<size_t>(end - at) >= n && std::memcmp(at, text, n) == 0;
}

// The length of the UTF-8 sequence at `at` when it is a well-formed character
// that XML allows (not a surrogate, not above U+10FFFF, not overlong, no
// control character but tab, line feed and carriage return, not U+FFFE or
// U+FFFF); 0 otherwise.
size_t xmlCharacterLength(const uint8_t* at, const uint8_t* end) {
    const uint8_t first = *at;
    if (first < 0x80) return (first >= 0x20 || first == 0x09 || first == 0x0A || first == 0x0D) ? 1 : 0;
    size_t length;
    uint32_t code;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2, code = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, code = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, code = first & 0x07;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - at) < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (at[i] & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return length;
}

// Why the reference that starts at `at` (an "&") is outside the profile;
// empty when it is one of the five predefined entities or a character
// reference the parser reads right.
std::string referenceRefusal(const uint8_t* at, const uint8_t* end) {
    const uint8_t* semicolon = at + 1;
    while (semicolon < end && semicolon - at <= 12 && *semicolon != ';') ++semicolon;
    if (semicolon >= end || *semicolon != ';') return "riferimento \"&\" non chiuso";
    const std::string name(at + 1, semicolon);
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") return "";
    if (name.size() < 2 || name[0] != '#') return "riferimento a un'entità non predefinita (&" + name + ";)";
    const bool hex = name[1] == 'x';
    const std::string digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 6) return "riferimento a carattere non valido (&" + name + ";)";
    uint32_t code = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return "riferimento a carattere non valido (&" + name + ";)";
        code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    }
    // The platform's parser turns these into spaces or cuts them to 16 bits.
    if (code == 0x09 || code == 0x0A || code == 0x0D || code > 0xFFFF) {
        return "riferimento a carattere non ammesso (&" + name + ";)";
    }
    if (code < 0x20 || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE) {
        return "riferimento a carattere non valido (&" + name + ";)";
    }
    return "";
}

// The text of an encoding declaration in an XML declaration at the start;
// empty when there is none.
std::string declaredEncoding(const uint8_t* at, const uint8_t* end) {
    if (!startsWith(at, end, "<?xml")) return "";
    const uint8_t* close = at;
    while (close + 1 < end && !(close[0] == '?' && close[1] == '>')) ++close;
    const std::string declaration(at, close);
    const size_t key = declaration.find("encoding");
    if (key == std::string::npos) return "";
    const size_t open = declaration.find_first_of("\"'", key);
    if (open == std::string::npos) return "?";
    const size_t shut = declaration.find(declaration[open], open + 1);
    if (shut == std::string::npos) return "?";
    return declaration.substr(open + 1, shut - open - 1);
}

bool isXmlWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Moves `*at` past one character of text or of a tag's values: a reference
// ("&", checked by referenceRefusal) or a character XML allows; why not when
// it is neither.
std::string stepOverCharacter(const uint8_t** at, const uint8_t* end) {
    if (**at == '&') {
        std::string refusal = referenceRefusal(*at, end);
        if (refusal.empty()) ++*at;
        return refusal;
    }
    const size_t n = xmlCharacterLength(*at, end);
    if (n == 0) return "carattere non valido o UTF-8 errato";
    *at += n;
    return "";
}

// Moves `*at` past the `terminator` that closes the construct opened at it
// (its opening `opening` bytes long), checking each character on the way;
// `unclosed` when the input ends first.
std::string skipPast(const uint8_t** at, const uint8_t* end, size_t opening, const char* terminator,
                     const char* unclosed) {
    const uint8_t* p = *at + opening;
    while (p < end && !startsWith(p, end, terminator)) {
        const size_t n = xmlCharacterLength(p, end);
        if (n == 0) return "carattere non valido o UTF-8 errato";
        p += n;
    }
    if (p >= end) return unclosed;
    *at = p + std::strlen(terminator);
    return "";
}

// The start tag from `at` (its "<") on, read as a name and attributes
// (name = quoted value): its prefix declarations (xmlns:p="...") go into
// `bound`. Sets `close` to its ">". Empty, or why the tag is refused: not
// closed, not of that form, or binding a prefix that the document binds
// elsewhere to another URI (the platform's parser reads such a second
// binding as the first). Its characters are checked by the caller.
std::string readStartTag(const uint8_t* at, const uint8_t* end, std::map<std::string, std::string>* bound,
                         const uint8_t** close) {
    const auto isNameEnd = [](uint8_t c) { return c == '=' || c == '>' || c == '/' || isXmlWhitespace(static_cast<char>(c)); };
    const uint8_t* p = at + 1;
    while (p < end && !isNameEnd(*p)) ++p;  // the element's name
    for (;;) {
        while (p < end && isXmlWhitespace(static_cast<char>(*p))) ++p;
        if (p >= end) return "tag non chiuso: documento troncato";
        if (*p == '>' || (*p == '/' && p + 1 < end && p[1] == '>')) {
            *close = *p == '>' ? p : p + 1;
            return "";
        }
        const uint8_t* name = p;
        while (p < end && !isNameEnd(*p)) ++p;
        const std::string attribute(name, p);
        while (p < end && isXmlWhitespace(static_cast<char>(*p))) ++p;
        if (attribute.empty() || p >= end || *p != '=') return "attributo non valido";
        ++p;
        while (p < end && isXmlWhitespace(static_cast<char>(*p))) ++p;
        if (p >= end || (*p != '"' && *p != '\'')) return "attributo non valido";
        const uint8_t quote = *p;
        const uint8_t* value = ++p;
        while (p < end && *p != quote) ++p;
        if (p >= end) return "tag non chiuso: documento troncato";
        if (attribute.compare(0, 6, "xmlns:") == 0) {
            const std::string uri(value, p);
            const auto known = bound->emplace(attribute.substr(6), uri);
            if (!known.second && known.first->second != uri) return "un prefisso di namespace legato a due namespace diversi";
        }
        ++p;
    }
}

}  // namespace

std::string xmlInputRefusal(const uint8_t* bytes, size_t size) {
    if (size > MAX_XML_SIZE) return "documento più grande di 32 MB";
    const uint8_t* at = bytes;
    const uint8_t* const end = bytes + size;
    if (startsWith(at, end, "\xEF\xBB\xBF")) at += 3;
    std::string encoding = declaredEncoding(at, end);
    for (char& c : encoding) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (!encoding.empty() && encoding != "UTF-8") return "codifica diversa da UTF-8";
    std::map<std::string, std::string> prefixes;
    while (at < end) {
        if (*at == '<' && at + 1 < end && at[1] != '/' && at[1] != '!' && at[1] != '?') {
            // A start tag, read once: its prefixes, then its characters and references.
            const uint8_t* close = nullptr;
            const std::string refusal = readStartTag(at, end, &prefixes, &close);
            if (!refusal.empty()) return refusal;
            for (++at; at < close;) {
                const std::string character = stepOverCharacter(&at, end);
                if (!character.empty()) return character;
            }
        } else if (*at == '<' && startsWith(at, end, "<!--")) {
            const std::string refusal = skipPast(&at, end, 4, "-->", "commento non chiuso: documento troncato");
            if (!refusal.empty()) return refusal;
        } else if (*at == '<' && startsWith(at, end, "<!")) {
            return startsWith(at, end, "<![CDATA[") ? "sezione CDATA" : "dichiarazione DOCTYPE o di entità";
        } else if (*at == '<' && startsWith(at, end, "<?")) {
            const std::string refusal =
                skipPast(&at, end, 2, "?>", "istruzione di elaborazione non chiusa: documento troncato");
            if (!refusal.empty()) return refusal;
        } else {
            const std::string refusal = stepOverCharacter(&at, end);
            if (!refusal.empty()) return refusal;
        }
    }
    return "";
}

std::string XmlTreeBuilder::count() {
    if (nodeBudget_ == 0) return "il lettore XML restituisce più nodi di quanti il documento ne possa avere";
    --nodeBudget_;
    return "";
}

std::vector<XmlNode>& XmlTreeBuilder::siblings() {
    return open_.empty() ? document_.topLevel : open_.back()->children;
}

std::string XmlTreeBuilder::startElement(const std::string& prefix, const std::string& localName,
                                         const std::string& parserUri, const std::vector<XmlAttribute>& attributes,
                                         bool empty) {
    std::string refusal = count();
    if (!refusal.empty()) return refusal;
    if (localName.empty()) return "elemento senza nome";
    if (open_.empty() && rootSeen_) return "più di un elemento radice";
    if (open_.size() >= MAX_XML_DEPTH) return "elementi annidati troppo in profondità";

    XmlNode element;
    element.kind = XmlNode::Kind::Element;
    element.prefix = prefix;
    element.localName = localName;
    // The scope of this element: the parent's, shared, or a copy with this
    // element's declarations.
    static const auto none = std::make_shared<const std::map<std::string, std::string>>(
        std::map<std::string, std::string>{{"xml", XML_NAMESPACE}});
    std::shared_ptr<const std::map<std::string, std::string>> shared = scopes_.empty() ? none : scopes_.back();
    std::map<std::string, std::string> own;
    std::set<std::string> declared;
    for (const XmlAttribute& a : attributes) {
        const bool isDefault = a.prefix.empty() && a.localName == "xmlns";
        if (a.prefix != "xmlns" && !isDefault) continue;
        const std::string bound = isDefault ? "" : a.localName;
        if (!declared.insert(bound).second) return "attributo ripetuto (xmlns:" + bound + ")";
        if (bound == "xml" || bound == "xmlns" || (!isDefault && a.value.empty())) {
            return "dichiarazione di namespace non valida (" + bound + ")";
        }
        if (own.empty()) own = *shared;
        // The platform's parser keeps the outer URI of a prefix bound again
        // inside: a prefix keeps one URI throughout (the default namespace,
        // whose rebinding it reads right, may change).
        const auto outer = own.find(bound);
        if (!isDefault && outer != own.end() && outer->second != a.value) {
            return "prefisso " + bound + " ridefinito con un altro namespace";
        }
        own[bound] = a.value;
        element.declarations.push_back({bound, a.value});
    }
    if (!declared.empty()) {
        if (own.size() > MAX_NAMESPACES_IN_SCOPE) return "troppi namespace dichiarati";
        shared = std::make_shared<const std::map<std::string, std::string>>(std::move(own));
    }
    const std::map<std::string, std::string>& scope = *shared;

    const auto resolve = [&](const std::string& p, std::string* uri) {
        const auto found = scope.find(p);
        if (found == scope.end()) {
            if (!p.empty()) return false;
            uri->clear();
        } else {
            *uri = found->second;
        }
        return true;
    };
    if (!resolve(prefix, &element.namespaceUri)) return "prefisso non dichiarato (" + prefix + ")";
    if (element.namespaceUri != parserUri) return "il lettore XML attribuisce a <" + localName + "> un altro namespace";

    std::set<std::pair<std::string, std::string>> seen;  // by namespace and local name
    std::set<std::string> written;                        // by name as written
    for (const XmlAttribute& a : attributes) {
        if (a.prefix == "xmlns" || (a.prefix.empty() && a.localName == "xmlns")) continue;
        XmlAttribute resolved = a;
        if (a.prefix.empty()) {
            resolved.namespaceUri.clear();  // an attribute takes no default namespace
        } else if (!resolve(a.prefix, &resolved.namespaceUri)) {
            return "prefisso non dichiarato (" + a.prefix + ")";
        }
        if (resolved.namespaceUri != a.namespaceUri) {
            return "il lettore XML attribuisce all'attributo " + a.localName + " un altro namespace";
        }
        const std::string name = a.prefix.empty() ? a.localName : a.prefix + ":" + a.localName;
        if (!written.insert(name).second || !seen.insert({resolved.namespaceUri, a.localName}).second) {
            return "attributo ripetuto (" + name + ")";
        }
        element.attributes.push_back(std::move(resolved));
    }

    std::vector<XmlNode>& into = siblings();
    into.push_back(std::move(element));
    if (open_.empty()) rootSeen_ = true;
    open_.push_back(&into.back());
    scopes_.push_back(std::move(shared));
    if (empty) closeElement();
    return "";
}

void XmlTreeBuilder::closeElement() {
    open_.pop_back();
    scopes_.pop_back();
}

std::string XmlTreeBuilder::endElement() {
    std::string refusal = count();
    if (!refusal.empty()) return refusal;
    if (open_.empty()) return "fine di un elemento mai aperto";
    closeElement();
    return "";
}

std::string XmlTreeBuilder::text(const std::string& value, bool whitespace) {
    std::string refusal = count();
    if (!refusal.empty()) return refusal;
    // Every node of a document holds at least one character: an empty one is
    // the platform's parser reading past the end of a cut-off file.
    if (value.empty()) return "nodo di testo vuoto: documento troncato";
    if (open_.empty()) {
        if (!whitespace) return "testo fuori dall'elemento radice";
        for (char c : value) {
            if (!isXmlWhitespace(c)) return "testo fuori dall'elemento radice";
        }
        return "";
    }
    std::vector<XmlNode>& into = siblings();
    // Adjacent pieces of text are one text node.
    if (!into.empty() && into.back().kind == XmlNode::Kind::Text) {
        into.back().value += value;
        return "";
    }
    XmlNode node;
    node.kind = XmlNode::Kind::Text;
    node.value = value;
    into.push_back(std::move(node));
    return "";
}

std::string XmlTreeBuilder::comment(const std::string& value) {
    std::string refusal = count();
    if (!refusal.empty()) return refusal;
    XmlNode node;
    node.kind = XmlNode::Kind::Comment;
    node.value = value;
    siblings().push_back(std::move(node));
    return "";
}

std::string XmlTreeBuilder::processingInstruction(const std::string& target, const std::string& value) {
    std::string refusal = count();
    if (!refusal.empty()) return refusal;
    if (target.empty()) return "istruzione di elaborazione senza nome";
    XmlNode node;
    node.kind = XmlNode::Kind::ProcessingInstruction;
    node.localName = target;
    node.value = value;
    siblings().push_back(std::move(node));
    return "";
}

std::string XmlTreeBuilder::finish() {
    if (!rootSeen_) return "nessun elemento radice";
    if (!open_.empty()) return "elemento non chiuso: documento troncato";
    return "";
}
