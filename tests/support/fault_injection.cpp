// The fault-injecting wrappers; see fault_injection.h.
#include "tests/support/fault_injection.h"

using platform::RegKey;
namespace RegResult = platform::RegResult;
namespace FileError = platform::FileError;

namespace testing_support {

bool FaultPlan::Next(const char* op, std::string target) {
  if (calls.size() >= limit) throw std::runtime_error("no end after " + std::to_string(limit) + " calls, the last " + op + " " + target);
  calls.push_back({op, std::move(target)});
  return static_cast<long>(calls.size()) - 1 == failAt;
}

// ---- registry ----

std::string FaultyRegistry::PathOf(RegKey key) const {
  if (key == platform::kCurrentUser) return "HKEY_CURRENT_USER";
  if (key == platform::kLocalMachine) return "HKEY_LOCAL_MACHINE";
  if (key == platform::kUsers) return "HKEY_USERS";
  const auto found = paths_.find(key);
  return found == paths_.end() ? "<unknown key>" : found->second;
}

std::string FaultyRegistry::Join(RegKey key, const char* subKey) const {
  std::string path = PathOf(key);
  if (subKey && *subKey) path += std::string("\\") + subKey;
  return path;
}

long FaultyRegistry::Opened(long status, RegKey* result, const std::string& path) {
  if (status == RegResult::Success && *result != platform::kCurrentUser && *result != platform::kLocalMachine &&
      *result != platform::kUsers) {
    paths_[*result] = path;
  }
  return status;
}

long FaultyRegistry::OpenKey(RegKey parent, const char* subKey, RegKey* result) {
  const std::string path = Join(parent, subKey);
  if (plan_.Next("registry.OpenKey", path)) return RegResult::AccessDenied;
  return Opened(inner_.OpenKey(parent, subKey, result), result, path);
}

long FaultyRegistry::OpenKeyRead(RegKey parent, const char* subKey, RegKey* result) {
  const std::string path = Join(parent, subKey);
  if (plan_.Next("registry.OpenKeyRead", path)) return RegResult::AccessDenied;
  return Opened(inner_.OpenKeyRead(parent, subKey, result), result, path);
}

long FaultyRegistry::OpenKeyReadView(RegKey parent, const char* subKey, platform::RegView view, RegKey* result) {
  const std::string path = Join(parent, subKey);
  if (plan_.Next("registry.OpenKeyReadView", path)) return RegResult::AccessDenied;
  return Opened(inner_.OpenKeyReadView(parent, subKey, view, result), result, path);
}

long FaultyRegistry::CreateKey(RegKey parent, const char* subKey, RegKey* result) {
  const std::string path = Join(parent, subKey);
  if (plan_.Next("registry.CreateKey", path)) return RegResult::AccessDenied;
  return Opened(inner_.CreateKey(parent, subKey, result), result, path);
}

long FaultyRegistry::QuerySubKeyCount(RegKey key, unsigned long* count) {
  if (plan_.Next("registry.QuerySubKeyCount", PathOf(key))) return RegResult::AccessDenied;
  return inner_.QuerySubKeyCount(key, count);
}

long FaultyRegistry::EnumKey(RegKey key, unsigned long index, char* name, unsigned long* nameLength) {
  if (plan_.Next("registry.EnumKey", PathOf(key) + "[" + std::to_string(index) + "]")) return RegResult::AccessDenied;
  return inner_.EnumKey(key, index, name, nameLength);
}

long FaultyRegistry::QueryValue(RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                                unsigned long* size) {
  if (plan_.Next("registry.QueryValue", PathOf(key) + " : " + (valueName ? valueName : ""))) {
    return RegResult::AccessDenied;
  }
  return inner_.QueryValue(key, valueName, type, data, size);
}

long FaultyRegistry::SetValue(RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                              unsigned long size) {
  if (plan_.Next("registry.SetValue", PathOf(key) + " : " + (valueName ? valueName : ""))) {
    return RegResult::AccessDenied;
  }
  return inner_.SetValue(key, valueName, type, data, size);
}

long FaultyRegistry::SetTextValue(RegKey key, const char* valueName, const std::string& text) {
  if (plan_.Next("registry.SetTextValue", PathOf(key) + " : " + (valueName ? valueName : ""))) {
    return RegResult::AccessDenied;
  }
  return inner_.SetTextValue(key, valueName, text);
}

long FaultyRegistry::DeleteKey(RegKey key, const char* subKey) {
  if (plan_.Next("registry.DeleteKey", Join(key, subKey))) return RegResult::AccessDenied;
  return inner_.DeleteKey(key, subKey);
}

long FaultyRegistry::QueryValueCount(RegKey key, unsigned long* count) {
  if (plan_.Next("registry.QueryValueCount", PathOf(key))) return RegResult::AccessDenied;
  return inner_.QueryValueCount(key, count);
}

long FaultyRegistry::DeleteValue(RegKey key, const char* valueName) {
  if (plan_.Next("registry.DeleteValue", PathOf(key) + " : " + (valueName ? valueName : ""))) {
    return RegResult::AccessDenied;
  }
  return inner_.DeleteValue(key, valueName);
}

long FaultyRegistry::CloseKey(RegKey key) {
  paths_.erase(key);
  return inner_.CloseKey(key);
}

// ---- files ----

bool FaultyFileSystem::Fails(const char* op, const std::string& target, long error) {
  injected_ = plan_.Next(op, target);
  injectedError_ = error;
  return injected_;
}

std::string FaultyFileSystem::ModulePath() {
  if (Fails("files.ModulePath", "", FileError::AccessDenied)) return std::string();
  return inner_.ModulePath();
}

platform::FindHandle FaultyFileSystem::FindFirst(const std::string& pattern, platform::FindEntry* entry) {
  if (Fails("files.FindFirst", pattern, FileError::AccessDenied)) return platform::kNoFind;
  const platform::FindHandle find = inner_.FindFirst(pattern, entry);
  if (find != platform::kNoFind) patterns_[find] = pattern;
  return find;
}

bool FaultyFileSystem::FindNext(platform::FindHandle find, platform::FindEntry* entry) {
  const auto pattern = patterns_.find(find);
  if (Fails("files.FindNext", pattern == patterns_.end() ? std::string() : pattern->second, FileError::AccessDenied)) {
    return false;
  }
  return inner_.FindNext(find, entry);
}

void FaultyFileSystem::FindEnd(platform::FindHandle find) {
  patterns_.erase(find);
  inner_.FindEnd(find);
}

bool FaultyFileSystem::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  if (Fails("files.Copy", to, FileError::AccessDenied)) return false;
  return inner_.Copy(from, to, failIfExists);
}

unsigned long FaultyFileSystem::GetAttributes(const std::string& path) {
  if (Fails("files.GetAttributes", path, FileError::AccessDenied)) return platform::kInvalidAttributes;
  return inner_.GetAttributes(path);
}

bool FaultyFileSystem::SetAttributes(const std::string& path, unsigned long attributes) {
  if (Fails("files.SetAttributes", path, FileError::AccessDenied)) return false;
  return inner_.SetAttributes(path, attributes);
}

bool FaultyFileSystem::Remove(const std::string& path) {
  if (Fails("files.Remove", path, FileError::AccessDenied)) return false;
  return inner_.Remove(path);
}

platform::CheckedRemove FaultyFileSystem::RemoveIfOurs(const std::string& path,
                                                       const std::function<bool(const std::string&)>& ours) {
  if (Fails("files.RemoveIfOurs", path, FileError::AccessDenied)) return platform::CheckedRemove::Failed;
  return inner_.RemoveIfOurs(path, ours);
}

bool FaultyFileSystem::MakeFolder(const std::string& path) {
  if (Fails("files.MakeFolder", path, FileError::AccessDenied)) return false;
  return inner_.MakeFolder(path);
}

bool FaultyFileSystem::RemoveFolder(const std::string& path) {
  if (Fails("files.RemoveFolder", path, FileError::AccessDenied)) return false;
  return inner_.RemoveFolder(path);
}

bool FaultyFileSystem::MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) {
  if (movedAside) movedAside->clear();
  if (Fails("files.MakeOwnedFolder", path, FileError::AccessDenied)) return false;
  return inner_.MakeOwnedFolder(path, access, movedAside);
}

bool FaultyFileSystem::MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) {
  if (Fails("files.MakeFreshFolder", prefix, FileError::AccessDenied)) return false;
  return inner_.MakeFreshFolder(prefix, access, made);
}

bool FaultyFileSystem::HoldAgainstWriters(const std::string& path) {
  if (Fails("files.HoldAgainstWriters", path, FileError::SharingViolation)) return false;
  return inner_.HoldAgainstWriters(path);
}

bool FaultyFileSystem::ReadBytes(const std::string& path, std::string* bytes) {
  if (Fails("files.ReadBytes", path, FileError::SharingViolation)) return false;
  return inner_.ReadBytes(path, bytes);
}

bool FaultyFileSystem::WriteBytes(const std::string& path, const std::string& bytes) {
  if (Fails("files.WriteBytes", path, FileError::AccessDenied)) return false;
  return inner_.WriteBytes(path, bytes);
}

bool FaultyFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  if (Fails("files.MoveReplacing", to, FileError::AccessDenied)) return false;
  return inner_.MoveReplacing(from, to);
}

bool FaultyFileSystem::AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) {
  if (Fails("files.AppendBytes", path, FileError::AccessDenied)) return false;
  return inner_.AppendBytes(path, bytes, sizeBefore);
}

std::string FaultyFileSystem::Environment(const std::string& name) {
  if (Fails("files.Environment", name, FileError::EnvVarNotFound)) return std::string();
  return inner_.Environment(name);
}

// ---- processes ----

platform::SnapshotHandle FaultyProcessList::TakeSnapshot() {
  if (plan_.Next("processes.TakeSnapshot", "")) return platform::kNoSnapshot;
  return inner_.TakeSnapshot();
}

bool FaultyProcessList::FirstProcess(platform::SnapshotHandle snapshot, std::string* exeName) {
  if (plan_.Next("processes.FirstProcess", "")) return false;
  return inner_.FirstProcess(snapshot, exeName);
}

bool FaultyProcessList::NextProcess(platform::SnapshotHandle snapshot, std::string* exeName) {
  if (plan_.Next("processes.NextProcess", "")) return false;
  return inner_.NextProcess(snapshot, exeName);
}

}  // namespace testing_support
