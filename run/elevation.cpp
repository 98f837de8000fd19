// Asking for administrator rights at start; see elevation.h.
#include "run/elevation.h"

bool WantsElevation(const SetupOptions& options, platform::ElevationType type, bool elevated, bool system) {
  if (options.help || options.perUser || !options.recordFolder.empty()) return false;
  if (elevated || system) return false;
  return type == platform::ElevationType::Limited;
}
