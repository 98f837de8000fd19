// The problems notice; see problems_notice.h.
#include "ui/problems_notice.h"

#include <string>

#include "platform/files.h"

namespace {

std::string Describe(const SetupProblem& problem) {
  std::string line = problem.year ? "[" + std::to_string(problem.year) + "] " : std::string();
  switch (problem.kind) {
    case SetupProblem::RegistryWrite:
      line += "注册表未写入：" + problem.place + (problem.item.empty() ? "" : "\\" + problem.item);
      break;
    case SetupProblem::FileCopy:
      line += "文件未复制：" + problem.place;
      break;
    case SetupProblem::RegistryRead:
      line += "注册表未能读取，保持原样：" + problem.place + (problem.item.empty() ? "" : "\\" + problem.item);
      break;
    case SetupProblem::ScanRead:
      line += "注册表未能读取，其下的AutoCAD可能未被找到：" + problem.place + (problem.item.empty() ? "" : "\\" + problem.item);
      break;
    case SetupProblem::TextTooLong:
      line += "路径过长，未写入：" + problem.place + (problem.item.empty() ? "" : "（" + problem.item + "）");
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
  std::string text = "安装已完成，但以下 " + std::to_string(problems.size()) + " 项未能完成：\n\n";
  bool denied = false, inUse = false, tooLong = false;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    const SetupProblem& problem = problems[i];
    denied = denied || IsAccessDenied(problem);
    inUse = inUse || IsInUse(problem);
    tooLong = tooLong || problem.kind == SetupProblem::TextTooLong;
    if (i < kProblemsListed) text += Describe(problem) + "\n";
  }
  if (problems.size() > kProblemsListed) {
    text += "……另有 " + std::to_string(problems.size() - kProblemsListed) + " 项未列出。\n";
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
  return text;
}
