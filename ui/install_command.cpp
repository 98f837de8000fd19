// The install command: OnInstall and RunInstall, and the completion view.
#include "deploy/host_process.h"
#include "deploy/package_copy.h"
#include "deploy/package_folder.h"
#include "record/install_record.h"
#include "engine/program_names.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/message_text.h"
#include "platform/text.h"
#include "ui/dlg_setup.h"
#include "ui/problems_notice.h"

#include <algorithm>
#include <string>

namespace {

const char kCloseAcadText[] = "请关闭AutoCAD后再进行安装 !";
const char kNoFolderText[] = "请先选择或输入安装路径 !";
const char kRelativeFolderText[] =
    "安装路径必须是完整路径 !\n\n请以盘符开头（如 D:\\Tools），或使用网络路径（如 \\\\服务器\\共享\\Tools）。";

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

}  // namespace

bool Dlg_Setup::AcceptFolder(const std::string& folder) {
  // An empty field has no last character to look at, and no folder to
  // install into.
  if (folder.empty()) {
    MessageBox(kNoFolderText, kSetupCaption, platform::kMbOk);
    return false;
  }
  if (!IsAbsoluteFolder(folder)) {
    MessageBox(kRelativeFolderText, kSetupCaption, platform::kMbOk);
    return false;
  }
  // Every package file's path in the target folder must fit the steps'
  // buffers of 260 characters, and the folder must be one that can be
  // created: a longer one would raise a box per file, or leave the add-on
  // cut short. Refused before anything is made.
  std::string target = folder;
  if (platform::ReverseFindChar(target, '\\') == target.size() - 1) target.pop_back();
  const std::size_t subFolder = sizeof(kSubFolder) - 1;
  std::size_t longest = kLongestCreatedFolder - subFolder;
  std::string packageFolder;
  if (LocatePackageFolder(files_, packageFolder)) {
    const std::size_t name = LongestPackageFileName(files_, packageFolder);
    const std::size_t room = platform::kPathBufferSize - 1 - subFolder - 1;  // "\\" before the name
    if (name > 0) longest = std::min(longest, room > name ? room - name : 0);
  }
  if (target.size() > longest) {
    MessageBox(FolderTooLongText(longest, target.size()), kSetupCaption, platform::kMbOk);
    return false;
  }
  return true;
}

void Dlg_Setup::RefuseUnprotected(const SetupProblems& problems) {
  if (!problems.empty()) MessageBox(NoProtectedFolderText(problems.back()), kSetupCaption, platform::kMbOk);
  exitCode = SetupExit::NoProtectedFolder;
  OnCancel();
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
  // Without the package nothing is made: the folders and a record would be
  // left behind for nothing.
  std::string package;
  if (!LocatePackageFolder(files_, package) && !FindPackageFolder(files_, *this, package)) {  // it says why
    exitCode = SetupExit::PackageMissing;
    OnCancel();
    return;
  }
  // The last character, not the last byte: a Chinese folder name may end in
  // a trail byte 0x5C. One backslash only; a second one before it stays.
  if (platform::ReverseFindChar(folderPath, '\\') == folderPath.size() - 1) folderPath.pop_back();
  // One level each; an existing folder is no error, and a folder that could
  // not be made is met, and reported, by the data copy.
  // The chosen folder, when the install makes it, is noted: an uninstall
  // removes it again once empty.
  // An elevated run keeps what undoes the install where only administrators
  // write, and the add-on that every user's AutoCAD loads where users may
  // only read: each had with its access list from its making, or nothing
  // is installed.
  const bool elevated = accounts_.IsElevated();
  SetupProblems notOwned;
  if (elevated) {
    recordFolder_ = setup_.ChooseRecordFolder(folderPath + kSubFolder, true, &notOwned);
    if (recordFolder_.empty()) return RefuseUnprotected(notOwned);
  }
  madeFolder = files_.MakeFolder(folderPath) ? folderPath : std::string();
  folderPath += kSubFolder;
  if (!elevated) {
    recordFolder_ = folderPath;
    files_.MakeFolder(folderPath);
  } else if (!files_.MakeOwnedFolder(folderPath, platform::kProgramAccess, nullptr)) {
    notOwned.push_back({SetupProblem::RecordFolder, 0, folderPath, "", files_.LastError()});
    if (!madeFolder.empty()) files_.RemoveFolder(madeFolder);
    madeFolder.clear();
    return RefuseUnprotected(notOwned);
  }

  if (!RunInstall()) return;
  exitCode = installProblems.empty() ? SetupExit::Installed : SetupExit::InstalledWithProblems;
  if (!installProblems.empty()) {
    std::string text = DescribeProblems(installProblems);
    if (!logPath_.empty()) text += "\n\n详细情况见日志文件：" + platform::SystemText(logPath_);
    MessageBox(text, kSetupCaption, platform::kMbOk);
  }
  ShowCompletionView();
}

namespace {

// The install runs inside the button's handler. Meanwhile the window takes
// no input: a key typed now could answer a later box whose default is
// Abort, and the close box would end the program with the install half
// done. It still repaints, and copies that take long (a slow share, a virus
// scanner) let it handle its messages, so it is never reported as hung.
class BusyWindow {
 public:
  BusyWindow(CWnd& window, platform::FileSystem& files) : window_(window), files_(files) {
    window_.EnableWindow(false);
    files_.SetWaitHook([this] { window_.PumpMessages(); });
  }
  ~BusyWindow() {
    files_.SetWaitHook(nullptr);
    window_.EnableWindow(true);
  }
  BusyWindow(const BusyWindow&) = delete;
  BusyWindow& operator=(const BusyWindow&) = delete;

 private:
  CWnd& window_;
  platform::FileSystem& files_;
};

}  // namespace

bool Dlg_Setup::RunInstall() {
  for (const int id : {SetupControl::FolderLabel, SetupControl::FolderField, SetupControl::BrowseButton}) {
    if (CWnd* control = GetDlgItem(id)) control->ShowWindow(platform::kSwHide);
  }
  // Once the copy has begun there is nothing to cancel: the button stays
  // grey until the completion view replaces it.
  if (CWnd* cancel = GetDlgItem(SetupControl::CancelButton)) cancel->EnableWindow(false);
  const BusyWindow busy(*this, files_);
  if (CWnd* bar = GetDlgItem(SetupControl::ProgressBar)) bar->ShowWindow(platform::kSwShowNormal);
  progressBar.SetRange(0, 50);
  progressBar.SetStep(1);
  progressBar.SetPos(0);

  // What the install does is noted as it goes, for a later uninstall: in
  // the target folder, or with administrator rights where only
  // administrators can write, since an administrator will run what is kept
  // there. A record that cannot be kept is one problem among the others,
  // never a reason to stop.
  SetupProblems recordProblems;
  const std::string recordFolder = recordFolder_.empty() ? folderPath : recordFolder_;
  CInstallRecord record(files_);
  record.Open(recordFolder);
  record.NoteInstallFolder(folderPath);
  if (!madeFolder.empty()) record.NoteMadeFolder(madeFolder);
  struct RecordInUse {
    CAcadSetup& setup;
    ~RecordInUse() { setup.record = nullptr; }
  } recordInUse{setup_};
  setup_.record = &record;

  CPackageCopy copy(folderPath, progressBar, files_, *this);
  copy.userPlaces = setup_.userPlaces;
  copy.record = &record;
  if (!copy.CopyDataFolder()) {
    // Nothing already copied is undone; the record says what was.
    exitCode = copy.packageMissing ? SetupExit::PackageMissing : SetupExit::CopyAborted;
    OnCancel();
    return false;
  }
  progressBar.StepIt();
  PumpMessages();
  setup_.SetInstallFolder(folderPath);
  const std::array<int, kReleaseCount>& f = selectionFlags;
  // What the scan could not read comes first: releases below it may be
  // missing from the list the user chose from.
  installProblems = setup_.scanProblems;
  // Then the package files left out: the install is not complete without them.
  installProblems.insert(installProblems.end(), copy.skippedFiles.begin(), copy.skippedFiles.end());
  const SetupProblems registration = setup_.RegisterWithHosts(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10],
                                             f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19], f[20]);
  installProblems.insert(installProblems.end(), registration.begin(), registration.end());
  progressBar.StepIt();
  PumpMessages();
  const SetupProblems files = setup_.InstallSupportFiles(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9],
                                                         f[10], f[11], f[12], f[13], f[14], f[15], f[16], f[17],
                                                         f[18], f[19], f[20]);
  installProblems.insert(installProblems.end(), files.begin(), files.end());
  // Last, so that the entry's size counts every package file copied.
  setup_.RegisterUninstall(recordFolder, &recordProblems);
  installProblems.insert(installProblems.end(), recordProblems.begin(), recordProblems.end());
  if (record.Failed()) installProblems.push_back(record.Problem());
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
