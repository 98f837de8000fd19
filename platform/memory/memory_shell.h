// A scripted folder browser for tests: it records what it was asked, calls
// the callback as the shell does, remembers what the callback selected, and
// then answers as the script says: cancel, pick a folder, or pick an item
// without a file-system path. Items not yet freed are counted.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>

#include "platform/shell.h"

namespace platform {

class MemoryShell final : public Shell {
 public:
  enum class Answer { Cancel, PickFolder, PickVirtualItem };
  Answer answer = Answer::Cancel;
  std::string pickedFolder;  // for PickFolder

  // What the last browse was asked and what its callback selected ("" when
  // it selected nothing).
  int browseCount = 0;
  BrowseInfo lastInfo;
  bool lastHadDisplayBuffer = false;
  bool lastDisplayBufferZeroed = false;
  std::string lastSelection;
  bool lastSelectionByPath = false;
  int callbackResult = -1;

  ShellItem BrowseForFolder(const BrowseInfo& info) override;
  bool PathFromItem(ShellItem item, char* path) override;
  void FreeItem(ShellItem item) override;

  std::size_t LiveItems() const { return items_.size(); }

 private:
  std::map<ShellItem, std::string> items_;  // "" for an item without a path
  ShellItem next_ = 0x500;
};

}  // namespace platform
