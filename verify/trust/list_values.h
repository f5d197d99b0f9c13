// The values of a signed list that are checked before they are believed:
// dates (xsd:dateTime), URIs and base64. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Seconds since 1970-01-01T00:00:00Z.
using UtcSeconds = int64_t;

// An xsd:dateTime with a time zone ("Z" or "+hh:mm"), its fraction of a second
// dropped, between the years 1000 and 9999; false for anything else (a local
// time without a zone, 31 February, 25:00...). Leading and trailing
// whitespace is allowed, as the schema's whitespace rule collapses it.
bool readDateTime(const std::string& text, UtcSeconds* out);

// The date as "gg/mm/aaaa hh:mm UTC", for people.
std::string formatUtc(UtcSeconds time);

// Strict base64: the alphabet, whitespace between characters, padding only
// at the end and only as much as the length needs; false for anything else
// (and for empty input).
bool decodeBase64(const std::string& text, std::vector<uint8_t>* out);

// An absolute URI: a scheme ("http:", "urn:"...) and then printable
// characters without spaces; false otherwise.
bool isAbsoluteUri(const std::string& text);

// The text without its leading and trailing XML whitespace.
std::string trimmed(const std::string& text);
