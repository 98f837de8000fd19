// File deployment against the real system under Wine: the process list with
// a stand-in acad.exe running, and the data copy and the support files
// against real files, one held open by another process.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include <direct.h>

#include "deploy/host_process.h"
#include "deploy/package_copy.h"
#include "engine/acad_setup.h"
#include "platform/files.h"
#include "platform/memory/memory_registry.h"
#include "platform/accounts.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "tests/support/real_files.h"
#include "tests/support/scripted_owner.h"
#include "uninstall/uninstall_handoff.h"

using namespace platform;
using testing_support::AcadStandIn;
using testing_support::RealSandbox;

namespace {

// The system's files, with the program placed in a scratch folder and
// APPDATA pointing there too, so that the package and the settings folder
// are the test's own.
class RelocatedProgram : public FileSystem {
 public:
  RelocatedProgram(std::string program, std::string appData)
      : program_(std::move(program)), appData_(std::move(appData)) {}
  std::string ModulePath() override { return program_; }
  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
    return real_.FindFirst(pattern, entry);
  }
  bool FindNext(FindHandle find, FindEntry* entry) override { return real_.FindNext(find, entry); }
  void FindEnd(FindHandle find) override { real_.FindEnd(find); }
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override {
    return real_.Copy(from, to, failIfExists);
  }
  unsigned long GetAttributes(const std::string& path) override { return real_.GetAttributes(path); }
  bool SetAttributes(const std::string& path, unsigned long attributes) override {
    return real_.SetAttributes(path, attributes);
  }
  bool Remove(const std::string& path) override { return real_.Remove(path); }
  CheckedRemove RemoveIfOurs(const std::string& path,
                             const std::function<bool(const std::string&)>& ours) override {
    return real_.RemoveIfOurs(path, ours);
  }
  bool MakeFolder(const std::string& path) override { return real_.MakeFolder(path); }
  bool RemoveFolder(const std::string& path) override { return real_.RemoveFolder(path); }
  bool MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) override {
    return real_.MakeOwnedFolder(path, access, movedAside);
  }
  bool MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) override {
    return real_.MakeFreshFolder(prefix, access, made);
  }
  bool HoldAgainstWriters(const std::string& path) override { return real_.HoldAgainstWriters(path); }
  void LetGo(const std::string& path) override { real_.LetGo(path); }
  bool ReadBytes(const std::string& path, std::string* bytes) override { return real_.ReadBytes(path, bytes); }
  bool WriteBytes(const std::string& path, const std::string& bytes) override {
    return real_.WriteBytes(path, bytes);
  }
  bool AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) override {
    return real_.AppendBytes(path, bytes, sizeBefore);
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override { return real_.MoveReplacing(from, to); }
  std::string Environment(const std::string& name) override {
    return EqualsNoCase(name, "APPDATA") ? appData_ : real_.Environment(name);
  }
  long LastError() override { return real_.LastError(); }

 private:
  FileSystem& real_ = SystemFileSystem();
  std::string program_;
  std::string appData_;
};


std::vector<std::string> RunningNames() {
  std::vector<std::string> names;
  ProcessList& processes = SystemProcessList();
  const ScopedSnapshot snapshot(processes, processes.TakeSnapshot());
  std::string name;
  if (!snapshot.Valid() || !processes.FirstProcess(snapshot.Get(), &name)) return names;
  do names.push_back(name);
  while (processes.NextProcess(snapshot.Get(), &name));
  return names;
}

// The snapshot may lag a freshly started process by a moment.
bool BecomesRunning(bool expected) {
  for (int wait = 0; wait < 100; ++wait) {
    if (IsAcadRunning(SystemProcessList()) == expected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TEST(ProcessesWine, ListGivesBareExecutableNames) {
  const std::vector<std::string> names = RunningNames();
  ASSERT_FALSE(names.empty());
  EXPECT_NE(std::find(names.begin(), names.end(), "wine_tests.exe"), names.end());
  for (const std::string& name : names) EXPECT_EQ(FindChar(name, '\\'), npos) << name;
}

// The elevated start hands the switches over as they are (a quoted folder
// with spaces) and gives back the program's exit code; Wine starts it
// without a prompt. A token that reads as filtered is never elevated.
TEST(ProcessesWine, TheElevatedStartPassesItsArgumentsAndTheExitCodeThrough) {
  RealSandbox sandbox("elevated start");
  const std::string spaced = sandbox.Path() + "\\a b";
  ASSERT_TRUE(SystemFileSystem().MakeFolder(spaced));
  std::string cmd = SystemFileSystem().Environment("ComSpec");
  ASSERT_FALSE(cmd.empty());
  unsigned long code = 0;
  ASSERT_TRUE(SystemLauncher().StartElevated(cmd, "/d /c if exist \"" + spaced + "\" (exit 5) else exit 6", &code))
      << "error " << SystemLauncher().LastError();
  EXPECT_EQ(code, 5u) << "the quoted folder did not reach the program whole";
  ASSERT_TRUE(SystemLauncher().StartElevated(cmd, "/d /c exit 4242", &code));
  EXPECT_EQ(code, 4242u);
  EXPECT_FALSE(SystemLauncher().StartElevated(sandbox.Path() + "\\missing.exe", "", &code));
  EXPECT_NE(SystemLauncher().LastError(), 0);

  const ElevationType type = SystemAccounts().Elevation();
  if (type == ElevationType::Limited) {
    EXPECT_FALSE(SystemAccounts().IsElevated());
  } else if (type == ElevationType::Full) {
    EXPECT_TRUE(SystemAccounts().IsElevated());
  }
}

// The command that ends an uninstall, run by the real command processor
// from a caller whose working folder holds a ping.bat, on paths with
// "%NAME%", "!NAME!" and "&" in them: it waits for the held file with the
// system's ping, then removes exactly the named files and folders; the
// folders those names would expand to keep what they hold.
TEST(ProcessesWine, TheCleanupCommandTakesPathsAsTheyAreAndTheSystemsPing) {
  RealSandbox sandbox("cleanup command");
  FileSystem& files = SystemFileSystem();
  const std::string root = sandbox.Path();
  testing_support::SetRealEnvironment("VVO_TRAP", "Trap");
  const std::string first = root + "\\a%VVO_TRAP%b", second = root + "\\c!VVO_TRAP!d & e";
  const std::string firstTrap = root + "\\aTrapb", secondTrap = root + "\\cTrapd & e";
  for (const std::string& folder : {first, second, firstTrap, secondTrap, root + "\\work"}) {
    ASSERT_TRUE(files.MakeFolder(folder)) << folder;
  }
  for (const std::string& folder : {first, firstTrap}) ASSERT_TRUE(testing_support::WriteRealFile(folder + "\\Uninstall.exe", "u"));
  for (const std::string& folder : {second, secondTrap}) ASSERT_TRUE(testing_support::WriteRealFile(folder + "\\copy.exe", "c"));
  const std::string pinged = root + "\\pinged.txt";
  ASSERT_TRUE(testing_support::WriteRealFile(root + "\\work\\ping.bat", "@echo planted>\"" + pinged + "\"\r\n"));
  char caller[1024] = {};
  ASSERT_NE(_getcwd(caller, sizeof(caller)), nullptr);
  ASSERT_EQ(_chdir((root + "\\work").c_str()), 0);

  const std::string system = files.Environment("SystemRoot") + "\\System32";
  const CleanupLaunch launch =
      CleanupCommand(system, second + "\\copy.exe", first + "\\Uninstall.exe", {second, first});
  {
    // The file waited for is held for a moment, as a program that has not
    // yet ended holds its own: the command pauses with ping meanwhile.
    AcadStandIn holder(second + "\\copy.exe");
    ASSERT_TRUE(holder.Running());
    ASSERT_TRUE(SystemLauncher().StartIn(launch.commandLine, launch.places, nullptr)) << SystemLauncher().LastError();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  }
  bool done = false;
  for (int wait = 0; wait < 300 && !done; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = files.GetAttributes(second) == kInvalidAttributes;
  }
  _chdir(caller);
  EXPECT_TRUE(done) << "the command did not remove " << second;
  std::string content;
  EXPECT_TRUE(testing_support::ReadRealFile(secondTrap + "\\copy.exe", &content)) << "!VVO_TRAP! was expanded";
  EXPECT_FALSE(testing_support::ReadRealFile(pinged, &content)) << "the caller's ping.bat ran";
  // Windows' command processor puts a variable's value in once; Wine's
  // (8.0) expands the value again, so there "%VVO_TRAP%" inside it names
  // the other folder, whatever the command says.
  if (!testing_support::RunningUnderWine()) {
    EXPECT_EQ(files.GetAttributes(first), kInvalidAttributes) << "the waited-for file and its folder stay";
    EXPECT_TRUE(testing_support::ReadRealFile(firstTrap + "\\Uninstall.exe", &content)) << "%VVO_TRAP% was expanded";
  }
}

TEST(ProcessesWine, AcadIsRunningWhileTheStandInRuns) {
  ASSERT_TRUE(BecomesRunning(false)) << "an acad.exe was already running";
  AcadStandIn standIn;
  ASSERT_TRUE(standIn.Running());
  EXPECT_TRUE(BecomesRunning(true));
  standIn.Stop();
  EXPECT_TRUE(BecomesRunning(false));
}

class DeployWine : public ::testing::Test {
 protected:
  DeployWine()
      : sandbox("deploy-wine"),
        root(sandbox.Path()),
        package(root + "\\Data"),
        files(root + "\\SetUp.exe", root + "\\AppData") {
    SystemFileSystem().MakeFolder(package);
    SystemFileSystem().MakeFolder(root + "\\AppData");
    Write(root + "\\SetUp.exe", "MZ");
  }
  void Write(const std::string& path, const std::string& content) {
    ASSERT_TRUE(testing_support::WriteRealFile(path, content)) << path;
  }
  std::string Content(const std::string& path) {
    std::string content;
    return testing_support::ReadRealFile(path, &content) ? content : "<missing>";
  }
  bool ReadOnly(const std::string& path) { return files.GetAttributes(path) & kAttrReadOnly; }

  RealSandbox sandbox;
  const std::string root;
  const std::string package;
  RelocatedProgram files;
  testing_support::ScriptedOwner owner;
  testing_support::CountingProgress progress;
};

TEST_F(DeployWine, DataCopyIntoAChineseFolderWaitsForAHeldFile) {
  Write(package + "\\a.dll", "A");
  Write(package + "\\b.arx", "B");
  Write(package + "\\README", "r");
  Write(package + "\\velkor.ini", "[settings]");
  Write(package + "\\SetUp.exe", "MZ");
  SystemFileSystem().MakeFolder(package + "\\x.y");
  files.SetAttributes(package + "\\b.arx", kAttrReadOnly | kAttrArchive);

  // "乗" is 0x81 0x5C: the folder must not be taken to end in a backslash.
  const std::string target = root + "\\Tools\\乗";
  SystemFileSystem().MakeFolder(root + "\\Tools");
  SystemFileSystem().MakeFolder(target);
  Write(target + "\\b.arx", "loaded");
  AcadStandIn standIn(target + "\\b.arx");
  ASSERT_TRUE(standIn.Running());
  owner.answers = {kIdRetry};
  owner.onShow = [&standIn] { standIn.Stop(); };

  CPackageCopy copy(target + "\\", progress, files, owner);
  EXPECT_TRUE(copy.CopyDataFolder());
  ASSERT_EQ(owner.shown.size(), 1u);
  EXPECT_NE(owner.shown[0].text.find(target + "\\b.arx"), std::string::npos);
  EXPECT_EQ(Content(target + "\\a.dll"), "A");
  EXPECT_EQ(Content(target + "\\b.arx"), "B");
  EXPECT_EQ(Content(target + "\\README"), "<missing>");
  EXPECT_EQ(Content(target + "\\SetUp.exe"), "<missing>");
  EXPECT_EQ(Content(root + "\\AppData\\Velkor\\velkor.ini"), "[settings]");
  EXPECT_FALSE(ReadOnly(package + "\\b.arx"));
  EXPECT_FALSE(ReadOnly(target + "\\b.arx"));
}

TEST_F(DeployWine, SupportFileFailuresAreReportedWithTheSystemsError) {
  Write(package + "\\Velkor_EN.shx", "EN");
  Write(package + "\\Velkor_HZ.shx", "HZ");
  Write(package + "\\itextsharp.dll", "pdf");
  Write(package + "\\ACAD2010P.dll", "2010");
  // An AutoCAD folder without Fonts, its DLL loaded by a running AutoCAD.
  const std::string acad = root + "\\AutoCAD 2010";
  SystemFileSystem().MakeFolder(acad);
  Write(acad + "\\ACAD2010P.dll", "loaded");
  AcadStandIn standIn(acad + "\\ACAD2010P.dll");
  ASSERT_TRUE(standIn.Running());

  MemoryRegistry registry;
  CAcadSetup setup(registry, files, owner);
  SetupProblems problems;
  setup.CopySupportFiles(acad, false, &problems);
  standIn.Stop();

  EXPECT_EQ(Content(acad + "\\itextsharp.dll"), "pdf");
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].place, acad + "\\Fonts\\Velkor_EN.shx");
  EXPECT_EQ(problems[0].error, FileError::PathNotFound);
  EXPECT_EQ(problems[1].error, FileError::PathNotFound);
  EXPECT_EQ(problems[2].place, acad + "\\ACAD2010P.dll");
  EXPECT_EQ(problems[2].item, package + "\\ACAD2010P.dll");
  EXPECT_EQ(problems[2].error, FileError::SharingViolation);
  EXPECT_EQ(Content(acad + "\\ACAD2010P.dll"), "loaded");
}

}  // namespace
