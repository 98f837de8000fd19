// The install, once, for every face that asks for it: the dialog's install
// button and the silent run (/S) both make an InstallPlan from their
// choices and hand it to CarryOutInstall, which runs the steps in their one
// order and asks the face whatever needs an answer.
//
// The steps, in order:
//  1. AutoCAD running (when the plan asks): the face decides whether to go
//     on regardless.
//  2. The folder: refused when empty, relative or too long for the package
//     files' paths, or when the other edition is installed there (the two
//     editions' modules share their names); then whose registry and settings folder the per-user
//     parts go to; then the package folder; then that no newer version is
//     installed. A refusal is told through the face, and nothing is made.
//  3. Elevated, the record folder only administrators write is had first,
//     made with its access list (anything there that is not ours moved
//     aside); without it nothing is installed. Without the rights the user
//     declined, what will be missing is told. The chosen folder and its
//     sub-folder \V-VidudOvev are made; elevated, the sub-folder with the
//     access list of a program folder (users read and run), or nothing is
//     installed.
//  4. The progress view: the record is opened, the package copied (a
//     failed file copy is the face's Abort/Retry/Ignore box), the folder
//     stored, the demand-load entries and trusted paths written, the
//     support files placed, the uninstaller and its entry registered;
//     elevated, the per-user parts left to every account's sign-in.
//  5. What could not be done is told through the face, and the outcome
//     names the exit code.
//
// The face answers through the message boxes it owns (platform::
// MessageOwner): the dialog with real boxes, the silent run with the answer
// a deployment needs. Every box the steps show is owned by the face.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/acad_setup.h"
#include "platform/window.h"

namespace platform {
class Accounts;
class FileSystem;
class ProcessList;
}  // namespace platform

// The folder an install goes to when nobody names another.
inline constexpr char kDefaultInstallFolder[] = "C:\\Velkor";

// What the install is asked to do.
struct InstallPlan {
  // The folder as the user gave it (system code page); one trailing
  // backslash is cut off, and \V-VidudOvev goes below it.
  std::string folder;
  // One flag per release, 2007 first; nonzero: serve it.
  std::array<int, kReleaseCount> selection{};
  // Ask first whether AutoCAD runs.
  bool checkHost = true;
  // Install over a newer version (/FORCE); otherwise that is refused.
  bool allowOlder = false;
  // Runs without the administrator rights the user declined at start:
  // told, before the first change, what will be missing.
  bool tellMissingRights = false;
};

// What the install works with.
// Undoes the install of an earlier run in `folder` (the folder chosen then)
// from its record, silently, as its uninstaller would; gives that
// uninstall's exit code (SetupExit). The caller that can reach the
// uninstall provides it.
using MoveEarlierInstall = std::function<int(const std::string& folder)>;
// An elevated install's last step: leaves the per-user parts of
// `installFolder` (the folder with \V-VidudOvev) to every account's next
// sign-in (peruser/per_user_setup.h), noting what fails in `problems`.
using ArmPerUser = std::function<void(const std::string& installFolder, SetupProblems* problems)>;

struct InstallWorld {
  CAcadSetup& setup;  // scanned already; its catalogue is read in place
  platform::FileSystem& files;
  platform::ProcessList& processes;
  platform::Accounts& accounts;
  std::string logPath;  // the run's log, named by the problems notice; empty: none
  // An install into another folder than the installed copy's moves the
  // install: the earlier one goes first. Null: it stays (tests).
  MoveEarlierInstall moveEarlier = nullptr;
  // Elevated: the accounts not signed in now get the per-user parts at
  // their next sign-in. Null: only those signed in now (tests).
  ArmPerUser armPerUser = nullptr;
};

// The one who asked for the install and answers its questions. Its boxes
// (ShowMessage) own every message the steps show.
class InstallFace : public platform::MessageOwner {
 public:
  // AutoCAD runs (the plan asked to check): true to install all the same.
  virtual bool InstallWhileAcadRuns(const std::string& warning) = 0;
  // The steps begin (the progress view) and end, whatever the outcome.
  virtual void StepsBegin() {}
  virtual void StepsEnd() {}
  // The steps ran to their end (before StepsEnd and any problems box).
  virtual void StepsDone() {}
  // Stepped as the install goes: once per package entry looked at, then
  // once after each of the later steps.
  virtual platform::ProgressStepper& Progress() = 0;
  // Between two steps: a face with a window lets it repaint.
  virtual void Breathe() {}
};

struct InstallOutcome {
  enum Stop {
    Done,            // the steps ran to their end (exitCode says with or without problems)
    AcadRuns,        // the face chose not to install while AutoCAD runs; nothing made
    Refused,         // the folder or the accounts were refused and told; nothing made
    PackageMissing,  // no package folder (told); nothing made
    NewerInstalled,  // a newer version is installed (told); nothing made
    Unprotected,     // elevated: a folder only administrators change could not be had (told); nothing installed
    CopyAborted,     // the user aborted a failed package copy; what was copied stays
  };
  Stop stop = Refused;
  int exitCode = 0;                // SetupExit
  SetupProblems problems;          // what the steps could not do, as told
  std::string targetFolder;        // the folder with \V-VidudOvev, once made
  std::string madeFolder;          // the chosen folder, when the install made it
  bool rightsTold = false;         // the missing rights were told (tellMissingRights)
};

// Runs the plan. Never throws; every failure is in the outcome.
InstallOutcome CarryOutInstall(const InstallPlan& plan, const InstallWorld& world, InstallFace& face);

// The releases this edition offers on this machine: found by the scan and
// served by the edition, as flags in release order.
std::array<int, kReleaseCount> OfferedReleases(const CAcadSetup& setup);

// Why no release can be chosen: nothing found, or only releases that the
// other edition serves, which are then named.
std::string NothingToOfferText(CAcadSetup& setup);
