// The release scan against the real registry under Wine, from the same
// fixture as the in-memory world, imported with regedit. A 32-bit test on
// 64-bit Windows starts the 32-bit regedit, which files both roots below
// Wow6432Node; the double takes the fixture through the same view.
#include <gtest/gtest.h>

#include "engine/acad_setup.h"
#include "platform/memory/memory_registry.h"
#include "platform/registry.h"
#include "tests/support/fixtures.h"
#include "tests/support/null_files.h"
#include "tests/support/scan_expectations.h"
#include "tests/support/scripted_owner.h"

namespace {

// A scan of the real registry after regedit has imported `fixture`.
class ScanWine : public ::testing::Test {
 protected:
  void ScanAfterImport(const std::string& fixture) {
    ASSERT_EQ(testing_support::ImportWithRegedit(testing_support::FixturePath(fixture)), 0);
    setup.ScanReleases();
    // The same machine in memory, written and seen by a process of this
    // test's bitness.
    memory.SetView(sizeof(void*) == 4 ? platform::MemoryRegistry::View::Wow64
                                      : platform::MemoryRegistry::View::Native64);
    testing_support::LoadRegFixture(memory, fixture);
    inMemory.ScanReleases();
  }
  // The real scan's catalogue is the double's, entry by entry.
  void ExpectSameAsInMemory() {
    for (int k = 0; k < kReleaseCount; ++k) {
      std::string filed;
      for (std::size_t n = 0; n < setup.acadFolders[k].size(); ++n) {
        filed += " [" + setup.releaseKeys[k].at(n) + " " + setup.acadFolders[k].at(n) + "]";
      }
      SCOPED_TRACE("release " + std::to_string(kFirstYear + k) + ", filed:" + filed);
      ASSERT_EQ(setup.acadFolders[k].size(), inMemory.acadFolders[k].size());
      for (std::size_t n = 0; n < setup.acadFolders[k].size(); ++n) {
        EXPECT_EQ(setup.releaseKeys[k].at(n), inMemory.releaseKeys[k].at(n));
        EXPECT_EQ(setup.acadFolders[k].at(n), inMemory.acadFolders[k].at(n));
      }
    }
  }
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup{platform::SystemRegistry(), files, owner};
  platform::MemoryRegistry memory;
  CAcadSetup inMemory{memory, files, owner};
};

TEST_F(ScanWine, FilesTheMachineFixture) {
  ScanAfterImport("machine_scan.reg");
  ExpectSameAsInMemory();
  if (sizeof(void*) == 8) {
    testing_support::ExpectMachineScanCatalogue(setup);
  } else {
    // Through the redirector both roots are Wow6432Node: the 2010 products
    // there, met by both passes, the first pass's first.
    ASSERT_EQ(setup.acadFolders[3].size(), 4u);
    EXPECT_EQ(setup.releaseKeys[3].at(0), "SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\");
    EXPECT_EQ(setup.releaseKeys[3].at(2), "SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\");
    EXPECT_EQ(setup.acadFolders[3].at(0), setup.acadFolders[3].at(2));
  }
}

TEST_F(ScanWine, NoRootsRecordNothing) {
  ScanAfterImport("empty_machine.reg");
  for (int k = 0; k < kReleaseCount; ++k) EXPECT_TRUE(setup.acadFolders[k].empty()) << k;
}

}  // namespace
