// Helpers shared by every registry implementation.
#include "platform/registry.h"

namespace platform {

std::string SubKeyName(Registry& registry, RegKey key, unsigned long index) {
  long status = RegResult::Success;
  return SubKeyName(registry, key, index, &status);
}

std::string SubKeyName(Registry& registry, RegKey key, unsigned long index, long* status) {
  char name[kMaxKeyNameLength + 1];
  name[0] = '\0';
  unsigned long length = sizeof(name);
  *status = registry.EnumKey(key, index, name, &length);  // on failure the name stays empty
  return *status == RegResult::Success ? std::string(name) : std::string();
}

}  // namespace platform
