// The fault sweep: a whole run of the program (the scan, the dialog, an
// install into every release found, the end) on a realistic in-memory
// machine, repeated once for every platform call the run makes, with that
// one call failing, and for each message box it brings up answered with
// Abort, with Retry (the call then succeeds) and with Ignore.
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
#include "platform/memory/headless_dialog.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_processes.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/reg_file.h"
#include "platform/text.h"
#include "tests/support/fault_injection.h"
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
void DumpKeys(const platform::MemoryRegistry& registry, const std::string& path, std::string* out) {
  *out += "[" + path + "]\n";
  for (const std::string& name : registry.ValueNames(path)) {
    unsigned long type = 0;
    std::string data;
    registry.GetValue(path, name, &type, &data);
    *out += name + "(" + std::to_string(type) + ")=" + data + "\n";
  }
  for (const std::string& sub : registry.SubKeyNames(path)) DumpKeys(registry, path + "\\" + sub, out);
}

void DumpFiles(platform::MemoryFileSystem& files, const std::string& folder, std::string* out) {
  for (const std::string& name : files.Names(folder)) {
    const std::string path = folder + "\\" + name;
    const unsigned long attributes = files.GetAttributes(path);
    std::string content;
    if (files.ReadFile(path, &content)) {
      const bool marked = files.HasStream(path, "Zone.Identifier");
      *out += path + " " + std::to_string(attributes) + (marked ? " marked " : " ") + content + "\n";
    } else {
      *out += path + "\\\n";
      DumpFiles(files, path, out);
    }
  }
}

std::string Dump(Machine& machine) {
  std::string out;
  DumpKeys(machine.registry, "HKEY_LOCAL_MACHINE", &out);
  DumpKeys(machine.registry, "HKEY_CURRENT_USER", &out);
  DumpKeys(machine.registry, "HKEY_USERS", &out);
  for (const char* drive : {"C:", "D:", "E:"}) DumpFiles(machine.files, drive, &out);
  return out;
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

// The first line in which two dumps differ, for a failure message.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t line = expected.rfind('\n', at);
  const std::size_t from = line == std::string::npos ? 0 : line + 1;
  return "expected \"" + expected.substr(from, expected.find('\n', at) - from) + "\", found \"" +
         actual.substr(from, actual.find('\n', at) - from) + "\"";
}

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
