// The program's entry and its global objects.
#include <windows.h>

#include <cstdlib>

#include "app/globals.h"
#include "app/program_run.h"
#include "run/setup_log.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/window.h"
#include "platform/win32/win32_text.h"

// One translation unit, so they are made in this order and destroyed in
// reverse. The setup works through the log's decorators: every file and
// registry change it makes is a line of the run's log.
std::string lastBrowseFolder;
CWizardApp theApp;
CSetupLog theLog(platform::SystemFileSystem());
CLoggedFileSystem loggedFiles(platform::SystemFileSystem(), theLog);
CLoggedRegistry loggedRegistry(platform::SystemRegistry(), theLog);
CLoggedMessageOwner loggedBoxes(platform::SystemMessageBoxes(), theLog);
CAcadSetup theSetup(loggedRegistry, loggedFiles, SetupMessageOwner());

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

// What the log's header says of the run, from the system.
RunFacts GatherRunFacts() {
  RunFacts facts;
  SYSTEMTIME now;
  GetLocalTime(&now);
  facts.year = now.wYear;
  facts.month = now.wMonth;
  facts.day = now.wDay;
  facts.hour = now.wHour;
  facts.minute = now.wMinute;
  facts.second = now.wSecond;
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  // Windows 8.1 and later give the version the manifest declares support
  // for; that is the version the program is treated as running on.
  if (GetVersionExA(&version)) {
    facts.windowsMajor = version.dwMajorVersion;
    facts.windowsMinor = version.dwMinorVersion;
    facts.windowsBuild = version.dwBuildNumber;
    facts.servicePack = version.szCSDVersion;
  }
  facts.elevated = platform::SystemAccounts().IsElevated();
  platform::Account account;
  if (platform::SystemAccounts().ProcessUser(&account)) facts.account = account.name;
  const char* line = GetCommandLineA();
  facts.commandLine = line ? line : "";
  return facts;
}

// The console of the program that started this one (a batch file, a
// command prompt), once attached; none for a start from Explorer or a
// service. Output redirected to a file or a pipe gets the text in UTF-8.
bool WriteToParentConsole(const std::string& text) {
  static HANDLE out = INVALID_HANDLE_VALUE;
  static bool looked = false;
  if (!looked) {
    looked = true;
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
      out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    }
  }
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  const std::vector<wchar_t> wide = platform::WidenMessageText(text, 0);
  const int length = static_cast<int>(wide.size() - 1);
  DWORD written = 0;
  if (WriteConsoleW(out, wide.data(), static_cast<DWORD>(length), &written, nullptr)) return true;
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &utf8[0], bytes, nullptr, nullptr);
  return WriteFile(out, utf8.data(), static_cast<DWORD>(bytes), &written, nullptr) != FALSE;
}

}  // namespace

bool CWizardApp::InitInstance() {
  AfxEnableControlContainer();
  const WizardWorld wizard{theSetup,         loggedFiles,           platform::SystemProcessList(),
                           platform::SystemShell(), platform::SystemAccounts(), platform::SystemDialogRunner(),
                           lastBrowseFolder, warnHostRunning};
  const char* line = GetCommandLineA();
  theApp.exitCode = RunProgram(
      ProgramWorld{wizard, loggedRegistry, platform::SystemLauncher(), loggedBoxes, theLog, GatherRunFacts(),
                   [](unsigned milliseconds) { Sleep(milliseconds); }, WriteToParentConsole,
                   &platform::SystemInstanceLock()},
      line ? line : "");
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
void __throw_bad_function_call() { std::abort(); }
}  // namespace std

// The run time's operator new throws std::bad_alloc, which alone brings its
// whole exception machinery in; out of memory ends the program as above.
void* operator new(std::size_t size) {
  if (void* block = std::malloc(size ? size : 1)) return block;
  std::abort();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  // Paths and registry texts come in the system's code page; so must the
  // byte rules that cut and case them.
  platform::SetCodePage(platform::SystemCodePage());
  // How the run ended (engine/exit_codes.h), for a program that started it.
  return AfxWinMain();
}
