// An in-memory process list, for the host check's tests: the running
// names are set directly, taking or reading a snapshot can be made to fail,
// and snapshots still held and entries read can be counted.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace platform {

class MemoryProcessList final : public ProcessList {
 public:
  // Executable names of the running processes, in list order.
  std::vector<std::string> running;
  // TakeSnapshot fails (no snapshot) / FirstProcess fails on a snapshot.
  bool failSnapshot = false;
  bool failFirst = false;

  SnapshotHandle TakeSnapshot() override;
  bool FirstProcess(SnapshotHandle snapshot, std::string* exeName) override;
  bool NextProcess(SnapshotHandle snapshot, std::string* exeName) override;
  void ReleaseSnapshot(SnapshotHandle snapshot) override;

  // Snapshots taken and not yet released.
  std::size_t OpenSnapshotCount() const { return snapshots_.size(); }
  // Entries handed out so far, over all snapshots.
  std::size_t EntriesRead() const { return entriesRead_; }

 private:
  struct Snapshot {
    std::vector<std::string> names;  // frozen when taken
    std::size_t next = 0;
  };
  bool Read(SnapshotHandle snapshot, std::string* exeName);

  std::map<SnapshotHandle, Snapshot> snapshots_;
  SnapshotHandle nextHandle_ = 0x100;
  std::size_t entriesRead_ = 0;
};

// A launcher that starts nothing: it keeps the command lines it was given,
// and a started program "runs" through `onStart` (a test's stand-in for
// it), which gives its exit code.
class MemoryLauncher final : public Launcher {
 public:
  std::vector<std::string> started;
  std::function<unsigned long(const std::string& commandLine)> onStart;
  long failWith = 0;  // nonzero: Start fails with this error

  // Beside `started`, what each StartIn gave (Start: empty places).
  std::vector<Places> places;
  // Programs started elevated: program and arguments; `onElevated` gives
  // the exit code, or `elevatedFailWith` (kErrorCancelled: declined) fails
  // the start.
  struct ElevatedStart {
    std::string program;
    std::string arguments;
  };
  std::vector<ElevatedStart> elevated;
  std::function<unsigned long(const ElevatedStart& start)> onElevated;
  long elevatedFailWith = 0;

  bool Start(const std::string& commandLine, unsigned long* exitCode) override;
  bool StartIn(const std::string& commandLine, const Places& given, unsigned long* exitCode) override;
  bool StartElevated(const std::string& program, const std::string& arguments, unsigned long* exitCode) override;
  // The command line of start `index` as a command processor with
  // delayed expansion off reads it: each %NAME% of the child's own
  // variables replaced by its value, once (a value's own %...% stays).
  std::string Expanded(std::size_t index) const;
  long LastError() override { return lastError_; }

 private:
  long lastError_ = 0;
};

// In-memory locks: `others` are held by other processes (`othersAdmin`:
// theirs are owned by Administrators); a lock taken here is held until the
// double goes.
class MemoryInstanceLock final : public InstanceLock {
 public:
  std::vector<std::string> others;
  bool othersAdmin = true;
  std::vector<std::string> held;

  Hold TryHold(const std::string& name, bool onlyAdministrators) override;
};

}  // namespace platform
