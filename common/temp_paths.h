// The programs' files in the user's temporary directory, always addressed in
// its long form, and the block writer for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "path_rules.h"

// The name that the directory search reports for the last component of
// `path`; false when it finds nothing or the path does not fit the search's
// 500-byte buffer.
bool longNameOf(const std::string& path, std::string* name);

// 1 with the long form of `dir` in `out` (`outSize` bytes), or 0 with `out`
// empty: a component not found, or a result that does not fit.
int resolveLongPath(const char* dir, char* out, size_t outSize);

// Shows the disk-error message ("Attenzione! Si è verificato un errore nella
// scrittura sul disco...") and ends the program with exit code 0.
[[noreturn]] void endOnDiskError();

// Writes the temporary directory's long form + "\" + the base name of `path`
// into `out` (`outSize` bytes). When the temporary directory cannot be
// resolved, shows the disk-error message and ends the program with exit code
// 0. False, with `out` empty, when the result does not fit `out`.
bool tempPathFor(const char* path, char* out, size_t outSize);

// A new folder of this process's own in the temporary directory,
// "<prefix>-<process id>-<n>": a name that no earlier run, of this program or
// another, has taken, so nothing in it can meet another's file. Empty when
// none can be made.
std::string makeOwnTempFolder(const char* prefix);

// Creates (or truncates) `path` and writes the block. Returns 1 when it was
// written whole; else shows the open or the write message and returns 0 (an
// empty block counts as not written).
int writeTempFile(const char* path, const uint8_t* data, size_t length);
