// CInstallRecord: what an install did, kept in the install folder as
// "install_record.txt" so that it can be undone later, and the originals it
// kept of files it replaced (the "backup" sub-folder beside it).
//
// The record is written again after every item the steps report, so that
// an install that stops halfway leaves a record of what it got to. A
// repeated install into the same folder loads the record first and merges
// into it: an item already there keeps its first "before" (the value or
// file found before the first install) and takes the latest "written".
//
// The file is UTF-8, whatever the system's code page, one item a line,
// fields separated by tabs; a tab, line break, carriage return or backslash
// inside a field is written as \t, \n, \r or \\. Raw registry data is
// written as hexadecimal. Lines:
//   VidudOvev install record 1                          (first line)
//   file    <path> <size> <FNV-1a 64 of the content, 16 hex digits>
//   backup  <original's path> <kept copy's path> <size> <hash>
//   loader  <product key> <sub-key> <LOADER written>
//   trusted <profile's Variables key> <before> <before type> <before data hex>
//           <Variables key existed: 1/0> <type written> <value written>
//   folder  <install folder>                            (at most one)
//   made    <a folder above it the install made>
//   entry   <root: HKLM or HKCU> <Uninstall key's path> (at most one)
// where <before> is "value" or "absent" (then type and data are empty). A
// line the reader does not know is kept as it is.
//
// Originals are kept for the files the support-file step places in
// AutoCAD's folders; the install folder and the settings file are the
// add-on's own, and what was there is not kept.
//
// A record that cannot be written (or read back, or a text that no UTF-8
// can carry) never stops or fails the install: the install goes on as
// before, and the record is told once among the install's problems
// (SetupProblem::RecordWrite, naming the record's path). A file whose
// content cannot be read for its hash is recorded with size and hash
// "unknown", which no later content matches, and counts the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "record/setup_problem.h"

namespace platform {
class FileSystem;
}

// FNV-1a, 64 bits, of `bytes`.
std::uint64_t Fnv1a64(const std::string& bytes);

class CInstallRecord {
 public:
  static constexpr const char* kFileName = "install_record.txt";
  static constexpr const char* kBackupFolder = "backup";

  struct FileItem {
    std::string path;
    std::string size;  // decimal, or "unknown"
    std::string hash;  // 16 hex digits, or "unknown"
  };
  struct BackupItem {
    std::string original;
    std::string kept;
    std::string size;
    std::string hash;
  };
  struct LoaderItem {
    std::string productKey;
    std::string subKey;
    std::string loader;
  };
  struct TrustedItem {
    std::string profile;
    bool beforeAbsent = true;
    unsigned long beforeType = 0;
    std::string beforeData;  // the exact bytes read
    bool variablesExisted = false;
    unsigned long writtenType = 0;
    std::string written;
  };

  explicit CInstallRecord(platform::FileSystem& fileSystem);
  CInstallRecord(const CInstallRecord&) = delete;
  CInstallRecord& operator=(const CInstallRecord&) = delete;

  // Takes `recordFolder` (no trailing backslash) as the record's home (the
  // install folder, or a folder only administrators can write) and loads a
  // record already there. A record that is there but cannot be read or
  // parsed counts as a failure (it is not overwritten with less).
  void Open(const std::string& recordFolder);
  std::string Folder() const { return folder_; }

  // The steps report here; each writes the record out again.
  // A file created or replaced: its content is read back for the hash.
  void NoteFile(const std::string& path);
  void NoteLoader(const std::string& productKey, const std::string& subKey, const std::string& loader);
  void NoteTrustedPath(const TrustedItem& item);
  // The folder the package went to, and the Programs and Features entry
  // written for it (root "HKLM" or "HKCU", the key's path below it).
  void NoteInstallFolder(const std::string& folder);
  void NoteUninstallEntry(const std::string& root, const std::string& keyPath);
  // A folder above the install folder that the install made (the one the
  // user chose, when it was not there): an uninstall removes it when empty.
  void NoteMadeFolder(const std::string& folder);

  // Before `path` is replaced: when a file is there that this install did
  // not put there (not recorded, or changed since), keeps a copy of it in
  // the backup folder under a name no other kept copy has, and notes it.
  // A file that is ours, and a file already kept with the same content,
  // is not kept again; a kept copy is never overwritten. False when a copy
  // should have been kept and could not be (the caller reports it; the file
  // is still replaced).
  bool KeepOriginal(const std::string& path);

  // Whether the record on disk falls short of what the install did: the
  // last write failed, a hash is unknown, or a record already there could
  // not be read (it is then left as it is, and nothing is written).
  bool Failed() const { return incomplete_ || saveFailed_ || readOnly_; }
  // The one problem to report, when Failed().
  SetupProblem Problem() const;
  std::string Path() const { return path_; }

  std::vector<FileItem> files;
  std::vector<BackupItem> backups;
  std::vector<LoaderItem> loaders;
  std::vector<TrustedItem> trusted;
  std::string installFolder;  // empty: not noted
  std::vector<std::string> madeFolders;
  std::string entryRoot;      // empty: no entry written
  std::string entryKey;

  // The record as text, and parsed from text (false on a malformed line).
  // Both in UTF-8 on the file side; the items hold the code page's bytes.
  bool Serialise(std::string* utf8) const;
  bool Parse(const std::string& utf8);

 private:
  void Save();
  void Fail(long error);

  platform::FileSystem& files_;
  std::string folder_;
  std::string path_;
  std::vector<std::string> unknownLines_;
  bool incomplete_ = false;
  bool saveFailed_ = false;
  bool readOnly_ = false;
  long error_ = 0;
};
