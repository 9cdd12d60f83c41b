// The few Foundation facilities the tool leans on: locales, file URLs and
// text handling.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

struct Locale {
  std::string identifier;  // as typed; never normalised here
};

// The current locale's identifier, read the way the C library reads the
// environment (LC_ALL, then LC_MESSAGES, then LANG): "en_US.UTF-8" gives
// "en_US". Empty when none of them is set.
std::string currentLocaleIdentifier();

struct FileURL {
  std::string path;  // absolute: relative paths are joined to the current directory
};

// A file URL for any path, without testing, expanding or normalising it.
FileURL fileURLWithPath(const std::string& path);

// The next code point of UTF-8 text from `stream`, or EOF at its end or on a
// read error. Each maximal ill-formed subsequence reads as one U+FFFD, and a
// byte that cannot continue a sequence is left in the stream for the next
// call. The stream is read without taking its lock: one thread owns it.
long readUTF8CodePoint(std::FILE* stream);

// `text` with each maximal ill-formed subsequence replaced by U+FFFD, the
// same reading as readUTF8CodePoint's: file names and other bytes from the
// system become text that every JSON reader accepts.
std::string withValidUTF8(const std::string& text);

// True for the characters of Foundation's `whitespaces` set: the tab and
// every Unicode space separator (general category Zs). Line breaks are not
// in it.
bool inWhitespaces(char32_t c);

}  // namespace platform
