// In-memory accounts; see memory_accounts.h.
#include "platform/memory/memory_accounts.h"

namespace platform {

void MemoryAccounts::RunAsAdministrator(const Account& administrator, const Account& desktop) {
  processUser = administrator;
  desktopUser = desktop;
  desktopLookup = DesktopLookup::Found;
  elevated = true;
}

bool MemoryAccounts::ProcessUser(Account* user) {
  if (!processReadable) return false;
  *user = processUser;
  return true;
}

DesktopLookup MemoryAccounts::DesktopUser(Account* user) {
  if (desktopLookup == DesktopLookup::Found) *user = desktopUser;
  return desktopLookup;
}

}  // namespace platform
