// The silent install (SetUp.exe /S): the install sequence every face runs
// (install/install_run.h), with a face that shows nothing. It chooses the
// releases and the folder from the command line and answers each question
// as a deployment needs:
//  - a failed file copy (Abort/Retry/Ignore): Retry three times, a pause
//    apart (a file held briefly by a scanner), then Ignore, so that the
//    install goes on and ends "installed with problems";
//  - AutoCAD running: installs all the same only when `force` is set,
//    otherwise the run ends with HostRunning;
//  - every notice: OK.
// Each box it answers reaches the caller's observer (the log) with its
// answer, as a box of the dialog would.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "install/install_run.h"

struct SilentRequest {
  bool folderGiven = false;
  std::string folder;        // the field's text, as /D= gave it
  bool allReleases = true;   // every release found that this edition serves
  std::vector<int> years;    // else these
  bool force = false;        // install while AutoCAD runs
};

class SilentInstall final : public InstallFace {
 public:
  using BoxSeen = std::function<void(const std::string& text, const std::string& caption, unsigned type, int answer)>;

  // `pause` waits that many milliseconds; `seen` hears of every box.
  SilentInstall(const SilentRequest& request, std::function<void(unsigned)> pause, BoxSeen seen);

  // Installs on the machine `world.setup` has scanned. The exit code
  // (SetupExit): NothingToInstall when a release asked for is not offered
  // (missingYears says which) or none is, BadCommandLine when the folder
  // or the accounts were refused, and otherwise the install's own.
  int Run(const InstallWorld& world);

  // The years of the request that this machine does not offer.
  std::vector<int> missingYears;

  static constexpr int kCopyRetries = 3;
  static constexpr unsigned kRetryPauseMs = 2000;

  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override;
  bool InstallWhileAcadRuns(const std::string& warning) override;
  platform::ProgressStepper& Progress() override { return progress_; }

 private:
  struct NoProgress final : platform::ProgressStepper {
    void StepIt() override {}
  };

  SilentRequest request_;
  std::function<void(unsigned)> pause_;
  BoxSeen seen_;
  NoProgress progress_;
  // The copy failure answered last, and how often it was retried.
  std::string lastFailure_;
  int retries_ = 0;
};
