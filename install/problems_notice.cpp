// The problems notice; see problems_notice.h.
#include "install/problems_notice.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/message_text.h"
#include "platform/text.h"

namespace {

// A place and its item as the user reads them, with one backslash between
// them (the catalogue's key paths end in one already); both in the
// system's code page, so marked as such for the box.
std::string Where(const SetupProblem& problem) {
  std::string where = problem.place;
  if (!problem.item.empty()) {
    const bool separated = !where.empty() && platform::ReverseFindChar(where, '\\') == where.size() - 1;
    where += (separated ? "" : "\\") + problem.item;
  }
  return platform::SystemText(where);
}

std::string Describe(const SetupProblem& problem) {
  std::string line = problem.year ? "[" + std::to_string(problem.year) + "] " : std::string();
  switch (problem.kind) {
    case SetupProblem::RegistryWrite:
      line += "注册表未写入：" + Where(problem);
      break;
    case SetupProblem::FileCopy:
      line += "文件未复制：" + platform::SystemText(problem.place);
      break;
    case SetupProblem::RegistryRead:
      line += "注册表未能读取，保持原样：" + Where(problem);
      break;
    case SetupProblem::ScanRead:
      line += "注册表未能读取，其下的AutoCAD可能未被找到：" + Where(problem);
      break;
    case SetupProblem::TextTooLong:
      line += "路径过长，未写入：" + platform::SystemText(problem.place) +
              (problem.item.empty() ? "" : "（" + platform::SystemText(problem.item) + "）");
      break;
    case SetupProblem::NameNotInCodePage:
      line += "其下有名称无法以本系统代码页表示的项，未能处理：" + Where(problem);
      break;
    case SetupProblem::RecordWrite:
      line += "安装记录未能完整写入，日后可能无法完全卸载：" + platform::SystemText(problem.place);
      break;
    case SetupProblem::RecordFolder:
      line += "未能建立仅管理员可写的文件夹：" + platform::SystemText(problem.place);
      break;
    case SetupProblem::EarlierInstall:
      line += "原安装位置的内容未能全部删除：" + platform::SystemText(problem.place);
      break;
    case SetupProblem::BackupCopy:
      line += "原有文件未能备份即被替换：" + platform::SystemText(problem.place);
      break;
  }
  if (problem.error != 0) line += "（错误 " + std::to_string(problem.error) + "）";
  return line;
}

bool IsAccessDenied(const SetupProblem& problem) { return problem.error == platform::FileError::AccessDenied; }
bool IsInUse(const SetupProblem& problem) { return problem.error == platform::FileError::SharingViolation; }

}  // namespace

std::string DescribeProblems(const SetupProblems& problems) {
  if (problems.empty()) return std::string();
  // One line per problem, each told once: an installation that the two
  // scan passes both reach (the 32-bit view gives them one key) is served
  // twice and fails twice the same way.
  std::vector<std::string> lines;
  bool denied = false, inUse = false, tooLong = false, foreignName = false;
  for (const SetupProblem& problem : problems) {
    denied = denied || IsAccessDenied(problem);
    inUse = inUse || IsInUse(problem);
    tooLong = tooLong || problem.kind == SetupProblem::TextTooLong;
    foreignName = foreignName || problem.kind == SetupProblem::NameNotInCodePage;
    std::string line = Describe(problem);
    if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(std::move(line));
  }
  std::string text = "安装已完成，但以下 " + std::to_string(lines.size()) + " 项未能完成：\n\n";
  for (std::size_t i = 0; i < lines.size() && i < kProblemsListed; ++i) text += lines[i] + "\n";
  if (lines.size() > kProblemsListed) {
    text += "……另有 " + std::to_string(lines.size() - kProblemsListed) + " 项未列出。\n";
  }
  text += "\n请关闭AutoCAD后重新运行SetUp.exe。";
  if (denied) {
    // Right for both kinds of account: an administrator raises the program
    // itself; a standard user cannot, and needs an administrator.
    text += "\n拒绝访问（错误 5）：HKEY_LOCAL_MACHINE 或 Program Files 需要管理员权限。"
            "管理员帐户：请右键单击SetUp.exe，选择“以管理员身份运行”。"
            "标准用户帐户：同样选择“以管理员身份运行”，并请管理员输入管理员帐户的密码；"
            "或请管理员授予这些位置的写入权限。";
  }
  if (inUse) text += "\n文件正被使用（错误 32）：请先关闭AutoCAD。";
  if (tooLong) text += "\n路径过长：请选择较短的安装路径。";
  if (foreignName) {
    text += "\n名称无法以本系统代码页表示（错误 1113）：请在控制面板的“区域”设置中，将非Unicode程序的语言"
            "设为该名称的语言（如中文(简体)），或将其改名，然后重新运行SetUp.exe。";
  }
  return text;
}
