// Text for the loader's parameter block in the ANSI code page of the machine the loader will
// run on: the loader hands the block's bytes on to the installer and the registry as they
// are, read in that code page.
#pragma once
#include <string>

// True for the ANSI code pages a Windows system runs under (874, 932, 936, 949, 950, 1250 to
// 1258, and 65001, UTF-8).
bool IsAnsiCodePage(int codePage);

// Converts UTF-8 text into codePage. Refuses, with the reason in error, text that is not
// UTF-8 or holds a character that the code page cannot represent.
bool FromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& error);

// Text of codePage (0: none named) made printable for a UTF-8 terminal: control characters,
// and the non-ASCII bytes of text that does not convert, are shown as \xNN.
std::string ForDisplay(const std::string& text, int codePage);
