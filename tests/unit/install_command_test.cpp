// The install command and the folder browser, headless, on an in-memory
// machine: the running-AutoCAD warning, the folder field's forms, the order
// of the steps and of the progress bar's messages, the completion view and
// its shrink, a failed data copy, refused folder fields, the problems
// notice, and browsing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/wizard_app.h"
#include "deploy/package_folder.h"
#include "engine/acad_setup.h"
#include "platform/memory/headless_dialog.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_processes.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/reg_file.h"
#include "ui/dlg_setup.h"
#include "ui/problems_notice.h"
#include "tests/support/fixtures.h"

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
  }

  int Run(const std::function<void(Dlg_Setup&, HeadlessDialog&)>& user, int bits = 32) {
    setup = std::make_unique<CAcadSetup>(registry, files, owner, bits);
    setup->ScanReleases();
    dialog = std::make_unique<Dlg_Setup>(
        SetupContext{*setup, files, processes, shell, accounts, lastBrowse, warnHostRunning});
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
      window.Click(SetupControl::InstallDone);
    });
  }
  EXPECT_TRUE(files.Exists("D:\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
  EXPECT_TRUE(files.Exists("D:\\乗\\V-VidudOvev\\VK_VidudOvev2010.ARX"));
}

TEST_F(InstallTest, RefusedFolderFieldsCreateNothing) {
  const std::string tooLong = "D:\\" + std::string(245, 'a');  // 248 + 12 = 260 characters
  const std::string longest = "D:\\" + std::string(244, 'a');  // 259 with the sub-folder
  files.AddFolder(longest);
  for (const std::string& field : {std::string(), tooLong}) {
    Run([&](Dlg_Setup&, HeadlessDialog& window) {
      Install(window, field);
      ASSERT_EQ(window.boxes.size(), 1u);
      EXPECT_EQ(window.boxes[0].caption, "V-软件安装");
      EXPECT_EQ(window.boxes[0].type, platform::kMbOk);
      EXPECT_NE(window.boxes[0].text.find(field.empty() ? "请先选择或输入安装路径" : "安装路径太长"),
                std::string::npos);
      EXPECT_TRUE(window.IsVisible(SetupControl::FolderField)) << "the selection view stays";
      EXPECT_TRUE(window.IsVisible(SetupControl::InstallButton));
      EXPECT_FALSE(window.Ended());
      window.PressEscape();
    });
    EXPECT_EQ(files.CallCount(platform::MemoryFileSystem::Op::MakeFolder), 0u);
    EXPECT_EQ(setup->installFolder, "");
    EXPECT_FALSE(registry.KeyExists(std::string(kProduct2010) + "\\Applications"));
  }
  // The longest folder that fits is taken whole.
  Run([&](Dlg_Setup& dlg, HeadlessDialog& window) {
    Install(window, longest);
    EXPECT_EQ(dlg.folderPath, longest + "\\V-VidudOvev");
    EXPECT_EQ(dlg.folderPath.size(), 259u);
  });
}

TEST_F(InstallTest, FailedDataCopyClosesWithCancelAndRunsNoLaterStep) {
  // No package beside the program.
  files.SetModulePath("E:\\Elsewhere\\SetUp.exe");
  files.AddFile("E:\\Elsewhere\\SetUp.exe", "exe");
  int result = Run([&](Dlg_Setup&, HeadlessDialog& window) {
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find("Data"), std::string::npos);
    EXPECT_TRUE(window.Ended());
  });
  EXPECT_EQ(result, platform::kIdCancel);
  EXPECT_EQ(setup->installFolder, "");
  EXPECT_FALSE(registry.KeyExists(std::string(kProduct2010) + "\\Applications"));

  // A copy that fails, answered with Abort.
  files.SetModulePath(kProgram);
  files.FailOn(platform::MemoryFileSystem::Op::Copy, "D:\\Tools", platform::FileError::AccessDenied);
  result = Run([&](Dlg_Setup&, HeadlessDialog& window) {
    window.answers = {platform::kIdAbort};
    Install(window, "D:\\Tools");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].type, platform::kMbAbortRetryIgnore);
    EXPECT_TRUE(window.Ended());
  });
  EXPECT_EQ(result, platform::kIdCancel);
  EXPECT_EQ(setup->installFolder, "");
  EXPECT_FALSE(files.Exists(std::string(kAcad2010) + "\\Fonts\\Velkor_EN.shx"));
}

TEST_F(InstallTest, ProblemsOfTheStepsAreShownBeforeTheCompletionView) {
  registry.DenyWritesBelow("HKEY_LOCAL_MACHINE");
  Run([&](Dlg_Setup&, HeadlessDialog& window) {
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
    EXPECT_TRUE(window.IsVisible(SetupControl::DoneMessage)) << "the completion view follows";
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
