// The verification program's rules that need no platform: the path on its
// command line, the source view's dump format, and which content names the
// desktop would run rather than show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The command line's text after the program name as one path: without its
// first and last character when it begins with a double quote, else whole
// (spaces included); forward slashes, which the desktop takes as separators
// too, become backslashes.
std::string pathFromCommandLine(const std::string& arguments);

// One line of the dump for up to 16 bytes: each byte as "%02x " (three spaces
// for each missing one), " ;  ", the bytes as characters (0x20 to 0x7E as
// themselves, any other as "."), CR LF. A full line is 70 bytes.
std::string hexDumpLine(const uint8_t* bytes, size_t count);

// The whole dump: one line per 16 bytes; empty for no bytes.
std::string hexDump(const uint8_t* bytes, size_t length);

// True when opening a file of this name through its association would run it
// (a program, a script, a shortcut, an installer, a registry file...).
bool runsWhenOpened(const std::string& name);
