// The accounts family: who the program runs as, who owns the desktop it
// shows on, and whether the program runs elevated. "Run as administrator"
// on a standard account runs the program as another (administrator)
// account: HKEY_CURRENT_USER and APPDATA are then that account's, not the
// desktop user's, whose AutoCAD the install is for.
//
// Two implementations: the system's (platform/win32) and an in-memory one
// (platform/memory) for tests, where the two accounts may differ.
//
// Contract shared by every implementation:
//  - an account is named by its SID in string form ("S-1-5-21-...") and,
//    for people, as "DOMAIN\name" (CP936 bytes); where the name cannot be
//    looked up, the SID stands for it;
//  - two accounts are the same when their SIDs are (compare ignoring case).
#pragma once

#include <string>

namespace platform {

struct Account {
  std::string sid;   // "S-1-5-21-..."
  std::string name;  // "DOMAIN\name", or the SID when it has no name
};

// The kind of token the process runs with (TokenElevationType). With UAC,
// an administrator's programs run with a filtered token (Limited) unless
// started elevated (Full); Default is a token with no linked one: a
// standard account, UAC off, the built-in Administrator, SYSTEM, and every
// system without elevation (Windows XP).
enum class ElevationType { Default, Full, Limited };

// The SID of the local system account, which deployment tools run as.
inline constexpr char kSystemSid[] = "S-1-5-18";

// What a look-up of the desktop's user found.
enum class DesktopLookup {
  Found,     // the shell window's owner is in the account
  NoShell,   // no shell window: no desktop shell runs, so no desktop user
  Unreadable // a shell window whose process or owner cannot be read
};

class Accounts {
 public:
  virtual ~Accounts() = default;

  // The user of the process's own token (TokenUser). False when the token
  // cannot be read; `user` is then untouched.
  virtual bool ProcessUser(Account* user) = 0;

  // The desktop's user: the owner of the process of the shell window
  // (GetShellWindow, GetWindowThreadProcessId, that process's TokenUser).
  // `user` is set only for Found.
  virtual DesktopLookup DesktopUser(Account* user) = 0;

  // True when the process runs with administrator rights it was raised to:
  // an elevated token (TokenElevation), or, on systems without elevation
  // (Windows XP), membership of the Administrators group.
  virtual bool IsElevated() = 0;

  // The token's elevation type; Default when it cannot be read.
  virtual ElevationType Elevation() = 0;
};

// Whether the process runs as the local system account.
inline bool RunsAsSystem(Accounts& accounts) {
  Account user;
  return accounts.ProcessUser(&user) && (user.sid == kSystemSid || user.sid == "s-1-5-18");
}

// The running system's accounts (Windows only).
Accounts& SystemAccounts();

}  // namespace platform
