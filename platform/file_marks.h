// The marks on a file that are not its contents: the attributes that keep
// CopyFile from overwriting it or a delete from removing it, and the
// ":Zone.Identifier" stream that keeps a downloaded file blocked. Each
// operation goes through the file-system family and reports nothing.
#pragma once

#include <string>

namespace platform {
class FileSystem;
}  // namespace platform

// Clears the read-only attribute of `path` when it is set, leaving every
// other attribute as it was.
void ClearReadOnly(platform::FileSystem& files, std::string path);

// Clears the read-only, hidden and system attributes of `path` where set:
// CopyFile will not overwrite a read-only or hidden file (a desktop.ini or
// Thumbs.db from the package would block every later install).
void ClearBlockingAttributes(platform::FileSystem& files, std::string path);

// Deletes the file's ":Zone.Identifier" stream, the mark that keeps a
// downloaded file blocked. True when a stream was deleted.
bool DeleteZoneIdentifier(platform::FileSystem& files, std::string path);
