// Copies the package once with the system's file system and says how long
// the copy took; the Wine benchmark script times it against xcopy.
//   copy_once.exe <target folder>
// The package is the Data folder beside this program, found the way the
// setup finds it. Any message box means the copy failed: its text goes to
// stderr, it is answered Abort, and the exit code is 1.
#include <windows.h>

#include <cstdio>
#include <string>

#include "deploy/package_copy.h"
#include "platform/files.h"
#include "platform/window.h"

namespace {

class CountingProgress final : public platform::ProgressStepper {
 public:
  void StepIt() override { ++steps; }
  int steps = 0;
};

class AbortingOwner final : public platform::MessageOwner {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
    ++boxes;
    std::fprintf(stderr, "box (%s, type %u): %s\n", caption.c_str(), type, text.c_str());
    return platform::kIdAbort;
  }
  int boxes = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: copy_once.exe <target folder>\n");
    return 2;
  }
  CountingProgress progress;
  AbortingOwner owner;
  // As the install runs it: each copy on a worker thread while this one
  // waits for messages (there are none to handle here).
  platform::SystemFileSystem().SetWaitHook([] {});
  CPackageCopy copy(argv[1], progress, platform::SystemFileSystem(), owner);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const bool copied = copy.CopyDataFolder();
  QueryPerformanceCounter(&end);

  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart);
  std::printf("copy %.1f ms, %d steps\n", ms, progress.steps);
  if (!copied || owner.boxes > 0) {
    std::fprintf(stderr, "the copy failed (%d box%s)\n", owner.boxes, owner.boxes == 1 ? "" : "es");
    return 1;
  }
  return 0;
}
