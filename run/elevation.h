// Asking for administrator rights once, at the start of a run.
//
// On Windows Vista to 11 with UAC on, an administrator's programs run with
// a filtered token unless started elevated; the machine-wide parts of an
// install (the demand-load entries under HKEY_LOCAL_MACHINE, the support
// files in AutoCAD's Program Files folder) and of an uninstall then fail.
// So a run that needs them, started by such an account, starts itself again
// through the shell's "runas" verb (one UAC prompt), waits for that run and
// ends with its exit code. The manifest stays asInvoker: a run that is
// elevated already, runs as SYSTEM, or whose account cannot be elevated (a
// standard account, UAC off, Windows XP) goes on as it is, without a prompt.
#pragma once

#include "platform/accounts.h"
#include "run/command_line.h"

// Whether the run `options` describes asks for rights at its start: an
// install (dialog or /S) or an uninstall, not /?, and not the uninstall's
// hand-over copy (started by an uninstaller that has asked already), nor
// the sign-in run /peruser, which serves its own account; by a
// process that is not elevated, not SYSTEM, and whose token is a filtered
// administrator's (Limited).
bool WantsElevation(const SetupOptions& options, platform::ElevationType type, bool elevated, bool system);
