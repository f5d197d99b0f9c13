// The verification program's rules that need no platform: the path on its
// command line, where a window keeps the content and the dump, the source
// view's dump format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The command line's text after the program name as one path: without its
// first and last character when it begins with a double quote, else whole
// (spaces included); forward slashes, which the desktop takes as separators
// too, become backslashes.
std::string pathFromCommandLine(const std::string& arguments);

// The source view's dump: "file_hex.txt" at the top of the window's folder.
constexpr char HEX_DUMP_NAME[] = "file_hex.txt";
// The folder of the window's folder that holds the content, so that no
// content name meets the dump.
constexpr char CONTENT_FOLDER_NAME[] = "contenuto";

std::string dumpPathIn(const std::string& workFolder);
std::string contentFolderIn(const std::string& workFolder);
// The content of `signedPath` in the window's folder: the SignedFile's base
// name without its last four characters (".p7m"), in the content folder.
std::string contentPathIn(const std::string& workFolder, const std::string& signedPath);

// One line of the dump for up to 16 bytes: each byte as "%02x " (three spaces
// for each missing one), " ;  ", the bytes as characters (0x20 to 0x7E as
// themselves, any other as "."), CR LF. A full line is 70 bytes.
std::string hexDumpLine(const uint8_t* bytes, size_t count);

// Each line of the dump in turn, one per 16 bytes, handed to `line`: a large
// file costs no more than one line of text.
void forEachDumpLine(const uint8_t* bytes, size_t length, const std::function<void(const std::string&)>& line);

// The whole dump; empty for no bytes.
std::string hexDump(const uint8_t* bytes, size_t length);
