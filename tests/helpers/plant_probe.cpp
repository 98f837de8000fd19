// plant_probe.exe: the control of the DLL planting scenario
// (tests/e2e/dll_planting.sh). Started from the folder with the planted
// DLLs, it loads each DLL named on its command line by bare name, as a
// careless program does, and prints one line for each:
//   <name> loaded <full path of the module>
//   <name> not-loaded <error code>
// Run unrestricted, it shows that the system (Wine) does load a planted DLL
// from the program's folder, so that SetUp.exe loading none means
// something. With "restricted" first, it makes the same calls as SetUp.exe
// at its start (RestrictDllSearch in app/main.cpp) before loading.
//   plant_probe.exe [restricted] [<dll>...]
// Built twice: plant_probe.exe imports kernel32 and the C run time only;
// plant_probe_user32.exe (PLANT_PROBE_SETUP_IMPORTS) also imports user32,
// gdi32 and advapi32, as SetUp.exe does, so that "restricted" with no name
// shows what the system loads at the start of such a program, before its
// first line.
// Exit code: 0, or 2 on a usage error or when the restriction could not be
// made.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Utf8(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

// The calls of RestrictDllSearch in app/main.cpp, checked here: a probe
// that silently failed to restrict would prove the restriction useless.
bool RestrictDllSearch() {
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return false;
  const auto setDirectories = reinterpret_cast<SetDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (!setDirectories || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return false;
  return SetDllDirectoryW(L"") != FALSE;
}

#ifdef PLANT_PROBE_SETUP_IMPORTS
// Read, never called: they make the import table SetUp.exe's.
void* const volatile kSetupImports[] = {reinterpret_cast<void*>(&GetSystemMetrics),
                                        reinterpret_cast<void*>(&GetStockObject),
                                        reinterpret_cast<void*>(&RegCloseKey)};
#endif

}  // namespace

int wmain(int argc, wchar_t** argv) {
#ifdef PLANT_PROBE_SETUP_IMPORTS
  if (!kSetupImports[0]) return 2;  // a read the linker cannot drop
#endif
  int first = 1;
  if (argc > 1 && std::wcscmp(argv[1], L"restricted") == 0) {
    if (!RestrictDllSearch()) {
      std::printf("restriction failed: error %lu\n", GetLastError());
      return 2;
    }
    first = 2;
  }
  if (first >= argc && first == 1) {
    std::fputs("usage: plant_probe.exe [restricted] [<dll>...]\n", stderr);
    return 2;
  }
  for (int i = first; i < argc; ++i) {
    const std::string name = Utf8(argv[i]);
    const HMODULE module = LoadLibraryW(argv[i]);
    if (!module) {
      std::printf("%s not-loaded %lu\n", name.c_str(), GetLastError());
      continue;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::printf("%s loaded %s\n", name.c_str(), Utf8(path).c_str());
  }
  std::fflush(stdout);
  return 0;
}
