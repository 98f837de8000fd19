// The trusted-paths step on fuzzed profiles of the current user: one to
// three profiles whose "TRUSTEDPATHS" has any type and any bytes (zeros,
// lengths past the 13,000-byte buffers), a fuzzed install folder, and
// registry faults on a profile's Variables key. The user's list is never
// lost: it is kept in front of what is added, or left exactly as it was.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/acad_setup.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

namespace {

using platform::MemoryRegistry;
namespace RegType = platform::RegType;
namespace RegResult = platform::RegResult;

constexpr char kValue[] = "TRUSTEDPATHS";
constexpr unsigned long kTypes[] = {RegType::String, RegType::ExpandString, RegType::Binary, RegType::Dword,
                                    RegType::MultiString};
constexpr MemoryRegistry::Op kFaultOps[] = {MemoryRegistry::Op::OpenKey, MemoryRegistry::Op::QueryValue,
                                            MemoryRegistry::Op::CreateKey, MemoryRegistry::Op::SetValue};
// No FileNotFound: that would say the key or value is missing while it is
// there, a registry that cannot be.
constexpr long kFaultErrors[] = {RegResult::AccessDenied, RegResult::InvalidParameter, RegResult::MoreData};

struct Value {
  bool present = false;
  unsigned long type = 0;
  std::string data;
  std::string Text() const { return data.substr(0, data.find('\0')); }
  bool operator==(const Value& other) const {
    return present == other.present && (!present || (type == other.type && data == other.data));
  }
};

struct Profile {
  std::string variables;  // below HKEY_CURRENT_USER
  Value before;
};

Value Read(const MemoryRegistry& registry, const std::string& variables) {
  Value value;
  value.present = registry.GetValue("HKEY_CURRENT_USER\\" + variables, kValue, &value.type, &value.data);
  return value;
}

// A list of folders, a short text, or a long run of bytes; zeros anywhere.
std::string ListData(FuzzedDataProvider& input) {
  std::string data;
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      for (int folders = input.ConsumeIntegralInRange(1, 4); folders > 0; --folders) {
        if (!data.empty()) data += ";";
        data += input.ConsumeBool() ? "c:\\cad\\" : "D:\\";
        for (int i = input.ConsumeIntegralInRange(0, 6); i > 0; --i) fuzz_support::AppendChar(input, data);
      }
      break;
    case 1:
      data = input.ConsumeRandomLengthString(3);
      break;
    case 2:
      data = fuzz_support::Repeated(input, input.ConsumeIntegralInRange<std::size_t>(12990, 20000));
      break;
    default:
      data = input.ConsumeRandomLengthString(64);
  }
  if (input.ConsumeBool()) data.push_back('\0');
  return data;
}

bool Reported(const SetupProblems& problems, const std::string& variables) {
  for (const SetupProblem& problem : problems) {
    if (platform::EqualsNoCase(problem.place, "HKEY_CURRENT_USER\\" + variables)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  MemoryRegistry registry;
  const std::string product = "SOFTWARE\\Autodesk\\AutoCAD\\" + fuzz_support::KeyName(input, 64) + "\\" +
                              fuzz_support::KeyName(input, 64) + "\\Profiles\\";

  std::vector<Profile> profiles;
  for (int count = input.ConsumeIntegralInRange(1, 3); count > 0; --count) {
    const std::string name = fuzz_support::KeyName(input, 64);
    bool known = false;
    for (const Profile& profile : profiles) known |= platform::EqualsNoCase(profile.variables, product + name + "\\Variables");
    if (known) continue;
    Profile profile{product + name + "\\Variables", {}};
    const int shape = input.ConsumeIntegralInRange(0, 7);
    platform::RegKey key = platform::kNoKey;
    // Shape 0: a profile without Variables; 1: Variables without the value.
    const std::string create = shape == 0 ? product + name : profile.variables;
    FUZZ_CHECK(registry.CreateKey(platform::kCurrentUser, create.c_str(), &key) == RegResult::Success, create.c_str());
    if (shape >= 2) {
      const unsigned long type = shape <= 4 ? RegType::String : input.ConsumeBool() ? input.PickValueInArray(kTypes)
                                                                                   : input.ConsumeIntegral<unsigned char>();
      const std::string bytes = ListData(input);
      registry.SetValue(key, kValue, type, reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<unsigned long>(bytes.size()));
    }
    registry.CloseKey(key);
    profile.before = Read(registry, profile.variables);
    profiles.push_back(profile);
  }
  for (const Profile& profile : profiles) {
    if (input.ConsumeIntegralInRange(0, 3) == 0) {
      registry.FailOn(input.PickValueInArray(kFaultOps), "HKEY_CURRENT_USER\\" + profile.variables,
                      input.PickValueInArray(kFaultErrors));
    }
  }

  // The install folder: a path shorter than 259 bytes, maybe with a backslash at its end.
  std::string folder = input.ConsumeBool() ? "D:\\Tools" : "C:\\";
  const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 250);
  while (folder.size() < length && input.remaining_bytes() > 0) fuzz_support::AppendChar(input, folder);
  if (folder.size() > 258) folder.resize(256);
  if (input.ConsumeBool()) folder += "\\";

  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup(registry, files, owner, input.ConsumeBool() ? 64 : 32);
  setup.SetInstallFolder(folder);
  SetupProblems problems;
  setup.AddTrustedPaths(&problems);

  FUZZ_CHECK(registry.OpenHandleCount() == 0, "the step closes every key it opened");
  const std::string upperFolder = platform::ToUpper(setup.installFolder);
  for (const Profile& profile : profiles) {
    const Value after = Read(registry, profile.variables);
    const Value& before = profile.before;
    const bool stringType = before.type == RegType::String || before.type == RegType::ExpandString;
    if (Reported(problems, profile.variables) || (before.present && !stringType)) {
      FUZZ_CHECK(after == before, "a list that was reported or is no text stays as it was");
      continue;
    }
    FUZZ_CHECK(after.present, "every profile gets a list");
    FUZZ_CHECK(after.type == (before.present ? before.type : RegType::String), "the list keeps its type");
    const std::string text = after.Text();
    if (before.present && before.Text().size() > 2) {
      const std::string kept = platform::ToUpper(before.Text());
      FUZZ_CHECK(text.compare(0, kept.size(), kept) == 0, "the user's list stays in front");
    }
    FUZZ_CHECK(platform::FindText(platform::ToUpper(text), upperFolder) != platform::npos,
               "the install folder is in the list");
  }
  return 0;
}
