// The uninstaller's hand-over: how Uninstall.exe removes the folder it
// runs from.
//
// The uninstaller the caller starts lies in the folder it is to remove, and
// a running program's file cannot be deleted. So it hands over:
// HandOverUninstall copies the program into a fresh folder under %TEMP%,
// runs the copy with the same switches and /RECORD=<its own folder>, waits
// for it and gives the copy's exit code, which the caller's process then
// ends with (deployment tools wait on that process and read its code). The
// copy does the uninstall. Last, the original starts a hidden command
// processor that, once both programs have ended, deletes the temporary copy
// and its folder, and, when the uninstall removed everything else, the
// original uninstaller and the folders it leaves empty. Nothing is left in
// %TEMP%.
//
// When no copy can be made or started, the original runs the uninstall
// itself (`runHere`), and the command processor still removes its file
// afterwards.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {
class FileSystem;
class Launcher;
}  // namespace platform

// The internal switch that tells the copy where the record is.
constexpr const char kRecordSwitch[] = "/RECORD=";

// `arguments`: the switches the program was started with (without its
// name). `runHere`: the uninstall in this process, given the record folder;
// gives the exit code.
int HandOverUninstall(platform::FileSystem& files, platform::Launcher& launcher, const std::string& arguments,
                      const std::function<int(const std::string& recordFolder)>& runHere);

// The command line of the hidden command processor that ends the
// hand-over: it waits (up to about twenty seconds) for `waitFile` to become
// deletable, deletes it, then deletes `thenFile` and removes each of
// `emptyFolders` that is empty, in order.
std::string CleanupCommand(const std::string& commandProcessor, const std::string& waitFile,
                           const std::string& thenFile, const std::vector<std::string>& emptyFolders);
