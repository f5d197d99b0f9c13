// Canonical XML of a read document, as XML signatures digest and sign it:
// Canonical XML 1.0 and Exclusive XML Canonicalization 1.0, each with or
// without comments. Platform-free.
#pragma once

#include <string>
#include <vector>

#include "xml_document.h"

enum class C14nMethod { Inclusive, InclusiveWithComments, Exclusive, ExclusiveWithComments };

// The method an Algorithm URI names; false for any other URI.
bool c14nMethodOf(const std::string& uri, C14nMethod* method);

struct C14nInput {
    const XmlDocument* document = nullptr;
    // The element whose subtree is canonicalized; null for the whole document.
    const XmlNode* apex = nullptr;
    // An element left out with everything in it (an enveloped signature); may be null.
    const XmlNode* omitted = nullptr;
    C14nMethod method = C14nMethod::Exclusive;
    // Exclusive only: the prefixes ("#default" for the default namespace)
    // treated as in Canonical XML 1.0.
    std::vector<std::string> inclusivePrefixes;
};

// The canonical form, UTF-8.
std::string canonicalize(const C14nInput& input);
