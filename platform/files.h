// The file family: the file-system operations the package copy and the
// support-file step need, shaped like the kernel32 / C run-time calls they
// stand for. Paths are byte strings in the system's ANSI code page
// (platform/text.h) with backslashes.
//
// Two implementations: the system's (platform/win32) and an in-memory file
// system (platform/memory) that keeps Windows' rules for tests.
//
// Contract shared by every implementation:
//  - names compare ignoring case and keep their case;
//  - a listing reports "." and ".." for every folder but a drive root;
//  - Copy onto a read-only file, onto a file another process holds open, or
//    into a missing folder fails; a copy carries the source's attributes and
//    alternate data streams ("file:stream") over;
//  - failures report a Win32 error code through LastError();
//  - no call cuts a path: one that does not fit the system's limit fails.
// Member names avoid the Win32 macro names (CopyFile, DeleteFile, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace platform {

constexpr unsigned long kAttrReadOnly = 0x1;    // FILE_ATTRIBUTE_READONLY
constexpr unsigned long kAttrHidden = 0x2;      // FILE_ATTRIBUTE_HIDDEN
constexpr unsigned long kAttrSystem = 0x4;      // FILE_ATTRIBUTE_SYSTEM
constexpr unsigned long kAttrDirectory = 0x10;  // FILE_ATTRIBUTE_DIRECTORY
constexpr unsigned long kAttrArchive = 0x20;    // FILE_ATTRIBUTE_ARCHIVE
constexpr unsigned long kAttrNormal = 0x80;     // FILE_ATTRIBUTE_NORMAL
constexpr unsigned long kAttrReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT: a junction or link
constexpr unsigned long kInvalidAttributes = 0xFFFFFFFFu;

// The access lists MakeOwnedFolder gives a folder, in the system's
// descriptor language. Both: owner Administrators; SYSTEM and
// Administrators full control, passed on to files and sub-folders; nothing
// inherited from the parent (P), so a drive root that lets every user write
// does not reach in.
//  - kRecordAccess: nothing else (the record, the kept originals, the
//    uninstaller and the log of an elevated run);
//  - kProgramAccess: as Program Files, Users may also read and execute
//    (0x1200a9), for the add-on every user's AutoCAD loads.
constexpr char kRecordAccess[] = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr char kProgramAccess[] = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// File error codes the setup meets (Win32 numbers).
namespace FileError {
constexpr long FileNotFound = 2;      // ERROR_FILE_NOT_FOUND
constexpr long PathNotFound = 3;      // ERROR_PATH_NOT_FOUND
constexpr long AccessDenied = 5;      // ERROR_ACCESS_DENIED
constexpr long InvalidHandle = 6;     // ERROR_INVALID_HANDLE
constexpr long NoMoreFiles = 18;      // ERROR_NO_MORE_FILES
constexpr long NotSameDevice = 17;    // ERROR_NOT_SAME_DEVICE
constexpr long SharingViolation = 32; // ERROR_SHARING_VIOLATION
constexpr long FileExists = 80;       // ERROR_FILE_EXISTS
constexpr long InvalidName = 123;     // ERROR_INVALID_NAME
constexpr long DirNotEmpty = 145;     // ERROR_DIR_NOT_EMPTY
constexpr long DirectoryName = 267;   // ERROR_DIRECTORY: not a folder
constexpr long AlreadyExists = 183;   // ERROR_ALREADY_EXISTS
constexpr long EnvVarNotFound = 203;  // ERROR_ENVVAR_NOT_FOUND
constexpr long NoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION
constexpr long ReparsePoint = 4395;   // ERROR_REPARSE_POINT_ENCOUNTERED: a link where a plain name was expected
}  // namespace FileError

// One entry of a listing: the bare name and the attribute word. A name the
// ANSI code page cannot carry (a Chinese file name on a code page 1252
// system) comes with nameError NoUnicodeTranslation, and `name` as the
// narrow call gives it, '?' for each character the code page lacks: it
// names no file, and is for telling the user only.
struct FindEntry {
  std::string name;
  unsigned long attributes = 0;
  long nameError = 0;
};

// How RemoveIfOurs ended.
enum class CheckedRemove {
  Removed,  // it held what `ours` accepts, and is deleted
  Kept,     // it holds something else: nothing was changed
  Failed,   // it could not be opened, read or deleted: LastError says why
};

using FindHandle = std::uintptr_t;
constexpr FindHandle kNoFind = 0;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // GetModuleFileNameA(null): the running program's full path; empty on
  // failure or when the path does not fit 260 characters, and empty with
  // LastError NoUnicodeTranslation when the ANSI code page cannot carry it.
  virtual std::string ModulePath() = 0;

  // FindFirstFileA / FindNextFileA / FindClose: `pattern` is a folder
  // joined with a name or "*.*". kNoFind / false when nothing (more) is found.
  virtual FindHandle FindFirst(const std::string& pattern, FindEntry* entry) = 0;
  virtual bool FindNext(FindHandle find, FindEntry* entry) = 0;
  virtual void FindEnd(FindHandle find) = 0;

  // CopyFileA(from, to, failIfExists).
  virtual bool Copy(const std::string& from, const std::string& to, bool failIfExists) = 0;

  // GetFileAttributesA (kInvalidAttributes when missing) / SetFileAttributesA.
  virtual unsigned long GetAttributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, unsigned long attributes) = 0;

  // DeleteFileA; "file:stream" deletes only that alternate data stream.
  virtual bool Remove(const std::string& path) = 0;

  // Reads the file at `path` and deletes it through one open handle, so
  // that nothing can put another file there between the check and the
  // delete: opened without following a reparse point and sharing reads
  // only (no one writes, renames or deletes it meanwhile), read whole and
  // handed to `ours`; when that says true, a read-only mark is cleared and
  // the file deleted through the same handle. Failed, with LastError:
  // FileNotFound / PathNotFound when it is missing, AccessDenied for a
  // folder, SharingViolation when another process holds it, InvalidName
  // for a stream name, ReparsePoint when it is a link or the handle's
  // final path is not `path` (a junction in a folder above it).
  virtual CheckedRemove RemoveIfOurs(const std::string& path,
                                     const std::function<bool(const std::string& content)>& ours) = 0;

  // CreateDirectoryA / _mkdir: one folder level; false when it exists or the
  // parent is missing.
  virtual bool MakeFolder(const std::string& path) = 0;

  // RemoveDirectoryA: removes one empty folder; false when it is missing,
  // not empty, read-only, or not a folder.
  virtual bool RemoveFolder(const std::string& path) = 0;
  // A folder an elevated run owns, with the access list `access`
  // (kRecordAccess or kProgramAccess), one level:
  //  - missing: made with that descriptor at creation (CreateDirectoryA
  //    with SECURITY_ATTRIBUTES), so there is no moment at which it has
  //    any other;
  //  - there and ours (a folder, no reparse point, owned by Administrators
  //    or SYSTEM, a protected access list that lets nobody but SYSTEM and
  //    Administrators write): kept with what it holds, its list set again;
  //  - there and not ours (a file, a reparse point, another owner, an
  //    inherited list or one that lets others write): renamed aside to a
  //    name of its own beside it, given in `*movedAside`, and the folder
  //    made anew, empty. Nothing of what it held is taken over.
  // `*movedAside` is cleared when nothing was moved. False (LastError set)
  // when the folder cannot be had so: a missing parent, no administrator
  // rights, a squatter that cannot be moved.
  virtual bool MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) = 0;

  // A new folder of this call's own: `prefix` (a full path up to the
  // name's start) and sixteen hex digits nobody can know in advance
  // (RtlGenRandom), made there and then; a name already taken is passed,
  // never entered. With `access`, made with that list at creation, as
  // MakeOwnedFolder's; null: the parent's. Its path in `*made`. False
  // (LastError) when none can be made: a missing parent, no rights.
  virtual bool MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) = 0;

  // Holds the file open for reading, shared with readers alone, until
  // LetGo: meanwhile nobody can write, replace, rename or delete it, and
  // it can still be read and started. False (LastError) when it cannot be
  // opened so: missing, a folder, or already open for writing elsewhere.
  virtual bool HoldAgainstWriters(const std::string& path) = 0;
  virtual void LetGo(const std::string& path) = 0;

  // CreateFileA + ReadFile: the whole content of a file into `bytes`;
  // false (bytes untouched) when it is missing, a folder, or held open.
  virtual bool ReadBytes(const std::string& path, std::string* bytes) = 0;

  // CreateFileA(CREATE_ALWAYS) + WriteFile + FlushFileBuffers: makes or
  // replaces the file with `bytes`, on the disk when it returns; fails on a
  // read-only or hidden file, a file another process holds open, and in a
  // missing folder, as Copy does.
  virtual bool WriteBytes(const std::string& path, const std::string& bytes) = 0;

  // MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
  // the file `from` takes the name `to` in one step, replacing a file of
  // that name, and the move is on the disk when it returns; a reader sees
  // the old file or the new one, never a part of either. Fails (nothing
  // moved) when `from` is missing or held open, `to`'s folder is missing,
  // `to` is a folder, read-only or held open (AccessDenied), or the two lie
  // on different drives (NotSameDevice).
  virtual bool MoveReplacing(const std::string& from, const std::string& to) = 0;

  // CreateFileA(OPEN_ALWAYS, append access) + WriteFile: adds `bytes` at
  // the end of the file, making it when it is missing; `*sizeBefore` (when
  // given) gets the file's length before, 0 for a new file. Fails on a
  // read-only file, a folder, a file another process holds open without
  // sharing, and in a missing folder; a hidden file takes the bytes.
  // Links are not followed: a reparse point (a symbolic link, a mount
  // point) or a file with more than one name (a hard link, which another
  // user may have made to a file of an administrator's) is refused with
  // AccessDenied, unchanged.
  virtual bool AppendBytes(const std::string& path, const std::string& bytes,
                           std::uint64_t* sizeBefore = nullptr) = 0;

  // The whole value of an environment variable, however long (callers
  // that hold it in a path buffer check the length themselves); empty when
  // unset, and empty with LastError NoUnicodeTranslation when the ANSI
  // code page cannot carry it: a best-fit stand-in ("?" or a look-alike
  // letter) could name another folder that exists.
  virtual std::string Environment(const std::string& name) = 0;

  // GetLastError after the last failed call of this family.
  virtual long LastError() = 0;

  // Called on the calling thread while a copy runs, again and again, and
  // once after it, so that a window can handle its messages meanwhile (a
  // copy from a slow share or under a virus scanner may take many
  // seconds). Empty: nothing is called.
  void SetWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }

 protected:
  std::function<void()> waitHook_;
};

// The file system this program runs against: the system's on Windows.
FileSystem& SystemFileSystem();

// Owns a listing and ends it on every way out of a scope.
class ScopedFind {
 public:
  ScopedFind(FileSystem& files, FindHandle find) : files_(files), find_(find) {}
  ~ScopedFind() {
    if (find_ != kNoFind) files_.FindEnd(find_);
  }
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;

  FindHandle Get() const { return find_; }
  bool Valid() const { return find_ != kNoFind; }

 private:
  FileSystem& files_;
  FindHandle find_;
};

}  // namespace platform
