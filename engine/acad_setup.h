// CAcadSetup, the setup engine: what the installer knows about the machine
// and the install steps that act on it.
//
// It owns the catalogue of AutoCAD installations found in the registry, one
// list per release 2007..2027 (release index = year - 2007), and the folder
// the add-on is installed into. ScanReleases fills the catalogue once at
// start-up; SetInstallFolder stores the target folder; the registration and
// support-file steps then read both in place.
//
// Operation groups, one file each:
//   catalogue.cpp      construction, SetInstallFolder
//   scan.cpp           ScanReleases, ScanWow6432Node, SearchValue
//   trusted_paths.cpp  AddTrustedPaths, ListSubkeys
//   demand_load.cpp    RegisterWithHosts, RegisterDemandLoad
//   deploy/support_files.cpp  InstallSupportFiles, CopySupportFiles (the
//                      files placed into AutoCAD's folders, beside the
//                      data copy)
//   other_edition.cpp  ReleasesForOtherEdition
//   installed_copy.cpp FindInstalledCopy
//   user_places.cpp    ChooseUserPlaces
//   uninstall/uninstall_entry.cpp  ChooseRecordFolder, RegisterUninstall
//                      (where the install keeps what undoes it)
// The steps report what they write to `record` when one is set
// (record/install_record.h).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/build_constants.h"
#include "engine/user_places.h"
#include "platform/registry.h"
#include "record/setup_problem.h"

class CInstallRecord;

namespace platform {
class Accounts;
class FileSystem;
class MessageOwner;
}  // namespace platform

// An ordered, growable list of strings. Indexed reads go through at(), which
// throws std::out_of_range (the invalid-argument error) outside the list.
using CStringList = std::vector<std::string>;

constexpr int kFirstYear = 2007;
constexpr int kLastYear = 2027;
constexpr int kReleaseCount = kLastYear - kFirstYear + 1;  // 21

// Year of a product name such as "AutoCAD 2010": the first of the years
// firstYear..lastYear, in ascending order, whose four digits first occur at
// byte position 1 or later; 0 when none does.
int RecogniseYear(const std::string& productName, int firstYear, int lastYear);

// Whether the edition of `bits` offers release `year`: the 32-bit edition
// serves 32-bit AutoCAD 2007..2016, the 64-bit edition 64-bit AutoCAD of
// every year.
inline bool EditionServes(int bits, int year) { return bits == 64 || year <= 2016; }

// What an earlier install says of itself in its Programs and Features
// entry (this program's registry view: HKEY_LOCAL_MACHINE, else
// HKEY_CURRENT_USER).
struct InstalledCopy {
  bool found = false;  // an entry is there
  int version = 0;     // its DisplayVersion as yyyymmdd; 0 when unreadable
  std::string folder;  // the folder chosen then (InstallLocation less \V-VidudOvev); empty when unreadable
  bool machineWide = false;  // the entry is the machine's (HKEY_LOCAL_MACHINE), not an account's own
};

// "2026.08.01" as 20260801; 0 for anything else. VersionText: the other way.
int ParseVersionText(const std::string& text);
std::string VersionText(int number);

// The common application-data folder: %ProgramData% from Vista on; XP has
// no such variable and keeps it below the all-users profile. Empty when
// neither is set.
std::string CommonAppData(platform::FileSystem& files);

// Appends to `names`, in enumeration order, every direct sub-key of `key`
// that can be opened for reading.
void ListSubkeys(platform::Registry& registry, platform::RegKey key, CStringList& names);

class CAcadSetup {
 public:
  // `editionBits` decides the two extra demand-load entries of the 64-bit
  // edition; tests pass either value.
  CAcadSetup(platform::Registry& registry, platform::FileSystem& files, platform::MessageOwner& owner,
             int bits = ::editionBits);
  CAcadSetup(const CAcadSetup&) = delete;
  CAcadSetup& operator=(const CAcadSetup&) = delete;

  // installFolder := folder with one trailing backslash cut off. An empty
  // folder is stored as it is.
  void SetInstallFolder(std::string folder);

  // Fills acadFolders and releaseKeys from HKEY_LOCAL_MACHINE: first the
  // Wow6432Node root (2007..2010), then the native root (2007..2027).
  // Keys and values it cannot read are noted in scanProblems.
  void ScanReleases();
  void ScanWow6432Node();

  // For a machine on which this edition has nothing to offer: the years of
  // the releases the other edition would offer, ascending (empty: none,
  // as far as can be read). First those this scan found but this edition
  // does not serve; when it found nothing, what the other edition's scan
  // finds through the other registry view (the 32-bit edition on 64-bit
  // Windows looks at the 64-bit keys, the 64-bit edition at the 32-bit
  // ones). Reads only: the catalogue stays as the scan left it.
  std::vector<int> ReleasesForOtherEdition();

  // Appends installFolder to "TRUSTEDPATHS" of every AutoCAD profile in the
  // hive of userPlaces (the current user's by default), then in those of
  // otherUsers; problems it meets are appended to `problems`.
  void AddTrustedPaths(SetupProblems* problems = nullptr);

  // Writes the demand-load entries of each selected release (flags in
  // release index order, nonzero = selected), then AddTrustedPaths.
  SetupProblems RegisterWithHosts(int f2007, int f2008, int f2009, int f2010, int f2011, int f2012, int f2013,
                                  int f2014, int f2015, int f2016, int f2017, int f2018, int f2019, int f2020,
                                  int f2021, int f2022, int f2023, int f2024, int f2025, int f2026, int f2027);
  void RegisterDemandLoad(int year, SetupProblems* problems = nullptr);

  // Places fonts, the PDF library, the per-release DLLs and (2008) the
  // plotter driver into every AutoCAD folder of each selected release.
  SetupProblems InstallSupportFiles(int f2007, int f2008, int f2009, int f2010, int f2011, int f2012, int f2013,
                                    int f2014, int f2015, int f2016, int f2017, int f2018, int f2019, int f2020,
                                    int f2021, int f2022, int f2023, int f2024, int f2025, int f2026, int f2027);
  void CopySupportFiles(std::string acadFolder, bool withDriver, SetupProblems* problems = nullptr);

  // Sets userPlaces for an install: the desktop user's hive and
  // application-data folder when the program runs raised as another
  // account, the running account's own otherwise. Unreachable (userPlaces
  // then the running account's) when the desktop user's cannot be found or
  // opened: installing would serve the wrong account.
  UserChoice ChooseUserPlaces(platform::Accounts& accounts);

  // The earlier install's entry, read only.
  InstalledCopy FindInstalledCopy();
  // The folder the other edition is installed in on this machine (as
  // InstalledCopy::folder): its machine-wide entry in the other registry
  // view, when that entry says it is the other edition's (an entry without
  // the mark, or this edition's own as 32-bit Windows shows it through
  // both views, counts as none). Empty when there is none.
  std::string OtherEditionFolder();
  // Drops from the catalogue every release key whose module entry loads
  // from the other edition's install (OtherEditionFolder): on 64-bit
  // Windows both editions reach 32-bit AutoCAD 2007-2010, and two installs
  // serving one AutoCAD would share its entries and support files, so
  // that either uninstall took the other's. The edition installed first
  // keeps such a release. A year left without keys is not offered.
  void LeaveOtherEditionsReleases();

  // Where an install into `target` (the folder ending in \V-VidudOvev)
  // keeps its record, the originals it replaces and its uninstaller. Not
  // elevated: `target` itself. Elevated: a folder only administrators and
  // SYSTEM can write, <common application data>\V-VidudOvev\<16 hex
  // digits of the FNV-1a 64 of the upper-cased target>, so that no other
  // user can swap what an administrator will run. Both levels are made
  // with their access list (kRecordAccess) at creation; one there that is
  // not ours is moved aside, and nothing in it is taken over. When that
  // folder cannot be had: empty, and a RecordFolder problem. Never a place
  // others may write, since the machine's Programs and Features entry
  // would name it.
  std::string ChooseRecordFolder(const std::string& target, bool elevated, SetupProblems* problems = nullptr);

  // After the copy and registration steps: copies the running program to
  // <recordFolder>\Uninstall.exe (replacing an older one) and notes it in
  // `record`, then writes the Programs and Features entry for installFolder
  // under HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER when the machine's key
  // cannot be written, and notes it too. Its values: the name and the
  // publisher in UTF-16, the version from versionNumber, the folder, the
  // uninstaller as icon and command ("/uninstall", quiet with " /S"), the
  // package's size in KiB, and no modify or repair. Each failure (the copy,
  // the entry) is one problem; no entry is written without an uninstaller.
  void RegisterUninstall(const std::string& recordFolder, SetupProblems* problems = nullptr);

  // Where the install notes what it writes and keeps the originals it
  // replaces; none (nothing is noted) unless the install command sets one.
  CInstallRecord* record = nullptr;

  // Where the per-user parts of the install go; the running account's
  // until ChooseUserPlaces says otherwise.
  UserPlaces userPlaces;
  // An elevated run's other users: every account signed in now (its hive
  // loaded below HKEY_USERS) beside userPlaces', each with its own hive
  // and settings folder. Empty for a run that is not elevated.
  std::vector<UserPlaces> otherUsers;

  // Set for the sign-in run (/peruser): a list that names installFolder
  // already is left as it is and not noted, since whoever wrote it there
  // (the machine's install, for an account signed in then, or the user)
  // is the one to take it out again.
  bool leaveListsNamingFolder = false;

  // The catalogue, read in place by the dialog and the install steps.
  std::string installFolder;
  std::array<CStringList, kReleaseCount> acadFolders;
  std::array<CStringList, kReleaseCount> releaseKeys;
  // What the scan could not read (missing keys and values are no failure),
  // for the install command to tell the user with the install's problems.
  SetupProblems scanProblems;
  // Work members of the key-tree search.
  std::string valueName = "AcadLocation";
  CStringList foundKeys;
  CStringList foundValues;

  int EditionBits() const { return editionBits_; }

 private:
  // ChooseUserPlaces' choice of userPlaces.
  UserChoice ChooseMainUser(platform::Accounts& accounts);
  // AddTrustedPaths for userPlaces alone.
  void AddTrustedPathsOf(SetupProblems* problems);
  void ScanRoot(const char* rootPath, const char* prefixFormat, int lastYear);
  void SearchValue(platform::RegKey parent, const char* name, std::string relativePath, std::string basePath);

  platform::Registry& registry_;
  platform::FileSystem& files_;
  platform::MessageOwner& owner_;
  int editionBits_;
};
