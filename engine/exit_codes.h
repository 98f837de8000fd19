// The program's exit codes: how a run ended, for a program that started it
// (a deployment tool, a batch file) to act on. One table for every way the
// program runs; the README lists it.
#pragma once

namespace SetupExit {
constexpr int Installed = 0;              // installed, nothing to report
constexpr int Cancelled = 1;              // closed before anything was installed
constexpr int PackageMissing = 2;         // no Data folder beside the program
constexpr int CopyAborted = 3;            // the user aborted a failed package copy
constexpr int InstalledWithProblems = 4;  // installed; the problems notice was shown
constexpr int NoDialog = 5;               // the dialog could not be made (no desktop, no template)
constexpr int BadCommandLine = 6;         // an unknown switch or a malformed value; nothing done
constexpr int NothingToInstall = 7;       // no release found, or none of those asked for
// Windows Installer's "another installation is in progress": deployment
// tools retry it later without being told to.
constexpr int RetryLater = 1618;
constexpr int HostRunning = RetryLater;   // AutoCAD runs; nothing done
constexpr int AnotherRun = RetryLater;    // another SetUp.exe or Uninstall.exe runs; nothing done
constexpr int NothingToRemove = 9;        // uninstall: no record of an install beside the uninstaller
constexpr int RemovedWithItemsLeft = 10;  // uninstall: removed, but some items were left (and reported)
constexpr int NewerInstalled = 12;        // a newer version is installed; nothing done (/FORCE goes on)
constexpr int RightsDeclined = 11;        // a silent run: the administrator rights it asked for were declined; nothing done
constexpr int NoProtectedFolder = 13;     // elevated: a folder only administrators write could not be had; nothing installed
// 0 (Installed) is also an uninstall that removed everything, and 1
// (Cancelled) one the user declined.

// What each code says, for the usage text and the log: the one list of the
// codes' meanings (the README's table says the same).
struct Meaning {
  int code;
  const char* chinese;  // CP936
  const char* english;
};
inline constexpr Meaning kMeanings[] = {
    {Installed, "安装完成（卸载：全部删除）", "installed (uninstall: everything removed)"},
    {Cancelled, "未安装任何内容即关闭（卸载：用户取消）", "closed before anything was installed (uninstall: declined)"},
    {PackageMissing, "程序旁没有 Data 文件夹，未安装", "no Data folder beside the program; nothing installed"},
    {CopyAborted, "安装文件拷贝失败，已中止", "a package file could not be copied; aborted"},
    {InstalledWithProblems, "已安装，但有未完成的项目（见日志）", "installed, with problems (see the log)"},
    {NoDialog, "无法显示对话框", "the dialog could not be made"},
    {BadCommandLine, "命令行参数错误，未做任何操作", "bad command line; nothing done"},
    {NothingToInstall, "没有可安装的AutoCAD版本（未找到，或不在 /R= 中）",
     "nothing to install: no release found, or none of /R="},
    {RetryLater, "AutoCAD正在运行（/FORCE 仍然安装），或另一个SetUp.exe / Uninstall.exe正在运行：未做任何操作，请稍后再试",
     "AutoCAD runs (/FORCE goes on), or another SetUp.exe / Uninstall.exe runs: nothing done, try again later"},
    {NothingToRemove, "卸载：没有安装记录", "uninstall: no record of an install"},
    {RemovedWithItemsLeft, "卸载：已删除，但有项目未能删除（见日志）", "uninstall: removed, some items left (see the log)"},
    {NewerInstalled, "已安装较新的版本，未做任何操作（/FORCE 仍然安装）",
     "a newer version is installed; nothing done (/FORCE goes on)"},
    {RightsDeclined, "静默运行：未获得所需的管理员权限（用户在UAC提示中选择了“否”），未做任何操作",
     "silent run: the administrator rights asked for were declined at the UAC prompt; nothing done"},
    {NoProtectedFolder, "以管理员身份运行时无法建立仅管理员可写的文件夹，未安装",
     "elevated: no folder only administrators can write; nothing installed"},
};

// The English meaning of `code`; empty for a code not in the list.
inline const char* EnglishMeaning(int code) {
  for (const Meaning& meaning : kMeanings)
    if (meaning.code == code) return meaning.english;
  return "";
}
}  // namespace SetupExit
