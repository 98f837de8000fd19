// Conversions between UTF-16 and the code pages, for the Win32
// implementations: names read with the wide calls, message box texts.
#pragma once

#include <string>
#include <vector>

namespace platform {

// `text` from code page `codePage` (0: the ANSI code page) to UTF-16,
// zero-terminated.
std::vector<wchar_t> ToWide(const std::string& text, unsigned int codePage);

// `length` units of `wide` in the ANSI code page, with no best-fit
// stand-ins. 0 (success), or NoUnicodeTranslation (1113) when a character
// has no place in the code page; `*text` then holds the name with '?'
// instead, as the narrow calls give it.
long NarrowName(const wchar_t* wide, int length, std::string* text);

// A message box text in UTF-16: the program's own parts from code page
// 936, the parts marked as system text (platform/window.h) from
// `systemCodePage` (0: the ANSI code page).
std::vector<wchar_t> WidenMessageText(const std::string& text, unsigned int systemCodePage);

}  // namespace platform
