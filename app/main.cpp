// The program's entry and its global objects.
#include <windows.h>

#include <cstdlib>

#include "app/globals.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/window.h"

// One translation unit, so they are made in this order and destroyed in
// reverse.
std::string lastBrowseFolder;
CWizardApp theApp;
CAcadSetup theSetup(platform::SystemRegistry(), platform::SystemFileSystem(), SetupMessageOwner());

// Set at start: the first press of install asks whether AutoCAD runs.
bool warnHostRunning = true;

namespace {

// Lets the program load DLLs from the system folder only, never from its
// own folder (a download folder may hold planted DLLs). Looked up at run
// time: systems without the call still start.
void RestrictDllSearch() {
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  const auto setDirectories = reinterpret_cast<SetDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // also drops the current folder from the search
}

}  // namespace

bool CWizardApp::InitInstance() {
  AfxEnableControlContainer();
  theApp.exitCode = RunWizard(WizardWorld{theSetup, platform::SystemFileSystem(), platform::SystemProcessList(),
                                          platform::SystemShell(), platform::SystemAccounts(),
                                          platform::SystemDialogRunner(), lastBrowseFolder, warnHostRunning});
  // False: the program ends without a message loop.
  return false;
}

// The run time's default handler for an exception nobody catches prints
// its demangled type, which brings a whole demangler into the program; the
// setup has nowhere to print to, and ends as abort() would.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The same for the errors the string and container code raises: nothing
// in the program catches them, so an uncaught throw ends it as abort()
// would, and the run time's exception classes (with a string class of
// their own, some 40 KB) stay out of the program.
namespace std {
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
}  // namespace std

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  // Paths and registry texts come in the system's code page; so must the
  // byte rules that cut and case them.
  platform::SetCodePage(platform::SystemCodePage());
  // How the run ended (engine/exit_codes.h), for a program that started it.
  return AfxWinMain();
}
