// The CP936 helpers against plain definitions: a string is walked by
// characters (a byte 0x81..0xFE and the byte after it are one character),
// and each search, case change and format is held to a naive loop over
// those characters or to snprintf.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using platform::npos;

// Where each character starts.
std::vector<std::size_t> Starts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t pos = 0; pos < text.size();) {
    starts.push_back(pos);
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    pos += (byte >= 0x81 && byte <= 0xFE && pos + 1 < text.size()) ? 2 : 1;
  }
  return starts;
}

bool SingleByteAt(const std::string& text, std::size_t pos) {
  const unsigned char byte = static_cast<unsigned char>(text[pos]);
  return !(byte >= 0x81 && byte <= 0xFE && pos + 1 < text.size());
}

std::size_t FindCharReference(const std::string& text, char ch, std::size_t from) {
  for (std::size_t pos : Starts(text)) {
    if (pos >= from && text[pos] == ch) return pos;
  }
  return npos;
}

std::size_t ReverseFindCharReference(const std::string& text, char ch) {
  std::size_t found = npos;
  for (std::size_t pos : Starts(text)) {
    if (text[pos] == ch) found = pos;
  }
  return found;
}

bool StartsAt(const std::string& text, const std::string& needle, std::size_t pos) {
  return pos + needle.size() <= text.size() && std::memcmp(text.data() + pos, needle.data(), needle.size()) == 0;
}

std::size_t FindTextReference(const std::string& text, const std::string& needle, std::size_t from) {
  if (needle.empty()) return from;
  for (std::size_t pos : Starts(text)) {
    if (pos >= from && StartsAt(text, needle, pos)) return pos;
  }
  return npos;
}

std::size_t ReverseFindTextReference(const std::string& text, const std::string& needle) {
  if (needle.empty()) return text.size();
  std::size_t found = npos;
  for (std::size_t pos : Starts(text)) {
    if (StartsAt(text, needle, pos)) found = pos;
  }
  return found;
}

// The double-byte letters all lie in rows 0xA2, 0xA3, 0xA6 and 0xA7.
bool LetterRow(unsigned char lead) { return lead == 0xA2 || lead == 0xA3 || lead == 0xA6 || lead == 0xA7; }

void CheckCaseChange(const std::string& text, const std::string& changed, bool upper) {
  FUZZ_CHECK(changed.size() == text.size(), "a case change keeps the length");
  FUZZ_CHECK(Starts(changed) == Starts(text), "a case change keeps the characters' boundaries");
  for (std::size_t pos : Starts(text)) {
    const char c = text[pos];
    if (SingleByteAt(text, pos)) {
      char expected = c;
      if (upper && c >= 'a' && c <= 'z') expected = static_cast<char>(c - 'a' + 'A');
      if (!upper && c >= 'A' && c <= 'Z') expected = static_cast<char>(c - 'A' + 'a');
      FUZZ_CHECK(changed[pos] == expected, "single-byte characters change as ASCII letters do");
    } else {
      FUZZ_CHECK(changed[pos] == c, "a case change keeps the lead byte");
      if (!LetterRow(static_cast<unsigned char>(c))) {
        FUZZ_CHECK(changed[pos + 1] == text[pos + 1], "characters outside the letter rows stay");
      }
    }
  }
}

void CheckStrip(const std::string& path) {
  std::string expected = path;
  const std::vector<std::size_t> starts = Starts(path);
  if (starts.size() > 1 && path[starts.back()] == '\\' && starts.back() == path.size() - 1) expected.pop_back();
  std::string stripped = path;
  platform::StripTrailingBackslash(stripped);
  FUZZ_CHECK(stripped == expected, "one trailing backslash character is cut, a lone one stays");
}

// "%s\%s" into `capacity` bytes, held to snprintf; the buffer is on the heap
// and exactly `capacity` long, so a write past it is caught.
void CheckFormat(const std::string& a, const std::string& b, std::size_t capacity) {
  const int full = std::snprintf(nullptr, 0, "%s\\%s", a.c_str(), b.c_str());
  FUZZ_CHECK(full >= 0, "snprintf formats the reference");
  std::string expected(static_cast<std::size_t>(full) + 1, '\0');
  std::snprintf(&expected[0], expected.size(), "%s\\%s", a.c_str(), b.c_str());
  expected.pop_back();

  std::vector<char> buffer(capacity, '#');
  const bool fits = platform::FormatBounded(buffer.data(), capacity, "%s\\%s", a.c_str(), b.c_str());
  if (capacity > 0 && expected.size() < capacity) {
    FUZZ_CHECK(fits, "a text that fits is formatted");
    FUZZ_CHECK(std::strcmp(buffer.data(), expected.c_str()) == 0, "the same text as snprintf");
  } else {
    FUZZ_CHECK(!fits, "a text that does not fit is refused");
    if (capacity > 0) FUZZ_CHECK(buffer[0] == '\0', "a refused text leaves the buffer empty");
  }

  char path[platform::kPathBufferSize];
  std::memset(path, '#', sizeof(path));
  const bool pathFits = platform::FormatPath(path, "%s\\%s", a.c_str(), b.c_str());
  FUZZ_CHECK(pathFits == (expected.size() < sizeof(path)), "FormatPath fits as snprintf says");
  FUZZ_CHECK(pathFits ? std::strcmp(path, expected.c_str()) == 0 : path[0] == '\0', "FormatPath: whole text or none");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const char ch = input.ConsumeBool() ? '\\' : input.ConsumeIntegral<char>();
  const std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(0, 300);
  const std::size_t fromIndex = input.ConsumeIntegral<std::uint16_t>();
  const std::string needle = input.ConsumeRandomLengthString(8);
  const std::string text = input.ConsumeRemainingBytesAsString();

  // A search starts at a character boundary (or the end).
  const std::vector<std::size_t> starts = Starts(text);
  const std::size_t from = fromIndex < starts.size() ? starts[fromIndex] : text.size();

  FUZZ_CHECK(platform::FindChar(text, ch, from) == FindCharReference(text, ch, from), "FindChar");
  FUZZ_CHECK(platform::FindChar(text, ch) == FindCharReference(text, ch, 0), "FindChar from the start");
  FUZZ_CHECK(platform::ReverseFindChar(text, ch) == ReverseFindCharReference(text, ch), "ReverseFindChar");
  FUZZ_CHECK(platform::FindText(text, needle, from) == FindTextReference(text, needle, from), "FindText");
  FUZZ_CHECK(platform::ReverseFindText(text, needle) == ReverseFindTextReference(text, needle), "ReverseFindText");

  const std::string upper = platform::ToUpper(text);
  const std::string lower = platform::ToLower(text);
  CheckCaseChange(text, upper, true);
  CheckCaseChange(text, lower, false);
  FUZZ_CHECK(platform::ToUpper(upper) == upper && platform::ToLower(lower) == lower, "a case change is done at once");
  FUZZ_CHECK(platform::ToUpper(lower) == upper, "upper-casing the lower-cased text gives the upper-cased one");
  FUZZ_CHECK(platform::EqualsNoCase(text, upper), "a text equals its upper case");
  FUZZ_CHECK(platform::EqualsNoCase(lower, upper), "lower and upper case are equal");
  FUZZ_CHECK(platform::EqualsNoCase(text, needle) == platform::EqualsNoCase(needle, text), "EqualsNoCase is symmetric");

  CheckStrip(text);
  CheckStrip(needle);
  // The formats take C strings: each half up to its first zero.
  const std::size_t half = text.size() / 2;
  CheckFormat(text.substr(0, half).c_str(), text.substr(half).c_str(), capacity);
  return 0;
}
