// Host registration against the real registry under Wine: the shared cases,
// their fixtures imported with regedit.
#include <gtest/gtest.h>

#include "platform/accounts.h"
#include "platform/reg_file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"
#include "tests/support/fixtures.h"
#include "tests/support/registration_cases.h"

namespace {

struct SystemWorld {
  // The fixtures empty both Autodesk trees before they fill them; the last
  // case's keys are removed too, so the prefix is left as found.
  ~SystemWorld() {
    platform::DeleteKeyTree(Registry(), platform::kCurrentUser, "SOFTWARE\\Autodesk");
    platform::DeleteKeyTree(Registry(), platform::kLocalMachine, "SOFTWARE\\Autodesk");
  }
  platform::Registry& Registry() { return platform::SystemRegistry(); }
  void Load(const std::string& name) {
    ASSERT_EQ(testing_support::ImportWithRegedit(testing_support::FixturePath(name)), 0) << name;
  }
};

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(Wine, RegistrationCases, SystemWorld);

// Wine has one account: the program's own is the desktop's, if a desktop
// shell runs at all, and the install serves it through HKEY_CURRENT_USER.
TEST(WineAccounts, TheProgramsAccountIsTheDesktopsOwn) {
  platform::Accounts& accounts = platform::SystemAccounts();
  platform::Account process, desktop;
  ASSERT_TRUE(accounts.ProcessUser(&process));
  EXPECT_EQ(process.sid.rfind("S-1-5-", 0), 0u) << process.sid;
  EXPECT_FALSE(process.name.empty());
  const platform::DesktopLookup lookup = accounts.DesktopUser(&desktop);
  EXPECT_NE(lookup, platform::DesktopLookup::Unreadable);
  if (lookup == platform::DesktopLookup::Found) {
    EXPECT_TRUE(platform::EqualsNoCase(desktop.sid, process.sid)) << desktop.sid << " " << process.sid;
  }
  // The running account's hive is loaded below HKEY_USERS under its SID.
  platform::ScopedRegKey hive(platform::SystemRegistry());
  EXPECT_EQ(platform::SystemRegistry().OpenKeyRead(platform::kUsers, process.sid.c_str(), hive.Receive()), 0)
      << process.sid;

  NullFileSystem files;
  ScriptedOwner owner;
  CAcadSetup setup(platform::SystemRegistry(), files, owner);
  const UserChoice choice = setup.ChooseUserPlaces(accounts);
  EXPECT_EQ(choice.outcome, UserChoice::OwnAccount);
  EXPECT_EQ(setup.userPlaces.HiveName(), "HKEY_CURRENT_USER");
  EXPECT_EQ(setup.userPlaces.appData, "");
}
}  // namespace testing_support
