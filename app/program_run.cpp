// The program's run from its command line; see program_run.h.
#include "app/program_run.h"

#include "peruser/per_user_setup.h"
#include "uninstall/uninstall_handoff.h"
#include "uninstall/uninstall_run.h"
#include "deploy/package_folder.h"
#include "run/command_line.h"
#include "engine/exit_codes.h"
#include "engine/program_names.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ui/dlg_setup.h"
#include "ui/framework.h"
#include "run/elevation.h"
#include "run/silent_run.h"
#include "platform/accounts.h"
#include "platform/processes.h"

namespace {

const char kUninstallerName[] = "\\Uninstall.exe";
// The lock every install and uninstall holds while it runs.
const char kRunLockName[] = "V-VidudOvev-setup";
const char kAnotherRunText[] =
    "另一个SetUp.exe或Uninstall.exe正在运行（可能由其他用户或部署工具启动）。\n\n请等它结束后再运行本程序。";

// Whether a refused command line still asked for silence: then no box
// tells of it either.
bool AsksForSilence(const std::string& arguments) {
  std::size_t start = 0;
  while (start <= arguments.size()) {
    std::size_t end = arguments.find_first_of(" \t", start);
    if (end == std::string::npos) end = arguments.size();
    std::string word = arguments.substr(start, end - start);
    if (word.size() == 2 && word[0] == '/' && (word[1] == 'S' || word[1] == 's')) return true;
    start = end + 1;
  }
  return false;
}

std::string WithUsage(const std::string& text) { return text + "\r\n\r\n" + UsageText(); }

// The run's local time as an Active Setup Version: "yyyy,mmdd,hhmm,ss".
std::string VersionStamp(const RunFacts& facts) {
  return std::to_string(facts.year) + "," + std::to_string(facts.month * 100 + facts.day) + "," +
         std::to_string(facts.hour * 100 + facts.minute) + "," + std::to_string(facts.second);
}

// After the uninstall of the machine's install (its record kept where only
// administrators write): every account that got the per-user parts at a
// sign-in loses them at its next one.
void DisarmPerUser(const ProgramWorld& world, const std::string& recordFolder, int code) {
  platform::FileSystem& files = world.wizard.files;
  const std::string records = CommonAppData(files) + kSubFolder + "\\";
  if (code != SetupExit::Installed && code != SetupExit::RemovedWithItemsLeft) return;
  if (CommonAppData(files).empty() || !platform::EqualsNoCase(recordFolder.substr(0, records.size()), records)) return;
  SetupProblems problems;
  PerUserFacts facts;
  facts.remove = true;
  ArmPerUserSetup(world.registry, files, world.wizard.setup.EditionBits(), facts, std::string(),
                  VersionStamp(world.facts), &problems);
  world.log.Problems(problems);
}

// Lists in the hives of users signed out, which the machine's undo cannot
// reach, go to each user's next sign-in (the stub an elevated install armed).
CUninstall::HandOver SignInHandOver(platform::FileSystem& files, int bits) {
  return [&files, bits](const CInstallRecord::TrustedItem& item, const std::string& folder) {
    return HandOverToSignIn(files, bits, item, folder);
  };
}

int Uninstall(const ProgramWorld& world, const SetupOptions& options, const std::string& arguments) {
  platform::FileSystem& files = world.wizard.files;
  const UninstallWorld uninstallWorld{world.registry, files, world.wizard.processes, world.boxes};
  std::vector<std::string> later;
  const std::string logPath = world.log.Writing() ? world.log.Path() : std::string();
  const bool machine = world.wizard.accounts.IsElevated() || platform::RunsAsSystem(world.wizard.accounts);
  const CUninstall::HandOver handOver = SignInHandOver(files, world.wizard.setup.EditionBits());
  if (!options.recordFolder.empty()) {
    // The hand-over's copy: the uninstaller the caller started is spared,
    // and goes once it has ended.
    const std::string original = options.recordFolder + kUninstallerName;
    const int code = RunUninstall(
        uninstallWorld,
        UninstallRequest{options.silent, options.force, options.recordFolder, original, logPath,
                         machine ? handOver : nullptr},
        &later);
    if (machine) DisarmPerUser(world, options.recordFolder, code);
    StartCleanup(files, world.launcher, original, files.ModulePath(), code == SetupExit::Installed, later);
    return code;
  }
  // An elevated run's copy lies where only administrators may write.
  platform::Accounts& accounts = world.wizard.accounts;
  const char* access = accounts.IsElevated() || platform::RunsAsSystem(accounts) ? platform::kRecordAccess : nullptr;
  return HandOverUninstall(files, world.launcher, arguments, access, [&](const std::string& recordFolder) {
    const std::string self = files.ModulePath();
    const int code =
        RunUninstall(uninstallWorld,
                     UninstallRequest{options.silent, options.force, recordFolder, self, logPath,
                                      access ? handOver : nullptr},
                     &later);
    if (access) DisarmPerUser(world, recordFolder, code);
    StartCleanup(files, world.launcher, self, std::string(), code == SetupExit::Installed, later);
    return code;
  });
}


// What asking for rights at start came to.
struct RightsAsked {
  bool asked = false;
  bool started = false;   // the elevated run ran; `code` is its exit code
  unsigned long code = 0;
  long error = 0;         // why it could not start (kErrorCancelled: declined)
};

RightsAsked AskForRights(const ProgramWorld& world, const SetupOptions& options, const std::string& arguments) {
  RightsAsked rights;
  platform::Accounts& accounts = world.wizard.accounts;
  if (!WantsElevation(options, accounts.Elevation(), accounts.IsElevated(), platform::RunsAsSystem(accounts))) return rights;
  rights.asked = true;
  // The same program with the same switches, as typed.
  const std::string self = world.wizard.files.ModulePath();
  if (self.empty()) {
    rights.error = platform::FileError::NoUnicodeTranslation;
  } else if (world.launcher.StartElevated(self, arguments, &rights.code)) {
    rights.started = true;
  } else {
    rights.error = world.launcher.LastError();
  }
  return rights;
}

// False when another install or uninstall holds the machine's lock. The
// uninstaller's %TEMP% copy runs under its starter's lock. Elevated, a lock
// that no administrator made is passed over (logged): any user may make
// one, to keep the install from ever running.
bool TakeRunLock(const ProgramWorld& world, const SetupOptions& options) {
  if (!world.instances || !options.recordFolder.empty()) return true;
  const bool elevated = world.wizard.accounts.IsElevated();
  switch (world.instances->TryHold(kRunLockName, elevated)) {
    case platform::InstanceLock::Held:
      return true;
    case platform::InstanceLock::HeldByAnother:
      return false;
    case platform::InstanceLock::Unavailable:
      world.log.ProgramLine("无法确认是否有另一个SetUp.exe正在运行（其锁不属于管理员，或无法创建）：继续。");
      return true;
  }
  return true;
}

void SayExitCode(const ProgramWorld& world, int code) {
  // The result, for the one who typed the command.
  std::string said = "exit code " + std::to_string(code);
  for (const SetupExit::Meaning& meaning : SetupExit::kMeanings) {
    if (meaning.code == code) said += std::string("：") + meaning.chinese + " / " + meaning.english;
  }
  world.console("SetUp.exe " + said + "\r\n");
}

int Install(const ProgramWorld& world, const SetupOptions& options, bool rightsDeclined) {
  const auto listFound = [&] { world.log.ReleasesFound(world.wizard.setup); };
  const WizardWorld& w = world.wizard;
  const std::string logPath = world.log.Writing() ? world.log.Path() : std::string();
  // The earlier install, undone as its own quiet uninstall would: AutoCAD
  // has been asked about by the install already.
  const bool machine = w.accounts.IsElevated() || platform::RunsAsSystem(w.accounts);
  const MoveEarlierInstall moveEarlier = [&](const std::string& folder) {
    return UndoEarlierInstall(UninstallWorld{world.registry, w.files, w.processes, world.boxes}, w.setup, machine,
                              folder, machine ? SignInHandOver(w.files, w.setup.EditionBits()) : nullptr);
  };
  // Elevated: the accounts not signed in now get the per-user parts at
  // their next sign-in, the settings file from the package.
  const ArmPerUser armPerUser = [&](const std::string& installFolder, SetupProblems* problems) {
    std::string package;
    const bool found = LocatePackageFolder(w.files, package);
    PerUserFacts facts;
    facts.installFolder = installFolder;
    ArmPerUserSetup(world.registry, w.files, w.setup.EditionBits(), facts,
                    found ? package + "\\Velkor.Ini" : std::string(), VersionStamp(world.facts), problems);
  };
  if (!options.silent) {
    return RunWizard(WizardWorld{w.setup, w.files, w.processes, w.shell, w.accounts, w.dialogs, w.lastBrowseFolder,
                                 w.warnHostRunning, logPath, rightsDeclined, options.force, moveEarlier, armPerUser},
                     listFound);
  }
  SilentRequest request;
  request.folderGiven = options.folderGiven;
  request.folder = options.folder;
  request.allReleases = options.allReleases;
  request.years = options.years;
  request.force = options.force;
  SilentInstall silent(request, world.pause, [&](const std::string& text, const std::string& caption, unsigned type,
                                                 int answer) { world.log.MessageShown(text, caption, type, answer); });
  const int code = RunSilent(WizardWorld{w.setup, w.files, w.processes, w.shell, w.accounts, w.dialogs,
                                         w.lastBrowseFolder, w.warnHostRunning, logPath, false, options.force,
                                         moveEarlier, armPerUser},
                             silent, listFound);
  for (const int year : silent.missingYears) {
    world.log.ProgramLine("/R 所列的AutoCAD " + std::to_string(year) + " 在本机未找到，或不属本版本：未安装任何内容。");
  }
  return code;
}

}  // namespace

int RunProgram(const ProgramWorld& world, const std::string& commandLine) {
  const std::string arguments = SkipProgramName(commandLine);
  SetupOptions options;
  CommandLineError error;
  const bool parsed = ParseCommandLine(arguments, &options, &error);
  // Rights first: when an elevated run starts, it does the work, and keeps
  // the log; this one only passes its exit code on.
  const RightsAsked rights = parsed ? AskForRights(world, options, arguments) : RightsAsked();
  if (rights.started) {
    const int code = static_cast<int>(rights.code);
    SayExitCode(world, code);
    return code;
  }
  world.log.Begin(parsed ? options.logPath : std::string(), world.facts);
  const bool declined = rights.asked && rights.error == platform::kErrorCancelled;
  if (rights.asked) {
    world.log.ProgramLine(declined ? "管理员权限：用户在UAC提示中选择了“否”，以当前权限继续。"
                                   : "管理员权限：无法以管理员身份重新启动（错误 " + std::to_string(rights.error) +
                                         "），以当前权限继续。");
  }
  AfxSetBoxObserver([&](const std::string& text, const std::string& caption, unsigned type, int answer) {
    world.log.MessageShown(text, caption, type, answer);
  });

  int code = SetupExit::Installed;
  if (!parsed) {
    world.log.CommandLineRefused(error);
    const std::string text = WithUsage(DescribeCommandLineError(error));
    if (!world.console(text) && !AsksForSilence(arguments)) {
      world.boxes.ShowMessage(text, kSetupCaption, platform::kMbOk);
    }
    code = SetupExit::BadCommandLine;
  } else if (options.help) {
    const std::string text = UsageText();
    if (!world.console(text) && !options.silent) world.boxes.ShowMessage(text, kSetupCaption, platform::kMbOk);
  } else if (options.perUser) {
    // At sign-in, for this account alone: no lock to wait on, no box.
    SetupProblems problems;
    code = RunPerUser(PerUserWorld{world.registry, world.wizard.files, world.wizard.accounts, world.wizard.setup},
                      &problems);
    world.log.Problems(problems);
  } else if (!TakeRunLock(world, options)) {
    world.log.ProgramLine("另一个SetUp.exe或Uninstall.exe正在运行：未做任何操作。");
    if (!options.silent) world.boxes.ShowMessage(kAnotherRunText, kSetupCaption, platform::kMbOk);
    code = SetupExit::AnotherRun;
  } else if (declined && options.silent) {
    // Nobody to ask again, and a half install helps nobody: nothing done.
    code = SetupExit::RightsDeclined;
  } else if (options.uninstall) {
    code = Uninstall(world, options, arguments);
  } else {
    code = Install(world, options, rights.asked);
  }
  world.log.ExitCode(code);
  AfxSetBoxObserver(nullptr);
  if (!options.help) SayExitCode(world, code);
  return code;
}
