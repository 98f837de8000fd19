// Where the package files are: a Data folder beside the program, or the
// program's own folder when the package lies flat beside it.
#pragma once

#include <string>

namespace platform {
class FileSystem;
class MessageOwner;
}  // namespace platform

// Caption of every message box the setup shows.
inline constexpr char kSetupCaption[] = "V-软件安装";

// What GetPathKind finds at a path.
enum PathKind : int { kPathMissing = 0, kPathFile = 1, kPathFolder = 2 };

// Whether `path` names nothing, a file or a folder.
int GetPathKind(platform::FileSystem& files, std::string path);

// The package folder, found from the running program's own path and never
// from the working directory: the program folder's "Data" sub-folder when
// there is one, else the program folder itself when the sentinel module
// lies in it. When neither is there, tells the user that the Data folder is
// missing (OK box), or that the program's path is one the system's code
// page cannot carry, and returns false; `folder` then holds nothing useful.
bool FindPackageFolder(platform::FileSystem& files, platform::MessageOwner& owner, std::string& folder);
// The same without telling anybody; `*foreign` (when given) is set when the
// program's own path is one the code page cannot carry.
bool LocatePackageFolder(platform::FileSystem& files, std::string& folder, bool* foreign = nullptr);
