// The release scan against the in-memory registry: the shared machine
// fixture, then faults and shapes the real registry will not produce.
#include <gtest/gtest.h>

#include "engine/acad_setup.h"
#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"
#include "tests/support/fixtures.h"
#include "tests/support/null_files.h"
#include "tests/support/scan_expectations.h"
#include "tests/support/scripted_owner.h"

using platform::MemoryRegistry;

namespace {

class ScanTest : public ::testing::Test {
 protected:
  void Load(const std::string& regText) {
    std::string error;
    ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n" + regText, &error)) << error;
  }
  // One product key with both values below `root`\R\P.
  void AddProduct(const std::string& root, const std::string& release, const std::string& location,
                  const std::string& productName) {
    Load("[" + root + "\\" + release + "\\ACAD-0001:804]\n\"AcadLocation\"=" +
         platform::QuoteRegString(location) + "\n\"ProductName\"=" + platform::QuoteRegString(productName) + "\n");
  }

  MemoryRegistry registry;
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup{registry, files, owner};
};

const char kNative[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD";
const char kWow[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD";

TEST_F(ScanTest, FreshEngineKnowsNothing) {
  EXPECT_EQ(setup.installFolder, "");
  EXPECT_EQ(setup.valueName, "AcadLocation");
  for (int k = 0; k < kReleaseCount; ++k) {
    EXPECT_TRUE(setup.acadFolders[k].empty());
    EXPECT_TRUE(setup.releaseKeys[k].empty());
  }
  EXPECT_THROW(setup.releaseKeys[0].at(0), std::out_of_range);
}

TEST_F(ScanTest, SetInstallFolderCutsOneBackslash) {
  setup.SetInstallFolder("D:\\Tools\\");
  EXPECT_EQ(setup.installFolder, "D:\\Tools");
  setup.SetInstallFolder("D:\\Tools\\\\");
  EXPECT_EQ(setup.installFolder, "D:\\Tools\\");
  setup.SetInstallFolder("D:\\Tools");
  EXPECT_EQ(setup.installFolder, "D:\\Tools");
  setup.SetInstallFolder("");
  EXPECT_EQ(setup.installFolder, "");
  // The trail byte of "乗" is 0x5C but no backslash.
  setup.SetInstallFolder("D:\\乗");
  EXPECT_EQ(setup.installFolder, "D:\\乗");
}

TEST_F(ScanTest, FilesTheMachineFixture) {
  testing_support::LoadRegFixture(registry, "machine_scan.reg");
  setup.ScanReleases();
  testing_support::ExpectMachineScanCatalogue(setup);
  EXPECT_EQ(registry.OpenHandleCount(), 0u) << "every key the scan opened is closed";
}

TEST_F(ScanTest, NoRootsRecordNothing) {
  testing_support::LoadRegFixture(registry, "empty_machine.reg");
  setup.ScanReleases();
  for (int k = 0; k < kReleaseCount; ++k) EXPECT_TRUE(setup.acadFolders[k].empty());
}

TEST_F(ScanTest, YearRecognition) {
  EXPECT_EQ(RecogniseYear("AutoCAD 2010", 2007, 2027), 2010);
  EXPECT_EQ(RecogniseYear("AutoCAD 2012 (2010)", 2007, 2027), 2010);
  EXPECT_EQ(RecogniseYear("2015 Edition", 2007, 2027), 0);
  // The first occurrence decides: at the very start it does not count.
  EXPECT_EQ(RecogniseYear("2015 AutoCAD 2015", 2007, 2027), 0);
  EXPECT_EQ(RecogniseYear("AutoCAD 2013", 2007, 2010), 0);
  EXPECT_EQ(RecogniseYear("AutoCAD 2028", 2007, 2027), 0);
  EXPECT_EQ(RecogniseYear("", 2007, 2027), 0);
}

TEST_F(ScanTest, ARootThatCannotBeOpenedLeavesTheOtherPass) {
  AddProduct(kWow, "R17.0", "C:\\A2007", "AutoCAD 2007");
  AddProduct(kNative, "R17.1", "C:\\A2008", "AutoCAD 2008");
  registry.FailOn(MemoryRegistry::Op::OpenKeyRead, kWow);
  setup.ScanReleases();
  EXPECT_TRUE(setup.acadFolders[0].empty());
  ASSERT_EQ(setup.acadFolders[1].size(), 1u);
  EXPECT_EQ(setup.acadFolders[1].at(0), "C:\\A2008");
}

TEST_F(ScanTest, KeysThatCannotBeOpenedContributeNothing) {
  AddProduct(kNative, "R17.0", "C:\\A2007", "AutoCAD 2007");
  AddProduct(kNative, "R17.1", "C:\\A2008", "AutoCAD 2008");
  AddProduct(kNative, "R17.2", "C:\\A2009", "AutoCAD 2009");
  registry.FailOn(MemoryRegistry::Op::OpenKeyRead, std::string(kNative) + "\\R17.0");
  registry.FailOn(MemoryRegistry::Op::OpenKeyRead, std::string(kNative) + "\\R17.1\\ACAD-0001:804");
  setup.ScanReleases();
  EXPECT_TRUE(setup.acadFolders[0].empty());
  EXPECT_TRUE(setup.acadFolders[1].empty());
  EXPECT_EQ(setup.acadFolders[2].size(), 1u);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// On a code page 1252 system a product key with a Chinese name cannot be
// named: the scan says so, once, with the key above it, and files the rest.
TEST_F(ScanTest, AKeyNameTheCodePageCannotCarryIsNoted) {
  AddProduct(kNative, "R18.0", "C:\\A2010", "AutoCAD 2010");
  Load(std::string("[") + kNative + "\\R17.0\\\xD6\xD0\xCE\xC4]\n\"AcadLocation\"=\"C:\\\\A2007\"\n"
       "\"ProductName\"=\"AutoCAD 2007\"\n");  // "中文", written on a CP936 system
  testing_support::ScopedCodePage page(platform::CodePageId::Western);
  setup.ScanReleases();
  EXPECT_TRUE(setup.acadFolders[0].empty());
  EXPECT_EQ(setup.acadFolders[3], CStringList{"C:\\A2010"});
  ASSERT_EQ(setup.scanProblems.size(), 1u);
  EXPECT_EQ(setup.scanProblems[0].kind, SetupProblem::NameNotInCodePage);
  EXPECT_EQ(setup.scanProblems[0].place, std::string(kNative) + "\\R17.0");
  EXPECT_EQ(setup.scanProblems[0].error, platform::RegResult::NoUnicodeTranslation);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(ScanTest, UnreadableSubKeyNamesAreNotSearchedAgain) {
  // With every enumeration failing, each key below the root keeps an empty
  // name; reopening "" would search the same key forever or twice.
  AddProduct(kNative, "R18.0", "C:\\A2010", "AutoCAD 2010");
  Load(std::string("[") + kNative + "\\R18.0]\n\"AcadLocation\"=\"C:\\\\Top\"\n");
  registry.FailOn(MemoryRegistry::Op::EnumKey, std::string(kNative) + "\\R18.0");
  setup.ScanReleases();
  // R18.0 holds AcadLocation itself but no ProductName: nothing is filed,
  // and the search ended.
  for (int k = 0; k < kReleaseCount; ++k) EXPECT_TRUE(setup.acadFolders[k].empty());
  EXPECT_LT(registry.CallCount(MemoryRegistry::Op::OpenKeyRead), 10u);
}

TEST_F(ScanTest, DeepTreesAreWalkedWithoutRecursionAndBounded) {
  // Two branches below one release key: a product 300 levels down, found;
  // one 600 levels down, deeper than the registry allows (512), not
  // reached. The walk keeps its own stack, so depth costs no call stack.
  std::string text;
  for (const int depth : {300, 600}) {
    std::string path = std::string(kNative) + "\\R18.0";
    for (int level = 1; level <= depth; ++level) path += depth == 300 ? "\\A" : "\\B";
    text += "[" + path + "]\n\"AcadLocation\"=\"C:\\\\Level" + std::to_string(depth) +
            "\"\n\"ProductName\"=\"AutoCAD 2010\"\n";
  }
  Load(text);
  setup.ScanReleases();
  ASSERT_EQ(setup.acadFolders[3].size(), 1u);
  EXPECT_EQ(setup.acadFolders[3].at(0), "C:\\Level300");
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(ScanTest, ValueDataEndsAtItsFirstZeroOrItsEnd) {
  // Binary data without a terminating zero, and a string with an inner zero.
  Load(std::string("[") + kNative +
       "\\R17.0\\P]\n\"AcadLocation\"=hex:43,3a,5c,42,69,6e\n\"ProductName\"=\"AutoCAD 2007\"\n"
       "[" + kNative + "\\R17.1\\P]\n\"AcadLocation\"=hex:43,3a,00,58\n\"ProductName\"=hex:41,20,32,30,30,38\n");
  setup.ScanReleases();
  ASSERT_EQ(setup.acadFolders[0].size(), 1u);
  EXPECT_EQ(setup.acadFolders[0].at(0), "C:\\Bin");
  ASSERT_EQ(setup.acadFolders[1].size(), 1u);
  EXPECT_EQ(setup.acadFolders[1].at(0), "C:");
}

TEST_F(ScanTest, EveryMatchingNameHitIsFiled) {
  // Two location hits and the same key twice in a second scan: entries
  // accumulate, none is removed.
  AddProduct(kNative, "R18.0", "C:\\A2010", "AutoCAD 2010");
  Load(std::string("[") + kNative + "\\R18.0\\ACAD-0002:409]\n\"AcadLocation\"=\"C:\\\\B2010\"\n"
                                    "\"ProductName\"=\"AutoCAD 2010\"\n");
  setup.ScanReleases();
  setup.ScanReleases();
  ASSERT_EQ(setup.acadFolders[3].size(), 4u);
  EXPECT_EQ(setup.acadFolders[3], (CStringList{"C:\\A2010", "C:\\B2010", "C:\\A2010", "C:\\B2010"}));
}

}  // namespace
