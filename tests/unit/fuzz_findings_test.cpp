// Inputs the fuzz targets (tests/fuzz) found, each reduced to the case it
// shows.
#include <gtest/gtest.h>

#include "engine/acad_setup.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"
#include "platform/text.h"
#include "tests/support/scripted_owner.h"

namespace {

// scan_fuzz: an AcadLocation ending in two backslashes ("D:\\", "C:\CAD
// 2010\\") is filed with one of them, as the scan cuts one trailing
// backslash only. The paths built on it then hold a doubled separator,
// which Windows reads as one: the support files and the loader entry still
// name the AutoCAD folder.
TEST(FuzzFindings, AFolderEndingInTwoBackslashesStillReceivesItsFiles) {
  platform::MemoryRegistry registry;
  platform::MemoryFileSystem files;
  testing_support::ScriptedOwner owner;
  std::string error;
  ASSERT_TRUE(platform::ImportRegText(registry,
                                      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804]\n"
                                      "\"AcadLocation\"=\"C:\\\\CAD 2010\\\\\\\\\"\n\"ProductName\"=\"AutoCAD 2010\"\n",
                                      &error))
      << error;
  files.SetModulePath("E:\\Plot\\SetUp.exe");
  for (const char* name : {"Velkor_EN.shx", "ACAD2010P.dll"}) files.AddFile(std::string("E:\\Plot\\Data\\") + name, name);
  files.AddFolder("C:\\CAD 2010\\Fonts");

  CAcadSetup setup(registry, files, owner, 32);
  setup.ScanReleases();
  ASSERT_EQ(setup.acadFolders[2010 - kFirstYear].size(), 1u);
  EXPECT_EQ(setup.acadFolders[2010 - kFirstYear].at(0), "C:\\CAD 2010\\");
  setup.SetInstallFolder("D:\\Tools\\V-VidudOvev");
  const SetupProblems problems = setup.InstallSupportFiles(0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(problems.empty());
  EXPECT_TRUE(files.Exists("C:\\CAD 2010\\Fonts\\Velkor_EN.shx"));
  EXPECT_TRUE(files.Exists("C:\\CAD 2010\\ACAD2010P.dll"));
  EXPECT_TRUE(owner.shown.empty());
}

}  // namespace
