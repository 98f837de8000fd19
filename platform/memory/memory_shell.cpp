// The scripted folder browser; see memory_shell.h.
#include "platform/memory/memory_shell.h"

#include <cstring>

#include "platform/text.h"

namespace platform {
namespace {

// The browser's window as the callback sees it: it keeps the selection.
class RecordingBrowser final : public BrowserWindow {
 public:
  std::string selection;
  bool byPath = false;
  std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (message == kBffmSetSelection && lParam) {
      byPath = wParam != 0;
      selection = reinterpret_cast<const char*>(lParam);
    }
    return 0;
  }
};

}  // namespace

ShellItem MemoryShell::BrowseForFolder(const BrowseInfo& info) {
  ++browseCount;
  lastInfo = info;
  lastHadDisplayBuffer = info.displayName != nullptr;
  lastDisplayBufferZeroed = true;
  for (std::size_t i = 0; info.displayName && i < kPathBufferSize; ++i) {
    if (info.displayName[i] != 0) lastDisplayBufferZeroed = false;
  }
  RecordingBrowser browser;
  callbackResult = info.callback ? info.callback(browser, kBffmInitialized, 0, info.callbackData) : -1;
  lastSelection = browser.selection;
  lastSelectionByPath = browser.byPath;
  if (answer == Answer::Cancel) return kNoItem;
  const ShellItem item = next_++;
  items_[item] = answer == Answer::PickFolder ? pickedFolder : std::string();
  // The shell writes the picked item's display name into the buffer.
  if (info.displayName) {
    std::strncpy(info.displayName, "picked", kPathBufferSize - 1);
  }
  return item;
}

bool MemoryShell::PathFromItem(ShellItem item, char* path) {
  const auto found = items_.find(item);
  if (found == items_.end() || found->second.empty() || found->second.size() >= kPathBufferSize) return false;
  std::memcpy(path, found->second.c_str(), found->second.size() + 1);
  return true;
}

void MemoryShell::FreeItem(ShellItem item) { items_.erase(item); }

}  // namespace platform
