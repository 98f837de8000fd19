// Finding the package folder: a Data folder beside the program, a flat
// package, or the missing-Data message; always from the program's path.
#include <gtest/gtest.h>

#include "deploy/package_folder.h"
#include "platform/memory/memory_files.h"
#include "tests/support/fixtures.h"
#include "tests/support/scripted_owner.h"

using platform::MemoryFileSystem;

namespace {

const char kMissingDataText[] =
    "未找到安装所需的Data文件夹 !\n\n可能安装文件下载后没有解压，\n\n请解压后再执行SetUp.exe !";

class PackageFolderTest : public ::testing::Test {
 protected:
  void PlaceProgram(const std::string& folder) {
    files.AddFile(folder + "\\SetUp.exe", "MZ");
    files.SetModulePath(folder + "\\SetUp.exe");
  }
  // The folder found, or "<none>".
  std::string Find() {
    std::string folder = "<unset>";
    return FindPackageFolder(files, owner, folder) ? folder : "<none>";
  }

  MemoryFileSystem files;
  testing_support::ScriptedOwner owner;
};

TEST_F(PackageFolderTest, PathKinds) {
  files.AddFile("D:\\Pkg\\a.dll");
  EXPECT_EQ(GetPathKind(files, "D:\\Pkg"), kPathFolder);
  EXPECT_EQ(GetPathKind(files, "D:\\pkg\\A.DLL"), kPathFile);
  EXPECT_EQ(GetPathKind(files, "D:\\Pkg\\b.dll"), kPathMissing);
  EXPECT_EQ(GetPathKind(files, "D:\\Gone\\b.dll"), kPathMissing);
  EXPECT_EQ(files.OpenFindCount(), 0u) << "every search is ended at once";
}

TEST_F(PackageFolderTest, DataFolderWinsOverTheSentinel) {
  PlaceProgram("D:\\Downloads\\Plot");
  files.AddFolder("D:\\Downloads\\Plot\\Data");
  files.AddFile("D:\\Downloads\\Plot\\VK_VidudOvev2010.arx");
  EXPECT_EQ(Find(), "D:\\Downloads\\Plot\\Data");
  EXPECT_TRUE(owner.shown.empty());
}

TEST_F(PackageFolderTest, FlatPackageIsTheProgramFolder) {
  // A file named Data is no Data folder.
  PlaceProgram("D:\\Downloads\\Plot");
  files.AddFile("D:\\Downloads\\Plot\\Data");
  files.AddFile("D:\\Downloads\\Plot\\vk_vidudovev2010.ARX");
  EXPECT_EQ(Find(), "D:\\Downloads\\Plot");

  // The program started from inside the unpacked Data folder.
  PlaceProgram("E:\\Plot\\Data");
  files.AddFile("E:\\Plot\\Data\\VK_VidudOvev2010.arx");
  EXPECT_EQ(Find(), "E:\\Plot\\Data");
  EXPECT_TRUE(owner.shown.empty());
}

TEST_F(PackageFolderTest, NeitherLayoutTellsTheUserOncePerCall) {
  PlaceProgram("C:\\Temp\\Rar$EXa0.123");
  // A folder with the sentinel's name is no sentinel.
  files.AddFolder("C:\\Temp\\Rar$EXa0.123\\VK_VidudOvev2010.arx");
  EXPECT_EQ(Find(), "<none>");
  EXPECT_EQ(Find(), "<none>");
  ASSERT_EQ(owner.shown.size(), 2u);
  for (const testing_support::ShownMessage& box : owner.shown) {
    EXPECT_EQ(box.text, kMissingDataText);
    EXPECT_EQ(box.caption, "V-软件安装");
    EXPECT_EQ(box.type, platform::kMbOk);
  }
}

TEST_F(PackageFolderTest, WorkingDirectoryPlaysNoPart) {
  PlaceProgram("D:\\Plot");
  // Everything a relative look-up could find lies in the working directory.
  files.AddFolder("E:\\Work\\Data");
  files.AddFile("E:\\Work\\VK_VidudOvev2010.arx");
  files.SetCurrentFolder("E:\\Work");
  EXPECT_EQ(Find(), "<none>");

  files.AddFolder("D:\\Plot\\Data");
  files.SetCurrentFolder("C:\\");
  EXPECT_EQ(Find(), "D:\\Plot\\Data");
}

TEST_F(PackageFolderTest, ProgramPathIsCutAtItsLastRealBackslash) {
  // "乗" is 0x81 0x5C: its trail byte is no backslash, neither in the
  // program's name nor in its folder's.
  files.AddFile("D:\\乗\\乗.exe", "MZ");
  files.SetModulePath("D:\\乗\\乗.exe");
  files.AddFolder("D:\\乗\\Data");
  EXPECT_EQ(Find(), "D:\\乗\\Data");

  // On a UTF-8 system "D:\批打印\SetUp.exe": the last byte of "印" (0xB0)
  // is no lead byte there, and the backslash after it is one.
  testing_support::ScopedCodePage page(platform::CodePageId::Utf8);
  const std::string folder = "D:\\\xE6\x89\xB9\xE6\x89\x93\xE5\x8D\xB0";
  PlaceProgram(folder);
  files.AddFolder(folder + "\\Data");
  EXPECT_EQ(Find(), folder + "\\Data");
  EXPECT_TRUE(owner.shown.empty()) << owner.shown[0].text;
}

// A program folder whose name the code page cannot carry (Chinese, on a
// code page 1252 system) is told as such, not as a missing Data folder.
TEST_F(PackageFolderTest, AProgramFolderTheCodePageCannotCarryIsTold) {
  PlaceProgram("D:\\批打印");  // written on a CP936 system
  files.AddFolder("D:\\批打印\\Data");
  testing_support::ScopedCodePage page(platform::CodePageId::Western);
  EXPECT_EQ(Find(), "<none>");
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_EQ(owner.shown[0].text,
            "SetUp.exe所在文件夹的名称含有本系统代码页无法表示的字符，无法读取安装所需的Data文件夹 !\n\n"
            "请将安装文件解压到名称只含英文字母和数字的文件夹（如 D:\\Setup）后再执行SetUp.exe !");
}

TEST_F(PackageFolderTest, WithoutAProgramPathNothingIsGuessed) {
  files.AddFolder("C:\\Data");  // what "\Data" would reach from the current drive
  files.FailOn(MemoryFileSystem::Op::ModulePath, "");
  EXPECT_EQ(Find(), "<none>");
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::FindFirst), 0u);
  EXPECT_EQ(owner.shown.size(), 1u);
}

}  // namespace
