// Folder browsing: OnBrowse, BrowseForFolder, BrowseCallbackProc.
#include <cstring>

#include "platform/text.h"
#include "ui/dlg_setup.h"

namespace {
const char kBrowseTitle[] = "请选择安装目录：";
}  // namespace

int BrowseCallbackProc(platform::BrowserWindow& browser, unsigned message, std::intptr_t, std::intptr_t data) {
  if (message == platform::kBffmInitialized) {
    browser.Send(platform::kBffmSetSelection, 1, data);
  }
  // Every notification is answered with 0: a name that does not validate
  // dismisses the browser, which then counts as cancelled.
  return 0;
}

bool BrowseForFolder(platform::Shell& shell, platform::DialogWindow* owner, std::string title, std::string& folder,
                     std::string& lastBrowseFolder) {
  if (!folder.empty()) lastBrowseFolder = folder;
  char displayName[platform::kPathBufferSize];
  std::memset(displayName, 0, sizeof(displayName));
  platform::BrowseInfo info;
  info.owner = owner;
  info.displayName = displayName;
  info.title = title;
  info.flags = platform::kBifReturnOnlyFsDirs | platform::kBifEditBox | platform::kBifValidate |
               platform::kBifNewDialogStyle;
  info.callback = BrowseCallbackProc;
  info.callbackData = reinterpret_cast<std::intptr_t>(lastBrowseFolder.c_str());

  const platform::ShellItem item = shell.BrowseForFolder(info);
  if (item == platform::kNoItem) return false;
  // The same buffer receives the picked folder's path: 259 characters at
  // most and the zero.
  const bool hasPath = shell.PathFromItem(item, displayName);
  if (hasPath) {
    displayName[platform::kPathBufferSize - 1] = '\0';
    folder = displayName;
    lastBrowseFolder = folder;
  }
  shell.FreeItem(item);
  return hasPath;
}

void Dlg_Setup::OnBrowse() {
  UpdateData(true);
  if (BrowseForFolder(shell_, Window(), kBrowseTitle, folderPath, lastBrowseFolder_)) UpdateData(false);
  UpdateInstallButton();
}
