// The uninstaller's hand-over; see uninstall_handoff.h.
#include "uninstall/uninstall_handoff.h"

#include "engine/exit_codes.h"
#include "engine/program_names.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"

namespace {

const char kProgramName[] = "Uninstall.exe";
// Retries (of about two seconds each) the cleanup command keeps room for
// before it names the folders to remove.
constexpr int kReservedRetries = 3;

std::string WithoutTrailingSlash(std::string folder) {
  if (!folder.empty() && platform::ReverseFindChar(folder, '\\') == folder.size() - 1) folder.pop_back();
  return folder;
}

// The system folder, where the command processor and ping are taken
// from, never found by name.
std::string SystemFolder(platform::FileSystem& files) {
  const std::string root = WithoutTrailingSlash(files.Environment("SystemRoot"));
  return root.empty() ? std::string() : root + "\\System32";
}

// A folder of its own under %TEMP%, under a name nobody could have made
// first: under SYSTEM that is C:\Windows\Temp, where every user may add
// files and folders. With `access`, nobody but administrators and SYSTEM
// may write in it, not even the same user's processes without elevation.
std::string MakeCopyFolder(platform::FileSystem& files, const char* access) {
  std::string temp = WithoutTrailingSlash(files.Environment("TEMP"));
  if (temp.empty()) temp = WithoutTrailingSlash(files.Environment("TMP"));
  if (temp.empty()) return std::string();
  std::string folder;
  return files.MakeFreshFolder(temp + kUninstallCopyPrefix, access, &folder) ? folder : std::string();
}

// Copies `self` to `copy` and holds the copy against writers; true when
// what is held is `self` byte for byte, so that what runs is this program
// even where the folder's access list is not kept (FAT, Wine).
bool CopyAndHold(platform::FileSystem& files, const std::string& self, const std::string& copy) {
  std::string original, copied;
  if (!files.ReadBytes(self, &original) || !files.Copy(self, copy, true)) return false;
  if (!files.HoldAgainstWriters(copy)) return false;
  if (files.ReadBytes(copy, &copied) && copied == original) return true;
  files.LetGo(copy);
  return false;
}

}  // namespace

std::size_t ExpandedLength(const std::string& commandLine,
                           const std::vector<std::pair<std::string, std::string>>& environment) {
  std::size_t length = commandLine.size();
  for (std::size_t pos = commandLine.find('%'); pos != std::string::npos;) {
    const std::size_t end = commandLine.find('%', pos + 1);
    if (end == std::string::npos) break;
    const std::string name = commandLine.substr(pos + 1, end - pos - 1);
    bool known = false;
    for (const auto& variable : environment) {
      if (!known && platform::EqualsNoCase(variable.first, name)) {
        length = length - (name.size() + 2) + variable.second.size();
        known = true;
      }
    }
    pos = commandLine.find('%', known ? end + 1 : end);
  }
  return length;
}

CleanupLaunch CleanupCommand(const std::string& systemFolder, const std::string& waitFile,
                             const std::string& thenFile, const std::vector<std::string>& emptyFolders) {
  CleanupLaunch launch;
  launch.places.program = systemFolder + "\\cmd.exe";
  launch.places.folder = systemFolder;
  auto& environment = launch.places.environment;
  environment = {{"VVO_WAIT", waitFile}, {"VVO_PING", systemFolder + "\\ping.exe"}};
  const std::string head = "\"" + launch.places.program + "\" /d /v:off /q /s /c \"";
  // A file that still runs cannot be deleted: tried again after a pause of
  // about two seconds (ping is on every Windows) while it is there. The
  // tries are written out one after the other, each in parentheses: no
  // loop or unbracketed "if" whose extent command processors read
  // differently. /s: only the outer quotes go, the paths keep theirs.
  const std::string del = "(del /f /q \"%VVO_WAIT%\" >nul 2>&1)";
  const std::string pause = "(if exist \"%VVO_WAIT%\" \"%VVO_PING%\" -n 3 127.0.0.1 >nul)";
  const std::string retry = " & " + pause + " & " + del;
  // Lengths as the command processor counts them, each part's once: every
  // part holds whole %NAME% pairs, so the parts' lengths add up.
  const std::size_t headLength = ExpandedLength(head, environment) + 1;  // and the closing quote
  const std::size_t delLength = ExpandedLength(del, environment);
  const std::size_t retryLength = ExpandedLength(retry, environment);
  const auto fits = [&](std::size_t length) { return headLength + length <= kCommandProcessorLimit; };
  // Room is kept for some retries before the rest: the file waited for is
  // the program that has just handed over, which takes a moment to end.
  const std::size_t reserveLength = delLength + kReservedRetries * retryLength;
  std::string rest;
  std::size_t restLength = 0;
  // Adds `more`, which names the variable `name` for `value`, when it fits.
  const auto add = [&](const std::string& name, const std::string& value, const std::string& more) {
    const std::size_t moreLength = ExpandedLength(more, {{name, value}});
    if (!fits(reserveLength + restLength + moreLength)) return false;
    environment.push_back({name, value});
    rest += more;
    restLength += moreLength;
    return true;
  };
  if (!thenFile.empty()) add("VVO_THEN", thenFile, " & (del /f /q \"%VVO_THEN%\" >nul 2>&1)");
  for (std::size_t k = 0; k < emptyFolders.size(); ++k) {
    const std::string name = "VVO_D" + std::to_string(k + 1);
    // In order: a folder below one left out is no use alone.
    if (!add(name, emptyFolders[k], " & (rd \"%" + name + "%\" >nul 2>&1)")) break;
  }
  // As many further tries as fit, ten in all at most (some twenty seconds).
  std::string body = del;
  std::size_t bodyLength = delLength;
  for (int tries = 1; tries < 10 && fits(bodyLength + retryLength + restLength); ++tries) {
    body += retry;
    bodyLength += retryLength;
  }
  launch.commandLine = head + body + rest + "\"";
  return launch;
}

int HandOverUninstall(platform::FileSystem& files, platform::Launcher& launcher, const std::string& arguments,
                      const char* access, const std::function<int(const std::string& recordFolder)>& runHere) {
  const std::string self = files.ModulePath();
  const std::string recordFolder = platform::FolderOf(self);
  const std::string copyFolder = recordFolder.empty() ? std::string() : MakeCopyFolder(files, access);
  const std::string copy = copyFolder.empty() ? std::string() : copyFolder + "\\" + kProgramName;
  if (!copy.empty() && CopyAndHold(files, self, copy)) {
    unsigned long code = 0;
    // Held until the copy has ended: the start reads a file nobody can
    // have changed since it was checked.
    const bool started = launcher.Start(
        "\"" + copy + "\" " + arguments + " " + kRecordSwitch + "\"" + recordFolder + "\"", &code);
    files.LetGo(copy);
    if (started) return static_cast<int>(code);
  }
  // No copy to hand over to: the uninstall runs here, and its file goes
  // after it all the same.
  if (!copy.empty()) files.Remove(copy);
  if (!copyFolder.empty()) files.RemoveFolder(copyFolder);
  return runHere(recordFolder);
}

void StartCleanup(platform::FileSystem& files, platform::Launcher& launcher, const std::string& original,
                  const std::string& copy, bool removeOriginal, const std::vector<std::string>& laterFolders) {
  const std::string system = SystemFolder(files);
  if (system.empty()) return;
  const auto start = [&](const CleanupLaunch& launch) { launcher.StartIn(launch.commandLine, launch.places, nullptr); };
  const std::string copyFolder = platform::FolderOf(copy);
  if (!removeOriginal) {
    // Something is left to uninstall later: the uninstaller stays, and
    // only the copy goes once it has ended.
    if (!copy.empty()) start(CleanupCommand(system, copy, std::string(), {copyFolder}));
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
  start(CleanupCommand(system, original, copy, folders));
}
