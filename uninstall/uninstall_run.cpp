// The uninstall's questions and its last box; see uninstall_run.h.
#include "uninstall/uninstall_run.h"

#include <utility>

#include "deploy/host_process.h"
#include "engine/acad_setup.h"
#include "engine/program_names.h"
#include "engine/exit_codes.h"
#include "record/install_record.h"
#include "uninstall/uninstall.h"
#include "platform/files.h"
#include "platform/message_text.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uninstall/uninstall_notice.h"

namespace {

constexpr unsigned kIconQuestion = 0x20;     // MB_ICONQUESTION
constexpr unsigned kIconExclamation = 0x30;  // MB_ICONEXCLAMATION

const char kConfirmText[] =
    "确定要从本机卸载批打印软件吗？\n\n"
    "将删除安装的文件和AutoCAD中的加载项，并恢复安装前的受信任路径。";
const char kHostRunningText[] =
    "AutoCAD正在运行。\n\n"
    "请先关闭AutoCAD，再按“确定”继续卸载；按“取消”退出卸载。";

}  // namespace

int RunUninstall(const UninstallWorld& world, const UninstallRequest& request, std::vector<std::string>* laterFolders) {
  if (!platform::IsPlainFullPath(request.recordFolder)) {
    // The program could not tell its own folder (a path the code page
    // cannot carry, or too long): reading a record from "" would read the
    // drive's root. Nothing is done.
    if (!request.silent) {
      world.boxes.ShowMessage(
          "无法确定卸载程序所在的文件夹（路径含有本系统无法表示的字符，或超过260个字符）：\n" +
              platform::SystemText(request.recordFolder) + "\n\n未做任何操作。",
          kUninstallCaption, platform::kMbOk | kIconExclamation);
    }
    return SetupExit::NothingToRemove;
  }
  const std::string recordPath = request.recordFolder + "\\" + CInstallRecord::kFileName;
  if (world.files.GetAttributes(recordPath) == platform::kInvalidAttributes) {
    if (!request.silent) {
      world.boxes.ShowMessage(
          "未找到批打印软件的安装记录：\n" + recordPath + "\n\n没有可以卸载的内容。", kUninstallCaption,
          platform::kMbOk | kIconExclamation);
    }
    return SetupExit::NothingToRemove;
  }
  if (!request.silent && world.boxes.ShowMessage(kConfirmText, kUninstallCaption,
                                                  platform::kMbYesNo | kIconQuestion) != platform::kIdYes) {
    return SetupExit::Cancelled;
  }
  // Warned once, as the install does: then it goes on.
  if (IsAcadRunning(world.processes)) {
    if (request.silent && !request.force) return SetupExit::HostRunning;
    if (!request.silent && world.boxes.ShowMessage(kHostRunningText, kUninstallCaption,
                                                    platform::kMbOkCancel | kIconExclamation) != platform::kIdOk) {
      return SetupExit::Cancelled;
    }
  }
  CUninstall uninstall(world.registry, world.files);
  uninstall.HandOverSignedOut(request.handOver);
  const UninstallResult result = uninstall.Run(request.recordFolder, request.runningProgram);
  if (laterFolders) *laterFolders = result.foldersAfterProgram;
  if (!request.silent) {
    std::string text = DescribeUninstall(result);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (!request.logPath.empty()) text += "\n\n详细情况见日志文件：" + platform::SystemText(request.logPath);
    world.boxes.ShowMessage(text, kUninstallCaption, platform::kMbOk);
  }
  return UninstallExitCode(result);
}

int UndoEarlierInstall(const UninstallWorld& world, CAcadSetup& setup, bool elevated, const std::string& folder,
                       CUninstall::HandOver handOver) {
  const std::string recordFolder = setup.ChooseRecordFolder(folder + kSubFolder, elevated);
  if (recordFolder.empty()) return SetupExit::NothingToRemove;
  UninstallRequest request;
  request.silent = true;
  request.force = true;
  request.recordFolder = recordFolder;
  request.handOver = std::move(handOver);
  return RunUninstall(world, request);
}
