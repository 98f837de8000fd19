// The process family: the executable names of the running processes, read
// the way tool help hands them out: take a snapshot, walk it entry by entry,
// release it; and starting a program (the uninstaller's hand-over).
//
// Two implementations: the system's (platform/win32) and an in-memory list
// (platform/memory) for tests.
//
// Contract shared by every implementation:
//  - a snapshot is a copy taken at one moment; processes that start or end
//    later are not seen;
//  - names are bare executable file names (no folder), in the ANSI code page;
//  - every snapshot TakeSnapshot returns must be given to ReleaseSnapshot.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

using SnapshotHandle = std::uintptr_t;
constexpr SnapshotHandle kNoSnapshot = 0;

class ProcessList {
 public:
  virtual ~ProcessList() = default;

  // CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0): kNoSnapshot on failure.
  virtual SnapshotHandle TakeSnapshot() = 0;

  // Process32First / Process32Next: the executable name of the first / next
  // entry (szExeFile); false when there is none or the list is unreadable.
  virtual bool FirstProcess(SnapshotHandle snapshot, std::string* exeName) = 0;
  virtual bool NextProcess(SnapshotHandle snapshot, std::string* exeName) = 0;

  // CloseHandle on the snapshot.
  virtual void ReleaseSnapshot(SnapshotHandle snapshot) = 0;
};

// The running system's processes (Windows only).
ProcessList& SystemProcessList();

// Starts programs: CreateProcessA with CREATE_NO_WINDOW (a console program
// gets no window; a windowed one shows its own), then, when asked,
// WaitForSingleObject and GetExitCodeProcess.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // `commandLine` is the program's path, quoted, then its arguments, in the
  // ANSI code page. With `exitCode`, waits until the program has ended and
  // gives its exit code; without, returns once it has started. False (and
  // `exitCode` untouched) when it could not be started or waited for.
  virtual bool Start(const std::string& commandLine, unsigned long* exitCode) = 0;

  // As Start, with what the child gets besides its command line:
  //  - `program` (lpApplicationName): the file that runs, by full path,
  //    never one found by searching; empty: the command line's first word;
  //  - `folder` (lpCurrentDirectory): the child's working folder; empty:
  //    the caller's;
  //  - `environment`: variables set (or replaced) for the child alone, on
  //    top of a copy of the caller's; the caller's own stay as they are.
  struct Places {
    std::string program;
    std::string folder;
    std::vector<std::pair<std::string, std::string>> environment;
  };
  virtual bool StartIn(const std::string& commandLine, const Places& places, unsigned long* exitCode) = 0;

  // Starts `program` (a full path, ANSI code page) with `arguments` as an
  // administrator: the shell's "runas" verb (ShellExecuteExW), which shows
  // the UAC prompt, then waits until it has ended and gives its exit code.
  // False when it could not be started or waited for; LastError is then
  // kErrorCancelled when the user declined the prompt.
  virtual bool StartElevated(const std::string& program, const std::string& arguments, unsigned long* exitCode) = 0;

  // GetLastError after the last failed Start, StartIn or StartElevated.
  virtual long LastError() = 0;
};

// ERROR_CANCELLED: the user declined the UAC prompt.
constexpr long kErrorCancelled = 1223;

// The system's launcher (Windows only).
Launcher& SystemLauncher();

// One run at a time on the machine: a named mutex in the Global\ namespace,
// so that the runs of every session (a user's double-click, a deployment
// tool's SYSTEM run) see each other. Held until the process ends.
class InstanceLock {
 public:
  enum Hold {
    Held,           // this process holds it now (or its last holder ended without letting go)
    HeldByAnother,  // another process holds it
    Unavailable,    // no lock could be made or read: the run goes on unguarded
  };
  virtual ~InstanceLock() = default;
  // Takes the lock `name` (without the namespace). With
  // `onlyAdministrators`, a lock held by a process whose object is owned by
  // neither Administrators nor SYSTEM counts as Unavailable: any user can
  // make a mutex of that name, and must not thereby keep an administrator's
  // install from running.
  virtual Hold TryHold(const std::string& name, bool onlyAdministrators) = 0;
};

// The system's lock (Windows only).
InstanceLock& SystemInstanceLock();

// Owns a snapshot and releases it on every way out of a scope.
class ScopedSnapshot {
 public:
  ScopedSnapshot(ProcessList& processes, SnapshotHandle snapshot) : processes_(processes), snapshot_(snapshot) {}
  ~ScopedSnapshot() {
    if (snapshot_ != kNoSnapshot) processes_.ReleaseSnapshot(snapshot_);
  }
  ScopedSnapshot(const ScopedSnapshot&) = delete;
  ScopedSnapshot& operator=(const ScopedSnapshot&) = delete;

  SnapshotHandle Get() const { return snapshot_; }
  bool Valid() const { return snapshot_ != kNoSnapshot; }

 private:
  ProcessList& processes_;
  SnapshotHandle snapshot_;
};

}  // namespace platform
