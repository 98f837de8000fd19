// DLLs the program needs after start, loaded by their full path in the
// system folder: never found in the program's own (download) folder, on
// systems whose DLL search cannot be restricted (Windows XP, Vista and 7
// without KB2533623).
#pragma once

#include <windows.h>

namespace platform {

// The system folder's `name` (e.g. L"shell32.dll"), loaded; null when it
// cannot be.
HMODULE LoadSystemLibrary(const wchar_t* name);

// `name` of `module`, as a function of type Fn; null when either is missing.
template <typename Fn>
Fn SystemFunction(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace platform
