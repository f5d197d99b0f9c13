// Rules on paths that need no platform, shared by both programs: base names,
// the signed-name test, the long-form resolution of a path component by
// component (with the directory search handed in), and which names the
// desktop would run rather than show.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The buffers that paths pass through.
constexpr size_t TEMP_DIR_CAPACITY = 1024;    // the temporary directory as the platform reports it
constexpr size_t SEARCH_PATH_CAPACITY = 500;  // a path handed to the directory search

// The text after the last backslash; the whole text when it holds none.
std::string baseNameOf(const std::string& path);

// 1 when `name` has more than 4 characters and its last four, lower-cased,
// are ".p7m"; else 0.
int isSignedFileName(const char* name);

// The directory search: the name it reports for the last component of `path`,
// or false when it finds nothing.
using LongNameLookup = std::function<bool(const std::string& path, std::string* longName)>;

// The long form of `dir`, without a trailing backslash: its first component
// (the drive, "C:") as it stands, then every further component as `lookup`
// reports it. A network path keeps its "\\server\share" as it stands; a path
// that begins with one backslash keeps its root; empty components (two
// backslashes in a row) are skipped. False, and `out` empty, when a component
// is not found, a path handed to the search would not fit its 500-byte
// buffer, or nothing is left.
bool resolveLongPathWith(const std::string& dir, const LongNameLookup& lookup, std::string* out);

// The `n`-th name to try for a file called `name` in a folder where the name
// is taken (n from 2; for n < 2 the name itself): " (n)" before its
// extension, and for a SignedFile before the extension of the name it wraps,
// so that what it holds keeps its kind: "lettera.pdf.p7m" gives "lettera
// (2).pdf.p7m", "replyto.txt" "replyto (2).txt", "LEGGIMI" "LEGGIMI (2)". A
// leading dot starts no extension.
std::string numberedName(const std::string& name, int n);

// The extension of a file name in lower case, dot included, as the desktop
// reads it (trailing dots and spaces ignored); empty when there is none.
std::string extensionOf(const std::string& name);

// True when opening a file of this name through its association would run it
// or install something: a program, a script, a shortcut, an installer, a
// registry file, a compiled help file, a certificate, a disk image...
bool runsWhenOpened(const std::string& name);
