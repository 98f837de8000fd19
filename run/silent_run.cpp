// The silent install; see silent_run.h.
#include "run/silent_run.h"

#include <algorithm>

#include "deploy/package_folder.h"
#include "engine/exit_codes.h"

SilentInstall::SilentInstall(const SilentRequest& request, std::function<void(unsigned)> pause, BoxSeen seen)
    : request_(request), pause_(std::move(pause)), seen_(std::move(seen)) {}

int SilentInstall::ShowMessage(const std::string& text, const std::string& caption, unsigned type) {
  int answer = platform::kIdOk;
  if ((type & 0xF) == platform::kMbAbortRetryIgnore) {
    // The same file again: its retries go on; another file starts anew.
    if (text != lastFailure_) retries_ = 0;
    lastFailure_ = text;
    if (retries_ < kCopyRetries) {
      ++retries_;
      if (pause_) pause_(kRetryPauseMs);
      answer = platform::kIdRetry;
    } else {
      retries_ = 0;
      lastFailure_.clear();
      answer = platform::kIdIgnore;
    }
  }
  if (seen_) seen_(text, caption, type, answer);
  return answer;
}

bool SilentInstall::InstallWhileAcadRuns(const std::string& warning) {
  ShowMessage(warning, kSetupCaption, platform::kMbOk);
  return request_.force;
}

int SilentInstall::Run(const InstallWorld& world) {
  const std::array<int, kReleaseCount> offered = OfferedReleases(world.setup);
  bool anyOffered = false;
  for (const int flag : offered) anyOffered = anyOffered || flag != 0;
  // Told as the dialog would tell a person.
  if (!anyOffered) ShowMessage(NothingToOfferText(world.setup), kSetupCaption, platform::kMbOk);

  InstallPlan plan;
  // Where the earlier install is, when nobody names a folder.
  const InstalledCopy installed = world.setup.FindInstalledCopy();
  plan.folder = request_.folderGiven              ? request_.folder
                : !installed.folder.empty() ? installed.folder
                                            : std::string(kDefaultInstallFolder);
  plan.allowOlder = request_.force;
  if (request_.allReleases) {
    plan.selection = offered;
  } else {
    for (const int year : request_.years) {
      const int k = year - kFirstYear;
      if (k < 0 || k >= kReleaseCount || !offered[static_cast<std::size_t>(k)]) {
        missingYears.push_back(year);
        continue;
      }
      plan.selection[static_cast<std::size_t>(k)] = 1;
    }
  }
  bool anyChosen = false;
  for (const int flag : plan.selection) anyChosen = anyChosen || flag != 0;
  if (!missingYears.empty() || !anyChosen) return SetupExit::NothingToInstall;

  return CarryOutInstall(plan, world, *this).exitCode;
}
