// The uninstaller's hand-over: how Uninstall.exe removes the folder it
// runs from.
//
// The uninstaller the caller starts lies in the folder it is to remove, and
// a running program's file cannot be deleted. So it hands over:
// HandOverUninstall copies the program into a fresh folder under %TEMP%
// (an unguessable name; for an elevated run, one only administrators may
// write in), holds the copy against writers and checks it,
// runs the copy with the same switches and /RECORD=<its own folder>, waits
// for it and gives the copy's exit code, which the caller's process then
// ends with (deployment tools wait on that process and read its code). The
// copy does the uninstall, and last starts a hidden command processor
// (StartCleanup) that, once both programs have ended, deletes the copy and
// its folder, and, when the uninstall removed everything else, the original
// uninstaller and the folders that held only it. Nothing is left in %TEMP%.
//
// When no copy can be made or started, the original runs the uninstall
// itself (`runHere`), which ends with StartCleanup for its own file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace platform {
class FileSystem;
}  // namespace platform

// The internal switch that tells the copy where the record is.
constexpr const char kRecordSwitch[] = "/RECORD=";

// `arguments`: the switches the program was started with (without its
// name). `access`: the copy folder's access list (platform::kRecordAccess
// for an elevated run), null for the parent's. `runHere`: the uninstall in
// this process, given the record folder; gives the exit code.
int HandOverUninstall(platform::FileSystem& files, platform::Launcher& launcher, const std::string& arguments,
                      const char* access, const std::function<int(const std::string& recordFolder)>& runHere);

// Starts the command processor that ends an uninstall: `original` is the
// uninstaller the caller started, `copy` the running copy (empty when the
// original runs the uninstall itself). With `removeOriginal` (everything
// else is gone) it deletes the original once it has ended, then the copy,
// and removes the copy's folder, `laterFolders` and the record folders'
// own parent when they are empty; otherwise only the copy and its folder.
void StartCleanup(platform::FileSystem& files, platform::Launcher& launcher, const std::string& original,
                  const std::string& copy, bool removeOriginal, const std::vector<std::string>& laterFolders);

// The command processor takes this many characters, counted after it has
// put in its variables' values.
constexpr std::size_t kCommandProcessorLimit = 8191;

// The hidden command processor that ends the hand-over: it waits (up to
// about twenty seconds) for `waitFile` to become deletable, deletes it,
// then deletes `thenFile` and removes each of `emptyFolders` that is
// empty, in order.
//  - It runs as `systemFolder`\cmd.exe, by full path, in `systemFolder`,
//    with /d (no AutoRun commands) and /v:off (no !name! expansion); the
//    pause is `systemFolder`\ping.exe by full path, so nothing is found
//    through a working folder or PATH.
//  - No path is written into the command: each reaches it only through a
//    variable of the child's own environment, within quotes; a value is
//    put in once and not read again, so "%OS%" or "&" in a folder name
//    stays as it is.
//  - The whole command, with the values put in, stays within
//    kCommandProcessorLimit: the first try, `thenFile` and as many of the
//    folders as fit, then further tries while they fit.
struct CleanupLaunch {
  std::string commandLine;
  platform::Launcher::Places places;
};
CleanupLaunch CleanupCommand(const std::string& systemFolder, const std::string& waitFile,
                             const std::string& thenFile, const std::vector<std::string>& emptyFolders);

// The length of `commandLine` once each %NAME% of `environment` is put in,
// as the command processor reads it.
std::size_t ExpandedLength(const std::string& commandLine,
                           const std::vector<std::pair<std::string, std::string>>& environment);
