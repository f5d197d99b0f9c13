#include "xml_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "xml_test_tree.h"

namespace {

std::string refusalOf(const std::string& text) {
    return xmlInputRefusal(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(XmlInput, TheRealListsAreInsideTheProfile) {
    for (const char* name : {"IT-2019-09-04.xml", "eu-lotl-2019-09-04.xml"}) {
        std::ifstream in(std::string(QUILL_TESTDATA_DIR) + "/trust/real/" + name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 100000u) << name;
        EXPECT_EQ(refusalOf(bytes), "") << name;
    }
}

TEST(XmlInput, WhatThePlatformsParserMayReadWronglyIsRefused) {
    const char* refused[] = {
        "<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>",                 // a document type, entities
        "<a><![CDATA[<b/>]]></a>",                                    // CDATA
        "<a>&undeclared;</a>",                                        // an entity no one declared
        "<a>x&#9;y</a>", "<a b=\"&#10;\"/>", "<a>&#xD;</a>",         // read as spaces
        "<a>&#x1F600;</a>", "<a>&#128512;</a>",                       // cut to 16 bits
        "<a>&#1;</a>", "<a>&#xD800;</a>", "<a>&#;</a>", "<a>&amp</a>", // not characters, not closed
        "<a>\xC0\x80</a>", "<a>\xED\xA0\x80</a>", "<a>\xF4\x90\x80\x80</a>", "<a>\xE2\x82</a>",  // bad UTF-8
        "<a>\x01</a>", "<a>\xEF\xBF\xBF</a>",                         // characters XML forbids
        "<a><!-- cut off", "<a><?pi cut off",                          // cut inside a comment or instruction
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>",        // not UTF-8
        "<p:a xmlns:p=\"urn:a\"><p:b\n xmlns:p='urn:b'/></p:a>",         // a prefix bound again
        "<a><p:b xmlns:p=\"urn:a\"/><p:b xmlns:p=\"urn:b\"/></a>",       // ... also in another subtree
        // ... also behind a value that looks like a declaration
        "<a xmlns:p=\"urn:a\"><o b=\" xmlns:q='x\" xmlns:p=\"urn:b\" c='y'/></a>",
        "<a b=\"1\"", "<a b=1/>", "<a =\"1\"/>", "<a b=\"1/>",           // tags not closed or not name=value
        "<a b=\"&#9;\"/>", "<a b=\"\x01\"/>",                            // a tag's references and characters
    };
    for (const char* text : refused) EXPECT_NE(refusalOf(text), "") << text;
}

TEST(XmlInput, WhatListsUseIsRead) {
    const char* read[] = {
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>",
        "<a b=\"&amp;&lt;&gt;&quot;&apos;\">&#233;&#xE9;\xC3\xA9\xF0\x9F\x98\x80</a>",
        "<a><!-- & < <!DOCTYPE in a comment is text --></a>",
        "<a>\n\t\r</a>",
        "<p:a xmlns:p=\"urn:a\"><p:b xmlns:p=\"urn:a\" c='xmlns:p=\"urn:b\"'/></p:a>",  // the same URI again
    };
    for (const char* text : read) EXPECT_EQ(refusalOf(text), "") << text;
}

// A run of "<" that never closes is refused in one pass, not a pass per "<".
TEST(XmlInput, UnclosedTagsCostOnePass) {
    std::string many;
    for (int i = 0; i < 500000; ++i) many += "<a";
    EXPECT_NE(refusalOf(many), "");
}

TEST(XmlInput, MoreThan32MBIsRefusedUnread) {
    std::string big(MAX_XML_SIZE + 1, ' ');
    big[0] = '<';  // no document: refused by its size alone
    EXPECT_NE(refusalOf(big), "");
    big.resize(MAX_XML_SIZE);
    big.replace(0, 3, "<a>");
    big.replace(big.size() - 4, 4, "</a>");
    EXPECT_EQ(refusalOf(big), "");
}

const std::string A = "urn:a", B = "urn:b";

TEST(XmlTreeBuilder, ResolvesNamesItselfAndRefusesAParserThatDisagrees) {
    XmlDocument document;
    // The default namespace changed inside: a parser that keeps the outer one is refused.
    const std::vector<TestEvent> rebound = {
        {TestEvent::Start, "a", {declaration("", A)}, A},
        {TestEvent::StartEmpty, "b", {declaration("", B)}, A},
        {TestEvent::End, "", {}, ""},
    };
    EXPECT_NE(buildTestTree(rebound, &document), "");
    std::vector<TestEvent> right = rebound;
    right[1].parserUri = B;
    ASSERT_EQ(buildTestTree(right, &document), "");
    EXPECT_EQ(document.root()->children[0].namespaceUri, B);

    // A prefix bound again to another URI is refused whatever the parser says;
    // bound again to the same URI, it is the same prefix.
    const std::vector<TestEvent> prefixRebound = {
        {TestEvent::Start, "p:a", {declaration("p", A)}, A},
        {TestEvent::StartEmpty, "p:b", {declaration("p", B)}, B},
        {TestEvent::End, "", {}, ""},
    };
    EXPECT_NE(buildTestTree(prefixRebound, &document), "");
    std::vector<TestEvent> redeclared = prefixRebound;
    redeclared[1] = {TestEvent::StartEmpty, "p:b", {declaration("p", A)}, A};
    EXPECT_EQ(buildTestTree(redeclared, &document), "");

    // An attribute's prefix is resolved too; an unprefixed attribute has no namespace.
    const std::vector<TestEvent> attribute = {
        {TestEvent::StartEmpty, "a", {declaration("", A), declaration("q", B), {"q", "x", A, "1"}}, A},
    };
    EXPECT_NE(buildTestTree(attribute, &document), "");
    const std::vector<TestEvent> unbound = {{TestEvent::StartEmpty, "r:a", {}, ""}};
    EXPECT_NE(buildTestTree(unbound, &document), "");
    const std::vector<TestEvent> unboundAttribute = {{TestEvent::StartEmpty, "a", {{"r", "x", "", "1"}}, ""}};
    EXPECT_NE(buildTestTree(unboundAttribute, &document), "");
}

TEST(XmlTreeBuilder, RefusesMoreNamespacesThanListsUse) {
    XmlDocument document;
    std::vector<XmlAttribute> declarations;
    for (size_t i = 0; i < MAX_NAMESPACES_IN_SCOPE; ++i) declarations.push_back(declaration("p" + std::to_string(i), A));
    EXPECT_NE(buildTestTree({{TestEvent::StartEmpty, "a", declarations, ""}}, &document), "");
    declarations.pop_back();
    EXPECT_EQ(buildTestTree({{TestEvent::StartEmpty, "a", declarations, ""}}, &document), "");  // with xml, the most
}

TEST(XmlTreeBuilder, RefusesDuplicateAttributesUnderAnyPrefix) {
    XmlDocument document;
    const std::vector<TestEvent> twice = {{TestEvent::StartEmpty, "a", {{"", "Id", "", "1"}, {"", "Id", "", "2"}}, ""}};
    EXPECT_NE(buildTestTree(twice, &document), "");
    // Two prefixes for one namespace: the same attribute.
    const std::vector<TestEvent> aliased = {
        {TestEvent::StartEmpty, "a", {declaration("p", A), declaration("q", A), {"p", "x", A, "1"}, {"q", "x", A, "2"}}, ""},
    };
    EXPECT_NE(buildTestTree(aliased, &document), "");
    const std::vector<TestEvent> declaredTwice = {
        {TestEvent::StartEmpty, "a", {declaration("p", A), declaration("p", B)}, ""},
    };
    EXPECT_NE(buildTestTree(declaredTwice, &document), "");
}

TEST(XmlTreeBuilder, RefusesWhatNoDocumentHas) {
    XmlDocument document;
    const TestEvent start{TestEvent::Start, "a", {}, ""}, end{TestEvent::End, "", {}, ""};
    EXPECT_NE(buildTestTree({start}, &document), "");                                      // never closed
    EXPECT_NE(buildTestTree({start, end, start, end}, &document), "");                     // two roots
    EXPECT_NE(buildTestTree({{TestEvent::Text, "x", {}, ""}, start, end}, &document), "");  // text outside
    EXPECT_NE(buildTestTree({start, {TestEvent::Text, "", {}, ""}, end}, &document), "");   // an empty node
    EXPECT_NE(buildTestTree({start, end, end}, &document), "");                            // an end too many
    EXPECT_NE(buildTestTree({}, &document), "");                                           // nothing
    // More nodes than the input has bytes: a parser going round in circles.
    EXPECT_NE(buildTestTree({start, {TestEvent::Comment, "x", {}, ""}, {TestEvent::Comment, "y", {}, ""}, end},
                            &document, 3),
              "");
    EXPECT_EQ(buildTestTree({start, {TestEvent::Comment, "x", {}, ""}, end}, &document, 3), "");
    std::vector<TestEvent> deep(MAX_XML_DEPTH + 1, start);
    deep.insert(deep.end(), MAX_XML_DEPTH + 1, end);
    EXPECT_NE(buildTestTree(deep, &document), "");
}

}  // namespace
