// The uninstall's closing box; see uninstall_notice.h.
#include "uninstall/uninstall_notice.h"

#include <string>

#include "platform/files.h"
#include "platform/message_text.h"

namespace {

std::string Where(const UninstallLeft& left) {
  return platform::SystemText(left.item.empty() ? left.place : left.place + "\\" + left.item);
}

std::string Describe(const UninstallLeft& left) {
  std::string line;
  switch (left.reason) {
    case UninstallLeft::Failed:
      line = "未能删除或恢复：" + Where(left);
      break;
    case UninstallLeft::Changed:
      line = "安装后已被修改，保留原样：" + Where(left);
      break;
    case UninstallLeft::NotEmpty:
      line = "文件夹中还有其他文件，保留：" + Where(left);
      break;
    case UninstallLeft::KeptOriginal:
      line = "原有文件的备份，保留：" + Where(left);
      break;
    case UninstallLeft::Outside:
      line = "安装记录中列有无法核实属于本次安装的位置，未动：" + Where(left);
      break;
    case UninstallLeft::Unreadable:
      line = "安装记录无法读取，未删除任何内容：" + Where(left);
      break;
    case UninstallLeft::HiveNotLoaded:
      line = "该用户未登录，其配置未能恢复（请该用户登录后再次卸载）：" + Where(left);
      break;
  }
  if (left.error != 0) line += "（错误 " + std::to_string(left.error) + "）";
  return line;
}

}  // namespace

std::string DescribeUninstall(const UninstallResult& result) {
  if (!result.recordFound) return "未找到安装记录，没有可卸载的内容。";
  std::string text = result.left.empty() ? "卸载已完成。\n\n" : "卸载已完成，但以下 " +
                                                                   std::to_string(result.left.size()) +
                                                                   " 项未能删除：\n\n";
  bool failed = false, denied = false, inUse = false;
  for (std::size_t i = 0; i < result.left.size(); ++i) {
    const UninstallLeft& left = result.left[i];
    failed = failed || left.reason == UninstallLeft::Failed;
    denied = denied || left.error == platform::FileError::AccessDenied;
    inUse = inUse || left.error == platform::FileError::SharingViolation;
    if (i < kLeftItemsListed) text += Describe(left) + "\n";
  }
  if (result.left.size() > kLeftItemsListed) {
    text += "……另有 " + std::to_string(result.left.size() - kLeftItemsListed) + " 项未列出。\n";
  }
  if (!result.left.empty()) text += "\n";
  text += "已删除：文件 " + std::to_string(result.filesRemoved) + " 个，恢复原有文件 " +
          std::to_string(result.originalsRestored) + " 个，AutoCAD加载项 " + std::to_string(result.loadersRemoved) +
          " 项，受信任路径 " + std::to_string(result.trustedRestored) + " 处" +
          (result.entryRemoved ? "，“程序和功能”中的条目" : "") + "。\n";
  if (result.handedOver > 0) {
    text += "\n当前未登录用户的受信任路径 " + std::to_string(result.handedOver) + " 处，将在其下次登录Windows时恢复。\n";
  }
  if (!result.settingsFile.empty()) {
    text += "\n用户设置文件已保留：" + platform::SystemText(result.settingsFile) + "\n";
  }
  if (!result.left.empty()) text += "\n未删除的各项已记入安装记录，处理后可再次运行卸载。";
  if (failed) {
    text += "\n请关闭AutoCAD后再次运行卸载。";
    if (denied) text += "\n拒绝访问（错误 5）：请以管理员身份运行卸载。";
    if (inUse) text += "\n文件正被使用（错误 32）：请先关闭AutoCAD。";
  }
  return text;
}
