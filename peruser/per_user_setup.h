// The per-user parts for every account of the machine, later as well as
// now. An elevated install serves the accounts signed in while it runs
// (CAcadSetup::otherUsers); every other account gets the trusted paths and
// the settings file from Windows' Active Setup: at each sign-in, Explorer
// runs a component's StubPath once, as the account signing in, when that
// account's copy of the component's Version (below HKEY_CURRENT_USER) is
// missing or lower than the machine's.
//
// The component, in the edition's registry view (the 32-bit edition's
// lies below Wow6432Node, which Explorer reads as well):
//   HKLM\SOFTWARE\Microsoft\Active Setup\Installed Components\V-VidudOvev-<bits>
//     (default)    the program's name (UTF-16)
//     StubPath     REG_EXPAND_SZ  "<stub folder>\Uninstall.exe" /peruser
//     Version      "yyyy,mmdd,hhmm,ss" of the run that armed it; when that
//                  is not above the Version there, that one with its last
//                  number raised: every arming reaches every account again
//     IsInstalled  1
// The stub folder, <common application data>\V-VidudOvev\PerUser-<bits>, is
// made with a program folder's access list (only administrators and SYSTEM
// write; users read and run), so nobody but an administrator can change
// what every account runs at sign-in. It holds the program (Uninstall.exe),
// the package's settings file (Velkor.Ini, when the package has one), and
// peruser.txt, which says what the sign-in run does:
//   VidudOvev per-user 1
//   apply | remove
//   <install folder>            (the folder with \V-VidudOvev, code page bytes)
// The machine's install arms it to apply; the machine's uninstall arms it
// again to remove, with a higher Version, so that every account that got
// the parts loses them at its next sign-in. The component and the stub
// folder stay after the uninstall for that, and the next install takes
// them over.
//
// The sign-in run (RunPerUser) serves the account it runs as, never
// elevated, never a box, and keeps its own record in
// %APPDATA%\V-VidudOvev-<bits> (install_record.txt, as CInstallRecord):
//  - apply: a record of another install folder is undone first; then the
//    folder goes into every AutoCAD profile of the account whose list does
//    not name it yet (a list that names it is left as it is: its writer
//    takes it out), and the settings file into %APPDATA%\Velkor when the
//    account has none;
//  - remove: the record is undone as the uninstall undoes the machine's (a
//    list still as written gets its earlier value back, byte for byte; one
//    changed since loses only this folder) and goes with its folder.
//  - AutoCAD makes an account's profile keys at that account's first start
//    of a release, often after the sign-in that ran the stub. While a
//    release this edition serves has no profile in the account's hive, the
//    run puts itself into the account's RunOnce, to run again at the next
//    sign-in; the account is served at the latest then.
//  - A profile the machine's uninstall could not reach, its user signed
//    out then, is handed over to that user's sign-in: the uninstall notes
//    it in <stub folder>\<SID>\install_record.txt, a folder only that
//    user may read besides administrators and SYSTEM, and the user's next
//    sign-in puts the list back from it, byte for byte, as the uninstall
//    would have (the file stays: the user cannot delete it, and its undo
//    changes nothing a second time).
// A run as SYSTEM, or without APPDATA, serves nobody.
#pragma once

#include <string>

#include "record/install_record.h"
#include "record/setup_problem.h"

class CAcadSetup;

namespace platform {
class Accounts;
class FileSystem;
class Registry;
}  // namespace platform

constexpr char kActiveSetupComponents[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
constexpr char kPerUserFacts[] = "peruser.txt";
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// "V-VidudOvev-32" or "V-VidudOvev-64": the component's key name, and the
// account's RunOnce value.
std::string PerUserComponentId(int bits);
// <common application data>\V-VidudOvev\PerUser-<bits>; empty when the
// common folder is unknown.
std::string PerUserStubFolder(platform::FileSystem& files, int bits);
// The account's own record folder, %APPDATA%\V-VidudOvev-<bits>; empty
// without APPDATA.
std::string PerUserRecordFolder(platform::FileSystem& files, int bits);

// The Version to write: `stamp` when it is above `previous` (both as up to
// four decimal numbers separated by commas, compared number by number, a
// missing or unreadable number counting 0), otherwise `previous` with its
// fourth number raised by one.
std::string RaisedVersion(const std::string& previous, const std::string& stamp);

// What the sign-in run is told to do.
struct PerUserFacts {
  bool remove = false;
  std::string installFolder;
};
// Reads peruser.txt; false for anything but the three lines above with a
// plain full path (the file is the administrators', but a run that cannot
// trust it does nothing).
bool ParsePerUserFacts(const std::string& bytes, PerUserFacts* facts);
std::string SerialisePerUserFacts(const PerUserFacts& facts);

// An elevated run's arming: makes the stub folder (MakeOwnedFolder with the
// program folder's list), copies the running program and `settingsFile`
// (when not empty and there) into it, writes peruser.txt, then the
// component with its Version raised past `stamp`. For the uninstall
// (`facts.remove`), nothing is done unless the stub folder holds facts
// already. Each step that fails is one problem, and nothing later is
// written: a component never names a stub that is not there.
void ArmPerUserSetup(platform::Registry& registry, platform::FileSystem& files, int bits, const PerUserFacts& facts,
                     const std::string& settingsFile, const std::string& stamp, SetupProblems* problems);

// The machine's uninstall, for a profile in the hive of a user signed out:
// notes `item` for that user's next sign-in, when the stub is armed (an
// install left its facts) and the folder for that SID can be had with its
// own list. An earlier note for another install folder is replaced. False
// when nothing was noted: the item is then the uninstall's to leave.
bool HandOverToSignIn(platform::FileSystem& files, int bits, const CInstallRecord::TrustedItem& item,
                      const std::string& installFolder);

// The sign-in run, from the machine's stub folder: the exit code
// (SetupExit): NothingToRemove when the program runs from anywhere else
// (a copy serves nobody) or no facts are there, Installed when
// done (or nobody to serve), InstalledWithProblems when a list or the
// record could not be written.
struct PerUserWorld {
  platform::Registry& registry;
  platform::FileSystem& files;
  platform::Accounts& accounts;
  CAcadSetup& setup;  // its scan and its trusted-path step
};
int RunPerUser(const PerUserWorld& world, SetupProblems* problems);
