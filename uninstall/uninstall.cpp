// The uninstall; see uninstall.h.
#include "uninstall/uninstall.h"

#include <cstdlib>
#include <vector>

#include "engine/exit_codes.h"
#include "engine/support_file_names.h"
#include "record/install_record.h"
#include "platform/file_marks.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"

using platform::RegKey;
using platform::ScopedRegKey;
namespace RegResult = platform::RegResult;
namespace FileError = platform::FileError;

namespace {

const char kLoader[] = "LOADER";
const char kTrustedPaths[] = "TRUSTEDPATHS";
const char kUninstallString[] = "UninstallString";
const char kUninstaller[] = "Uninstall.exe";
// The settings file the data copy puts under APPDATA (deploy/package_copy.cpp).
const char kSettingsFile[] = "Velkor.Ini";

struct RootName {
  const char* name;
  RegKey key;
};
const RootName kRoots[] = {{"HKEY_LOCAL_MACHINE", platform::kLocalMachine},
                           {"HKEY_CURRENT_USER", platform::kCurrentUser},
                           {"HKEY_USERS", platform::kUsers},
                           {"HKLM", platform::kLocalMachine},
                           {"HKCU", platform::kCurrentUser}};

// "HKEY_LOCAL_MACHINE\SOFTWARE\..." into its root and the path below it.
bool SplitRoot(const std::string& path, RegKey* root, std::string* rest) {
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

// Whether `path` lies in `folder` or below it.
bool Within(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && path[folder.size()] == '\\' &&
         platform::EqualsNoCase(path.substr(0, folder.size()), folder);
}

// A value's type and exact bytes, however long; the size is asked first
// and asked again while the value grows.
long ReadValue(platform::Registry& registry, RegKey key, const char* name, unsigned long* type, std::string* bytes) {
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

// A string value as programs read it: up to its first zero.
std::string TextOf(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

bool NamesFolder(std::string element, const std::string& folder) {
  platform::StripTrailingBackslash(element);
  return platform::EqualsNoCase(element, folder);
}

// `list` without its elements that name `folder`; the other elements and
// separators stay byte for byte.
std::string WithoutFolder(const std::string& list, const std::string& folder, bool* found) {
  std::string rest;
  bool first = true;
  for (std::size_t start = 0;;) {
    const std::size_t semicolon = platform::FindChar(list, ';', start);
    const std::string element =
        list.substr(start, semicolon == platform::npos ? platform::npos : semicolon - start);
    if (NamesFolder(element, folder)) {
      *found = true;
    } else {
      rest += (first ? "" : ";") + element;
      first = false;
    }
    if (semicolon == platform::npos) return rest;
    start = semicolon + 1;
  }
}

// Whether `content` is what the record says was written.
bool Holds(const std::string& content, const std::string& size, const std::string& hash) {
  if (size != std::to_string(content.size()) || hash.size() != 16) return false;
  char* end = nullptr;
  const unsigned long long noted = std::strtoull(hash.c_str(), &end, 16);
  return *end == '\0' && noted == Fnv1a64(content);
}

bool Missing(long error) { return error == FileError::FileNotFound || error == FileError::PathNotFound; }

// Whether `folder` holds nothing but `program` (and is listed whole).
bool HoldsOnly(platform::FileSystem& files, const std::string& folder, const std::string& program) {
  platform::FindEntry entry;
  const platform::ScopedFind listing(files, files.FindFirst(folder + "\\*.*", &entry));
  if (!listing.Valid()) return false;
  bool found = false;
  do {
    if (entry.name == "." || entry.name == "..") continue;
    if (!platform::EqualsNoCase(folder + "\\" + entry.name, program)) return false;
    found = true;
  } while (files.FindNext(listing.Get(), &entry));
  return found && files.LastError() == FileError::NoMoreFiles;
}

class Undo {
 public:
  Undo(platform::Registry& registry, platform::FileSystem& files, CInstallRecord& record,
       const std::string& runningProgram, UninstallResult& result)
      : registry_(registry), files_(files), record_(record), program_(runningProgram), result_(result) {
    folder_ = record.installFolder.empty() ? record.Folder() : record.installFolder;
  }

  void Loaders();
  void TrustedPaths();
  void Files();
  void BackupFolder();
  void EntryAndRecord();
  void Folders();

 private:
  void Leave(UninstallLeft::Reason reason, const std::string& place, const std::string& item, long error) {
    result_.left.push_back({reason, place, item, error});
  }
  bool IsProgram(const std::string& path) const {
    return !program_.empty() && platform::EqualsNoCase(path, program_);
  }
  // Whether the hive `path` (below HKEY_USERS, SID first) lies in is loaded.
  bool HiveLoaded(const std::string& path) {
    const std::size_t slash = platform::FindChar(path, '\\');
    const std::string sid = slash == platform::npos ? path : path.substr(0, slash);
    ScopedRegKey hive(registry_);
    return registry_.OpenKeyRead(platform::kUsers, sid.c_str(), hive.Receive()) != RegResult::FileNotFound;
  }
  // Deletes the key at `path` below `root` when it holds neither values nor
  // sub-keys; false (and the place left) when that cannot be told or done.
  bool RemoveIfEmpty(RegKey root, const std::string& path, const std::string& place);
  bool RemoveFolderIfEmpty(const std::string& folder);
  // Whether the install could have put a file at `path`: in the install
  // or record folder, or one of the support files in an AutoCAD folder.
  bool MayHavePlaced(const std::string& path) const;

  platform::Registry& registry_;
  platform::FileSystem& files_;
  CInstallRecord& record_;
  std::string program_;
  UninstallResult& result_;
  std::string folder_;  // the install folder
  std::vector<std::string> leftFiles_;  // files of ours that stay, to know a folder's content
  // AutoCAD folders whose product a later install elsewhere took over: the
  // support files in them are that install's now.
  std::vector<std::string> handedOver_;
};

bool Undo::RemoveIfEmpty(RegKey root, const std::string& path, const std::string& place) {
  unsigned long subKeys = 0, values = 0;
  long status;
  {
    ScopedRegKey key(registry_);
    status = registry_.OpenKeyRead(root, path.c_str(), key.Receive());
    if (status == RegResult::FileNotFound) return true;
    if (status == RegResult::Success) status = registry_.QuerySubKeyCount(key.Get(), &subKeys);
    if (status == RegResult::Success) status = registry_.QueryValueCount(key.Get(), &values);
  }
  if (status == RegResult::Success && (subKeys || values)) return true;  // holds what is not ours
  if (status == RegResult::Success) status = registry_.DeleteKey(root, path.c_str());
  if (status == RegResult::Success || status == RegResult::FileNotFound) return true;
  Leave(UninstallLeft::Failed, place, std::string(), status);
  return false;
}

void Undo::Loaders() {
  enum State { Gone, Ours, Others, Unread };
  struct Entry {
    const CInstallRecord::LoaderItem* item;
    RegKey root;
    std::string path;  // of the entry, below root
    State state;
    long error;
  };
  std::vector<Entry> entries;
  for (const CInstallRecord::LoaderItem& item : record_.loaders) {
    Entry entry{&item, platform::kNoKey, std::string(), Unread, RegResult::InvalidData};
    std::string product;
    if (!SplitRoot(item.productKey, &entry.root, &product)) {
      entries.push_back(entry);
      continue;
    }
    entry.path = product + "\\" + item.subKey;
    ScopedRegKey key(registry_);
    entry.error = registry_.OpenKeyRead(entry.root, entry.path.c_str(), key.Receive());
    unsigned long type = 0;
    std::string bytes;
    if (entry.error == RegResult::Success) entry.error = ReadValue(registry_, key.Get(), kLoader, &type, &bytes);
    if (entry.error == RegResult::FileNotFound && key.Valid()) {
      entry.state = Ours;  // an entry made in part is ours to take away
    } else if (entry.error == RegResult::FileNotFound) {
      entry.state = Gone;
    } else if (entry.error == RegResult::Success) {
      const std::string loader = TextOf(bytes);
      // A module entry names the install folder; the managed DLL's names
      // AutoCAD's folder, and is ours while it names the DLL we placed.
      const bool module = platform::EqualsNoCase(platform::FolderOf(item.loader), folder_);
      const bool ours = module ? platform::EqualsNoCase(platform::FolderOf(loader), folder_)
                               : platform::EqualsNoCase(loader, item.loader);
      entry.state = ours ? Ours : Others;
    }
    entries.push_back(entry);
  }
  // A product whose module entry a later install elsewhere rewrote is that
  // install's now: its DLL entry stays too.
  for (Entry& entry : entries) {
    if (entry.state != Ours || platform::EqualsNoCase(platform::FolderOf(entry.item->loader), folder_)) continue;
    for (const Entry& other : entries) {
      if (other.state == Others && platform::EqualsNoCase(other.item->productKey, entry.item->productKey)) {
        entry.state = Others;
        handedOver_.push_back(platform::FolderOf(entry.item->loader));
      }
    }
  }

  std::vector<CInstallRecord::LoaderItem> kept;
  for (Entry& entry : entries) {
    const std::string place = entry.item->productKey + "\\" + entry.item->subKey;
    if (entry.state == Ours) {
      const long status = registry_.DeleteKey(entry.root, entry.path.c_str());
      if (status == RegResult::Success) {
        ++result_.loadersRemoved;
        entry.state = Gone;
      } else if (status == RegResult::FileNotFound) {
        entry.state = Gone;
      } else {
        entry.error = status;
        entry.state = Unread;
      }
    }
    if (entry.state == Unread) {
      Leave(UninstallLeft::Failed, place, std::string(), entry.error);
      kept.push_back(*entry.item);
    } else if (entry.state == Gone) {
      // The Applications key the entry sat in, when the install made it and
      // nothing else is left in it; kept in the record until that is done.
      const std::string parent = platform::FolderOf(entry.path);
      if (platform::NameOf(parent) == "Applications" && record_.CreatedKey(platform::FolderOf(place)) &&
          !RemoveIfEmpty(entry.root, parent, platform::FolderOf(place))) {
        kept.push_back(*entry.item);
      }
    }
  }
  record_.loaders = kept;
}

void Undo::TrustedPaths() {
  std::vector<CInstallRecord::TrustedItem> kept;
  for (const CInstallRecord::TrustedItem& item : record_.trusted) {
    RegKey root = platform::kNoKey;
    std::string path;
    if (!SplitRoot(item.profile, &root, &path)) {
      Leave(UninstallLeft::Failed, item.profile, kTrustedPaths, RegResult::InvalidData);
      kept.push_back(item);
      continue;
    }
    if (root == platform::kUsers && !HiveLoaded(path)) {
      // Signed out, or not reachable from this account: the profile may
      // still trust the folder, so it is left, and the uninstall can run
      // again once the user has signed in.
      Leave(UninstallLeft::HiveNotLoaded, item.profile, kTrustedPaths, 0);
      kept.push_back(item);
      continue;
    }
    long status;
    bool deleted = false;  // the value is gone now
    bool changed = false;
    {
      ScopedRegKey key(registry_);
      status = registry_.OpenKey(root, path.c_str(), key.Receive());
      if (status == RegResult::FileNotFound) continue;  // the profile has gone
      unsigned long type = 0;
      std::string bytes;
      if (status == RegResult::Success) status = ReadValue(registry_, key.Get(), kTrustedPaths, &type, &bytes);
      if (status == RegResult::FileNotFound) {
        deleted = true;
        status = RegResult::Success;
      } else if (status == RegResult::Success && type == item.writtenType && bytes == item.written + '\0') {
        // As written: what was there before comes back.
        if (item.beforeAbsent) {
          status = registry_.DeleteValue(key.Get(), kTrustedPaths);
          deleted = true;
        } else {
          status = registry_.SetValue(key.Get(), kTrustedPaths, item.beforeType,
                                      reinterpret_cast<const unsigned char*>(item.beforeData.data()),
                                      static_cast<unsigned long>(item.beforeData.size()));
        }
        changed = true;
      } else if (status == RegResult::Success && !(type == item.beforeType && bytes == item.beforeData) &&
                 (type == platform::RegType::String || type == platform::RegType::ExpandString)) {
        // Changed since: only this folder's element goes, unless it was in
        // the list before the install. A list as it was before (a run that
        // restored it and could not write the record) is left as it is.
        const std::string text = TextOf(bytes);
        bool found = false, foundBefore = false;
        const std::string rest = WithoutFolder(text, folder_, &found);
        if (!item.beforeAbsent) WithoutFolder(TextOf(item.beforeData), folder_, &foundBefore);
        if (found && !foundBefore) {
          const std::string tail = bytes.substr(text.size());
          if (rest.empty() && item.beforeAbsent && (tail.empty() || tail == std::string(1, '\0'))) {
            status = registry_.DeleteValue(key.Get(), kTrustedPaths);
            deleted = true;
          } else {
            const std::string value = rest + tail;
            status = registry_.SetValue(key.Get(), kTrustedPaths, type,
                                        reinterpret_cast<const unsigned char*>(value.data()),
                                        static_cast<unsigned long>(value.size()));
          }
          changed = true;
        }
      }
    }
    if (status == RegResult::FileNotFound && deleted) status = RegResult::Success;
    if (status != RegResult::Success) {
      Leave(UninstallLeft::Failed, item.profile, kTrustedPaths, status);
      kept.push_back(item);
      continue;
    }
    if (changed) ++result_.trustedRestored;
    // A Variables key the install made goes when nothing else is in it.
    if (deleted && !item.variablesExisted && !RemoveIfEmpty(root, path, item.profile)) kept.push_back(item);
  }
  record_.trusted = kept;
}

void Undo::Files() {
  std::vector<std::string> paths;
  auto add = [&paths](const std::string& path) {
    for (const std::string& known : paths) {
      if (platform::EqualsNoCase(known, path)) return;
    }
    paths.push_back(path);
  };
  for (const CInstallRecord::FileItem& item : record_.files) add(item.path);
  for (const CInstallRecord::BackupItem& item : record_.backups) add(item.original);

  std::vector<CInstallRecord::FileItem> keptFiles;
  std::vector<CInstallRecord::BackupItem> keptBackups;
  for (const std::string& path : paths) {
    const CInstallRecord::FileItem* file = nullptr;
    for (const CInstallRecord::FileItem& item : record_.files) {
      if (platform::EqualsNoCase(item.path, path)) file = &item;
    }
    std::vector<const CInstallRecord::BackupItem*> originals;
    for (const CInstallRecord::BackupItem& item : record_.backups) {
      if (platform::EqualsNoCase(item.original, path)) originals.push_back(&item);
    }
    auto keepAll = [&] {
      if (file) keptFiles.push_back(*file);
      for (const CInstallRecord::BackupItem* item : originals) keptBackups.push_back(*item);
      leftFiles_.push_back(path);
    };
    if (IsProgram(path)) {
      if (file) keptFiles.push_back(*file);
      continue;
    }
    if (originals.empty() && !platform::EqualsNoCase(platform::FolderOf(path), folder_) &&
        platform::EqualsNoCase(platform::NameOf(path), kSettingsFile)) {
      result_.settingsFile = path;  // the user's: kept
      continue;
    }
    // A record that names anything else (one planted in a folder someone
    // else made first, say) deletes or restores nothing there.
    bool placed = MayHavePlaced(path);
    for (const CInstallRecord::BackupItem* item : originals) placed = placed && Within(item->kept, record_.Folder());
    if (!placed) {
      Leave(UninstallLeft::NotPlaced, path, std::string(), 0);
      keepAll();
      continue;
    }
    bool handedOver = false;
    for (const std::string& acad : handedOver_) {
      handedOver = handedOver || platform::EqualsNoCase(platform::FolderOf(path), acad) ||
                   platform::EqualsNoCase(platform::FolderOf(platform::FolderOf(path)), acad);  // Fonts, Drv
    }
    if (handedOver) {
      // The later install placed the same file and serves AutoCAD with it.
      // A kept original stays, for a later run once that install is gone.
      for (const CInstallRecord::BackupItem* item : originals) {
        Leave(UninstallLeft::KeptOriginal, item->kept, std::string(), 0);
        keptBackups.push_back(*item);
        leftFiles_.push_back(item->kept);
      }
      continue;
    }

    std::string content;
    const bool exists = files_.ReadBytes(path, &content);
    const long readError = exists ? 0 : files_.LastError();
    if (!exists && !Missing(readError)) {
      Leave(UninstallLeft::Failed, path, std::string(), readError);
      keepAll();
      continue;
    }
    bool vacant = !exists;  // nothing stands at `path` now
    // Back as it was: a run before put the original back, and could not
    // write the record after.
    bool restored = false;
    for (const CInstallRecord::BackupItem* item : originals) {
      restored = restored || (exists && Holds(content, item->size, item->hash));
    }
    if (file && exists && !restored) {
      if (!Holds(content, file->size, file->hash)) {
        Leave(UninstallLeft::Changed, path, std::string(), 0);
        for (const CInstallRecord::BackupItem* item : originals) {
          Leave(UninstallLeft::KeptOriginal, item->kept, std::string(), 0);
        }
        keepAll();
        continue;
      }
      // Still ours: a read-only mark the copy carried over does not keep it.
      ClearReadOnly(files_, path);
      if (!files_.Remove(path)) {
        Leave(UninstallLeft::Failed, path, std::string(), files_.LastError());
        keepAll();
        continue;
      }
      ++result_.filesRemoved;
      vacant = true;
    } else if (exists && !restored && !originals.empty()) {
      // Kept but never replaced (the copy over it failed), and changed
      // since: not ours to replace, and the kept copy stays beside it.
      for (const CInstallRecord::BackupItem* item : originals) {
        Leave(UninstallLeft::KeptOriginal, item->kept, std::string(), 0);
      }
      keepAll();
      continue;
    }
    if (originals.empty()) continue;
    if (vacant) {
      // The last one kept is what stood there before the last install.
      // With its folder gone (AutoCAD removed) there is nowhere to put it.
      if (files_.Copy(originals.back()->kept, path, true)) {
        ++result_.originalsRestored;
      } else if (files_.LastError() != FileError::PathNotFound) {
        Leave(UninstallLeft::Failed, path, std::string(), files_.LastError());
        for (const CInstallRecord::BackupItem* item : originals) keptBackups.push_back(*item);
        leftFiles_.push_back(path);
        continue;
      }
    }
    for (const CInstallRecord::BackupItem* item : originals) {
      // A kept copy carries the original's attributes, read-only among them.
      ClearReadOnly(files_, item->kept);
      if (files_.Remove(item->kept) || Missing(files_.LastError())) continue;
      Leave(UninstallLeft::Failed, item->kept, std::string(), files_.LastError());
      keptBackups.push_back(*item);
      leftFiles_.push_back(item->kept);
    }
  }
  record_.files = keptFiles;
  record_.backups = keptBackups;
}

void Undo::BackupFolder() {
  const std::string backup = record_.Folder() + "\\" + CInstallRecord::kBackupFolder;
  if (files_.RemoveFolder(backup)) return;
  const long error = files_.LastError();
  if (Missing(error)) return;
  // Not empty while kept originals stay: those are told already.
  if (error == FileError::DirNotEmpty && !record_.backups.empty()) return;
  Leave(error == FileError::DirNotEmpty ? UninstallLeft::NotEmpty : UninstallLeft::Failed, backup, std::string(),
        error == FileError::DirNotEmpty ? 0 : error);
  leftFiles_.push_back(backup);
}

void Undo::EntryAndRecord() {
  // While anything is left, the entry stays: the uninstall can run again.
  if (result_.left.empty() && !record_.entryRoot.empty()) {
    RegKey root = platform::kNoKey;
    std::string path;
    long status = SplitRoot(record_.entryRoot, &root, &path) ? RegResult::Success : RegResult::InvalidData;
    path = record_.entryKey;
    bool ours = false;
    if (status == RegResult::Success) {
      ScopedRegKey key(registry_);
      status = registry_.OpenKeyRead(root, path.c_str(), key.Receive());
      unsigned long type = 0;
      std::string bytes;
      if (status == RegResult::Success) status = ReadValue(registry_, key.Get(), kUninstallString, &type, &bytes);
      // Another install's record folder, after a later install elsewhere.
      const std::string mine = platform::ToUpper("\"" + record_.Folder() + "\\" + kUninstaller + "\"");
      ours = status == RegResult::Success && platform::FindText(platform::ToUpper(TextOf(bytes)), mine) != platform::npos;
    }
    if (ours) status = registry_.DeleteKey(root, path.c_str());
    if (ours && status == RegResult::Success) result_.entryRemoved = true;
    if (status == RegResult::Success || status == RegResult::FileNotFound) {
      record_.entryRoot.clear();
      record_.entryKey.clear();
    } else {
      Leave(UninstallLeft::Failed, record_.entryRoot + "\\" + record_.entryKey, kUninstallString, status);
    }
  }

  if (result_.left.empty()) {
    // A whole-record write that stopped before its move leaves its file.
    files_.Remove(record_.Folder() + "\\" + CInstallRecord::kNewFileName);
    if (files_.Remove(record_.Path()) || Missing(files_.LastError())) return;
    Leave(UninstallLeft::Failed, record_.Path(), std::string(), files_.LastError());
    leftFiles_.push_back(record_.Path());
    return;
  }
  // What is left, for the next run; the record on disk stays whole if
  // this cannot be written.
  if (!record_.Rewrite()) Leave(UninstallLeft::Failed, record_.Path(), std::string(), record_.Problem().error);
  leftFiles_.push_back(record_.Path());
}

bool Undo::MayHavePlaced(const std::string& path) const {
  if (Within(path, folder_) || Within(path, record_.Folder())) return true;
  return IsSupportFileName(platform::NameOf(path), platform::NameOf(platform::FolderOf(path)));
}

bool Undo::RemoveFolderIfEmpty(const std::string& folder) {
  if (files_.RemoveFolder(folder)) return true;
  long error = files_.LastError();
  if (Missing(error)) return true;
  if (error == FileError::DirNotEmpty) {
    // What is in it: the running uninstaller only (the caller removes the
    // folder after it), items told already, or something not ours.
    bool foreign = false, program = false, anyTold = false;
    platform::FindEntry entry;
    const platform::ScopedFind listing(files_, files_.FindFirst(folder + "\\*.*", &entry));
    if (!listing.Valid()) {
      error = files_.LastError();
    } else {
      do {
        if (entry.name == "." || entry.name == "..") continue;
        const std::string path = folder + "\\" + entry.name;
        if (IsProgram(path)) {
          program = true;
          continue;
        }
        bool told = false;
        for (const std::string& left : leftFiles_) {
          told = told || platform::EqualsNoCase(left, path) || platform::EqualsNoCase(platform::FolderOf(left), path);
        }
        foreign = foreign || !told;
        anyTold = anyTold || told;
      } while (files_.FindNext(listing.Get(), &entry));
      if (files_.LastError() != FileError::NoMoreFiles) {
        error = files_.LastError();
      } else if (foreign) {
        Leave(UninstallLeft::NotEmpty, folder, std::string(), 0);
        return false;
      } else {
        if (program && !anyTold) result_.foldersAfterProgram.push_back(folder);
        return false;
      }
    }
  }
  Leave(UninstallLeft::Failed, folder, std::string(), error);
  return false;
}

void Undo::Folders() {
  // For a per-user install the record folder is the install folder itself.
  RemoveFolderIfEmpty(record_.Folder());
  if (!platform::EqualsNoCase(record_.Folder(), folder_)) RemoveFolderIfEmpty(folder_);
  // The folders the install made above it, innermost first. One that holds
  // anything else now is the user's: it stays, and is no problem. One that
  // holds only folders that go after the program goes after them.
  for (auto made = record_.madeFolders.rbegin(); made != record_.madeFolders.rend(); ++made) {
    if (files_.RemoveFolder(*made) || files_.LastError() != FileError::DirNotEmpty) continue;
    bool onlyLater = true, any = false;
    platform::FindEntry entry;
    const platform::ScopedFind listing(files_, files_.FindFirst(*made + "\\*.*", &entry));
    if (!listing.Valid()) continue;
    do {
      if (entry.name == "." || entry.name == "..") continue;
      bool later = false;
      for (const std::string& folder : result_.foldersAfterProgram) {
        later = later || platform::EqualsNoCase(folder, *made + "\\" + entry.name);
      }
      onlyLater = onlyLater && later;
      any = true;
    } while (files_.FindNext(listing.Get(), &entry));
    if (any && onlyLater && files_.LastError() == FileError::NoMoreFiles) result_.foldersAfterProgram.push_back(*made);
  }
}

}  // namespace

int UninstallExitCode(const UninstallResult& result) {
  if (!result.recordFound) return SetupExit::NothingToRemove;
  return result.left.empty() ? SetupExit::Installed : SetupExit::RemovedWithItemsLeft;
}

UninstallResult CUninstall::Run(const std::string& recordFolder, const std::string& runningProgram) {
  UninstallResult result;
  const std::string path = recordFolder + "\\" + CInstallRecord::kFileName;
  if (files_.GetAttributes(path) == platform::kInvalidAttributes && Missing(files_.LastError())) {
    // The folder an earlier run emptied and could not remove goes now;
    // one that holds only the running uninstaller goes after it.
    if (!files_.RemoveFolder(recordFolder) && !runningProgram.empty() &&
        HoldsOnly(files_, recordFolder, runningProgram)) {
      result.recordFound = true;
      result.foldersAfterProgram.push_back(recordFolder);
    }
    return result;
  }
  result.recordFound = true;
  CInstallRecord record(files_);
  record.Open(recordFolder);
  if (record.Failed()) {
    // Without its content nothing can be told apart from what is not ours.
    result.left.push_back({UninstallLeft::Unreadable, path, std::string(), record.Problem().error});
    return result;
  }
  Undo undo(registry_, files_, record, runningProgram, result);
  undo.Loaders();
  undo.TrustedPaths();
  undo.Files();
  undo.BackupFolder();
  undo.EntryAndRecord();
  undo.Folders();
  return result;
}
