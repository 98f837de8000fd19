// UserPlaces: where the per-user parts of an install go, the trusted paths
// (a registry hive) and the settings file (an application-data folder).
// By default they are the running account's own, HKEY_CURRENT_USER and
// APPDATA; when the program was raised to run as another account than the
// desktop's ("Run as administrator" on a standard account), they are the
// desktop user's, whose AutoCAD the install is for. The machine-wide parts
// (HKEY_LOCAL_MACHINE, AutoCAD's folders, the target folder) are the same
// for every account and are not named here.
//
// CAcadSetup owns the one UserPlaces of a run (userPlaces) and chooses it
// with ChooseUserPlaces (engine/user_places.cpp); the trusted paths and the
// data copy read it.
#pragma once

#include <string>

#include "platform/registry.h"

namespace platform {
class FileSystem;
}  // namespace platform

struct UserPlaces {
  platform::RegKey root = platform::kCurrentUser;
  // The hive's key below `root`, the user's SID below HKEY_USERS; empty
  // when `root` is the hive itself.
  std::string hive;
  // The application-data folder; empty: the APPDATA variable, as the
  // running account's own.
  std::string appData;
  // The SID of the account whose hive this is, `hive` or, for the running
  // account's own, its token's user; empty when that cannot be read.
  std::string sid;
  // No user to serve: a run as SYSTEM (a deployment tool's) with nobody
  // signed in. SYSTEM's own hive and profile are no CAD user's, so the
  // per-user parts are left out, not written there.
  bool nobody = false;

  // The sub-key of `root` for `path` below the hive, and the hive itself
  // (null for `root`, as RegOpenKeyA takes it).
  std::string KeyPath(const std::string& path) const { return hive.empty() ? path : hive + "\\" + path; }
  const char* HiveKey() const { return hive.empty() ? nullptr : hive.c_str(); }
  // "HKEY_CURRENT_USER" or "HKEY_USERS\<SID>", for messages.
  std::string HiveName() const { return hive.empty() ? "HKEY_CURRENT_USER" : "HKEY_USERS\\" + hive; }
  // "HKEY_USERS\<SID>" always, for the install record: a later uninstall
  // may run as another account (SYSTEM, an administrator), to which
  // HKEY_CURRENT_USER is its own hive. Empty when the SID is unknown.
  std::string RecordHiveName() const { return sid.empty() ? std::string() : "HKEY_USERS\\" + sid; }
  // The application-data folder; empty when APPDATA is not set.
  std::string AppDataFolder(platform::FileSystem& files) const;
};

// Whose places ChooseUserPlaces took, and the accounts it saw, for the
// install command's refusal.
struct UserChoice {
  enum Outcome {
    OwnAccount,      // the running account's: not raised, or the same account as the desktop's
    DesktopAccount,  // the desktop user's hive and folder
    Unreachable,     // another account's desktop whose hive or folder cannot be found or opened
    NoUser,          // SYSTEM with no desktop shell: nobody's per-user parts (UserPlaces::nobody)
  };
  Outcome outcome = OwnAccount;
  std::string processAccount;  // "DOMAIN\name" of the running account
  std::string desktopAccount;  // of the desktop's; empty when it cannot be read
};
