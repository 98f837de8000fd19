// The install command: OnInstall and RunInstall, and the completion view.
// The install itself is the one sequence every face runs
// (install/install_run.h); the dialog answers its questions with boxes and
// shows its progress on the bar.
#include "deploy/package_folder.h"
#include "install/install_run.h"
#include "platform/files.h"
#include "ui/dlg_setup.h"

#include <string>

namespace {

// The install runs inside the button's handler. Meanwhile the window takes
// no input: a key typed now could answer a later box whose default is
// Abort, and the close box would end the program with the install half
// done. It still repaints, and copies that take long (a slow share, a virus
// scanner) let it handle its messages, so it is never reported as hung.
class DialogFace final : public InstallFace {
 public:
  DialogFace(Dlg_Setup& dialog, platform::FileSystem& files, bool& warnHostRunning)
      : dialog_(dialog), files_(files), warnHostRunning_(warnHostRunning) {}

  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
    return dialog_.MessageBox(text, caption, type);
  }
  bool InstallWhileAcadRuns(const std::string& warning) override {
    dialog_.MessageBox(warning, kSetupCaption, platform::kMbOk);
    // Asked once: the next press installs even while AutoCAD runs.
    warnHostRunning_ = false;
    return false;
  }
  void StepsBegin() override {
    for (const int id : {SetupControl::FolderLabel, SetupControl::FolderField, SetupControl::BrowseButton}) {
      if (CWnd* control = dialog_.GetDlgItem(id)) control->ShowWindow(platform::kSwHide);
    }
    // Once the copy has begun there is nothing to cancel: the button stays
    // grey until the completion view replaces it.
    if (CWnd* cancel = dialog_.GetDlgItem(SetupControl::CancelButton)) cancel->EnableWindow(false);
    dialog_.EnableWindow(false);
    files_.SetWaitHook([this] { dialog_.PumpMessages(); });
    if (CWnd* bar = dialog_.GetDlgItem(SetupControl::ProgressBar)) bar->ShowWindow(platform::kSwShowNormal);
    dialog_.progressBar.SetRange(0, 50);
    dialog_.progressBar.SetStep(1);
    dialog_.progressBar.SetPos(0);
  }
  void StepsDone() override { dialog_.progressBar.SetPos(50); }
  void StepsEnd() override {
    files_.SetWaitHook(nullptr);
    dialog_.EnableWindow(true);
  }
  platform::ProgressStepper& Progress() override { return dialog_.progressBar; }
  void Breathe() override { dialog_.PumpMessages(); }

 private:
  Dlg_Setup& dialog_;
  platform::FileSystem& files_;
  bool& warnHostRunning_;
};

}  // namespace

void Dlg_Setup::OnInstall() {
  UpdateData(true);
  InstallPlan plan;
  plan.folder = folderPath;
  plan.selection = selectionFlags;
  plan.checkHost = warnHostRunning_;
  plan.tellMissingRights = tellMissingRights_;
  plan.allowOlder = force_;
  if (!RunInstall(plan)) return;
  ShowCompletionView();
}

bool Dlg_Setup::RunInstall(const InstallPlan& plan) {
  DialogFace face(*this, files_, warnHostRunning_);
  const InstallOutcome outcome =
      CarryOutInstall(plan, InstallWorld{setup_, files_, processes_, accounts_, logPath_, moveEarlier_, armPerUser_}, face);
  if (outcome.rightsTold) tellMissingRights_ = false;
  // Once made, the folder with its sub-folder is the field's (hidden) text.
  if (!outcome.targetFolder.empty()) {
    folderPath = outcome.targetFolder;
    madeFolder = outcome.madeFolder;
  }
  switch (outcome.stop) {
    case InstallOutcome::AcadRuns:
    case InstallOutcome::Refused:
    case InstallOutcome::NewerInstalled:
      // Told; the selection view stays for the user to put it right.
      return false;
    case InstallOutcome::PackageMissing:
    case InstallOutcome::CopyAborted:
    case InstallOutcome::Unprotected:
      // Nothing already copied is undone; the record says what was.
      exitCode = outcome.exitCode;
      OnCancel();
      return false;
    case InstallOutcome::Done:
      break;
  }
  installProblems = outcome.problems;
  exitCode = outcome.exitCode;
  return true;
}

void Dlg_Setup::ShowCompletionView() {
  struct Change {
    int id;
    int command;
  };
  const Change changes[] = {
      {SetupControl::DoneMessage, platform::kSwShowNormal}, {SetupControl::MenuPicture, platform::kSwShowNormal},
      {SetupControl::ChooseLabel, platform::kSwHide},       {SetupControl::ProgressBar, platform::kSwHide},
      {SetupControl::InstallDone, platform::kSwShowNormal}, {SetupControl::InstallButton, platform::kSwHide},
      {SetupControl::CancelButton, platform::kSwHide},
  };
  for (const Change& change : changes) {
    if (CWnd* control = GetDlgItem(change.id)) control->ShowWindow(change.command);
  }
  for (int k = 0; k < kReleaseCount; ++k) ReleaseBox(k).ShowWindow(platform::kSwHide);
  // The hidden folder field now holds the folder with its sub-folder.
  UpdateData(false);

  // Shorter by the distance between the bottoms of buttons 1 and 2, so that
  // button 1 ends as far above the bottom edge as button 2 did.
  platform::Rect window, done, cancel;
  GetWindowRect(&window);
  if (CWnd* button = GetDlgItem(SetupControl::InstallDone)) {
    button->GetWindowRect(&done);
    ScreenToClient(&done);
  }
  if (CWnd* button = GetDlgItem(SetupControl::CancelButton)) {
    button->GetWindowRect(&cancel);
    ScreenToClient(&cancel);
  }
  const platform::Rect shrunk{window.left, window.top, window.right, window.bottom + (done.bottom - cancel.bottom)};
  MoveWindow(shrunk.left, shrunk.top, shrunk.Width(), shrunk.Height(), true);
}
