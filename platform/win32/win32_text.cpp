// The system's ANSI code page, which the text family's rules follow, and
// the conversions the Win32 implementations share; see win32_text.h.
#include "platform/win32/win32_text.h"

#include <windows.h>

#include "platform/message_text.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace platform {

unsigned int SystemCodePage() { return GetACP(); }

namespace {

// `text` from `from` to `to` through UTF-16, refusing invalid input and
// characters `to` lacks.
bool Convert(const std::string& text, unsigned int from, unsigned int to, std::string* out) {
  if (text.empty()) {
    out->clear();
    return true;
  }
  const int units = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
  if (units <= 0) return false;
  std::vector<wchar_t> wide(static_cast<std::size_t>(units));
  MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), units);
  // UTF-8 takes neither a default character nor the flag.
  const bool utf8 = to == CP_UTF8;
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(to, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide.data(), units,
                                        nullptr, 0, nullptr, utf8 ? nullptr : &lossy);
  if (bytes <= 0 || lossy) return false;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(to, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide.data(), units, &result[0], bytes,
                      nullptr, utf8 ? nullptr : &lossy);
  if (lossy) return false;
  out->swap(result);
  return true;
}

}  // namespace

bool ToUtf8(const std::string& text, std::string* out) { return Convert(text, CurrentCodePage(), CP_UTF8, out); }
bool FromUtf8(const std::string& utf8, std::string* out) { return Convert(utf8, CP_UTF8, CurrentCodePage(), out); }
bool ToUtf8(unsigned int codePage, const std::string& text, std::string* out) {
  return Convert(text, codePage, CP_UTF8, out);
}

std::vector<wchar_t> ToWide(const std::string& text, unsigned int codePage) {
  const int length = text.empty() ? 0
                                  : MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                                        nullptr, 0);
  std::vector<wchar_t> wide(static_cast<std::size_t>(length) + 1, L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

long NarrowName(const wchar_t* wide, int length, std::string* text) {
  text->clear();
  if (length <= 0) return RegResult::Success;
  // UTF-8 carries every character, and takes neither flags nor a default
  // to report (ERROR_INVALID_PARAMETER otherwise).
  const bool utf8 = GetACP() == CP_UTF8;
  // No best fit elsewhere: "é" must not quietly become "e" on a page
  // without it, a name that would then name another file or key, or none.
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL defaulted = FALSE;
  BOOL* report = utf8 ? nullptr : &defaulted;
  const int bytes = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, report);
  if (bytes <= 0) return RegResult::NoUnicodeTranslation;
  text->resize(static_cast<std::size_t>(bytes));
  defaulted = FALSE;
  WideCharToMultiByte(CP_ACP, flags, wide, length, &(*text)[0], bytes, nullptr, report);
  return defaulted ? RegResult::NoUnicodeTranslation : RegResult::Success;
}

std::vector<wchar_t> WidenMessageText(const std::string& text, unsigned int systemCodePage) {
  std::vector<wchar_t> wide;
  for (const MessagePart& part : SplitMessageText(text)) {
    const std::vector<wchar_t> piece = ToWide(part.text, part.system ? systemCodePage : CodePageId::Chinese);
    wide.insert(wide.end(), piece.begin(), piece.end() - 1);
  }
  wide.push_back(L'\0');
  return wide;
}

}  // namespace platform
