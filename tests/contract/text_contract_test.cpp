// The code page rules behind the text family, held against the system's own:
// for 936 lead bytes and the case of every double-byte character; for 1252
// and UTF-8 lead bytes and character boundaries, with case left to ASCII;
// the lead bytes of 932, 949 and 950. Only Windows (Wine) has the system to
// compare with; each case names its code page, whatever the ANSI one.
#include <gtest/gtest.h>

#include "platform/message_text.h"
#include "platform/text.h"
#include "tests/support/fixtures.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_text.h"

#include <cwctype>
#include <vector>

namespace {

using testing_support::ScopedCodePage;

// The system's case change of one CP936 character, through CharUpperBuffA /
// CharLowerBuffA in the program's ANSI code page.
std::string SystemCase(const std::string& character, bool upper) {
  std::string copy = character;
  if (upper) {
    CharUpperBuffA(&copy[0], static_cast<DWORD>(copy.size()));
  } else {
    CharLowerBuffA(&copy[0], static_cast<DWORD>(copy.size()));
  }
  return copy;
}

// True when `bytes` is one character of the code page that converts to one
// UTF-16 unit and back unchanged.
bool IsWholeCharacter(const std::string& bytes) {
  wchar_t wide[4] = {};
  const int units = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                        wide, 4);
  if (units != 1) return false;
  char back[8] = {};
  BOOL defaulted = FALSE;
  const int length = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, 1, back, sizeof(back), nullptr, &defaulted);
  return !defaulted && std::string(back, length) == bytes;
}

TEST(TextContract, RunsInCodePage936) { EXPECT_EQ(GetACP(), 936u); }

TEST(TextContract, LeadBytesAreTheSystems) {
  for (const unsigned int page : {936u, 1252u, 932u, 949u, 950u}) {
    for (int byte = 0; byte < 256; ++byte) {
      EXPECT_EQ(platform::IsLeadByte(page, static_cast<unsigned char>(byte)),
                IsDBCSLeadByteEx(page, static_cast<BYTE>(byte)) != FALSE)
          << "page " << page << " byte " << byte;
    }
  }
  ScopedCodePage page(1252);
  for (int byte = 0; byte < 256; ++byte) EXPECT_FALSE(platform::IsLeadByte(static_cast<unsigned char>(byte)));
}

// The system's case of `text` in code page `page`, through UTF-16.
std::string SystemCaseIn(unsigned int page, const std::string& text, bool upper) {
  wchar_t wide[8] = {};
  const int units = MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), wide, 8);
  if (upper) {
    CharUpperBuffW(wide, static_cast<DWORD>(units));
  } else {
    CharLowerBuffW(wide, static_cast<DWORD>(units));
  }
  char back[16] = {};
  const int length = WideCharToMultiByte(page, 0, wide, units, back, sizeof(back), nullptr, nullptr);
  return std::string(back, length);
}

// In 1252 every byte is one character, as the system converts it, so a
// backslash after any byte is found; ASCII letters change case as the
// system changes them, and no other byte changes at all (where the system
// would upper-case "é").
TEST(TextContract, SingleBytePageIsTheSystems) {
  ScopedCodePage page(1252);
  for (int byte = 1; byte < 256; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    wchar_t wide[4] = {};
    EXPECT_EQ(MultiByteToWideChar(1252, 0, (character + "\\").data(), 2, wide, 4), 2) << byte;
    EXPECT_EQ(platform::ReverseFindChar(character + "\\", '\\'), 1u) << byte;
    if (byte < 0x80) {
      EXPECT_EQ(platform::ToUpper(character), SystemCaseIn(1252, character, true)) << byte;
      EXPECT_EQ(platform::ToLower(character), SystemCaseIn(1252, character, false)) << byte;
    } else {
      EXPECT_EQ(platform::ToUpper(character), character) << byte;
      EXPECT_EQ(platform::ToLower(character), character) << byte;
    }
  }
}

// UTF-8 characters as the system encodes them, one from every 61 of the
// BMP and one beyond it: each is one character to the rules, so the
// backslash after it is found and it does not change case.
TEST(TextContract, Utf8BoundariesAreTheSystems) {
  ScopedCodePage page(65001);
  std::vector<std::vector<wchar_t>> characters = {{0xD83D, 0xDE00}};  // U+1F600
  for (unsigned int code = 0x80; code < 0x10000; code += 61) {
    if (code < 0xD800 || code > 0xDFFF) characters.push_back({static_cast<wchar_t>(code)});
  }
  for (const std::vector<wchar_t>& wide : characters) {
    char bytes[8] = {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes, 8,
                                           nullptr, nullptr);
    const std::string character(bytes, length);
    EXPECT_EQ(platform::CharLength(character, 0), static_cast<std::size_t>(length)) << std::hex << wide[0];
    EXPECT_EQ(platform::ReverseFindChar(character + "\\", '\\'), static_cast<std::size_t>(length));
    EXPECT_EQ(platform::ToUpper(character), character) << std::hex << wide[0];
  }
}

TEST(TextContract, DoubleByteCaseIsTheSystems) {
  ScopedCodePage page(936);
  // Every double-byte character whose system case partner is itself a
  // character of the code page must change exactly as the system changes
  // it; every other character must stay as it is.
  int partners = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string character{static_cast<char>(lead), static_cast<char>(trail)};
      if (!IsWholeCharacter(character)) continue;
      for (const bool upper : {true, false}) {
        const std::string system = SystemCase(character, upper);
        const std::string expected = IsWholeCharacter(system) ? system : character;
        const std::string ours = upper ? platform::ToUpper(character) : platform::ToLower(character);
        if (ours != character) ++partners;
        EXPECT_EQ(ours, expected) << std::hex << "char " << lead << " " << trail << (upper ? " upper" : " lower");
      }
    }
  }
  EXPECT_GT(partners, 100);
}

TEST(TextContract, SingleByteCaseIsTheSystems) {
  ScopedCodePage page(936);
  for (int byte = 1; byte < 0x80; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    EXPECT_EQ(platform::ToUpper(character), SystemCase(character, true)) << byte;
    EXPECT_EQ(platform::ToLower(character), SystemCase(character, false)) << byte;
  }
}

// A message box converts the program's words from 936 and a marked path
// from the system's code page, here 1252: "拷贝文件 C:\Café 失败". Unmarked,
// the path's "é" would be read as half of a CP936 character.
TEST(TextContract, MessagePartsConvertFromTheirOwnCodePages) {
  const std::string path = "C:\\Caf\xE9";
  const std::wstring expected = L"\u62F7\u8D1D\u6587\u4EF6 C:\\Caf\u00E9 \u5931\u8D25";
  const std::vector<wchar_t> marked =
      platform::WidenMessageText("拷贝文件 " + platform::SystemText(path) + " 失败", 1252);
  EXPECT_EQ(std::wstring(marked.data()), expected);
  const std::vector<wchar_t> unmarked = platform::WidenMessageText("拷贝文件 " + path + " 失败", 1252);
  EXPECT_NE(std::wstring(unmarked.data()), expected);
}

}  // namespace
#endif
