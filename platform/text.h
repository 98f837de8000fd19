// The text family: operations on code-page-936 byte strings.
//
// Every string of the program is a std::string of CP936 bytes. Positions and
// lengths count bytes. Searches walk the string by characters, so the trail
// byte of a double-byte character (which may be 0x5C, a backslash, or an
// ASCII letter) is never taken for a character of its own. Case changes work
// on characters too. The rules come from one table of the code page, which a
// contract test holds against the system's own under Wine.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

constexpr std::size_t npos = std::string::npos;

// True when `byte` starts a double-byte character in CP936 (0x81..0xFE).
bool IsLeadByte(unsigned char byte);

// Length in bytes of the character that starts at `pos` (1 or 2; 1 for a
// lead byte at the very end of the string).
std::size_t CharLength(const std::string& text, std::size_t pos);

// First / last position of the single-byte character `ch` at a character
// boundary, or npos. `from` (Find) must be a character boundary.
std::size_t FindChar(const std::string& text, char ch, std::size_t from = 0);
std::size_t ReverseFindChar(const std::string& text, char ch);

// First / last position at which `needle` starts at a character boundary,
// or npos. An empty needle is found at `from` (Find) or at the end (Reverse).
std::size_t FindText(const std::string& text, const std::string& needle,
                     std::size_t from = 0);
std::size_t ReverseFindText(const std::string& text, const std::string& needle);

// Upper- / lower-casing by characters: ASCII letters and the code page's
// double-byte letters (full-width Latin, Greek, Cyrillic, Roman numerals)
// change case; every other character, Chinese ones included, stays.
void MakeUpper(std::string& text);
void MakeLower(std::string& text);
std::string ToUpper(std::string text);
std::string ToLower(std::string text);

// Equal but for letter case, compared by characters as MakeUpper folds them.
bool EqualsNoCase(const std::string& a, const std::string& b);

// Removes one trailing backslash, found by the character-aware search; a
// path that is a lone backslash stays. "C:\" becomes "C:".
void StripTrailingBackslash(std::string& path);

// Bounded formatting into a caller's buffer, always zero-terminated. When
// the text would not fit (more than capacity - 1 bytes) the buffer is left
// empty and the result is false: a cut path or value is never produced.
constexpr std::size_t kPathBufferSize = 260;    // FormatPath
constexpr std::size_t kLongBufferSize = 13000;  // FormatLong
bool FormatBounded(char* buffer, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Args>
bool FormatPath(char (&buffer)[kPathBufferSize], const char* format, Args... args) {
  return FormatBounded(buffer, kPathBufferSize, format, args...);
}
template <typename... Args>
bool FormatLong(char (&buffer)[kLongBufferSize], const char* format, Args... args) {
  return FormatBounded(buffer, kLongBufferSize, format, args...);
}
#pragma GCC diagnostic pop

}  // namespace platform
