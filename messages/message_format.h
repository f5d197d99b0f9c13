// A catalog message with the values it names filled in.
#pragma once

#include <string>

// `message` with its printf conversions ("%s", "%d", "%u", "%lu", "%x",
// "%08X") replaced by the values that follow, in order, as printf does;
// the text grows to whatever length the values need.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string formatMessage(const char* message, ...);

// One character appended as UTF-8; a surrogate or a value past Unicode as U+FFFD.
void appendUtf8(char32_t character, std::string* text);

// A catalog message as UTF-8, for reports. The Windows builds compile the
// catalogs in Windows-1252, whatever the system's code page; the native
// builds keep them in UTF-8.
std::string messageAsUtf8(const std::string& message);
