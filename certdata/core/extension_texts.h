// The library's own rendering of the listed extensions whose display text the
// platform may not give (subject key identifier, CRL reason, key attributes,
// key usage restriction, next update location, S/MIME capabilities, SP agency
// information), in the platform's multi-line style: "Name=value" lines ended
// by CR LF, nested items indented by five spaces, hex in pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The text, in UTF-16 as the platform renders it; empty when the identifier
// is not one of these or its value cannot be decoded as its type.
std::u16string ownExtensionText(const char* oid, const uint8_t* value, size_t length);
