// The code page table behind the text family, held against the system's own
// rules for code page 936: lead bytes and the case of every double-byte
// character. Only Windows (Wine) has the system to compare with.
#include <gtest/gtest.h>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>

#include <cwctype>

namespace {

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
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(platform::IsLeadByte(static_cast<unsigned char>(byte)),
              IsDBCSLeadByteEx(936, static_cast<BYTE>(byte)) != FALSE)
        << "byte " << byte;
  }
}

TEST(TextContract, DoubleByteCaseIsTheSystems) {
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
  for (int byte = 1; byte < 0x80; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    EXPECT_EQ(platform::ToUpper(character), SystemCase(character, true)) << byte;
    EXPECT_EQ(platform::ToLower(character), SystemCase(character, false)) << byte;
  }
}

}  // namespace
#endif
