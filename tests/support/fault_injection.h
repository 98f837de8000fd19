// Fault injection for the fault sweep: wrappers around the three platform
// families that pass every call on to the real implementation (usually an
// in-memory double), number the calls that can fail, record what each was
// asked to do, and make exactly one chosen call fail the way the system
// would: an error code, no handle, LastError set.
//
// Releasing calls (CloseKey, FindEnd, ReleaseSnapshot) and LastError are
// passed on but never failed or numbered: a fault there would say nothing
// about the caller. Every family shares one FaultPlan, so calls are
// numbered in the order the program made them, whatever the family.
#pragma once

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace testing_support {

struct FaultPlan {
  struct Call {
    std::string op;      // "registry.QueryValue", "files.Copy", ...
    std::string target;  // the key path (with value name) or file path
  };
  // The number of the call to fail; -1 fails none.
  long failAt = -1;
  // More calls than this mean the run does not end: the call that would
  // pass the limit throws std::runtime_error instead.
  std::size_t limit = 1000000;
  std::vector<Call> calls;

  // Records a call; true when it is the one to fail.
  bool Next(const char* op, std::string target);
};

// Fails with AccessDenied, as a locked-down key would. Keeps the path of
// every handle it hands out so the calls on it can be named.
class FaultyRegistry final : public platform::Registry {
 public:
  FaultyRegistry(platform::Registry& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

  long OpenKey(platform::RegKey parent, const char* subKey, platform::RegKey* result) override;
  long OpenKeyRead(platform::RegKey parent, const char* subKey, platform::RegKey* result) override;
  long OpenKeyReadView(platform::RegKey parent, const char* subKey, platform::RegView view,
                       platform::RegKey* result) override;
  long CreateKey(platform::RegKey parent, const char* subKey, platform::RegKey* result) override;
  long QuerySubKeyCount(platform::RegKey key, unsigned long* count) override;
  long EnumKey(platform::RegKey key, unsigned long index, char* name, unsigned long* nameLength) override;
  long QueryValue(platform::RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                  unsigned long* size) override;
  long SetValue(platform::RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                unsigned long size) override;
  long SetTextValue(platform::RegKey key, const char* valueName, const std::string& text) override;
  long DeleteKey(platform::RegKey key, const char* subKey) override;
  long QueryValueCount(platform::RegKey key, unsigned long* count) override;
  long DeleteValue(platform::RegKey key, const char* valueName) override;
  long CloseKey(platform::RegKey key) override;

 private:
  std::string PathOf(platform::RegKey key) const;
  std::string Join(platform::RegKey key, const char* subKey) const;
  long Opened(long status, platform::RegKey* result, const std::string& path);

  platform::Registry& inner_;
  FaultPlan& plan_;
  std::map<platform::RegKey, std::string> paths_;
};

// Fails with AccessDenied (FindNext: with an error other than "no more
// files"; Environment: as if the variable were unset).
class FaultyFileSystem final : public platform::FileSystem {
 public:
  FaultyFileSystem(platform::FileSystem& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

  std::string ModulePath() override;
  platform::FindHandle FindFirst(const std::string& pattern, platform::FindEntry* entry) override;
  bool FindNext(platform::FindHandle find, platform::FindEntry* entry) override;
  void FindEnd(platform::FindHandle find) override;
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
  unsigned long GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, unsigned long attributes) override;
  bool Remove(const std::string& path) override;
  platform::CheckedRemove RemoveIfOurs(const std::string& path,
                                       const std::function<bool(const std::string&)>& ours) override;
  bool MakeFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) override;
  bool MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) override;
  bool HoldAgainstWriters(const std::string& path) override;
  void LetGo(const std::string& path) override { inner_.LetGo(path); }
  bool ReadBytes(const std::string& path, std::string* bytes) override;
  bool WriteBytes(const std::string& path, const std::string& bytes) override;
  bool AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) override;
  bool MoveReplacing(const std::string& from, const std::string& to) override;
  std::string Environment(const std::string& name) override;
  long LastError() override { return injected_ ? injectedError_ : inner_.LastError(); }

 private:
  // True when this call is the one to fail; LastError then gives `error`.
  bool Fails(const char* op, const std::string& target, long error);

  platform::FileSystem& inner_;
  FaultPlan& plan_;
  std::map<platform::FindHandle, std::string> patterns_;
  bool injected_ = false;
  long injectedError_ = 0;
};

// Fails as tool help does: no snapshot, or an unreadable list.
class FaultyProcessList final : public platform::ProcessList {
 public:
  FaultyProcessList(platform::ProcessList& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

  platform::SnapshotHandle TakeSnapshot() override;
  bool FirstProcess(platform::SnapshotHandle snapshot, std::string* exeName) override;
  bool NextProcess(platform::SnapshotHandle snapshot, std::string* exeName) override;
  void ReleaseSnapshot(platform::SnapshotHandle snapshot) override { inner_.ReleaseSnapshot(snapshot); }

 private:
  platform::ProcessList& inner_;
  FaultPlan& plan_;
};

}  // namespace testing_support
