// CInstallRecord: what an install did, kept in the install folder (or a
// folder only administrators write) as "install_record.txt" so that it can
// be undone later, and the originals it kept of files it replaced (the
// "backup" sub-folder beside it).
//
// The record is a journal: each item the steps report is appended as one
// line, so that an install that stops halfway leaves a record of what it
// got to, and writing N items costs bytes linear in N. Each line ends with
// its own mark, the FNV-1a 64 of the line's bytes before it, so that a
// line cut by a power loss or a kill cannot pass for a whole one:
//  - the last line, without its line break, or whole with a mark that
//    does not match, is a torn tail and is dropped (at most the last item
//    is lost, and what is removed later never grows by it); an empty file
//    or one cut inside the first line is a record of nothing yet;
//  - any other line that is malformed or mismarked refuses the record
//    whole, and so does a whole line that is marked but malformed.
// Replayed in order, the lines merge: an item noted again for the same
// place keeps its first "before" (the value or file found before the first
// install) and takes the latest "written". A repeated install into the
// same folder loads the record first and appends to it.
//
// Whenever the record must be written whole (a torn tail or an older
// format found on load, an append that failed, the uninstall keeping only
// what is left), it is written to "install_record.new" beside it, flushed,
// and moved over the record in one step (FileSystem::MoveReplacing): a
// reader sees the old record or the new one.
//
// The file is UTF-8, whatever the system's code page, one item a line,
// fields separated by tabs; a tab, line break, carriage return or backslash
// inside a field is written as \t, \n, \r or \\. Raw registry data is
// written as hexadecimal. Lines (each followed by a tab and its mark):
//   VidudOvev install record 2                          (first line, no mark)
//   file    <path> <size> <FNV-1a 64 of the content, 16 hex digits>
//   backup  <original's path> <kept copy's path> <size> <hash>
//   loader  <product key> <sub-key> <LOADER written>   (an entry it made)
//   trusted <profile's Variables key> <before> <before type> <before data hex>
//           <Variables key existed: 1/0> <type written> <value written>
//   folder  <install folder>                            (the latest counts)
//   made    <a folder above it the install made>
//   entry   <root: HKLM or HKCU> <Uninstall key's path> (the latest counts)
//   created <registry key the install made, root name first>
// where <before> is "value" or "absent" (then type and data are empty),
// sizes and types are decimal without sign, spaces or leading zeros, and a
// size and its hash are both "unknown" or neither. The profile keys of
// trusted lines name the user's hive as HKEY_USERS\<SID>. A line the reader
// does not know is kept as it is.
// Records of the first version ("VidudOvev install record 1", the same
// lines without marks, rewritten whole after every item) are still read:
// a last line without its line break is dropped as torn there too, and the
// first item noted rewrites the record in this version.
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
#include <unordered_map>
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
  // The whole record is written here first, then moved over it.
  static constexpr const char* kNewFileName = "install_record.new";

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
  // parsed counts as a failure (it is not overwritten with less). Nothing
  // is written here: a torn tail or an older format is rewritten by the
  // first item noted.
  void Open(const std::string& recordFolder);
  std::string Folder() const { return folder_; }

  // The steps report here; each appends its line to the record.
  // A file created or replaced: its content is read back for the hash.
  void NoteFile(const std::string& path);
  void NoteLoader(const std::string& productKey, const std::string& subKey, const std::string& loader);
  void NoteTrustedPath(const TrustedItem& item);
  // The folder the package went to, and the Programs and Features entry
  // written for it (root "HKLM" or "HKCU", the key's path below it). The
  // folder the record names already is not noted again.
  void NoteInstallFolder(const std::string& folder);
  void NoteUninstallEntry(const std::string& root, const std::string& keyPath);
  // A folder above the install folder that the install made (the one the
  // user chose, when it was not there): an uninstall removes it when empty.
  void NoteMadeFolder(const std::string& folder);
  // A registry key (root name first, "HKEY_LOCAL_MACHINE\...") that was not
  // there before the install made it: the uninstall may delete it once it
  // is empty, and deletes no key it was not told of here.
  void NoteCreatedKey(const std::string& keyPath);
  // Something the install did that the record cannot name (`error` says
  // why): the record falls short, and an uninstall leaves it.
  void NoteUnrecorded(long error);
  bool CreatedKey(const std::string& keyPath) const;

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
  std::vector<std::string> createdKeys;

  // The whole record as text in this version, and parsed from text of
  // either version (false, nothing changed, on a malformed or mismarked
  // line before the last). Both in UTF-8 on the file side; the items hold
  // the code page's bytes. Parse(Serialise(x)) gives x back.
  bool Serialise(std::string* utf8) const;
  bool Parse(const std::string& utf8);
  // Whether the last Parse dropped a torn tail.
  bool TornTail() const { return tornTail_; }

  // Writes the whole record as it stands (the lists may have been changed
  // directly, as the uninstall does): to kNewFileName, flushed, then moved
  // over the record. False (the record on disk as it was) when that fails;
  // Problem() then says why.
  bool Rewrite();
  // Bytes this object has written to disk, appends and rewrites together.
  std::uint64_t BytesWritten() const { return bytesWritten_; }

 private:
  // Checks one line's fields and merges it into the items as a replay of
  // the journal does; false when the line is malformed.
  bool Apply(const std::vector<std::string>& fields, std::vector<std::string>* unknownLines, const std::string& raw);
  // Merges a noted item and appends its line (or rewrites the record).
  void Note(const std::vector<std::string>& fields);
  void Fail(long error);
  // Where the item for a place sits, through an index kept beside each
  // list and rebuilt when the list was changed directly; null when none.
  FileItem* FindFile(const std::string& path);
  LoaderItem* FindLoader(const std::string& productKey, const std::string& subKey);
  TrustedItem* FindTrusted(const std::string& profile);

  platform::FileSystem& files_;
  std::string folder_;
  std::string path_;
  std::vector<std::string> unknownLines_;
  bool incomplete_ = false;
  bool saveFailed_ = false;
  bool readOnly_ = false;
  bool started_ = false;       // the record on disk has this version's header
  bool needsRewrite_ = false;  // the next item rewrites the record whole
  bool tornTail_ = false;
  long error_ = 0;
  std::uint64_t bytesWritten_ = 0;
  std::unordered_map<std::string, std::size_t> fileIndex_, loaderIndex_, trustedIndex_;
};
