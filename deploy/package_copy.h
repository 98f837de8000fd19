// The data copy: the package folder's files into the target folder, the
// settings file into the user's settings folder.
#pragma once

#include <cstddef>
#include <string>

#include "engine/acad_setup.h"
#include "engine/user_places.h"
#include "platform/file_marks.h"

class CInstallRecord;

namespace platform {
class FileSystem;
class MessageOwner;
class ProgressStepper;
}  // namespace platform

// The length in bytes of the longest name among the package files that the
// data copy puts into the target folder; 0 when there are none or the
// package cannot be listed.
std::size_t LongestPackageFileName(platform::FileSystem& files, const std::string& packageFolder);

// One install run's copy of the package files. Lives on the install
// command's stack for one run.
class CPackageCopy {
 public:
  // `folder` is the target folder (never empty); one trailing backslash is
  // cut off.
  CPackageCopy(std::string folder, platform::ProgressStepper& progressBar, platform::FileSystem& files,
               platform::MessageOwner& owner);
  CPackageCopy(const CPackageCopy&) = delete;
  CPackageCopy& operator=(const CPackageCopy&) = delete;

  // Copies the package folder's files, one level deep and every entry of
  // the listing, stepping the progress bar once per entry. A failed copy is
  // offered to the user to abort, retry or ignore; so is a file that can
  // never be copied: one whose source or destination path would not fit a
  // path buffer, which is never copied under a cut name, and the settings
  // file when APPDATA is not set, which is put nowhere else. Its box says
  // why, and Retry there skips the file as Ignore does, since retrying
  // cannot help. A file whose name the system's code page cannot carry is
  // told the same way (no narrow call can name it). False when the package
  // folder is missing or the user aborted; true otherwise.
  bool CopyDataFolder();

  // The package's settings file alone, into the settings folder of
  // userPlaces, as CopyDataFolder copies it (kept when the user has one of
  // their own). True when there is none to copy; false when the package is
  // gone or the user aborted.
  bool CopySettingsFile();

  std::string targetFolder;
  platform::ProgressStepper& progress;
  // Set when CopyDataFolder failed because there is no package folder.
  bool packageMissing = false;
  // The package files the copy left out: ignored by the user after a
  // failure, or skipped because their path can never fit. The install
  // reports them with the other problems.
  SetupProblems skippedFiles;
  // Where each file copied is noted; none unless the install command sets one.
  CInstallRecord* record = nullptr;
  // Whose application-data folder the settings file goes to: the running
  // account's unless the install command chose the desktop user's.
  UserPlaces userPlaces;

 private:
  // Copies one package file; false when the user chose Abort.
  bool CopyPackageFile(const std::string& packageFolder, const std::string& name);
  // Asks what to do about a copy to `destination` that failed; true for
  // Retry, false for Ignore, and `*abort` set for Abort. For a copy that
  // can never be made, `hopeless` is the note that says why, shown below
  // the failure text, and Retry counts as Ignore.
  bool AskRetry(const std::string& destination, bool* abort, const char* hopeless = nullptr);
  // Notes a package file left out.
  void Skip(const std::string& destination, const std::string& source, long error, bool tooLong);

  platform::FileSystem& files_;
  platform::MessageOwner& owner_;
};
