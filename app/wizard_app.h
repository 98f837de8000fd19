// CWizardApp, the setup program's application object: its run scans the
// registry for AutoCAD releases, shows the setup dialog once, modally, and
// ends the program when the dialog closes.
#pragma once

#include <functional>
#include <string>

#include "app/win_app.h"
#include "install/install_run.h"
#include "platform/window.h"

class CAcadSetup;
class CDialog;
class SilentInstall;

namespace platform {
class Accounts;
class DialogRunner;
class FileSystem;
class ProcessList;
class Shell;
}  // namespace platform

// What the run works with: the program's own globals and the system, or
// doubles in tests.
struct WizardWorld {
  CAcadSetup& setup;
  platform::FileSystem& files;
  platform::ProcessList& processes;
  platform::Shell& shell;
  platform::Accounts& accounts;
  platform::DialogRunner& dialogs;
  std::string& lastBrowseFolder;
  bool& warnHostRunning;
  std::string logPath = std::string();  // the run's log, for the problems notice
  bool rightsDeclined = false;          // the user declined the rights asked for at start
  bool force = false;                   // /FORCE: an older version over a newer one too
  MoveEarlierInstall moveEarlier = nullptr;  // an install into another folder moves the earlier one
  ArmPerUser armPerUser = nullptr;           // elevated: the per-user parts for every later sign-in
};

// The owner of the engine's message boxes: the dialog that is running, or
// nobody (a box then answers 0) before and after it.
struct ForwardingOwner final : platform::MessageOwner {
  platform::MessageOwner* target = nullptr;
  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
    return target ? target->ShowMessage(text, caption, type) : 0;
  }
};
ForwardingOwner& SetupMessageOwner();

// The run itself, for the application object and for tests: the scan, then
// one modal setup dialog. Gives the exit code (SetupExit): how the install
// ended, or NoDialog when the dialog could not be made. `afterScan` runs
// between the scan and the dialog (the log's list of what was found).
int RunWizard(const WizardWorld& world, const std::function<void()>& afterScan = nullptr);

// The silent run, for the application object and for tests: the scan, then
// the install with `silent` as its face and the owner of the engine's
// boxes. Gives the exit code (SetupExit). `world.dialogs` is not used.
int RunSilent(const WizardWorld& world, SilentInstall& silent, const std::function<void()>& afterScan = nullptr);

class CWizardApp : public CWinApp {
 public:
  CWizardApp() = default;

  bool InitInstance() override;
  // The run's exit code, the program's own.
  int ExitInstance() override { return exitCode; }

  int exitCode = 0;

  DECLARE_MESSAGE_MAP()
};
