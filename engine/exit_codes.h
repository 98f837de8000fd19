// The program's exit codes: how a run ended, for a program that started it
// (a deployment tool, a batch file) to act on. One table for every way the
// program runs; the README lists it.
#pragma once

namespace SetupExit {
constexpr int Installed = 0;              // installed, nothing to report
constexpr int Cancelled = 1;              // closed before anything was installed
constexpr int PackageMissing = 2;         // no Data folder beside the program
constexpr int CopyAborted = 3;            // the user aborted a failed package copy
constexpr int InstalledWithProblems = 4;  // installed; the problems notice was shown
constexpr int NoDialog = 5;               // the dialog could not be made (no desktop, no template)
constexpr int BadCommandLine = 6;         // an unknown switch or a malformed value; nothing done
constexpr int NothingToInstall = 7;       // no release found, or none of those asked for
constexpr int HostRunning = 8;            // AutoCAD runs; nothing done
constexpr int NothingToRemove = 9;        // uninstall: no record of an install beside the uninstaller
constexpr int RemovedWithItemsLeft = 10;  // uninstall: removed, but some items were left (and reported)
// 0 (Installed) is also an uninstall that removed everything, and 1
// (Cancelled) one the user declined.
}  // namespace SetupExit
