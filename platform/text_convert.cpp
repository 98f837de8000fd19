// The code-page conversions of the text family (platform/text.h) where
// there is no Win32: through the C library's iconv, for the native builds
// and their doubles. On Windows the system's conversion (platform/win32)
// serves the program and the tests alike.
#ifndef _WIN32
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/text.h"

namespace platform {
namespace {

// iconv's name of a Windows code page.
std::string IconvName(unsigned int codePage) {
  switch (codePage) {
    case CodePageId::Utf8: return "UTF-8";
    case CodePageId::Chinese: return "GBK";
    case CodePageId::TraditionalChinese: return "BIG5";
    case CodePageId::Korean: return "CP949";
    default: return "CP" + std::to_string(codePage);
  }
}

bool Convert(const std::string& text, const std::string& from, const std::string& to, std::string* out) {
  const iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input = text;
  std::string result(text.size() * 4 + 4, '\0');
  char* in = &input[0];
  std::size_t inLeft = input.size();
  char* output = &result[0];
  std::size_t outLeft = result.size();
  // Stops at the first byte that is no character, or has no place in `to`.
  const std::size_t done = inLeft ? iconv(converter, &in, &inLeft, &output, &outLeft) : 0;
  iconv_close(converter);
  if (done == static_cast<std::size_t>(-1) || inLeft != 0 || done != 0) return false;
  result.resize(result.size() - outLeft);
  out->swap(result);
  return true;
}

}  // namespace

bool ToUtf8(const std::string& text, std::string* out) {
  return Convert(text, IconvName(CurrentCodePage()), "UTF-8", out);
}

bool ToUtf8(unsigned int codePage, const std::string& text, std::string* out) {
  return Convert(text, IconvName(codePage), "UTF-8", out);
}

bool FromUtf8(const std::string& utf8, std::string* out) {
  return Convert(utf8, "UTF-8", IconvName(CurrentCodePage()), out);
}

}  // namespace platform
#endif
