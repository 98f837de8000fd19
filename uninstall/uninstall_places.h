// UninstallPlaces: the places an uninstall may change, worked out from what
// it can check on the machine, never from the record's word alone.
//
// An uninstall runs with the rights of whoever starts it, an administrator
// or SYSTEM among them, and its record may have been written by someone
// else. So every file, folder and key the record names is held against
// these places, and anything outside them is left untouched (and told as
// UninstallLeft::Outside):
//  - the install folder, when the record folder agrees on it: it is the
//    record folder itself (an install without administrator rights keeps
//    its record there), or the record folder is the protected one made for
//    it (its name is the hash ChooseRecordFolder gives), and the Programs
//    and Features entry, when it still names this record folder's
//    uninstaller, gives it as InstallLocation;
//  - the record folder, and kept originals only in its backup sub-folder,
//    put back only onto a support-file place;
//  - support files by their known names (engine/support_file_names.h), in
//    the AutoCAD folders a fresh scan of the registry finds and their
//    Fonts and Drv sub-folders;
//  - demand-load entries only as "Applications\<name>" below a product key
//    the fresh scan finds, whose LOADER names a file in the install folder
//    or a per-release DLL in that product's own AutoCAD folder;
//  - TRUSTEDPATHS only in a profile's Variables key, below HKEY_CURRENT_USER
//    or one account's hive in HKEY_USERS;
//  - the program's own Programs and Features key, in HKLM or HKCU;
//  - folders above the install folder, when the record says it made them.
// Every path must be a plain full path (platform::IsPlainFullPath): a `..`,
// a stream, a device path or a name the system reads as another is
// refused, not resolved. Links are the file system's to refuse
// (LinkOnTheWay below, and FileSystem::RemoveIfOurs).
//
// The checks are pure, on the members below, so that a fuzz target can hold
// them against any record; FindUninstallPlaces fills the members.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

class CInstallRecord;

namespace platform {
class FileSystem;
class Registry;
}  // namespace platform

struct UninstallPlaces {
  // An AutoCAD the fresh scan found: its product key, as the install notes
  // it ("HKEY_LOCAL_MACHINE\..." with no trailing backslash), and its folder.
  struct Product {
    std::string key;
    std::string folder;
  };

  std::string recordFolder;   // a plain full path, or empty: nothing is allowed
  std::string installFolder;  // empty when the record folder and the entry do not agree on one
  // The folder the trusted-path lists lose, when not installFolder: an
  // account's own record's (CUninstall::TakeListsOf). Empty: installFolder.
  std::string listsFolder;
  std::vector<Product> products;

  enum class FileKind { Outside, Install, Record, Support };
  // What the file at `path` is to the uninstall.
  FileKind File(const std::string& path) const;
  // Whether `kept` is a kept original the uninstall may put back over
  // `original`, and then delete.
  bool KeptOriginal(const std::string& kept, const std::string& original) const;
  // Whether the demand-load entry `subKey` below `productKey` is one the
  // uninstall may delete, and whether a LOADER naming `loader` is one the
  // install wrote there.
  bool LoaderKey(const std::string& productKey, const std::string& subKey) const;
  bool LoaderValue(const std::string& productKey, const std::string& loader) const;
  // Whether `variables` (root name first) is a profile's Variables key.
  bool Profile(const std::string& variables) const;
  // Whether root ("HKLM"/"HKCU") and key name the program's own entry.
  bool Entry(const std::string& root, const std::string& key) const;
  // Whether `folder` is one the install may have made above the install folder.
  bool MadeFolder(const std::string& folder) const;
  // The agreed folder that `path` lies in (install or record folder, or an
  // AutoCAD folder); empty for none.
  std::string RootOf(const std::string& path) const;
};

// The places for the record in `recordFolder`: the install folder it and
// the Programs and Features entry agree on, and the AutoCAD installations
// a fresh scan finds (of this edition's registry view, as the install saw).
UninstallPlaces FindUninstallPlaces(platform::Registry& registry, platform::FileSystem& files,
                                    const std::string& recordFolder, const CInstallRecord& record);

// Registry reading the places and the undo share.
// "HKEY_LOCAL_MACHINE\SOFTWARE\..." (or HKLM, HKCU, HKEY_CURRENT_USER,
// HKEY_USERS) into its root and the path below it; false for another root.
bool SplitRootName(const std::string& path, platform::RegKey* root, std::string* rest);
// A value's type and exact bytes, however long: the size is asked first,
// and asked again while the value grows.
long ReadRegistryValue(platform::Registry& registry, platform::RegKey key, const char* name, unsigned long* type,
                       std::string* bytes);
// A string value as programs read it: up to its first zero.
std::string TextOfValue(const std::string& bytes);

// Whether a folder between `root` (included) and `path` (excluded) is a
// reparse point, or cannot be looked at: what lies below it may be
// anywhere. `path` must lie in `root`.
bool LinkOnTheWay(platform::FileSystem& files, const std::string& root, const std::string& path);
