// Stands in for a running AutoCAD in the Windows tests: a console program
// named acad.exe. Given a file, it holds that file open without sharing, as
// AutoCAD holds what it has loaded. It then sleeps until it is ended, a
// minute at most, so that a test that dies leaves nothing behind for long.
#include <windows.h>

int main(int argc, char** argv) {
  HANDLE held = INVALID_HANDLE_VALUE;
  if (argc > 1) {
    // The test that started it looks whether the file is held yet, with an
    // open of its own for a moment: meeting that open is no reason to give
    // up, so a sharing violation is tried again (for up to ten seconds).
    for (int attempt = 0; attempt < 200; ++attempt) {
      held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
      if (held != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
      Sleep(50);
    }
    if (held == INVALID_HANDLE_VALUE) return 2;
  }
  Sleep(60 * 1000);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  return 0;
}
