// The uninstall itself (Uninstall.exe /uninstall, in the hand-over's copy):
// asks once, warns once while AutoCAD runs, undoes the install from its
// record (uninstall/uninstall.h) and ends with one box saying what was
// removed and what was left. Silent (/S): no box at all, and the exit code
// says how it ended.
#pragma once

#include <string>
#include <vector>

#include "uninstall/uninstall.h"

class CAcadSetup;

namespace platform {
class FileSystem;
class MessageOwner;
class ProcessList;
class Registry;
}  // namespace platform

struct UninstallWorld {
  platform::Registry& registry;
  platform::FileSystem& files;
  platform::ProcessList& processes;
  platform::MessageOwner& boxes;  // ownerless: there is no dialog
};

struct UninstallRequest {
  bool silent = false;
  bool force = false;           // silent: uninstall even while AutoCAD runs
  std::string recordFolder;     // where the record and the uninstaller lie
  std::string runningProgram;   // the uninstaller the caller started: spared
  std::string logPath;          // the run's log, named by the last box; empty: none
  // Profiles of users signed out, for their next sign-in; none: left.
  CUninstall::HandOver handOver = nullptr;
};

constexpr const char kUninstallCaption[] = "V-软件卸载";

// The exit code (SetupExit): Installed (0) when everything was removed,
// RemovedWithItemsLeft, NothingToRemove (also, nothing done, when the
// record folder is no plain full path: the program could not tell its own
// folder), Cancelled (the user said no), or
// HostRunning (silent, AutoCAD runs, not forced: nothing done).
// `laterFolders`, when given, gets the folders that held only the running
// uninstaller, to remove once it has ended (StartCleanup).
int RunUninstall(const UninstallWorld& world, const UninstallRequest& request,
                 std::vector<std::string>* laterFolders = nullptr);

// An install that moves to another folder: the install an earlier run made
// in `folder` (the folder chosen then), undone from its record silently and
// whatever runs (the install has asked about AutoCAD already), its
// uninstaller included. The record is the one an install run as this one
// (`elevated` or not) keeps for that folder; `handOver` as the uninstall's
// (UninstallRequest). The uninstall's exit code.
int UndoEarlierInstall(const UninstallWorld& world, CAcadSetup& setup, bool elevated, const std::string& folder,
                       CUninstall::HandOver handOver = nullptr);
