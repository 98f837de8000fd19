// Support files in AutoCAD's folders: which files reach which folder for
// which selection, and which failures are reported.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/acad_setup.h"
#include "record/install_record.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "tests/support/scripted_owner.h"

using platform::MemoryFileSystem;

namespace {

const char kPackage[] = "D:\\Pkg\\Data";
using Names = std::vector<std::string>;

class SupportFilesTest : public ::testing::Test {
 protected:
  SupportFilesTest() {
    files.AddFile("D:\\Pkg\\SetUp.exe", "MZ");
    files.SetModulePath("D:\\Pkg\\SetUp.exe");
    Package("Velkor_EN.shx", "EN");
    Package("Velkor_HZ.shx", "HZ");
    Package("itextsharp.dll", "pdf");
    Package("Velkor.prt5", "driver");
  }

  void Package(const std::string& name, const std::string& content = "dll") {
    files.AddFile(std::string(kPackage) + "\\" + name, content);
  }
  // An AutoCAD installation of `year`, with its Fonts and Drv folders and
  // its own plotter driver.
  void Install(int year, const std::string& folder) {
    files.AddFolder(folder + "\\Fonts");
    files.AddFile(folder + "\\Drv\\pdfplot9.hdi", "autodesk");
    setup.acadFolders[year - kFirstYear].push_back(folder);
  }
  // Selects the given release years.
  SetupProblems InstallFor(std::initializer_list<int> years) {
    int f[kReleaseCount] = {};
    for (int year : years) f[year - kFirstYear] = 1;
    return setup.InstallSupportFiles(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11], f[12],
                                     f[13], f[14], f[15], f[16], f[17], f[18], f[19], f[20]);
  }
  std::string Content(const std::string& path) {
    std::string content;
    return files.ReadFile(path, &content) ? content : "<missing>";
  }
  // The files placed into an AutoCAD folder, besides Fonts and Drv.
  Names PlacedIn(const std::string& folder) {
    Names names = files.Names(folder);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& name) { return name == "Fonts" || name == "Drv"; }),
                names.end());
    return names;
  }

  platform::MemoryRegistry registry;
  MemoryFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup{registry, files, owner};
};

TEST_F(SupportFilesTest, NothingSelectedOrFoundTouchesNothing) {
  Install(2010, "C:\\AutoCAD 2010");
  EXPECT_TRUE(InstallFor({}).empty());
  EXPECT_TRUE(InstallFor({2012}).empty()) << "selected, but no folder in the catalogue";
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::Copy), 0u);
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::ModulePath), 0u) << "no package look-up";
}

TEST_F(SupportFilesTest, Release2008GetsEverythingAndTheDriverInEveryFolder) {
  Package("ACAD2008P.dll", "2008");
  Package("ACAD2010P.dll", "2010");
  Install(2008, "C:\\AutoCAD 2008");
  Install(2008, "E:\\AutoCAD 2008 Mechanical");
  Install(2010, "C:\\AutoCAD 2010");  // not selected

  EXPECT_TRUE(InstallFor({2008}).empty());
  for (const std::string folder : {"C:\\AutoCAD 2008", "E:\\AutoCAD 2008 Mechanical"}) {
    EXPECT_EQ(Content(folder + "\\Fonts\\Velkor_EN.shx"), "EN") << folder;
    EXPECT_EQ(Content(folder + "\\Fonts\\Velkor_HZ.shx"), "HZ") << folder;
    EXPECT_EQ(PlacedIn(folder), (Names{"ACAD2008P.dll", "ACAD2010P.dll", "itextsharp.dll"})) << folder;
    EXPECT_EQ(Content(folder + "\\Drv\\pdfplot9.hdi"), "driver") << folder;
  }
  EXPECT_EQ(PlacedIn("C:\\AutoCAD 2010"), Names{});
  EXPECT_TRUE(owner.shown.empty());
}

TEST_F(SupportFilesTest, OtherReleasesKeepAutoCADsDriver) {
  Package("ACAD2010P.dll", "2010");
  Install(2010, "C:\\AutoCAD 2010");
  EXPECT_TRUE(InstallFor({2010}).empty());
  EXPECT_EQ(Content("C:\\AutoCAD 2010\\Fonts\\Velkor_EN.shx"), "EN");
  EXPECT_EQ(PlacedIn("C:\\AutoCAD 2010"), (Names{"ACAD2010P.dll", "itextsharp.dll"}));
  EXPECT_EQ(Content("C:\\AutoCAD 2010\\Drv\\pdfplot9.hdi"), "autodesk");
}

TEST_F(SupportFilesTest, EveryFolderGetsTheDllsThePackageHoldsFor2007To2050) {
  for (const char* name : {"ACAD2007P.dll", "ACAD2018P.dll", "ACAD2050P.dll", "ACAD2006P.dll", "ACAD2051P.dll"}) {
    Package(name);
  }
  Install(2015, "C:\\AutoCAD 2015");
  Install(2027, "C:\\AutoCAD 2027");
  EXPECT_TRUE(InstallFor({2015, 2027}).empty()) << "absent DLLs are no problem";
  for (const std::string folder : {"C:\\AutoCAD 2015", "C:\\AutoCAD 2027"}) {
    EXPECT_EQ(PlacedIn(folder), (Names{"ACAD2007P.dll", "ACAD2018P.dll", "ACAD2050P.dll", "itextsharp.dll"}))
        << folder;
  }
}

TEST_F(SupportFilesTest, MissingFontsFolderIsReportedAndTheRestStillPlaced) {
  Package("ACAD2008P.dll");
  files.AddFile("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi", "autodesk");
  setup.acadFolders[2008 - kFirstYear].push_back("C:\\AutoCAD 2008");

  const SetupProblems problems = InstallFor({2008});
  EXPECT_FALSE(files.Exists("C:\\AutoCAD 2008\\Fonts")) << "no folder is made";
  EXPECT_EQ(PlacedIn("C:\\AutoCAD 2008"), (Names{"ACAD2008P.dll", "itextsharp.dll"}));
  EXPECT_EQ(Content("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi"), "driver");
  ASSERT_EQ(problems.size(), 2u);
  const char* fonts[] = {"Velkor_EN.shx", "Velkor_HZ.shx"};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(problems[i].kind, SetupProblem::FileCopy);
    EXPECT_EQ(problems[i].year, 2008);
    EXPECT_EQ(problems[i].place, std::string("C:\\AutoCAD 2008\\Fonts\\") + fonts[i]);
    EXPECT_EQ(problems[i].item, std::string(kPackage) + "\\" + fonts[i]);
    EXPECT_EQ(problems[i].error, platform::FileError::PathNotFound);
  }
}

TEST_F(SupportFilesTest, ProtectedDestinationsAreReportedAndLeftAsTheyWere) {
  Package("ACAD2010P.dll", "new");
  Install(2010, "C:\\AutoCAD 2010");
  files.AddFile("C:\\AutoCAD 2010\\itextsharp.dll", "old", platform::kAttrReadOnly);
  files.AddFile("C:\\AutoCAD 2010\\ACAD2010P.dll", "loaded");
  files.HoldOpen("C:\\AutoCAD 2010\\ACAD2010P.dll");

  const SetupProblems problems = InstallFor({2010});
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].place, "C:\\AutoCAD 2010\\itextsharp.dll");
  EXPECT_EQ(problems[0].error, platform::FileError::AccessDenied);
  EXPECT_EQ(problems[1].place, "C:\\AutoCAD 2010\\ACAD2010P.dll");
  EXPECT_EQ(problems[1].error, platform::FileError::SharingViolation);
  EXPECT_EQ(problems[1].year, 2010);
  // Unlike the data copy, this step leaves attributes alone.
  EXPECT_EQ(Content("C:\\AutoCAD 2010\\itextsharp.dll"), "old");
  EXPECT_TRUE(files.GetAttributes("C:\\AutoCAD 2010\\itextsharp.dll") & platform::kAttrReadOnly);
  EXPECT_EQ(Content("C:\\AutoCAD 2010\\Fonts\\Velkor_EN.shx"), "EN");
}

TEST_F(SupportFilesTest, VanishedPackageIsToldOncePerFolderAndNothingCopied) {
  Install(2008, "C:\\AutoCAD 2008");
  Install(2008, "D:\\AutoCAD 2008");
  files.SetModulePath("F:\\Moved\\SetUp.exe");
  EXPECT_TRUE(InstallFor({2008}).empty());
  EXPECT_EQ(owner.shown.size(), 2u);
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::Copy), 0u);
  EXPECT_EQ(Content("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi"), "autodesk");
}

TEST_F(SupportFilesTest, PathsTooLongAreReportedForHeldFilesOnly) {
  Package("ACAD2010P.dll");
  // 242 characters: F\Fonts\Velkor_EN.shx needs 262, F\itextsharp.dll 257,
  // F\ACAD2010P.dll 256 and F\Drv\pdfplot9.hdi 259.
  const std::string folder = "C:\\" + std::string(239, 'a');
  Install(2008, folder);
  SetupProblems problems = InstallFor({2008});
  ASSERT_EQ(problems.size(), 2u);
  for (const SetupProblem& problem : problems) {
    EXPECT_EQ(problem.kind, SetupProblem::TextTooLong);
    EXPECT_EQ(problem.place.substr(0, folder.size() + 7), folder + "\\Fonts\\");
  }
  EXPECT_EQ(files.Names(folder + "\\Fonts"), Names{}) << "nothing is written under a cut name";
  EXPECT_EQ(PlacedIn(folder), (Names{"ACAD2010P.dll", "itextsharp.dll"}));
  EXPECT_EQ(Content(folder + "\\Drv\\pdfplot9.hdi"), "driver");

  // 246 characters: no destination fits; every file the package holds is
  // reported, the 42 DLLs it lacks stay as silent as ever.
  const std::string longer = "C:\\" + std::string(243, 'b');
  setup.acadFolders[2008 - kFirstYear] = {};
  Install(2008, longer);
  problems = InstallFor({2008});
  Names items;
  for (const SetupProblem& problem : problems) items.push_back(problem.item.substr(sizeof(kPackage)));
  EXPECT_EQ(items, (Names{"Velkor_EN.shx", "Velkor_HZ.shx", "itextsharp.dll", "ACAD2010P.dll", "Velkor.prt5"}));
  EXPECT_EQ(PlacedIn(longer), Names{});
}

}  // namespace

// AutoCAD's own driver and another add-on's PDF library are kept once
// before they are replaced, each under its own name; a reinstall replaces
// only what is ours and never writes over a kept original.
TEST_F(SupportFilesTest, OriginalsNotOursAreKeptOnceAndNeverOverwritten) {
  files.AddFolder("D:\\Tools\\V-VidudOvev");
  Install(2008, "C:\\AutoCAD 2008");
  Install(2010, "C:\\AutoCAD 2010");
  files.AddFile("C:\\AutoCAD 2008\\itextsharp.dll", "other add-on 2008");
  files.AddFile("C:\\AutoCAD 2010\\itextsharp.dll", "other add-on 2010");
  CInstallRecord record(files);
  record.Open("D:\\Tools\\V-VidudOvev");
  setup.record = &record;

  EXPECT_TRUE(InstallFor({2008, 2010}).empty());
  EXPECT_EQ(Content("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi"), "driver") << "still replaced";
  EXPECT_EQ(Content("C:\\AutoCAD 2010\\itextsharp.dll"), "pdf");
  const std::string backup = "D:\\Tools\\V-VidudOvev\\backup\\";
  EXPECT_EQ(files.Names("D:\\Tools\\V-VidudOvev\\backup"),
            (Names{"1_itextsharp.dll", "1_pdfplot9.hdi", "2_itextsharp.dll"}));
  ASSERT_EQ(record.backups.size(), 3u);
  EXPECT_EQ(record.backups[0].original, "C:\\AutoCAD 2008\\itextsharp.dll");
  EXPECT_EQ(Content(record.backups[0].kept), "other add-on 2008");
  EXPECT_EQ(Content(record.backups[1].kept), "autodesk");
  EXPECT_EQ(Content(record.backups[2].kept), "other add-on 2010");
  EXPECT_FALSE(record.Failed());

  // A reinstall with a new package: our files are replaced without a copy.
  Package("itextsharp.dll", "pdf 2");
  Package("Velkor.prt5", "driver 2");
  CInstallRecord again(files);
  again.Open("D:\\Tools\\V-VidudOvev");
  setup.record = &again;
  EXPECT_TRUE(InstallFor({2008, 2010}).empty());
  EXPECT_EQ(again.backups.size(), 3u);
  EXPECT_EQ(Content(backup + "1_pdfplot9.hdi"), "autodesk");
  EXPECT_EQ(Content(backup + "1_itextsharp.dll"), "other add-on 2008");
  EXPECT_EQ(Content("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi"), "driver 2");

  // Replaced by someone else since: that file is kept too, beside the first.
  files.AddFile("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi", "repaired by AutoCAD");
  EXPECT_TRUE(InstallFor({2008}).empty());
  EXPECT_EQ(Content(backup + "1_pdfplot9.hdi"), "autodesk");
  EXPECT_EQ(Content(backup + "2_pdfplot9.hdi"), "repaired by AutoCAD");
  setup.record = nullptr;
}

// A copy that cannot be kept is told, and the file is still replaced.
TEST_F(SupportFilesTest, AnOriginalThatCannotBeKeptIsReported) {
  files.AddFolder("D:\\Tools\\V-VidudOvev");
  Install(2008, "C:\\AutoCAD 2008");
  files.FailOn(MemoryFileSystem::Op::Copy, "D:\\Tools\\V-VidudOvev\\backup");
  CInstallRecord record(files);
  record.Open("D:\\Tools\\V-VidudOvev");
  setup.record = &record;
  const SetupProblems problems = InstallFor({2008});
  setup.record = nullptr;
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].kind, SetupProblem::BackupCopy);
  EXPECT_EQ(problems[0].place, "C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi");
  EXPECT_EQ(Content("C:\\AutoCAD 2008\\Drv\\pdfplot9.hdi"), "driver");
}
