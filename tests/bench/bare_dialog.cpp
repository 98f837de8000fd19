// bare_dialog.exe: the launch benchmark's baseline. A Windows program with
// SetUp.exe's own resources (res/setup.rc: the same dialog template with all
// its controls, the same pictures, manifest and icon) that shows that
// dialog and does nothing else: no scan, no texts set, no artwork of its
// own beyond what the template loads. Starting it costs what showing that
// dialog costs under the same system; tools/bench-launch-wine.sh sets
// SetUp.exe against it. It ends when the dialog is closed.
#include <windows.h>
#include <commctrl.h>

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
  // The template's progress bar is comctl32's: without its class the dialog
  // is not made. Loaded at run time, as SetUp.exe loads it.
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  const auto init = comctl ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))
                           : nullptr;
  if (!init) return 1;
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
  init(&classes);
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETUP), nullptr, BareDialogProc, 0);
  return 0;
}
