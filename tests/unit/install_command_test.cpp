// The install command and the folder browser, headless, on an in-memory
// machine: the running-AutoCAD warning, the folder field's forms, the order
// of the steps and of the progress bar's messages, the completion view and
// its shrink, a failed data copy, refused folder fields, the problems
// notice, and browsing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/wizard_app.h"
#include "deploy/package_folder.h"
#include "engine/acad_setup.h"
#include "engine/program_names.h"
#include "record/install_record.h"
#include "uninstall/uninstall.h"
#include "platform/memory/headless_dialog.h"
#include "platform/message_text.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_processes.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/reg_file.h"
#include "ui/dlg_setup.h"
#include "install/problems_notice.h"
#include "run/silent_run.h"
#include "uninstall/uninstall_handoff.h"
#include "uninstall/uninstall_run.h"
#include "app/program_run.h"
#include "run/setup_log.h"
#include "tests/support/scripted_owner.h"
#include "uninstall/uninstall_notice.h"
#include "tests/support/fixtures.h"
#include "tests/support/machine_state.h"

using platform::HeadlessDialog;
using platform::MemoryShell;

namespace {

const char kProgram[] = "E:\\Download\\Plot\\SetUp.exe";
const char kData[] = "E:\\Download\\Plot\\Data";
const char kAcad2010[] = "C:\\Program Files\\AutoCAD 2010";
const char kProduct2010[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804";
const char kProfile[] =
    "HKEY_CURRENT_USER\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles\\<<未命名配置>>\\Variables";

// A machine with AutoCAD 2010 (its folders exist), one profile, and the
// package beside the program; the dialog runs headless on it.
class InstallTest : public ::testing::Test {
 protected:
  InstallTest() {
    std::string error;
    const std::string reg = std::string("REGEDIT4\n[") + kProduct2010 +
                            "]\n\"AcadLocation\"=\"C:\\\\Program Files\\\\AutoCAD 2010\\\\\"\n"
                            "\"ProductName\"=\"AutoCAD 2010\"\n[" + kProfile + "]\n\"TRUSTEDPATHS\"=\"\"\n";
    EXPECT_TRUE(platform::ImportRegText(registry, reg, &error)) << error;
    files.SetModulePath(kProgram);
    files.AddFile(kProgram, "exe");
    for (const char* name : {"VK_VidudOvev2010.ARX", "ACAD2010P.dll", "Velkor_EN.shx", "Velkor.Ini"}) {
      files.AddFile(std::string(kData) + "\\" + name, name);
    }
    files.AddFolder(std::string(kAcad2010) + "\\Fonts");
    files.AddFolder("D:\\");
    files.SetEnvironment("APPDATA", "C:\\Users\\cad\\AppData\\Roaming");
    files.AddFolder("C:\\Users\\cad\\AppData\\Roaming");
    files.SetEnvironment("ProgramData", "C:\\ProgramData");
    files.AddFolder("C:\\ProgramData");
  }

  int Run(const std::function<void(Dlg_Setup&, HeadlessDialog&)>& user, int bits = 32) {
    setup = std::make_unique<CAcadSetup>(registry, files, owner, bits);
    setup->ScanReleases();
    setup->LeaveOtherEditionsReleases();
    SetupContext context{*setup, files, processes, shell, accounts, lastBrowse, warnHostRunning};
    // As the program provides it: another folder moves the install.
    context.moveEarlier = [this](const std::string& folder) {
      return UndoEarlierInstall(UninstallWorld{registry, files, processes, owner}, *setup, accounts.IsElevated(),
                                folder);
    };
    dialog = std::make_unique<Dlg_Setup>(context);
    owner.target = dialog.get();
    dialog->UseRunner(runner);
    runner.user = [&](HeadlessDialog& window) {
      window_ = &window;
      user(*dialog, window);
    };
    const int result = dialog->DoModal();
    owner.target = nullptr;
    return result;
  }

  // Types `folder` into the field and presses install.
  static void Install(HeadlessDialog& window, const std::string& folder) {
    window.TypeText(SetupControl::FolderField, folder);
    ASSERT_TRUE(window.Click(SetupControl::InstallButton));
  }

  // A string value as the program reads it: up to its first zero.
  std::string Text(const std::string& key, const std::string& name) {
    std::string data;
    if (!registry.GetValue(key, name, nullptr, &data)) return "<missing>";
    return data.substr(0, data.find('\0'));
  }
  std::string Loader(const std::string& entry) {
    return Text(std::string(kProduct2010) + "\\Applications\\" + entry, "LOADER");
  }

  platform::MemoryRegistry registry;
  platform::MemoryFileSystem files;
  platform::MemoryProcessList processes;
  MemoryShell shell;
  platform::MemoryAccounts accounts;
  ForwardingOwner owner;  // the engine's boxes go to the dialog, as in the program
  std::string lastBrowse;
  bool warnHostRunning = true;
  platform::HeadlessDialogRunner runner;
  std::unique_ptr<CAcadSetup> setup;
  std::unique_ptr<Dlg_Setup> dialog;
  HeadlessDialog* window_ = nullptr;
};

// Copies that take their time (a slow share): the window repaints as they
// run, and no key, click or close box reaches the dialog until the
// completion view; Cancel is grey from the copy on.
TEST_F(InstallTest, WhileTheInstallRunsTheWindowRepaintsAndTakesNoInput) {
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    int copies = 0;
    files.onCopy = [&](const std::string&) {
      ++copies;
      EXPECT_FALSE(window.IsEnabled(0));
      EXPECT_FALSE(window.IsEnabled(SetupControl::CancelButton));
      window.PressEscape();
      window.PressCloseBox();
      window.PressEnter(SetupControl::InstallButton);
      EXPECT_FALSE(window.Click(SetupControl::CancelButton));
    };
    const int paintsBefore = window.pumps;
    Install(window, "D:\\Tools");
    files.onCopy = nullptr;
    EXPECT_GT(copies, 3);
    EXPECT_EQ(window.droppedInput, 4 * copies);
    EXPECT_GE(window.pumps - paintsBefore, copies) << "a repaint at least once per copy";
    EXPECT_FALSE(window.Ended());
    EXPECT_TRUE(window.IsEnabled(0)) << "input comes back with the completion view";
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage));
    EXPECT_EQ(dlg.exitCode, SetupExit::Installed);
  });
}

// A hidden file in the target folder, as a desktop.ini of the package
// leaves it after the first install, does not block the next one.
TEST_F(InstallTest, HiddenAndSystemDestinationsAreReplacedOnReinstall) {
  files.AddFile(std::string(kData) + "\\desktop.ini", "[new]", platform::kAttrHidden | platform::kAttrSystem);
  files.AddFolder("D:\\Tools\\V-VidudOvev");
  const std::string installed = "D:\\Tools\\V-VidudOvev\\desktop.ini";
  files.AddFile(installed, "[old]", platform::kAttrHidden | platform::kAttrSystem | platform::kAttrReadOnly);
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(dlg.exitCode, SetupExit::Installed);
  });
  std::string content;
  EXPECT_TRUE(files.ReadFile(installed, &content));
  EXPECT_EQ(content, "[new]");
}

TEST_F(InstallTest, TypicalRunInstallsAndShowsTheCompletionView) {
  const int result = Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    const platform::Rect before = window.WindowRect(0);
    Install(window, "D:\\Tools");
    EXPECT_TRUE(window.boxes.empty()) << "nothing failed, nothing to tell";
    EXPECT_TRUE(files.Exists("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
    EXPECT_TRUE(files.Exists("C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini"));
    EXPECT_TRUE(files.Exists(std::string(kAcad2010) + "\\Fonts\\Velkor_EN.shx"));
    EXPECT_TRUE(files.Exists(std::string(kAcad2010) + "\\ACAD2010P.dll"));
    EXPECT_EQ(Loader("VK_VidudOvev2010"), "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
    EXPECT_EQ(Loader("Velkor2010DLLP"), std::string(kAcad2010) + "\\ACAD2010P.dll");
    EXPECT_EQ(setup->installFolder, "D:\\Tools\\V-VidudOvev");

    // The completion view: the message, the picture and button 1 only.
    const int shown[] = {SetupControl::DoneMessage, SetupControl::MenuPicture, SetupControl::InstallDone,
                         SetupControl::TitleLabel, SetupControl::EditionLabel};
    for (const int id : shown) EXPECT_TRUE(window.IsVisible(id)) << id;
    const int hidden[] = {SetupControl::ChooseLabel, SetupControl::ProgressBar, SetupControl::InstallButton,
                          SetupControl::CancelButton, SetupControl::FolderLabel, SetupControl::FolderField,
                          SetupControl::BrowseButton};
    for (const int id : hidden) EXPECT_FALSE(window.IsVisible(id)) << id;
    for (const int id : kReleaseBoxIds) EXPECT_FALSE(window.IsVisible(id)) << id;
    // The hidden field holds the folder with its sub-folder.
    EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "D:\\Tools\\V-VidudOvev");
    EXPECT_EQ(dlg.folderPath, "D:\\Tools\\V-VidudOvev");
    // Shorter by 48 vertical dialog units, nothing else moved.
    const platform::Rect after = window.WindowRect(0);
    EXPECT_EQ(before.Height() - after.Height(), 48 * HeadlessDialog::kBaseUnitY / 8);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.Width(), before.Width());
    EXPECT_FALSE(window.Ended());
    window.Click(SetupControl::InstallDone);
  });
  EXPECT_EQ(result, platform::kIdOk);
  EXPECT_EQ(files.OpenFindCount(), 0u);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}


// The record in the install folder, in UTF-8: every file placed with its
// size and hash, each demand-load entry and the profile's list with what it
// held before. A second install merges into it and keeps that first before.
TEST_F(InstallTest, TheRecordListsWhatTheInstallDidAndASecondInstallKeepsTheFirstBefore) {
  std::string error;
  ASSERT_TRUE(platform::ImportRegText(
      registry, std::string("REGEDIT4\n[") + kProfile + "]\n\"TRUSTEDPATHS\"=\"C:\\\\Lisp;D:\\\\图纸\"\n", &error))
      << error;
  const std::string recordPath = "D:\\Tools\\V-VidudOvev\\install_record.txt";
  auto readRecord = [&](CInstallRecord* record) {
    std::string text;
    ASSERT_TRUE(files.ReadFile(recordPath, &text));
    EXPECT_NE(text.find(u8"<<未命名配置>>"), std::string::npos) << "names in UTF-8";
    EXPECT_EQ(text.find("<<未命名配置>>"), std::string::npos) << "not in the code page";
    ASSERT_TRUE(record->Parse(text));
  };
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(dlg.exitCode, SetupExit::Installed);
  });
  CInstallRecord first(files);
  readRecord(&first);
  std::vector<std::string> paths;
  for (const CInstallRecord::FileItem& item : first.files) paths.push_back(item.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{
                       "C:\\Program Files\\AutoCAD 2010\\ACAD2010P.dll",
                       "C:\\Program Files\\AutoCAD 2010\\Fonts\\Velkor_EN.shx",
                       "C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini",
                       "D:\\Tools\\V-VidudOvev\\ACAD2010P.dll", "D:\\Tools\\V-VidudOvev\\Uninstall.exe",
                       "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"}));
  for (const CInstallRecord::FileItem& item : first.files) {
    std::string content;
    ASSERT_TRUE(files.ReadFile(item.path, &content));
    EXPECT_EQ(item.size, std::to_string(content.size()));
    char hash[17];
    std::snprintf(hash, sizeof(hash), "%016llx", static_cast<unsigned long long>(Fnv1a64(content)));
    EXPECT_EQ(item.hash, hash) << item.path;
  }
  ASSERT_EQ(first.loaders.size(), 2u);
  EXPECT_EQ(first.loaders[0].productKey, kProduct2010);
  EXPECT_EQ(first.loaders[0].subKey, "Applications\\VK_VidudOvev2010");
  EXPECT_EQ(first.loaders[0].loader, "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
  EXPECT_EQ(first.loaders[1].loader, std::string(kAcad2010) + "\\ACAD2010P.dll");
  ASSERT_EQ(first.trusted.size(), 1u);
  const CInstallRecord::TrustedItem& trusted = first.trusted[0];
  // Named by the user's SID: the uninstall may run as another account.
  EXPECT_EQ(trusted.profile, "HKEY_USERS\\" + platform::MemoryAccounts().processUser.sid +
                                 std::string(kProfile).substr(std::strlen("HKEY_CURRENT_USER")));
  EXPECT_FALSE(trusted.beforeAbsent);
  EXPECT_TRUE(trusted.variablesExisted);
  EXPECT_EQ(trusted.beforeType, platform::RegType::String);
  EXPECT_EQ(trusted.beforeData, std::string("C:\\Lisp;D:\\图纸") + '\0') << "the exact bytes";
  EXPECT_EQ(trusted.written, "C:\\LISP;D:\\图纸;D:\\TOOLS\\V-VIDUDOVEV");
  EXPECT_EQ(Text(kProfile, "TRUSTEDPATHS"), trusted.written);

  // The user edits the list; the second install records what it writes
  // now, and the value before the first install still.
  ASSERT_TRUE(platform::ImportRegText(
      registry, std::string("REGEDIT4\n[") + kProfile + "]\n\"TRUSTEDPATHS\"=\"E:\\\\New\"\n", &error));
  Run([&](Dlg_Setup&, HeadlessDialog& window) { Install(window, "D:\\Tools"); });
  CInstallRecord second(files);
  readRecord(&second);
  EXPECT_EQ(second.files.size(), first.files.size());
  EXPECT_EQ(second.loaders.size(), 2u);
  ASSERT_EQ(second.trusted.size(), 1u);
  EXPECT_EQ(second.trusted[0].beforeData, trusted.beforeData);
  EXPECT_EQ(second.trusted[0].written, "E:\\NEW;D:\\TOOLS\\V-VIDUDOVEV");
}

// A profile without a Variables key, and a record that cannot be written:
// the install still completes, and the record is one problem in the notice.
TEST_F(InstallTest, ARecordThatCannotBeWrittenIsOneProblemAndTheInstallCompletes) {
  // Neither appended to nor replaced whole.
  files.FailOn(platform::MemoryFileSystem::Op::AppendBytes, "D:\\Tools\\V-VidudOvev\\install_record.txt");
  files.FailOn(platform::MemoryFileSystem::Op::MoveReplacing, "D:\\Tools\\V-VidudOvev\\install_record.txt");
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find("安装记录"), std::string::npos) << window.boxes[0].text;
    EXPECT_NE(window.boxes[0].text.find("1 项"), std::string::npos) << window.boxes[0].text;
    EXPECT_EQ(dlg.exitCode, SetupExit::InstalledWithProblems);
  });
  EXPECT_TRUE(files.Exists(std::string(kAcad2010) + "\\ACAD2010P.dll"));
  EXPECT_EQ(Loader("VK_VidudOvev2010"), "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
}


// The silent install runs the dialog's install sequence with no window:
// each box the dialog would show is answered as a deployment needs, and the
// exit code says how it ended.
// A silent run makes no window: a dialog asked of this runner fails the test.
struct NoDialogs final : platform::DialogRunner {
  int RunModal(const platform::DialogTemplate&, platform::DialogHandler&) override {
    ADD_FAILURE() << "the silent run made a dialog";
    return -1;
  }
};

TEST_F(InstallTest, TheSilentInstallAnswersEachBoxAndEndsWithItsCode) {
  struct Row {
    const char* name;
    std::function<void(SilentRequest&)> ask;
    bool acadRuns, fileHeld;
    int code;
    int pauses;
    const char* told;  // in a box the log hears of; null: none
  };
  const Row rows[] = {
      {"typical", [](SilentRequest&) {}, false, false, SetupExit::Installed, 0, nullptr},
      {"a year not found", [](SilentRequest& r) { r.allReleases = false; r.years = {2008, 2010}; }, false, false,
       SetupExit::NothingToInstall, 0, nullptr},
      {"AutoCAD runs", [](SilentRequest&) {}, true, false, SetupExit::HostRunning, 0, "请关闭AutoCAD"},
      {"AutoCAD runs, forced", [](SilentRequest& r) { r.force = true; }, true, false, SetupExit::Installed, 0,
       "请关闭AutoCAD"},
      {"a file held: retried, then ignored", [](SilentRequest&) {}, false, true, SetupExit::InstalledWithProblems,
       SilentInstall::kCopyRetries, "VK_VidudOvev2010.ARX"},
      {"a relative folder", [](SilentRequest& r) { r.folder = "Tools"; }, false, false, SetupExit::BadCommandLine, 0,
       "完整路径"},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // A folder of its own for each run.
    const std::string folder = "D:\\T" + std::to_string(++n);
    const std::string arx = folder + "\\V-VidudOvev\\VK_VidudOvev2010.ARX";
    processes.running.clear();
    if (row.acadRuns) processes.running = {"acad.exe"};
    if (row.fileHeld) {
      files.AddFolder(folder + "\\V-VidudOvev");
      files.AddFile(arx, "old");
      files.HoldOpen(arx);
    }
    warnHostRunning = true;
    SilentRequest request;
    request.folderGiven = true;
    request.folder = folder;
    row.ask(request);
    std::vector<unsigned> pauses;
    std::vector<std::string> told;
    SilentInstall silent(request, [&](unsigned ms) { pauses.push_back(ms); },
                         [&](const std::string& text, const std::string&, unsigned, int) { told.push_back(text); });
    CAcadSetup engine(registry, files, SetupMessageOwner());
    NoDialogs noDialogs;
    const int code =
        RunSilent(WizardWorld{engine, files, processes, shell, accounts, noDialogs, lastBrowse, warnHostRunning}, silent);
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(pauses, std::vector<unsigned>(static_cast<std::size_t>(row.pauses), SilentInstall::kRetryPauseMs));
    if (row.told) {
      const bool found = std::any_of(told.begin(), told.end(),
                                     [&](const std::string& text) { return text.find(row.told) != std::string::npos; });
      EXPECT_TRUE(found) << "no box told of " << row.told;
    } else {
      EXPECT_TRUE(told.empty()) << "a box was shown: " << told.front();
    }
    std::string content;
    const bool installed = files.ReadFile(arx, &content) && content == "VK_VidudOvev2010.ARX";
    EXPECT_EQ(installed, row.code == SetupExit::Installed);
    if (row.code == SetupExit::NothingToInstall) {
      EXPECT_EQ(silent.missingYears, std::vector<int>{2008});
    }
    if (row.code != SetupExit::Installed && !row.fileHeld) {
      EXPECT_FALSE(files.Exists(folder)) << "nothing made";
    }
  }
}

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\V-VidudOvev";
const char kAdminOnly[] = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const char kUsersRead[] = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The folder an elevated install into `target` keeps its record in.
std::string AdminRecordFolder(const std::string& target) {
  std::string upper = target;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  char hash[17];
  std::snprintf(hash, sizeof(hash), "%016llX", static_cast<unsigned long long>(Fnv1a64(upper)));
  return std::string("C:\\ProgramData\\V-VidudOvev\\") + hash;
}

std::string Dword(std::uint32_t value) {
  return std::string{static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                     static_cast<char>(value >> 24)};
}

// Each Programs and Features value of an install into D:\Tools whose
// uninstaller is in `folder`, and their types; `sizeKiB` for the package.
void ExpectUninstallEntry(platform::MemoryRegistry& registry, const std::string& key, const std::string& folder,
                          std::uint32_t sizeKiB) {
  char version[16];
  std::snprintf(version, sizeof(version), "%04d.%02d.%02d", versionNumber / 10000, versionNumber / 100 % 100,
                versionNumber % 100);
  const std::string uninstaller = folder + "\\Uninstall.exe";
  const std::map<std::string, std::string> texts = {
      {"DisplayName", "批打印软件"},
      {"DisplayVersion", version},
      {"Publisher", "Velkor"},
      {"InstallLocation", "D:\\Tools\\V-VidudOvev"},
      {"DisplayIcon", uninstaller},
      {"UninstallString", "\"" + uninstaller + "\" /uninstall"},
      {"QuietUninstallString", "\"" + uninstaller + "\" /uninstall /S"},
  };
  for (const auto& text : texts) {
    unsigned long type = 0;
    std::string data;
    ASSERT_TRUE(registry.GetValue(key, text.first, &type, &data)) << text.first;
    EXPECT_EQ(type, platform::RegType::String) << text.first;
    EXPECT_EQ(data, text.second + '\0') << text.first;
  }
  const std::map<std::string, std::uint32_t> dwords = {
      {"EstimatedSize", sizeKiB}, {"NoModify", 1}, {"NoRepair", 1}, {"EditionBits", 32}};
  for (const auto& dword : dwords) {
    unsigned long type = 0;
    std::string data;
    ASSERT_TRUE(registry.GetValue(key, dword.first, &type, &data)) << dword.first;
    EXPECT_EQ(type, platform::RegType::Dword) << dword.first;
    EXPECT_EQ(data, Dword(dword.second)) << dword.first;
  }
  EXPECT_EQ(registry.ValueNames(key).size(), texts.size() + dwords.size());
}

// With administrator rights the record, the originals and Uninstall.exe go
// to a folder below %ProgramData% that only administrators and SYSTEM can
// write, made with that list; the entry under HKEY_LOCAL_MACHINE points
// there, and the add-on's folder lets users read only. A reinstall finds
// that record again; an install into another folder keeps a record of its
// own.
TEST_F(InstallTest, AnElevatedInstallKeepsWhatUndoesItWhereOnlyAdministratorsWrite) {
  accounts.elevated = true;
  const std::string home = AdminRecordFolder("D:\\Tools\\V-VidudOvev");
  files.AddFile(std::string(kAcad2010) + "\\ACAD2010P.dll", "another add-on's");
  files.AddFile(std::string(kData) + "\\Plot.dat", std::string(5000, 'p'));  // 5033 bytes in all: 5 KiB
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    EXPECT_TRUE(window.boxes.empty()) << (window.boxes.empty() ? "" : window.boxes[0].text);
    EXPECT_EQ(dlg.exitCode, SetupExit::Installed);
  });
  EXPECT_EQ(files.Access("C:\\ProgramData\\V-VidudOvev"), kAdminOnly);
  EXPECT_EQ(files.Access(home), kAdminOnly);
  EXPECT_EQ(files.Access("D:\\Tools\\V-VidudOvev"), kUsersRead) << "every user's AutoCAD loads from it";
  EXPECT_EQ(files.Access("D:\\Tools"), "") << "the chosen folder keeps what it inherits";
  EXPECT_FALSE(files.Exists("D:\\Tools\\V-VidudOvev\\install_record.txt"));
  EXPECT_FALSE(files.Exists("D:\\Tools\\V-VidudOvev\\Uninstall.exe"));
  std::string content;
  EXPECT_TRUE(files.ReadFile(home + "\\Uninstall.exe", &content));
  EXPECT_EQ(content, "exe") << "a copy of the running program";
  ASSERT_EQ(files.Names(home + "\\backup").size(), 1u);
  EXPECT_TRUE(files.ReadFile(home + "\\backup\\" + files.Names(home + "\\backup")[0], &content));
  EXPECT_EQ(content, "another add-on's");

  CInstallRecord record(files);
  ASSERT_TRUE(files.ReadFile(home + "\\install_record.txt", &content));
  ASSERT_TRUE(record.Parse(content));
  EXPECT_EQ(record.installFolder, "D:\\Tools\\V-VidudOvev");
  EXPECT_EQ(record.entryRoot, "HKLM");
  EXPECT_TRUE(platform::EqualsNoCase(record.entryKey, kUninstallKey)) << record.entryKey;
  const auto noted =
      std::find_if(record.files.begin(), record.files.end(),
                   [&](const CInstallRecord::FileItem& item) { return item.path == home + "\\Uninstall.exe"; });
  ASSERT_NE(noted, record.files.end());
  EXPECT_EQ(noted->size, "3");
  ExpectUninstallEntry(registry, std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, home, 5);
  EXPECT_FALSE(registry.KeyExists(std::string("HKEY_CURRENT_USER\\") + kUninstallKey));

  // The same folder again: one record, merged, still one kept original.
  const std::size_t items = record.files.size();
  Run([&](Dlg_Setup&, HeadlessDialog& window) { Install(window, "D:\\Tools\\"); });
  ASSERT_TRUE(files.ReadFile(home + "\\install_record.txt", &content));
  CInstallRecord again(files);
  ASSERT_TRUE(again.Parse(content));
  EXPECT_EQ(again.files.size(), items);
  EXPECT_EQ(files.Names(home + "\\backup").size(), 1u);
  // Another folder: the install moves there, with a record of its own;
  // the first one's goes with the install it undid.
  files.AddFolder("E:\\");
  Run([&](Dlg_Setup&, HeadlessDialog& window) { Install(window, "E:\\Plot"); });
  const std::string other = AdminRecordFolder("E:\\Plot\\V-VidudOvev");
  EXPECT_EQ(files.Names("C:\\ProgramData\\V-VidudOvev"),
            std::vector<std::string>{other.substr(other.size() - 16)});
  EXPECT_FALSE(files.Exists("D:\\Tools\\V-VidudOvev"));
  EXPECT_TRUE(files.Exists(other + "\\install_record.txt"));
  EXPECT_EQ(files.Access(other), kAdminOnly);
  EXPECT_EQ(Text(std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, "UninstallString"),
            "\"" + other + "\\Uninstall.exe\" /uninstall");
}

// Run as SYSTEM by a deployment tool with nobody at the console and two
// people signed in (a hot desk, a remote session): each gets the trusted
// path in each AutoCAD profile of their own hive and the settings file in
// their own folder; SYSTEM's hive gets nothing. The uninstall restores each
// hive's list as it was.
TEST_F(InstallTest, EveryoneSignedInGetsThePerUserPartsAndTheUninstallRestoresEach) {
  const std::string variables = std::string(kProfile).substr(std::strlen("HKEY_CURRENT_USER"));
  // The third names AutoCAD's folder as its settings folder in its own
  // hive, which it may write: it is not served there.
  const std::string users[] = {"S-1-5-21-1004336348-1177238915-682003330-1002",
                               "S-1-5-21-1004336348-1177238915-682003330-1003",
                               "S-1-5-21-1004336348-1177238915-682003330-1004"};
  const std::string before[] = {"", "C:\\Mine", ""};
  for (int k = 0; k < 3; ++k) {
    const std::string folder = k < 2 ? "C:\\Users\\u" + std::to_string(k) + "\\AppData\\Roaming" : kAcad2010;
    files.AddFolder(folder);
    std::string error, doubled;
    for (const char ch : folder) doubled += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
    std::string mine;
    for (const char ch : before[k]) mine += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
    ASSERT_TRUE(platform::ImportRegText(
        registry,
        "REGEDIT4\n[HKEY_USERS\\" + users[k] + variables + "]\n\"TRUSTEDPATHS\"=\"" + mine + "\"\n[HKEY_USERS\\" +
            users[k] + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n\"AppData\"=\"" +
            doubled + "\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" +
            users[k] + "]\n\"ProfileImagePath\"=\"C:\\\\Users\\\\u" + std::to_string(k) + "\"\n",
        &error))
        << error;
  }
  accounts.processUser = {platform::kSystemSid, "NT AUTHORITY\\SYSTEM"};
  accounts.elevated = true;
  accounts.desktopLookup = platform::DesktopLookup::NoShell;
  SilentRequest request;
  SilentInstall silent(request, nullptr, nullptr);
  CAcadSetup engine(registry, files, SetupMessageOwner());
  NoDialogs noDialogs;
  ASSERT_EQ(RunSilent(WizardWorld{engine, files, processes, shell, accounts, noDialogs, lastBrowse, warnHostRunning},
                      silent),
            SetupExit::Installed);
  const auto trusted = [&](const std::string& user) {
    std::string value;
    registry.GetValue("HKEY_USERS\\" + user + variables, "TRUSTEDPATHS", nullptr, &value);
    return value.substr(0, value.find('\0'));
  };
  // /S without /D= installs into C:\Velkor; a list that had entries is
  // written upper-cased, as for the running account's own.
  EXPECT_EQ(trusted(users[0]), "C:\\Velkor\\V-VidudOvev");
  EXPECT_EQ(trusted(users[1]), "C:\\MINE;C:\\VELKOR\\V-VIDUDOVEV");
  for (int k = 0; k < 2; ++k) {
    EXPECT_TRUE(files.Exists("C:\\Users\\u" + std::to_string(k) + "\\AppData\\Roaming\\Velkor\\Velkor.Ini")) << k;
  }
  EXPECT_FALSE(files.Exists("C:\\Users\\cad\\AppData\\Roaming\\Velkor")) << "the process's own APPDATA";
  EXPECT_FALSE(files.Exists(std::string(kAcad2010) + "\\Velkor")) << "a folder outside the profile";
  EXPECT_EQ(trusted(users[2]), "") << "a user whose settings folder is not its own is not served";

  const std::string home = AdminRecordFolder("C:\\Velkor\\V-VidudOvev");
  const UninstallResult result = CUninstall(registry, files).Run(home, home + "\\Uninstall.exe");
  EXPECT_EQ(result.trustedRestored, 2);
  EXPECT_EQ(trusted(users[0]), "");
  EXPECT_EQ(trusted(users[1]), "C:\\Mine");
}

// A deployment tool installs as SYSTEM with nobody signed in; the account
// signing in later gets the per-user parts from the Active Setup stub, a
// release it has not started yet at its first sign-in after that start,
// and loses them at its next sign-in after the machine's uninstall. The
// machine is then as before but for the stub the uninstall leaves for
// the accounts not signed in yet, the account's settings file and the
// logs.
TEST_F(InstallTest, AccountsSigningInLaterGetThePerUserPartsAndLoseThemAfterTheUninstall) {
  const std::string user = "S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::string component =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\V-VidudOvev-32";
  const std::string stub = "C:\\ProgramData\\V-VidudOvev\\PerUser-32";
  const std::string runOnce = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  const std::string profile2008 =
      "HKEY_CURRENT_USER\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1\\ACAD-6001:804\\Profiles\\<<未命名配置>>\\Variables";
  files.SetEnvironment("TEMP", "C:\\Temp");
  files.AddFolder("C:\\Temp");
  registry.MountCurrentUser(user);
  // Besides: the keys above the component and the entry, which Windows
  // has, the records folder with the uninstaller the cleanup chain takes
  // (not run here), and AutoCAD 2008, installed after the add-on, with the
  // profile it makes at its first start.
  const std::vector<std::string> leftForLater = {
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft",
      "C:\\ProgramData\\V-VidudOvev", "C:\\Temp", "C:\\Users\\cad\\AppData\\Roaming\\Velkor",
      "HKEY_CURRENT_USER\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1"};
  const std::string before = testing_support::MachineState(registry, files, {"C:", "D:", "E:"}, leftForLater);
  RunFacts facts;
  facts.year = 2026, facts.month = 12, facts.day = 10, facts.hour = 13, facts.minute = 5, facts.second = 7;
  const auto run = [&](const std::string& program, const std::string& line, bool system,
                       const std::string& who = std::string()) {
    accounts.processUser = system ? platform::Account{platform::kSystemSid, "NT AUTHORITY\\SYSTEM"}
                                  : platform::Account{who.empty() ? user : who, "PC\\cad"};
    accounts.elevated = system;
    accounts.desktopLookup = platform::DesktopLookup::NoShell;
    files.SetModulePath(program);
    testing_support::ScriptedOwner boxes;
    platform::MemoryLauncher launcher;
    launcher.failWith = 2;  // the uninstall runs in place
    CSetupLog log(files);
    CAcadSetup engine(registry, files, SetupMessageOwner());
    NoDialogs noDialogs;
    const ProgramWorld world{WizardWorld{engine, files, processes, shell, accounts, noDialogs, lastBrowse,
                                         warnHostRunning},
                             registry, launcher, boxes, log, facts, [](unsigned) {},
                             [](const std::string&) { return false; }};
    const int code = RunProgram(world, "\"" + program + "\" " + line);
    EXPECT_TRUE(boxes.shown.empty()) << line << ": " << boxes.shown.front().text;
    return code;
  };
  const auto trusted = [&](const std::string& variables) { return Text(variables, "TRUSTEDPATHS"); };
  const auto read = [&](const std::string& path) {
    std::string bytes;
    return files.ReadBytes(path, &bytes) ? bytes : "<missing>";
  };

  ASSERT_EQ(run(kProgram, "/S", true), SetupExit::Installed);
  unsigned long type = 0;
  std::string stubPath;
  ASSERT_TRUE(registry.GetValue(component, "StubPath", &type, &stubPath));
  EXPECT_EQ(type, platform::RegType::ExpandString);
  EXPECT_EQ(stubPath.substr(0, stubPath.find('\0')), "\"" + stub + "\\Uninstall.exe\" /peruser");
  EXPECT_EQ(Text(component, "Version"), "2026,1210,1305,7");
  EXPECT_EQ(files.Access(stub), platform::kProgramAccess) << "only administrators write what every account runs";
  EXPECT_EQ(read(stub + "\\Velkor.Ini"), "Velkor.Ini");
  EXPECT_EQ(trusted(kProfile), "") << "nobody signed in";

  // The account signs in. AutoCAD 2008, installed since, has no profile
  // of the account's yet: the stub runs again at the next sign-in, after
  // AutoCAD's first start has made it.
  std::string error;
  ASSERT_TRUE(platform::ImportRegText(registry,
                                      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1\\ACAD-6001:804]\n"
                                      "\"AcadLocation\"=\"C:\\\\Program Files\\\\AutoCAD 2008\"\n"
                                      "\"ProductName\"=\"AutoCAD 2008\"\n",
                                      &error))
      << error;
  // A copy elsewhere, with facts anyone could write beside it, serves nobody.
  files.AddFile("D:\\Shared\\Uninstall.exe", "exe");
  files.AddFile("D:\\Shared\\peruser.txt", "VidudOvev per-user 1\r\napply\r\nD:\\Shared\r\n");
  EXPECT_EQ(run("D:\\Shared\\Uninstall.exe", "/peruser", false), SetupExit::NothingToRemove);
  EXPECT_EQ(trusted(kProfile), "");
  files.Remove("D:\\Shared\\Uninstall.exe");
  files.Remove("D:\\Shared\\peruser.txt");
  files.RemoveFolder("D:\\Shared");
  EXPECT_EQ(run(stub + "\\Uninstall.exe", "/peruser", false), SetupExit::Installed);
  EXPECT_EQ(trusted(kProfile), "C:\\Velkor\\V-VidudOvev");
  EXPECT_EQ(read("C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini"), "Velkor.Ini");
  EXPECT_EQ(Text(runOnce, "V-VidudOvev-32"), "\"" + stub + "\\Uninstall.exe\" /peruser");
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + profile2008 + "]\n", &error)) << error;
  EXPECT_EQ(run(stub + "\\Uninstall.exe", "/peruser", false), SetupExit::Installed);
  EXPECT_EQ(trusted(profile2008), "C:\\Velkor\\V-VidudOvev");
  EXPECT_EQ(trusted(kProfile), "C:\\Velkor\\V-VidudOvev") << "a list that names the folder stays as it is";
  EXPECT_EQ(Text(runOnce, "V-VidudOvev-32"), "<missing>") << "every release has its profile";

  // The machine's uninstall, as SYSTEM again, then the next sign-in.
  const std::string home = AdminRecordFolder("C:\\Velkor\\V-VidudOvev");
  EXPECT_EQ(run(home + "\\Uninstall.exe", "/uninstall /S", true), SetupExit::Installed);
  EXPECT_EQ(Text(component, "Version"), "2026,1210,1305,8") << "raised: every account runs the stub again";
  EXPECT_NE(read(stub + "\\peruser.txt").find("remove"), std::string::npos);
  EXPECT_EQ(run(stub + "\\Uninstall.exe", "/peruser", false), SetupExit::Installed);
  EXPECT_EQ(trusted(kProfile), "");
  EXPECT_EQ(Text(profile2008, "TRUSTEDPATHS"), "<missing>");
  EXPECT_EQ(testing_support::MachineState(registry, files, {"C:", "D:", "E:"}, leftForLater), before);

  // Another account, signed in at the next install and signed out at its
  // uninstall: the install serves it in its hive, the uninstall hands its
  // list over to its next sign-in (exit 0, nothing left), which puts the
  // list back byte for byte.
  const std::string other = "S-1-5-21-1004336348-1177238915-682003330-1002";
  const std::string otherList = "HKEY_USERS\\" + other + std::string(kProfile).substr(std::strlen("HKEY_CURRENT_USER"));
  files.AddFolder("C:\\Users\\u2\\AppData\\Roaming");
  ASSERT_TRUE(platform::ImportRegText(
      registry,
      "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1]\n[" + otherList + "]\n\"TRUSTEDPATHS\"=\"C:\\\\Mine\"\n[HKEY_USERS\\" + other +
          "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
          "\"AppData\"=\"C:\\\\Users\\\\u2\\\\AppData\\\\Roaming\"\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + other +
          "]\n\"ProfileImagePath\"=\"C:\\\\Users\\\\u2\"\n",
      &error))
      << error;
  ASSERT_EQ(run(kProgram, "/S", true), SetupExit::Installed);
  const std::string installed = "C:\\MINE;C:\\VELKOR\\V-VIDUDOVEV";
  EXPECT_EQ(trusted(otherList), installed);
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[-HKEY_USERS\\" + other + "]\n", &error)) << error;
  EXPECT_EQ(run(home + "\\Uninstall.exe", "/uninstall /S", true), SetupExit::Installed) << "handed over, not left";
  EXPECT_EQ(files.Access(stub + "\\" + other),
            "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;" + other + ")")
      << "that account alone reads what was in its list";
  // Its sign-in: its hive is HKEY_CURRENT_USER then, the list as the
  // install left it.
  registry.MountCurrentUser(other);
  files.SetEnvironment("APPDATA", "C:\\Users\\u2\\AppData\\Roaming");
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + std::string(kProfile) + "]\n\"TRUSTEDPATHS\"=\"" +
                                                    "C:\\\\MINE;C:\\\\VELKOR\\\\V-VIDUDOVEV\"\n",
                                      &error))
      << error;
  EXPECT_EQ(run(stub + "\\Uninstall.exe", "/peruser", false, other), SetupExit::Installed);
  EXPECT_EQ(trusted(kProfile), "C:\\Mine");
  EXPECT_FALSE(files.Exists("C:\\Users\\u2\\AppData\\Roaming\\V-VidudOvev-32-handed"));

  // Signed in at an install again and signed out at its move to another
  // folder: the move's undo of the earlier install hands the list over
  // too, and the sign-in trusts the new folder alone.
  registry.MountCurrentUser(user);
  ASSERT_TRUE(platform::ImportRegText(registry,
                                      "REGEDIT4\n[" + otherList + "]\n\"TRUSTEDPATHS\"=\"C:\\\\Mine\"\n[HKEY_USERS\\" +
                                          other + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\" +
                                          "Shell Folders]\n\"AppData\"=\"C:\\\\Users\\\\u2\\\\AppData\\\\Roaming\"\n",
                                      &error))
      << error;
  ASSERT_EQ(run(kProgram, "/S", true), SetupExit::Installed);
  EXPECT_EQ(trusted(otherList), installed);
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[-HKEY_USERS\\" + other + "]\n", &error)) << error;
  ASSERT_EQ(run(kProgram, "/S /D=D:\\Moved", true), SetupExit::Installed);
  registry.MountCurrentUser(other);
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + std::string(kProfile) + "]\n\"TRUSTEDPATHS\"=\"" +
                                                    "C:\\\\MINE;C:\\\\VELKOR\\\\V-VIDUDOVEV\"\n",
                                      &error))
      << error;
  EXPECT_EQ(run(stub + "\\Uninstall.exe", "/peruser", false, other), SetupExit::Installed);
  EXPECT_EQ(trusted(kProfile), "C:\\MINE;D:\\MOVED\\V-VIDUDOVEV");
}

// A standard account cannot write the machine's list: the entry goes to
// the account's own, and the record and Uninstall.exe stay in the install
// folder, as nobody but that account runs them. Neither is a problem.
TEST_F(InstallTest, AStandardAccountKeepsTheRecordInTheInstallFolderAndItsEntryInItsOwnList) {
  registry.DenyWritesBelow("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft");
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    EXPECT_TRUE(window.boxes.empty()) << (window.boxes.empty() ? "" : window.boxes[0].text);
    EXPECT_EQ(dlg.exitCode, SetupExit::Installed);
  });
  const std::string home = "D:\\Tools\\V-VidudOvev";
  EXPECT_FALSE(files.Exists("C:\\ProgramData\\V-VidudOvev"));
  EXPECT_TRUE(files.Exists(home + "\\Uninstall.exe"));
  std::string content;
  ASSERT_TRUE(files.ReadFile(home + "\\install_record.txt", &content));
  CInstallRecord record(files);
  ASSERT_TRUE(record.Parse(content));
  EXPECT_EQ(record.entryRoot, "HKCU");
  EXPECT_FALSE(registry.KeyExists(std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey));
  ExpectUninstallEntry(registry, std::string("HKEY_CURRENT_USER\\") + kUninstallKey, home, 1);
}

// What cannot be had is one problem each, and the install completes.
class InstallProblemTest : public InstallTest {
 protected:
  void ExpectToldOnce(const std::string& told) {
    Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
      Install(window, "D:\\Tools");
      ASSERT_EQ(window.boxes.size(), 1u);
      EXPECT_NE(window.boxes[0].text.find("以下 1 项"), std::string::npos) << window.boxes[0].text;
      EXPECT_NE(window.boxes[0].text.find(told), std::string::npos) << window.boxes[0].text;
      EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage));
      EXPECT_EQ(dlg.exitCode, SetupExit::InstalledWithProblems);
    });
    EXPECT_EQ(Loader("VK_VidudOvev2010"), "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
  }
  const std::string home = "D:\\Tools\\V-VidudOvev";
};

// What a standard user of the machine may have done before an
// administrator installs, and what the elevated install does about it:
// whatever stands where an owned folder goes and is not ours is moved
// aside, never adopted; a place that cannot be had installs nothing, and
// nothing names a place others may write in HKEY_LOCAL_MACHINE.
const char kRecords[] = "C:\\ProgramData\\V-VidudOvev";
const char kTarget[] = "D:\\Tools\\V-VidudOvev";
const char kEveryone[] = "O:S-1-5-21-7-7-7-1001D:PAI(A;OICI;FA;;;WD)";

struct SquatRow {
  const char* attack;
  void (*plant)(platform::MemoryFileSystem& files);
  int code;           // how the install ends
  const char* aside;  // part of the path the squatter is moved aside to
};

const SquatRow kSquatRows[] = {
    {"a file where the records' folder goes", [](platform::MemoryFileSystem& files) { files.AddFile(kRecords, "squat"); },
     SetupExit::Installed, "C:\\ProgramData\\V-VidudOvev.moved-"},
    {"the record folder made first, with a record and an uninstaller",
     [](platform::MemoryFileSystem& files) {
       const std::string home = AdminRecordFolder(kTarget);
       files.AddFile(home + "\\install_record.txt", "planted");
       files.AddFile(home + "\\Uninstall.exe", "evil");
     },
     SetupExit::Installed, "C:\\ProgramData\\V-VidudOvev.moved-"},
    {"the record folder made first with a list of its own that lets everyone write",
     [](platform::MemoryFileSystem& files) {
       const std::string home = AdminRecordFolder(kTarget);
       files.AddFolder(kRecords);
       files.SetAccess(kRecords, kAdminOnly);
       files.AddFile(home + "\\Uninstall.exe", "evil");
       files.SetAccess(home, kEveryone);
     },
     SetupExit::Installed, "C:\\ProgramData\\V-VidudOvev\\"},
    {"the records' folder a junction",
     [](platform::MemoryFileSystem& files) {
       files.AddFolder(kRecords);
       files.SetAccess(kRecords, kAdminOnly);
       files.MarkReparsePoint(kRecords);
     },
     SetupExit::Installed, "C:\\ProgramData\\V-VidudOvev.moved-"},
    {"the add-on's folder made first, with a planted ARX",
     [](platform::MemoryFileSystem& files) { files.AddFile(std::string(kTarget) + "\\VK_VidudOvev2010.ARX", "evil"); },
     SetupExit::Installed, "D:\\Tools\\V-VidudOvev.moved-"},
    {"a squatter that cannot be moved (a file in it held open)",
     [](platform::MemoryFileSystem& files) {
       const std::string planted = AdminRecordFolder(kTarget) + "\\Uninstall.exe";
       files.AddFile(planted, "evil");
       files.HoldOpen(planted);
     },
     SetupExit::NoProtectedFolder, ""},
    {"the add-on's folder cannot be had",
     [](platform::MemoryFileSystem& files) {
       files.FailOn(platform::MemoryFileSystem::Op::MakeOwnedFolder, kTarget);
     },
     SetupExit::NoProtectedFolder, ""},
    {"the record folder cannot be had",
     [](platform::MemoryFileSystem& files) {
       files.FailOn(platform::MemoryFileSystem::Op::MakeOwnedFolder, AdminRecordFolder(kTarget));
     },
     SetupExit::NoProtectedFolder, ""},
};

void PrintTo(const SquatRow& row, std::ostream* out) { *out << row.attack; }

class SquatterTest : public InstallTest, public ::testing::WithParamInterface<SquatRow> {};

TEST_P(SquatterTest, OnTheElevatedInstallsPlaces) {
  const SquatRow& row = GetParam();
  const std::string home = AdminRecordFolder(kTarget);
  const std::string records = kRecords;
  const std::string target = kTarget;
  accounts.elevated = true;
  row.plant(files);
  {
    std::string told;
    Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
      Install(window, "D:\\Tools");
      if (!window.boxes.empty()) told = window.boxes[0].text;
      EXPECT_EQ(dlg.exitCode, row.code) << told;
    });
    const std::string uninstallEntry = std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey;
    if (row.code != SetupExit::Installed) {
      EXPECT_NE(told.find("未安装任何内容"), std::string::npos) << told;
      EXPECT_NE(told.find("仅管理员可更改的文件夹"), std::string::npos) << told;
      EXPECT_FALSE(registry.KeyExists(uninstallEntry)) << "nothing in HKEY_LOCAL_MACHINE";
      EXPECT_EQ(Loader("VK_VidudOvev2010"), "<missing>");
      EXPECT_FALSE(files.Exists("D:\\Tools")) << "the chosen folder, made for the install, is gone again";
      return;
    }
    EXPECT_TRUE(told.empty()) << told;
    EXPECT_EQ(files.Access(records), kAdminOnly);
    EXPECT_EQ(files.Access(home), kAdminOnly);
    EXPECT_EQ(files.Access(target), kUsersRead);
    EXPECT_EQ(Text(uninstallEntry, "UninstallString"), "\"" + home + "\\Uninstall.exe\" /uninstall");
    std::string content;
    EXPECT_TRUE(files.ReadFile(home + "\\Uninstall.exe", &content));
    EXPECT_EQ(content, "exe") << "the running program, not the planted one";
    EXPECT_TRUE(files.ReadFile(target + "\\VK_VidudOvev2010.ARX", &content));
    EXPECT_EQ(content, "VK_VidudOvev2010.ARX") << "the package's, not the planted one";
    ASSERT_TRUE(files.ReadFile(home + "\\install_record.txt", &content));
    EXPECT_EQ(content.find("planted"), std::string::npos) << "no record merged from a folder not ours";
    // The squatter is still there, under a name of its own.
    bool found = false;
    for (const std::string& folder : {std::string("C:\\ProgramData"), records, std::string("D:\\Tools")}) {
      for (const std::string& name : files.Names(folder)) {
        const std::string path = folder + "\\" + name;
        found = found || (path.find(".moved-") != std::string::npos && path.find(row.aside) == 0);
      }
    }
    EXPECT_TRUE(found) << "moved aside to " << row.aside << "...";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SquatterTest, ::testing::ValuesIn(kSquatRows));


// An uninstaller that cannot be copied: no entry offers a removal that
// could not run.
TEST_F(InstallProblemTest, AnUninstallerThatCannotBeCopied) {
  files.FailOn(platform::MemoryFileSystem::Op::Copy, home + "\\Uninstall.exe");
  ExpectToldOnce("文件未复制：" + home + "\\Uninstall.exe（错误 5）");
  EXPECT_FALSE(registry.KeyExists(std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey));
  EXPECT_FALSE(registry.KeyExists(std::string("HKEY_CURRENT_USER\\") + kUninstallKey));
}

// A move whose earlier install cannot all go (a file of it held open):
// one line names the folder, what could go went, and the new install is
// whole.
TEST_F(InstallProblemTest, AnEarlierInstallThatCannotAllGo) {
  Run([&](Dlg_Setup&, HeadlessDialog& window) { Install(window, "E:\\Old"); });
  const std::string held = "E:\\Old\\V-VidudOvev\\VK_VidudOvev2010.ARX";
  ASSERT_TRUE(files.Exists(held));
  files.HoldOpen(held);
  ExpectToldOnce("原安装位置的内容未能全部删除：E:\\Old");
  EXPECT_TRUE(files.Exists(held));
  EXPECT_FALSE(files.Exists("E:\\Old\\V-VidudOvev\\ACAD2010P.dll"));
  EXPECT_TRUE(files.Exists(home + "\\install_record.txt"));
}

// An entry neither list takes: the value that failed is named.
TEST_F(InstallProblemTest, AnEntryNeitherListTakes) {
  registry.DenyWritesBelow("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft");
  registry.FailOn(platform::MemoryRegistry::Op::SetValue, std::string("HKEY_CURRENT_USER\\") + kUninstallKey);
  ExpectToldOnce(
      "注册表未写入：HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\V-VidudOvev\\"
      "DisplayName（错误 5）");
  EXPECT_TRUE(files.Exists(home + "\\Uninstall.exe"));
}

// At every display scale the completion view ends button 1 as far above the
// window's bottom edge as button 2 was: the shrink is measured, not fixed.
TEST_F(InstallTest, TheShrinkFitsTheCompletionViewAtEveryDisplayScale) {
  for (const int dpi : {120, 144, 192}) {
    SCOPED_TRACE(dpi);
    runner.gdi.dpi = dpi;
    runner.workArea = platform::Rect{0, 0, 2560, 1400};
    Run([&](Dlg_Setup&, HeadlessDialog& window) {
      const platform::Rect before = window.WindowRect(0);
      const long cancelMargin = before.bottom - window.WindowRect(SetupControl::CancelButton).bottom;
      Install(window, "D:\\Tools");
      const platform::Rect after = window.WindowRect(0);
      EXPECT_EQ(after.bottom - window.WindowRect(SetupControl::InstallDone).bottom, cancelMargin);
      EXPECT_EQ(before.Height() - after.Height(), 48 * window.BaseUnitY() / 8);
      EXPECT_EQ(after.top, before.top);
      EXPECT_TRUE(window.IsVisible(SetupControl::InstallDone));
      window.Click(SetupControl::InstallDone);
    });
  }
}
TEST_F(InstallTest, ProgressBarMessagesAndStepsInOrder) {
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    std::vector<unsigned> bar;
    for (const platform::SentMessage& message : window.sent) {
      if (message.id == SetupControl::ProgressBar && message.message != platform::kPbmGetPos) {
        bar.push_back(message.message);
      }
    }
    ASSERT_GE(bar.size(), 4u);
    EXPECT_EQ(bar[0], platform::kPbmSetRange);
    EXPECT_EQ(bar[1], platform::kPbmSetStep);
    EXPECT_EQ(bar[2], platform::kPbmSetPos);
    EXPECT_EQ(bar.back(), platform::kPbmSetPos);
    // The copy's steps (one per listing entry: ".", "..", four files, and
    // the end of the listing), then one after each of the three steps.
    const std::size_t steps = static_cast<std::size_t>(std::count(bar.begin(), bar.end(), platform::kPbmStepIt));
    EXPECT_EQ(steps, 7u + 3u);
    const platform::SentMessage& range = window.sent[0];
    EXPECT_EQ(range.lParam, 0x00320000);
    EXPECT_EQ(window.Send(SetupControl::ProgressBar, platform::kPbmGetPos, 0, 0), 50) << "ends full";
  });
}

TEST_F(InstallTest, ABarSteppedPastFullStartsOverAndEndsFull) {
  for (int i = 0; i < 60; ++i) files.AddFile(std::string(kData) + "\\extra" + std::to_string(i) + ".txt", "x");
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    const auto steps = std::count_if(window.sent.begin(), window.sent.end(), [](const platform::SentMessage& m) {
      return m.id == SetupControl::ProgressBar && m.message == platform::kPbmStepIt;
    });
    EXPECT_GT(steps, 50) << "the copy stepped the bar past full";
    EXPECT_EQ(window.Send(SetupControl::ProgressBar, platform::kPbmGetPos, 0, 0), 50);
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage));
  });
}

TEST_F(InstallTest, RunningAutoCadIsReportedOnceThenTheNextPressInstalls) {
  processes.running = {"explorer.exe", "ACAD.EXE"};
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "请关闭AutoCAD后再进行安装 !");
    EXPECT_EQ(window.boxes[0].caption, "V-软件安装");
    EXPECT_EQ(window.boxes[0].type, platform::kMbOk);
    EXPECT_FALSE(files.Exists("D:\\Tools")) << "nothing is created";
    EXPECT_TRUE(window.IsVisible(SetupControl::FolderField)) << "the selection view stays";
    EXPECT_FALSE(warnHostRunning);
    EXPECT_EQ(processes.OpenSnapshotCount(), 0u);

    Install(window, "D:\\Tools");
    EXPECT_EQ(window.boxes.size(), 1u) << "not asked again";
    EXPECT_TRUE(files.Exists("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
  });
}

TEST_F(InstallTest, FolderFieldFormsNormaliseToOneFolder) {
  struct Case {
    const char* field;
    const char* target;
  };
  const Case cases[] = {
      {"D:\\", "D:\\V-VidudOvev"},                    // a drive root from the browser
      {"D:\\Tools\\", "D:\\Tools\\V-VidudOvev"},      // one trailing backslash
      {"D:\\Tools\\\\", "D:\\Tools\\\\V-VidudOvev"},  // two: one stays
      {"D:\\乗", "D:\\乗\\V-VidudOvev"},              // ends in a trail byte 0x5C
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
      Install(window, c.field);
      EXPECT_EQ(dlg.folderPath, c.target);
      EXPECT_EQ(setup->installFolder, c.target);
      EXPECT_TRUE(files.Exists(std::string(c.target) + "\\VK_VidudOvev2010.ARX"));
      window.Click(SetupControl::InstallDone);
    });
  }
  // Each install into another folder moved the one before.
  EXPECT_FALSE(files.Exists("D:\\V-VidudOvev"));
  EXPECT_TRUE(files.Exists("D:\\乗\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
}

TEST_F(InstallTest, RefusedFolderFieldsCreateNothing) {
  // The package's longest name, VK_VidudOvev2010.ARX, leaves 226 characters
  // for the folder: 226 + "\\V-VidudOvev" + "\\" + 20 = 259.
  const std::string tooLong = "D:\\" + std::string(224, 'a');
  const std::string longest = "D:\\" + std::string(223, 'a');
  files.AddFolder(longest);
  struct Case {
    std::string field;
    const char* told;
  };
  const Case cases[] = {
      {"", "请先选择或输入安装路径"},
      {tooLong, "安装路径最多可有 226 个字符（现有 227 个）"},
      {"Velkor", "安装路径必须是完整路径"},          // relative to the current folder
      {"C:Velkor", "安装路径必须是完整路径"},        // relative to drive C's current folder
      {"\\", "安装路径必须是完整路径"},            // the current drive's root
      {"\\Tools", "安装路径必须是完整路径"},
      {"\\\\server", "安装路径必须是完整路径"},      // no share
      {"\\\\server\\", "安装路径必须是完整路径"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    Run([&](Dlg_Setup&, HeadlessDialog& window) {
      Install(window, c.field);
      ASSERT_EQ(window.boxes.size(), 1u);
      EXPECT_EQ(window.boxes[0].caption, "V-软件安装");
      EXPECT_EQ(window.boxes[0].type, platform::kMbOk);
      EXPECT_NE(window.boxes[0].text.find(c.told), std::string::npos) << window.boxes[0].text;
      EXPECT_TRUE(window.IsVisible(SetupControl::FolderField)) << "the selection view stays";
      EXPECT_TRUE(window.IsVisible(SetupControl::InstallButton));
      EXPECT_FALSE(window.Ended());
      window.PressEscape();
    });
    EXPECT_EQ(files.CallCount(platform::MemoryFileSystem::Op::MakeFolder), 0u);
    EXPECT_EQ(setup->installFolder, "");
    EXPECT_FALSE(registry.KeyExists(std::string(kProduct2010) + "\\Applications"));
  }
  // The longest folder that fits is taken whole, and every file fits in it;
  // so does a share.
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, longest);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(dlg.folderPath, longest + "\\V-VidudOvev");
    EXPECT_EQ((dlg.folderPath + "\\VK_VidudOvev2010.ARX").size(), 259u);
    EXPECT_EQ(dlg.exitCode, SetupExit::Installed);
  });
  EXPECT_TRUE(files.Exists(longest + "\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
  // A share passes the check (the double models no network: its copy then fails).
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    window.answers = {platform::kIdAbort};
    Install(window, "\\\\server\\share");
    ASSERT_FALSE(window.boxes.empty());
    EXPECT_EQ(window.boxes[0].text.find("完整路径"), std::string::npos) << window.boxes[0].text;
    EXPECT_EQ(dlg.folderPath, "\\\\server\\share\\V-VidudOvev");
  });
}

TEST_F(InstallTest, FailedDataCopyClosesWithCancelAndRunsNoLaterStep) {
  // No package beside the program.
  files.SetModulePath("E:\\Elsewhere\\SetUp.exe");
  files.AddFile("E:\\Elsewhere\\SetUp.exe", "exe");
  int result = Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find("Data"), std::string::npos);
    EXPECT_TRUE(window.Ended());
    EXPECT_EQ(dlg.exitCode, SetupExit::PackageMissing);
  });
  EXPECT_EQ(result, platform::kIdCancel);
  EXPECT_EQ(setup->installFolder, "");
  EXPECT_FALSE(registry.KeyExists(std::string(kProduct2010) + "\\Applications"));

  // A copy that fails, answered with Abort.
  files.SetModulePath(kProgram);
  files.FailOn(platform::MemoryFileSystem::Op::Copy, "D:\\Tools", platform::FileError::AccessDenied);
  result = Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    window.answers = {platform::kIdAbort};
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].type, platform::kMbAbortRetryIgnore);
    EXPECT_TRUE(window.Ended());
    EXPECT_EQ(dlg.exitCode, SetupExit::CopyAborted);
  });
  EXPECT_EQ(result, platform::kIdCancel);
  EXPECT_EQ(setup->installFolder, "");
  EXPECT_FALSE(files.Exists(std::string(kAcad2010) + "\\Fonts\\Velkor_EN.shx"));
}

TEST_F(InstallTest, ProblemsOfTheStepsAreShownBeforeTheCompletionView) {
  registry.DenyWritesBelow("HKEY_LOCAL_MACHINE");
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    window.onBox = [&](const platform::ShownBox&) {
      EXPECT_FALSE(window.IsVisible(SetupControl::DoneMessage)) << "the notice comes first";
    };
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    const platform::ShownBox& notice = window.boxes[0];
    EXPECT_EQ(notice.caption, "V-软件安装");
    EXPECT_EQ(notice.type, platform::kMbOk);
    EXPECT_NE(notice.text.find("[2010]"), std::string::npos);
    EXPECT_NE(notice.text.find("Applications\\VK_VidudOvev2010"), std::string::npos);
    EXPECT_NE(notice.text.find("Applications\\Velkor2010DLLP"), std::string::npos);
    EXPECT_NE(notice.text.find("以管理员身份运行"), std::string::npos);
    // The product key's path ends in a backslash: one between it and the entry.
    EXPECT_EQ(notice.text.find("\\\\Applications"), std::string::npos) << notice.text;
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage)) << "the completion view follows";
    EXPECT_EQ(dlg.exitCode, SetupExit::InstalledWithProblems);
  });
}

// A package file the user let go after a failed copy is not installed: the
// notice lists it, and the run does not end as a clean install.
TEST_F(InstallTest, PackageFilesIgnoredAfterAFailureAreListed) {
  const std::string held = "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX";
  files.AddFolder("D:\\Tools\\V-VidudOvev");
  files.AddFile(held, "loaded");
  files.HoldOpen(held);
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    window.answers = {platform::kIdIgnore, platform::kIdOk};
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[0].type, platform::kMbAbortRetryIgnore);
    EXPECT_NE(window.boxes[1].text.find("文件未复制：" + held + "（错误 32）"), std::string::npos)
        << window.boxes[1].text;
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage));
    EXPECT_EQ(dlg.exitCode, SetupExit::InstalledWithProblems);
  });
  // The current user's trusted paths were still written.
  EXPECT_EQ(Text(kProfile, "TRUSTEDPATHS"), "D:\\Tools\\V-VidudOvev");
}

// What the scan and the trusted paths could not read is not passed over:
// an installation or a profile below it may have been missed.
TEST_F(InstallTest, KeysThatCannotBeReadAreToldAfterTheInstall) {
  const std::string english = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:409";
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + english + "]\n\"ProductName\"=\"AutoCAD 2010\"\n"));
  registry.FailOn(platform::MemoryRegistry::Op::QueryValue, english);
  const std::string profiles =
      "HKEY_CURRENT_USER\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles";
  registry.FailOn(platform::MemoryRegistry::Op::QuerySubKeyCount, profiles);
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    const std::string& text = window.boxes[0].text;
    EXPECT_NE(text.find("其下的AutoCAD可能未被找到：" + english + "\\AcadLocation（错误 5）"), std::string::npos) << text;
    EXPECT_NE(text.find("注册表未能读取，保持原样：" + profiles + "（错误 5）"), std::string::npos) << text;
    // Both values of the key, each once, though both searches pass it.
    std::size_t mentions = 0;
    for (std::size_t at = text.find(english); at != std::string::npos; at = text.find(english, at + 1)) ++mentions;
    EXPECT_EQ(mentions, 2u) << text;
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage));
  });
  EXPECT_EQ(Loader("VK_VidudOvev2010"), "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX") << "the rest is installed";
}

// A 64-bit Windows with 32-bit and 64-bit AutoCAD side by side. Each
// edition runs in the registry view its process gets there and serves
// exactly the AutoCAD that reads where it writes: the 32-bit edition, a
// 32-bit process, only the 32-bit releases below Wow6432Node.
TEST_F(InstallTest, EachEditionWritesWhereItsAutoCadReadsOnA64BitWindows) {
  using View = platform::MemoryRegistry::View;
  const std::string x86 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\";
  const std::string x64 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\";
  struct Product {
    int year;
    std::string key;
    std::string folder;
  };
  const Product x86_2008{2008, x86 + "R17.1\\ACAD-6001:804", "C:\\Program Files (x86)\\AutoCAD 2008"};
  const Product x86_2010{2010, x86 + "R18.0\\ACAD-8001:804", "C:\\Program Files (x86)\\AutoCAD 2010"};
  const Product x86_2012{2012, x86 + "R18.2\\ACAD-A001:804", "C:\\Program Files (x86)\\AutoCAD 2012"};
  const Product x64_2010{2010, x64 + "R18.0\\ACAD-8001:804", "C:\\Program Files\\AutoCAD 2010"};
  const Product x64_2014{2014, x64 + "R19.1\\ACAD-D001:804", "C:\\Program Files\\Autodesk\\AutoCAD 2014"};
  const Product x64_2020{2020, x64 + "R23.1\\ACAD-3001:804", "C:\\Program Files\\Autodesk\\AutoCAD 2020"};
  for (const Product* product : {&x86_2008, &x86_2010, &x86_2012, &x64_2010, &x64_2014, &x64_2020}) {
    files.AddFolder(product->folder + "\\Fonts");
  }
  struct Case {
    const char* name;
    View view;
    int bits;
    std::vector<int> offered;
    std::vector<const Product*> served;
    std::vector<const Product*> untouched;
    std::map<int, std::size_t> registered;  // catalogue entries per year
    std::string writesBelow;                // every value set in HKLM lies below this
    // Where the Programs and Features entry lands: in the process's own
    // view, which that list reads in both.
    std::string uninstallKey;
    const char* folder;  // each edition its own: their modules share names
    // Set: the machine as the 32-bit edition's install into this folder
    // left it, instead of a fresh one.
    const char* besideInstallIn = nullptr;
  };
  const Case cases[] = {
      // Both passes reach the one key of 32-bit 2008 and 2010: registered
      // twice, as the scan keeps it.
      {"32-bit edition, 32-bit view", View::Wow64, 32, {2008, 2010, 2012}, {&x86_2008, &x86_2010, &x86_2012},
       {&x64_2010, &x64_2014, &x64_2020}, {{2008, 2}, {2010, 2}, {2012, 1}, {2014, 0}, {2020, 0}},
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\V-VidudOvev",
       "D:\\Tools"},
      // The 64-bit edition's first pass takes 32-bit 2007..2010 too.
      {"64-bit edition, 64-bit view", View::Native64, 64, {2008, 2010, 2014, 2020},
       {&x86_2008, &x86_2010, &x64_2010, &x64_2014, &x64_2020}, {&x86_2012},
       {{2008, 1}, {2010, 2}, {2012, 0}, {2014, 1}, {2020, 1}}, "HKEY_LOCAL_MACHINE\\SOFTWARE\\",
       std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, "D:\\Tools64"},
      // Beside the 32-bit edition's install (the machine not reset): the
      // 32-bit 2008 and 2010 it serves stay its own, with its entries.
      {"64-bit edition beside the 32-bit one", View::Native64, 64, {2010, 2014, 2020},
       {&x64_2010, &x64_2014, &x64_2020}, {&x86_2008, &x86_2010, &x86_2012},
       {{2008, 0}, {2010, 1}, {2012, 0}, {2014, 1}, {2020, 1}}, "HKEY_LOCAL_MACHINE\\SOFTWARE\\",
       std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, "D:\\Tools64", "D:\\Tools"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    registry.SetView(View::Native64);  // the machine as 64-bit regedit imports it
    testing_support::LoadRegFixture(registry, "wow64_machine.reg");
    if (c.besideInstallIn) {
      registry.SetView(View::Wow64);
      Run([&](Dlg_Setup&, HeadlessDialog& window) {
        Install(window, c.besideInstallIn);
        window.Click(SetupControl::InstallDone);
      });
    }
    registry.SetView(c.view);
    registry.writes.clear();
    Run(
        [&](Dlg_Setup&, HeadlessDialog& window) {
          std::vector<int> offered;
          for (int k = 0; k < kReleaseCount; ++k) {
            const int id = kReleaseBoxIds[k];
            if (window.IsVisible(id) && window.IsEnabled(id) && window.GetCheck(id)) offered.push_back(kFirstYear + k);
          }
          EXPECT_EQ(offered, c.offered);
          for (const auto& [year, count] : c.registered) {
            EXPECT_EQ(setup->releaseKeys[year - kFirstYear].size(), count) << year;
          }
          Install(window, c.folder);
          EXPECT_TRUE(window.boxes.empty()) << window.boxes.front().text;
          window.Click(SetupControl::InstallDone);
        },
        c.bits);
    const std::string target = std::string(c.folder) + "\\V-VidudOvev";
    for (const Product* product : c.served) {
      SCOPED_TRACE(product->key);
      const std::string entries = product->key + "\\Applications\\";
      EXPECT_TRUE(registry.KeyExists(entries + "VK_VidudOvev" + std::to_string(product->year)));
      // The managed DLL is loaded from the AutoCAD folder of that very key.
      EXPECT_EQ(Text(entries + "Velkor" + std::to_string(product->year) + "DLLP", "LOADER").rfind(product->folder + "\\ACAD", 0), 0u);
    }
    for (const Product* product : c.untouched) {
      const std::string module = product->key + "\\Applications\\VK_VidudOvev" + std::to_string(product->year);
      EXPECT_EQ(Text(module, "LOADER").find(c.folder), std::string::npos) << module;
      EXPECT_EQ(registry.KeyExists(product->key + "\\Applications"), c.besideInstallIn != nullptr) << product->key;
    }
    for (const platform::MemoryRegistry::Write& write : registry.writes) {
      if (write.path.find("\\Uninstall\\V-VidudOvev") != std::string::npos) continue;
      if (write.op == platform::MemoryRegistry::Op::SetValue && write.path.rfind("HKEY_LOCAL_MACHINE", 0) == 0) {
        EXPECT_EQ(write.path.rfind(c.writesBelow, 0), 0u) << write.path;
      }
    }
    EXPECT_EQ(Text(c.uninstallKey, "DisplayIcon"), target + "\\Uninstall.exe");
    std::string bits;
    EXPECT_TRUE(registry.GetValue(c.uninstallKey, "EditionBits", nullptr, &bits));
    EXPECT_EQ(bits, std::string(1, static_cast<char>(c.bits)) + std::string(3, '\0')) << "which edition's entry";
    EXPECT_EQ(registry.KeyExists(std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey), c.view == View::Native64);
    EXPECT_EQ(Text(kProfile, "TRUSTEDPATHS"),
              c.besideInstallIn ? platform::ToUpper(std::string(c.besideInstallIn) + "\\V-VidudOvev;" + target) : target)
        << "HKCU is shared (a list appended to is kept upper-cased)";
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
  }
  // The 64-bit edition into the 32-bit one's folder would overwrite its
  // modules of the same names: refused, nothing written.
  registry.writes.clear();
  Run(
      [&](Dlg_Setup&, HeadlessDialog& window) {
        Install(window, "D:\\Tools\\");
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_NE(window.boxes[0].text.find("32位 AutoCAD版已安装在此文件夹中"), std::string::npos) << window.boxes[0].text;
        window.PressEscape();
      },
      64);
  EXPECT_TRUE(registry.writes.empty()) << registry.writes.front().path;
}

// An installation met by both passes is served twice; what fails there
// fails twice the same way, and is told once.
TEST_F(InstallTest, AProblemMetTwiceIsToldOnce) {
  files.AddFolder("C:\\Program Files (x86)\\AutoCAD 2010\\Fonts");
  testing_support::LoadRegFixture(registry, "wow64_machine.reg");
  registry.SetView(platform::MemoryRegistry::View::Wow64);
  files.FailOn(platform::MemoryFileSystem::Op::Copy, "C:\\Program Files (x86)\\AutoCAD 2010");
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    window.SetCheck(kReleaseBoxIds[2008 - kFirstYear], 0);
    window.SetCheck(kReleaseBoxIds[2012 - kFirstYear], 0);
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    const std::string& text = window.boxes[0].text;
    const std::string font = "文件未复制：C:\\Program Files (x86)\\AutoCAD 2010\\Fonts\\Velkor_EN.shx";
    const std::string dll = "文件未复制：C:\\Program Files (x86)\\AutoCAD 2010\\ACAD2010P.dll";
    for (const std::string& line : {font, dll}) {
      std::size_t mentions = 0;
      for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++mentions;
      EXPECT_EQ(mentions, 1u) << text;
    }
    EXPECT_NE(text.find("以下 2 项"), std::string::npos) << text;
    EXPECT_EQ(dlg.installProblems.size(), 4u) << "each copy was tried for both registrations";
  });
}

// "Run as administrator" on a standard account: the program runs as the
// administrator, whose HKEY_CURRENT_USER and APPDATA these are. The desktop
// user's AutoCAD gets the trusted paths and the settings file; the
// machine-wide parts go where they always go.
const platform::Account kAdministrator{"S-1-5-21-1004336348-1177238915-682003330-500", "CAD-PC\\Administrator"};
const platform::Account kDesktopUser{testing_support::kDesktopUserSid, "CAD-PC\\bob"};
const std::string kDesktopProfile = std::string("HKEY_USERS\\") + testing_support::kDesktopUserSid +
                                    "\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles\\";

TEST_F(InstallTest, RaisedOnAnotherAccountsDesktopServesThatAccount) {
  testing_support::LoadRegFixture(registry, "desktop_user.reg");
  files.SetEnvironment("SystemDrive", "C:");
  files.AddFolder(testing_support::kDesktopUserFolder);
  accounts.RunAsAdministrator(kAdministrator, kDesktopUser);
  registry.writes.clear();
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage));
  });
  EXPECT_EQ(Text(kDesktopProfile + "<<Unnamed Profile>>\\Variables", "TRUSTEDPATHS"),
            "E:\\BOB\\LISP;D:\\TOOLS\\V-VIDUDOVEV");
  EXPECT_EQ(Text(kDesktopProfile + "Plot\\Variables", "TRUSTEDPATHS"), "D:\\Tools\\V-VidudOvev");
  EXPECT_TRUE(files.Exists(std::string(testing_support::kDesktopUserFolder) + "\\Velkor\\Velkor.Ini"));
  // Nothing of it in the running account's own places.
  EXPECT_EQ(Text(kProfile, "TRUSTEDPATHS"), "");
  EXPECT_FALSE(files.Exists("C:\\Users\\cad\\AppData\\Roaming\\Velkor"));
  for (const platform::MemoryRegistry::Write& write : registry.writes) {
    EXPECT_NE(write.path.rfind("HKEY_CURRENT_USER", 0), 0u) << write.path;
  }
  EXPECT_EQ(Loader("VK_VidudOvev2010"), "D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX");
  EXPECT_TRUE(files.Exists("D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
  EXPECT_TRUE(files.Exists(std::string(kAcad2010) + "\\Fonts\\Velkor_EN.shx"));
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// The desktop user's hive is not there to write to, or the desktop's owner
// cannot be read: said before anything is made, naming both accounts,
// rather than served to the wrong one.
TEST_F(InstallTest, AnotherAccountsDesktopThatCannotBeReachedIsToldAndNothingInstalled) {
  accounts.RunAsAdministrator(kAdministrator, kDesktopUser);
  registry.writes.clear();
  for (const platform::DesktopLookup lookup : {platform::DesktopLookup::Found, platform::DesktopLookup::Unreadable}) {
    accounts.desktopLookup = lookup;
    Run([&](Dlg_Setup&, HeadlessDialog& window) {
      Install(window, "D:\\Tools");
      ASSERT_EQ(window.boxes.size(), 1u);
      const std::string& text = window.boxes[0].text;
      EXPECT_EQ(window.boxes[0].caption, "V-软件安装");
      EXPECT_EQ(window.boxes[0].type, platform::kMbOk);
      EXPECT_NE(text.find("正以帐户 CAD-PC\\Administrator 运行"), std::string::npos) << text;
      const bool known = lookup == platform::DesktopLookup::Found;
      EXPECT_NE(text.find(known ? "桌面的帐户是 CAD-PC\\bob。" : "桌面的帐户是 （无法确定）。"), std::string::npos)
          << text;
      EXPECT_NE(text.find("未安装任何内容"), std::string::npos);
      EXPECT_TRUE(window.IsVisible(SetupControl::InstallButton)) << "the selection view stays";
      EXPECT_FALSE(window.Ended());
      window.PressEscape();
    });
  }
  EXPECT_EQ(files.CallCount(platform::MemoryFileSystem::Op::MakeFolder), 0u);
  EXPECT_EQ(files.CallCount(platform::MemoryFileSystem::Op::Copy), 0u);
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_EQ(setup->installFolder, "");
}

// Raised on its own desktop (an administrator's "Run as administrator"), or
// with no desktop shell at all: the running account's places, as ever.
TEST_F(InstallTest, RaisedOnItsOwnDesktopServesItsOwnAccount) {
  testing_support::LoadRegFixture(registry, "desktop_user.reg");
  for (const platform::DesktopLookup lookup : {platform::DesktopLookup::Found, platform::DesktopLookup::NoShell}) {
    accounts.elevated = true;
    accounts.desktopLookup = lookup;
    Run([&](Dlg_Setup&, HeadlessDialog& window) {
      Install(window, "D:\\Tools");
      EXPECT_TRUE(window.boxes.empty());
    });
    // The second install finds the folder listed and upper-cases the list.
    EXPECT_EQ(Text(kProfile, "TRUSTEDPATHS"), lookup == platform::DesktopLookup::Found ? "D:\\Tools\\V-VidudOvev"
                                                                                      : "D:\\TOOLS\\V-VIDUDOVEV");
    EXPECT_TRUE(files.Exists("C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini"));
    EXPECT_EQ(Text(kDesktopProfile + "<<Unnamed Profile>>\\Variables", "TRUSTEDPATHS"), "e:\\bob\\lisp");
    EXPECT_FALSE(files.Exists(std::string(testing_support::kDesktopUserFolder) + "\\Velkor"));
  }
}

TEST(ProblemsNotice, ListsAScreenfulAndCountsTheRest) {
  EXPECT_EQ(DescribeProblems({}), "");
  SetupProblems problems;
  for (int i = 0; i < 20; ++i) {
    problems.push_back({SetupProblem::FileCopy, 2010, "C:\\CAD\\f" + std::to_string(i) + ".dll", "src", 32});
  }
  const std::string text = DescribeProblems(problems);
  EXPECT_NE(text.find("20 项"), std::string::npos);
  EXPECT_NE(text.find("f11.dll"), std::string::npos);
  EXPECT_EQ(text.find("f12.dll"), std::string::npos);
  EXPECT_NE(text.find("另有 8 项"), std::string::npos);
  EXPECT_NE(text.find("请先关闭AutoCAD"), std::string::npos) << "in use: close AutoCAD";
  EXPECT_EQ(text.find("管理员"), std::string::npos) << "no access was denied";
  // Denied access: advice for an administrator's account and a standard one.
  const std::string denied = DescribeProblems({{SetupProblem::RegistryWrite, 2010, "HKEY_LOCAL_MACHINE\\X", "", 5}});
  EXPECT_NE(denied.find("管理员帐户：请右键单击SetUp.exe，选择“以管理员身份运行”"), std::string::npos) << denied;
  EXPECT_NE(denied.find("标准用户帐户："), std::string::npos) << denied;
  const std::string tooLong = DescribeProblems({{SetupProblem::TextTooLong, 0, "C:\\x", "", 0}});
  // The same problem twice is one line and one item; the same place with
  // another error is another.
  const SetupProblem copy{SetupProblem::FileCopy, 2010, "C:\\CAD\\a.dll", "src", 5};
  SetupProblem other = copy;
  other.error = 32;
  const std::string twice = platform::PlainMessageText(DescribeProblems({copy, copy, other}));
  EXPECT_NE(twice.find("以下 2 项"), std::string::npos) << twice;
  EXPECT_EQ(twice.find("a.dll"), twice.rfind("a.dll（错误 5）")) << twice;
  EXPECT_NE(tooLong.find("路径过长"), std::string::npos);
  EXPECT_EQ(tooLong.find("["), std::string::npos) << "no release";
}

// Browsing.
TEST_F(InstallTest, BrowserOpensAtTheFieldThenAtThePreviousPick) {
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    shell.answer = MemoryShell::Answer::PickFolder;
    shell.pickedFolder = "D:\\Plot";
    ASSERT_TRUE(window.Click(SetupControl::BrowseButton));
    EXPECT_EQ(shell.lastSelection, "C:\\Velkor") << "the field's folder at start";
    EXPECT_TRUE(shell.lastSelectionByPath);
    EXPECT_EQ(shell.callbackResult, 0);
    EXPECT_EQ(shell.lastInfo.flags, 0x71u);
    EXPECT_EQ(shell.lastInfo.title, "请选择安装目录：");
    EXPECT_EQ(shell.lastInfo.owner, &window);
    EXPECT_TRUE(shell.lastHadDisplayBuffer && shell.lastDisplayBufferZeroed);
    EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "D:\\Plot");
    EXPECT_EQ(shell.LiveItems(), 0u) << "the item is released";

    // The field emptied: the browser opens at the previous pick.
    window.TypeText(SetupControl::FolderField, "");
    shell.answer = MemoryShell::Answer::Cancel;
    window.Click(SetupControl::BrowseButton);
    EXPECT_EQ(shell.lastSelection, "D:\\Plot");
    EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "") << "cancel leaves it";
    EXPECT_EQ(dlg.folderPath, "");

    // A pick without a file-system path counts as cancelled; its item is
    // still released.
    window.TypeText(SetupControl::FolderField, "D:\\Keep");
    shell.answer = MemoryShell::Answer::PickVirtualItem;
    window.Click(SetupControl::BrowseButton);
    EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "D:\\Keep");
    EXPECT_EQ(shell.LiveItems(), 0u);
    EXPECT_EQ(lastBrowse, "D:\\Keep");

    // A drive root keeps its backslash; the install removes it.
    shell.answer = MemoryShell::Answer::PickFolder;
    shell.pickedFolder = "D:\\";
    window.Click(SetupControl::BrowseButton);
    EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "D:\\");
    window.Click(SetupControl::InstallButton);
    EXPECT_EQ(dlg.folderPath, "D:\\V-VidudOvev");
  });
}

TEST_F(InstallTest, FirstBrowseWithAnEmptyFieldHasNoPreselection) {
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
    window.TypeText(SetupControl::FolderField, "");
    window.Click(SetupControl::BrowseButton);
    EXPECT_EQ(shell.lastSelection, "");
  });
}

TEST_F(InstallTest, BrowsingReEvaluatesTheInstallButtonFromTheBoxes) {
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    const int id2010 = kReleaseBoxIds[2010 - kFirstYear];
    // The check mark changes without a click reaching the dialog.
    window.SetCheck(id2010, 0);
    EXPECT_TRUE(window.IsEnabled(SetupControl::InstallButton));
    window.Click(SetupControl::BrowseButton);
    EXPECT_FALSE(window.IsEnabled(SetupControl::InstallButton));
    EXPECT_EQ(dlg.selectionFlags[2010 - kFirstYear], 0);
  });
}

}  // namespace

// ---- The uninstall, after installs driven through the dialog ----

namespace {

const char kSettings[] = "C:\\Users\\cad\\AppData\\Roaming\\Velkor";
const char kAcad2008[] = "C:\\Program Files\\AutoCAD 2008";

struct UndoScene {
  platform::MemoryRegistry& registry;
  platform::MemoryFileSystem& files;
};

// One scenario: the machine before the first install, the fields the
// installs are given, what happens after them, and the record folders
// uninstalled in turn. `identical`: the last uninstall leaves the machine
// as before the installs, the settings file aside.
struct UndoCase {
  const char* name;
  std::function<void(UndoScene&)> before;
  std::vector<std::string> installs;
  std::function<void(UndoScene&)> between;
  std::vector<std::string> uninstalls;
  int exitCode;
  bool identical;
  std::function<void(UndoScene&, const UninstallResult&)> check;
};

// What the other half of the install leaves: the uninstaller beside the
// record, the Programs and Features entry naming it, and its record line.
void AddUninstallEntry(UndoScene& scene, const std::string& recordFolder) {
  scene.files.AddFile(recordFolder + "\\Uninstall.exe", "exe");
  platform::RegKey key = platform::kNoKey;
  ASSERT_EQ(scene.registry.CreateKey(platform::kLocalMachine, kUninstallKey, &key), platform::RegResult::Success);
  const std::string command = "\"" + recordFolder + "\\Uninstall.exe\" /uninstall";
  scene.registry.SetValue(key, "UninstallString", platform::RegType::String,
                          reinterpret_cast<const unsigned char*>(command.c_str()),
                          static_cast<unsigned long>(command.size() + 1));
  scene.registry.CloseKey(key);
  CInstallRecord record(scene.files);
  record.Open(recordFolder);
  record.NoteUninstallEntry("HKLM", kUninstallKey);
}

std::string Target(const std::string& field) { return field + "\\V-VidudOvev"; }

class UndoTest : public InstallTest, public ::testing::WithParamInterface<UndoCase> {
 protected:
  UndoTest() {
    // The folders typed into the field are the user's; only the sub-folder is the install's.
    files.AddFolder("D:\\Tools");
    files.AddFolder("E:\\Other");
    platform::RegKey key = platform::kNoKey;
    registry.CreateKey(platform::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", &key);
    registry.CloseKey(key);
  }
  UninstallResult Uninstall(const std::string& recordFolder) {
    CUninstall uninstall(registry, files);
    const std::string program = recordFolder + "\\Uninstall.exe";
    UninstallResult result = uninstall.Run(recordFolder, program);
    // What the program does after: the uninstaller goes, then its folders.
    if (result.left.empty() && files.Exists(program)) {
      EXPECT_TRUE(files.Remove(program));
      for (const std::string& folder : result.foldersAfterProgram) EXPECT_TRUE(files.RemoveFolder(folder)) << folder;
    }
    return result;
  }
  UndoScene scene{registry, files};
};

// Adds to the record of the install in D:\Tools what someone who can
// write it would, and writes it out.
void PlantInRecord(UndoScene& scene, const std::function<void(CInstallRecord&)>& plant) {
  CInstallRecord record(scene.files);
  record.Open(Target("D:\\Tools"));
  plant(record);
  if (record.installFolder.empty()) record.NoteInstallFolder(Target("D:\\Tools"));
  // The journal holds what was noted; the planted items go out with a
  // whole rewrite.
  EXPECT_TRUE(record.Rewrite()) << "the planted record was not written";
}

// Exactly `places` were left, each as outside the uninstall's places.
void ExpectOnlyOutside(const UninstallResult& result, const std::vector<std::string>& places) {
  std::vector<std::string> left;
  for (const UninstallLeft& item : result.left) {
    EXPECT_EQ(item.reason, UninstallLeft::Outside) << item.place;
    left.push_back(item.place);
  }
  EXPECT_EQ(left, places);
}

std::string Read(platform::MemoryFileSystem& files, const std::string& path) {
  std::string content;
  return files.ReadFile(path, &content) ? content : "<missing>";
}

std::string TrustedPaths(const platform::MemoryRegistry& registry) {
  std::string data;
  if (!registry.GetValue(kProfile, "TRUSTEDPATHS", nullptr, &data)) return "<missing>";
  return data;
}

const UndoCase kUndoCases[] = {
    {"OneInstall", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) { AddUninstallEntry(scene, Target("D:\\Tools")); }, {Target("D:\\Tools")},
     SetupExit::Installed, true,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(result.filesRemoved, 4);  // two package files, two support files
       EXPECT_EQ(result.loadersRemoved, 2);
       EXPECT_EQ(result.trustedRestored, 1);
       EXPECT_TRUE(result.entryRemoved);
       EXPECT_EQ(result.settingsFile, std::string(kSettings) + "\\Velkor.Ini");
       EXPECT_EQ(result.foldersAfterProgram, std::vector<std::string>{Target("D:\\Tools")});
       EXPECT_EQ(Read(scene.files, result.settingsFile), "Velkor.Ini") << "the user's settings stay";
       const std::string text = platform::PlainMessageText(DescribeUninstall(result));
       EXPECT_NE(text.find("卸载已完成。"), std::string::npos) << text;
       EXPECT_NE(text.find("文件 4 个"), std::string::npos) << text;
       EXPECT_NE(text.find("用户设置文件已保留：C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini"),
                 std::string::npos) << text;
     }},
    {"TwoInstallsIntoOneFolder", nullptr, {"D:\\Tools", "D:\\Tools"},
     [](UndoScene& scene) { AddUninstallEntry(scene, Target("D:\\Tools")); }, {Target("D:\\Tools")},
     SetupExit::Installed, true, nullptr},
    // An install into another folder moves the install: the earlier
    // folder's files, its record and its uninstaller go, the kept
    // originals come back and are kept again, and the one uninstall left
    // then leaves the machine as before.
    {"AnInstallIntoAnotherFolderMovesTheEarlierOne", nullptr, {"D:\\Tools", "E:\\Other"},
     [](UndoScene& scene) {
       EXPECT_FALSE(scene.files.Exists(Target("D:\\Tools"))) << "the earlier install's folder stays";
       AddUninstallEntry(scene, Target("E:\\Other"));
     },
     {Target("E:\\Other")}, SetupExit::Installed, true, nullptr},
    // The earlier folder has nothing left to uninstall; the install in the
    // later one owns AutoCAD's entries and the files in its folders, and
    // keeps working.
    {"TheFolderMovedFromHasNothingLeft", nullptr, {"D:\\Tools", "E:\\Other"},
     [](UndoScene& scene) { AddUninstallEntry(scene, Target("E:\\Other")); }, {Target("D:\\Tools")},
     SetupExit::NothingToRemove, false,
     [](UndoScene& scene, const UninstallResult&) {
       EXPECT_FALSE(scene.files.Exists(Target("D:\\Tools")));
       EXPECT_TRUE(scene.files.Exists(Target("E:\\Other") + "\\VK_VidudOvev2010.ARX"));
       EXPECT_TRUE(scene.files.Exists(std::string(kAcad2010) + "\\ACAD2010P.dll"));
       std::string loader;
       scene.registry.GetValue(std::string(kProduct2010) + "\\Applications\\VK_VidudOvev2010", "LOADER", nullptr,
                               &loader);
       EXPECT_EQ(loader, Target("E:\\Other") + "\\VK_VidudOvev2010.ARX" + '\0');
       EXPECT_TRUE(scene.registry.KeyExists(std::string(kProduct2010) + "\\Applications\\Velkor2010DLLP"));
       EXPECT_EQ(TrustedPaths(scene.registry), Target("E:\\Other") + '\0');
       EXPECT_TRUE(scene.registry.KeyExists(std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey));
     }},
    {"UserEditsTrustedPaths", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       std::string error;
       ASSERT_TRUE(platform::ImportRegText(scene.registry, std::string("REGEDIT4\n[") + kProfile +
                                               "]\n\"TRUSTEDPATHS\"=\"c:\\\\mine;d:\\\\tools\\\\v-vidudovev\\\\;e:\\\\图纸\"\n",
                                           &error)) << error;
     },
     {Target("D:\\Tools")}, SetupExit::Installed, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(result.trustedRestored, 1);
       EXPECT_EQ(TrustedPaths(scene.registry), std::string("c:\\mine;e:\\图纸") + '\0') << "the rest byte for byte";
     }},
    {"SupportFileReplacedAfterTheInstall", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       AddUninstallEntry(scene, Target("D:\\Tools"));
       scene.files.AddFile(std::string(kAcad2010) + "\\ACAD2010P.dll", "another add-on's");
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       ASSERT_EQ(result.left.size(), 1u);
       EXPECT_EQ(result.left[0].reason, UninstallLeft::Changed);
       EXPECT_EQ(result.left[0].place, std::string(kAcad2010) + "\\ACAD2010P.dll");
       EXPECT_EQ(Read(scene.files, result.left[0].place), "another add-on's");
       EXPECT_FALSE(result.entryRemoved) << "kept, so that the uninstall can run again";
       EXPECT_TRUE(result.foldersAfterProgram.empty());
       CInstallRecord record(scene.files);
       record.Open(Target("D:\\Tools"));
       // Only what is left, and the uninstaller that runs it again.
       ASSERT_EQ(record.files.size(), 2u);
       EXPECT_EQ(record.files[0].path, result.left[0].place);
       EXPECT_EQ(record.files[1].path, Target("D:\\Tools") + "\\Uninstall.exe");
       EXPECT_TRUE(record.loaders.empty());
       EXPECT_TRUE(record.trusted.empty());
       EXPECT_EQ(record.entryRoot, "HKLM");
       const std::string text = platform::PlainMessageText(DescribeUninstall(result));
       EXPECT_NE(text.find("以下 1 项未能删除"), std::string::npos) << text;
       EXPECT_NE(text.find("安装后已被修改，保留原样：C:\\Program Files\\AutoCAD 2010\\ACAD2010P.dll"),
                 std::string::npos) << text;
     }},
    // A record someone else wrote (into a folder they made first) lists
    // system files with their right hashes, and a "kept original" of theirs
    // to put back over one: neither is touched.
    {"ARecordNamingFilesTheInstallNeverWritesTouchesNone", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.files.AddFile("C:\\Windows\\System32\\victim.dll", "system");
       scene.files.AddFile("C:\\Windows\\System32\\other.dll", "system too");
       scene.files.AddFile("E:\\Other\\evil.dll", "evil");
       CInstallRecord record(scene.files);
       record.Open(Target("D:\\Tools"));
       record.backups.push_back({"C:\\Windows\\System32\\other.dll", "E:\\Other\\evil.dll", "4",
                                 "0000000000000000"});
       record.NoteFile("C:\\Windows\\System32\\victim.dll");
       ASSERT_TRUE(record.Rewrite()) << "the planted backup line written too";
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(Read(scene.files, "C:\\Windows\\System32\\victim.dll"), "system");
       EXPECT_EQ(Read(scene.files, "C:\\Windows\\System32\\other.dll"), "system too");
       EXPECT_EQ(Read(scene.files, "E:\\Other\\evil.dll"), "evil");
       std::size_t notPlaced = 0;
       for (const UninstallLeft& left : result.left) notPlaced += left.reason == UninstallLeft::Outside;
       EXPECT_EQ(notPlaced, 2u);
       EXPECT_FALSE(scene.files.Exists(Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX")) << "ours still go";
     }},
    // A standard user's attacks on an elevated uninstall, each through a
    // record it wrote or changed: the place named is left as it is, told
    // as outside, and what is the install's own still goes.
    {"HostileDotDotClimbsOutOfTheInstallFolder", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.files.AddFile("D:\\Windows\\System32\\drivers\\etc\\hosts", "127.0.0.1 localhost");
       PlantInRecord(scene, [](CInstallRecord& record) {
         record.NoteFile(Target("D:\\Tools") + "\\..\\..\\Windows\\System32\\drivers\\etc\\hosts");
       });
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(Read(scene.files, "D:\\Windows\\System32\\drivers\\etc\\hosts"), "127.0.0.1 localhost");
       ExpectOnlyOutside(result, {Target("D:\\Tools") + "\\..\\..\\Windows\\System32\\drivers\\etc\\hosts"});
       EXPECT_FALSE(scene.files.Exists(Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX")) << "ours still go";
     }},
    {"HostileItextsharpInAFolderNoScanFinds", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.files.AddFile("E:\\Other\\Viewer\\itextsharp.dll", "another program's");
       PlantInRecord(scene, [](CInstallRecord& record) { record.NoteFile("E:\\Other\\Viewer\\itextsharp.dll"); });
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(Read(scene.files, "E:\\Other\\Viewer\\itextsharp.dll"), "another program's");
       ExpectOnlyOutside(result, {"E:\\Other\\Viewer\\itextsharp.dll"});
       EXPECT_FALSE(scene.files.Exists(std::string(kAcad2010) + "\\itextsharp.dll")) << "the scanned AutoCAD's goes";
     }},
    {"HostileRestoreIntoSystem32", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.files.AddFolder("C:\\Windows\\System32");
       scene.files.AddFile(Target("D:\\Tools") + "\\backup\\1_version.dll", "attacker's");
       PlantInRecord(scene, [](CInstallRecord& record) {
         record.backups.push_back({"C:\\Windows\\System32\\version.dll", Target("D:\\Tools") + "\\backup\\1_version.dll",
                                   "10", platform::ToLower(platform::HexNumber(Fnv1a64("attacker's"), 16))});
       });
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_FALSE(scene.files.Exists("C:\\Windows\\System32\\version.dll")) << "nothing put into System32";
       EXPECT_EQ(Read(scene.files, Target("D:\\Tools") + "\\backup\\1_version.dll"), "attacker's");
       ExpectOnlyOutside(result, {"C:\\Windows\\System32\\version.dll"});
     }},
    {"HostilePolicyKeyWithoutALoader", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       std::string error;
       ASSERT_TRUE(platform::ImportRegText(scene.registry,
                                           "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\System]\n"
                                           "\"EnableSmartScreen\"=dword:00000001\n",
                                           &error)) << error;
       PlantInRecord(scene, [](CInstallRecord& record) {
         record.NoteLoader("HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows", "System",
                           Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX");
       });
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_TRUE(scene.registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\System"));
       ExpectOnlyOutside(result, {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\System"});
       EXPECT_EQ(result.loadersRemoved, 2) << "AutoCAD's own entries of the install still go";
     }},
    {"HostileEmptyFolderUnderProgramFiles", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.files.AddFolder("C:\\Program Files\\Common Files\\Shared");
       PlantInRecord(scene, [](CInstallRecord& record) { record.NoteMadeFolder("C:\\Program Files\\Common Files\\Shared"); });
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_TRUE(scene.files.Exists("C:\\Program Files\\Common Files\\Shared"));
       ExpectOnlyOutside(result, {"C:\\Program Files\\Common Files\\Shared"});
     }},
    // A record beside the uninstaller names another install folder, one
    // neither its own folder nor the entry agrees on: nothing of that
    // folder is touched, nor the entries and lists naming it.
    {"HostileInstallFolderNoOneAgreesOn", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.files.AddFile("E:\\Other\\V-VidudOvev\\VK_VidudOvev2010.ARX", "VK_VidudOvev2010.ARX");
       PlantInRecord(scene, [](CInstallRecord& record) {
         record.NoteFile("E:\\Other\\V-VidudOvev\\VK_VidudOvev2010.ARX");
         record.installFolder = "E:\\Other\\V-VidudOvev";
       });
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(Read(scene.files, "E:\\Other\\V-VidudOvev\\VK_VidudOvev2010.ARX"), "VK_VidudOvev2010.ARX");
       ASSERT_FALSE(result.left.empty());
       for (const UninstallLeft& left : result.left) EXPECT_EQ(left.reason, UninstallLeft::Outside) << left.place;
       EXPECT_EQ(result.trustedRestored, 0);
     }},
    // A junction in an AutoCAD folder: nothing below it is deleted or
    // restored, whatever it points at.
    {"HostileLinkInTheAutoCadFolder", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) { scene.files.MarkReparsePoint(std::string(kAcad2010) + "\\Fonts"); },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_TRUE(scene.files.Exists(std::string(kAcad2010) + "\\Fonts\\Velkor_EN.shx"));
       ExpectOnlyOutside(result, {std::string(kAcad2010) + "\\Fonts\\Velkor_EN.shx"});
     }},
    {"PreExistingFilesRestored",
     [](UndoScene& scene) {
       std::string error;
       ASSERT_TRUE(platform::ImportRegText(
           scene.registry,
           "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1\\ACAD-6001:804]\n"
           "\"AcadLocation\"=\"C:\\\\Program Files\\\\AutoCAD 2008\"\n\"ProductName\"=\"AutoCAD 2008\"\n",
           &error)) << error;
       scene.files.AddFolder(std::string(kAcad2008) + "\\Fonts");
       scene.files.AddFile(std::string(kAcad2008) + "\\Drv\\pdfplot9.hdi", "the AutoCAD driver",
                           platform::kAttrArchive);
       scene.files.AddFile(std::string(kAcad2008) + "\\itextsharp.dll", "another add-on's itextsharp");
       for (const char* name : {"itextsharp.dll", "Velkor.prt5", "VK_VidudOvev2008.ARX", "ACAD2007P.dll"}) {
         scene.files.AddFile(std::string(kData) + "\\" + name, name);
       }
     },
     {"D:\\Tools"},
     [](UndoScene& scene) {
       // Replaced by the install, and kept.
       EXPECT_EQ(Read(scene.files, std::string(kAcad2008) + "\\itextsharp.dll"), "itextsharp.dll");
       EXPECT_EQ(Read(scene.files, std::string(kAcad2008) + "\\Drv\\pdfplot9.hdi"), "Velkor.prt5");
       EXPECT_EQ(scene.files.Names(Target("D:\\Tools") + "\\backup"),
                 (std::vector<std::string>{"1_itextsharp.dll", "1_pdfplot9.hdi"}));
     },
     {Target("D:\\Tools")}, SetupExit::Installed, true,
     [](UndoScene&, const UninstallResult& result) { EXPECT_EQ(result.originalsRestored, 2); }},
    {"InstallAbortedHalfway",
     [](UndoScene& scene) {
       scene.files.FailOn(platform::MemoryFileSystem::Op::Copy, Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX");
     },
     {"D:\\Tools"}, nullptr, {Target("D:\\Tools")}, SetupExit::Installed, true,
     [](UndoScene&, const UninstallResult& result) { EXPECT_EQ(result.filesRemoved, 1); }},
    {"ALockedFileIsLeftAndTheRecordKeepsIt", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       AddUninstallEntry(scene, Target("D:\\Tools"));
       scene.files.HoldOpen(Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX");
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, true,
     [](UndoScene& scene, const UninstallResult& result) {
       ASSERT_EQ(result.left.size(), 1u);
       EXPECT_EQ(result.left[0].reason, UninstallLeft::Failed);
       EXPECT_EQ(result.left[0].error, platform::FileError::SharingViolation);
       const std::string text = platform::PlainMessageText(DescribeUninstall(result));
       EXPECT_NE(text.find("请先关闭AutoCAD"), std::string::npos) << text;
       // Run again once the file is free: the rest goes.
       scene.files.Release(Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX");
       const std::string program = Target("D:\\Tools") + "\\Uninstall.exe";
       const UninstallResult again = CUninstall(scene.registry, scene.files).Run(Target("D:\\Tools"), program);
       EXPECT_TRUE(again.left.empty());
       EXPECT_EQ(again.filesRemoved, 1);
       EXPECT_TRUE(again.entryRemoved);
       EXPECT_EQ(UninstallExitCode(again), SetupExit::Installed);
       ASSERT_EQ(again.foldersAfterProgram, std::vector<std::string>{Target("D:\\Tools")});
       EXPECT_TRUE(scene.files.Remove(program));
       EXPECT_TRUE(scene.files.RemoveFolder(Target("D:\\Tools")));
     }},
    {"ADeniedKeyIsLeftAndTheRecordKeepsIt", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       scene.registry.FailOn(platform::MemoryRegistry::Op::DeleteKey,
                             std::string(kProduct2010) + "\\Applications\\VK_VidudOvev2010");
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       ASSERT_EQ(result.left.size(), 1u);
       EXPECT_EQ(result.left[0].place, std::string(kProduct2010) + "\\Applications\\VK_VidudOvev2010");
       EXPECT_EQ(result.left[0].error, platform::RegResult::AccessDenied);
       EXPECT_EQ(result.loadersRemoved, 1);
       CInstallRecord record(scene.files);
       record.Open(Target("D:\\Tools"));
       ASSERT_EQ(record.loaders.size(), 1u);
       EXPECT_EQ(record.loaders[0].subKey, "Applications\\VK_VidudOvev2010");
       ASSERT_EQ(record.files.size(), 1u);
       EXPECT_EQ(record.files[0].path, Target("D:\\Tools") + "\\Uninstall.exe");
       EXPECT_EQ(scene.files.Names(Target("D:\\Tools")),
                 (std::vector<std::string>{"install_record.txt", "Uninstall.exe"}));
     }},
    // AutoCAD's own Applications key, there and empty before the install,
    // is not the install's to take; the one the install makes is.
    {"AnEmptyApplicationsKeyThatWasThereStays",
     [](UndoScene& scene) {
       std::string error;
       ASSERT_TRUE(platform::ImportRegText(scene.registry,
                                           std::string("REGEDIT4\n[") + kProduct2010 + "\\Applications]\n", &error))
           << error;
     },
     {"D:\\Tools"}, [](UndoScene& scene) { AddUninstallEntry(scene, Target("D:\\Tools")); }, {Target("D:\\Tools")},
     SetupExit::Installed, true,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_EQ(result.loadersRemoved, 2);
       EXPECT_TRUE(scene.registry.KeyExists(std::string(kProduct2010) + "\\Applications"));
     }},
    // Power lost while the last item was appended: that item is dropped,
    // and no wider removal follows from what is left of its line (a cut
    // "made C:\Velkor" reads "made C:\Vel", an unrelated empty folder).
    {"ATornLastLineLosesOnlyItsItem", [](UndoScene& scene) { scene.files.AddFolder("C:\\Vel"); }, {"D:\\Tools"},
     [](UndoScene& scene) {
       AddUninstallEntry(scene, Target("D:\\Tools"));
       ASSERT_TRUE(scene.files.AppendBytes(Target("D:\\Tools") + "\\install_record.txt", "made\tC:\\\\Vel", nullptr));
       // And a whole-record write that stopped before its move.
       scene.files.AddFile(Target("D:\\Tools") + "\\install_record.new", "VidudOvev install record 2\nfi");
     },
     {Target("D:\\Tools")}, SetupExit::Installed, true,
     [](UndoScene& scene, const UninstallResult& result) {
       EXPECT_TRUE(scene.files.Exists("C:\\Vel")) << "the folder the torn line names stays";
       EXPECT_EQ(result.filesRemoved, 4);
     }},
    // A line in the middle that is not whole was not cut by a power loss:
    // the record is refused and nothing is removed.
    {"AMangledLineInTheMiddleRefusesTheRecord", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       const std::string path = Target("D:\\Tools") + "\\install_record.txt";
       std::string text;
       ASSERT_TRUE(scene.files.ReadFile(path, &text));
       const std::size_t second = text.find('\n', text.find('\n') + 1) + 1;
       text[second + 8] ^= 0x01;
       scene.files.AddFile(path, text);
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, false,
     [](UndoScene& scene, const UninstallResult& result) {
       ASSERT_EQ(result.left.size(), 1u);
       EXPECT_EQ(result.left[0].reason, UninstallLeft::Unreadable);
       EXPECT_EQ(result.filesRemoved + result.loadersRemoved + result.trustedRestored, 0);
       EXPECT_TRUE(scene.files.Exists(Target("D:\\Tools") + "\\VK_VidudOvev2010.ARX"));
     }},
    // A record the version out there wrote (no marks, written whole) still
    // uninstalls everything.
    {"ARecordOfTheFirstVersionUninstalls", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       AddUninstallEntry(scene, Target("D:\\Tools"));
       const std::string path = Target("D:\\Tools") + "\\install_record.txt";
       std::string text, old = "VidudOvev install record 1\r\n";
       ASSERT_TRUE(scene.files.ReadFile(path, &text));
       for (std::size_t start = text.find('\n') + 1; start < text.size();) {
         const std::size_t end = text.find('\n', start);
         const std::string line = text.substr(start, end - start);
         old += line.substr(0, line.rfind('\t')) + "\r\n";
         start = end + 1;
       }
       scene.files.AddFile(path, old);
     },
     {Target("D:\\Tools")}, SetupExit::Installed, true,
     [](UndoScene&, const UninstallResult& result) {
       EXPECT_EQ(result.filesRemoved, 4);
       EXPECT_EQ(result.loadersRemoved, 2);
       EXPECT_EQ(result.trustedRestored, 1);
       EXPECT_TRUE(result.entryRemoved);
     }},
    // The user whose profile trusts the folder has signed out: the uninstall
    // (run by another account) cannot reach it, says so, and does not end
    // with success; run again once the hive is loaded, it finishes.
    {"AProfileWhoseHiveIsNotLoadedIsLeft", nullptr, {"D:\\Tools"},
     [](UndoScene& scene) {
       AddUninstallEntry(scene, Target("D:\\Tools"));
       scene.registry.MountCurrentUser("");
     },
     {Target("D:\\Tools")}, SetupExit::RemovedWithItemsLeft, true,
     [](UndoScene& scene, const UninstallResult& result) {
       const std::string sid = platform::MemoryAccounts().processUser.sid;
       ASSERT_EQ(result.left.size(), 1u);
       EXPECT_EQ(result.left[0].reason, UninstallLeft::HiveNotLoaded);
       EXPECT_EQ(result.left[0].place,
                 "HKEY_USERS\\" + sid + std::string(kProfile).substr(std::strlen("HKEY_CURRENT_USER")));
       EXPECT_EQ(TrustedPaths(scene.registry), std::string("D:\\Tools\\V-VidudOvev") + '\0') << "still trusted";
       EXPECT_FALSE(result.entryRemoved) << "kept, so that the uninstall can run again";
       const std::string text = platform::PlainMessageText(DescribeUninstall(result));
       EXPECT_NE(text.find("该用户未登录"), std::string::npos) << text;

       scene.registry.MountCurrentUser(sid);
       const std::string program = Target("D:\\Tools") + "\\Uninstall.exe";
       const UninstallResult again = CUninstall(scene.registry, scene.files).Run(Target("D:\\Tools"), program);
       EXPECT_TRUE(again.left.empty());
       EXPECT_EQ(again.trustedRestored, 1);
       EXPECT_EQ(UninstallExitCode(again), SetupExit::Installed);
       EXPECT_TRUE(scene.files.Remove(program));
       EXPECT_TRUE(scene.files.RemoveFolder(Target("D:\\Tools")));
     }},
    {"NoRecordIsNothingToRemove", nullptr, {}, nullptr, {Target("D:\\Tools")}, SetupExit::NothingToRemove, true,
     [](UndoScene&, const UninstallResult& result) {
       EXPECT_FALSE(result.recordFound);
       EXPECT_NE(DescribeUninstall(result).find("未找到安装记录"), std::string::npos);
     }},
};

}  // namespace

TEST_P(UndoTest, UninstallUndoesWhatTheInstallsDid) {
  const UndoCase& c = GetParam();
  if (c.before) c.before(scene);
  const std::string before = testing_support::MachineState(registry, files);
  for (const std::string& field : c.installs) {
    Run([&](Dlg_Setup&, HeadlessDialog& window) {
      window.answers = {platform::kIdAbort};
      Install(window, field);
    });
  }
  if (c.between) c.between(scene);
  UninstallResult result;
  for (const std::string& folder : c.uninstalls) result = Uninstall(folder);
  EXPECT_EQ(UninstallExitCode(result), c.exitCode);
  if (c.check) c.check(scene, result);
  const std::string after = testing_support::MachineState(registry, files, {"C:", "D:", "E:"}, {kSettings});
  if (c.identical) {
    EXPECT_EQ(before, after) << testing_support::FirstDifference(before, after);
  }
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
  EXPECT_EQ(files.OpenFindCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, UndoTest, ::testing::ValuesIn(kUndoCases),
                         [](const ::testing::TestParamInfo<UndoCase>& scenario) { return scenario.param.name; });

// Uninstall.exe as the caller starts it: it hands over to a copy in a
// folder of its own under %TEMP% and ends with the copy's code; the copy
// asks, warns, undoes, and starts a hidden command processor that removes
// the copy, and the original with its folders only when everything else
// went. Both runs go through the program's own entry.
TEST_F(UndoTest, TheUninstallerHandsOverToACopyAndEndsWithItsCode) {
  struct Row {
    const char* name;
    const char* switches;
    bool acadRuns, noRecord, cannotStart;
    std::deque<int> answers;
    int code;
    bool elevated = false;
  };
  const Row rows[] = {
      {"confirmed", "", false, false, false, {platform::kIdYes, platform::kIdOk}, SetupExit::Installed},
      {"elevated: the copy where only administrators write", " /S", false, false, false, {}, SetupExit::Installed,
       true},
      {"declined", "", false, false, false, {platform::kIdNo}, SetupExit::Cancelled},
      {"AutoCAD runs, warned once, then on", "", true, false, false,
       {platform::kIdYes, platform::kIdOk, platform::kIdOk}, SetupExit::Installed},
      {"silent, AutoCAD runs", " /S", true, false, false, {}, SetupExit::HostRunning},
      {"silent, AutoCAD runs, forced", " /s /force", true, false, false, {}, SetupExit::Installed},
      {"no record", "", false, true, false, {platform::kIdOk}, SetupExit::NothingToRemove},
      {"no copy can be made: run in place", " /S", false, false, true, {}, SetupExit::Installed},
  };
  const std::string folder = Target("D:\\Tools");
  const std::string original = folder + "\\Uninstall.exe";
  const std::string taken = "C:\\Temp\\V-VidudOvev-uninstall-1";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string copyFolder, copy;  // the started copy's; a fresh name each time
    accounts.elevated = row.elevated;
    if (!row.noRecord) {
      Run([&](Dlg_Setup&, HeadlessDialog& window) { Install(window, "D:\\Tools"); });
      AddUninstallEntry(scene, folder);
    } else {
      files.AddFolder(folder);
      files.AddFile(original, "exe");
    }
    files.SetModulePath(original);
    files.SetEnvironment("TEMP", "C:\\Temp\\");
    files.SetEnvironment("SystemRoot", "C:\\Windows");
    files.AddFolder(taken);  // someone else's: never entered
    processes.running.clear();
    if (row.acadRuns) processes.running = {"acad.exe"};
    testing_support::ScriptedOwner boxes;
    boxes.answers = row.answers;
    platform::MemoryLauncher launcher;
    if (row.cannotStart) files.FailOn(platform::MemoryFileSystem::Op::Copy, "C:\\Temp");
    CSetupLog log(files);
    CAcadSetup engine(registry, files, SetupMessageOwner());
    const ProgramWorld world{WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning},
                             registry, launcher, boxes, log, RunFacts{}, [](unsigned) {},
                             [](const std::string&) { return false; }};
    launcher.onStart = [&](const std::string& line) -> unsigned long {
      if (line.find(kRecordSwitch) == std::string::npos) return 0;  // the command processor
      copy = line.substr(1, line.find('"', 1) - 1);
      copyFolder = platform::FolderOf(copy);
      const std::string prefix = "C:\\Temp\\V-VidudOvev-uninstall-";
      EXPECT_EQ(copyFolder.substr(0, prefix.size()), prefix) << line;
      EXPECT_EQ(copyFolder.size(), prefix.size() + 16) << "sixteen hex digits nobody knew before: " << line;
      EXPECT_EQ(line.find("\"" + copy + "\" /uninstall"), 0u) << line;
      EXPECT_EQ(files.Access(copyFolder), row.elevated ? platform::kRecordAccess : "");
      EXPECT_FALSE(files.WriteBytes(copy, "swapped")) << "held against writers until it has run";
      EXPECT_FALSE(files.Remove(copy)) << "held against writers until it has run";
      EXPECT_NE(line.find(std::string(kRecordSwitch) + "\"" + folder + "\""), std::string::npos) << line;
      EXPECT_TRUE(files.Exists(copy)) << "the copy runs from its own folder";
      files.SetModulePath(copy);
      const int code = RunProgram(world, line);
      files.SetModulePath(original);
      return static_cast<unsigned long>(code);
    };
    const int code = RunProgram(world, "\"" + original + "\" /uninstall" + row.switches);
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(boxes.shown.size(), row.answers.size());
    // The command processor's command as it reads it: with its own
    // variables put in. No path is written into the command itself.
    const std::string cleanup = launcher.started.empty() ? std::string() : launcher.Expanded(launcher.started.size() - 1);
    if (!launcher.started.empty()) {
      EXPECT_EQ(launcher.started.back().find(original), std::string::npos) << launcher.started.back();
      EXPECT_EQ(launcher.places.back().program, "C:\\Windows\\System32\\cmd.exe");
      EXPECT_EQ(launcher.places.back().folder, "C:\\Windows\\System32") << "not the caller's working folder";
      EXPECT_NE(cleanup.find("\"C:\\Windows\\System32\\ping.exe\" -n 3"), std::string::npos) << cleanup;
    }
    if (!row.cannotStart) {
      ASSERT_EQ(launcher.started.size(), 2u);
      EXPECT_EQ(cleanup.find("\"C:\\Windows\\System32\\cmd.exe\" /d /v:off /q /s /c \""), 0u) << cleanup;
      EXPECT_NE(cleanup.find("rd \"" + copyFolder + "\""), std::string::npos) << "the copy's folder always goes";
    } else {
      ASSERT_EQ(launcher.started.size(), 1u) << "the command processor alone";
      std::vector<std::string> copies;
      for (const std::string& name : files.Names("C:\\Temp")) {
        if (name.find("-uninstall-") != std::string::npos) copies.push_back(name);
      }
      EXPECT_EQ(copies, std::vector<std::string>{"V-VidudOvev-uninstall-1"})
          << "nothing is left of a copy that could not be made";
    }
    const bool all = code == SetupExit::Installed;
    EXPECT_EQ(cleanup.find("del /f /q \"" + original + "\"") != std::string::npos, all)
        << "the original goes only when everything else did: " << cleanup;
    // The folder the install made in D:\Tools, after the install folder.
    EXPECT_EQ(cleanup.find("rd \"" + folder + "\"") != std::string::npos, all) << cleanup;
    EXPECT_EQ(files.Exists(folder + "\\install_record.txt"), !all && !row.noRecord);
    // The next row starts from scratch: what the command processor would
    // have removed.
    EXPECT_TRUE(files.Exists(taken));
    if (!copy.empty()) {
      EXPECT_TRUE(files.Remove(copy)) << "let go once it has run";
      files.RemoveFolder(copyFolder);
    }
    accounts.elevated = false;
    if (all) {
      files.Remove(original);
      files.RemoveFolder(folder);
    } else {
      Uninstall(folder);
    }
  }
}

// An uninstaller that cannot tell its own path (one the code page cannot
// carry, or longer than 260 characters, comes back empty) reads no record:
// not "\install_record.txt" at the drive's root, which anyone may write.
// It says so (no box with /S) and ends with NothingToRemove.
TEST_F(UndoTest, AnUninstallerThatCannotTellItsFolderReadsNoRecord) {
  // A record at the root naming a file that still holds what it says.
  files.AddFile("C:\\Tools\\victim.dll", "victim");
  {
    CInstallRecord record(files);
    record.Open("C:");
    record.NoteFile("C:\\Tools\\victim.dll");
  }
  ASSERT_TRUE(files.Exists("C:\\install_record.txt"));
  files.SetCurrentFolder("C:\\");
  files.SetEnvironment("TEMP", "C:\\Temp");
  files.SetEnvironment("SystemRoot", "C:\\Windows");
  files.AddFolder("C:\\Temp");
  struct Row {
    const char* name;
    std::string program;  // as the system gives the program's path
    const char* switches;
    std::size_t boxes;
  };
  const Row rows[] = {
      {"longer than 260 characters", "C:\\" + std::string(300, 'd') + "\\Uninstall.exe", "", 1},
      {"longer than 260 characters, silent", "C:\\" + std::string(300, 'd') + "\\Uninstall.exe", " /S", 0},
      {"not carried by the code page", "", " /S", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    files.SetModulePath(row.program);
    testing_support::ScriptedOwner boxes;
    boxes.answers = {platform::kIdOk};
    platform::MemoryLauncher launcher;
    CSetupLog log(files);
    CAcadSetup engine(registry, files, SetupMessageOwner());
    const ProgramWorld world{WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning},
                             registry, launcher, boxes, log, RunFacts{}, [](unsigned) {},
                             [](const std::string&) { return false; }};
    EXPECT_EQ(RunProgram(world, "Uninstall.exe /uninstall" + std::string(row.switches)), SetupExit::NothingToRemove);
    EXPECT_EQ(Read(files, "C:\\Tools\\victim.dll"), "victim");
    EXPECT_TRUE(files.Exists("C:\\install_record.txt"));
    ASSERT_EQ(boxes.shown.size(), row.boxes);
    if (row.boxes) {
      EXPECT_NE(boxes.shown[0].text.find("无法确定卸载程序所在的文件夹"), std::string::npos) << boxes.shown[0].text;
    }
    EXPECT_TRUE(launcher.started.empty()) << "no copy, no cleanup: " << launcher.started.front();
  }
}

// A command line the program refuses is told once (no box with /S) and
// ends with its code, nothing done; /? gives the usage, to the console
// when there is one.
TEST_F(InstallTest, RefusedCommandLinesAndTheUsage) {
  struct Row {
    const char* line;
    bool console;
    int code;
    std::size_t boxes;
    const char* said;  // in the box or on the console
  };
  const Row rows[] = {
      {"SetUp.exe /X", false, SetupExit::BadCommandLine, 1, "/X"},
      {"SetUp.exe /S /X", false, SetupExit::BadCommandLine, 0, nullptr},
      {"SetUp.exe /S /R=1999", true, SetupExit::BadCommandLine, 0, "/R"},
      {"SetUp.exe /?", false, SetupExit::Installed, 1, "/uninstall"},
      {"SetUp.exe /?", true, SetupExit::Installed, 0, "/uninstall"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.line) + (row.console ? " (console)" : ""));
    testing_support::ScriptedOwner boxes;
    platform::MemoryLauncher launcher;
    CSetupLog log(files);
    CAcadSetup engine(registry, files, SetupMessageOwner());
    std::string printed;
    const ProgramWorld world{
        WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning}, registry, launcher,
        boxes, log, RunFacts{}, [](unsigned) {}, [&](const std::string& text) {
          printed += text;
          return row.console;
        }};
    EXPECT_EQ(RunProgram(world, row.line), row.code);
    ASSERT_EQ(boxes.shown.size(), row.boxes);
    const std::string said = row.boxes ? boxes.shown[0].text : printed;
    if (row.said) {
      EXPECT_NE(said.find(row.said), std::string::npos) << said;
    }
    EXPECT_FALSE(files.Exists("C:\\Velkor")) << "nothing made";
    EXPECT_TRUE(launcher.started.empty());
  }
}

// Rights are asked for once, at the start, and only where they can be had:
// a filtered administrator's install or uninstall starts itself again
// elevated, with its switches as typed, and ends with that run's code;
// declined, the dialog goes on and says what will be missing, a silent run
// ends with its own code and does nothing. No other account is asked.
TEST_F(InstallTest, AsksForRightsOnceAtTheStartWhereTheAccountHasThem) {
  enum Prompt { kNoPrompt, kAccepted, kDeclined };
  struct Row {
    const char* name;
    const char* switches;
    platform::ElevationType type;
    bool elevated, system;
    Prompt prompt;
    int code;
    bool installedHere;  // this process installed (the folder holds the package)
  };
  using E = platform::ElevationType;
  const Row rows[] = {
      {"filtered admin, dialog: accepted", "", E::Limited, false, false, kAccepted, 0, false},
      {"filtered admin, /S with a folder: accepted, its code passed on", " /S \"/D=D:\\My Tools\"", E::Limited, false,
       false, kAccepted, SetupExit::InstalledWithProblems, false},
      {"filtered admin, /S: declined", " /S", E::Limited, false, false, kDeclined, SetupExit::RightsDeclined, false},
      {"filtered admin, dialog: declined, goes on", "", E::Limited, false, false, kDeclined, SetupExit::Installed, true},
      {"filtered admin, uninstall /S: accepted", " /uninstall /S", E::Limited, false, false, kAccepted, 0, false},
      {"elevated already", " /S", E::Full, true, false, kNoPrompt, SetupExit::Installed, true},
      {"standard account", " /S", E::Default, false, false, kNoPrompt, SetupExit::Installed, true},
      {"SYSTEM, nobody signed in: nothing per-user, into SYSTEM's places neither", " /S", E::Limited, false, true,
       kNoPrompt, SetupExit::Installed, true},
      {"the usage", " /?", E::Limited, false, false, kNoPrompt, SetupExit::Installed, false},
      {"the uninstall's hand-over copy", " /uninstall /S \"/RECORD=D:\\Tools\\V-VidudOvev\"", E::Limited, false,
       false, kNoPrompt, SetupExit::NothingToRemove, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string arx = "C:\\Velkor\\V-VidudOvev\\VK_VidudOvev2010.ARX";
    files.Remove(arx);
    accounts.elevation = row.type;
    accounts.elevated = row.elevated;
    accounts.processUser.sid = row.system ? platform::kSystemSid : "S-1-5-21-1004336348-1177238915-682003330-1001";
    accounts.desktopUser = accounts.processUser;
    accounts.desktopLookup = row.system ? platform::DesktopLookup::NoShell : platform::DesktopLookup::Found;
    const std::string settings = "C:\\Users\\cad\\AppData\\Roaming\\Velkor\\Velkor.Ini";
    files.Remove(settings);
    if (row.system) {
      // As before any install: an earlier row's entry would hide a write.
      platform::ScopedRegKey profile(registry);
      ASSERT_EQ(registry.OpenKey(platform::kCurrentUser, std::string(kProfile).substr(18).c_str(), profile.Receive()),
                platform::RegResult::Success);
      registry.DeleteValue(profile.Get(), "TRUSTEDPATHS");
    }
    registry.writes.clear();
    warnHostRunning = true;
    testing_support::ScriptedOwner boxes;
    platform::MemoryLauncher launcher;
    if (row.prompt == kDeclined) launcher.elevatedFailWith = platform::kErrorCancelled;
    launcher.onElevated = [&](const platform::MemoryLauncher::ElevatedStart&) -> unsigned long {
      return static_cast<unsigned long>(row.code);
    };
    std::vector<std::string> dialogBoxes;
    runner.user = [&](HeadlessDialog& window) {
      Install(window, "C:\\Velkor");
      for (const auto& box : window.boxes) dialogBoxes.push_back(box.text);
      if (window.IsVisible(SetupControl::InstallDone)) window.Click(SetupControl::InstallDone);
    };
    CSetupLog log(files);
    CAcadSetup engine(registry, files, SetupMessageOwner());
    const ProgramWorld world{WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning},
                             registry, launcher, boxes, log, RunFacts{}, [](unsigned) {},
                             [](const std::string&) { return true; }};
    EXPECT_EQ(RunProgram(world, std::string("\"") + kProgram + "\"" + row.switches), row.code);
    if (row.prompt == kAccepted) {
      ASSERT_EQ(launcher.elevated.size(), 1u) << "one prompt";
      EXPECT_EQ(launcher.elevated[0].program, kProgram);
      EXPECT_EQ(launcher.elevated[0].arguments, std::string(row.switches).substr(row.switches[0] ? 1 : 0))
          << "the switches as typed";
    } else {
      EXPECT_TRUE(launcher.elevated.empty()) << "asked for rights";
    }
    EXPECT_EQ(files.Exists(arx), row.installedHere);
    if (row.system) {
      EXPECT_FALSE(files.Exists(settings)) << "a settings file in SYSTEM's profile";
      for (const auto& write : registry.writes) {
        EXPECT_EQ(platform::FindText(write.path, "TRUSTED"), platform::npos) << "SYSTEM's hive: " << write.path;
        EXPECT_NE(write.value, "TRUSTEDPATHS") << write.path;
      }
    }
    const bool toldMissing =
        !dialogBoxes.empty() && dialogBoxes[0].find("没有获得管理员权限") != std::string::npos;
    EXPECT_EQ(toldMissing, row.prompt == kDeclined && !std::string(row.switches).size())
        << "the first box of the dialog: " << (dialogBoxes.empty() ? "none" : dialogBoxes[0]);
  }
}

// One install or uninstall at a time on the machine: a second one ends with
// 1618, told in a box unless silent, nothing done; an elevated run passes
// over a lock no administrator made.
TEST_F(InstallTest, OneRunAtATimeAndTheOthersRetryLater) {
  struct Row {
    const char* name;
    const char* switches;
    bool otherRuns, otherIsAdmin, elevated;
    int code;
    std::size_t boxes;
  };
  const Row rows[] = {
      {"dialog, another runs", "", true, true, false, SetupExit::AnotherRun, 1},
      {"/S, another runs", " /S", true, true, false, SetupExit::AnotherRun, 0},
      {"uninstall /S, another runs", " /uninstall /S", true, true, false, SetupExit::AnotherRun, 0},
      {"elevated /S, a user's lock", " /S", true, false, true, SetupExit::Installed, 0},
      {"/S, alone: holds the lock", " /S", false, true, false, SetupExit::Installed, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string arx = "C:\\Velkor\\V-VidudOvev\\VK_VidudOvev2010.ARX";
    files.Remove(arx);
    accounts.elevated = row.elevated;
    platform::MemoryInstanceLock lock;
    if (row.otherRuns) lock.others = {"V-VidudOvev-setup"};
    lock.othersAdmin = row.otherIsAdmin;
    testing_support::ScriptedOwner boxes;
    platform::MemoryLauncher launcher;
    CSetupLog log(files);
    CAcadSetup engine(registry, files, SetupMessageOwner());
    const ProgramWorld world{WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning},
                             registry, launcher, boxes, log, RunFacts{}, [](unsigned) {},
                             [](const std::string&) { return false; }, &lock};
    EXPECT_EQ(RunProgram(world, std::string("\"") + kProgram + "\"" + row.switches), row.code);
    ASSERT_EQ(boxes.shown.size(), row.boxes);
    if (row.boxes) {
      EXPECT_NE(boxes.shown[0].text.find("另一个SetUp.exe"), std::string::npos) << boxes.shown[0].text;
    }
    EXPECT_EQ(files.Exists(arx), row.code == SetupExit::Installed);
    EXPECT_EQ(lock.held.size(), row.otherRuns ? 0u : 1u) << "a lock held by another is never taken";
  }
}

// One version per machine: an install goes where the earlier one is, when
// nobody names a folder, and never puts an older version over a newer one
// unless forced; refused, nothing is made, and the box names both versions.
TEST_F(InstallTest, AnEarlierInstallGivesTheFolderAndANewerOneIsNotReplaced) {
  const auto entry = [&](const char* version) {
    std::string error;
    const std::string reg = std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\") + kUninstallKeyPath +
                            "]\n\"DisplayVersion\"=\"" + version +
                            "\"\n\"InstallLocation\"=\"D:\\\\Old\\\\V-VidudOvev\"\n";
    EXPECT_TRUE(platform::ImportRegText(registry, reg, &error)) << error;
  };
  struct Row {
    const char* name;
    const char* version;
    bool force;
    int code;
  };
  const Row rows[] = {
      {"an older version there", "2020.01.01", false, SetupExit::Installed},
      {"the same version: a repair", "2026.08.01", false, SetupExit::Installed},
      {"a newer version there", "2099.12.31", false, SetupExit::NewerInstalled},
      {"a newer version, forced", "2099.12.31", true, SetupExit::Installed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string arx = "D:\\Old\\V-VidudOvev\\VK_VidudOvev2010.ARX";
    files.Remove(arx);
    entry(row.version);
    SilentRequest request;
    request.force = row.force;
    std::vector<std::string> told;
    SilentInstall silent(request, nullptr,
                         [&](const std::string& text, const std::string&, unsigned, int) { told.push_back(text); });
    CAcadSetup engine(registry, files, SetupMessageOwner());
    NoDialogs noDialogs;
    EXPECT_EQ(RunSilent(WizardWorld{engine, files, processes, shell, accounts, noDialogs, lastBrowse, warnHostRunning},
                        silent),
              row.code);
    EXPECT_EQ(files.Exists(arx), row.code == SetupExit::Installed) << "installed where the earlier install is";
    if (row.code == SetupExit::NewerInstalled) {
      ASSERT_EQ(told.size(), 1u);
      EXPECT_NE(told[0].find("V2099.12.31"), std::string::npos) << told[0];
      EXPECT_NE(told[0].find("V2026.08.01"), std::string::npos) << told[0];
    }
  }
  // The dialog offers the earlier folder, and refuses over the newer one
  // with the selection view left as it was.
  files.Remove("D:\\Old\\V-VidudOvev\\VK_VidudOvev2010.ARX");
  entry("2099.12.31");  // the forced install wrote its own
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "D:\\Old");
    ASSERT_TRUE(window.Click(SetupControl::InstallButton));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find("较新的版本"), std::string::npos) << window.boxes[0].text;
    EXPECT_TRUE(window.IsVisible(SetupControl::FolderField));
    EXPECT_EQ(dlg.exitCode, SetupExit::Cancelled);
    window.PressEscape();
  });
  EXPECT_FALSE(files.Exists("D:\\Old\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
}
