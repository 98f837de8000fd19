// The system's file system through kernel32's narrow-character calls;
// listings use the wide calls, so that a name the ANSI code page cannot
// carry is told rather than given with '?' in it as if it named a file.
#include <windows.h>

#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <map>
#include <vector>

#include "platform/files.h"
#include "platform/win32/win32_text.h"

namespace platform {
namespace {

FindHandle FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFind : reinterpret_cast<FindHandle>(handle);
}

void Fill(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  if (!entry) return;
  entry->nameError = NarrowName(data.cFileName, static_cast<int>(wcslen(data.cFileName)), &entry->name);
  entry->attributes = data.dwFileAttributes;
}

// A SID the folder's owner or an entry may name without making it
// another's: SYSTEM, Administrators, and (read only) Users where the list
// we set grants them that.
bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE buffer[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(buffer);
  return CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

// Rights that change a folder, what it holds, or who may: an entry
// granting any of them to another account makes the folder not ours.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                  FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                  GENERIC_ALL | MAXIMUM_ALLOWED | ACCESS_SYSTEM_SECURITY;

// True when the folder at `path` (not followed) looks as this program
// leaves it: a folder, no reparse point, owned by Administrators or
// SYSTEM, a protected list whose every allowing entry is for SYSTEM or
// Administrators, or grants Users no changing right.
bool IsOwnedFolder(const std::string& path) {
  const HANDLE folder =
      CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  bool owned = GetFileInformationByHandle(folder, &information) &&
               (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (owned) {
    owned = GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &list, nullptr, &descriptor) == ERROR_SUCCESS;
  }
  CloseHandle(folder);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  owned = owned && owner && list &&  // a null list lets everyone in
          (IsWellKnown(owner, WinBuiltinAdministratorsSid) || IsWellKnown(owner, WinLocalSystemSid)) &&
          GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
  for (DWORD k = 0; owned && k < list->AceCount; ++k) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(list, k, reinterpret_cast<void**>(&header))) {
      owned = false;
    } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      const ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
      PSID sid = const_cast<DWORD*>(&ace->SidStart);
      owned = IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
              (IsWellKnown(sid, WinBuiltinUsersSid) && !(ace->Mask & kChangingRights));
    } else {
      // Denying entries take nothing away from us; any other kind of
      // allowing entry (object, callback) is not one we set.
      owned = header->AceType == ACCESS_DENIED_ACE_TYPE;
    }
  }
  if (descriptor) LocalFree(descriptor);
  return owned;
}

// True when `path` (not followed) is a folder and no link.
bool IsPlainFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether the file system beside `path` keeps the access list a folder is
// made with: a folder made there with `descriptor` reads back as ours.
// Wine on a Unix file system without extended attributes keeps none, nor
// does FAT; there no folder can be told apart from another, and none can
// be protected, so an existing plain folder is not moved aside for it (a
// link still is). When the
// probe cannot be made, the answer is yes: the strict way.
bool KeepsAccessLists(const std::string& path, PSECURITY_DESCRIPTOR descriptor) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  char suffix[40];
  wsprintfA(suffix, ".probe-%08lX%04lX", static_cast<unsigned long>(now.LowPart ^ GetTickCount()),
            static_cast<unsigned long>(GetCurrentProcessId() & 0xFFFF));
  const std::string probe = path + suffix;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  if (!CreateDirectoryA(probe.c_str(), &attributes)) return true;
  const bool keeps = IsOwnedFolder(probe);
  RemoveDirectoryA(probe.c_str());
  return keeps;
}

// MakeOwnedFolder's work; a Win32 status.
DWORD OwnFolder(const std::string& path, PSECURITY_DESCRIPTOR descriptor, std::string* movedAside) {
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  // A squatter may come back between the move and the making: a few
  // rounds, then given up.
  for (int round = 0; round < 4; ++round) {
    if (CreateDirectoryA(path.c_str(), &attributes)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return error;
    if (IsOwnedFolder(path) || (IsPlainFolder(path) && !KeepsAccessLists(path, descriptor))) {
      PSID owner = nullptr;
      PACL list = nullptr;
      BOOL defaulted = FALSE, present = FALSE;
      if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
          !GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted)) {
        return ERROR_INVALID_SECURITY_DESCR;
      }
      // Set again by name: this also passes the inheritable entries on to
      // what the folder holds.
      std::vector<char> name(path.begin(), path.end());
      name.push_back('\0');
      return SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   owner, nullptr, list, nullptr);
    }
    // Not ours: renamed aside (a link is renamed, not followed), under a
    // name nobody could have known in advance.
    DWORD moveError = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 16 && moveError == ERROR_ALREADY_EXISTS; ++attempt) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      char suffix[32];
      wsprintfA(suffix, ".moved-%08lX%04lX", static_cast<unsigned long>(now.LowPart ^ GetTickCount()),
                static_cast<unsigned long>((GetCurrentProcessId() + attempt) & 0xFFFF));
      const std::string aside = path + suffix;
      if (MoveFileExA(path.c_str(), aside.c_str(), 0)) {
        if (movedAside) *movedAside = aside;
        moveError = ERROR_SUCCESS;
      } else {
        moveError = GetLastError();
        if (moveError == ERROR_FILE_EXISTS) moveError = ERROR_ALREADY_EXISTS;
      }
    }
    if (moveError != ERROR_SUCCESS) return moveError;
  }
  return ERROR_ALREADY_EXISTS;
}

// One copy on a worker thread: its result and its error come back here.
struct CopyJob {
  const char* from;
  const char* to;
  bool failIfExists;
  BOOL copied;
  DWORD error;
};

DWORD WINAPI RunCopy(void* parameter) {
  CopyJob* job = static_cast<CopyJob*>(parameter);
  job->copied = CopyFileA(job->from, job->to, job->failIfExists ? TRUE : FALSE);
  job->error = job->copied ? ERROR_SUCCESS : GetLastError();
  return 0;
}

// Calls that came with Vista, looked up at run time so that the program
// still starts on XP.
using SetInformationByHandleCall = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD);
using FinalPathCall = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);
// ntdll's call, on every Windows: XP's way to delete through a handle.
struct IoStatus {
  void* status;
  ULONG_PTR information;
};
using NtSetInformationFileCall = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
constexpr int kFileDispositionInformation = 13;

template <typename Call>
Call Kernel32Call(const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// `wide` made full, with every short (8.3) name in its long form; empty
// when that cannot be told.
std::wstring LongFullPath(const wchar_t* wide) {
  std::vector<wchar_t> full(32768, L'\0'), longer(32768, L'\0');
  const DWORD length = GetFullPathNameW(wide, 32768, full.data(), nullptr);
  if (length == 0 || length >= 32768) return std::wstring();
  const DWORD longLength = GetLongPathNameW(full.data(), longer.data(), 32768);
  if (longLength == 0 || longLength >= 32768) return std::wstring(full.data(), length);
  return std::wstring(longer.data(), longLength);
}

// Whether the open `file` is the one at `wide`, with no link on the way:
// the system's final path of the handle is the path asked for. XP has no
// final path; there every existing folder on the way is looked at instead,
// which a fast enough swap can still get past: the best that system allows.
bool ReachedDirectly(HANDLE file, const wchar_t* wide) {
  const std::wstring expected = LongFullPath(wide);
  if (expected.empty()) return false;
  static const FinalPathCall finalPath = Kernel32Call<FinalPathCall>("GetFinalPathNameByHandleW");
  if (finalPath) {
    std::vector<wchar_t> buffer(32768, L'\0');
    const DWORD length = finalPath(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0 /* normalised, DOS */);
    if (length == 0 || length >= buffer.size()) return false;
    std::wstring final(buffer.data(), length);
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
      final = L"\\" + final.substr(7);
    } else if (final.compare(0, 4, L"\\\\?\\") == 0) {
      final = final.substr(4);
    }
    return Upper(final) == Upper(expected);
  }
  for (std::size_t end = expected.find(L'\\', 3); end != std::wstring::npos; end = expected.find(L'\\', end + 1)) {
    const DWORD attributes = GetFileAttributesW(expected.substr(0, end).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  }
  return true;
}

// Deletes the open `file` (opened with DELETE access) through its handle.
bool DeleteThroughHandle(HANDLE file) {
  static const SetInformationByHandleCall setInformation =
      Kernel32Call<SetInformationByHandleCall>("SetFileInformationByHandle");
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  if (setInformation) return setInformation(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
  // XP: the same request through ntdll.
  const auto setFile = reinterpret_cast<NtSetInformationFileCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetInformationFile")));
  if (!setFile) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  IoStatus io = {};
  BOOLEAN deleteFile = TRUE;
  if (setFile(file, &io, &deleteFile, sizeof(deleteFile), kFileDispositionInformation) >= 0) return true;
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

// Clears the read-only mark of the open `file` (opened with
// FILE_WRITE_ATTRIBUTES): a read-only file cannot be deleted.
bool ClearReadOnlyThroughHandle(HANDLE file, const wchar_t* wide, DWORD attributes) {
  static const SetInformationByHandleCall setInformation =
      Kernel32Call<SetInformationByHandleCall>("SetFileInformationByHandle");
  const DWORD cleared = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                 : FILE_ATTRIBUTE_NORMAL;
  if (setInformation) {
    FILE_BASIC_INFO basic = {};  // zero times: left as they are
    basic.FileAttributes = cleared;
    return setInformation(file, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
  }
  // XP: by name; the handle keeps writers and deleters out meanwhile.
  return SetFileAttributesW(wide, cleared) != FALSE;
}

class Win32FileSystem final : public FileSystem {
 public:
  std::string ModulePath() override {
    // MAX_PATH characters and the zero; a longer path comes back cut and
    // without its zero on older systems, so it counts as no path at all.
    // Read wide: a folder name the code page cannot carry would come back
    // with '?' in it, a path to nowhere.
    wchar_t wide[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, wide, MAX_PATH + 1);
    if (length == 0 || length >= MAX_PATH + 1) return std::string();
    std::string path;
    if (NarrowName(wide, static_cast<int>(length), &path) != 0) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return std::string();
    }
    // No more bytes than GetModuleFileNameA would give.
    if (path.size() >= MAX_PATH + 1) return std::string();
    return path;
  }

  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
    WIN32_FIND_DATAW data = {};
    // The pattern converted as FindFirstFileA converts it.
    const HANDLE find = FindFirstFileW(ToWide(pattern, CP_ACP).data(), &data);
    if (find != INVALID_HANDLE_VALUE) Fill(data, entry);
    return FromHandle(find);
  }

  bool FindNext(FindHandle find, FindEntry* entry) override {
    WIN32_FIND_DATAW data = {};
    if (!FindNextFileW(reinterpret_cast<HANDLE>(find), &data)) return false;
    Fill(data, entry);
    return true;
  }

  void FindEnd(FindHandle find) override {
    if (find != kNoFind) FindClose(reinterpret_cast<HANDLE>(find));
  }

  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override {
    if (!waitHook_) return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
    // With a window waiting: the copy runs on a thread of its own while
    // this one calls the hook whenever a message arrives, so the window
    // repaints and is never taken for hung, however long the copy takes.
    CopyJob job{from.c_str(), to.c_str(), failIfExists, FALSE, ERROR_SUCCESS};
    const HANDLE worker = CreateThread(nullptr, 0, RunCopy, &job, 0, nullptr);
    if (!worker) {
      RunCopy(&job);  // no thread to be had: copied here, as without a hook
    } else {
      while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) waitHook_();
      CloseHandle(worker);
    }
    waitHook_();
    SetLastError(job.error);  // the copy's, from the thread that made it
    return job.copied != FALSE;
  }

  unsigned long GetAttributes(const std::string& path) override { return GetFileAttributesA(path.c_str()); }

  bool SetAttributes(const std::string& path, unsigned long attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }

  bool Remove(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

  CheckedRemove RemoveIfOurs(const std::string& path,
                             const std::function<bool(const std::string& content)>& ours) override {
    if (path.find(':', 2) != std::string::npos) {
      SetLastError(ERROR_INVALID_NAME);
      return CheckedRemove::Failed;
    }
    const std::vector<wchar_t> wide = ToWide(path, CP_ACP);
    // Sharing reads only: no writer, renamer or deleter gets in while the
    // content is checked. A link is opened as itself, not followed.
    const HANDLE file =
        CreateFileW(wide.data(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return CheckedRemove::Failed;
    DWORD error = ERROR_SUCCESS;
    CheckedRemove outcome = CheckedRemove::Failed;
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information)) {
      error = GetLastError();
    } else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      error = ERROR_ACCESS_DENIED;  // as DeleteFile says of a folder
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !ReachedDirectly(file, wide.data())) {
      error = static_cast<DWORD>(FileError::ReparsePoint);  // ERROR_REPARSE_POINT_ENCOUNTERED
    } else {
      std::string content;
      char buffer[65536];
      DWORD got = 0;
      BOOL ok;
      while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) && got > 0) content.append(buffer, got);
      if (!ok) {
        error = GetLastError();
      } else if (!ours(content)) {
        outcome = CheckedRemove::Kept;
      } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) &&
                 !ClearReadOnlyThroughHandle(file, wide.data(), information.dwFileAttributes)) {
        error = GetLastError();
      } else if (!DeleteThroughHandle(file)) {
        error = GetLastError();
      } else {
        outcome = CheckedRemove::Removed;
      }
    }
    CloseHandle(file);  // the delete takes effect here
    SetLastError(error);
    return outcome;
  }

  bool MakeFolder(const std::string& path) override { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

  bool RemoveFolder(const std::string& path) override { return RemoveDirectoryA(path.c_str()) != FALSE; }
  bool MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) override {
    if (movedAside) movedAside->clear();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(access, SDDL_REVISION_1, &descriptor, nullptr)) {
      return false;
    }
    const DWORD status = OwnFolder(path, descriptor, movedAside);
    LocalFree(descriptor);
    SetLastError(status);
    return status == ERROR_SUCCESS;
  }

  bool MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (access &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(access, SDDL_REVISION_1, &descriptor, nullptr)) {
      return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 16 && error == ERROR_ALREADY_EXISTS; ++attempt) {
      unsigned char random[8];
      if (!RtlGenRandom(random, sizeof(random))) {
        error = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
        break;
      }
      std::string path = prefix;
      for (const unsigned char byte : random) {
        path += "0123456789ABCDEF"[byte >> 4];
        path += "0123456789ABCDEF"[byte & 15];
      }
      if (CreateDirectoryA(path.c_str(), descriptor ? &attributes : nullptr)) {
        if (made) *made = path;
        error = ERROR_SUCCESS;
      } else {
        error = GetLastError();
      }
    }
    if (descriptor) LocalFree(descriptor);
    SetLastError(error);
    return error == ERROR_SUCCESS;
  }

  bool HoldAgainstWriters(const std::string& path) override {
    if (held_.count(path)) return true;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    held_[path] = file;
    return true;
  }

  void LetGo(const std::string& path) override {
    const auto it = held_.find(path);
    if (it == held_.end()) return;
    CloseHandle(it->second);
    held_.erase(it);
  }

  bool ReadBytes(const std::string& path, std::string* bytes) override {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) && got > 0) content.append(buffer, got);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (!ok) {
      SetLastError(error);
      return false;
    }
    if (bytes) bytes->swap(content);
    return true;
  }

  bool WriteBytes(const std::string& path, const std::string& bytes) override {
    // Like CopyFile, refuses a read-only or hidden file rather than
    // clearing its attributes.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok && !bytes.empty() && written != bytes.size()) {
      SetLastError(ERROR_WRITE_FAULT);
      ok = FALSE;
    }
    // On the disk before a move puts it in the place of the file it
    // replaces: a power cut then leaves the old file or the whole new one.
    if (ok) ok = FlushFileBuffers(file);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (!ok) SetLastError(error);
    return ok != FALSE;
  }

  bool MoveReplacing(const std::string& from, const std::string& to) override {
    // Wide, so that no best-fit conversion names another file.
    const std::vector<wchar_t> source = ToWide(from, 0);
    const std::vector<wchar_t> target = ToWide(to, 0);
    if (source.size() < 2 || target.size() < 2) {
      SetLastError(ERROR_INVALID_NAME);
      return false;
    }
    return MoveFileExW(source.data(), target.data(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }

  bool AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) override {
    // Append access alone makes every write go to the end, even when
    // another run appends to the same file meanwhile; both may read it.
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // The link itself was opened, not what it names: nothing is written
    // through it, nor into a file that has another name elsewhere.
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks > 1) {
      CloseHandle(file);
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    LARGE_INTEGER size = {};
    BOOL ok = !sizeBefore || GetFileSizeEx(file, &size);
    DWORD written = 0;
    if (ok && !bytes.empty())
      ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (!ok) {
      SetLastError(error);
      return false;
    }
    if (sizeBefore) *sizeBefore = static_cast<std::uint64_t>(size.QuadPart);
    return true;
  }

  std::string Environment(const std::string& name) override {
    // Read wide and converted without best-fit stand-ins: the narrow call
    // would turn a character the code page lacks into '?' or a look-alike
    // letter, a folder name that may be someone else's. Asked twice, for
    // the length and then the value, so that a value of any length comes
    // back whole.
    const std::vector<wchar_t> wideName = ToWide(name, CP_ACP);
    const DWORD needed = GetEnvironmentVariableW(wideName.data(), nullptr, 0);
    if (needed == 0) return std::string();
    std::vector<wchar_t> value(needed + 1, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.data(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0 || length >= value.size()) return std::string();
    std::string text;
    if (NarrowName(value.data(), static_cast<int>(length), &text) != 0) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return std::string();
    }
    return text;
  }

  long LastError() override { return static_cast<long>(GetLastError()); }

 private:
  std::map<std::string, HANDLE> held_;  // HoldAgainstWriters' handles, by path
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem files;
  return files;
}

}  // namespace platform
