// The Active Setup component, its stub folder, and the sign-in run; see
// per_user_setup.h.
#include "peruser/per_user_setup.h"

#include <vector>

#include "engine/acad_setup.h"
#include "engine/exit_codes.h"
#include "engine/program_names.h"
#include "platform/accounts.h"
#include "platform/file_marks.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "record/install_record.h"
#include "uninstall/uninstall.h"

namespace {

const char kFactsHeader[] = "VidudOvev per-user 1";
const char kStubProgram[] = "\\Uninstall.exe";
const char kComponentName[] = "批打印软件（用户设置）";
const char kSettingsFile[] = "Velkor.Ini";

// Up to four numbers of a Version; unreadable ones count 0.
std::vector<unsigned long> VersionNumbers(const std::string& text) {
  std::vector<unsigned long> numbers(4, 0);
  std::size_t part = 0;
  for (const char c : text) {
    if (c == ',') {
      if (++part == numbers.size()) break;
    } else if (c >= '0' && c <= '9' && numbers[part] < 100000000UL) {
      numbers[part] = numbers[part] * 10 + static_cast<unsigned long>(c - '0');
    }
  }
  return numbers;
}

std::string JoinVersion(const std::vector<unsigned long>& numbers) {
  std::string text;
  for (std::size_t i = 0; i < numbers.size(); ++i) text += (i ? "," : "") + std::to_string(numbers[i]);
  return text;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = platform::ReverseFindChar(path, '\\');
  return slash == platform::npos ? std::string() : path.substr(0, slash);
}

long SetText(platform::Registry& registry, platform::RegKey key, const char* name, unsigned long type,
             const std::string& value) {
  return registry.SetValue(key, name, type, reinterpret_cast<const unsigned char*>(value.c_str()),
                           static_cast<unsigned long>(value.size() + 1));
}

// Whether the account has a profile for every product key of a release
// this edition serves: AutoCAD makes them at the account's first start.
bool EveryReleaseHasProfile(platform::Registry& registry, CAcadSetup& setup) {
  for (int k = 0; k < kReleaseCount; ++k) {
    if (!EditionServes(setup.EditionBits(), kFirstYear + k)) continue;
    for (std::string product : setup.releaseKeys[static_cast<std::size_t>(k)]) {
      // The account's keys have no 32-bit view of their own.
      const std::string wow = "SOFTWARE\\Wow6432Node\\";
      if (platform::EqualsNoCase(product.substr(0, wow.size()), wow)) product = "SOFTWARE\\" + product.substr(wow.size());
      platform::ScopedRegKey profiles(registry);
      unsigned long count = 0;
      if (registry.OpenKeyRead(platform::kCurrentUser, (product + "\\Profiles").c_str(), profiles.Receive()) !=
              platform::RegResult::Success ||
          registry.QuerySubKeyCount(profiles.Get(), &count) != platform::RegResult::Success || count == 0) {
        return false;
      }
    }
  }
  return true;
}

// Puts the run into the account's RunOnce, or takes it out.
void RunAgainAtNextSignIn(platform::Registry& registry, int bits, const std::string& program, bool again) {
  platform::ScopedRegKey runOnce(registry);
  const std::string id = PerUserComponentId(bits);
  if (!again) {
    if (registry.OpenKey(platform::kCurrentUser, kRunOnceKey, runOnce.Receive()) == platform::RegResult::Success)
      registry.DeleteValue(runOnce.Get(), id.c_str());
    return;
  }
  if (registry.CreateKey(platform::kCurrentUser, kRunOnceKey, runOnce.Receive()) == platform::RegResult::Success)
    SetText(registry, runOnce.Get(), id.c_str(), platform::RegType::String, "\"" + program + "\" /peruser");
}

// The SID a profile's key names below HKEY_USERS; empty for another root
// or anything but the letters of a SID (it goes into an access list).
std::string ProfileSid(const std::string& profile) {
  const std::string users = "HKEY_USERS\\";
  if (!platform::EqualsNoCase(profile.substr(0, users.size()), users)) return std::string();
  const std::size_t end = profile.find('\\', users.size());
  const std::string sid = profile.substr(users.size(), end == std::string::npos ? std::string::npos : end - users.size());
  if (sid.size() < 3 || sid.compare(0, 2, "S-") != 0) return std::string();
  for (const char c : sid.substr(2)) {
    if (!(c >= '0' && c <= '9') && c != '-') return std::string();
  }
  return sid;
}

// Undoes the account's record in `folder`, whose lists lose `installFolder`;
// what it cannot undo is a problem.
void UndoRecord(platform::Registry& registry, platform::FileSystem& files, const std::string& folder,
                const std::string& installFolder, SetupProblems* found) {
  CUninstall undo(registry, files);
  undo.TakeListsOf(installFolder);
  for (const UninstallLeft& left : undo.Run(folder, std::string()).left) {
    found->push_back({SetupProblem::RegistryWrite, 0, left.place, left.item, left.error});
  }
}

// The same from a copy in `scratch` (its own folder, which the undo
// removes): the original may lie where the account cannot delete it.
void UndoCopy(platform::Registry& registry, platform::FileSystem& files, const std::string& bytes,
              const std::string& installFolder, const std::string& scratch, SetupProblems* found) {
  files.MakeFolder(scratch);
  if (!files.WriteBytes(scratch + "\\" + CInstallRecord::kFileName, bytes)) {
    found->push_back({SetupProblem::RecordWrite, 0, scratch, "", files.LastError()});
    return;
  }
  UndoRecord(registry, files, scratch, installFolder, found);
}

}  // namespace

bool HandOverToSignIn(platform::FileSystem& files, int bits, const CInstallRecord::TrustedItem& item,
                      const std::string& installFolder) {
  const std::string stub = PerUserStubFolder(files, bits);
  const std::string sid = ProfileSid(item.profile);
  if (stub.empty() || sid.empty() || installFolder.empty() ||
      files.GetAttributes(stub + "\\" + kPerUserFacts) == platform::kInvalidAttributes) {
    return false;
  }
  // Administrators and SYSTEM as everywhere here, and that user, to read.
  const std::string access = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;" + sid + ")";
  const std::string folder = stub + "\\" + sid;
  if (!files.MakeOwnedFolder(FolderOf(stub), platform::kRecordAccess, nullptr) ||
      !files.MakeOwnedFolder(stub, platform::kProgramAccess, nullptr) ||
      !files.MakeOwnedFolder(folder, access.c_str(), nullptr)) {
    return false;
  }
  {
    CInstallRecord earlier(files);
    earlier.Open(folder);
    if (earlier.Failed() || !platform::EqualsNoCase(earlier.installFolder, installFolder)) {
      files.Remove(folder + "\\" + CInstallRecord::kFileName);
    }
  }
  CInstallRecord record(files);
  record.Open(folder);
  record.NoteInstallFolder(installFolder);
  record.NoteTrustedPath(item);
  return !record.Failed();
}

std::string PerUserComponentId(int bits) { return std::string(kProgramFolderName) + "-" + std::to_string(bits); }

std::string PerUserStubFolder(platform::FileSystem& files, int bits) {
  const std::string common = CommonAppData(files);
  return common.empty() ? std::string() : common + kSubFolder + "\\PerUser-" + std::to_string(bits);
}

std::string PerUserRecordFolder(platform::FileSystem& files, int bits) {
  const std::string appData = files.Environment("APPDATA");
  return appData.empty() ? std::string() : appData + "\\" + PerUserComponentId(bits);
}

std::string RaisedVersion(const std::string& previous, const std::string& stamp) {
  const std::vector<unsigned long> before = VersionNumbers(previous);
  std::vector<unsigned long> next = VersionNumbers(stamp);
  if (next > before) return JoinVersion(next);
  next = before;
  ++next[3];
  return JoinVersion(next);
}

bool ParsePerUserFacts(const std::string& bytes, PerUserFacts* facts) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) return false;  // every line ends
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  if (lines.size() != 3 || lines[0] != kFactsHeader || (lines[1] != "apply" && lines[1] != "remove")) return false;
  if (!platform::IsPlainFullPath(lines[2])) return false;
  facts->remove = lines[1] == "remove";
  facts->installFolder = lines[2];
  return true;
}

std::string SerialisePerUserFacts(const PerUserFacts& facts) {
  return std::string(kFactsHeader) + "\r\n" + (facts.remove ? "remove" : "apply") + "\r\n" + facts.installFolder +
         "\r\n";
}

void ArmPerUserSetup(platform::Registry& registry, platform::FileSystem& files, int bits, const PerUserFacts& facts,
                     const std::string& settingsFile, const std::string& stamp, SetupProblems* problems) {
  const auto fail = [&](SetupProblem::Kind kind, const std::string& place, const std::string& item, long error) {
    if (problems) problems->push_back({kind, 0, place, item, error});
  };
  const std::string folder = PerUserStubFolder(files, bits);
  if (folder.empty()) return fail(SetupProblem::RecordFolder, "%ProgramData%", "", platform::FileError::EnvVarNotFound);
  const std::string factsPath = folder + "\\" + kPerUserFacts;
  const std::string program = folder + kStubProgram;
  const std::string records = FolderOf(folder);
  PerUserFacts armed = facts;
  if (facts.remove) {
    // Only a stub an install armed, in folders that are still ours (one
    // that is not is moved aside, facts and all): its folder is the one to
    // take out.
    std::string bytes;
    PerUserFacts earlier;
    if (files.GetAttributes(factsPath) == platform::kInvalidAttributes ||
        !files.MakeOwnedFolder(records, platform::kRecordAccess, nullptr) ||
        !files.MakeOwnedFolder(folder, platform::kProgramAccess, nullptr) || !files.ReadBytes(factsPath, &bytes) ||
        !ParsePerUserFacts(bytes, &earlier)) {
      return;
    }
    armed.installFolder = earlier.installFolder;
  } else {
    if (!files.MakeOwnedFolder(records, platform::kRecordAccess, nullptr) ||
        !files.MakeOwnedFolder(folder, platform::kProgramAccess, nullptr)) {
      return fail(SetupProblem::RecordFolder, folder, "", files.LastError());
    }
    const std::string self = files.ModulePath();
    if (!platform::EqualsNoCase(self, program)) {
      if (self.empty() || !files.Copy(self, program, false)) return fail(SetupProblem::FileCopy, program, self, files.LastError());
      DeleteZoneIdentifier(files, program);
    }
    const std::string settings = folder + "\\" + kSettingsFile;
    if (!settingsFile.empty() && files.GetAttributes(settingsFile) != platform::kInvalidAttributes) {
      if (!files.Copy(settingsFile, settings, false)) return fail(SetupProblem::FileCopy, settings, settingsFile, files.LastError());
    } else {
      files.Remove(settings);  // a package without one: none from an earlier install
    }
  }
  if (!files.WriteBytes(factsPath, SerialisePerUserFacts(armed))) {
    return fail(SetupProblem::FileCopy, factsPath, "", files.LastError());
  }

  const std::string keyPath = std::string(kActiveSetupComponents) + "\\" + PerUserComponentId(bits);
  const std::string place = "HKEY_LOCAL_MACHINE\\" + keyPath;
  platform::ScopedRegKey key(registry);
  long status = registry.CreateKey(platform::kLocalMachine, keyPath.c_str(), key.Receive());
  if (status != platform::RegResult::Success) return fail(SetupProblem::RegistryWrite, place, "", status);
  std::vector<unsigned char> previous(64, 0);
  unsigned long size = static_cast<unsigned long>(previous.size() - 1);
  unsigned long type = 0;
  std::string before;
  if (registry.QueryValue(key.Get(), "Version", &type, previous.data(), &size) == platform::RegResult::Success &&
      type == platform::RegType::String) {
    before = reinterpret_cast<const char*>(previous.data());
  }
  const char* failed = "";
  status = registry.SetTextValue(key.Get(), "", kComponentName);
  if (status == platform::RegResult::Success) {
    failed = "StubPath";
    status = SetText(registry, key.Get(), "StubPath", platform::RegType::ExpandString, "\"" + program + "\" /peruser");
  }
  if (status == platform::RegResult::Success) {
    failed = "IsInstalled";
    const unsigned char one[4] = {1, 0, 0, 0};
    status = registry.SetValue(key.Get(), "IsInstalled", platform::RegType::Dword, one, 4);
  }
  // Last: a Version raised over an unfinished component would not run again.
  if (status == platform::RegResult::Success) {
    failed = "Version";
    status = SetText(registry, key.Get(), "Version", platform::RegType::String, RaisedVersion(before, stamp));
  }
  if (status != platform::RegResult::Success) fail(SetupProblem::RegistryWrite, place, failed, status);
}

int RunPerUser(const PerUserWorld& world, SetupProblems* problems) {
  platform::FileSystem& files = world.files;
  const int bits = world.setup.EditionBits();
  const std::string program = files.ModulePath();
  std::string bytes;
  PerUserFacts facts;
  // Only the machine's stub, whose facts the administrators wrote: a copy
  // elsewhere (a shared folder, with facts beside it that anyone wrote)
  // serves nobody, whoever starts it.
  const std::string stubFolder = PerUserStubFolder(files, bits);
  if (program.empty() || stubFolder.empty() || !platform::EqualsNoCase(FolderOf(program), stubFolder) ||
      !files.ReadBytes(FolderOf(program) + "\\" + kPerUserFacts, &bytes) ||
      !ParsePerUserFacts(bytes, &facts)) {
    return SetupExit::NothingToRemove;
  }
  // SYSTEM's hive and profile are no CAD user's.
  const std::string recordFolder = PerUserRecordFolder(files, bits);
  if (platform::RunsAsSystem(world.accounts) || recordFolder.empty()) return SetupExit::Installed;

  SetupProblems found;
  const std::string recordPath = recordFolder + "\\" + CInstallRecord::kFileName;
  if (files.GetAttributes(recordPath) != platform::kInvalidAttributes) {
    CInstallRecord earlier(files);
    earlier.Open(recordFolder);
    if (facts.remove || earlier.Failed() ||
        !platform::EqualsNoCase(earlier.installFolder, facts.installFolder)) {
      UndoRecord(world.registry, files, recordFolder, earlier.installFolder, &found);
    }
  }
  // What the machine's uninstall could not reach while the account was
  // signed out: put back now, unless the stub serves that folder again.
  platform::Account self;
  const bool known = world.accounts.ProcessUser(&self) && !self.sid.empty();
  const std::string handed = PerUserStubFolder(files, bits) + "\\" + self.sid;
  std::string handedBytes;
  if (known && files.ReadBytes(handed + "\\" + CInstallRecord::kFileName, &handedBytes)) {
    CInstallRecord note(files);
    note.Open(handed);
    if (!note.Failed() && (facts.remove || !platform::EqualsNoCase(note.installFolder, facts.installFolder))) {
      UndoCopy(world.registry, files, handedBytes, note.installFolder, recordFolder + "-handed", &found);
    }
  }
  if (!facts.remove) {
    CAcadSetup& setup = world.setup;
    files.MakeFolder(recordFolder);
    CInstallRecord record(files);
    record.Open(recordFolder);
    record.NoteInstallFolder(facts.installFolder);
    // The account's own places, whatever its rights: an administrator's
    // sign-in serves that administrator alone.
    setup.userPlaces = UserPlaces();
    setup.otherUsers.clear();
    if (known) setup.userPlaces.sid = self.sid;
    setup.SetInstallFolder(facts.installFolder);
    setup.leaveListsNamingFolder = true;
    setup.record = &record;
    setup.AddTrustedPaths(&found);
    setup.record = nullptr;
    if (record.Failed()) found.push_back(record.Problem());

    // The account's settings are its own: one there stays.
    const std::string source = FolderOf(program) + "\\" + kSettingsFile;
    const std::string appData = files.Environment("APPDATA");
    const std::string target = appData + "\\Velkor\\" + kSettingsFile;
    if (files.GetAttributes(source) != platform::kInvalidAttributes &&
        files.GetAttributes(target) == platform::kInvalidAttributes) {
      files.MakeFolder(appData + "\\Velkor");
      if (!files.Copy(source, target, true)) found.push_back({SetupProblem::FileCopy, 0, target, source, files.LastError()});
    }
    setup.ScanReleases();
    RunAgainAtNextSignIn(world.registry, bits, program, !EveryReleaseHasProfile(world.registry, setup));
  } else {
    RunAgainAtNextSignIn(world.registry, bits, program, false);
  }
  if (problems) *problems = found;
  return found.empty() ? SetupExit::Installed : SetupExit::InstalledWithProblems;
}
