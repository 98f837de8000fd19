// The program's command line: the switches an unattended install or
// uninstall is run with, parsed into SetupOptions, the error that names a
// bad switch, and the usage text of /?.
//
// Input: the command line in the system's ANSI code page, as
// GetCommandLineA gives it. ParseCommandLine takes the text after the
// program's name; ParseProgramCommandLine takes the whole line and skips the
// program's name first (SkipProgramName).
//
// Switches, each a word of its own, names in any letter case:
//   /S              silent: no window, no box
//   /D=<folder>     the install folder, as the user would type it in the field
//   /R=<years>      releases: "2008,2010,2014" (2007..2027; a year given twice
//                   counts once) or "all", the default
//   /LOG=<file>     where the log goes instead of %TEMP%
//   /uninstall      the uninstall; takes /S, /LOG= and /FORCE, not /D= or /R=
//   /FORCE          install (or uninstall) even while AutoCAD runs
//   /?              the usage text
// and one the program gives itself, not in the usage: /RECORD=<folder>,
// with /uninstall, is how the uninstaller hands over to its copy in %TEMP%
// (uninstall/uninstall_handoff.h); and /peruser, alone or with /LOG=, which
// the machine's install leaves for every account's sign-in (Active Setup,
// peruser/per_user_setup.h): it implies /S.
//
// Words and quotes. Words are separated by spaces and tabs outside quotes.
// Every double quote opens or closes a quoted stretch and is dropped; a
// backslash is an ordinary character and never escapes a quote. So
// "/D=C:\Program Files\X", /D="C:\Program Files\X" and /D="D:\Tools\" all
// give the folder as typed. (The C run time's argv rules would read the
// last one as D:\Tools" plus whatever follows, since they take \" for a
// literal quote; no Windows path can hold a quote, so nothing is lost by
// not having one.) A quote left open is an error: /D="D:\Tools /S would
// otherwise install into "D:\Tools /S", silently. The line is walked by characters of the code page
// (platform/text.h): a trail byte is never taken for a space, a quote or a
// backslash of its own.
//
// What the parse does not check: whether the folder is one the install can
// use (absolute, not too long). That is the install command's rule for the
// field, and a folder from here goes through the same check.
#pragma once

#include <string>
#include <vector>

#include "engine/build_constants.h"

struct SetupOptions {
  bool silent = false;       // /S
  bool uninstall = false;    // /uninstall
  bool force = false;        // /FORCE
  bool help = false;         // /?
  bool folderGiven = false;  // /D= given; folder as given, quotes removed
  std::string folder;
  bool allReleases = true;   // no /R=, or /R=all
  std::vector<int> years;    // /R=<years>: ascending, each once; empty with allReleases
  std::string logPath;       // /LOG=; empty: the default place
  std::string recordFolder;  // /RECORD=: the hand-over's copy, and where the record is
  bool perUser = false;      // /peruser: the sign-in run for one account (always silent)
};

// Why a command line was refused, and which switch.
struct CommandLineError {
  enum Kind {
    None,
    UnknownSwitch,     // not one of the switches (or no switch at all)
    MissingValue,      // /D, /R, /LOG without "=<value>", or with an empty one
    UnexpectedValue,   // /S=..., /FORCE=... and so on
    BadValue,          // /R= not a list of years or "all"
    YearOutOfRange,    // /R= holds a year outside 2007..2027
    GivenTwice,        // a switch given again with another value
    OpenQuote,         // a quote not closed before the end of the line
    NotWithUninstall,  // /D= or /R= beside /uninstall
  };
  Kind kind = None;
  std::string name;      // the switch as the program names it ("/R"); for an unknown one, the word
  std::string argument;  // the whole word as given, quotes removed (system code page)
};

// Parses the arguments (the text after the program's name). On success
// `*options` holds them and the result is true; on failure `*error` names
// the first bad switch and `*options` is left as it was.
bool ParseCommandLine(const std::string& arguments, SetupOptions* options, CommandLineError* error);

// The same for the whole line as GetCommandLineA gives it.
bool ParseProgramCommandLine(const std::string& commandLine, SetupOptions* options, CommandLineError* error);

// The text after the program's name: a name in quotes runs to the next
// quote, otherwise to the first space or tab (as Windows itself reads it);
// the spaces after it are skipped.
std::string SkipProgramName(const std::string& commandLine);

// What the program says of a refused command line, in Chinese and English
// (CP936; the word as given is marked as system text, platform/message_text.h).
std::string DescribeCommandLineError(const CommandLineError& error);

// The usage text of /?, Chinese then English (CP936), with the switches,
// the years the edition of `bits` serves and the exit codes. Lines end in
// "\r\n", for a console and a box alike.
std::string UsageText(int bits = editionBits);
