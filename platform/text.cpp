// String operations by the ANSI code page's rules; see text.h.
#include "platform/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

unsigned int codePage_ = CodePageId::Chinese;

bool IsContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// Double-byte letters of CP936 that have a partner of the other case in the
// code page: [upperFirst, upperFirst + count) <-> [lowerFirst, ...).
struct CaseRange {
  unsigned short upperFirst;
  unsigned short lowerFirst;
  unsigned short count;
};
constexpr CaseRange kCaseRanges[] = {
    {0xA3C1, 0xA3E1, 26},  // full-width Latin letters
    {0xA6A1, 0xA6C1, 24},  // Greek
    {0xA7A1, 0xA7D1, 33},  // Cyrillic
    {0xA2F1, 0xA2A1, 10},  // Roman numerals I..X (the code page has no small XI, XII)
};

unsigned short Pair(const std::string& text, std::size_t pos) {
  return static_cast<unsigned short>((static_cast<unsigned char>(text[pos]) << 8) |
                                     static_cast<unsigned char>(text[pos + 1]));
}

void Store(std::string& text, std::size_t pos, unsigned short code) {
  text[pos] = static_cast<char>(code >> 8);
  text[pos + 1] = static_cast<char>(code & 0xFF);
}

void ChangeCase(std::string& text, bool upper) {
  // Only 936 has a table; elsewhere a character of more than one byte stays.
  const bool doubleByteCase = codePage_ == CodePageId::Chinese;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = CharLength(text, pos);
    if (length == 1) {
      char& c = text[pos];
      if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    } else if (length == 2 && doubleByteCase) {
      const unsigned short code = Pair(text, pos);
      for (const CaseRange& range : kCaseRanges) {
        const unsigned short from = upper ? range.lowerFirst : range.upperFirst;
        const unsigned short to = upper ? range.upperFirst : range.lowerFirst;
        if (code >= from && code < from + range.count) {
          Store(text, pos, static_cast<unsigned short>(to + (code - from)));
          break;
        }
      }
    }
    pos += length;
  }
}

}  // namespace

void SetCodePage(unsigned int codePage) { codePage_ = codePage; }
unsigned int CurrentCodePage() { return codePage_; }

bool IsLeadByte(unsigned int codePage, unsigned char byte) {
  switch (codePage) {
    case CodePageId::Chinese:
    case CodePageId::TraditionalChinese:
    case CodePageId::Korean:
      return byte >= 0x81 && byte <= 0xFE;
    case CodePageId::Japanese:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case CodePageId::Utf8:
      return byte >= 0xC2 && byte <= 0xF4;
    default:
      return false;
  }
}

bool IsLeadByte(unsigned char byte) { return IsLeadByte(codePage_, byte); }

std::size_t CharLength(unsigned int codePage, const std::string& text, std::size_t pos) {
  const unsigned char first = static_cast<unsigned char>(text[pos]);
  if (!IsLeadByte(codePage, first)) return 1;
  if (codePage != CodePageId::Utf8) return pos + 1 < text.size() ? 2 : 1;
  // A sequence counts whole only with all its continuation bytes; a byte
  // that starts none is one character, so no byte is ever skipped.
  const std::size_t length = first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
  if (pos + length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
  }
  return length;
}

std::size_t CharLength(const std::string& text, std::size_t pos) { return CharLength(codePage_, text, pos); }

std::size_t FindChar(const std::string& text, char ch, std::size_t from) {
  for (std::size_t pos = from; pos < text.size(); pos += CharLength(text, pos)) {
    if (text[pos] == ch) return pos;
  }
  return npos;
}

std::size_t ReverseFindChar(const std::string& text, char ch) {
  std::size_t found = npos;
  for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
    if (text[pos] == ch) found = pos;
  }
  return found;
}

std::size_t FindText(const std::string& text, const std::string& needle, std::size_t from) {
  if (needle.empty()) return from <= text.size() ? from : npos;
  for (std::size_t pos = from; pos < text.size(); pos += CharLength(text, pos)) {
    if (text.compare(pos, needle.size(), needle) == 0) return pos;
  }
  return npos;
}

std::size_t ReverseFindText(const std::string& text, const std::string& needle) {
  if (needle.empty()) return text.size();
  std::size_t found = npos;
  for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
    if (text.compare(pos, needle.size(), needle) == 0) found = pos;
  }
  return found;
}

void MakeUpper(std::string& text) { ChangeCase(text, true); }
void MakeLower(std::string& text) { ChangeCase(text, false); }
std::string ToUpper(std::string text) { MakeUpper(text); return text; }
std::string ToLower(std::string text) { MakeLower(text); return text; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ToUpper(a) == ToUpper(b);
}

void StripTrailingBackslash(std::string& path) {
  const std::size_t pos = ReverseFindChar(path, '\\');
  if (pos != npos && pos > 0 && pos == path.size() - 1) path.erase(pos);
}

bool FormatBounded(char* buffer, std::size_t capacity, const char* format, ...) {
  if (capacity == 0) return false;
  std::va_list args;
  va_start(args, format);
#if defined(__MINGW32__)
  // msvcrt's own formatter: the program formats only %s and %d, and
  // MinGW's C99 one would bring its floating-point code (some 20 KB). It
  // gives -1 when the text does not fit and leaves no zero when the text
  // fills the buffer exactly; both count as not fitting below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const int length = _vsnprintf(buffer, capacity, format, args);
#pragma GCC diagnostic pop
#else
  const int length = std::vsnprintf(buffer, capacity, format, args);
#endif
  va_end(args);
  if (length < 0 || static_cast<std::size_t>(length) >= capacity) {
    std::memset(buffer, 0, capacity);
    return false;
  }
  return true;
}

namespace {

bool IsDeviceName(std::string name) {
  // The base before the first dot, and without trailing spaces, is what
  // the system compares: "nul.txt" and "COM1 .log" are devices too.
  const std::size_t dot = name.find('.');
  if (dot != npos) name.resize(dot);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  name = ToUpper(name);
  if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" || name == "CONOUT$") {
    return true;
  }
  return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) && name[3] >= '0' &&
         name[3] <= '9';
}

bool IsPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t length = CharLength(name, pos);
    if (length == 1) {
      const unsigned char c = static_cast<unsigned char>(name[pos]);
      if (c < 0x20 || c == 0x7F || std::string("<>:\"/|?*\\").find(static_cast<char>(c)) != npos) return false;
      // A lead byte with no trail byte after it is no character.
      if (IsLeadByte(c)) return false;
    }
    pos += length;
  }
  return !IsDeviceName(name);
}

}  // namespace

bool IsPlainFullPath(const std::string& path) {
  if (path.size() >= 260) return false;
  std::size_t start;
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    start = 3;
  } else if (path.compare(0, 2, "\\\\") == 0) {
    // \\server\share: two plain names make the root.
    start = 2;
    for (int part = 0; part < 2; ++part) {
      const std::size_t end = FindChar(path, '\\', start);
      if (end == npos || !IsPlainName(path.substr(start, end - start))) return false;
      start = end + 1;
    }
  } else {
    return false;
  }
  for (;;) {
    const std::size_t end = FindChar(path, '\\', start);
    if (!IsPlainName(path.substr(start, end == npos ? npos : end - start))) return false;
    if (end == npos) return true;
    start = end + 1;
  }
}

bool IsWithinFolder(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() + 1 && path[folder.size()] == '\\' &&
         EqualsNoCase(path.substr(0, folder.size()), folder);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = ReverseFindChar(path, '\\');
  return slash == npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = ReverseFindChar(path, '\\');
  return slash == npos ? path : path.substr(slash + 1);
}

// By hand: a formatter for one number would bring the C99 one into the
// program.
std::string HexNumber(std::uint64_t n, std::size_t width) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[n & 0xF]);
    n >>= 4;
  } while (n);
  if (width > text.size()) text.insert(0, width - text.size(), '0');
  return text;
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

bool FromHexBytes(const std::string& hex, std::string* out) {
  if (hex.size() % 2) return false;
  const auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    *out += static_cast<char>(high * 16 + low);
  }
  return true;
}

}  // namespace platform
