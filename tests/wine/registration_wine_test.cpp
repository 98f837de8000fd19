// Host registration against the real registry under Wine: the shared cases,
// their fixtures imported with regedit.
#include <gtest/gtest.h>

#include "platform/reg_file.h"
#include "platform/registry.h"
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
}  // namespace testing_support
