// The support files' names; see support_file_names.h.
#include "engine/support_file_names.h"

#include "platform/text.h"

std::string ReleaseDllName(int year) { return "ACAD" + std::to_string(year) + "P.dll"; }

bool IsSupportFileName(const std::string& name, const std::string& parent) {
  const auto placed = [&](const SupportFileName& file) {
    return platform::EqualsNoCase(name, file.name) &&
           (*file.subFolder == '\0' || platform::EqualsNoCase(parent, file.subFolder));
  };
  for (const SupportFileName& file : kSupportFiles) {
    if (placed(file)) return true;
  }
  if (placed(kPlotterDriver)) return true;
  // ACAD<year>P.dll
  if (name.size() != 13 || !platform::EqualsNoCase(name.substr(0, 4), "ACAD") ||
      !platform::EqualsNoCase(name.substr(8), "P.dll")) {
    return false;
  }
  for (std::size_t i = 4; i < 8; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}
