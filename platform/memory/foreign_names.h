// Names the doubles keep in the code page they were written in.
//
// The doubles convert no text between code pages: a name is kept as the
// bytes it was given, with the code page in force then (platform/text.h).
// Read back under another code page, a name of ASCII characters alone is the
// same name; any other stands for one the system's code page cannot carry,
// as a Chinese name on a code page 1252 system: Windows' wide calls give it
// back, and the conversion to the ANSI code page fails.
#pragma once

#include <string>

#include "platform/text.h"

namespace platform {

inline bool CarriedByCodePage(const std::string& name, unsigned int writtenIn) {
  if (writtenIn == CurrentCodePage()) return true;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The name as the narrow calls give it: '?' for each character beyond
// ASCII, counted by the rules of the code page it was written in.
inline std::string NarrowCallName(const std::string& name, unsigned int writtenIn) {
  std::string shown;
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t length = CharLength(writtenIn, name, pos);
    shown += static_cast<unsigned char>(name[pos]) < 0x80 ? name[pos] : '?';
    pos += length;
  }
  return shown;
}

}  // namespace platform
