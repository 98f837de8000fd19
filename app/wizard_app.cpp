// The run of the setup program.
#include "app/wizard_app.h"

#include "run/silent_run.h"
#include "ui/dlg_setup.h"

ForwardingOwner& SetupMessageOwner() {
  static ForwardingOwner owner;
  return owner;
}

BEGIN_MESSAGE_MAP(CWizardApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

int RunWizard(const WizardWorld& world, const std::function<void()>& afterScan) {
  // The catalogue is complete before the dialog exists.
  world.setup.ScanReleases();
  world.setup.LeaveOtherEditionsReleases();
  if (afterScan) afterScan();
  Dlg_Setup dialog(SetupContext{world.setup, world.files, world.processes, world.shell, world.accounts,
                               world.lastBrowseFolder, world.warnHostRunning, ::versionNumber, world.logPath,
                               world.rightsDeclined, world.force, world.moveEarlier, world.armPerUser});
  dialog.UseRunner(world.dialogs);
  // Boxes the engine's steps show are owned by the dialog while it runs.
  SetupMessageOwner().target = &dialog;
  const int result = dialog.DoModal();
  SetupMessageOwner().target = nullptr;
  // DialogBoxParam gives -1 (0 for a bad owner) when the window could not
  // be made: no desktop, or the template or the common controls missing.
  if (result != platform::kIdOk && result != platform::kIdCancel) return SetupExit::NoDialog;
  return dialog.exitCode;
}

int RunSilent(const WizardWorld& world, SilentInstall& silent, const std::function<void()>& afterScan) {
  world.setup.ScanReleases();
  world.setup.LeaveOtherEditionsReleases();
  if (afterScan) afterScan();
  SetupMessageOwner().target = &silent;
  const int code = silent.Run(
      InstallWorld{world.setup, world.files, world.processes, world.accounts, world.logPath, world.moveEarlier,
                   world.armPerUser});
  SetupMessageOwner().target = nullptr;
  return code;
}
