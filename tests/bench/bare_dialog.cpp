// bare_dialog.exe: the launch benchmark's baseline. A Windows program that
// shows one modal dialog with the setup dialog's frame (caption, size,
// style and font; tests/bench/bare_dialog.rc) and nothing else: no
// controls, no scan, no artwork. Starting it costs what any dialog program
// costs under the same system; tools/bench-launch-wine.sh sets SetUp.exe
// against it. It ends when the dialog is closed.
#include <windows.h>

#include "res/setup_resources.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      // The close box and Escape arrive as IDCANCEL.
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETUP), nullptr, BareDialogProc, 0);
  return 0;
}
