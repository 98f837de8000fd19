// Locating the package folder; see package_folder.h.
#include "deploy/package_folder.h"

#include "platform/files.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

const char kMissingDataText[] =
    "未找到安装所需的Data文件夹 !\n\n可能安装文件下载后没有解压，\n\n请解压后再执行SetUp.exe !";

// The program's own folder has a name the system's code page cannot carry
// (a Chinese folder on a Western system): no narrow call reaches its Data.
const char kForeignProgramFolderText[] =
    "SetUp.exe所在文件夹的名称含有本系统代码页无法表示的字符，无法读取安装所需的Data文件夹 !\n\n"
    "请将安装文件解压到名称只含英文字母和数字的文件夹（如 D:\\Setup）后再执行SetUp.exe !";

}  // namespace

int GetPathKind(platform::FileSystem& files, std::string path) {
  platform::FindEntry entry;
  const platform::ScopedFind find(files, files.FindFirst(path, &entry));
  if (!find.Valid()) return kPathMissing;
  return (entry.attributes & platform::kAttrDirectory) ? kPathFolder : kPathFile;
}

bool FindPackageFolder(platform::FileSystem& files, platform::MessageOwner& owner, std::string& folder) {
  bool foreign = false;
  if (LocatePackageFolder(files, folder, &foreign)) return true;
  owner.ShowMessage(foreign ? kForeignProgramFolderText : kMissingDataText, kSetupCaption, platform::kMbOk);
  return false;
}

bool LocatePackageFolder(platform::FileSystem& files, std::string& folder, bool* foreign) {
  const std::string program = files.ModulePath();
  if (foreign) *foreign = program.empty() && files.LastError() == platform::FileError::NoUnicodeTranslation;
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
