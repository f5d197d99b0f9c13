// Documents for the tests, fed to XmlTreeBuilder as a parser would feed it:
// a small event list, each start with its attributes as written.
#pragma once

#include <string>
#include <vector>

#include "xml_document.h"

struct TestEvent {
    enum Kind { Start, StartEmpty, End, Text, Comment } kind;
    std::string name;                      // "p:local" for starts; the characters for text and comments
    std::vector<XmlAttribute> attributes;  // prefix, local name, URI as the parser resolves it, value
    std::string parserUri;                 // the element's namespace as the parser resolves it
};

// Runs the events through a builder; the first refusal, or "" with the tree in `out`.
inline std::string buildTestTree(const std::vector<TestEvent>& events, XmlDocument* out, size_t inputSize = 1 << 20) {
    XmlTreeBuilder builder(inputSize);
    for (const TestEvent& e : events) {
        std::string refusal;
        const size_t colon = e.name.find(':');
        const std::string prefix = colon == std::string::npos ? "" : e.name.substr(0, colon);
        const std::string local = colon == std::string::npos ? e.name : e.name.substr(colon + 1);
        switch (e.kind) {
        case TestEvent::Start:
        case TestEvent::StartEmpty:
            refusal = builder.startElement(prefix, local, e.parserUri, e.attributes, e.kind == TestEvent::StartEmpty);
            break;
        case TestEvent::End: refusal = builder.endElement(); break;
        case TestEvent::Text: refusal = builder.text(e.name, e.name.find_first_not_of(" \n\t") == std::string::npos); break;
        case TestEvent::Comment: refusal = builder.comment(e.name); break;
        }
        if (!refusal.empty()) return refusal;
    }
    const std::string refusal = builder.finish();
    if (refusal.empty()) *out = std::move(builder.document());
    return refusal;
}

// A namespace declaration as the parser reports it among the attributes.
inline XmlAttribute declaration(const std::string& prefix, const std::string& uri) {
    const std::string xmlns = "http://www.w3.org/2000/xmlns/";
    return prefix.empty() ? XmlAttribute{"", "xmlns", xmlns, uri} : XmlAttribute{"xmlns", prefix, xmlns, uri};
}
