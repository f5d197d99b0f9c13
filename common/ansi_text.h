// UTF-16 text as the programs' 8-bit texts hold it: in the ANSI code page,
// whichever the system has, UTF-8 (65001) included.
#pragma once

#include <windows.h>

#include <string>

// The code page that ANSI means here: the system's, unless a test has set
// another through setAnsiCodePage (0: the system's again).
UINT ansiCodePage();
void setAnsiCodePage(UINT codePage);

// `length` UTF-16 units of `text` (-1: up to its nul) in the ANSI code page.
// A character the code page lacks becomes "?", never a look-alike; in UTF-8
// and UTF-7 every character has its bytes. Empty for no text.
std::string ansiText(const wchar_t* text, int length);

// Text in the ANSI code page as UTF-16; empty for no text.
std::wstring wideText(const std::string& text);

// UTF-16 as UTF-8 (a lone surrogate becomes U+FFFD); empty for no text.
std::string utf8Text(const std::wstring& text);

// UTF-8 as UTF-16 (a byte that is no UTF-8 becomes U+FFFD); empty for no text.
std::wstring wideFromUtf8(const std::string& text);

// Text in the ANSI code page as UTF-8: for reports and UTF-8 terminals.
std::string utf8FromAnsi(const std::string& text);

// The programs' own texts as UTF-8. The compiler writes them in Windows-1252
// (-fexec-charset), whatever code page the system has.
std::string utf8FromProgramText(const std::string& text);
