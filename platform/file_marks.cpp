// The file marks; see file_marks.h.
#include "platform/file_marks.h"

#include "platform/files.h"

void ClearReadOnly(platform::FileSystem& files, std::string path) {
  const unsigned long attributes = files.GetAttributes(path);
  if (attributes == platform::kInvalidAttributes || !(attributes & platform::kAttrReadOnly)) return;
  files.SetAttributes(path, attributes & ~platform::kAttrReadOnly);
}

void ClearBlockingAttributes(platform::FileSystem& files, std::string path) {
  constexpr unsigned long kBlocking = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;
  const unsigned long attributes = files.GetAttributes(path);
  if (attributes == platform::kInvalidAttributes || !(attributes & kBlocking)) return;
  files.SetAttributes(path, attributes & ~kBlocking);
}

bool DeleteZoneIdentifier(platform::FileSystem& files, std::string path) {
  return files.Remove(path + ":Zone.Identifier");
}
