// In-memory accounts, for tests of an install run by another account than
// the desktop's: both accounts and the elevation are set directly, and each
// look-up can be made to fail. By default the program runs, not elevated,
// as the desktop's own user.
#pragma once

#include "platform/accounts.h"

namespace platform {

class MemoryAccounts final : public Accounts {
 public:
  Account processUser{"S-1-5-21-1004336348-1177238915-682003330-1001", "CAD-PC\\cad"};
  Account desktopUser = processUser;
  DesktopLookup desktopLookup = DesktopLookup::Found;
  bool processReadable = true;
  bool elevated = false;
  ElevationType elevation = ElevationType::Default;

  // The program started with "Run as administrator" from the desktop of
  // `desktop`, running as `administrator`.
  void RunAsAdministrator(const Account& administrator, const Account& desktop);

  bool ProcessUser(Account* user) override;
  DesktopLookup DesktopUser(Account* user) override;
  bool IsElevated() override { return elevated; }
  ElevationType Elevation() override { return elevation; }
};

}  // namespace platform
