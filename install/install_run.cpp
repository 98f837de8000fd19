// The install's one sequence; see install_run.h.
#include "install/install_run.h"

#include <algorithm>
#include <string>

#include "deploy/host_process.h"
#include "deploy/package_copy.h"
#include "deploy/package_folder.h"
#include "engine/exit_codes.h"
#include "engine/program_names.h"
#include "install/problems_notice.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/message_text.h"
#include "platform/text.h"
#include "record/install_record.h"

namespace {

// Two spellings of one folder: letter case and trailing backslashes aside
// (the last characters, not bytes: a Chinese name may end in 0x5C).
bool SameFolder(std::string a, std::string b) {
  for (std::string* path : {&a, &b}) {
    for (std::size_t size = 0; size != path->size();) {
      size = path->size();
      platform::StripTrailingBackslash(*path);
    }
  }
  return platform::EqualsNoCase(a, b);
}

const char kCloseAcadText[] = "请关闭AutoCAD后再进行安装 !";
const char kNoFolderText[] = "请先选择或输入安装路径 !";
const char kRelativeFolderText[] =
    "安装路径必须是完整路径 !\n\n请以盘符开头（如 D:\\Tools），或使用网络路径（如 \\\\服务器\\共享\\Tools）。";
const char kNoRightsText[] =
    "SetUp.exe 没有获得管理员权限。\n\n"
    "插件文件、受信任路径和设置文件仍会安装，但以下内容需要管理员权限，将无法安装：\n"
    "  - AutoCAD启动时自动加载插件的注册项（HKEY_LOCAL_MACHINE）\n"
    "  - 放入AutoCAD安装文件夹的字体、PDF库和支持文件\n\n"
    "如需完整安装，请关闭本程序，再次运行SetUp.exe，并在Windows询问时选择“是”。";
const char kNothingFoundText[] = "本机未找到AutoCAD 2007-2027，没有可以安装的版本。";
const char kEditionsText[] = "32位 AutoCAD版用于32位的AutoCAD 2007-2016，64位 AutoCAD版用于64位的AutoCAD。";

// Folder creation takes paths of up to 247 characters (MAX_PATH less room
// for an 8.3 name); the target folder is the field with the sub-folder.
constexpr std::size_t kLongestCreatedFolder = 247;

std::string FolderTooLongText(std::size_t longest, std::size_t length) {
  return "安装路径太长 !\n\n安装路径最多可有 " + std::to_string(longest) + " 个字符（现有 " +
         std::to_string(length) + " 个），否则安装文件无法全部拷贝。请选择较短的安装路径。";
}

// A folder AutoCAD can find again from any working directory: a drive
// letter with ":\\", or a UNC path naming a server and a share. "Velkor",
// "C:Velkor" and "\\Velkor" depend on the current directory.
bool IsAbsoluteFolder(const std::string& folder) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (folder.size() >= 3 && letter(folder[0]) && folder[1] == ':' && folder[2] == '\\') return true;
  if (folder.size() < 5 || folder.compare(0, 2, "\\\\") != 0) return false;
  const std::size_t share = platform::FindChar(folder, '\\', 2);  // after the server's name
  return share != platform::npos && share > 2 && share + 1 < folder.size() && folder[share + 1] != '\\';
}

// Said instead of installing when the program was raised to run as another
// account than the desktop's, and that user's registry or settings folder
// cannot be reached: the trusted paths and the settings file would go to
// the wrong account.
std::string OtherAccountText(const UserChoice& user) {
  const bool known = !user.desktopAccount.empty();
  return "SetUp.exe 正以帐户 " + user.processAccount + " 运行，而当前桌面的帐户是 " +
         (known ? user.desktopAccount : "（无法确定）") + "。\n\n" +
         (known ? "无法打开桌面帐户的注册表或应用程序数据文件夹" : "无法确定当前桌面属于哪个帐户") +
         "，AutoCAD的受信任路径和设置文件无法写给该帐户，因此未安装任何内容。\n\n"
         "请让桌面帐户暂时获得管理员权限，再在该帐户中右键单击SetUp.exe，选择“以管理员身份运行”。";
}

// Said instead of installing when an elevated run cannot have a folder that
// only administrators change: every user's AutoCAD and the machine's
// Programs and Features entry would run what is kept in it.
std::string NoProtectedFolderText(const SetupProblem& problem) {
  return "无法建立仅管理员可更改的文件夹：\n" + platform::SystemText(problem.place) + "（错误 " +
         std::to_string(problem.error) +
         "）\n\n以管理员身份安装时，插件、卸载程序和安装记录只存放在其他用户无法更改的文件夹中，"
         "以免其他用户替换所有用户都将运行的程序。因此未安装任何内容。";
}

std::string NewerInstalledText(int installed) {
  return "本机已安装较新的版本 V" + VersionText(installed) + "，本程序是较旧的版本 V" + VersionText(versionNumber) +
         "。\n\n为免覆盖较新的版本，未安装任何内容。如确需安装旧版本，请以 /FORCE 参数运行SetUp.exe。";
}

// The other edition's modules have this edition's names (VK_VidudOvev2014.ARX
// in both, built for 32 and for 64 bits): one folder cannot hold both.
std::string OtherEditionsFolderText(int bits, const std::string& folder) {
  return "本机的" + std::to_string(bits == 32 ? 64 : 32) + "位 AutoCAD版已安装在此文件夹中：\n" +
         platform::SystemText(folder) + "\n\n两个版本的插件模块同名，不能装在同一文件夹中，否则其中一个版本的AutoCAD将无法加载插件。"
         "请另选一个文件夹。";
}

// Why the install cannot use `folder`; empty when it can.
std::string FolderRefusal(platform::FileSystem& files, const std::string& folder) {
  // An empty field has no last character to look at, and no folder to
  // install into.
  if (folder.empty()) return kNoFolderText;
  if (!IsAbsoluteFolder(folder)) return kRelativeFolderText;
  // Every package file's path in the target folder must fit the steps'
  // buffers of 260 characters, and the folder must be one that can be
  // created: a longer one would raise a box per file, or leave the add-on
  // cut short. Refused before anything is made.
  std::string target = folder;
  if (platform::ReverseFindChar(target, '\\') == target.size() - 1) target.pop_back();
  const std::size_t subFolder = sizeof(kSubFolder) - 1;
  std::size_t longest = kLongestCreatedFolder - subFolder;
  std::string packageFolder;
  if (LocatePackageFolder(files, packageFolder)) {
    const std::size_t name = LongestPackageFileName(files, packageFolder);
    const std::size_t room = platform::kPathBufferSize - 1 - subFolder - 1;  // "\\" before the name
    if (name > 0) longest = std::min(longest, room > name ? room - name : 0);
  }
  if (target.size() > longest) return FolderTooLongText(longest, target.size());
  return std::string();
}

// The face's progress view for as long as the steps run.
class StepsShown {
 public:
  explicit StepsShown(InstallFace& face) : face_(face) { face_.StepsBegin(); }
  ~StepsShown() { face_.StepsEnd(); }
  StepsShown(const StepsShown&) = delete;
  StepsShown& operator=(const StepsShown&) = delete;

 private:
  InstallFace& face_;
};

// The engine's record for as long as the steps write to it.
class RecordInUse {
 public:
  RecordInUse(CAcadSetup& setup, CInstallRecord& record) : setup_(setup) { setup_.record = &record; }
  ~RecordInUse() { setup_.record = nullptr; }
  RecordInUse(const RecordInUse&) = delete;
  RecordInUse& operator=(const RecordInUse&) = delete;

 private:
  CAcadSetup& setup_;
};

void Append(SetupProblems& to, const SetupProblems& more) { to.insert(to.end(), more.begin(), more.end()); }

// The steps of the progress view, into `target` (made already).
void RunSteps(const InstallPlan& plan, const InstallWorld& world, InstallFace& face, const std::string& recordFolder,
              InstallOutcome& outcome) {
  CAcadSetup& setup = world.setup;
  const StepsShown shown(face);
  platform::ProgressStepper& progress = face.Progress();
  const std::string& target = outcome.targetFolder;

  // What the install does is noted as it goes, for a later uninstall: in
  // the target folder, or with administrator rights where only
  // administrators can write, since an administrator will run what is kept
  // there. A record that cannot be written is one problem among the others,
  // never a reason to stop.
  SetupProblems recordProblems;
  CInstallRecord record(world.files);
  record.Open(recordFolder);
  record.NoteInstallFolder(target);
  if (!outcome.madeFolder.empty()) record.NoteMadeFolder(outcome.madeFolder);
  const RecordInUse recordInUse(setup, record);

  CPackageCopy copy(target, progress, world.files, face);
  copy.userPlaces = setup.userPlaces;
  copy.record = &record;
  if (!copy.CopyDataFolder()) {
    // Nothing already copied is undone; the record says what was.
    outcome.stop = copy.packageMissing ? InstallOutcome::PackageMissing : InstallOutcome::CopyAborted;
    outcome.exitCode = copy.packageMissing ? SetupExit::PackageMissing : SetupExit::CopyAborted;
    return;
  }
  // Every other user signed in now gets the settings file too.
  for (const UserPlaces& other : setup.otherUsers) {
    copy.userPlaces = other;
    if (!copy.CopySettingsFile()) {
      outcome.stop = InstallOutcome::CopyAborted;
      outcome.exitCode = SetupExit::CopyAborted;
      return;
    }
  }
  progress.StepIt();
  face.Breathe();
  setup.SetInstallFolder(target);
  const std::array<int, kReleaseCount>& f = plan.selection;
  // What the scan could not read comes first: releases below it may be
  // missing from the list the user chose from.
  outcome.problems = setup.scanProblems;
  // Then the package files left out: the install is not complete without them.
  Append(outcome.problems, copy.skippedFiles);
  Append(outcome.problems, setup.RegisterWithHosts(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10],
                                                   f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19],
                                                   f[20]));
  progress.StepIt();
  face.Breathe();
  Append(outcome.problems, setup.InstallSupportFiles(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9],
                                                     f[10], f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18],
                                                     f[19], f[20]));
  // Last, so that the entry's size counts every package file copied.
  setup.RegisterUninstall(recordFolder, &recordProblems);
  Append(outcome.problems, recordProblems);
  if (world.armPerUser && recordFolder != target) {
    SetupProblems armProblems;
    world.armPerUser(target, &armProblems);
    Append(outcome.problems, armProblems);
  }
  if (record.Failed()) outcome.problems.push_back(record.Problem());
  progress.StepIt();
  face.StepsDone();
  outcome.stop = InstallOutcome::Done;
  outcome.exitCode = outcome.problems.empty() ? SetupExit::Installed : SetupExit::InstalledWithProblems;
}

}  // namespace

InstallOutcome CarryOutInstall(const InstallPlan& plan, const InstallWorld& world, InstallFace& face) {
  InstallOutcome outcome;
  if (plan.checkHost && IsAcadRunning(world.processes) && !face.InstallWhileAcadRuns(kCloseAcadText)) {
    outcome.stop = InstallOutcome::AcadRuns;
    outcome.exitCode = SetupExit::HostRunning;
    return outcome;
  }
  outcome.exitCode = SetupExit::BadCommandLine;  // until the checks pass: nothing done
  const std::string refusal = FolderRefusal(world.files, plan.folder);
  if (!refusal.empty()) {
    face.ShowMessage(refusal, kSetupCaption, platform::kMbOk);
    return outcome;
  }
  const std::string otherEdition = world.setup.OtherEditionFolder();
  if (!otherEdition.empty() && SameFolder(otherEdition, plan.folder)) {
    face.ShowMessage(OtherEditionsFolderText(world.setup.EditionBits(), otherEdition), kSetupCaption, platform::kMbOk);
    return outcome;
  }
  // Before anything is made: whose registry and settings folder the
  // per-user parts go to.
  const UserChoice user = world.setup.ChooseUserPlaces(world.accounts);
  if (user.outcome == UserChoice::Unreachable) {
    face.ShowMessage(OtherAccountText(user), kSetupCaption, platform::kMbOk);
    return outcome;
  }
  // Without the package nothing is made: the folders and a record would be
  // left behind for nothing.
  std::string package;
  if (!LocatePackageFolder(world.files, package) && !FindPackageFolder(world.files, face, package)) {  // it says why
    outcome.stop = InstallOutcome::PackageMissing;
    outcome.exitCode = SetupExit::PackageMissing;
    return outcome;
  }
  // One version per machine: never an older one over a newer, unless asked.
  const InstalledCopy installed = world.setup.FindInstalledCopy();
  if (!plan.allowOlder && installed.version > versionNumber) {
    face.ShowMessage(NewerInstalledText(installed.version), kSetupCaption, platform::kMbOk);
    outcome.stop = InstallOutcome::NewerInstalled;
    outcome.exitCode = SetupExit::NewerInstalled;
    return outcome;
  }
  // The last character, not the last byte: a Chinese folder name may end in
  // a trail byte 0x5C. One backslash only; a second one before it stays.
  std::string folder = plan.folder;
  if (platform::ReverseFindChar(folder, '\\') == folder.size() - 1) folder.pop_back();
  const std::string target = folder + kSubFolder;
  // An elevated run keeps what undoes the install where only administrators
  // write, and the add-on that every user's AutoCAD loads where users may
  // only read: each had with its access list from its making, or nothing
  // is installed.
  const bool elevated = world.accounts.IsElevated();
  SetupProblems notOwned;
  const auto unprotected = [&] {
    if (!notOwned.empty()) face.ShowMessage(NoProtectedFolderText(notOwned.back()), kSetupCaption, platform::kMbOk);
    outcome.stop = InstallOutcome::Unprotected;
    outcome.exitCode = SetupExit::NoProtectedFolder;
    return outcome;
  };
  std::string recordFolder = target;
  if (elevated) {
    recordFolder = world.setup.ChooseRecordFolder(target, true, &notOwned);
    if (recordFolder.empty()) return unprotected();
  }
  if (plan.tellMissingRights) {
    face.ShowMessage(kNoRightsText, kSetupCaption, platform::kMbOk);
    outcome.rightsTold = true;
  }
  // One level each; an existing folder is no error, and a folder that could
  // not be made is met, and reported, by the data copy. The chosen folder,
  // when the install makes it, is noted: an uninstall removes it again once
  // empty.
  if (world.files.MakeFolder(folder)) outcome.madeFolder = folder;
  if (!elevated) {
    world.files.MakeFolder(target);
  } else if (!world.files.MakeOwnedFolder(target, platform::kProgramAccess, nullptr)) {
    notOwned.push_back({SetupProblem::RecordFolder, 0, target, "", world.files.LastError()});
    if (!outcome.madeFolder.empty()) world.files.RemoveFolder(outcome.madeFolder);
    outcome.madeFolder.clear();
    return unprotected();
  }
  outcome.targetFolder = target;

  // Another folder than the installed copy's: the install moves there, and
  // nothing of the earlier one stays (its record's kept originals go back
  // first, and are kept again by this install). Only a copy of this run's
  // own kind: an elevated run moves the machine's install, never one a
  // standard account registered for itself, whose entry that account may
  // write; a standard account cannot move the machine's.
  SetupProblems moved;
  if (world.moveEarlier && installed.found && !installed.folder.empty() && (installed.machineWide || !elevated) &&
      !SameFolder(installed.folder, folder)) {
    const int code = world.moveEarlier(installed.folder);
    if (code != SetupExit::Installed && code != SetupExit::NothingToRemove) {
      moved.push_back({SetupProblem::EarlierInstall, 0, installed.folder, "", 0});
    }
  }

  RunSteps(plan, world, face, recordFolder, outcome);
  if (!moved.empty() && outcome.stop == InstallOutcome::Done) {
    outcome.problems.insert(outcome.problems.begin(), moved.begin(), moved.end());
    outcome.exitCode = SetupExit::InstalledWithProblems;
  }
  if (outcome.stop == InstallOutcome::Done && !outcome.problems.empty()) {
    std::string text = DescribeProblems(outcome.problems);
    if (!world.logPath.empty()) text += "\n\n详细情况见日志文件：" + platform::SystemText(world.logPath);
    face.ShowMessage(text, kSetupCaption, platform::kMbOk);
  }
  return outcome;
}

std::array<int, kReleaseCount> OfferedReleases(const CAcadSetup& setup) {
  std::array<int, kReleaseCount> offered{};
  for (int k = 0; k < kReleaseCount; ++k) {
    offered[static_cast<std::size_t>(k)] =
        !setup.acadFolders[static_cast<std::size_t>(k)].empty() && EditionServes(setup.EditionBits(), kFirstYear + k);
  }
  return offered;
}

std::string NothingToOfferText(CAcadSetup& setup) {
  const std::vector<int> otherYears = setup.ReleasesForOtherEdition();
  if (otherYears.empty()) return kNothingFoundText;
  const int bits = setup.EditionBits();
  std::string years;
  for (const int year : otherYears) years += (years.empty() ? "" : "、") + std::to_string(year);
  char text[512];
  platform::FormatBounded(text, sizeof(text),
                          "本程序（%d位 AutoCAD版）不能为本机的AutoCAD %s安装。\n\n请改用%d位 AutoCAD版的SetUp.exe。\n（%s）",
                          bits, years.c_str(), bits == 32 ? 64 : 32, kEditionsText);
  return text;
}
