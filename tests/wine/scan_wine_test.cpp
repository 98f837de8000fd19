// The release scan against the real registry under Wine, from the same
// fixture as the in-memory world, imported with regedit.
#include <gtest/gtest.h>

#include "engine/acad_setup.h"
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
  }
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup{platform::SystemRegistry(), files, owner};
};

TEST_F(ScanWine, FilesTheMachineFixture) {
  ScanAfterImport("machine_scan.reg");
  testing_support::ExpectMachineScanCatalogue(setup);
}

TEST_F(ScanWine, NoRootsRecordNothing) {
  ScanAfterImport("empty_machine.reg");
  for (int k = 0; k < kReleaseCount; ++k) EXPECT_TRUE(setup.acadFolders[k].empty()) << k;
}

}  // namespace
