// The running processes through kernel32's tool help.
#include <windows.h>
// tlhelp32.h needs the types of windows.h first.
#include <tlhelp32.h>

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

}  // namespace

ProcessList& SystemProcessList() {
  static Win32ProcessList processes;
  return processes;
}

}  // namespace platform
