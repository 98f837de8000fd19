// The data copy: the package folder's files into the target folder, the
// settings file into the user's settings folder.
#pragma once

#include <string>

#include "engine/user_places.h"

namespace platform {
class FileSystem;
class MessageOwner;
class ProgressStepper;
}  // namespace platform

// Clears the read-only attribute of `path` when it is set, leaving every
// other attribute as it was. Reports nothing.
void ClearReadOnly(platform::FileSystem& files, std::string path);

// Deletes the file's ":Zone.Identifier" stream, the mark that keeps a
// downloaded file blocked. True when a stream was deleted.
bool DeleteZoneIdentifier(platform::FileSystem& files, std::string path);

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
  // cannot help. False when the package folder is missing or the user
  // aborted; true otherwise.
  bool CopyDataFolder();

  std::string targetFolder;
  platform::ProgressStepper& progress;
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

  platform::FileSystem& files_;
  platform::MessageOwner& owner_;
};
