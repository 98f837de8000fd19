// The shell family: the folder browser, shaped like the shell32 / ole32
// calls it stands for (SHBrowseForFolderA, SHGetPathFromIDListA,
// CoTaskMemFree), with the browser's callback.
//
// Two implementations: the system's (platform/win32) and a scripted browser
// (platform/memory) for tests.
//
// Contract shared by every implementation:
//  - an item BrowseForFolder returns must be given back to FreeItem;
//  - the callback is called with kBffmInitialized once the browser's window
//    exists and before the user can act; what it sends to that window is
//    what the browser does (kBffmSetSelection selects a folder by path);
//  - paths are byte strings in the system's ANSI code page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

namespace platform {

constexpr unsigned kBifReturnOnlyFsDirs = 0x01;
constexpr unsigned kBifEditBox = 0x10;
constexpr unsigned kBifValidate = 0x20;
constexpr unsigned kBifNewDialogStyle = 0x40;
constexpr unsigned kBffmInitialized = 1;
constexpr unsigned kBffmValidateFailed = 3;     // BFFM_VALIDATEFAILEDA
constexpr unsigned kBffmSetSelection = 0x0466;  // BFFM_SETSELECTIONA

// A picked shell item (an item list); 0 is none.
using ShellItem = std::uintptr_t;
constexpr ShellItem kNoItem = 0;

// The browser's window, as its callback sees it.
class BrowserWindow {
 public:
  virtual ~BrowserWindow() = default;
  virtual std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

using BrowseCallback = int (*)(BrowserWindow& browser, unsigned message, std::intptr_t lParam,
                               std::intptr_t data);

// BROWSEINFOA.
struct BrowseInfo {
  DialogWindow* owner = nullptr;  // none: no owner window
  char* displayName = nullptr;    // a buffer of 260 characters
  std::string title;              // CP936
  unsigned flags = 0;
  BrowseCallback callback = nullptr;
  std::intptr_t callbackData = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // The modal folder browser: the picked item, or kNoItem when cancelled.
  virtual ShellItem BrowseForFolder(const BrowseInfo& info) = 0;
  // Writes the item's file-system path (at most 259 characters and the
  // zero) into `path`; false when it has none.
  virtual bool PathFromItem(ShellItem item, char* path) = 0;
  virtual void FreeItem(ShellItem item) = 0;
};

// The system's shell (Windows only).
Shell& SystemShell();

}  // namespace platform
