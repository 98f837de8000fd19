// CUninstall: takes an install back out, from its record (CInstallRecord),
// and says what it removed and what it left and why (UninstallResult).
//
// It acts only in the places it can confirm as the install's
// (uninstall/uninstall_places.h): the record's word alone moves nothing.
// An item anywhere else stays untouched, in the record, and is told
// (UninstallLeft::Outside). A file is checked and deleted through one
// handle (FileSystem::RemoveIfOurs), so nothing can be swapped in between.
//
// What it undoes, in this order, each item on its own: a failure (a locked
// file, a denied key) is noted and the rest goes on.
//  - Demand-load entries: an entry is deleted while its LOADER still names
//    this install folder. The managed DLL's entry names AutoCAD's folder;
//    it goes with the product's module entries, and stays with them when a
//    later install into another folder rewrote them. An Applications key
//    the record says the install made goes too when left empty; one that
//    was there before stays, empty or not.
//  - TRUSTEDPATHS: a list still exactly as written gets back the value
//    found before (type and bytes), or the value is deleted, and with it
//    the Variables key when the install made it and nothing else is in it.
//    A list changed since loses only this folder's element, compared
//    ignoring case; every other byte stays. A profile under
//    HKEY_USERS\<SID> whose hive is not loaded (its user signed out) is
//    left, HiveNotLoaded: it may still trust the folder; unless it can be
//    handed over to that user's next sign-in (CUninstall::HandOverSignedOut),
//    which then puts it back.
//  - Files: each file placed that still holds what was written is deleted,
//    and a kept original put back in its place; a file changed since is
//    left, and its kept original with it. The support files in the folder
//    of an AutoCAD whose entries a later install took over stay for that
//    install (with a kept original, for a later run). The settings file
//    under APPDATA is the user's and is never removed.
//  - Folders: the backup folder, the record folder and the install folder,
//    when empty, and the folders above it the install made, when empty
//    (one the user has put anything into since stays, without a word).
//    One file is left alone for the caller: the uninstaller that runs (a
//    running program cannot delete itself). A folder that holds only that
//    file, or only such folders, is left to the caller too
//    (foldersAfterProgram).
//  - The Programs and Features entry, last, and only when nothing else is
//    left and its UninstallString still names this record folder's
//    Uninstall.exe: while items are left, the entry stays so that the
//    uninstall can be run again.
// The record is then deleted, or, when anything is left, written again
// holding only what is left (the uninstaller stays beside it), through a
// flushed file moved over it, so that a power loss leaves one record whole.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "record/install_record.h"

namespace platform {
class FileSystem;
class Registry;
}  // namespace platform

struct UninstallLeft {
  enum Reason {
    Failed,        // the call failed with `error`
    Changed,       // changed by someone else since the install: not ours to remove
    NotEmpty,      // a folder that holds what is not ours
    KeptOriginal,  // a kept original left in the backup folder beside a changed file
    Outside,       // the record names a place the uninstall cannot confirm as the install's
                   // (uninstall_places.h): left untouched
    Unreadable,    // the record is there but cannot be read: nothing was done
    HiveNotLoaded, // a profile in the hive of a user who is not signed in: not reached
  };
  Reason reason;
  std::string place;  // file path, or registry key path (root name first)
  std::string item;   // the value's name for a registry place; empty for files
  long error = 0;
};

struct UninstallResult {
  bool recordFound = false;
  int filesRemoved = 0;       // package and support files deleted
  int originalsRestored = 0;  // kept originals put back
  int loadersRemoved = 0;     // demand-load entries deleted
  int trustedRestored = 0;    // profiles whose TRUSTEDPATHS was restored or had this folder taken out
  int handedOver = 0;         // profiles of users signed out, left to their next sign-in
  bool entryRemoved = false;  // the Programs and Features entry
  std::vector<UninstallLeft> left;
  std::string settingsFile;  // kept; empty when the install placed none
  // Folders that hold only the running uninstaller, in the order to remove
  // them once it has gone.
  std::vector<std::string> foldersAfterProgram;
};

// SetupExit::NothingToRemove without a record, RemovedWithItemsLeft when
// anything was left, Installed (0) when everything was removed.
int UninstallExitCode(const UninstallResult& result);

class CUninstall {
 public:
  CUninstall(platform::Registry& registry, platform::FileSystem& files) : registry_(registry), files_(files) {}

  // Undoes the install whose record lies in `recordFolder` (no trailing
  // backslash). A folder that is no plain full path (platform/text.h) is
  // refused: nothing is read or done, and recordFound stays false. `runningProgram`, a full path, is never removed; empty:
  // no file is spared.
  UninstallResult Run(const std::string& recordFolder, const std::string& runningProgram);

  // For an account's own record, kept by the sign-in run (peruser/), whose
  // folder is no install's: the install folder the machine's stub names,
  // which the administrators wrote. The record's lists lose it when the
  // record names it too; nothing else is agreed on.
  void TakeListsOf(const std::string& installFolder) { listsFolder_ = installFolder; }

  // A profile in the hive of a user who is not signed in: `handOver` takes
  // the item (and the install folder) for that user's next sign-in, and
  // gives true when it has; the item is then neither left nor kept.
  using HandOver = std::function<bool(const CInstallRecord::TrustedItem& item, const std::string& installFolder)>;
  void HandOverSignedOut(HandOver handOver) { handOver_ = std::move(handOver); }

 private:
  std::string listsFolder_;
  HandOver handOver_;
  platform::Registry& registry_;
  platform::FileSystem& files_;
};
