// The data copy against the in-memory file system: which files go where,
// what is done to sources and destinations, and the failure dialogue.
#include <gtest/gtest.h>

#include <functional>

#include "deploy/package_copy.h"
#include "platform/memory/memory_files.h"
#include "platform/message_text.h"
#include "tests/support/fixtures.h"
#include "tests/support/scripted_owner.h"

using platform::MemoryFileSystem;

namespace {

const char kProgramFolder[] = "D:\\Pkg";
const char kPackage[] = "D:\\Pkg\\Data";
const char kTarget[] = "E:\\Tools\\V-VidudOvev";
const char kAppData[] = "C:\\Users\\li\\AppData\\Roaming";

std::string FailureText(const std::string& destination) {
  return "拷贝文件 " + destination +
         " 失败，可能原因如下：\n\n1、AutoCAD未关闭\n\n2、系统权限未开放，请以管理者权限登陆系统";
}

// The same box for a path that can never fit.
std::string TooLongText(const std::string& destination) {
  return FailureText(destination) + "\n\n路径超过259个字符，无法拷贝：选择“重试”将跳过此文件。";
}


class PackageCopyTest : public ::testing::Test {
 protected:
  PackageCopyTest() {
    files.AddFile(std::string(kProgramFolder) + "\\SetUp.exe", "MZ");
    files.SetModulePath(std::string(kProgramFolder) + "\\SetUp.exe");
    files.AddFolder(kPackage);
    files.AddFolder("E:\\Tools");
    files.AddFolder(kAppData);
    files.SetEnvironment("APPDATA", kAppData);
  }

  void Package(const std::string& name, const std::string& content = "package",
               unsigned long attributes = platform::kAttrArchive) {
    files.AddFile(std::string(kPackage) + "\\" + name, content, attributes);
  }
  bool Run(const std::string& target = kTarget) {
    CPackageCopy copy(target, progress, files, owner);
    return copy.CopyDataFolder();
  }
  std::string Content(const std::string& path) {
    std::string content;
    return files.ReadFile(path, &content) ? content : "<missing>";
  }
  bool ReadOnly(const std::string& path) { return files.GetAttributes(path) & platform::kAttrReadOnly; }
  static std::string In(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

  MemoryFileSystem files;
  testing_support::ScriptedOwner owner;
  testing_support::CountingProgress progress;
};

using Names = std::vector<std::string>;

TEST_F(PackageCopyTest, CopiesTheFilesOfOneLevelThatHaveADot) {
  Package("a.dll", "A");
  Package("b.arx", "B");
  Package("README");
  files.AddFile(In(kPackage, "x.y\\c.dll"));

  EXPECT_TRUE(Run());
  EXPECT_EQ(files.Names(kTarget), (Names{"a.dll", "b.arx"}));
  EXPECT_EQ(Content(In(kTarget, "a.dll")), "A");
  EXPECT_EQ(Content(In(kTarget, "b.arx")), "B");
  // ".", "..", four entries, and the step that finds the listing's end.
  EXPECT_EQ(progress.steps, 2 + 4 + 1);
  EXPECT_EQ(files.OpenFindCount(), 0u);
  EXPECT_TRUE(owner.shown.empty());
}

TEST_F(PackageCopyTest, ExcludedNamesAreSkippedInAnyCase) {
  for (const char* name : {"setup.exe", "VELKOR_EN.SHX", "velkor_hz.Shx", "VELKOR.PRT5", "a.dll"}) Package(name);
  EXPECT_TRUE(Run());
  EXPECT_EQ(files.Names(kTarget), (Names{"a.dll"}));
}

TEST_F(PackageCopyTest, SettingsFileGoesToItsOwnFolderUnderItsListedName) {
  Package("velkor.ini", "[new]");
  EXPECT_TRUE(Run());
  const std::string settings = In(kAppData, "Velkor");
  EXPECT_EQ(files.Names(settings), (Names{"velkor.ini"}));
  EXPECT_EQ(Content(In(settings, "velkor.ini")), "[new]");
  EXPECT_EQ(files.Names(kTarget), Names{});
}

// A reinstall keeps the user's settings: an earlier settings file stays as
// it is unless it is the package's own unchanged copy, which is written
// again (and, read-only, left writable).
TEST_F(PackageCopyTest, SettingsFileOfAnEarlierInstallIsKeptUnlessItIsThePackagesOwn) {
  struct Row {
    const char* earlier;
    unsigned long attributes;
    const char* after;
    bool readOnlyAfter;
  };
  const Row rows[] = {
      {"[new]", platform::kAttrReadOnly, "[new]", false},     // the package's own, read-only
      {"[new]", platform::kAttrArchive, "[new]", false},      // the package's own
      {"[old]", platform::kAttrReadOnly, "[old]", true},      // the user's, read-only: untouched
      {"[new]\r\nPen=7", platform::kAttrArchive, "[new]\r\nPen=7", false},  // the user's changes
      {"", platform::kAttrArchive, "", false},                // emptied by the user
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.earlier);
    Package("Velkor.Ini", "[new]");
    const std::string old = In(kAppData, "Velkor\\Velkor.Ini");
    files.AddFile(old, row.earlier, row.attributes);
    EXPECT_TRUE(Run());
    EXPECT_EQ(Content(old), row.after);
    EXPECT_EQ(ReadOnly(old), row.readOnlyAfter);
    EXPECT_TRUE(owner.shown.empty());
    files.SetAttributes(old, platform::kAttrArchive);
    EXPECT_TRUE(files.Remove(old));
  }
}

TEST_F(PackageCopyTest, NoDestinationIsLeftReadOnlyAndSourcesAreUnblocked) {
  const unsigned long readOnly = platform::kAttrReadOnly | platform::kAttrArchive;
  Package("a.dll", "A", readOnly);
  Package("b.arx", "B");
  Package("c.arx", "C", readOnly);
  files.AddFile(In(kTarget, "b.arx"), "old", readOnly);
  files.AddStream(In(kPackage, "b.arx"), "Zone.Identifier", "ZoneId=3");
  // The read-only bit guards the stream too: it must go first.
  files.AddStream(In(kPackage, "c.arx"), "Zone.Identifier", "ZoneId=3");

  EXPECT_TRUE(Run());
  for (const char* name : {"a.dll", "b.arx", "c.arx"}) {
    EXPECT_FALSE(ReadOnly(In(kTarget, name))) << name;
    EXPECT_FALSE(ReadOnly(In(kPackage, name))) << name;
    EXPECT_FALSE(files.HasStream(In(kPackage, name), "Zone.Identifier")) << name;
    EXPECT_FALSE(files.HasStream(In(kTarget, name), "Zone.Identifier")) << name;
  }
  EXPECT_EQ(Content(In(kTarget, "b.arx")), "B");
  EXPECT_TRUE(owner.shown.empty());
}

TEST_F(PackageCopyTest, ReadOnlySourceThatCannotBeChangedStillGivesAWritableCopy) {
  // A package on a read-only medium: its attributes stay as they are.
  Package("a.dll", "A", platform::kAttrReadOnly);
  files.FailOn(MemoryFileSystem::Op::SetAttributes, kPackage);
  EXPECT_TRUE(Run());
  EXPECT_EQ(Content(In(kTarget, "a.dll")), "A");
  EXPECT_TRUE(ReadOnly(In(kPackage, "a.dll")));
  EXPECT_FALSE(ReadOnly(In(kTarget, "a.dll")));
}

TEST_F(PackageCopyTest, EmptyPackageStepsThreeTimesAndSucceeds) {
  EXPECT_TRUE(Run());
  EXPECT_EQ(progress.steps, 3);
  EXPECT_TRUE(files.Exists(kTarget)) << "the target folder is made";
  EXPECT_EQ(files.Names(kTarget), Names{});
}

TEST_F(PackageCopyTest, MissingPackageFailsBeforeAnythingIsMade) {
  files.SetModulePath("D:\\Elsewhere\\SetUp.exe");
  EXPECT_FALSE(Run());
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].type, platform::kMbOk);
  EXPECT_FALSE(files.Exists(kTarget));
  EXPECT_EQ(progress.steps, 0);
}

// A package that cannot be listed, or whose listing fails on the way, is
// not reported as copied: the user is asked; Retry lists it again, Ignore
// goes on without it, Abort stops.
TEST_F(PackageCopyTest, UnlistablePackageIsToldAndRetried) {
  Package("a.dll");
  files.FailOn(MemoryFileSystem::Op::FindFirst, In(kPackage, "*.*"));
  owner.answers = {platform::kIdRetry, platform::kIdIgnore};
  EXPECT_TRUE(Run());
  EXPECT_EQ(files.Names(kTarget), Names{});
  ASSERT_EQ(owner.shown.size(), 2u) << "asked again after Retry";
  EXPECT_EQ(owner.shown[0].type, platform::kMbAbortRetryIgnore);
  EXPECT_NE(owner.shown[0].text.find(kPackage), std::string::npos);
  EXPECT_GE(files.CallCount(MemoryFileSystem::Op::FindFirst), 2u) << "listed again";

  owner.shown.clear();
  owner.answers = {platform::kIdAbort};
  EXPECT_FALSE(Run());
  EXPECT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(files.OpenFindCount(), 0u);
}

TEST_F(PackageCopyTest, ListingThatFailsOnTheWayIsTold) {
  Package("a.dll");
  Package("b.dll");
  files.FailOn(MemoryFileSystem::Op::FindNext, kPackage, platform::FileError::AccessDenied);
  owner.answers = {platform::kIdIgnore};
  EXPECT_TRUE(Run());
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].type, platform::kMbAbortRetryIgnore);
  EXPECT_EQ(files.OpenFindCount(), 0u);
}

// A destination held open by a running AutoCAD, between two other files.
class LockedDestinationTest : public PackageCopyTest {
 protected:
  LockedDestinationTest() {
    Package("a.dll", "A");
    Package("b.arx", "B");
    Package("c.dll", "C");
    files.AddFile(locked, "loaded");
    files.HoldOpen(locked);
  }
  const std::string locked = In(kTarget, "b.arx");
};

TEST_F(LockedDestinationTest, MessageNamesTheDestinationAndRetrySucceedsOnceReleased) {
  owner.answers = {platform::kIdRetry};
  owner.onShow = [this] { files.Release(locked); };
  EXPECT_TRUE(Run());
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].text, FailureText(locked));
  EXPECT_EQ(owner.shown[0].caption, "V-软件安装");
  EXPECT_EQ(owner.shown[0].type, platform::kMbAbortRetryIgnore);
  EXPECT_EQ(Content(locked), "B");
  EXPECT_EQ(Content(In(kTarget, "c.dll")), "C");
}

TEST_F(LockedDestinationTest, RetryWhileStillLockedAsksAgain) {
  owner.answers = {platform::kIdRetry, platform::kIdRetry, platform::kIdIgnore};
  EXPECT_TRUE(Run());
  EXPECT_EQ(owner.shown.size(), 3u);
  EXPECT_EQ(Content(locked), "loaded");
}

TEST_F(LockedDestinationTest, IgnoreSkipsThatFileAndGoesOn) {
  owner.answers = {platform::kIdIgnore};
  EXPECT_TRUE(Run());
  EXPECT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(Content(locked), "loaded");
  EXPECT_EQ(Content(In(kTarget, "c.dll")), "C");
  EXPECT_EQ(progress.steps, 2 + 3 + 1);
}

TEST_F(LockedDestinationTest, AbortStopsAtOnceAndEndsTheListing) {
  owner.answers = {platform::kIdAbort};
  EXPECT_FALSE(Run());
  EXPECT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(Content(In(kTarget, "a.dll")), "A") << "what was copied stays";
  EXPECT_FALSE(files.Exists(In(kTarget, "c.dll")));
  EXPECT_EQ(progress.steps, 2 + 2) << "no entry is looked at after b.arx";
  EXPECT_EQ(files.OpenFindCount(), 0u);
}

TEST_F(LockedDestinationTest, ABoxThatCannotBeShownStopsTheCopy) {
  owner.fallback = 0;  // MessageBox's answer when it fails
  EXPECT_FALSE(Run());
  EXPECT_EQ(owner.shown.size(), 1u);
}

TEST_F(PackageCopyTest, OneTrailingBackslashIsCutByCharacters) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"E:\\Tools\\V-VidudOvev\\", "E:\\Tools\\V-VidudOvev"},
               {"E:\\Tools\\\\", "E:\\Tools\\"},
               {"E:\\Tools", "E:\\Tools"},
               // "乗" is 0x81 0x5C: its trail byte is no backslash.
               {"E:\\乗", "E:\\乗"},
               {"E:\\乗\\", "E:\\乗"}};
  for (const auto& c : cases) {
    CPackageCopy copy(c.in, progress, files, owner);
    EXPECT_EQ(copy.targetFolder, c.out) << c.in;
  }
}

TEST_F(PackageCopyTest, ChineseTargetFolderReceivesTheFiles) {
  Package("a.dll", "A");
  EXPECT_TRUE(Run("E:\\Tools\\乗"));
  EXPECT_EQ(Content("E:\\Tools\\乗\\a.dll"), "A");
  EXPECT_EQ(files.Names("E:\\Tools"), (Names{"乗"}));
}

// A package file whose name this system's code page cannot carry (a Chinese
// name on code page 1252) is told, named as the narrow calls give it, and
// the copy goes on: Retry cannot help, so it skips the file as Ignore does.
TEST_F(PackageCopyTest, AFileNameTheCodePageCannotCarryIsTold) {
  Package("a.dll", "A");
  Package("\xC5\xFA\xB4\xF2.dll", "Z");  // "批打" in CP936, written there
  Package("b.dll", "B");
  testing_support::ScopedCodePage page(platform::CodePageId::Western);
  owner.answers = {platform::kIdRetry};
  EXPECT_TRUE(Run());
  ASSERT_EQ(owner.shown.size(), 1u);
  const std::string destination = In(kTarget, "??.dll");
  EXPECT_EQ(owner.shown[0].text, FailureText(destination) +
                                     "\n\n文件名含有本系统代码页无法表示的字符（显示为“?”），无法拷贝：请将其改名，"
                                     "或在控制面板的“区域”设置中将非Unicode程序的语言设为该名称的语言。"
                                     "选择“重试”将跳过此文件。");
  EXPECT_EQ(owner.shown[0].type, platform::kMbAbortRetryIgnore);
  // The path is the system's text in the box, the rest the program's.
  const std::vector<platform::MessagePart> parts = platform::SplitMessageText(owner.shown[0].marked);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_TRUE(parts[1].system);
  EXPECT_EQ(parts[1].text, destination);
  EXPECT_EQ(files.Names(kTarget), (Names{"a.dll", "b.dll"}));

  owner.shown.clear();
  owner.answers = {platform::kIdAbort};
  EXPECT_FALSE(Run()) << "Abort stops the copy";
  EXPECT_EQ(files.OpenFindCount(), 0u);
}

// Paths that would not fit a 260-character buffer are never used cut: the
// file is offered like a failed copy, named in full.
TEST_F(PackageCopyTest, DestinationTooLongIsReportedNotCut) {
  // 250 characters: "\b.x" still fits (254), "\long-name.dll" (264) does not.
  const std::string target = "E:\\" + std::string(247, 't');
  ASSERT_EQ(target.size(), 250u);
  Package("b.x", "B");
  Package("long-name.dll", "L");
  owner.answers = {platform::kIdIgnore};
  EXPECT_TRUE(Run(target));
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].text, TooLongText(target + "\\long-name.dll"));
  EXPECT_EQ(files.Names(target), (Names{"b.x"})) << "nothing is made under a cut name";
}

// Retry cannot make a path fit: it skips the file instead of showing the
// same box for ever.
TEST_F(PackageCopyTest, RetryOnAPathThatCanNeverFitSkipsIt) {
  const std::string target = "E:\\" + std::string(247, 't');
  Package("long-name.dll", "L");
  Package("zz.x", "Z");
  owner.answers = {platform::kIdRetry, platform::kIdRetry, platform::kIdRetry};
  EXPECT_TRUE(Run(target));
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(files.Names(target), (Names{"zz.x"})) << "the copy went on";

  // The package folder too long to list: Retry goes on without it.
  const std::string program = "D:\\" + std::string(248, 'p');
  files.AddFile(program + "\\S.exe");  // a path the system gives whole (at most 260)
  files.AddFile(program + "\\Data\\a.dll");
  files.SetModulePath(program + "\\S.exe");
  owner.shown.clear();
  owner.answers = {platform::kIdRetry, platform::kIdRetry};
  EXPECT_TRUE(Run());
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].text, TooLongText(program + "\\Data"));
}

TEST_F(PackageCopyTest, SettingsFolderTooLongIsReportedNotCut) {
  const std::string appData = "C:\\" + std::string(297, 'a');
  files.SetEnvironment("APPDATA", appData);
  Package("Velkor.Ini");
  owner.answers = {platform::kIdAbort};
  EXPECT_FALSE(Run());
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].text, TooLongText(appData + "\\Velkor\\Velkor.Ini"));
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::MakeFolder), 1u) << "only the target folder is made";
}

TEST_F(PackageCopyTest, PackageFolderTooLongToListIsReported) {
  // 251 + "\Data" = 256 characters; with "\*.*" the pattern needs 260.
  const std::string program = "D:\\" + std::string(248, 'p');
  files.AddFile(program + "\\S.exe");  // a path the system gives whole (at most 260)
  files.AddFile(program + "\\Data\\a.dll");
  files.SetModulePath(program + "\\S.exe");
  owner.answers = {platform::kIdIgnore, platform::kIdAbort};
  EXPECT_TRUE(Run());
  EXPECT_FALSE(Run());
  ASSERT_EQ(owner.shown.size(), 2u);
  EXPECT_EQ(owner.shown[0].text, TooLongText(program + "\\Data"));
  EXPECT_EQ(files.Names(kTarget), Names{});
}

TEST(PackageCopyHelpers, ClearReadOnlyKeepsTheOtherAttributes) {
  MemoryFileSystem files;
  const unsigned long hidden = 0x2;
  files.AddFile("C:\\a.dll", "", platform::kAttrReadOnly | hidden);
  files.AddFile("C:\\b.dll", "", hidden);
  ClearReadOnly(files, "C:\\a.dll");
  ClearReadOnly(files, "C:\\b.dll");
  ClearReadOnly(files, "C:\\missing.dll");
  EXPECT_EQ(files.GetAttributes("C:\\a.dll"), hidden);
  EXPECT_EQ(files.GetAttributes("C:\\b.dll"), hidden);
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::SetAttributes), 1u) << "only a read-only file is written";
}

}  // namespace
