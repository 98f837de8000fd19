// The text family: operations on byte strings of the system's ANSI code page.
//
// Every path and registry text the program handles is a std::string of bytes
// in the ANSI code page the system has; the program's own texts are CP936.
// Positions and lengths count bytes. Searches walk the string by characters,
// so the trail byte of a double-byte character (which may be 0x5C, a
// backslash, or an ASCII letter) is never taken for a character of its own.
// Case changes work on characters too.
//
// The rules follow one code page, set once at start (SetCodePage; 936 until
// then, the Win32 entry sets the system's): the double-byte pages 936, 950,
// 932 and 949 with their lead-byte ranges, 65001 (UTF-8, whose multi-byte
// sequences hold no byte below 0x80), and every other page as single-byte.
// Only 936 cases double-byte letters, from a table of the code page; the
// others change ASCII letters alone, so no other byte of a user's text is
// ever changed. A contract test holds the rules against the system's own
// under Wine, for 936 and 1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

constexpr std::size_t npos = std::string::npos;

// Code pages with rules of their own.
namespace CodePageId {
constexpr unsigned int Chinese = 936;          // GBK, simplified Chinese
constexpr unsigned int TraditionalChinese = 950;
constexpr unsigned int Japanese = 932;
constexpr unsigned int Korean = 949;
constexpr unsigned int Western = 1252;         // a single-byte page
constexpr unsigned int Utf8 = 65001;
}  // namespace CodePageId

// The code page the rules below follow. Set once at start, before any text
// is handled; tests set it around a case and put it back.
void SetCodePage(unsigned int codePage);
unsigned int CurrentCodePage();
// The system's ANSI code page (GetACP), on Windows: what the entry sets.
unsigned int SystemCodePage();

// Conversion between the code page in force (CurrentCodePage) and UTF-8,
// for text kept in files that must read the same on any system. False,
// `*out` untouched, when the text holds a byte sequence that is no
// character of the source, or a character the target page lacks (no
// best-fit stand-in is ever made). The system's conversion on Windows, the
// C library's (iconv) elsewhere.
bool ToUtf8(const std::string& text, std::string* out);
bool FromUtf8(const std::string& utf8, std::string* out);
// The same from a code page named by the caller: the program's own CP936
// texts on a system of another code page.
bool ToUtf8(unsigned int codePage, const std::string& text, std::string* out);

// True when `byte` starts a character of more than one byte: in a
// double-byte page a lead byte (936, 950, 949: 0x81..0xFE; 932: 0x81..0x9F
// and 0xE0..0xFC), in UTF-8 the first byte of a multi-byte sequence
// (0xC2..0xF4); never in a single-byte page.
bool IsLeadByte(unsigned char byte);
bool IsLeadByte(unsigned int codePage, unsigned char byte);

// Length in bytes of the character that starts at `pos`: 1 or 2 in a
// double-byte page (1 for a lead byte at the very end of the string), 1 to
// 4 in UTF-8 (1 for a byte that starts no whole sequence), 1 otherwise.
std::size_t CharLength(const std::string& text, std::size_t pos);
std::size_t CharLength(unsigned int codePage, const std::string& text, std::size_t pos);

// First / last position of the single-byte character `ch` at a character
// boundary, or npos. `from` (Find) must be a character boundary.
std::size_t FindChar(const std::string& text, char ch, std::size_t from = 0);
std::size_t ReverseFindChar(const std::string& text, char ch);

// First / last position at which `needle` starts at a character boundary,
// or npos. An empty needle is found at `from` (Find) or at the end (Reverse).
std::size_t FindText(const std::string& text, const std::string& needle,
                     std::size_t from = 0);
std::size_t ReverseFindText(const std::string& text, const std::string& needle);

// Upper- / lower-casing by characters: ASCII letters, and in 936 the code
// page's double-byte letters (full-width Latin, Greek, Cyrillic, Roman
// numerals), change case; every other character, Chinese ones included,
// stays, and so does every byte of 0x80 and above in the other pages.
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

// Paths: the folder that holds `path` (everything before its last
// backslash; "" without one) and its last name (all of it without one).
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Whether `path` is a full path already in the one form the system would
// make of it, so that it names exactly the file it seems to: "X:\a\b" or
// "\\server\share\a", at least one name after the root, under 260 bytes,
// and no name that the system reads as something else: empty (a doubled or
// trailing backslash), "." or "..", one ending in a dot or a space (cut
// off), holding a control character or one of <>:"/|?* (a ':' opens an
// alternate data stream, "\\?\" and "\\.\" are device paths), or a
// device name (CON, NUL, COM1, LPT1.txt, ...). Characters are read by the
// code page's rules: a trail byte 0x5C is no separator. Pure: nothing is
// looked up, so a link on the way is the caller's to refuse.
bool IsPlainFullPath(const std::string& path);

// Whether `path` lies below `folder` (compared ignoring case, by
// characters): it starts with the folder and a backslash, and is longer.
bool IsWithinFolder(const std::string& path, const std::string& folder);

// Hexadecimal digits. HexNumber: upper case, as many as the number needs
// (at least one), or exactly `width` with leading zeros. HexBytes: two
// lower-case digits a byte. FromHexBytes takes back only what HexBytes
// gives (an even count of hexadecimal digits, either case); false, `*out`
// unspecified, for anything else.
std::string HexNumber(std::uint64_t n, std::size_t width = 0);
std::string HexBytes(const std::string& bytes);
bool FromHexBytes(const std::string& hex, std::string* out);

}  // namespace platform
