// The running processes through kernel32's tool help.
#include <windows.h>
// tlhelp32.h needs the types of windows.h first.
#include <shellapi.h>
#include <tlhelp32.h>

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
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    // CreateProcessA may write into the command line.
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
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

}  // namespace

Launcher& SystemLauncher() {
  static Win32Launcher launcher;
  return launcher;
}

ProcessList& SystemProcessList() {
  static Win32ProcessList processes;
  return processes;
}

}  // namespace platform
