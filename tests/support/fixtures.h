// Where the tests' data lives, and how a registry fixture reaches each world.
#pragma once

#include <string>

#include "platform/registry.h"
#include "platform/text.h"

namespace testing_support {

// The text family's code page for one scope, as a system with that ANSI
// code page sets it at start; the previous one comes back at the end.
class ScopedCodePage {
 public:
  explicit ScopedCodePage(unsigned int codePage) : previous_(platform::CurrentCodePage()) {
    platform::SetCodePage(codePage);
  }
  ~ScopedCodePage() { platform::SetCodePage(previous_); }
  ScopedCodePage(const ScopedCodePage&) = delete;
  ScopedCodePage& operator=(const ScopedCodePage&) = delete;

 private:
  unsigned int previous_;
};

// The desktop user of desktop_user.reg, whose hive is not the running
// account's.
constexpr char kDesktopUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-1107";
constexpr char kDesktopUserFolder[] = "C:\\Users\\bob\\AppData\\Roaming";

// Full path of a file in tests/fixtures, in the running world's form
// (a Z:\ path under Wine).
std::string FixturePath(const std::string& name);

// Loads a REGEDIT4 fixture: into `registry` with the program's own reader.
// Fails the current test when the file cannot be read.
void LoadRegFixture(platform::Registry& registry, const std::string& name);

#ifdef _WIN32
// Imports a fixture into the real registry with regedit /S, as a person
// would; returns regedit's exit code. Under Wine the regedit a program
// starts has the program's bitness: a 32-bit test's files HKLM\SOFTWARE
// below Wow6432Node.
int ImportWithRegedit(const std::string& path);
#endif

}  // namespace testing_support
