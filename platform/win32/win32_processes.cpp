// The running processes through kernel32's tool help.
#include <windows.h>
// tlhelp32.h needs the types of windows.h first.
#include <aclapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>


#include "platform/processes.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_text.h"

namespace platform {
namespace {

// Process32First wants the record's size set and every other field zero.
PROCESSENTRY32 EmptyEntry() {
  PROCESSENTRY32 entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.dwSize = sizeof(entry);
  return entry;
}

class Win32ProcessList final : public ProcessList {
 public:
  SnapshotHandle TakeSnapshot() override {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    return snapshot == INVALID_HANDLE_VALUE ? kNoSnapshot : reinterpret_cast<SnapshotHandle>(snapshot);
  }

  bool FirstProcess(SnapshotHandle snapshot, std::string* exeName) override {
    PROCESSENTRY32 entry = EmptyEntry();
    if (!Process32First(reinterpret_cast<HANDLE>(snapshot), &entry)) return false;
    if (exeName) *exeName = entry.szExeFile;
    return true;
  }

  bool NextProcess(SnapshotHandle snapshot, std::string* exeName) override {
    PROCESSENTRY32 entry = EmptyEntry();
    if (!Process32Next(reinterpret_cast<HANDLE>(snapshot), &entry)) return false;
    if (exeName) *exeName = entry.szExeFile;
    return true;
  }

  void ReleaseSnapshot(SnapshotHandle snapshot) override {
    if (snapshot != kNoSnapshot) CloseHandle(reinterpret_cast<HANDLE>(snapshot));
  }
};

class Win32Launcher final : public Launcher {
 public:
  bool Start(const std::string& commandLine, unsigned long* exitCode) override {
    return StartIn(commandLine, Places(), exitCode);
  }

  bool StartIn(const std::string& commandLine, const Places& places, unsigned long* exitCode) override {
    // The child's environment: the caller's, with the given variables set
    // or replaced, sorted by name as the system keeps a block.
    std::vector<std::string> variables;
    std::string block;
    if (!places.environment.empty()) {
      if (char* own = GetEnvironmentStringsA()) {
        for (const char* entry = own; *entry; entry += lstrlenA(entry) + 1) {
          const std::string text = entry;
          const std::size_t equals = text.find('=', 1);  // "=C:=C:\..." keeps its leading '='
          bool replaced = false;
          for (const auto& variable : places.environment) {
            replaced = replaced || (equals == variable.first.size() &&
                                    lstrcmpiA(text.substr(0, equals).c_str(), variable.first.c_str()) == 0);
          }
          if (!replaced) variables.push_back(text);
        }
        FreeEnvironmentStringsA(own);
      }
      for (const auto& variable : places.environment) variables.push_back(variable.first + "=" + variable.second);
      std::sort(variables.begin(), variables.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.substr(0, a.find('=', 1)).c_str(), b.substr(0, b.find('=', 1)).c_str()) < 0;
      });
      for (const std::string& variable : variables) block += variable + '\0';
      block += '\0';
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    // CreateProcessA may write into the command line.
    std::string line = commandLine;
    if (!CreateProcessA(places.program.empty() ? nullptr : places.program.c_str(), &line[0], nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, block.empty() ? nullptr : &block[0],
                        places.folder.empty() ? nullptr : places.folder.c_str(), &startup, &process)) {
      error_ = static_cast<long>(GetLastError());
      return false;
    }
    CloseHandle(process.hThread);
    bool ok = true;
    if (exitCode) {
      DWORD code = 0;
      ok = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code);
      if (ok) {
        *exitCode = code;
      } else {
        error_ = static_cast<long>(GetLastError());
      }
    }
    CloseHandle(process.hProcess);
    return ok;
  }

  bool StartElevated(const std::string& program, const std::string& arguments, unsigned long* exitCode) override {
    const std::vector<wchar_t> file = ToWide(program, CP_ACP);
    const std::vector<wchar_t> parameters = ToWide(arguments, CP_ACP);
    if (file.size() <= 1 && !program.empty()) {
      error_ = ERROR_NO_UNICODE_TRANSLATION;
      return false;
    }
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    // The process handle to wait on; no asynchronous start, since the
    // caller waits anyway; the shell's own error boxes stay away (the
    // caller tells the user).
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = file.data();
    info.lpParameters = parameters.data();
    info.nShow = SW_SHOWNORMAL;
    // shell32 by its full path: see system_library.h.
    using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto shellExecuteEx =
        SystemFunction<ShellExecuteExFn>(LoadSystemLibrary(L"shell32.dll"), "ShellExecuteExW");
    if (!shellExecuteEx) {
      error_ = static_cast<long>(GetLastError());
      return false;
    }
    if (!shellExecuteEx(&info)) {
      error_ = static_cast<long>(GetLastError());
      return false;
    }
    if (!info.hProcess) {
      error_ = ERROR_INVALID_HANDLE;
      return false;
    }
    DWORD code = 0;
    const bool ok =
        WaitForSingleObject(info.hProcess, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code);
    if (ok && exitCode) *exitCode = code;
    if (!ok) error_ = static_cast<long>(GetLastError());
    CloseHandle(info.hProcess);
    return ok;
  }

  long LastError() override { return error_; }

 private:
  long error_ = 0;
};

class Win32InstanceLock final : public InstanceLock {
 public:
  Hold TryHold(const std::string& name, bool onlyAdministrators) override {
    const std::vector<wchar_t> wide = ToWide("Global\\" + name, CP_ACP);
    // Not owned at creation: an existing one is then opened, and the wait
    // below says who holds it. The handle stays open for the process's life.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.data());
    if (!mutex) return Unavailable;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (existed && onlyAdministrators && !OwnedByAdministrators(mutex)) {
      CloseHandle(mutex);
      return Unavailable;
    }
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return Held;
    CloseHandle(mutex);
    return wait == WAIT_TIMEOUT ? HeldByAnother : Unavailable;
  }

 private:
  // Whether the object's owner is the Administrators group, SYSTEM, or the
  // owner this process gives its own objects (an elevated administrator's
  // is the Administrators group on Windows; under Wine the user's).
  static bool OwnedByAdministrators(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
      return false;
    }
    // Windows gives every object an owner (the creator's default one, when
    // none is named); a system that keeps none (Wine) tells nobody apart.
    if (!owner) {
      LocalFree(descriptor);
      return true;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    PSID system = nullptr;
    bool ours = false;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators) &&
        AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system)) {
      ours = (EqualSid(owner, administrators) || EqualSid(owner, system) || IsOwnDefaultOwner(owner));
    }
    if (administrators) FreeSid(administrators);
    if (system) FreeSid(system);
    LocalFree(descriptor);
    return ours;
  }

  static bool IsOwnDefaultOwner(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    union {
      TOKEN_OWNER owner;
      unsigned char bytes[128];
    } buffer;
    DWORD size = 0;
    const bool same = GetTokenInformation(token, TokenOwner, &buffer, sizeof(buffer), &size) &&
                      buffer.owner.Owner && EqualSid(buffer.owner.Owner, sid);
    CloseHandle(token);
    return same;
  }
};

}  // namespace

InstanceLock& SystemInstanceLock() {
  static Win32InstanceLock lock;
  return lock;
}

Launcher& SystemLauncher() {
  static Win32Launcher launcher;
  return launcher;
}

ProcessList& SystemProcessList() {
  static Win32ProcessList processes;
  return processes;
}

}  // namespace platform
