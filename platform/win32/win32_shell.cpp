// The folder browser through shell32 and ole32.
//
// The browser is the wide one, so that its title (a program text in code
// page 936) shows right on any system; the picked path comes back through
// SHGetPathFromIDListA in the system code page, as the program's paths are.
//
// shell32 and ole32 are loaded from the system folder on the first browse,
// not at start: they are large, and most runs never browse.
#include <windows.h>
// shlobj.h needs the types of windows.h first.
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "platform/shell.h"
#include "platform/win32/system_library.h"
#include "platform/text.h"

namespace platform {
namespace {

class Win32BrowserWindow final : public BrowserWindow {
 public:
  explicit Win32BrowserWindow(HWND window) : window_(window) {}
  std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    return SendMessageA(window_, message, wParam, lParam);
  }

 private:
  HWND window_;
};

struct CallbackBridge {
  BrowseCallback callback;
  std::intptr_t data;
};

int CALLBACK BrowseProc(HWND window, UINT message, LPARAM lParam, LPARAM data) {
  const auto* bridge = reinterpret_cast<const CallbackBridge*>(data);
  if (!bridge || !bridge->callback) return 0;
  Win32BrowserWindow browser(window);
  return bridge->callback(browser, message, lParam, bridge->data);
}

std::vector<wchar_t> FromProgramText(const std::string& text) {
  const int length = MultiByteToWideChar(936, 0, text.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
  if (length > 0) MultiByteToWideChar(936, 0, text.c_str(), -1, wide.data(), length);
  return wide;
}

class Win32Shell final : public Shell {
 public:
  ShellItem BrowseForFolder(const BrowseInfo& info) override {
    if (!Load()) return kNoItem;
    // The new dialog style runs in a single-threaded apartment.
    if (!comReady_) comReady_ = SUCCEEDED(coInitializeEx_(nullptr, COINIT_APARTMENTTHREADED));
    const std::vector<wchar_t> title = FromProgramText(info.title);
    wchar_t displayName[MAX_PATH] = {};
    CallbackBridge bridge{info.callback, info.callbackData};
    BROWSEINFOW browse = {};
    browse.hwndOwner = info.owner ? reinterpret_cast<HWND>(info.owner->NativeHandle()) : nullptr;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.data();
    browse.ulFlags = info.flags;
    browse.lpfn = info.callback ? BrowseProc : nullptr;
    browse.lParam = reinterpret_cast<LPARAM>(&bridge);
    browse.iImage = 0;
    const PIDLIST_ABSOLUTE item = browseForFolder_(&browse);
    if (info.displayName) {
      WideCharToMultiByte(CP_ACP, 0, displayName, -1, info.displayName, static_cast<int>(kPathBufferSize), nullptr,
                          nullptr);
      info.displayName[kPathBufferSize - 1] = '\0';
    }
    return reinterpret_cast<ShellItem>(item);
  }

  bool PathFromItem(ShellItem item, char* path) override {
    return Load() && pathFromIdList_(reinterpret_cast<PCIDLIST_ABSOLUTE>(item), path) != FALSE;
  }

  void FreeItem(ShellItem item) override {
    if (Load()) coTaskMemFree_(reinterpret_cast<void*>(item));
  }

 private:
  bool Load() {
    if (!loaded_) {
      loaded_ = true;
      const HMODULE shell = LoadSystemLibrary(L"shell32.dll");
      const HMODULE ole = LoadSystemLibrary(L"ole32.dll");
      browseForFolder_ = SystemFunction<decltype(browseForFolder_)>(shell, "SHBrowseForFolderW");
      pathFromIdList_ = SystemFunction<decltype(pathFromIdList_)>(shell, "SHGetPathFromIDListA");
      coInitializeEx_ = SystemFunction<decltype(coInitializeEx_)>(ole, "CoInitializeEx");
      coTaskMemFree_ = SystemFunction<decltype(coTaskMemFree_)>(ole, "CoTaskMemFree");
    }
    return browseForFolder_ && pathFromIdList_ && coInitializeEx_ && coTaskMemFree_;
  }

  bool loaded_ = false;
  bool comReady_ = false;
  PIDLIST_ABSOLUTE(WINAPI* browseForFolder_)(LPBROWSEINFOW) = nullptr;
  BOOL(WINAPI* pathFromIdList_)(PCIDLIST_ABSOLUTE, LPSTR) = nullptr;
  HRESULT(WINAPI* coInitializeEx_)(LPVOID, DWORD) = nullptr;
  void(WINAPI* coTaskMemFree_)(LPVOID) = nullptr;
};

}  // namespace

Shell& SystemShell() {
  static Win32Shell shell;
  return shell;
}

}  // namespace platform
