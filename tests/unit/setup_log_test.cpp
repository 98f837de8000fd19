// The log of a run against the in-memory machine: the lines of a typical
// run and of one with problems, written through the decorators; the mark
// written once; each text converted from its own code page; and a log that
// cannot be written, which changes nothing else.
#include <gtest/gtest.h>

#include <string>

#include "engine/acad_setup.h"
#include "run/command_line.h"
#include "engine/exit_codes.h"
#include "run/setup_log.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "platform/message_text.h"
#include "platform/reg_file.h"
#include "tests/support/fixtures.h"
#include "tests/support/scripted_owner.h"

namespace {

using platform::MemoryFileSystem;
using testing_support::ScopedCodePage;

// The runs here are elevated: the log is where only administrators write.
const char kLog[] = "C:\\ProgramData\\V-VidudOvev\\V-VidudOvev-setup.log";
const std::string kBom = "\xEF\xBB\xBF";
const std::string kProduct = "SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804";
const std::string kProductPath = "HKEY_LOCAL_MACHINE\\" + kProduct;

RunFacts Facts() {
  RunFacts facts;
  facts.year = 2026, facts.month = 12, facts.day = 9, facts.hour = 8, facts.minute = 5, facts.second = 3;
  facts.windowsMajor = 6, facts.windowsMinor = 1, facts.windowsBuild = 7601;
  facts.servicePack = "Service Pack 1";
  facts.elevated = true;
  facts.account = "PC\\李";
  facts.commandLine = "\"C:\\pkg\\SetUp.exe\" /S /D=D:\\Tools";
  facts.version = 20260801;
  facts.bits = 32;
  return facts;
}

const std::string kHeader = kBom + u8"==== SetUp.exe 20260801, 32-bit edition, 2026-12-09 08:05:03 ====\r\n"
                                   u8"Windows 6.1.7601 Service Pack 1, elevated: yes, account: PC\\李\r\n"
                                   u8"command line: \"C:\\pkg\\SetUp.exe\" /S /D=D:\\Tools\r\n";

// A machine with AutoCAD 2010, a package and a temporary folder, and the
// platform the steps get: each family wrapped by its decorator.
struct Machine {
  Machine() {
    files.SetEnvironment("TEMP", "C:\\Temp\\");
    files.AddFolder("C:\\Temp");
    files.SetEnvironment("ProgramData", "C:\\ProgramData");
    files.AddFolder("C:\\ProgramData");
    files.AddFolder("D:\\");
    files.AddFile("C:\\pkg\\Data\\VK_VidudOvev2010.ARX", "arx");
    EXPECT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + kProductPath + "]\n"));
    setup.releaseKeys[2010 - kFirstYear].push_back(kProduct + "\\");
    setup.acadFolders[2010 - kFirstYear].push_back("C:\\Program Files\\AutoCAD 2010");
    setup.SetInstallFolder("D:\\Tools\\V-VidudOvev");
  }
  // What a small install does through the decorators.
  void Install() {
    loggedFiles.MakeFolder("D:\\Tools");
    loggedFiles.MakeFolder("D:\\Tools\\V-VidudOvev");
    loggedFiles.Copy("C:\\pkg\\Data\\VK_VidudOvev2010.ARX", "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX", false);
    setup.RegisterDemandLoad(2010, &problems);
  }
  std::string Content(const std::string& path) {
    std::string content;
    return files.ReadFile(path, &content) ? content : "<missing>";
  }
  std::string Log() { return Content(kLog); }

  MemoryFileSystem files;
  platform::MemoryRegistry registry;
  testing_support::ScriptedOwner owner;
  CSetupLog log{files};
  CLoggedFileSystem loggedFiles{files, log};
  CLoggedRegistry loggedRegistry{registry, log};
  CLoggedMessageOwner loggedOwner{owner, log};
  CAcadSetup setup{loggedRegistry, loggedFiles, loggedOwner, 32};
  SetupProblems problems;
};

const std::string kEntry = kProductPath + "\\Applications\\VK_VidudOvev2010";
const std::string kDllEntry = kProductPath + "\\Applications\\Velkor2010DLLP";

TEST(SetupLog, ATypicalRunHasTheHeaderThenALinePerAction) {
  ScopedCodePage page(platform::CodePageId::Chinese);
  Machine m;
  ASSERT_TRUE(m.log.Begin("", Facts()));
  EXPECT_EQ(m.log.Path(), kLog);
  int waits = 0;
  m.loggedFiles.SetWaitHook([&waits] { ++waits; });
  m.log.ReleasesFound(m.setup);
  m.Install();
  m.log.ExitCode(SetupExit::Installed);
  EXPECT_TRUE(m.problems.empty());
  EXPECT_TRUE(m.log.Writing());
  EXPECT_EQ(waits, 1) << "the window's hook reaches the copy";
  EXPECT_EQ(m.Log(),
            kHeader +
                u8"release 2010: key " + kProduct + "\\, folder C:\\Program Files\\AutoCAD 2010\r\n"
                u8"make folder D:\\Tools: ok\r\n"
                u8"make folder D:\\Tools\\V-VidudOvev: ok\r\n"
                u8"copy C:\\pkg\\Data\\VK_VidudOvev2010.ARX -> D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX: ok\r\n"
                u8"registry delete key " + kEntry + ": not there\r\n"
                u8"registry create key " + kEntry + ": ok\r\n"
                u8"registry set " + kEntry + ", value LOADCTRLS = REG_DWORD 2: ok\r\n"
                u8"registry set " + kEntry + ", value LOADER = REG_SZ D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX: ok\r\n"
                u8"registry delete key " + kDllEntry + ": not there\r\n"
                u8"registry create key " + kDllEntry + ": ok\r\n"
                u8"registry set " + kDllEntry + ", value LOADCTRLS = REG_DWORD 2: ok\r\n"
                u8"registry set " + kDllEntry + ", value LOADER = REG_SZ C:\\Program Files\\AutoCAD 2010\\ACAD2010P.dll: ok\r\n"
                u8"registry set " + kDllEntry + ", value MANAGED = REG_DWORD 1: ok\r\n"
                u8"exit code 0: installed (uninstall: everything removed)\r\n");
  // The decorators changed nothing on the way.
  std::string loader;
  EXPECT_TRUE(m.registry.GetValue(kEntry, "LOADER", nullptr, &loader));
  EXPECT_EQ(loader.c_str(), std::string("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
  EXPECT_TRUE(m.files.Exists("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
  EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
}

// A copy that fails, a box and its answer, writes the registry refuses, the
// problems and the exit code; the failed call's error is still what the
// caller reads, after the log was written.
TEST(SetupLog, ARunWithProblemsLogsEachFailureWithItsErrorAndEachBox) {
  ScopedCodePage page(platform::CodePageId::Chinese);
  Machine m;
  ASSERT_TRUE(m.log.Begin("", Facts()));
  m.files.AddFile("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX", "loaded");
  m.files.HoldOpen("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
  m.registry.DenyWritesBelow("HKEY_LOCAL_MACHINE");
  m.owner.answers = {platform::kIdIgnore};

  EXPECT_FALSE(m.loggedFiles.MakeFolder("D:\\Tools"));
  EXPECT_EQ(m.loggedFiles.LastError(), platform::FileError::AlreadyExists);
  EXPECT_FALSE(
      m.loggedFiles.Copy("C:\\pkg\\Data\\VK_VidudOvev2010.ARX", "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX", false));
  EXPECT_EQ(m.loggedFiles.LastError(), platform::FileError::SharingViolation);
  EXPECT_EQ(m.loggedOwner.ShowMessage("拷贝文件 " + platform::SystemText("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX") +
                                          " 失败\n\n1、AutoCAD未关闭",
                                      "V-软件安装", platform::kMbAbortRetryIgnore),
            platform::kIdIgnore);
  EXPECT_FALSE(m.loggedFiles.Remove("D:\\Tools\\missing.txt"));
  EXPECT_EQ(m.loggedFiles.LastError(), platform::FileError::FileNotFound);
  // A source without the download mark: no line.
  EXPECT_FALSE(m.loggedFiles.Remove("C:\\pkg\\Data\\VK_VidudOvev2010.ARX:Zone.Identifier"));
  m.setup.RegisterDemandLoad(2010, &m.problems);
  ASSERT_EQ(m.problems.size(), 2u);
  m.log.Problems(m.problems);
  m.log.ExitCode(SetupExit::InstalledWithProblems);

  EXPECT_EQ(m.Log(),
            kHeader +
                u8"make folder D:\\Tools: failed, error 183\r\n"
                u8"copy C:\\pkg\\Data\\VK_VidudOvev2010.ARX -> D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX: "
                u8"failed, error 32\r\n"
                u8"box [V-软件安装] 拷贝文件 D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX 失败 | 1、AutoCAD未关闭: "
                u8"Ignore (Abort/Retry/Ignore)\r\n"
                u8"remove D:\\Tools\\missing.txt: not there\r\n"
                u8"registry delete key " + kEntry + ": not there\r\n"
                u8"registry create key " + kEntry + ": failed, error 5\r\n"
                u8"registry delete key " + kDllEntry + ": not there\r\n"
                u8"registry create key " + kDllEntry + ": failed, error 5\r\n"
                u8"problem: registry write 2010, " + kProductPath + "\\, Applications\\VK_VidudOvev2010, error 5\r\n"
                u8"problem: registry write 2010, " + kProductPath + "\\, Applications\\Velkor2010DLLP, error 5\r\n"
                u8"exit code 4: installed, with problems (see the log)\r\n");
  EXPECT_EQ(m.Content("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"), "loaded");
}

// The mark goes at the start of a new or empty file only; a later run
// appends its header after an empty line. /LOG= names another file.
TEST(SetupLog, TheByteOrderMarkIsWrittenOnceAtTheStart) {
  ScopedCodePage page(platform::CodePageId::Chinese);
  Machine m;
  ASSERT_TRUE(m.log.Begin("", Facts()));
  m.log.Line("first run");
  CSetupLog second(m.files);
  ASSERT_TRUE(second.Begin("", Facts()));
  second.Line("second run");
  const std::string header = kHeader.substr(kBom.size());
  EXPECT_EQ(m.Log(), kHeader + "first run\r\n\r\n" + header + "second run\r\n");

  m.files.AddFile("D:\\logs\\empty.log", "");
  m.files.AddFile("D:\\logs\\old.log", "old\r\n");
  CSetupLog empty(m.files), old(m.files);
  ASSERT_TRUE(empty.Begin("D:\\logs\\empty.log", Facts()));
  ASSERT_TRUE(old.Begin("D:\\logs\\old.log", Facts()));
  EXPECT_EQ(empty.Path(), "D:\\logs\\empty.log");
  EXPECT_EQ(m.Content("D:\\logs\\empty.log"), kHeader);
  EXPECT_EQ(m.Content("D:\\logs\\old.log"), "old\r\n\r\n" + header);
}

// Chinese in the program's words and in paths reads as UTF-8, each part
// converted from its own code page: on a code page 1252 system a path's
// "é" is 1252, the words beside it still 936. Bytes no page carries are
// shown as \xNN rather than dropped.
TEST(SetupLog, EachTextIsWrittenAsUtf8FromItsOwnCodePage) {
  Machine m;
  {
    ScopedCodePage page(platform::CodePageId::Chinese);
    ASSERT_TRUE(m.log.Begin("", Facts()));
    m.log.ReleaseFound(2010, "SOFTWARE\\乗", "C:\\工具");
    m.log.Line("C:\\乗\xFF");  // 0xFF starts no character of 936
  }
  {
    ScopedCodePage page(platform::CodePageId::Western);
    m.log.ProgramLine("文件未复制：" + platform::SystemText("C:\\Caf\xE9"));
  }
  const std::string log = m.Log();
  EXPECT_EQ(log.substr(kHeader.size()), u8"release 2010: key SOFTWARE\\乗, folder C:\\工具\r\n"
                                        u8"C:\\\\x81\\\\xFF\r\n"
                                        u8"文件未复制：C:\\Café\r\n");
}

// A log that cannot be written stops nothing and changes nothing: every
// call goes through as without it, it is tried once and then left alone,
// and the caller still reads each call's own error.
TEST(SetupLog, ALogThatCannotBeWrittenChangesNothingElse) {
  ScopedCodePage page(platform::CodePageId::Chinese);
  using Op = MemoryFileSystem::Op;
  {
    Machine m;
    EXPECT_FALSE(m.log.Begin("Q:\\nowhere\\setup.log", Facts()));
    EXPECT_FALSE(m.log.Writing());
    EXPECT_EQ(m.log.Path(), "Q:\\nowhere\\setup.log");
    m.owner.answers = {platform::kIdRetry};
    m.Install();
    EXPECT_EQ(m.loggedOwner.ShowMessage("text", "caption", platform::kMbAbortRetryIgnore), platform::kIdRetry);
    m.log.ExitCode(SetupExit::Installed);
    EXPECT_TRUE(m.problems.empty());
    EXPECT_TRUE(m.files.Exists("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
    EXPECT_TRUE(m.registry.KeyExists(kDllEntry));
    EXPECT_EQ(m.files.CallCount(Op::AppendBytes), 1u) << "tried once, at the start";
    EXPECT_FALSE(m.files.Exists(kLog));
  }
  {
    // Failing halfway: the header is there, the first failed line ends it.
    Machine m;
    ASSERT_TRUE(m.log.Begin("", Facts()));
    m.files.FailOn(Op::AppendBytes, kLog, platform::FileError::AccessDenied);
    m.files.AddFile("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX", "loaded");
    m.files.HoldOpen("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
    EXPECT_TRUE(m.loggedFiles.MakeFolder("D:\\Other"));
    EXPECT_FALSE(m.log.Writing());
    EXPECT_FALSE(
        m.loggedFiles.Copy("C:\\pkg\\Data\\VK_VidudOvev2010.ARX", "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX", false));
    EXPECT_EQ(m.loggedFiles.LastError(), platform::FileError::SharingViolation) << "the copy's, not the log's";
    m.setup.RegisterDemandLoad(2010, &m.problems);
    EXPECT_TRUE(m.problems.empty());
    EXPECT_TRUE(m.registry.KeyExists(kEntry));
    EXPECT_EQ(m.files.CallCount(Op::AppendBytes), 3u) << "two at the start, one that failed";
    EXPECT_EQ(m.Log(), kHeader);
  }
  {
    // Not elevated, and no TEMP, no TMP: no place for the log, and
    // nothing tried.
    Machine m;
    m.files.SetEnvironment("TEMP", "");
    EXPECT_EQ(DefaultLogPath(m.files), "");
    RunFacts standard = Facts();
    standard.elevated = false;
    EXPECT_FALSE(m.log.Begin("", standard));
    m.Install();
    EXPECT_TRUE(m.registry.KeyExists(kEntry));
    EXPECT_EQ(m.files.CallCount(Op::AppendBytes), 0u);
  }
}

// What a standard user may set up for an elevated run's log: a log of
// their own in the temporary folder, a link in the log's place, a second
// name for it; and a log grown over the years. The elevated run's log is
// where only administrators write, follows no link, and is rotated.
TEST(SetupLog, AnElevatedRunsLogCannotBeRedirected) {
  ScopedCodePage page(platform::CodePageId::Chinese);
  struct Row {
    const char* attack;
    void (*plant)(MemoryFileSystem& files);
    bool begun;
    const char* before;  // the log's content before the run ("" none)
  };
  static const std::string kFull(kLogRotationSize, 'x');
  const Row rows[] = {
      {"a log planted in the temporary folder",
       [](MemoryFileSystem& files) { files.AddFile("C:\\Temp\\V-VidudOvev-setup.log", "planted"); }, true, ""},
      {"a link in the log's place",
       [](MemoryFileSystem& files) {
         files.AddFile(kLog, "target");
         files.SetAccess("C:\\ProgramData\\V-VidudOvev", platform::kRecordAccess);
         files.MarkReparsePoint(kLog);
       },
       false, "target"},
      {"a hard link to the log",
       [](MemoryFileSystem& files) {
         files.AddFile(kLog, "target");
         files.SetAccess("C:\\ProgramData\\V-VidudOvev", platform::kRecordAccess);
         files.SetLinkCount(kLog, 2);
       },
       false, "target"},
      {"a log of a megabyte",
       [](MemoryFileSystem& files) {
         files.AddFile(kLog, kFull);
         files.SetAccess("C:\\ProgramData\\V-VidudOvev", platform::kRecordAccess);
       },
       true, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.attack);
    Machine m;
    row.plant(m.files);
    EXPECT_EQ(m.log.Begin("", Facts()), row.begun);
    EXPECT_EQ(m.files.Access("C:\\ProgramData\\V-VidudOvev"), platform::kRecordAccess);
    if (!row.begun) {
      EXPECT_EQ(m.Log(), row.before) << "nothing written through the link";
      continue;
    }
    EXPECT_EQ(m.Log(), kHeader);
    const bool full = std::string(row.attack) == "a log of a megabyte";
    EXPECT_EQ(m.Content(std::string(kLog) + ".old"), full ? kFull : "<missing>");
    EXPECT_EQ(m.Content("C:\\Temp\\V-VidudOvev-setup.log"), full ? "<missing>" : "planted");
  }
  // Not elevated: the temporary folder, as before.
  Machine m;
  EXPECT_EQ(DefaultLogPath(m.files, false), "C:\\Temp\\V-VidudOvev-setup.log");
  EXPECT_FALSE(m.files.Exists("C:\\ProgramData\\V-VidudOvev"));
}

TEST(SetupLog, ARefusedCommandLineIsLoggedWithTheSwitch) {
  ScopedCodePage page(platform::CodePageId::Chinese);
  Machine m;
  ASSERT_TRUE(m.log.Begin("", Facts()));
  CommandLineError error;
  ASSERT_FALSE(ParseCommandLine("/S /R=2030", nullptr, &error));
  m.log.CommandLineRefused(error);
  m.log.ExitCode(SetupExit::BadCommandLine);
  EXPECT_EQ(m.Log().substr(kHeader.size()),
            u8"command line refused: 命令行参数错误：/R=2030 | 年份必须在 2007 到 2027 之间。 | "
            u8"Bad command line: /R=2030: a year must lie between 2007 and 2027. | "
            u8"SetUp.exe /? 显示用法 / shows the usage.\r\n"
            u8"exit code 6: bad command line; nothing done\r\n");
}

}  // namespace
