// Helpers shared by every registry implementation.
#include "platform/registry.h"

namespace platform {

std::string SubKeyName(Registry& registry, RegKey key, unsigned long index) {
  char name[kMaxKeyNameLength + 1];
  name[0] = '\0';
  unsigned long length = sizeof(name);
  registry.EnumKey(key, index, name, &length);  // on failure the name stays empty
  return name;
}

}  // namespace platform
