// The uninstaller's hand-over; see uninstall_handoff.h.
#include "uninstall/uninstall_handoff.h"

#include "engine/exit_codes.h"
#include "engine/program_names.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"

namespace {

const char kProgramName[] = "Uninstall.exe";
constexpr int kMostCopyFolders = 99;

std::string WithoutTrailingSlash(std::string folder) {
  if (!folder.empty() && platform::ReverseFindChar(folder, '\\') == folder.size() - 1) folder.pop_back();
  return folder;
}

// The command processor from the system folder, not one found by name.
std::string CommandProcessor(platform::FileSystem& files) {
  const std::string root = WithoutTrailingSlash(files.Environment("SystemRoot"));
  if (!root.empty()) return root + "\\System32\\cmd.exe";
  return files.Environment("ComSpec");
}

// A folder of its own under %TEMP%: a name already there (someone else's)
// is passed, never reused.
std::string MakeCopyFolder(platform::FileSystem& files) {
  std::string temp = WithoutTrailingSlash(files.Environment("TEMP"));
  if (temp.empty()) temp = WithoutTrailingSlash(files.Environment("TMP"));
  if (temp.empty()) return std::string();
  for (int n = 1; n <= kMostCopyFolders; ++n) {
    const std::string folder = temp + kUninstallCopyPrefix + std::to_string(n);
    if (files.MakeFolder(folder)) return folder;
    if (files.LastError() != platform::FileError::AlreadyExists) return std::string();
  }
  return std::string();
}

}  // namespace

std::string CleanupCommand(const std::string& commandProcessor, const std::string& waitFile,
                           const std::string& thenFile, const std::vector<std::string>& emptyFolders) {
  // A file that still runs cannot be deleted: tried again after a pause of
  // about two seconds (ping is on every Windows) while it is there. The
  // tries are written out one after the other, each in parentheses: no
  // loop or unbracketed "if" whose extent command processors read
  // differently. /s: only the outer quotes go, the paths keep theirs.
  const std::string del = "(del /f /q \"" + waitFile + "\" >nul 2>&1)";
  const std::string pause = "(if exist \"" + waitFile + "\" ping -n 3 127.0.0.1 >nul)";
  std::string rest;
  if (!thenFile.empty()) rest += " & (del /f /q \"" + thenFile + "\" >nul 2>&1)";
  for (const std::string& folder : emptyFolders) rest += " & (rd \"" + folder + "\" >nul 2>&1)";
  // The command processor takes 8191 characters: as many tries as fit,
  // ten at most (some twenty seconds).
  std::string body = del;
  const std::size_t oneTry = pause.size() + del.size() + 6;
  for (int tries = 1; tries < 10 && body.size() + oneTry + rest.size() + commandProcessor.size() + 20 < 8000; ++tries) {
    body += " & " + pause + " & " + del;
  }
  return "\"" + commandProcessor + "\" /d /q /s /c \"" + body + rest + "\"";
}

int HandOverUninstall(platform::FileSystem& files, platform::Launcher& launcher, const std::string& arguments,
                      const std::function<int(const std::string& recordFolder)>& runHere) {
  const std::string self = files.ModulePath();
  const std::string recordFolder = platform::FolderOf(self);
  const std::string copyFolder = recordFolder.empty() ? std::string() : MakeCopyFolder(files);
  const std::string copy = copyFolder.empty() ? std::string() : copyFolder + "\\" + kProgramName;
  unsigned long code = 0;
  if (!copy.empty() && files.Copy(self, copy, true) &&
      launcher.Start("\"" + copy + "\" " + arguments + " " + kRecordSwitch + "\"" + recordFolder + "\"", &code)) {
    return static_cast<int>(code);
  }
  // No copy to hand over to: the uninstall runs here, and its file goes
  // after it all the same.
  if (!copy.empty()) files.Remove(copy);
  if (!copyFolder.empty()) files.RemoveFolder(copyFolder);
  return runHere(recordFolder);
}

void StartCleanup(platform::FileSystem& files, platform::Launcher& launcher, const std::string& original,
                  const std::string& copy, bool removeOriginal, const std::vector<std::string>& laterFolders) {
  const std::string processor = CommandProcessor(files);
  if (processor.empty()) return;
  const std::string copyFolder = platform::FolderOf(copy);
  if (!removeOriginal) {
    // Something is left to uninstall later: the uninstaller stays, and
    // only the copy goes once it has ended.
    if (!copy.empty()) launcher.Start(CleanupCommand(processor, copy, std::string(), {copyFolder}), nullptr);
    return;
  }
  std::vector<std::string> folders;
  if (!copy.empty()) folders.push_back(copyFolder);
  folders.insert(folders.end(), laterFolders.begin(), laterFolders.end());
  // An elevated install keeps its uninstaller one level below a folder of
  // its own name: that one goes too when it is left empty.
  const std::string parent = platform::FolderOf(platform::FolderOf(original));
  if (!parent.empty() && platform::EqualsNoCase(platform::NameOf(parent), kProgramFolderName)) folders.push_back(parent);
  // The original ends last: waiting for its file covers the copy's.
  launcher.Start(CleanupCommand(processor, original, copy, folders), nullptr);
}
