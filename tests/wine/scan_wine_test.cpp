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

TEST(ScanWine, FilesTheMachineFixture) {
  ASSERT_EQ(testing_support::ImportWithRegedit(testing_support::FixturePath("machine_scan.reg")), 0);
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup(platform::SystemRegistry(), files, owner);
  setup.ScanReleases();
  testing_support::ExpectMachineScanCatalogue(setup);
}

TEST(ScanWine, NoRootsRecordNothing) {
  ASSERT_EQ(testing_support::ImportWithRegedit(testing_support::FixturePath("empty_machine.reg")), 0);
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup(platform::SystemRegistry(), files, owner);
  setup.ScanReleases();
  for (int k = 0; k < kReleaseCount; ++k) EXPECT_TRUE(setup.acadFolders[k].empty()) << k;
}

}  // namespace
