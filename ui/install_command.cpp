// The install command: OnInstall and RunInstall, and the completion view.
#include "deploy/host_process.h"
#include "deploy/package_copy.h"
#include "deploy/package_folder.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ui/dlg_setup.h"
#include "ui/problems_notice.h"

namespace {

const char kCloseAcadText[] = "请关闭AutoCAD后再进行安装 !";
const char kNoFolderText[] = "请先选择或输入安装路径 !";
const char kFolderTooLongText[] =
    "安装路径太长 !\n\n安装路径加上“\\V-VidudOvev”不能超过259个字符，请选择较短的安装路径。";
const char kSubFolder[] = "\\V-VidudOvev";

// Longest folder the install steps can hold with the sub-folder appended.
constexpr std::size_t kLongestFolder = platform::kPathBufferSize - 1;

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

}  // namespace

bool Dlg_Setup::AcceptFolder(const std::string& folder) {
  // An empty field has no last character to look at, and no folder to
  // install into.
  if (folder.empty()) {
    MessageBox(kNoFolderText, kSetupCaption, platform::kMbOk);
    return false;
  }
  // The steps keep paths in buffers of 260 characters; a longer folder
  // would be cut, and the add-on installed somewhere the user never chose.
  std::string target = folder;
  if (platform::ReverseFindChar(target, '\\') == target.size() - 1) target.pop_back();
  if (target.size() + sizeof(kSubFolder) - 1 > kLongestFolder) {
    MessageBox(kFolderTooLongText, kSetupCaption, platform::kMbOk);
    return false;
  }
  return true;
}

void Dlg_Setup::OnInstall() {
  if (warnHostRunning_ && IsAcadRunning(processes_)) {
    MessageBox(kCloseAcadText, kSetupCaption, platform::kMbOk);
    // Asked once: the next press installs even while AutoCAD runs.
    warnHostRunning_ = false;
    return;
  }
  UpdateData(true);
  if (!AcceptFolder(folderPath)) return;
  // Before anything is made: whose registry and settings folder the
  // per-user parts go to.
  const UserChoice user = setup_.ChooseUserPlaces(accounts_);
  if (user.outcome == UserChoice::Unreachable) {
    MessageBox(OtherAccountText(user), kSetupCaption, platform::kMbOk);
    return;
  }
  // The last character, not the last byte: a Chinese folder name may end in
  // a trail byte 0x5C. One backslash only; a second one before it stays.
  if (platform::ReverseFindChar(folderPath, '\\') == folderPath.size() - 1) folderPath.pop_back();
  // One level each; an existing folder is no error, and a folder that could
  // not be made is met, and reported, by the data copy.
  files_.MakeFolder(folderPath);
  folderPath += kSubFolder;
  files_.MakeFolder(folderPath);

  if (!RunInstall()) return;
  if (!installProblems.empty()) MessageBox(DescribeProblems(installProblems), kSetupCaption, platform::kMbOk);
  ShowCompletionView();
}

bool Dlg_Setup::RunInstall() {
  for (const int id : {SetupControl::FolderLabel, SetupControl::FolderField, SetupControl::BrowseButton}) {
    if (CWnd* control = GetDlgItem(id)) control->ShowWindow(platform::kSwHide);
  }
  if (CWnd* bar = GetDlgItem(SetupControl::ProgressBar)) bar->ShowWindow(platform::kSwShowNormal);
  progressBar.SetRange(0, 50);
  progressBar.SetStep(1);
  progressBar.SetPos(0);

  CPackageCopy copy(folderPath, progressBar, files_, *this);
  copy.userPlaces = setup_.userPlaces;
  if (!copy.CopyDataFolder()) {
    // Nothing already copied is undone.
    OnCancel();
    return false;
  }
  progressBar.StepIt();
  setup_.SetInstallFolder(folderPath);
  const std::array<int, kReleaseCount>& f = selectionFlags;
  // What the scan could not read comes first: releases below it may be
  // missing from the list the user chose from.
  installProblems = setup_.scanProblems;
  const SetupProblems registration = setup_.RegisterWithHosts(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10],
                                             f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19], f[20]);
  installProblems.insert(installProblems.end(), registration.begin(), registration.end());
  progressBar.StepIt();
  const SetupProblems files = setup_.InstallSupportFiles(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9],
                                                         f[10], f[11], f[12], f[13], f[14], f[15], f[16], f[17],
                                                         f[18], f[19], f[20]);
  installProblems.insert(installProblems.end(), files.begin(), files.end());
  progressBar.StepIt();
  progressBar.SetPos(50);
  return true;
}

void Dlg_Setup::ShowCompletionView() {
  struct Change {
    int id;
    int command;
  };
  const Change changes[] = {
      {SetupControl::DoneMessage, platform::kSwShowNormal}, {SetupControl::MenuPicture, platform::kSwShowNormal},
      {SetupControl::ChooseLabel, platform::kSwHide},       {SetupControl::ProgressBar, platform::kSwHide},
      {SetupControl::InstallDone, platform::kSwShowNormal}, {SetupControl::InstallButton, platform::kSwHide},
      {SetupControl::CancelButton, platform::kSwHide},
  };
  for (const Change& change : changes) {
    if (CWnd* control = GetDlgItem(change.id)) control->ShowWindow(change.command);
  }
  for (int k = 0; k < kReleaseCount; ++k) ReleaseBox(k).ShowWindow(platform::kSwHide);
  // The hidden folder field now holds the folder with its sub-folder.
  UpdateData(false);

  // Shorter by the distance between the bottoms of buttons 1 and 2, so that
  // button 1 ends as far above the bottom edge as button 2 did.
  platform::Rect window, done, cancel;
  GetWindowRect(&window);
  if (CWnd* button = GetDlgItem(SetupControl::InstallDone)) {
    button->GetWindowRect(&done);
    ScreenToClient(&done);
  }
  if (CWnd* button = GetDlgItem(SetupControl::CancelButton)) {
    button->GetWindowRect(&cancel);
    ScreenToClient(&cancel);
  }
  const platform::Rect shrunk{window.left, window.top, window.right, window.bottom + (done.bottom - cancel.bottom)};
  MoveWindow(shrunk.left, shrunk.top, shrunk.Width(), shrunk.Height(), true);
}
