// The data copy; see package_copy.h.
#include "deploy/package_copy.h"

#include <algorithm>
#include <utility>

#include "deploy/package_folder.h"
#include "platform/file_marks.h"
#include "record/install_record.h"
#include "platform/files.h"
#include "platform/message_text.h"
#include "platform/text.h"
#include "platform/window.h"

using platform::FormatPath;
using platform::kPathBufferSize;

namespace {

// Never copied here: the setup program itself, and the fonts and the
// plotter driver, which go into AutoCAD's own folders.
const char* const kExcludedNames[] = {"SetUp.EXE", "Velkor_EN.shx", "Velkor_HZ.shx", "Velkor.prt5"};

// The settings file, which goes to the user's settings folder.
const char kSettingsFile[] = "Velkor.Ini";

bool IsExcluded(const std::string& name) {
  for (const char* excluded : kExcludedNames) {
    if (platform::EqualsNoCase(name, excluded)) return true;
  }
  return false;
}

// Whether a listing entry is a package file the copy takes: a file (no
// sub-folder is entered) with a '.' in its name, not excluded.
bool IsCopied(const platform::FindEntry& entry) {
  if (entry.name == "." || entry.name == ".." || (entry.attributes & platform::kAttrDirectory)) return false;
  return platform::FindChar(entry.name, '.') != platform::npos && !IsExcluded(entry.name);
}

std::string CopyFailureText(const std::string& destination) {
  // Joined rather than formatted: a path may hold a '%'.
  return "拷贝文件 " + platform::SystemText(destination) +
         " 失败，可能原因如下：\n\n1、AutoCAD未关闭\n\n2、系统权限未开放，请以管理者权限登陆系统";
}

std::string ListingFailureText(const std::string& packageFolder) {
  return "读取安装文件夹 " + platform::SystemText(packageFolder) + " 失败，其中的文件未能全部拷贝。\n\n选择“重试”将重新读取并拷贝。";
}

// Said below the failure text when the path can never fit: retrying cannot
// help, so Retry goes on as Ignore does.
const char kTooLongNote[] = "\n\n路径超过259个字符，无法拷贝：选择“重试”将跳过此文件。";

// Said below it for a package file whose name this system's code page
// cannot carry: no narrow call can name it, so it can never be copied.
const char kNameNotInCodePageNote[] =
    "\n\n文件名含有本系统代码页无法表示的字符（显示为“?”），无法拷贝：请将其改名，"
    "或在控制面板的“区域”设置中将非Unicode程序的语言设为该名称的语言。选择“重试”将跳过此文件。";

// Said below it when APPDATA is not set: the settings file has nowhere to
// go, and any folder guessed instead would not be the user's.
const char kNoSettingsFolderNote[] = "\n\n未设置APPDATA，用户设置文件夹未知，无法拷贝：选择“重试”将跳过此文件。";

}  // namespace

std::size_t LongestPackageFileName(platform::FileSystem& files, const std::string& packageFolder) {
  std::size_t longest = 0;
  platform::FindEntry entry;
  const platform::ScopedFind listing(files, files.FindFirst(packageFolder + "\\*.*", &entry));
  for (bool more = listing.Valid(); more; more = files.FindNext(listing.Get(), &entry)) {
    if (IsCopied(entry) && !platform::EqualsNoCase(entry.name, kSettingsFile)) {
      longest = std::max(longest, entry.name.size());
    }
  }
  return longest;
}

CPackageCopy::CPackageCopy(std::string folder, platform::ProgressStepper& progressBar, platform::FileSystem& files,
                           platform::MessageOwner& owner)
    : targetFolder(std::move(folder)), progress(progressBar), files_(files), owner_(owner) {
  // The last character, not the last byte: "乗" ends in the byte 0x5C.
  if (!targetFolder.empty() && platform::ReverseFindChar(targetFolder, '\\') == targetFolder.size() - 1) {
    targetFolder.pop_back();
  }
}

bool CPackageCopy::CopyDataFolder() {
  std::string packageFolder;
  if (!FindPackageFolder(files_, owner_, packageFolder)) {
    packageMissing = true;
    return false;
  }
  // A folder too long for its buffer is not created under a cut name; the
  // copies into it report it one by one.
  if (targetFolder.size() < kPathBufferSize) files_.MakeFolder(targetFolder);

  char pattern[kPathBufferSize];
  if (!FormatPath(pattern, "%s\\*.*", packageFolder.c_str())) {
    // The package cannot be listed without cutting its folder's name: told
    // like a failed copy, naming the folder. Retrying cannot help, but the
    // box offers it; Ignore goes on without the package files.
    bool abort = false;
    AskRetry(packageFolder, &abort, kTooLongNote);
    return !abort;
  }

  // A listing that fails on the way would leave files out of a package
  // reported as installed: the user is asked, and Retry lists it again
  // from the start (copies already made are made again).
  for (;;) {
    long error = 0;
    {
      platform::FindEntry entry;
      const platform::ScopedFind listing(files_, files_.FindFirst(pattern, &entry));
      if (!listing.Valid()) error = files_.LastError();
      // Every entry to the listing's end: a file left out would be a
      // package installed in part and reported whole.
      for (bool first = true; listing.Valid(); first = false) {
        progress.StepIt();
        if (!first && !files_.FindNext(listing.Get(), &entry)) {
          error = files_.LastError();
          break;
        }
        if (!IsCopied(entry)) continue;
        if (entry.nameError != 0) {
          // Told, naming the file as best the code page can; never skipped
          // in silence, which would install the package in part.
          bool abort = false;
          const std::string destination = targetFolder + "\\" + entry.name;
          AskRetry(destination, &abort, kNameNotInCodePageNote);
          if (abort) return false;
          skippedFiles.push_back({SetupProblem::NameNotInCodePage, 0, destination, std::string(), entry.nameError});
          continue;
        }
        if (!CopyPackageFile(packageFolder, entry.name)) return false;
      }
    }
    // The listing's end, or nothing to list (a drive root holds no "."):
    // every file was seen.
    if (error == platform::FileError::NoMoreFiles || error == platform::FileError::FileNotFound) return true;
    const int answer = owner_.ShowMessage(ListingFailureText(packageFolder), kSetupCaption,
                                          platform::kMbAbortRetryIgnore);
    if (answer == platform::kIdIgnore) return true;
    if (answer != platform::kIdRetry) return false;
  }
}

bool CPackageCopy::CopySettingsFile() {
  std::string packageFolder;
  if (!FindPackageFolder(files_, owner_, packageFolder)) return false;
  const unsigned long attributes = files_.GetAttributes(packageFolder + "\\" + kSettingsFile);
  if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrDirectory)) return true;
  return CopyPackageFile(packageFolder, kSettingsFile);
}

bool CPackageCopy::CopyPackageFile(const std::string& packageFolder, const std::string& name) {
  char source[kPathBufferSize];
  char destination[kPathBufferSize];
  bool fits = FormatPath(source, "%s\\%s", packageFolder.c_str(), name.c_str());
  std::string destinationPath;  // in full, for the message, even when it does not fit
  const char* hopeless = kTooLongNote;  // why a copy cannot be made, when it cannot
  // Nobody's settings folder to put it in: left out, not put into SYSTEM's.
  if (userPlaces.nobody && platform::EqualsNoCase(name, kSettingsFile)) return true;
  if (platform::EqualsNoCase(name, kSettingsFile)) {
    const std::string appData = userPlaces.AppDataFolder(files_);
    char settingsFolder[kPathBufferSize];
    // Unset, it would make "\Velkor" on the current drive's root.
    const bool settingsFit = !appData.empty() && FormatPath(settingsFolder, "%s\\Velkor", appData.c_str());
    if (settingsFit) files_.MakeFolder(settingsFolder);
    fits = fits && settingsFit && FormatPath(destination, "%s\\%s", settingsFolder, name.c_str());
    destinationPath = (appData.empty() ? "%APPDATA%" : appData) + "\\Velkor\\" + name;
    if (appData.empty()) hopeless = kNoSettingsFolderNote;
  } else {
    fits = fits && FormatPath(destination, "%s\\%s", targetFolder.c_str(), name.c_str());
    destinationPath = targetFolder + "\\" + name;
  }

  // The user's settings are theirs: a settings file that is there already
  // stays, unless it is the package's own, unchanged (byte for byte), which
  // a reinstall may write again. One that cannot be read counts as theirs.
  std::string existing, packaged;
  if (fits && platform::EqualsNoCase(name, kSettingsFile) && files_.ReadBytes(destination, &existing) &&
      !(files_.ReadBytes(source, &packaged) && packaged == existing)) {
    return true;
  }
  if (fits) {
    // Read-only first: it also keeps the source's stream from being
    // deleted. The destination must not be read-only or hidden either, or
    // it cannot be overwritten.
    ClearReadOnly(files_, source);
    DeleteZoneIdentifier(files_, source);
    ClearBlockingAttributes(files_, destination);
  }
  const std::string sourcePath = packageFolder + "\\" + name;
  bool abort = false;
  if (!fits) {
    AskRetry(destinationPath, &abort, hopeless);
    if (!abort) Skip(destinationPath, sourcePath, 0, true);
  } else {
    while (!files_.Copy(source, destination, false)) {
      const long error = files_.LastError();
      if (AskRetry(destinationPath, &abort)) continue;
      if (!abort) Skip(destinationPath, sourcePath, error, false);
      return !abort;
    }
  }
  if (abort) return false;
  // A copy carries the source's attributes; none is left read-only. Nor
  // does it keep a download mark the source's could not be cleared of:
  // AutoCAD will not load a managed DLL that carries one.
  if (fits) {
    ClearBlockingAttributes(files_, destination);
    DeleteZoneIdentifier(files_, destination);
    if (record) record->NoteFile(destination);
  }
  return true;
}

void CPackageCopy::Skip(const std::string& destination, const std::string& source, long error, bool tooLong) {
  skippedFiles.push_back({tooLong ? SetupProblem::TextTooLong : SetupProblem::FileCopy, 0, destination,
                          tooLong ? source : std::string(), error});
}

bool CPackageCopy::AskRetry(const std::string& destination, bool* abort, const char* hopeless) {
  const std::string text = CopyFailureText(destination) + (hopeless ? hopeless : "");
  const int answer = owner_.ShowMessage(text, kSetupCaption, platform::kMbAbortRetryIgnore);
  // A box that could not be shown answers neither: stop rather than loop.
  *abort = answer != platform::kIdRetry && answer != platform::kIdIgnore;
  return answer == platform::kIdRetry && !hopeless;
}
