// The cleanup command on fuzzed paths: any bytes a folder name may hold
// (CP936 characters, "%", "!", "&", "^", spaces), long ones, and up to
// sixty folders. Whatever they are, the command stays within the command
// processor's limit with its values put in, no path byte stands outside
// quotes, the file waited for is always tried, and what is left out for
// want of room is only ever the end of the folder list.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/support/cleanup_check.h"
#include "uninstall/uninstall_handoff.h"

namespace {

std::string Path(FuzzedDataProvider& input) {
  std::string path = input.ConsumeBool() ? "C:\\" : "D:\\t\\";
  const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, input.ConsumeBool() ? 300 : 20);
  while (path.size() < length + 3 && input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 5)) {
      case 0: path += "%OS%"; break;
      case 1: path += "!PATH!"; break;
      case 2: path += '\\'; break;
      default: fuzz_support::AppendChar(input, path);
    }
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string system = input.ConsumeBool() ? "C:\\Windows\\System32" : "C:\\WINNT\\system32";
  const std::string wait = Path(input);
  const std::string then = input.ConsumeBool() ? Path(input) : std::string();
  std::vector<std::string> folders(input.ConsumeIntegralInRange(0, 60));
  for (std::string& folder : folders) folder = Path(input);
  const CleanupLaunch launch = CleanupCommand(system, wait, then, folders);
  const std::string fault = testing_support::CleanupCommandFault(launch);
  FUZZ_CHECK(fault.empty(), fault.c_str());
  FUZZ_CHECK(launch.places.folder == system, "runs in the system folder");
  FUZZ_CHECK(launch.places.program == system + "\\cmd.exe", "the system's command processor");
  FUZZ_CHECK(launch.places.environment.at(0).second == wait, "the file waited for is always named");
  // The folders kept are a prefix of those asked for, in order.
  std::size_t kept = 0;
  for (const auto& variable : launch.places.environment) {
    if (variable.first.compare(0, 5, "VVO_D") == 0) {
      FUZZ_CHECK(variable.first == "VVO_D" + std::to_string(kept + 1), "folders in order");
      FUZZ_CHECK(variable.second == folders.at(kept), "a folder kept as given");
      ++kept;
    }
  }
  return 0;
}
