// A DLL that leaves a trace in the file system when a process loads it: on
// DLL_PROCESS_ATTACH it creates "<its own full path>.loaded" and lets the
// load go on. The DLL planting scenario (tests/e2e/dll_planting.sh) copies
// it beside SetUp.exe under the names of system DLLs; a marker file then
// names each copy that some process really ran.
//
// It has no C run time (built with -nostdlib, DllMain is the entry) and
// imports kernel32 alone: a copy planted as msvcrt.dll must not become a
// dependency of the other copies, and no copy may need anything from the
// planted folder before its DllMain runs.
#include <windows.h>

namespace {

// Not on the stack: a frame this large would call the run time's stack
// probe. The loader calls DllMain under its lock, one call at a time.
wchar_t markerPath[MAX_PATH + 16];

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const DWORD length = GetModuleFileNameW(self, markerPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatW(markerPath, L".loaded");
  const HANDLE marker =
      CreateFileW(markerPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}
