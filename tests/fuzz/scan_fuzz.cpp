// The release scan on fuzzed key trees below both AutoCAD roots of
// HKEY_LOCAL_MACHINE: odd names (double-byte, trail bytes 0x5C, 255 bytes),
// depths, and AcadLocation / ProductName values of every type and of sizes
// around the scan's 520-byte buffer. Whatever the tree, the scan closes
// every key and files only what the registry holds.
#include <cstdint>
#include <string>

#include "engine/acad_setup.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

namespace {

using platform::MemoryRegistry;
namespace RegType = platform::RegType;

constexpr std::size_t kScanBuffer = 520;  // the scan's value buffer
constexpr unsigned long kTypes[] = {RegType::String, RegType::ExpandString, RegType::Binary, RegType::Dword,
                                    RegType::MultiString};

// Value data: a product name with a year, a folder, or raw bytes; then
// brought to a size near the scan's buffer or left short.
std::string ValueData(FuzzedDataProvider& input, bool location) {
  std::string text;
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      text = location ? "C:\\Program Files\\AutoCAD " : "AutoCAD ";
      text += std::to_string(input.ConsumeIntegralInRange(2006, 2028));
      break;
    case 1:
      text = std::to_string(input.ConsumeIntegralInRange(2006, 2028)) + " ";
      for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) fuzz_support::AppendChar(input, text);
      break;
    case 2:
      text = "D:\\";
      for (int i = input.ConsumeIntegralInRange(0, 8); i > 0; --i) fuzz_support::AppendChar(input, text);
      break;
    default:
      text = input.ConsumeRandomLengthString(24);
  }
  // Endings a folder may have: a backslash, or a character whose trail byte is 0x5C.
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: text += "\\"; break;
    case 1: text += "\x81\x5C"; break;
    default: break;
  }
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: {  // padded to just under, at or just over the buffer, zero at the end or none
      const std::size_t size = kScanBuffer - 2 + input.ConsumeIntegralInRange<std::size_t>(0, 4);
      text += fuzz_support::Repeated(input, size > text.size() ? size - text.size() : 0);
      text.resize(size);
      if (input.ConsumeBool()) text.back() = '\0';
      break;
    }
    case 1:
      break;  // no terminating zero
    default:
      text.push_back('\0');
  }
  return text;
}

// Builds one key path below a root and puts a few values into it.
void AddKey(FuzzedDataProvider& input, MemoryRegistry& registry) {
  std::string path = input.ConsumeBool() ? "SOFTWARE\\Autodesk\\AutoCAD" : "SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD";
  for (int depth = input.ConsumeIntegralInRange(1, 6); depth > 0; --depth) path += "\\" + fuzz_support::KeyName(input);
  platform::RegKey key = platform::kNoKey;
  if (registry.CreateKey(platform::kLocalMachine, path.c_str(), &key) != platform::RegResult::Success) return;
  for (int values = input.ConsumeIntegralInRange(0, 3); values > 0; --values) {
    std::string name;
    const int which = input.ConsumeIntegralInRange(0, 4);
    if (which <= 1) name = "AcadLocation";
    else if (which <= 3) name = "ProductName";
    else name = input.ConsumeRandomLengthString(16);
    if (input.ConsumeBool()) name = platform::ToUpper(name);
    const unsigned long type = input.ConsumeBool() ? RegType::String : input.PickValueInArray(kTypes);
    const std::string data = ValueData(input, which <= 1);
    registry.SetValue(key, name.c_str(), type, reinterpret_cast<const unsigned char*>(data.data()),
                      static_cast<unsigned long>(data.size()));
  }
  registry.CloseKey(key);
}

// The text of a value as the scan reads it: found only when it fits the
// buffer, and up to its first zero.
bool ScanText(const MemoryRegistry& registry, const std::string& keyPath, const char* name, std::string* text) {
  std::string data;
  if (!registry.GetValue(keyPath, name, nullptr, &data) || data.size() > kScanBuffer) return false;
  *text = data.substr(0, data.find('\0'));
  return true;
}

// By characters: a trail byte 0x5C is no backslash.
bool EndsInBackslash(const std::string& text) {
  return !text.empty() && platform::ReverseFindChar(text, '\\') == text.size() - 1;
}

void CheckCatalogue(const CAcadSetup& setup, const MemoryRegistry& registry) {
  const std::string wow = "SOFTWARE\\Wow6432Node\\";
  for (int k = 0; k < kReleaseCount; ++k) {
    FUZZ_CHECK(setup.acadFolders[k].size() == setup.releaseKeys[k].size(), "one folder per release key");
    for (std::size_t n = 0; n < setup.releaseKeys[k].size(); ++n) {
      const std::string& key = setup.releaseKeys[k][n];
      const std::string& folder = setup.acadFolders[k][n];
      FUZZ_CHECK(key.compare(0, 9, "SOFTWARE\\") == 0, key.c_str());
      FUZZ_CHECK(key.size() > 9 && key.back() == '\\', "a release key ends in the separator the scan adds");
      // The 32-bit root serves 2007..2010 only.
      if (key.compare(0, wow.size(), wow) == 0) FUZZ_CHECK(kFirstYear + k <= 2010, key.c_str());

      // The key is in the registry and holds both values as filed.
      const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + key.substr(0, key.size() - 1);
      std::string location, product;
      FUZZ_CHECK(ScanText(registry, keyPath, "AcadLocation", &location), keyPath.c_str());
      FUZZ_CHECK(ScanText(registry, keyPath, "ProductName", &product), keyPath.c_str());
      // No folder ends in a backslash character, except where the scan's one
      // cut leaves one: AcadLocation "\\" or ending in two backslashes
      // (FuzzFindings.AFolderEndingInTwoBackslashesStillReceivesItsFiles:
      // harmless, Windows reads a doubled separator as one).
      std::string cut = location;
      platform::StripTrailingBackslash(cut);
      const bool keepsOne = EndsInBackslash(cut);
      FUZZ_CHECK(!EndsInBackslash(folder) || keepsOne, folder.c_str());
      FUZZ_CHECK(cut == folder, "the folder is AcadLocation with one backslash cut");
      FUZZ_CHECK(RecogniseYear(product, kFirstYear, kLastYear) == kFirstYear + k, product.c_str());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  MemoryRegistry registry;
  for (int keys = 0; keys < 48 && input.remaining_bytes() > 0; ++keys) AddKey(input, registry);
  FUZZ_CHECK(registry.OpenHandleCount() == 0, "the fuzz target closes its keys");

  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup32(registry, files, owner, 32);
  setup32.ScanReleases();
  FUZZ_CHECK(registry.OpenHandleCount() == 0, "the scan closes every key it opened");
  CheckCatalogue(setup32, registry);

  CAcadSetup setup64(registry, files, owner, 64);
  setup64.ScanReleases();
  FUZZ_CHECK(registry.OpenHandleCount() == 0, "the scan closes every key it opened");
  for (int k = 0; k < kReleaseCount; ++k) {
    FUZZ_CHECK(setup64.releaseKeys[k] == setup32.releaseKeys[k], "the edition does not change the scan");
    FUZZ_CHECK(setup64.acadFolders[k] == setup32.acadFolders[k], "the edition does not change the scan");
  }
  return 0;
}
