// A signed XML document as the trust code reads it: a tree of elements, text,
// comments and processing instructions, with every name resolved to its
// namespace URI by this code's own bookkeeping. The platform's parser feeds
// the tree (XmlTreeBuilder); what it is fed is checked against the profile of
// XML that trusted lists use, because a parser that reads a construct wrongly
// would change what is verified. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Larger inputs are refused before they are parsed: real lists are a few MB.
constexpr size_t MAX_XML_SIZE = 32u << 20;
// Deeper nesting is refused: real lists nest about 15 levels.
constexpr size_t MAX_XML_DEPTH = 100;
// More namespaces in scope are refused: real lists declare fewer than ten.
constexpr size_t MAX_NAMESPACES_IN_SCOPE = 64;

constexpr char XML_NAMESPACE[] = "http://www.w3.org/XML/1998/namespace";

struct XmlAttribute {
    std::string prefix;
    std::string localName;
    std::string namespaceUri;  // empty for an attribute without a prefix
    std::string value;         // as the parser normalized it, UTF-8
};

struct XmlNamespace {
    std::string prefix;  // empty for the default namespace
    std::string uri;     // empty: the default namespace undeclared (xmlns="")
};

struct XmlNode {
    enum class Kind { Element, Text, Comment, ProcessingInstruction };
    Kind kind = Kind::Element;
    // An element's names; a processing instruction's target in localName.
    std::string prefix;
    std::string localName;
    std::string namespaceUri;
    std::vector<XmlAttribute> attributes;    // without the namespace declarations
    std::vector<XmlNamespace> declarations;  // the xmlns attributes of this element
    std::vector<XmlNode> children;
    // The characters of text and comments, a processing instruction's data (UTF-8).
    std::string value;

    bool isElement(const char* uri, const char* name) const {
        return kind == Kind::Element && localName == name && namespaceUri == uri;
    }
    // The value of the attribute without a namespace named `name`; null when absent.
    const std::string* attribute(const char* name) const;
    // The child elements named so, in order.
    std::vector<const XmlNode*> childElements(const char* uri, const char* name) const;
    // The first child element named so; null when none.
    const XmlNode* firstChild(const char* uri, const char* name) const;
    // The concatenated text children (not of descendants).
    std::string text() const;
};

struct XmlDocument {
    // Comments and processing instructions around the root, and the root.
    std::vector<XmlNode> topLevel;
    // The document element; null before a whole document was read.
    const XmlNode* root() const;
};

// Why bytes fall outside the profile that is read, checked before the parser
// sees them; empty when they are inside it:
//   - at most MAX_XML_SIZE bytes, UTF-8 (a byte order mark allowed) and declared
//     so when declared at all, no character that XML forbids;
//   - no document type declaration and no CDATA section ("<!" opens nothing
//     but a comment);
//   - no entity reference but the five predefined ones, and no character
//     reference to tab, line feed or carriage return or beyond U+FFFF;
//   - every comment and processing instruction closed;
//   - every start tag a name and attributes (name = quoted value), closed;
//   - no prefix declared (xmlns:p) with two different URIs anywhere.
std::string xmlInputRefusal(const uint8_t* bytes, size_t size);

// Builds an XmlDocument from the parser's nodes, in document order, and
// refuses (with a reason) what the platform's parser may have read wrongly
// or what cannot be a document: each call returns the reason, empty to go on.
class XmlTreeBuilder {
public:
    // `inputSize` bounds the number of nodes: a parser that reports more nodes
    // than the input has bytes is going round in circles.
    explicit XmlTreeBuilder(size_t inputSize) : nodeBudget_(inputSize) {}

    // An element's start. `attributes` are all its attributes as read,
    // namespace declarations among them (prefix "xmlns", or the name "xmlns"
    // without a prefix); `parserUri` is the element's namespace as the parser
    // resolved it, as is each attribute's namespaceUri. Names are resolved
    // again here: an unbound prefix, a prefix bound again to another URI, a
    // name the parser resolved otherwise, an attribute given twice, or more
    // than MAX_NAMESPACES_IN_SCOPE namespaces is refused. `empty` for <a/>,
    // which has no end.
    std::string startElement(const std::string& prefix, const std::string& localName, const std::string& parserUri,
                             const std::vector<XmlAttribute>& attributes, bool empty);
    std::string endElement();
    // Text within the document element; `whitespace` when it is only
    // whitespace (then allowed outside it too, and dropped there).
    std::string text(const std::string& value, bool whitespace);
    std::string comment(const std::string& value);
    std::string processingInstruction(const std::string& target, const std::string& value);
    // The end of the input: refused unless exactly one document element was
    // read and closed.
    std::string finish();

    XmlDocument& document() { return document_; }

private:
    std::string count();
    std::vector<XmlNode>& siblings();
    void closeElement();

    XmlDocument document_;
    std::vector<XmlNode*> open_;                             // the elements not yet ended
    // Prefix -> URI, per open element; an element that declares nothing shares its parent's.
    std::vector<std::shared_ptr<const std::map<std::string, std::string>>> scopes_;
    size_t nodeBudget_;
    bool rootSeen_ = false;
};
