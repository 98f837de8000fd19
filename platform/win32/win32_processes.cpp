// The running processes through kernel32's tool help.
#include <windows.h>
// tlhelp32.h needs the types of windows.h first.
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>


#include "platform/processes.h"

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
