// The places an uninstall may change; see uninstall_places.h.
#include "uninstall/uninstall_places.h"

#include <vector>

#include "engine/acad_setup.h"
#include "engine/build_constants.h"
#include "engine/program_names.h"
#include "engine/support_file_names.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/window.h"
#include "record/install_record.h"

using platform::RegKey;
namespace RegResult = platform::RegResult;

namespace {

const char kApplications[] = "Applications";
const char kUninstaller[] = "Uninstall.exe";

struct RootName {
  const char* name;
  RegKey key;
};
const RootName kRoots[] = {{"HKEY_LOCAL_MACHINE", platform::kLocalMachine},
                           {"HKEY_CURRENT_USER", platform::kCurrentUser},
                           {"HKEY_USERS", platform::kUsers},
                           {"HKLM", platform::kLocalMachine},
                           {"HKCU", platform::kCurrentUser}};

// The scan asks nothing; its boxes go nowhere.
class NoBoxes final : public platform::MessageOwner {
 public:
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return 0; }
};

// `path` split at its backslashes, by characters; empty names kept.
std::vector<std::string> KeyNames(const std::string& path) {
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    const std::size_t slash = platform::FindChar(path, '\\', start);
    names.push_back(path.substr(start, slash == platform::npos ? platform::npos : slash - start));
    if (slash == platform::npos) return names;
    start = slash + 1;
  }
}

bool IsKeyName(const std::string& name) { return !name.empty() && name.size() <= 255; }

// Whether `name` in the sub-folder `subFolder` ("" for the AutoCAD folder
// itself) is a support file the install places there, and there only.
bool IsSupportFileIn(const std::string& name, const std::string& subFolder) {
  if (subFolder.empty()) return IsSupportFileName(name, std::string());
  // Those placed into the AutoCAD folder itself count in any folder for
  // IsSupportFileName; below it only the sub-folder's own do.
  return IsSupportFileName(name, subFolder) && !IsSupportFileName(name, std::string());
}

// The hash-named folder ChooseRecordFolder gives an elevated install into `folder`.
bool IsRecordFolderOf(const std::string& recordFolder, const std::string& folder) {
  return platform::EqualsNoCase(platform::NameOf(recordFolder),
                                platform::HexNumber(Fnv1a64(platform::ToUpper(folder)), 16)) &&
         platform::EqualsNoCase(platform::NameOf(platform::FolderOf(recordFolder)), kProgramFolderName);
}

// What the record's Programs and Features entry says of the install
// folder: true with `*location` when the entry still names this record
// folder's uninstaller; false when it is gone or names another's (a later
// install elsewhere took it over), and then has no say.
bool EntryLocation(platform::Registry& registry, const UninstallPlaces& places, const CInstallRecord& record,
                   std::string* location) {
  RegKey root = platform::kNoKey;
  std::string ignored;
  if (!places.Entry(record.entryRoot, record.entryKey) || !SplitRootName(record.entryRoot, &root, &ignored)) {
    return false;
  }
  platform::ScopedRegKey key(registry);
  if (registry.OpenKeyRead(root, record.entryKey.c_str(), key.Receive()) != RegResult::Success) return false;
  unsigned long type = 0;
  std::string bytes;
  if (ReadRegistryValue(registry, key.Get(), "UninstallString", &type, &bytes) != RegResult::Success) return false;
  const std::string mine = platform::ToUpper("\"" + places.recordFolder + "\\" + kUninstaller + "\"");
  if (platform::FindText(platform::ToUpper(TextOfValue(bytes)), mine) == platform::npos) return false;
  // Ours, and then it must name the folder: an entry without one agrees on none.
  location->clear();
  if (ReadRegistryValue(registry, key.Get(), "InstallLocation", &type, &bytes) == RegResult::Success) {
    *location = TextOfValue(bytes);
    platform::StripTrailingBackslash(*location);
  }
  return true;
}

}  // namespace

bool SplitRootName(const std::string& path, RegKey* root, std::string* rest) {
  const std::size_t slash = platform::FindChar(path, '\\');
  const std::string first = slash == platform::npos ? path : path.substr(0, slash);
  for (const RootName& known : kRoots) {
    if (platform::EqualsNoCase(first, known.name)) {
      *root = known.key;
      *rest = slash == platform::npos ? std::string() : path.substr(slash + 1);
      return true;
    }
  }
  return false;
}

long ReadRegistryValue(platform::Registry& registry, RegKey key, const char* name, unsigned long* type,
                       std::string* bytes) {
  unsigned long size = 0;
  long status = registry.QueryValue(key, name, type, nullptr, &size);
  for (int attempt = 0; status == RegResult::Success && attempt < 4; ++attempt) {
    std::vector<unsigned char> buffer(size + 1, 0);
    unsigned long length = size;
    status = registry.QueryValue(key, name, type, buffer.data(), &length);
    if (status == RegResult::MoreData) {
      size = length > size ? length : size * 2 + 1;
      status = RegResult::Success;
      continue;
    }
    if (status == RegResult::Success) bytes->assign(reinterpret_cast<const char*>(buffer.data()), length);
    return status;
  }
  return status == RegResult::Success ? RegResult::MoreData : status;
}

std::string TextOfValue(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

UninstallPlaces::FileKind UninstallPlaces::File(const std::string& path) const {
  if (recordFolder.empty() || !platform::IsPlainFullPath(path)) return FileKind::Outside;
  if (platform::IsWithinFolder(path, installFolder)) return FileKind::Install;
  if (platform::IsWithinFolder(path, recordFolder)) return FileKind::Record;
  const std::string folder = platform::FolderOf(path);
  const std::string name = platform::NameOf(path);
  for (const Product& product : products) {
    if (platform::EqualsNoCase(folder, product.folder) && IsSupportFileIn(name, std::string())) {
      return FileKind::Support;
    }
    if (platform::EqualsNoCase(platform::FolderOf(folder), product.folder) &&
        IsSupportFileIn(name, platform::NameOf(folder))) {
      return FileKind::Support;
    }
  }
  return FileKind::Outside;
}

bool UninstallPlaces::KeptOriginal(const std::string& kept, const std::string& original) const {
  if (recordFolder.empty() || !platform::IsPlainFullPath(kept)) return false;
  const std::string backup = recordFolder + "\\" + CInstallRecord::kBackupFolder;
  if (!platform::EqualsNoCase(platform::FolderOf(kept), backup)) return false;
  const FileKind kind = File(original);
  return kind == FileKind::Support || kind == FileKind::Install;
}

bool UninstallPlaces::LoaderKey(const std::string& productKey, const std::string& subKey) const {
  const std::vector<std::string> names = KeyNames(subKey);
  if (names.size() != 2 || !platform::EqualsNoCase(names[0], kApplications) || !IsKeyName(names[1])) return false;
  for (const Product& product : products) {
    if (platform::EqualsNoCase(productKey, product.key)) return true;
  }
  return false;
}

bool UninstallPlaces::LoaderValue(const std::string& productKey, const std::string& loader) const {
  if (!platform::IsPlainFullPath(loader)) return false;
  if (platform::IsWithinFolder(loader, installFolder)) return true;
  // The managed DLL's entry names the DLL the install put into that
  // product's own folder.
  for (const Product& product : products) {
    if (platform::EqualsNoCase(productKey, product.key) &&
        platform::EqualsNoCase(platform::FolderOf(loader), product.folder) &&
        IsSupportFileIn(platform::NameOf(loader), std::string())) {
      return true;
    }
  }
  return false;
}

bool UninstallPlaces::Profile(const std::string& variables) const {
  // <hive>\SOFTWARE\Autodesk\AutoCAD\<release>\<product>\Profiles\<profile>\Variables
  std::vector<std::string> names = KeyNames(variables);
  std::size_t first = 1;
  if (names.size() > 1 && platform::EqualsNoCase(names[0], "HKEY_USERS")) {
    // One account's hive: a SID, never a path of more levels.
    if (!IsKeyName(names[1]) || names[1].compare(0, 2, "S-") != 0) return false;
    first = 2;
  } else if (names.empty() ||
             !(platform::EqualsNoCase(names[0], "HKEY_CURRENT_USER") || platform::EqualsNoCase(names[0], "HKCU"))) {
    return false;
  }
  if (names.size() != first + 8) return false;
  const char* const fixed[] = {"SOFTWARE", "Autodesk", "AutoCAD", nullptr, nullptr, "Profiles", nullptr, "Variables"};
  for (std::size_t i = 0; i < 8; ++i) {
    const std::string& name = names[first + i];
    if (!IsKeyName(name) || (fixed[i] && !platform::EqualsNoCase(name, fixed[i]))) return false;
  }
  return true;
}

bool UninstallPlaces::Entry(const std::string& root, const std::string& key) const {
  return (platform::EqualsNoCase(root, "HKLM") || platform::EqualsNoCase(root, "HKCU")) &&
         platform::EqualsNoCase(key, kUninstallKeyPath);
}

bool UninstallPlaces::MadeFolder(const std::string& folder) const {
  return platform::IsPlainFullPath(folder) && platform::IsWithinFolder(installFolder, folder);
}

std::string UninstallPlaces::RootOf(const std::string& path) const {
  if (platform::IsWithinFolder(path, installFolder)) return installFolder;
  if (platform::IsWithinFolder(path, recordFolder)) return recordFolder;
  for (const Product& product : products) {
    if (platform::IsWithinFolder(path, product.folder)) return product.folder;
  }
  return std::string();
}

UninstallPlaces FindUninstallPlaces(platform::Registry& registry, platform::FileSystem& files,
                                    const std::string& recordFolder, const CInstallRecord& record) {
  UninstallPlaces places;
  if (!platform::IsPlainFullPath(recordFolder)) return places;
  places.recordFolder = recordFolder;

  // The install folder the record names (itself when it names none) ...
  std::string folder = record.installFolder.empty() ? recordFolder : record.installFolder;
  bool agreed = platform::IsPlainFullPath(folder) &&
                (platform::EqualsNoCase(folder, recordFolder) || IsRecordFolderOf(recordFolder, folder));
  // ... and what the entry says, while it is this record's.
  std::string location;
  if (agreed && EntryLocation(registry, places, record, &location)) agreed = platform::EqualsNoCase(location, folder);
  if (agreed) places.installFolder = folder;

  NoBoxes boxes;
  CAcadSetup scan(registry, files, boxes);
  scan.ScanReleases();
  for (int k = 0; k < kReleaseCount; ++k) {
    for (std::size_t i = 0; i < scan.releaseKeys[k].size() && i < scan.acadFolders[k].size(); ++i) {
      std::string key = "HKEY_LOCAL_MACHINE\\" + scan.releaseKeys[k][i];
      platform::StripTrailingBackslash(key);
      const std::string& acad = scan.acadFolders[k][i];
      if (platform::IsPlainFullPath(acad)) places.products.push_back({key, acad});
    }
  }
  return places;
}

bool LinkOnTheWay(platform::FileSystem& files, const std::string& root, const std::string& path) {
  if (!platform::IsWithinFolder(path, root)) return true;
  for (std::size_t end = root.size();; end = platform::FindChar(path, '\\', end + 1)) {
    const unsigned long attributes = files.GetAttributes(path.substr(0, end));
    if (attributes == platform::kInvalidAttributes) {
      // Gone from here down: nothing below can be reached through a link.
      const long error = files.LastError();
      return !(error == platform::FileError::FileNotFound || error == platform::FileError::PathNotFound);
    }
    if (attributes & platform::kAttrReparsePoint) return true;
    if (platform::FindChar(path, '\\', end + 1) == platform::npos) return false;
  }
}
