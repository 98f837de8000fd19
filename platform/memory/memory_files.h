// An in-memory file system with Windows' rules, for fast native tests and
// for faults real files will not produce on demand.
//
// Rules kept (the contract suite checks each against Win32):
//  - paths are "X:\a\b" (drives appear as they are used), "\a" on the
//    current folder's drive, or relative to the current folder; "/" also
//    separates, "." and ".." are resolved; a trail byte 0x5C of a
//    double-byte character is part of its name, not a separator;
//  - names compare ignoring case and keep their case; overwriting a file
//    keeps the name it had;
//  - a listing gives "." and ".." first (every folder but a drive root),
//    then the entries sorted by upper-cased name; "*.*" matches every name,
//    dotless ones included; a listing is a copy taken when it starts;
//  - FindFirst on a path that ends in a backslash finds nothing;
//  - a copy carries content, attributes and alternate data streams over;
//    it fails onto a read-only file or a folder, from a folder, into a
//    missing folder, and from or onto a file held open by another process
//    (held open without sharing, as AutoCAD holds its files);
//  - "file:stream" names an alternate data stream; Remove deletes just the
//    stream, and not while the file is read-only; GetAttributes finds it;
//    Copy, SetAttributes and MakeFolder refuse stream names (InvalidName);
//  - deleting refuses folders, read-only and held-open files; removing a
//    folder refuses files (DirectoryName), drive roots and folders that
//    hold anything (DirNotEmpty);
//  - RemoveIfOurs refuses a path through a folder marked as a reparse
//    point (MarkReparsePoint), as the system refuses a final path that is
//    not the one asked for;
//  - the program's path comes back empty when it is longer than 260
//    characters, as the system implementation gives it;
//  - failures set LastError to the Win32 code Windows gives;
//  - a name the code page in force cannot carry is listed with nameError
//    NoUnicodeTranslation and '?' for each character beyond ASCII: names
//    are kept in the code page they were written in, and one beyond ASCII,
//    listed under another, counts as such (platform/memory/foreign_names.h).
// Chosen operations on chosen paths can be made to fail (FailOn).
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace platform {

class MemoryFileSystem final : public FileSystem {
 public:
  enum class Op { ModulePath, FindFirst, FindNext, Copy, GetAttributes, SetAttributes, Remove, MakeFolder, Environment,
                  ReadBytes, WriteBytes, RemoveFolder, MakeOwnedFolder, AppendBytes, MoveReplacing,
                  RemoveIfOurs, MakeFreshFolder, HoldAgainstWriters };

  MemoryFileSystem();
  ~MemoryFileSystem() override;

  std::string ModulePath() override;
  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override;
  bool FindNext(FindHandle find, FindEntry* entry) override;
  void FindEnd(FindHandle find) override;
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
  unsigned long GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, unsigned long attributes) override;
  bool Remove(const std::string& path) override;
  CheckedRemove RemoveIfOurs(const std::string& path,
                             const std::function<bool(const std::string& content)>& ours) override;
  bool MakeFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) override;
  bool MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) override;
  bool HoldAgainstWriters(const std::string& path) override;
  void LetGo(const std::string& path) override;
  bool ReadBytes(const std::string& path, std::string* bytes) override;
  bool WriteBytes(const std::string& path, const std::string& bytes) override;
  bool AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) override;
  bool MoveReplacing(const std::string& from, const std::string& to) override;
  std::string Environment(const std::string& name) override;
  long LastError() override { return lastError_; }

  // Setting the scene. Paths as for the operations; a malformed path or a
  // clash with an existing entry throws std::invalid_argument (a fault of
  // the test, not of the code under test).
  // The path is kept in the code page in force (foreign_names.h).
  void SetModulePath(const std::string& path) {
    modulePath_ = path;
    modulePathCodePage_ = CurrentCodePage();
  }
  // The value is kept in the code page in force (foreign_names.h): read
  // under another, one beyond ASCII fails with NoUnicodeTranslation.
  void SetEnvironment(const std::string& name, const std::string& value);
  // Where relative paths start; "C:\" at first. The folder must exist.
  void SetCurrentFolder(const std::string& folder);
  // Makes the folder and every missing folder above it.
  void AddFolder(const std::string& path);
  // Makes (or replaces) a file, and every missing folder above it.
  void AddFile(const std::string& path, const std::string& content = std::string(),
               unsigned long attributes = kAttrArchive);
  void AddStream(const std::string& file, const std::string& stream, const std::string& content = std::string());
  // Gives a folder its own access list, as a user who made it first would
  // ("O:<user SID>D:PAI(A;OICI;FA;;;WD)..."). MakeOwnedFolder keeps a
  // folder only when its list is the one it would set.
  void SetAccess(const std::string& folder, const std::string& access);
  // Marks a file or folder as a reparse point (a junction or a symbolic
  // link someone made): GetAttributes and listings show kAttrReparsePoint,
  // MakeOwnedFolder moves it aside, and RemoveIfOurs refuses what lies in
  // it or below it, as the system's refuses a handle whose final path is
  // not the path asked for. Other operations go on as through the link's
  // target.
  void MarkReparsePoint(const std::string& path);
  // As if the file had `links` names (hard links another user made).
  void SetLinkCount(const std::string& file, int links);
  // As if another process had the file open without sharing, until Release.
  void HoldOpen(const std::string& path);
  void Release(const std::string& path);

  // Makes `op` fail with `error` on `path` and everything below it (an
  // empty path: everywhere). For Copy either path counts; for FindNext the
  // folder listed; ModulePath and Environment ignore the path.
  void FailOn(Op op, const std::string& path, long error = FileError::AccessDenied);

  // Runs at the start of every copy, with its destination, as if the copy
  // took that long: a test acts meanwhile as a person at the window would.
  std::function<void(const std::string& destination)> onCopy;

  // Inspection for tests.
  bool Exists(const std::string& path) const;
  // The file's content; false when there is no such file.
  bool ReadFile(const std::string& path, std::string* content) const;
  bool HasStream(const std::string& file, const std::string& stream) const;
  // The access list set on a folder by MakeOwnedFolder (or SetAccess), in
  // the system's descriptor language; empty for one that takes its
  // parent's (every folder made otherwise), or no folder at all.
  std::string Access(const std::string& folder) const;
  // A folder's entries, without "." and "..", in listing order.
  std::vector<std::string> Names(const std::string& folder) const;
  // Listings started and not ended.
  std::size_t OpenFindCount() const { return finds_.size(); }
  std::size_t CallCount(Op op) const { return calls_[static_cast<int>(op)]; }

 private:
  struct Node;
  struct Parsed;
  // True when the node or anything below it is held open: Windows will
  // not rename a folder then.
  static bool HoldsOpen(const Node& node);
  struct Listing {
    std::vector<FindEntry> entries;
    std::size_t next = 0;
    std::vector<std::string> folder;  // upper-cased parts, for FailOn
  };
  struct Fault {
    Op op;
    std::vector<std::string> parts;  // upper-cased; empty: everywhere
    long error;
  };

  bool Parse(const std::string& path, Parsed* parsed) const;
  // The node at `parts`; nullptr and `*error` set when missing.
  Node* Walk(const std::vector<std::string>& parts, long* error) const;
  Node* Lookup(const std::string& path, Parsed* parsed, long* error) const;
  Node* MakePath(const std::vector<std::string>& parts, std::size_t count);
  Node* Require(const std::string& path) const;
  // A file to write: made when missing (archive mark), null (LastError set)
  // when the path, a fault or a folder, a held file or read-only marks
  // (`refusedMarks`) stand in the way.
  Node* FileToWrite(Op op, const std::string& path, unsigned long refusedMarks);
  // True (and LastError set) when a fault set by FailOn applies.
  bool Fails(Op op, const std::vector<std::string>& parts);
  // Records `error` as LastError; false, for `return Fail(...)`.
  bool Fail(long error);
  FindHandle FailFind(long error) {
    Fail(error);
    return kNoFind;
  }
  void Count(Op op) { ++calls_[static_cast<int>(op)]; }

  std::map<std::string, std::unique_ptr<Node>> drives_;  // by upper-cased "X:"
  std::vector<std::string> current_;                      // current folder's parts, drive first
  std::string modulePath_;
  unsigned int modulePathCodePage_ = 0;
  std::map<std::string, std::pair<std::string, std::string>> environment_;  // upper-cased name -> name, value
  std::map<std::string, unsigned int> environmentCodePages_;                // the code page each value was set in
  std::map<FindHandle, Listing> finds_;
  FindHandle nextFind_ = 0x2000;
  std::vector<Fault> faults_;
  long lastError_ = 0;
  std::size_t calls_[static_cast<int>(Op::HoldAgainstWriters) + 1] = {};
  unsigned freshSerial_ = 0;
};

}  // namespace platform
