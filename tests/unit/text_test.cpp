// String operations by the code page's rules: character-aware search, case
// changes and the bounded formatters.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/fixtures.h"

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

// The same operations under the other code pages a system may have.
TEST(Text, RulesFollowTheCodePage) {
  using testing_support::ScopedCodePage;
  // "D:\批打印\SetUp.exe" in UTF-8: read as CP936, the last byte of "印"
  // (0xB0) would take the backslash after it as its trail byte.
  const std::string utf8Program = "D:\\\xE6\x89\xB9\xE6\x89\x93\xE5\x8D\xB0\\SetUp.exe";
  // "D:\大的\Lisp" in UTF-8: read as CP936, "\xA7\xE7" would be a Cyrillic
  // letter and be upper-cased.
  const std::string utf8Lisp = "D:\\\xE5\xA4\xA7\xE7\x9A\x84\\Lisp";
  const struct {
    unsigned int codePage;
    std::string text;
    std::size_t lastBackslash;
    std::string upper;
  } rows[] = {
      {CodePageId::Utf8, utf8Program, 12, "D:\\\xE6\x89\xB9\xE6\x89\x93\xE5\x8D\xB0\\SETUP.EXE"},
      {CodePageId::Utf8, utf8Lisp, 9, "D:\\\xE5\xA4\xA7\xE7\x9A\x84\\LISP"},
      // A sequence cut short is bytes of their own: no byte is skipped.
      {CodePageId::Utf8, "a\xE6\x89\\b", 3, "A\xE6\x89\\B"},
      // 1252: every byte a character; "é", "ÿ" and "š" keep their case.
      {CodePageId::Western, "C:\\Caf\xE9\\\xFF\x9A" "a", 7, "C:\\CAF\xE9\\\xFF\x9A" "A"},
      {CodePageId::Western, "D:\\\x81\\", 4, "D:\\\x81\\"},
      // 932: "表" (0x95 0x5C) ends in a backslash; half-width katakana
      // (0xA1..0xDF) are single bytes; full-width "ａ" (0x82 0x81) and the
      // trail byte "a" of 0x83 0x61 keep their case.
      {CodePageId::Japanese, "D:\\\x95\x5C", 2, "D:\\\x95\x5C"},
      {CodePageId::Japanese, "D:\\\xB1\\", 4, "D:\\\xB1\\"},
      {CodePageId::Japanese, "x\x82\x81\x83" "a", npos, "X\x82\x81\x83" "a"},
  };
  for (const auto& row : rows) {
    ScopedCodePage page(row.codePage);
    SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
    EXPECT_EQ(ReverseFindChar(row.text, '\\'), row.lastBackslash);
    EXPECT_EQ(ToUpper(row.text), row.upper);
    EXPECT_TRUE(EqualsNoCase(row.text, row.upper));
    std::string stripped = row.text;
    StripTrailingBackslash(stripped);
    const bool endsInBackslash = row.lastBackslash == row.text.size() - 1;
    EXPECT_EQ(stripped, endsInBackslash ? row.text.substr(0, row.lastBackslash) : row.text);
  }
  // The default stays 936; lead bytes by page are held under Wine.
  EXPECT_EQ(CurrentCodePage(), CodePageId::Chinese);
  EXPECT_EQ(CharLength(CodePageId::Utf8, "\xF0\x9F\x98\x80", 0), 4u);
  // 950 and 949 case ASCII alone: full-width "ａ" of CP936 (0xA3 0xE1).
  for (const unsigned int page : {CodePageId::TraditionalChinese, CodePageId::Korean}) {
    ScopedCodePage scoped(page);
    EXPECT_EQ(ToUpper("a\xA3\xE1"), "A\xA3\xE1") << page;
  }
}

// To UTF-8 and back from the code page in force; what does not convert
// whole is refused, the output untouched.
TEST(Text, ConvertsToAndFromUtf8) {
  const struct {
    unsigned int codePage;
    std::string text;
    std::string utf8;
  } rows[] = {
      {platform::CodePageId::Chinese, "D:\\\xC5\xFA\xB4\xF2\xD3\xA1\\a", "D:\\\xE6\x89\xB9\xE6\x89\x93\xE5\x8D\xB0\\a"},
      {platform::CodePageId::Chinese, "\x81\x5C", "\xE4\xB9\x97"},  // a trail byte 0x5C
      {platform::CodePageId::Western, "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
      {platform::CodePageId::Utf8, "\xED\x95\x9C", "\xED\x95\x9C"},
      {platform::CodePageId::Chinese, "", ""},
  };
  for (const auto& row : rows) {
    testing_support::ScopedCodePage page(row.codePage);
    std::string out;
    EXPECT_TRUE(platform::ToUtf8(row.text, &out)) << row.codePage;
    EXPECT_EQ(out, row.utf8) << row.codePage;
    EXPECT_TRUE(platform::FromUtf8(row.utf8, &out)) << row.codePage;
    EXPECT_EQ(out, row.text) << row.codePage;
  }
  testing_support::ScopedCodePage page(platform::CodePageId::Chinese);
  std::string out = "untouched";
  EXPECT_FALSE(platform::ToUtf8("a\x81", &out)) << "a lead byte alone";
  EXPECT_FALSE(platform::FromUtf8("\xED\x95\x9C", &out)) << "a Korean letter GBK lacks";
  EXPECT_FALSE(platform::FromUtf8("\xC3", &out)) << "a cut sequence";
  EXPECT_EQ(out, "untouched");
}

// Hexadecimal text both ways, and paths cut at their last backslash by
// characters: the record's bytes come back only from what was written.
TEST(TextHelpers, HexAndPathsRoundTripAndRefuseWhatWasNeverWritten) {
  EXPECT_EQ(platform::HexNumber(0), "0");
  EXPECT_EQ(platform::HexNumber(0xC0FFEE), "C0FFEE");
  EXPECT_EQ(platform::HexNumber(0xAB, 16), "00000000000000AB");
  EXPECT_EQ(platform::HexNumber(~0ull), "FFFFFFFFFFFFFFFF");
  const std::string bytes("\x00\x7f\x80\xff", 4);
  EXPECT_EQ(platform::HexBytes(bytes), "007f80ff");
  std::string back;
  ASSERT_TRUE(platform::FromHexBytes("007F80ff", &back));
  EXPECT_EQ(back, bytes);
  for (const char* bad : {"-1", "f", " f", "0x", "+f", "1g", "ff\n"}) {
    EXPECT_FALSE(platform::FromHexBytes(bad, &back)) << bad;
  }
  testing_support::ScopedCodePage page(platform::CodePageId::Chinese);
  // "乗" ends in the byte 0x5C, which is no backslash.
  EXPECT_EQ(platform::NameOf("D:\\Tools\\乗"), "乗");
  EXPECT_EQ(platform::FolderOf("D:\\Tools\\乗"), "D:\\Tools");
  EXPECT_EQ(platform::NameOf("乗"), "乗");
  EXPECT_EQ(platform::FolderOf("乗"), "");
}

// A path an elevated run may act on names exactly the file it seems to:
// anything the system would read as another place is refused, not mended.
TEST(TextHelpers, OnlyPlainFullPathsAreTakenAsThemselves) {
  testing_support::ScopedCodePage page(platform::CodePageId::Chinese);
  struct Row {
    const char* path;
    bool plain;
  };
  const Row rows[] = {
      {"C:\\Program Files\\AutoCAD 2010\\itextsharp.dll", true},
      {"d:\\Tools\\V-VidudOvev", true},
      {"D:\\图纸\\乗", true},                          // a trail byte 0x5C is no separator
      {"\\\\server\\share\\V-VidudOvev\\a.arx", true},
      {"D:\\Tools\\..\\..\\Windows\\hosts", false},        // climbs out
      {"D:\\Tools\\.\\a.dll", false},
      {"D:\\Tools\\a.dll:evil.exe", false},                 // an alternate data stream
      {"D:\\Tools\\a.dll::$DATA", false},
      {"\\\\?\\C:\\Windows\\hosts", false},                 // device paths
      {"\\\\.\\C:\\Windows\\hosts", false},
      {"\\\\?\\UNC\\server\\share\\a", false},
      {"\\\\server", false},
      {"\\\\server\\share", false},                          // a share, no name in it
      {"D:\\Tools\\NUL", false},                               // device names, with any extension
      {"D:\\Tools\\com1.txt", false},
      {"D:\\Tools\\CON .log", false},
      {"D:\\Tools\\V-VidudOvev.", false},                      // the system cuts trailing dots and spaces
      {"D:\\Tools\\V-VidudOvev ", false},
      {"D:\\Tools\\\\a.dll", false},                          // an empty name
      {"D:\\Tools\\", false},
      {"D:\\", false},
      {"D:Tools\\a.dll", false},                              // relative to the drive's current folder
      {"\\install_record.txt", false},                        // the current drive's root
      {"install_record.txt", false},
      {"", false},
      {"D:/Tools/a.dll", false},
      {"D:\\Tools\\a*.dll", false},
      {"D:\\Tools\\a\tb.dll", false},
      {"D:\\Tools\\\x81", false},                            // a lead byte with no trail byte
  };
  for (const Row& row : rows) EXPECT_EQ(platform::IsPlainFullPath(row.path), row.plain) << "[" << row.path << "]";
  EXPECT_FALSE(platform::IsPlainFullPath("D:\\" + std::string(257, 'a'))) << "260 bytes and more";
  EXPECT_TRUE(platform::IsPlainFullPath("D:\\" + std::string(255, 'a')));

  EXPECT_TRUE(platform::IsWithinFolder("D:\\TOOLS\\v-vidudovev\\a.arx", "D:\\Tools\\V-VidudOvev"));
  EXPECT_FALSE(platform::IsWithinFolder("D:\\Tools\\V-VidudOvev2\\a.arx", "D:\\Tools\\V-VidudOvev"));
  EXPECT_FALSE(platform::IsWithinFolder("D:\\Tools\\V-VidudOvev", "D:\\Tools\\V-VidudOvev"));
  EXPECT_FALSE(platform::IsWithinFolder("D:\\Tools\\V-VidudOvev\\a.arx", ""));
}
