// CP936 string operations: character-aware search, case changes and the
// bounded formatters.
#include <gtest/gtest.h>

#include "platform/text.h"

using namespace platform;

namespace {
// "乗" is 0x81 0x5C in CP936: its trail byte is a backslash.
const std::string kTrailBackslash = "\x81\x5C";
}  // namespace

TEST(Text, SearchesSkipTrailBytes) {
  const std::string path = "D:\\" + kTrailBackslash;
  EXPECT_EQ(ReverseFindChar(path, '\\'), 2u);
  EXPECT_EQ(FindChar(kTrailBackslash, '\\'), npos);
  // "A" as a trail byte ("丄" is 0x81 0x41) is not the letter A.
  EXPECT_EQ(FindText("\x81" "AB", "AB"), npos);
  EXPECT_EQ(FindText("x\x81" "AAB", "AB"), 3u);
  EXPECT_EQ(ReverseFindText("ab" "\x81" "ab", "ab"), 0u);
  EXPECT_EQ(ReverseFindText("abab", "ab"), 2u);
  EXPECT_EQ(FindText("abc", ""), 0u);
}

TEST(Text, StripTrailingBackslash) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"C:\\Program\\", "C:\\Program"}, {"\\", "\\"}, {"abc", "abc"}, {"", ""},
               {"C:\\", "C:"}, {"D:\\Tools\\\\", "D:\\Tools\\"}};
  for (const auto& c : cases) {
    std::string path = c.in;
    StripTrailingBackslash(path);
    EXPECT_EQ(path, c.out) << c.in;
  }
  std::string chinese = "D:\\" + kTrailBackslash;
  StripTrailingBackslash(chinese);
  EXPECT_EQ(chinese, "D:\\" + kTrailBackslash);
}

TEST(Text, CaseChangesByCharacter) {
  EXPECT_EQ(ToUpper("c:\\tools;d:\\apps"), "C:\\TOOLS;D:\\APPS");
  // Full-width a (A3E1) becomes full-width A (A3C1); Chinese stays.
  EXPECT_EQ(ToUpper("\xA3\xE1\xD6\xD0"), "\xA3\xC1\xD6\xD0");
  EXPECT_EQ(ToLower("\xA3\xC1"), "\xA3\xE1");
  // Greek and Cyrillic letters.
  EXPECT_EQ(ToUpper("\xA6\xC1\xA7\xD1"), "\xA6\xA1\xA7\xA1");
  // A trail byte that is an ASCII letter is not cased: "丄" is 0x81 0x41.
  EXPECT_EQ(ToLower("\x81" "A"), "\x81" "A");
  EXPECT_EQ(ToUpper("\x81" "a"), "\x81" "a");
  EXPECT_TRUE(EqualsNoCase("SetUp.EXE", "setup.exe"));
  EXPECT_FALSE(EqualsNoCase("SetUp.EXE", "setup.ex"));
}

TEST(Text, FormattersReportWhatDoesNotFit) {
  char path[kPathBufferSize];
  EXPECT_TRUE(FormatPath(path, "%s\\%s", "D:\\Tools", "a.dll"));
  EXPECT_STREQ(path, "D:\\Tools\\a.dll");
  const std::string exact(259, 'x');
  EXPECT_TRUE(FormatPath(path, "%s", exact.c_str()));
  EXPECT_EQ(std::string(path), exact);
  EXPECT_FALSE(FormatPath(path, "%s!", exact.c_str()));
  EXPECT_STREQ(path, "");

  static char longBuffer[kLongBufferSize];
  const std::string big(12999, 'y');
  EXPECT_TRUE(FormatLong(longBuffer, "%s", big.c_str()));
  EXPECT_FALSE(FormatLong(longBuffer, "%s;%s", big.c_str(), "D:\\X"));
  EXPECT_STREQ(longBuffer, "");
}
