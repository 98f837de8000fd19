// Scans the real registry once and says what it found and how long the scan
// took; the Wine benchmark script times it against reg query.
#include <chrono>
#include <cstdio>

#include "engine/acad_setup.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

int main() {
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup(platform::SystemRegistry(), files, owner);
  const auto start = std::chrono::steady_clock::now();
  setup.ScanReleases();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::size_t installations = 0;
  for (const CStringList& folders : setup.acadFolders) installations += folders.size();
  std::printf("%zu installations, scan %.1f ms\n", installations,
              std::chrono::duration<double, std::milli>(elapsed).count());
  return 0;
}
