// System DLLs by full path; see system_library.h.
#include "platform/win32/system_library.h"

namespace platform {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + lstrlenW(name) + 2 >= MAX_PATH) return nullptr;
  lstrcatW(path, L"\\");
  lstrcatW(path, name);
  return LoadLibraryW(path);
}

}  // namespace platform
