#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include "platform/reg_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace testing_support {

std::string FixturePath(const std::string& name) {
#ifdef _WIN32
  return std::string(SETUP_FIXTURE_DIR) + "\\" + name;
#else
  return std::string(SETUP_FIXTURE_DIR) + "/" + name;
#endif
}

void LoadRegFixture(platform::Registry& registry, const std::string& name) {
  std::string error;
  ASSERT_TRUE(platform::ImportRegFile(registry, FixturePath(name), &error)) << name << ": " << error;
}

#ifdef _WIN32
int ImportWithRegedit(const std::string& path) {
  std::string command = "regedit.exe /S \"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
#endif

}  // namespace testing_support
