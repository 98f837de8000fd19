// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer then keeps the input as a crash), and CP936 names and values
// decoded from fuzzed bytes.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition, what)                                                   \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, #condition, what); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

namespace fuzz_support {

// One CP936 character: printable ASCII but the backslash, or a lead byte
// 0x81..0xFE with a trail byte 0x40..0xFE, often 0x5C (a backslash's byte)
// or 0x5D (a closing bracket's).
inline void AppendChar(FuzzedDataProvider& input, std::string& text) {
  const unsigned char pick = input.ConsumeIntegral<unsigned char>();
  if (pick < 0x80) {
    char c = static_cast<char>(0x20 + pick % 0x5F);
    if (c == '\\') c = '_';
    text.push_back(c);
    return;
  }
  text.push_back(static_cast<char>(input.ConsumeIntegralInRange<unsigned char>(0x81, 0xFE)));
  switch (pick % 4) {
    case 0: text.push_back('\x5C'); break;
    case 1: text.push_back('\x5D'); break;
    default: text.push_back(static_cast<char>(input.ConsumeIntegralInRange<unsigned char>(0x40, 0xFE)));
  }
}

// A key name: one of a few usual ones (so that paths meet), or up to
// `maxBytes` bytes of characters as AppendChar makes them; never empty.
inline std::string KeyName(FuzzedDataProvider& input, std::size_t maxBytes = 255) {
  // CP936 bytes written out: the fuzz build leaves string literals in UTF-8.
  static const char* const kUsual[] = {
      "R17.0", "R18.0", "ACAD-5001:804", "ACAD-6001:409", "Profiles",
      "<<\xCE\xB4\xC3\xFC\xC3\xFB\xC5\xE4\xD6\xC3>>",  // <<unnamed profile>>
      "Variables", "\x81\x5C", "\xB1\xED"};                   // two characters, trail bytes 0x5C and 0xED
  const unsigned char mode = input.ConsumeIntegral<unsigned char>();
  if (mode < 0x60) return kUsual[mode % (sizeof(kUsual) / sizeof(kUsual[0]))];
  const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(1, maxBytes);
  std::string name;
  while (name.size() < length && input.remaining_bytes() > 0) {
    AppendChar(input, name);
    if (name.size() > length) name.resize(name.size() - 2);  // a double-byte character that does not fit
  }
  if (name.empty()) name = "K";
  return name;
}

// `count` bytes: a fuzzed pattern repeated, so that long values cost little input.
inline std::string Repeated(FuzzedDataProvider& input, std::size_t count) {
  std::string pattern = input.ConsumeRandomLengthString(32);
  if (pattern.empty()) pattern = "x";
  std::string bytes;
  while (bytes.size() < count) bytes += pattern;
  bytes.resize(count);
  return bytes;
}

}  // namespace fuzz_support
