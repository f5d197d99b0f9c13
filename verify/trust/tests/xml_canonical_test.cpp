#include "xml_canonical.h"

#include <gtest/gtest.h>

#include "xml_test_tree.h"

namespace {

const std::string L = "urn:list", S = "urn:sig", X = "urn:x";

// <l:list xmlns:l xmlns:s xmlns:x Id="1" x:A="2" a="&quot;">
//   text <&>\r <!--note--> <item z="1" a="2"/> <s:sig><s:info xml:lang="it">i</s:info></s:sig>
// </l:list>, the default namespace set to urn:x on the item.
std::vector<TestEvent> sample() {
    return {
        {TestEvent::Start, "l:list",
         {declaration("l", L), declaration("s", S), declaration("x", X), {"", "Id", "", "1"}, {"x", "A", X, "2"},
          {"", "a", "", "\"\t\n"}},
         L},
        {TestEvent::Text, "t <&>\r", {}, ""},
        {TestEvent::Comment, "note", {}, ""},
        {TestEvent::StartEmpty, "item", {declaration("", X), {"", "z", "", "1"}, {"", "a", "", "2"}}, X},
        {TestEvent::Start, "s:sig", {}, S},
        {TestEvent::Start, "s:info", {{"xml", "lang", XML_NAMESPACE, "it"}}, S},
        {TestEvent::Text, "i", {}, ""},
        {TestEvent::End, "", {}, ""},
        {TestEvent::End, "", {}, ""},
        {TestEvent::End, "", {}, ""},
    };
}

class Canonical : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(buildTestTree(sample(), &document_), ""); }
    const XmlNode& root() { return *document_.root(); }
    const XmlNode& signature() { return root().children[3]; }
    std::string form(C14nMethod method, const XmlNode* apex, const XmlNode* omitted = nullptr,
                     std::vector<std::string> prefixes = {}) {
        return canonicalize({&document_, apex, omitted, method, prefixes});
    }
    XmlDocument document_;
};

TEST_F(Canonical, ExclusiveDeclaresEachNamespaceWhereItIsFirstUsed) {
    EXPECT_EQ(form(C14nMethod::Exclusive, nullptr),
              "<l:list xmlns:l=\"urn:list\" xmlns:x=\"urn:x\" Id=\"1\" a=\"&quot;&#x9;&#xA;\" x:A=\"2\">"
              "t &lt;&amp;&gt;&#xD;<item xmlns=\"urn:x\" a=\"2\" z=\"1\"></item>"
              "<s:sig xmlns:s=\"urn:sig\"><s:info xml:lang=\"it\">i</s:info></s:sig></l:list>");
}

TEST_F(Canonical, TheEnvelopedSignatureIsLeftOutAndCommentsOnlyWhenAsked) {
    EXPECT_EQ(form(C14nMethod::ExclusiveWithComments, nullptr, &signature()),
              "<l:list xmlns:l=\"urn:list\" xmlns:x=\"urn:x\" Id=\"1\" a=\"&quot;&#x9;&#xA;\" x:A=\"2\">"
              "t &lt;&amp;&gt;&#xD;<!--note--><item xmlns=\"urn:x\" a=\"2\" z=\"1\"></item></l:list>");
}

TEST_F(Canonical, InclusiveCarriesEveryNamespaceInScopeAndTheXmlAttributes) {
    EXPECT_EQ(form(C14nMethod::Inclusive, nullptr, &signature()),
              "<l:list xmlns:l=\"urn:list\" xmlns:s=\"urn:sig\" xmlns:x=\"urn:x\" Id=\"1\" a=\"&quot;&#x9;&#xA;\" "
              "x:A=\"2\">t &lt;&amp;&gt;&#xD;<item xmlns=\"urn:x\" a=\"2\" z=\"1\"></item></l:list>");
    // A subtree: the namespaces of its ancestors come onto its apex.
    EXPECT_EQ(form(C14nMethod::Inclusive, &signature()),
              "<s:sig xmlns:l=\"urn:list\" xmlns:s=\"urn:sig\" xmlns:x=\"urn:x\">"
              "<s:info xml:lang=\"it\">i</s:info></s:sig>");
    EXPECT_EQ(form(C14nMethod::Exclusive, &signature()),
              "<s:sig xmlns:s=\"urn:sig\"><s:info xml:lang=\"it\">i</s:info></s:sig>");
    EXPECT_EQ(form(C14nMethod::Exclusive, &signature(), nullptr, {"l"}),
              "<s:sig xmlns:l=\"urn:list\" xmlns:s=\"urn:sig\"><s:info xml:lang=\"it\">i</s:info></s:sig>");
}

TEST(CanonicalDefaults, AnUndeclaredDefaultNamespaceIsSaidOnlyWhereOneWasInEffect) {
    XmlDocument document;
    ASSERT_EQ(buildTestTree({{TestEvent::Start, "a", {declaration("", "urn:d")}, "urn:d"},
                             {TestEvent::StartEmpty, "b", {declaration("", "")}, ""},
                             {TestEvent::End, "", {}, ""}},
                            &document),
              "");
    EXPECT_EQ(canonicalize({&document, nullptr, nullptr, C14nMethod::Exclusive, {}}),
              "<a xmlns=\"urn:d\"><b xmlns=\"\"></b></a>");
    const XmlNode* inner = &document.root()->children[0];
    EXPECT_EQ(canonicalize({&document, inner, nullptr, C14nMethod::Exclusive, {}}), "<b></b>");
    EXPECT_EQ(canonicalize({&document, inner, nullptr, C14nMethod::Inclusive, {}}), "<b></b>");
}

TEST(CanonicalMethods, OnlyTheFourCanonicalizationsAreKnown) {
    C14nMethod method;
    EXPECT_TRUE(c14nMethodOf("http://www.w3.org/2001/10/xml-exc-c14n#", &method));
    EXPECT_EQ(method, C14nMethod::Exclusive);
    EXPECT_TRUE(c14nMethodOf("http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments", &method));
    EXPECT_EQ(method, C14nMethod::InclusiveWithComments);
    EXPECT_FALSE(c14nMethodOf("http://www.w3.org/2006/12/xml-c14n11", &method));
    EXPECT_FALSE(c14nMethodOf("http://www.w3.org/TR/1999/REC-xpath-19991116", &method));
}

}  // namespace
