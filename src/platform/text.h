// Text as the tool reads and writes it: UTF-8 code points from a stream,
// bytes made valid UTF-8, and the whitespace the stop command may carry.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The next code point of UTF-8 text from `stream`, or EOF at its end or on a
// read error. Each maximal ill-formed subsequence reads as one U+FFFD, and a
// byte that cannot continue a sequence is left in the stream for the next
// call. The stream is read without taking its lock: one thread owns it.
long readUTF8CodePoint(std::FILE* stream);

// `text` with each maximal ill-formed subsequence replaced by U+FFFD, the
// same reading as readUTF8CodePoint's: file names and other bytes from the
// system become text that every JSON reader accepts.
std::string withValidUTF8(const std::string& text);

// True for the tab and every Unicode space separator (general category Zs).
// Line breaks are not whitespace here.
bool inWhitespaces(char32_t c);

}  // namespace platform
