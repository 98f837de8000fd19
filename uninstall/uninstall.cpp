// The uninstall; see uninstall.h.
#include "uninstall/uninstall.h"
#include "uninstall/uninstall_places.h"

#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/exit_codes.h"
#include "engine/program_names.h"
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

// One file place the record names: the file placed there (the last line
// for it) and the originals kept of what stood there before, in order.
struct FilePlace {
  std::string path;
  const CInstallRecord::FileItem* file;
  std::vector<const CInstallRecord::BackupItem*> originals;
};

// The record's file and backup lines by place, in the order first named;
// linear in the number of lines.
std::vector<FilePlace> GroupByPlace(const CInstallRecord& record);

class Undo {
 public:
  Undo(platform::Registry& registry, platform::FileSystem& files, CInstallRecord& record,
       const UninstallPlaces& places, const std::string& runningProgram, UninstallResult& result,
       const CUninstall::HandOver& handOver)
      : registry_(registry),
        files_(files),
        record_(record),
        places_(places),
        program_(runningProgram),
        result_(result),
        folder_(places.installFolder),
        listsFolder_(places.listsFolder.empty() ? places.installFolder : places.listsFolder),
        handOver_(handOver) {}

  void Loaders();
  void TrustedPaths();
  void Files();
  void BackupFolder();
  // Tells the made folders the uninstall may not remove; they stay in the record.
  void MadeFoldersOutside();
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

  // The files, one operation each, for one place at a time.
  void UndoPlace(const FilePlace& place);
  // Whether the place and its kept originals lie where the uninstall may
  // act (uninstall_places.h), with no link on the way.
  bool Confined(const FilePlace& place) const;
  // Whether `path` is in an AutoCAD folder a later install took over.
  bool HandedOver(const std::string& path) const;
  // Deletes the placed file while it holds what was written; `*vacant`
  // when nothing stands there now. False (all told and kept) when the
  // place is done with: changed, or the delete failed.
  bool Vacate(const FilePlace& place, bool* vacant);
  // Puts the last kept original back; false (told and kept) on failure.
  bool PutBack(const FilePlace& place);
  // Deletes the kept copies once they are back or not needed.
  void DropKeptCopies(const FilePlace& place);
  // The record keeps the place's items for a later run.
  void KeepAll(const FilePlace& place);
  void KeepOriginal(const CInstallRecord::BackupItem& item, bool tell);
  // `path` stays: its folder is not empty for a reason already told.
  void NoteLeft(const std::string& path);

  platform::Registry& registry_;
  platform::FileSystem& files_;
  CInstallRecord& record_;
  const UninstallPlaces& places_;
  std::string program_;
  UninstallResult& result_;
  std::string folder_;  // the install folder; empty when none is agreed on
  std::string listsFolder_;  // the folder the trusted-path lists lose
  const CUninstall::HandOver& handOver_;
  // Upper-cased paths of what stays and of the folders holding it, to
  // know a folder's content.
  std::unordered_set<std::string> leftFiles_;
  std::vector<CInstallRecord::FileItem> keptFiles_;
  std::vector<CInstallRecord::BackupItem> keptBackups_;
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
  enum State { Gone, Ours, Others, Unread, Outside };
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
    // Only an entry below an AutoCAD the scan finds, naming what the
    // install writes there, is looked at.
    if (!places_.LoaderKey(item.productKey, item.subKey) || !places_.LoaderValue(item.productKey, item.loader)) {
      entry.state = Outside;
      entries.push_back(entry);
      continue;
    }
    if (!SplitRootName(item.productKey, &entry.root, &product)) {
      entries.push_back(entry);
      continue;
    }
    entry.path = product + "\\" + item.subKey;
    ScopedRegKey key(registry_);
    entry.error = registry_.OpenKeyRead(entry.root, entry.path.c_str(), key.Receive());
    unsigned long type = 0;
    std::string bytes;
    if (entry.error == RegResult::Success) entry.error = ReadRegistryValue(registry_, key.Get(), kLoader, &type, &bytes);
    if (entry.error == RegResult::FileNotFound && key.Valid()) {
      entry.state = Ours;  // an entry made in part is ours to take away
    } else if (entry.error == RegResult::FileNotFound) {
      entry.state = Gone;
    } else if (entry.error == RegResult::Success) {
      const std::string loader = TextOfValue(bytes);
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
    if (entry.state == Outside) {
      Leave(UninstallLeft::Outside, place, std::string(), 0);
      kept.push_back(*entry.item);
    } else if (entry.state == Unread) {
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
    // A profile's list, and only for an install folder that is agreed on
    // and that the list written named: another list is not the install's
    // to put back.
    bool namedFolder = false;
    if (!listsFolder_.empty()) WithoutFolder(TextOfValue(item.written), listsFolder_, &namedFolder);
    if (!places_.Profile(item.profile) || !namedFolder || !SplitRootName(item.profile, &root, &path)) {
      Leave(UninstallLeft::Outside, item.profile, kTrustedPaths, 0);
      kept.push_back(item);
      continue;
    }
    if (root == platform::kUsers && !HiveLoaded(path)) {
      // Signed out, or not reachable from this account: the profile may
      // still trust the folder. The user's next sign-in puts it back when
      // it can be handed over; otherwise it is left, and the uninstall can
      // run again once the user has signed in.
      if (handOver_ && handOver_(item, listsFolder_)) {
        ++result_.handedOver;
        continue;
      }
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
      if (status == RegResult::Success) status = ReadRegistryValue(registry_, key.Get(), kTrustedPaths, &type, &bytes);
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
        const std::string text = TextOfValue(bytes);
        bool found = false, foundBefore = false;
        const std::string rest = WithoutFolder(text, listsFolder_, &found);
        if (!item.beforeAbsent) WithoutFolder(TextOfValue(item.beforeData), listsFolder_, &foundBefore);
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

std::vector<FilePlace> GroupByPlace(const CInstallRecord& record) {
  std::vector<FilePlace> places;
  std::unordered_map<std::string, std::size_t> index;  // upper-cased path -> place
  const auto at = [&](const std::string& path) -> FilePlace& {
    const auto found = index.emplace(platform::ToUpper(path), places.size());
    if (found.second) places.push_back(FilePlace{path, nullptr, {}});
    return places[found.first->second];
  };
  for (const CInstallRecord::FileItem& item : record.files) at(item.path).file = &item;  // the last one counts
  for (const CInstallRecord::BackupItem& item : record.backups) at(item.original).originals.push_back(&item);
  return places;
}

void Undo::Files() {
  for (const FilePlace& place : GroupByPlace(record_)) UndoPlace(place);
  record_.files = keptFiles_;
  record_.backups = keptBackups_;
}

void Undo::UndoPlace(const FilePlace& place) {
  if (IsProgram(place.path)) {
    if (place.file) keptFiles_.push_back(*place.file);
    return;
  }
  if (place.originals.empty() && !platform::EqualsNoCase(platform::FolderOf(place.path), folder_) &&
      platform::EqualsNoCase(platform::NameOf(place.path), kSettingsFile)) {
    result_.settingsFile = place.path;  // the user's: kept
    return;
  }
  if (!Confined(place)) {
    // Someone else's record (planted in a folder they made first, say)
    // deletes or restores nothing.
    Leave(UninstallLeft::Outside, place.path, std::string(), 0);
    KeepAll(place);
    return;
  }
  if (HandedOver(place.path)) {
    // The later install placed the same file and serves AutoCAD with it.
    // A kept original stays, for a later run once that install is gone.
    for (const CInstallRecord::BackupItem* item : place.originals) KeepOriginal(*item, true);
    return;
  }
  bool vacant = false;
  if (!Vacate(place, &vacant) || place.originals.empty()) return;
  if (vacant && !PutBack(place)) return;
  DropKeptCopies(place);
}

bool Undo::Confined(const FilePlace& place) const {
  if (places_.File(place.path) == UninstallPlaces::FileKind::Outside) return false;
  for (const CInstallRecord::BackupItem* item : place.originals) {
    if (!places_.KeptOriginal(item->kept, place.path)) return false;
  }
  // Nothing reached through a link: what lies below one may be anywhere.
  if (LinkOnTheWay(files_, places_.RootOf(place.path), place.path)) return false;
  for (const CInstallRecord::BackupItem* item : place.originals) {
    if (LinkOnTheWay(files_, places_.recordFolder, item->kept)) return false;
  }
  return true;
}

bool Undo::HandedOver(const std::string& path) const {
  for (const std::string& acad : handedOver_) {
    if (platform::EqualsNoCase(platform::FolderOf(path), acad) ||
        platform::EqualsNoCase(platform::FolderOf(platform::FolderOf(path)), acad)) {  // Fonts, Drv
      return true;
    }
  }
  return false;
}

bool Undo::Vacate(const FilePlace& place, bool* vacant) {
  // What stands there is checked and deleted through one handle. It is
  // ours while it holds what was written, and not when it holds a kept
  // original already (a run before put it back and could not write the
  // record after).
  bool restored = false;
  const auto ours = [&](const std::string& content) {
    for (const CInstallRecord::BackupItem* item : place.originals) {
      restored = restored || Holds(content, item->size, item->hash);
    }
    return !restored && place.file && Holds(content, place.file->size, place.file->hash);
  };
  const platform::CheckedRemove outcome = files_.RemoveIfOurs(place.path, ours);
  if (outcome == platform::CheckedRemove::Removed) {
    ++result_.filesRemoved;
    *vacant = true;
    return true;
  }
  if (outcome == platform::CheckedRemove::Failed) {
    const long error = files_.LastError();
    if (Missing(error)) {
      *vacant = true;
      return true;
    }
    Leave(UninstallLeft::Failed, place.path, std::string(), error);
    KeepAll(place);
    return false;
  }
  if (restored) return true;
  // Changed since; or kept but never replaced (the copy over it failed)
  // and changed since: not ours, and a kept copy stays beside it.
  if (place.file) Leave(UninstallLeft::Changed, place.path, std::string(), 0);
  for (const CInstallRecord::BackupItem* item : place.originals) {
    Leave(UninstallLeft::KeptOriginal, item->kept, std::string(), 0);
  }
  KeepAll(place);
  return false;
}

bool Undo::PutBack(const FilePlace& place) {
  // The last one kept is what stood there before the last install. With
  // its folder gone (AutoCAD removed) there is nowhere to put it.
  if (files_.Copy(place.originals.back()->kept, place.path, true)) {
    ++result_.originalsRestored;
    return true;
  }
  if (files_.LastError() == FileError::PathNotFound) return true;
  Leave(UninstallLeft::Failed, place.path, std::string(), files_.LastError());
  for (const CInstallRecord::BackupItem* item : place.originals) keptBackups_.push_back(*item);
  NoteLeft(place.path);
  return false;
}

void Undo::DropKeptCopies(const FilePlace& place) {
  for (const CInstallRecord::BackupItem* item : place.originals) {
    // A kept copy carries the original's attributes, read-only among them.
    ClearReadOnly(files_, item->kept);
    if (files_.Remove(item->kept) || Missing(files_.LastError())) continue;
    Leave(UninstallLeft::Failed, item->kept, std::string(), files_.LastError());
    KeepOriginal(*item, false);
  }
}

void Undo::KeepAll(const FilePlace& place) {
  if (place.file) keptFiles_.push_back(*place.file);
  for (const CInstallRecord::BackupItem* item : place.originals) {
    keptBackups_.push_back(*item);
    NoteLeft(item->kept);  // told with its place
  }
  NoteLeft(place.path);
}

void Undo::KeepOriginal(const CInstallRecord::BackupItem& item, bool tell) {
  if (tell) Leave(UninstallLeft::KeptOriginal, item.kept, std::string(), 0);
  keptBackups_.push_back(item);
  NoteLeft(item.kept);
}

void Undo::NoteLeft(const std::string& path) {
  leftFiles_.insert(platform::ToUpper(path));
  leftFiles_.insert(platform::ToUpper(platform::FolderOf(path)));
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
  NoteLeft(backup);
}

void Undo::MadeFoldersOutside() {
  for (const std::string& made : record_.madeFolders) {
    if (!places_.MadeFolder(made)) Leave(UninstallLeft::Outside, made, std::string(), 0);
  }
}

void Undo::EntryAndRecord() {
  // While anything is left, the entry stays: the uninstall can run again.
  if (result_.left.empty() && !record_.entryRoot.empty() && !places_.Entry(record_.entryRoot, record_.entryKey)) {
    Leave(UninstallLeft::Outside, record_.entryRoot + "\\" + record_.entryKey, std::string(), 0);
  } else if (result_.left.empty() && !record_.entryRoot.empty()) {
    RegKey root = platform::kNoKey;
    std::string path;
    long status = SplitRootName(record_.entryRoot, &root, &path) ? RegResult::Success : RegResult::InvalidData;
    path = record_.entryKey;
    bool ours = false;
    if (status == RegResult::Success) {
      ScopedRegKey key(registry_);
      status = registry_.OpenKeyRead(root, path.c_str(), key.Receive());
      unsigned long type = 0;
      std::string bytes;
      if (status == RegResult::Success) status = ReadRegistryValue(registry_, key.Get(), kUninstallString, &type, &bytes);
      // Another install's record folder, after a later install elsewhere.
      const std::string mine = platform::ToUpper("\"" + record_.Folder() + "\\" + kUninstaller + "\"");
      ours = status == RegResult::Success && platform::FindText(platform::ToUpper(TextOfValue(bytes)), mine) != platform::npos;
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
    NoteLeft(record_.Path());
    return;
  }
  // What is left, for the next run; the record on disk stays whole if
  // this cannot be written.
  if (!record_.Rewrite()) Leave(UninstallLeft::Failed, record_.Path(), std::string(), record_.Problem().error);
  NoteLeft(record_.Path());
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
        const bool told = leftFiles_.count(platform::ToUpper(path)) != 0;
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
  if (!folder_.empty() && !platform::EqualsNoCase(record_.Folder(), folder_)) RemoveFolderIfEmpty(folder_);
  // The folders the install made above it, innermost first. One that holds
  // anything else now is the user's: it stays, and is no problem. One that
  // holds only folders that go after the program goes after them.
  for (auto made = record_.madeFolders.rbegin(); made != record_.madeFolders.rend(); ++made) {
    // Only a folder above the agreed install folder (see MadeFoldersOutside).
    if (!places_.MadeFolder(*made)) continue;
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
  // A folder that is not plainly itself (empty, relative, with "..") is
  // no record folder: nothing is read there.
  if (!platform::IsPlainFullPath(recordFolder)) return result;
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
  UninstallPlaces places = FindUninstallPlaces(registry_, files_, recordFolder, record);
  if (!listsFolder_.empty() && platform::EqualsNoCase(record.installFolder, listsFolder_)) {
    places.listsFolder = listsFolder_;
  }
  Undo undo(registry_, files_, record, places, runningProgram, result, handOver_);
  undo.Loaders();
  undo.TrustedPaths();
  undo.Files();
  undo.BackupFolder();
  undo.MadeFoldersOutside();
  undo.EntryAndRecord();
  undo.Folders();
  return result;
}
