// The fault sweep: a whole run of the program (the scan, the dialog, an
// install into every release found, the end) on a realistic in-memory
// machine, repeated once for every platform call the run makes, with that
// one call failing, and for each message box it brings up answered with
// Abort, with Retry (the call then succeeds) and with Ignore.
//
// The uninstall is swept the same way after a clean install: each of its
// calls failing once (UninstallSweep, below).
//
// Every run must end without a crash or an exception, give back every key,
// listing and snapshot, keep every byte of each profile's trusted paths,
// and either have no effect, tell the user (a box), show it in the list of
// releases, or be one of the few failures that are harmless by design
// (kHarmlessByDesign, with the reason). Anything else is a silent failure and fails
// the test. The table of calls by outcome is printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/wizard_app.h"
#include "engine/acad_setup.h"
#include "record/install_record.h"
#include "uninstall/uninstall.h"
#include "platform/memory/headless_dialog.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_processes.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/reg_file.h"
#include "platform/text.h"
#include "tests/support/fault_injection.h"
#include "tests/support/machine_state.h"
#include "ui/dlg_setup.h"

using platform::HeadlessDialog;
using testing_support::FaultPlan;

namespace {

// AutoCAD 2008 (32-bit, below Wow6432Node), 2010 twice (Chinese and
// English), 2014, 2018 (with an entry an older install left behind) and
// 2021; five profiles of the current user, one without the value, one whose
// list already names the folder.
const char kMachine[] = R"reg(REGEDIT4
[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R17.1\ACAD-6001:804]
"AcadLocation"="C:\\Program Files (x86)\\AutoCAD 2008\\"
"ProductName"="AutoCAD 2008 - 简体中文 (Simplified Chinese)"
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:804]
"AcadLocation"="C:\\Program Files\\AutoCAD 2010"
"ProductName"="AutoCAD 2010 - 简体中文 (Simplified Chinese)"
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409]
"AcadLocation"="D:\\CAD\\AutoCAD 2010 English\\"
"ProductName"="AutoCAD 2010"
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R19.1\ACAD-D001:804]
"AcadLocation"="C:\\Program Files\\Autodesk\\AutoCAD 2014\\"
"ProductName"="AutoCAD 2014 - 简体中文 (Simplified Chinese)"
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R22.0\ACAD-1001:804]
"AcadLocation"="C:\\Program Files\\Autodesk\\AutoCAD 2018\\"
"ProductName"="AutoCAD 2018 - 简体中文 (Simplified Chinese)"
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R22.0\ACAD-1001:804\Applications\VK_VidudOvev2018]
"LOADER"="D:\\Old\\VK_VidudOvev2018.ARX"
"Leftover"="1"
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R24.0\ACAD-4101:804]
"AcadLocation"="C:\\Program Files\\Autodesk\\AutoCAD 2021\\"
"ProductName"="AutoCAD 2021 - 简体中文 (Simplified Chinese)"
[HKEY_CURRENT_USER\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:804\Profiles\<<未命名配置>>\Variables]
"TRUSTEDPATHS"="C:\\Program Files\\AutoCAD 2010\\Support\\;D:\\图纸\\LISP"
[HKEY_CURRENT_USER\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:804\Profiles\出图\Variables]
"TRUSTEDPATHS"="E:\\工具\\lisp;e:\\工具\\arx\\..."
[HKEY_CURRENT_USER\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\Profiles\Default\Variables]
"ACADPREFIX"="C:\\Users\\cad\\AppData\\Roaming"
[HKEY_CURRENT_USER\SOFTWARE\Autodesk\AutoCAD\R22.0\ACAD-1001:804\Profiles\<<未命名配置>>\Variables]
"TRUSTEDPATHS"="C:\\Lisp\\01;C:\\Lisp\\02;C:\\Lisp\\03;C:\\Lisp\\04;C:\\Lisp\\05;C:\\Lisp\\06;C:\\Lisp\\07;C:\\Lisp\\08;C:\\Lisp\\09;C:\\Lisp\\10;C:\\Lisp\\11;C:\\Lisp\\12"
[HKEY_CURRENT_USER\SOFTWARE\Autodesk\AutoCAD\R24.0\ACAD-4101:804\Profiles\Plot\Variables]
"TRUSTEDPATHS"="D:\\TOOLS\\V-VIDUDOVEV;C:\\Other"
)reg";

const char kProgram[] = "E:\\Download\\批打印\\SetUp.exe";
const char kPackage[] = "E:\\Download\\批打印\\Data";
const char kChosen[] = "D:\\Tools";
const char kTarget[] = "D:\\Tools\\V-VidudOvev";
const char kAppData[] = "C:\\Users\\cad\\AppData\\Roaming";
const char* const kAcadFolders[] = {
    "C:\\Program Files (x86)\\AutoCAD 2008", "C:\\Program Files\\AutoCAD 2010", "D:\\CAD\\AutoCAD 2010 English",
    "C:\\Program Files\\Autodesk\\AutoCAD 2014", "C:\\Program Files\\Autodesk\\AutoCAD 2018",
    "C:\\Program Files\\Autodesk\\AutoCAD 2021"};

// The package: 21 files, one read-only, two with the download mark.
const char* const kPackageFiles[] = {
    "VK_VidudOvev2008.ARX", "VK_VidudOvev2009.ARX", "VK_VidudOvev2010.ARX", "VK_VidudOvev2010_32.ARX",
    "VK_VidudOvev2013.ARX", "VK_VidudOvev2015.ARX", "VK_VidudOvev2017.ARX", "VK_VidudOvev2018.ARX",
    "VK_VidudOvev2019.ARX", "VK_VidudOvev2021.ARX", "ACAD2007P.dll",        "ACAD2010P.dll",
    "ACAD2013P.dll",        "itextsharp.dll",       "Velkor_EN.shx",        "Velkor_HZ.shx",
    "Velkor.prt5",          "Velkor.Ini",           "批打印说明.txt",       "Plot.cuix",
    "SetUp.exe"};

// The same profiles in the hive of a desktop user the program does not run
// as ("Run as administrator" on a standard account), and the folders the
// shell keeps for that user.
const char kDesktopSid[] = "S-1-5-21-1004336348-1177238915-682003330-1107";
const char kDesktopAppData[] = "C:\\Users\\bob\\AppData\\Roaming";
std::string DesktopHive() {
  std::string text = "REGEDIT4\n", line;
  bool user = false;
  for (const char c : std::string(kMachine)) {
    if (c != '\n') {
      line += c;
      continue;
    }
    if (line.rfind("[", 0) == 0) user = line.rfind("[HKEY_CURRENT_USER\\", 0) == 0;
    if (user) text += line.rfind("[", 0) == 0 ? "[HKEY_USERS\\" + std::string(kDesktopSid) + line.substr(18) + "\n"
                                              : line + "\n";
    line.clear();
  }
  const std::string shell = "[HKEY_USERS\\" + std::string(kDesktopSid) + "\\Software\\Microsoft\\Windows\\"
                            "CurrentVersion\\Explorer\\";
  return text + shell + "User Shell Folders]\n\"AppData\"=hex(2):25,55,53,45,52,50,52,4f,46,49,4c,45,25,5c,41,70,70,"
                        "44,61,74,61,5c,52,6f,61,6d,69,6e,67,00\n" +  // %USERPROFILE%\AppData\Roaming
         shell + "Shell Folders]\n\"AppData\"=" + platform::QuoteRegString(kDesktopAppData) + "\n" +
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + kDesktopSid +
         "]\n\"ProfileImagePath\"=\"C:\\\\Users\\\\bob\"\n";
}

// A machine as the sweep finds it, built afresh for every run; with
// `otherAccount`, the program runs raised as the administrator on the
// desktop of the user of DesktopHive.
struct Machine {
  platform::MemoryRegistry registry;
  platform::MemoryFileSystem files;
  platform::MemoryProcessList processes;
  platform::MemoryShell shell;
  platform::MemoryAccounts accounts;

  explicit Machine(bool otherAccount = false) {
    std::string error;
    if (!platform::ImportRegText(registry, kMachine, &error)) throw std::runtime_error("machine: " + error);
    if (otherAccount) {
      if (!platform::ImportRegText(registry, DesktopHive(), &error)) throw std::runtime_error("hive: " + error);
      accounts.RunAsAdministrator({"S-1-5-21-1004336348-1177238915-682003330-500", "CAD-PC\\Administrator"},
                                  {kDesktopSid, "CAD-PC\\bob"});
      files.AddFolder(kDesktopAppData);
    }
    files.SetModulePath(kProgram);
    files.AddFile(kProgram, "exe");
    for (const char* name : kPackageFiles) files.AddFile(std::string(kPackage) + "\\" + name, name);
    files.AddFile(std::string(kPackage) + "\\VK_VidudOvev2010.ARX", "arx", platform::kAttrReadOnly);
    files.AddStream(std::string(kPackage) + "\\ACAD2010P.dll", "Zone.Identifier", "[ZoneTransfer]");
    files.AddStream(std::string(kPackage) + "\\itextsharp.dll", "Zone.Identifier", "[ZoneTransfer]");
    for (const char* folder : kAcadFolders) files.AddFolder(std::string(folder) + "\\Fonts");
    files.AddFolder(std::string(kAcadFolders[0]) + "\\Drv");
    files.AddFolder(kChosen);
    files.AddFolder(kAppData);
    files.SetEnvironment("APPDATA", kAppData);
    files.AddFolder("C:\\ProgramData");
    files.SetEnvironment("ProgramData", "C:\\ProgramData");
    processes.running = {"System", "explorer.exe", "notepad.exe"};
  }
};

// Everything the run leaves on the machine, as text: keys, values (type and
// bytes), files (attributes and content).
// The record by its items, not its bytes: a journal whose failed append
// the next item made good by writing it whole holds the same items in
// another order.
void CanonicalRecord(platform::MemoryFileSystem& files, const std::string& folder) {
  const std::string path = folder + "\\" + CInstallRecord::kFileName;
  std::string text, canonical;
  if (!files.ReadFile(path, &text)) return;
  CInstallRecord record(files);
  if (record.Parse(text) && record.Serialise(&canonical)) files.AddFile(path, canonical);
}

std::string Dump(Machine& machine) {
  CanonicalRecord(machine.files, kTarget);
  const std::string protectedFolders = "C:\\ProgramData\\V-VidudOvev";
  if (!machine.files.Exists(protectedFolders)) return testing_support::MachineState(machine.registry, machine.files);
  for (const std::string& name : machine.files.Names(protectedFolders)) {
    CanonicalRecord(machine.files, protectedFolders + "\\" + name);
  }
  return testing_support::MachineState(machine.registry, machine.files);
}

// The trusted-path lists as they stand: key path -> value (up to its zero).
std::map<std::string, std::string> TrustedPaths(const platform::MemoryRegistry& registry) {
  std::map<std::string, std::string> lists;
  std::function<void(const std::string&)> walk = [&](const std::string& path) {
    std::string data;
    if (registry.GetValue(path, "TRUSTEDPATHS", nullptr, &data)) lists[path] = data.substr(0, data.find('\0'));
    for (const std::string& sub : registry.SubKeyNames(path)) walk(path + "\\" + sub);
  };
  walk("HKEY_CURRENT_USER\\SOFTWARE\\Autodesk\\AutoCAD");
  walk("HKEY_USERS");
  return lists;
}

struct RunResult {
  std::string exception;
  std::vector<platform::ShownBox> boxes;
  std::vector<int> offered;  // release boxes the user could tick
  bool completed = false;    // the completion view was reached
  std::string state;
  std::string lostTrust;  // a list that lost bytes, and how
  std::size_t keys = 0, finds = 0, snapshots = 0;
  std::size_t installFrom = 0;  // number of the first call the install made
  std::vector<FaultPlan::Call> calls;
};

// One whole run with call `failAt` failing (-1: none); abort-retry-ignore
// boxes are answered with `answer`, every other box with OK. A person who
// retried and met the same box again gives up: later boxes after a Retry
// are answered with Ignore.
RunResult RunOnce(long failAt, int answer, std::size_t limit = 1000000, bool otherAccount = false) {
  RunResult result;
  Machine machine(otherAccount);
  const std::map<std::string, std::string> trustedBefore = TrustedPaths(machine.registry);
  FaultPlan plan;
  plan.failAt = failAt;
  plan.limit = limit;
  testing_support::FaultyRegistry registry(machine.registry, plan);
  testing_support::FaultyFileSystem files(machine.files, plan);
  testing_support::FaultyProcessList processes(machine.processes, plan);
  ForwardingOwner owner;
  std::string lastBrowse;
  bool warnHostRunning = true;
  result.installFrom = static_cast<std::size_t>(-1);
  try {
    // The runner's graphics outlive the dialog, which gives back its brush
    // and fonts when it goes.
    platform::HeadlessDialogRunner runner;
    CAcadSetup setup(registry, files, owner, 64);
    setup.ScanReleases();
    Dlg_Setup dialog(
        SetupContext{setup, files, processes, machine.shell, machine.accounts, lastBrowse, warnHostRunning});
    owner.target = &dialog;
    dialog.UseRunner(runner);
    runner.user = [&](HeadlessDialog& window) {
      bool retried = false;
      window.onBox = [&](const platform::ShownBox& box) {
        int reply = platform::kIdOk;
        if ((box.type & 0xF) == platform::kMbAbortRetryIgnore) {
          reply = retried ? platform::kIdIgnore : answer;
          retried = retried || answer == platform::kIdRetry;
        }
        window.answers.push_front(reply);
      };
      for (const int id : kReleaseBoxIds) {
        if (window.IsVisible(id) && window.IsEnabled(id) && window.GetCheck(id)) result.offered.push_back(id);
      }
      window.TypeText(SetupControl::FolderField, kChosen);
      result.installFrom = plan.calls.size();
      if (window.Click(SetupControl::InstallButton)) {
        result.completed = window.IsVisible(SetupControl::DoneMessage);
        if (!window.Ended()) window.Click(result.completed ? SetupControl::InstallDone : SetupControl::CancelButton);
      }
      if (!window.Ended()) window.PressEscape();
      result.boxes = window.boxes;
    };
    dialog.DoModal();
    owner.target = nullptr;
  } catch (const std::exception& e) {
    result.exception = e.what();
  } catch (...) {
    result.exception = "an exception of unknown type";
  }
  result.calls = plan.calls;
  result.keys = machine.registry.OpenHandleCount();
  result.finds = machine.files.OpenFindCount();
  result.snapshots = machine.processes.OpenSnapshotCount();
  result.state = Dump(machine);
  const std::map<std::string, std::string> trustedAfter = TrustedPaths(machine.registry);
  for (const auto& [path, before] : trustedBefore) {
    const auto after = trustedAfter.find(path);
    const std::string now = after == trustedAfter.end() ? "<gone>" : after->second;
    // Kept as it was, or upper-cased with the folder appended.
    const std::string upper = platform::ToUpper(before);
    if (now != before && now.compare(0, upper.size(), upper) != 0) result.lostTrust = path + ": " + before + " -> " + now;
  }
  return result;
}

}  // namespace

namespace {

// A call's place in the run, in general terms: the machine's folders and
// keys by role, file and key names by kind. Calls that differ only in the
// file or release they concern share a row of the table.
std::string Place(const FaultPlan::Call& call, bool atStart) {
  std::string target = call.target;
  std::string value;
  const std::size_t colon = target.find(" : ");
  if (colon != std::string::npos) {
    value = " : " + target.substr(colon + 3);
    target.erase(colon);
  }
  if (!target.empty() && target.back() == ']') target.erase(target.rfind('[')), value = "[i]";

  if (target.rfind("HKEY_", 0) == 0) {
    std::string general = target.rfind("HKEY_CURRENT_USER", 0) == 0 ? "HKCU"
                          : target.rfind("HKEY_USERS", 0) == 0      ? "HKU"
                                                                    : "HKLM";
    if (target.find("\\CurrentVersion\\Uninstall\\") != std::string::npos) {
      return (atStart ? "start   " : "install ") + call.op + " " + general + "\\..\\Uninstall" + value;
    }
    const std::size_t acad = target.find("\\Autodesk\\AutoCAD");
    if (acad == std::string::npos) return (atStart ? "start   " : "install ") + call.op + " " + general + "\\" + value;
    general += "\\..\\AutoCAD";
    std::string rest = target.substr(acad + 17);
    int position = 0;
    std::string previous;
    while (!rest.empty()) {
      rest.erase(0, 1);
      const std::size_t cut = rest.find('\\');
      const std::string name = rest.substr(0, cut);
      rest = cut == std::string::npos ? std::string() : rest.substr(cut);
      if (name.empty()) continue;  // a key path kept with its trailing backslash
      ++position;
      std::string token = "<key>";
      if (position == 1) token = "<release>";
      else if (position == 2) token = "<product>";
      else if (name == "Applications" || name == "Profiles" || name == "Variables") token = name;
      else if (previous == "Applications") token = "<entry>";
      else if (previous == "Profiles") token = "<profile>";
      general += "\\" + token;
      previous = name;
    }
    return (atStart ? "start   " : "install ") + call.op + " " + general + value;
  }

  auto replace = [&target](const std::string& from, const char* to) {
    for (std::size_t at = target.find(from); at != std::string::npos; at = target.find(from, at)) {
      target.replace(at, from.size(), to);
    }
  };
  replace(kTarget, "<target>");
  replace(kChosen, "<chosen>");
  replace(kPackage, "<package>");
  replace(kProgram, "<program>");
  replace(kAppData, "<appdata>");
  for (const char* folder : kAcadFolders) replace(folder, "<acad>");
  std::string stream;
  const std::size_t streamAt = target.find(":Zone.Identifier");
  if (streamAt != std::string::npos) {
    stream = target.substr(streamAt);
    target.erase(streamAt);
  }
  const std::size_t slash = platform::ReverseFindChar(target, '\\');
  if (slash != platform::npos && slash + 1 < target.size() && target[slash + 1] != '<' &&
      target.substr(slash + 1) != "*.*" && platform::FindChar(target, '.', slash) != platform::npos) {
    target = target.substr(0, slash + 1) + "<file>";
  }
  return (atStart ? "start   " : "install ") + call.op + " " + target + stream;
}

using testing_support::FirstDifference;

enum Outcome { kNoEffect, kTold, kNotOffered, kHarmless, kSilent, kOutcomes };
const char* const kOutcomeNames[kOutcomes] = {"no effect", "told", "not offered", "harmless", "SILENT"};

// Failures that change the result without a word, and why that is right.
struct Harmless {
  const char* place;  // the start of the call's place
  const char* reason;
};
const Harmless kHarmlessByDesign[] = {
    {"install files.GetAttributes <package>\\", "the package's own file stays read-only; its copy is made writable all the same"},
    {"install files.SetAttributes <package>\\", "the package's own file stays read-only; its copy is made writable all the same"},
    {"install files.Remove <package>\\", "the package's own file keeps its download mark; the mark is taken off every copy"},
    {"install registry.CreateKey HKLM\\..\\Uninstall", "the machine's list is closed to a standard account: the "
                                                       "entry goes to the account's own list, and the record says so"},
    {"install registry.OpenKeyRead HKLM\\..\\AutoCAD\\<release>\\<product>\\Applications",
     "an Applications key that cannot be looked at counts as AutoCAD's: the record does not say the install made it, "
     "so the uninstall leaves it, rather than take a key that may not be ours"},
    {"install registry.DeleteKey HKLM", "the entry is not replaced whole: its values are set one by one, and a value an "
                                         "older install left beside them stays, which AutoCAD does not read"},
};

const char* HarmlessReason(const std::string& place) {
  for (const Harmless& harmless : kHarmlessByDesign) {
    if (*harmless.place && place.rfind(harmless.place, 0) == 0) return harmless.reason;
  }
  return nullptr;
}

// What the user was shown: C copy failure, L package listing failed,
// D no package, P problems
// notice, A AutoCAD running, U the desktop's account out of reach, ? anything else.
char BoxKind(const platform::ShownBox& box) {
  if (box.text.find("拷贝文件") != std::string::npos) return 'C';
  if (box.text.find("Data文件夹") != std::string::npos) return 'D';
  if (box.text.find("未能完成") != std::string::npos) return 'P';
  if (box.text.find("请关闭AutoCAD") != std::string::npos) return 'A';
  if (box.text.find("读取安装文件夹") != std::string::npos) return 'L';
  if (box.text.find("而当前桌面的帐户是") != std::string::npos) return 'U';
  return '?';
}

struct Row {
  std::size_t counts[kOutcomes] = {};
  std::set<char> boxes;
  std::set<std::string> answers;
  std::string example;  // the first silent run, for the failure message
};

const char* AnswerName(int answer) {
  return answer == platform::kIdAbort ? "Abort" : answer == platform::kIdRetry ? "Retry" : "Ignore";
}

TEST(FaultSweep, TheSweepMachineInstallsCleanlyWithoutFaults) {
  const RunResult run = RunOnce(-1, platform::kIdAbort);
  EXPECT_EQ(run.exception, "");
  EXPECT_TRUE(run.completed);
  EXPECT_TRUE(run.boxes.empty()) << run.boxes.front().text;
  // 2008, 2010, 2014, 2018 and 2021 are offered and ticked.
  EXPECT_EQ(run.offered, (std::vector<int>{1019, 1027, 1030, 1034, 1037}));
  EXPECT_NE(run.state.find("<target>"), 0u);
  EXPECT_NE(run.state.find(std::string(kTarget) + "\\Plot.cuix"), std::string::npos);
  EXPECT_NE(run.state.find("C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini"), std::string::npos);
  EXPECT_EQ(run.state.find("Leftover"), std::string::npos) << "the old entry is replaced whole";
  EXPECT_EQ(run.lostTrust, "");
  EXPECT_EQ(run.keys + run.finds + run.snapshots, 0u);
  EXPECT_GT(run.calls.size(), 500u);
}

// Every call of a run failing in turn, each outcome counted by the call's
// place; the table is printed.
void SweepEveryCall(bool otherAccount) {
  const RunResult baseline = RunOnce(-1, platform::kIdAbort, 1000000, otherAccount);
  ASSERT_TRUE(baseline.completed && baseline.boxes.empty());
  std::map<std::string, Row> table;
  std::size_t runs = 0;
  for (long failAt = 0; failAt < static_cast<long>(baseline.calls.size()); ++failAt) {
    for (const int answer : {platform::kIdAbort, platform::kIdRetry, platform::kIdIgnore}) {
      const RunResult run = RunOnce(failAt, answer, 10 * baseline.calls.size(), otherAccount);
      ++runs;
      ASSERT_GT(run.calls.size(), static_cast<std::size_t>(failAt));
      const FaultPlan::Call& call = run.calls[failAt];
      const std::string place = Place(call, static_cast<std::size_t>(failAt) < run.installFrom);
      const std::string where = "call " + std::to_string(failAt) + " " + call.op + " " + call.target + ", " +
                                AnswerName(answer);
      EXPECT_EQ(run.exception, "") << where;
      EXPECT_EQ(run.keys, 0u) << where << ": keys left open";
      EXPECT_EQ(run.finds, 0u) << where << ": listings left open";
      EXPECT_EQ(run.snapshots, 0u) << where << ": snapshots left open";
      EXPECT_EQ(run.lostTrust, "") << where;

      Row& row = table[place];
      bool asked = false;
      for (const platform::ShownBox& box : run.boxes) {
        row.boxes.insert(BoxKind(box));
        asked = asked || (box.type & 0xF) == platform::kMbAbortRetryIgnore;
      }
      Outcome outcome;
      if (run.state == baseline.state && run.boxes.empty() && run.offered == baseline.offered) {
        outcome = kNoEffect;
      } else if (!run.boxes.empty()) {
        outcome = kTold;
      } else if (run.offered != baseline.offered) {
        outcome = kNotOffered;
      } else if (HarmlessReason(place)) {
        outcome = kHarmless;
      } else {
        outcome = kSilent;
        if (row.example.empty()) row.example = where + "; " + FirstDifference(baseline.state, run.state);
      }
      ++row.counts[outcome];
      if (asked) row.answers.insert(AnswerName(answer));
      // The answer matters only when something asked.
      if (!asked) break;
    }
  }

  std::printf("\n%-88s %5s %9s %5s %11s %8s %6s  %s\n", "call that failed", "runs", "no effect", "told",
              "not offered", "harmless", "SILENT", "boxes");
  std::size_t silent = 0;
  for (const auto& [place, row] : table) {
    std::size_t total = 0;
    for (const std::size_t count : row.counts) total += count;
    std::string boxes(row.boxes.begin(), row.boxes.end());
    std::printf("%-88s %5zu %9zu %5zu %11zu %8zu %6zu  %s\n", place.c_str(), total, row.counts[kNoEffect],
                row.counts[kTold], row.counts[kNotOffered], row.counts[kHarmless], row.counts[kSilent],
                boxes.c_str());
    silent += row.counts[kSilent];
    EXPECT_EQ(row.counts[kSilent], 0u) << place << ": failed without a word, e.g. " << row.example;
  }
  std::printf("%zu calls, %zu runs, %zu silent\n", baseline.calls.size(), runs, silent);
}

TEST(FaultSweep, EveryCallFailingInTurn) { SweepEveryCall(false); }

// Raised on another account's desktop: the reads that find that user's hive
// and folder fail in turn too.
TEST(FaultSweep, EveryCallFailingInTurnOnAnotherAccountsDesktop) {
  const RunResult clean = RunOnce(-1, platform::kIdAbort, 1000000, true);
  EXPECT_TRUE(clean.completed);
  EXPECT_NE(clean.state.find(std::string(kDesktopAppData) + "\\Velkor\\Velkor.Ini"), std::string::npos);
  EXPECT_EQ(clean.state.find("C:\\Users\\cad\\AppData\\Roaming\\Velkor"), std::string::npos);
  EXPECT_NE(clean.state.find("D:\\TOOLS\\V-VIDUDOVEV;C:\\OTHER"), std::string::npos);
  SweepEveryCall(true);
}

}  // namespace

// ---- The uninstall, each of its calls failing once ----

namespace {

// A whole install without faults, as the sweep's baseline makes it.
void InstallCleanly(Machine& machine) {
  ForwardingOwner owner;
  std::string lastBrowse;
  bool warnHostRunning = true;
  platform::HeadlessDialogRunner runner;
  CAcadSetup setup(machine.registry, machine.files, owner, 64);
  setup.ScanReleases();
  Dlg_Setup dialog(
      SetupContext{setup, machine.files, machine.processes, machine.shell, machine.accounts, lastBrowse, warnHostRunning});
  owner.target = &dialog;
  dialog.UseRunner(runner);
  runner.user = [&](HeadlessDialog& window) {
    window.TypeText(SetupControl::FolderField, kChosen);
    window.Click(SetupControl::InstallButton);
    if (!window.Ended()) window.Click(SetupControl::InstallDone);
  };
  dialog.DoModal();
  owner.target = nullptr;
}

// A machine state as a set of entries: a key, a value with its key, a file
// or folder.
std::set<std::string> Entries(const std::string& state) {
  std::set<std::string> entries;
  std::string key;
  std::size_t start = 0;
  bool inFiles = false;
  while (start < state.size()) {
    const std::size_t end = state.find('\n', start);
    const std::string line = state.substr(start, end - start);
    start = end == std::string::npos ? state.size() : end + 1;
    inFiles = inFiles || (line.size() > 2 && line[1] == ':' && line[2] == '\\');
    if (!inFiles && !line.empty() && line[0] == '[') key = line;
    entries.insert(inFiles || line.empty() || line[0] == '[' ? line : key + " " + line);
  }
  return entries;
}

struct UndoRun {
  std::string exception;
  UninstallResult result;
  std::string installed;     // before the run
  std::string state, rerun;  // after the run, and after a second run without faults
  std::size_t rerunLeft = 0;
  std::size_t keys = 0, finds = 0;
  std::vector<FaultPlan::Call> calls;
};

// Left out of the comparison: the settings file, which stays whatever
// happens, and the package, which the install takes the read-only mark and
// the download marks off.
const std::vector<std::string> kSettingsKept = {std::string(kAppData) + "\\Velkor", kPackage};

// Before the install, AutoCAD 2008's own driver and another add-on's
// itextsharp.dll stand where the install puts its own. The entry an older
// install left is not there: the install replaces it whole, and it cannot
// come back.
std::string Prepare(Machine& machine) {
  const std::string product = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R22.0\\ACAD-1001:804";
  platform::RegKey key = platform::kNoKey;
  if (machine.registry.OpenKey(platform::kLocalMachine, product.substr(19).c_str(), &key) == 0) {
    machine.registry.DeleteKey(key, "Applications\\VK_VidudOvev2018");
    machine.registry.DeleteKey(key, "Applications");
    machine.registry.CloseKey(key);
  }
  EXPECT_FALSE(machine.registry.KeyExists(product + "\\Applications"));
  // Every Windows has the Programs and Features list.
  machine.registry.CreateKey(platform::kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", &key);
  machine.registry.CloseKey(key);
  machine.files.AddFile(std::string(kAcadFolders[0]) + "\\Drv\\pdfplot9.hdi", "the AutoCAD driver");
  machine.files.AddFile(std::string(kAcadFolders[1]) + "\\itextsharp.dll", "another add-on's itextsharp");
  return testing_support::MachineState(machine.registry, machine.files, {"C:", "D:", "E:"}, kSettingsKept);
}

// What the program does once the uninstall has run and it has ended: its
// file goes, then the folders that held only it, when nothing was left.
void AfterProgram(Machine& machine, const UninstallResult& result, const std::string& program) {
  if (!result.left.empty() || !machine.files.Exists(program)) return;
  machine.files.Remove(program);
  for (const std::string& folder : result.foldersAfterProgram) machine.files.RemoveFolder(folder);
}

UndoRun UninstallOnce(long failAt, std::string* before) {
  UndoRun run;
  Machine machine;
  *before = Prepare(machine);
  InstallCleanly(machine);
  run.installed = testing_support::MachineState(machine.registry, machine.files, {"C:", "D:", "E:"}, kSettingsKept);
  FaultPlan plan;
  plan.failAt = failAt;
  testing_support::FaultyRegistry registry(machine.registry, plan);
  testing_support::FaultyFileSystem files(machine.files, plan);
  const std::string program = std::string(kTarget) + "\\Uninstall.exe";
  try {
    run.result = CUninstall(registry, files).Run(kTarget, program);
  } catch (const std::exception& e) {
    run.exception = e.what();
  }
  run.calls = plan.calls;
  AfterProgram(machine, run.result, program);
  run.keys = machine.registry.OpenHandleCount();
  run.finds = machine.files.OpenFindCount();
  run.state = testing_support::MachineState(machine.registry, machine.files, {"C:", "D:", "E:"}, kSettingsKept);
  // What was left goes when the uninstall runs again.
  const UninstallResult again = CUninstall(machine.registry, machine.files).Run(kTarget, program);
  AfterProgram(machine, again, program);
  run.rerunLeft = again.left.size();
  run.rerun = testing_support::MachineState(machine.registry, machine.files, {"C:", "D:", "E:"}, kSettingsKept);
  return run;
}

TEST(UninstallSweep, TheSweepMachineIsLeftAsItWas) {
  std::string before;
  const UndoRun run = UninstallOnce(-1, &before);
  EXPECT_EQ(run.exception, "");
  for (const UninstallLeft& left : run.result.left) ADD_FAILURE() << left.place << " " << left.error;
  EXPECT_EQ(run.state, before) << FirstDifference(before, run.state);
  EXPECT_EQ(run.result.originalsRestored, 2);
  EXPECT_EQ(run.result.settingsFile, std::string(kAppData) + "\\Velkor\\Velkor.Ini");
  EXPECT_GT(run.result.loadersRemoved, 5);
  EXPECT_GT(run.calls.size(), 100u);
}

// Each call failing once: no crash, every key and listing given back,
// nothing that is not ours gone unless told, anything left told, and a
// second run leaves the machine as it was.
TEST(UninstallSweep, EveryCallFailingInTurn) {
  std::string before;
  const UndoRun baseline = UninstallOnce(-1, &before);
  const std::set<std::string> theirs = Entries(before);
  std::size_t told = 0;
  for (long failAt = 0; failAt < static_cast<long>(baseline.calls.size()); ++failAt) {
    const UndoRun run = UninstallOnce(failAt, &before);
    ASSERT_GT(run.calls.size(), static_cast<std::size_t>(failAt));
    const FaultPlan::Call& call = run.calls[failAt];
    const std::string where = "call " + std::to_string(failAt) + " " + call.op + " " + call.target;
    EXPECT_EQ(run.exception, "") << where;
    EXPECT_EQ(run.keys, 0u) << where << ": keys left open";
    EXPECT_EQ(run.finds, 0u) << where << ": listings left open";
    const std::set<std::string> now = Entries(run.state);
    const std::set<std::string> installed = Entries(run.installed);
    for (const std::string& entry : theirs) {
      // What was there before the install and the install left alone.
      if (now.count(entry) || !installed.count(entry)) continue;
      bool explained = false;
      for (const UninstallLeft& left : run.result.left) explained = explained || entry.find(left.place) != std::string::npos;
      EXPECT_TRUE(explained) << where << ": gone without a word: " << entry;
    }
    if (run.state != before) {
      EXPECT_FALSE(run.result.left.empty()) << where << ": left without a word, " << FirstDifference(before, run.state);
      ++told;
    }
    EXPECT_EQ(run.rerunLeft, 0u) << where;
    EXPECT_EQ(run.rerun, before) << where << ": run again, " << FirstDifference(before, run.rerun);
  }
  std::printf("uninstall: %zu calls, %zu left something and told it\n", baseline.calls.size(), told);
}

}  // namespace
