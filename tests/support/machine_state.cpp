// The state of an in-memory machine as text; see machine_state.h.
#include "tests/support/machine_state.h"

#include "platform/text.h"

namespace testing_support {
namespace {

bool Skipped(const std::string& path, const std::vector<std::string>& skipped);

void DumpKeys(const platform::MemoryRegistry& registry, const std::string& path, const std::vector<std::string>& skipped,
              std::string* out) {
  if (Skipped(path, skipped)) return;
  *out += "[" + path + "]\n";
  for (const std::string& name : registry.ValueNames(path)) {
    unsigned long type = 0;
    std::string data;
    registry.GetValue(path, name, &type, &data);
    *out += name + "(" + std::to_string(type) + ")=" + data + "\n";
  }
  for (const std::string& sub : registry.SubKeyNames(path)) DumpKeys(registry, path + "\\" + sub, skipped, out);
}

bool Skipped(const std::string& path, const std::vector<std::string>& skipped) {
  for (const std::string& skip : skipped) {
    if (platform::EqualsNoCase(path, skip)) return true;
  }
  return false;
}

void DumpFiles(platform::MemoryFileSystem& files, const std::string& folder, const std::vector<std::string>& skipped,
               std::string* out) {
  for (const std::string& name : files.Names(folder)) {
    const std::string path = folder + "\\" + name;
    if (Skipped(path, skipped)) continue;
    const unsigned long attributes = files.GetAttributes(path);
    std::string content;
    if (files.ReadFile(path, &content)) {
      const bool marked = files.HasStream(path, "Zone.Identifier");
      *out += path + " " + std::to_string(attributes) + (marked ? " marked " : " ") + content + "\n";
    } else {
      *out += path + "\\\n";
      DumpFiles(files, path, skipped, out);
    }
  }
}

}  // namespace

std::string MachineState(const platform::MemoryRegistry& registry, platform::MemoryFileSystem& files,
                         const std::vector<std::string>& drives, const std::vector<std::string>& skipped) {
  std::string out;
  DumpKeys(registry, "HKEY_LOCAL_MACHINE", skipped, &out);
  DumpKeys(registry, "HKEY_CURRENT_USER", skipped, &out);
  DumpKeys(registry, "HKEY_USERS", skipped, &out);
  for (const std::string& drive : drives) DumpFiles(files, drive, skipped, &out);
  return out;
}

std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t line = expected.rfind('\n', at);
  const std::size_t from = line == std::string::npos ? 0 : line + 1;
  return "expected \"" + expected.substr(from, expected.find('\n', at) - from) + "\", found \"" +
         actual.substr(from, actual.find('\n', at) - from) + "\"";
}

}  // namespace testing_support
