// Dlg_Setup, the setup program's one dialog (template 141): the releases to
// serve, the target folder, the install command and its progress and
// completion views.
//
// It owns its controls' member objects, the background brush and the two
// label fonts, and the 21 selection flags (release index order, 2007
// first), which it hands to the install steps. It reads the catalogue of
// the one CAcadSetup in place and never writes it but through the install
// steps.
//
// Operation groups, one file each:
//   dlg_setup.cpp        construction, bindings, message map, colours
//   dialog_init.cpp      OnInitDialog, UpdateInstallButton, OnReleaseCheck
//   install_command.cpp  OnInstall, RunInstall, the completion view
//   folder_browse.cpp    OnBrowse
#pragma once

#include <array>
#include <string>

#include "engine/acad_setup.h"
#include "engine/build_constants.h"
#include "engine/exit_codes.h"
#include "install/install_run.h"
#include "platform/shell.h"
#include "ui/framework.h"

namespace platform {
class Accounts;
class FileSystem;
class ProcessList;
class Shell;
}  // namespace platform

// What the dialog works with besides its window: the engine, the system's
// families, and the program-wide state it reads and writes.
struct SetupContext {
  CAcadSetup& setup;
  platform::FileSystem& files;
  platform::ProcessList& processes;
  platform::Shell& shell;
  platform::Accounts& accounts;   // who runs the program, who owns the desktop
  std::string& lastBrowseFolder;  // the folder browser's remembered folder
  bool& warnHostRunning;          // set at start; cleared once AutoCAD was reported
  int version = ::versionNumber;  // yyyymmdd, shown in the title
  std::string logPath = std::string();  // the run's log, named by the problems notice; empty: none
  bool rightsDeclined = false;  // runs without the administrator rights the user declined at start
  bool force = false;           // /FORCE: an older version over a newer one too
  MoveEarlierInstall moveEarlier = nullptr;  // an install into another folder moves the earlier one
  ArmPerUser armPerUser = nullptr;           // elevated: the per-user parts for every later sign-in
};

// Picks a folder in the shell's browser, opened at `folder` (or, when that
// is empty, at `lastBrowseFolder`). True when a folder with a file-system
// path was picked: it is then in `folder` and in `lastBrowseFolder`; false
// leaves `folder` as it was. The browser's item is always released.
bool BrowseForFolder(platform::Shell& shell, platform::DialogWindow* owner, std::string title, std::string& folder,
                     std::string& lastBrowseFolder);

// The browser's callback: selects the folder named by `data` once the
// browser is up. Answers 0 to every notification.
int BrowseCallbackProc(platform::BrowserWindow& browser, unsigned message, std::intptr_t lParam,
                       std::intptr_t data);

// Control identifiers of the release boxes by release index: they follow
// the years, except 2010 = 1027 and 2011 = 1026.
constexpr std::array<int, kReleaseCount> kReleaseBoxIds = {1018, 1019, 1020, 1027, 1026, 1028, 1029,
                                                           1030, 1031, 1032, 1033, 1034, 1035, 1036,
                                                           1037, 1038, 1039, 1040, 1041, 1042, 1043};

namespace SetupControl {
constexpr int InstallDone = 1;      // "安装完成", the framework's OK
constexpr int CancelButton = 2;     // "取  消", the framework's Cancel
constexpr int FolderField = 1000;
constexpr int TitleLabel = 1013;
constexpr int ProgressBar = 1014;
constexpr int BrowseButton = 1015;
constexpr int ChooseLabel = 1016;   // "请选择安装组件："
constexpr int FolderLabel = 1017;   // "请选择安装路径："
constexpr int MenuPicture = 1021;
constexpr int InstallButton = 1022;
constexpr int DoneMessage = 1023;
constexpr int EditionLabel = 1024;
}  // namespace SetupControl

constexpr platform::Color kBackgroundColor = platform::Rgb(170, 210, 150);
constexpr platform::Color kLabelColor = platform::Rgb(10, 70, 40);

class Dlg_Setup : public CDialog {
 public:
  explicit Dlg_Setup(const SetupContext& context, CWnd* parent = nullptr);
  // Out of line, so that one unit makes it and its thunk: made inline in
  // several, MinGW's linker takes them for two definitions under LTO.
  ~Dlg_Setup() override;

  void DoDataExchange(CDataExchange* pDX) override;
  bool OnInitDialog() override;
  void OnShown() override;
  void OnOK() override;
  void OnCancel() override;
  platform::GdiObject OnCtlColor(CDC* dc, CWnd* wnd, unsigned ctlColor) override;

  void UpdateInstallButton();
  void OnReleaseCheck();
  void OnBrowse();
  void OnInstall();
  // Carries out `plan` with the dialog as its face: its boxes, its progress
  // view. True when the install ran to its end; false when it was refused
  // or stopped (told in a box), or when the package copy failed and the
  // dialog has been told to close.
  bool RunInstall(const InstallPlan& plan);

  // The box of release index k.
  CButton& ReleaseBox(int k) { return releaseBoxes[kReleaseCount - 1 - k]; }

  CBrush bkBrush;
  // Declared from the 2027 box down to the 2007 box; ReleaseBox(k) finds
  // the box of release index k.
  std::array<CButton, kReleaseCount> releaseBoxes;
  // 1: ticked; 2007 first.
  std::array<int, kReleaseCount> selectionFlags;
  std::string titleText;
  std::string editionText;
  CProgressCtrl progressBar;
  std::string folderPath = kDefaultInstallFolder;  // system code page
  // The folder above the install folder, when the last install made it.
  std::string madeFolder;
  // The title and edition fonts, made on their first colour request and
  // released with the dialog.
  CFont titleFont;
  CFont editionFont;
  // What the registration and support-file steps of the last install could
  // not do; shown to the user before the completion view.
  SetupProblems installProblems;
  // How the run ended so far (SetupExit): cancelled until an install ends.
  int exitCode = SetupExit::Cancelled;

  DECLARE_MESSAGE_MAP()

 private:
  // The completion view: the message and the picture, one button, and the
  // window shortened to fit.
  void ShowCompletionView();

  CAcadSetup& setup_;
  platform::FileSystem& files_;
  platform::ProcessList& processes_;
  platform::Shell& shell_;
  platform::Accounts& accounts_;
  std::string& lastBrowseFolder_;
  bool& warnHostRunning_;
  int version_;
  std::string logPath_;
  // Until told (once, before the first install's first change).
  bool tellMissingRights_;
  bool force_;
  MoveEarlierInstall moveEarlier_;
  ArmPerUser armPerUser_;
};
