// Locating the package folder; see package_folder.h.
#include "deploy/package_folder.h"

#include "platform/files.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

const char kMissingDataText[] =
    "未找到安装所需的Data文件夹 !\n\n可能安装文件下载后没有解压，\n\n请解压后再执行SetUp.exe !";

}  // namespace

int GetPathKind(platform::FileSystem& files, std::string path) {
  platform::FindEntry entry;
  const platform::ScopedFind find(files, files.FindFirst(path, &entry));
  if (!find.Valid()) return kPathMissing;
  return (entry.attributes & platform::kAttrDirectory) ? kPathFolder : kPathFile;
}

bool FindPackageFolder(platform::FileSystem& files, platform::MessageOwner& owner, std::string& folder) {
  if (LocatePackageFolder(files, folder)) return true;
  owner.ShowMessage(kMissingDataText, kSetupCaption, platform::kMbOk);
  return false;
}

bool LocatePackageFolder(platform::FileSystem& files, std::string& folder) {
  const std::string program = files.ModulePath();
  // By characters: a Chinese folder name may end in a trail byte 0x5C.
  const std::size_t cut = platform::ReverseFindChar(program, '\\');
  // Without a full program path there is nothing to anchor on; looking
  // relative to the working directory instead could pick up a stranger's
  // Data folder.
  if (cut != platform::npos && cut > 0) {
    const std::string programFolder = program.substr(0, cut);
    folder = programFolder + "\\Data";
    if (GetPathKind(files, folder) == kPathFolder) return true;
    folder = programFolder + "\\VK_VidudOvev2010.arx";
    if (GetPathKind(files, folder) == kPathFile) {
      folder = programFolder;
      return true;
    }
  }
  return false;
}
