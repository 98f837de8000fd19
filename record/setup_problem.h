// SetupProblem: what an install or uninstall step could not do, kept for
// the user's notice and the log. Below every step, so that each can report,
// and so can the record of what was done.
#pragma once

#include <string>
#include <vector>

// Something an install step could not do, for the install command to tell
// the user: the steps collect these and go on.
struct SetupProblem {
  enum Kind {
    RegistryWrite,  // a key or value could not be created, deleted or set
    TextTooLong,    // a path or value would not fit its buffer; not written
    FileCopy,       // a file whose source exists could not be copied
    RegistryRead,   // a value that could not be read; left as it was
    ScanRead,       // a key or value the scan could not read: installations
                    // below it may be missing from the catalogue
    NameNotInCodePage,  // a sub-key of `place` whose name the system's code
                        // page cannot carry (NoUnicodeTranslation): what lies
                        // below it was not handled
    RecordWrite,    // the install record (`place`) could not be kept whole:
                    // what the install did may not all be undone later
    BackupCopy,     // a file not ours (`place`) was replaced without a kept
                    // copy of the original, which could not be made
    RecordFolder,   // the folder only administrators can write (`place`)
                    // could not be made or protected: the record and the
                    // uninstaller are kept in the install folder instead
    EarlierInstall, // the install moved from the folder `place`, and not all
                    // of the earlier one there could be removed (the log says what)
  };
  Kind kind;
  int year;             // release year, 0 when the problem belongs to none
  std::string place;    // registry key path or destination file
  std::string item;     // entry or value name, or the source file
  long error;           // the system's error code, 0 when there is none
};
using SetupProblems = std::vector<SetupProblem>;
