// The silent install (SetUp.exe /S): the setup dialog's own logic, run
// without a window. SilentDialogRunner stands in for the system's dialogs:
// it keeps the controls' state in memory, lets the dialog initialise
// itself, ticks the releases asked for, types the folder, presses install,
// and answers each box the dialog would show as the deployment needs:
//  - the copy failure (Abort/Retry/Ignore): Retry three times, a pause
//    apart (a file held briefly by a scanner), then Ignore, so that the
//    install goes on and ends "installed with problems";
//  - every other box: OK; and the box that AutoCAD runs is answered by
//    pressing install again only when `force` is set (as a person's second
//    press would), otherwise the run ends with HostRunning.
// Nothing is shown: no window is made.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window.h"

struct SilentRequest {
  bool folderGiven = false;
  std::string folder;        // the field's text, as /D= gave it
  bool allReleases = true;   // every release found that this edition serves
  std::vector<int> years;    // else these
  bool force = false;        // install while AutoCAD runs
};

class SilentDialogRunner final : public platform::DialogRunner {
 public:
  // `warnHostRunning` is the program's flag the dialog clears once it has
  // warned that AutoCAD runs. `pause` waits that many milliseconds. The
  // boxes and their answers reach the log as every dialog box does
  // (AfxSetBoxObserver).
  SilentDialogRunner(const SilentRequest& request, bool& warnHostRunning, std::function<void(unsigned)> pause);

  int RunModal(const platform::DialogTemplate& dialogTemplate, platform::DialogHandler& handler) override;

  // Set when the run ended for a reason the dialog has no code for
  // (SetupExit: NothingToInstall, HostRunning, BadCommandLine); 0 when the
  // dialog's own exit code holds.
  int exitCode = 0;
  // The years of the request that this machine does not offer.
  std::vector<int> missingYears;

  static constexpr int kCopyRetries = 3;
  static constexpr unsigned kRetryPauseMs = 2000;

 private:
  SilentRequest request_;
  bool& warnHostRunning_;
  std::function<void(unsigned)> pause_;
};
