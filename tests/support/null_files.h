// A file system in which every operation fails, for engine tests that never
// touch files.
#pragma once

#include "platform/files.h"

namespace testing_support {

class NullFileSystem : public platform::FileSystem {
 public:
  std::string ModulePath() override { return ""; }
  platform::FindHandle FindFirst(const std::string&, platform::FindEntry*) override { return platform::kNoFind; }
  bool FindNext(platform::FindHandle, platform::FindEntry*) override { return false; }
  void FindEnd(platform::FindHandle) override {}
  bool Copy(const std::string&, const std::string&, bool) override { return false; }
  unsigned long GetAttributes(const std::string&) override { return platform::kInvalidAttributes; }
  bool SetAttributes(const std::string&, unsigned long) override { return false; }
  bool Remove(const std::string&) override { return false; }
  platform::CheckedRemove RemoveIfOurs(const std::string&,
                                       const std::function<bool(const std::string&)>&) override {
    return platform::CheckedRemove::Failed;
  }
  bool MakeFolder(const std::string&) override { return false; }
  bool RemoveFolder(const std::string&) override { return false; }
  bool MakeOwnedFolder(const std::string&, const char*, std::string*) override { return false; }
  bool MakeFreshFolder(const std::string&, const char*, std::string*) override { return false; }
  bool HoldAgainstWriters(const std::string&) override { return false; }
  void LetGo(const std::string&) override {}
  bool ReadBytes(const std::string&, std::string*) override { return false; }
  bool WriteBytes(const std::string&, const std::string&) override { return false; }
  bool AppendBytes(const std::string&, const std::string&, std::uint64_t*) override { return false; }
  bool MoveReplacing(const std::string&, const std::string&) override { return false; }
  std::string Environment(const std::string&) override { return ""; }
  long LastError() override { return platform::FileError::FileNotFound; }
};

}  // namespace testing_support
