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
}  // namespace SetupExit
