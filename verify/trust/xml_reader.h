// Reading a document with the platform's XML parser, XmlLite, into the trust
// code's own tree (xml_document.h), inside the profile of XML that signed
// lists use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml_document.h"

// Empty with the tree in `document`, else why the bytes are not read: outside
// the profile (xmlInputRefusal), not well-formed, or read by the parser in a
// way the tree builder does not trust. DTD processing is prohibited.
std::string readXmlDocument(const std::vector<uint8_t>& bytes, XmlDocument* document);
