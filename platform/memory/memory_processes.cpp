// In-memory process list; see memory_processes.h.
#include "platform/memory/memory_processes.h"

#include <algorithm>

#include "platform/text.h"

namespace platform {

SnapshotHandle MemoryProcessList::TakeSnapshot() {
  if (failSnapshot) return kNoSnapshot;
  const SnapshotHandle handle = nextHandle_;
  nextHandle_ += 4;
  snapshots_[handle] = Snapshot{running, 0};
  return handle;
}

bool MemoryProcessList::Read(SnapshotHandle snapshot, std::string* exeName) {
  const auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end() || it->second.next >= it->second.names.size()) return false;
  if (exeName) *exeName = it->second.names[it->second.next];
  ++it->second.next;
  ++entriesRead_;
  return true;
}

bool MemoryProcessList::FirstProcess(SnapshotHandle snapshot, std::string* exeName) {
  if (failFirst) return false;
  const auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end()) return false;
  it->second.next = 0;
  return Read(snapshot, exeName);
}

bool MemoryProcessList::NextProcess(SnapshotHandle snapshot, std::string* exeName) {
  return Read(snapshot, exeName);
}

void MemoryProcessList::ReleaseSnapshot(SnapshotHandle snapshot) { snapshots_.erase(snapshot); }

bool MemoryLauncher::Start(const std::string& commandLine, unsigned long* exitCode) {
  return StartIn(commandLine, Places(), exitCode);
}

std::string MemoryLauncher::Expanded(std::size_t index) const {
  const std::string& line = started.at(index);
  std::string out;
  for (std::size_t pos = 0; pos < line.size();) {
    const std::size_t end = line[pos] == '%' ? line.find('%', pos + 1) : std::string::npos;
    const std::string name = end == std::string::npos ? std::string() : line.substr(pos + 1, end - pos - 1);
    const auto found = std::find_if(places.at(index).environment.begin(), places.at(index).environment.end(),
                                    [&](const std::pair<std::string, std::string>& v) { return EqualsNoCase(v.first, name); });
    if (!name.empty() && found != places.at(index).environment.end()) {
      out += found->second;
      pos = end + 1;
    } else {
      out += line[pos++];
    }
  }
  return out;
}

bool MemoryLauncher::StartIn(const std::string& commandLine, const Places& given, unsigned long* exitCode) {
  lastError_ = failWith;
  if (failWith) return false;
  started.push_back(commandLine);
  places.push_back(given);
  const unsigned long code = onStart ? onStart(commandLine) : 0;
  if (exitCode) *exitCode = code;
  return true;
}

bool MemoryLauncher::StartElevated(const std::string& program, const std::string& arguments, unsigned long* exitCode) {
  lastError_ = elevatedFailWith;
  if (elevatedFailWith) return false;
  elevated.push_back(ElevatedStart{program, arguments});
  const unsigned long code = onElevated ? onElevated(elevated.back()) : 0;
  if (exitCode) *exitCode = code;
  return true;
}

InstanceLock::Hold MemoryInstanceLock::TryHold(const std::string& name, bool onlyAdministrators) {
  const auto has = [&](const std::vector<std::string>& list) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  if (has(others)) return onlyAdministrators && !othersAdmin ? Unavailable : HeldByAnother;
  if (!has(held)) held.push_back(name);
  return Held;
}

}  // namespace platform
