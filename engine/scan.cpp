// The registry scan: finds every AutoCAD 2007..2027 installation declared
// under HKEY_LOCAL_MACHINE and files it in the catalogue.
#include <cstring>
#include <memory>

#include "engine/acad_setup.h"
#include "platform/text.h"

using platform::RegKey;
using platform::ScopedRegKey;

namespace {

constexpr unsigned long kValueBufferSize = 520;
// The registry itself nests keys at most 512 levels deep; a symbolic link
// can make a tree endless, so the search never goes deeper than that.
constexpr std::size_t kMaxSearchDepth = 512;
// Nor does it open more keys than this: a link back to a key above it lets
// every level branch anew, and the depth limit alone would then still allow
// more walks than time. A real tree below a release key holds a handful.
constexpr std::size_t kMaxSearchKeys = 4096;

// Value types whose data is text (binary data is read as the text it holds);
// a number is no folder and no product name, whatever its bytes spell.
bool IsText(unsigned long type) {
  return type == platform::RegType::String || type == platform::RegType::ExpandString ||
         type == platform::RegType::MultiString || type == platform::RegType::Binary;
}

// Notes a key or value below HKEY_LOCAL_MACHINE that could not be read: an
// installation below it may be missing from the catalogue, and the user is
// told so with the install's problems. A missing key or value is no failure;
// the same one met again (each search walks the tree) is noted once.
void NoteUnreadable(SetupProblems& problems, std::string keyPath, const std::string& item, long status) {
  if (status == platform::RegResult::Success || status == platform::RegResult::FileNotFound) return;
  platform::StripTrailingBackslash(keyPath);
  const std::string place = keyPath.empty() ? "HKEY_LOCAL_MACHINE" : "HKEY_LOCAL_MACHINE\\" + keyPath;
  for (const SetupProblem& problem : problems) {
    if (problem.place == place && problem.item == item && problem.error == status) return;
  }
  // A release or product key whose name the code page cannot carry.
  const SetupProblem::Kind kind = status == platform::RegResult::NoUnicodeTranslation
                                      ? SetupProblem::NameNotInCodePage
                                      : SetupProblem::ScanRead;
  problems.push_back({kind, 0, place, item, status});
}

}  // namespace

int RecogniseYear(const std::string& productName, int firstYear, int lastYear) {
  for (int year = firstYear; year <= lastYear; ++year) {
    const std::size_t pos = platform::FindText(productName, std::to_string(year));
    if (pos != platform::npos && pos >= 1) return year;
  }
  return 0;
}

void CAcadSetup::ScanReleases() {
  ScanWow6432Node();
  ScanRoot("SOFTWARE\\Autodesk\\AutoCAD", "SOFTWARE\\Autodesk\\AutoCAD\\%s\\", kLastYear);
}

void CAcadSetup::ScanWow6432Node() {
  ScanRoot("SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD", "SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\%s\\", 2010);
}

void CAcadSetup::ScanRoot(const char* rootPath, const char* prefixFormat, int lastYear) {
  ScopedRegKey machine(registry_);
  long status = registry_.OpenKey(platform::kLocalMachine, nullptr, machine.Receive());
  NoteUnreadable(scanProblems, std::string(), std::string(), status);
  if (status != platform::RegResult::Success) return;
  ScopedRegKey root(registry_);
  status = registry_.OpenKeyRead(machine.Get(), rootPath, root.Receive());
  NoteUnreadable(scanProblems, rootPath, std::string(), status);
  if (status != platform::RegResult::Success) return;

  unsigned long count = 0;
  NoteUnreadable(scanProblems, rootPath, std::string(), registry_.QuerySubKeyCount(root.Get(), &count));
  for (unsigned long i = 0; i < count; ++i) {
    const std::string name = platform::SubKeyName(registry_, root.Get(), i, &status);
    if (status != platform::RegResult::NoMoreItems) NoteUnreadable(scanProblems, rootPath, std::string(), status);
    // An unreadable name would open the root itself again as a release.
    if (name.empty()) continue;
    // The prefix format's %s is the release key's name.
    std::string basePath = prefixFormat;
    basePath.replace(basePath.find("%s"), 2, name);

    ScopedRegKey release(registry_);
    status = registry_.OpenKeyRead(root.Get(), name.c_str(), release.Receive());
    NoteUnreadable(scanProblems, basePath, std::string(), status);
    if (status != platform::RegResult::Success) continue;

    // Both searches leave their hits in the work members; each pair is set
    // aside before the next search overwrites it.
    auto search = [&](const char* value, CStringList& keys, CStringList& data) {
      foundKeys.clear();
      foundValues.clear();
      valueName = value;
      SearchValue(release.Get(), "", "", basePath);
      keys = foundKeys;
      data = foundValues;
    };
    CStringList locationKeys, folders, nameKeys, productNames;
    search("AcadLocation", locationKeys, folders);
    search("ProductName", nameKeys, productNames);

    for (std::size_t n = 0; n < locationKeys.size(); ++n) {
      const std::string& key = locationKeys.at(n);
      std::string folder = folders.at(n);
      // No folder at all would put the support files on the drive's root.
      if (folder.empty()) continue;
      platform::StripTrailingBackslash(folder);
      for (std::size_t m = 0; m < nameKeys.size(); ++m) {
        if (key != nameKeys.at(m)) continue;
        const int year = RecogniseYear(productNames.at(m), kFirstYear, lastYear);
        if (year == 0) continue;
        releaseKeys[year - kFirstYear].push_back(key);
        acadFolders[year - kFirstYear].push_back(folder);
      }
    }
  }
}

// Depth-first, pre-order, sub-keys in index order; stops descending at the
// first key of each branch that holds valueName as text. Iterative, so a
// deep tree cannot exhaust the stack; bounded in depth and in keys opened,
// so a tree that loops through a link ends.
void CAcadSetup::SearchValue(RegKey parent, const char* name, std::string relativePath, std::string basePath) {
  struct Frame {
    Frame(platform::Registry& registry, RegKey opened, std::string path, unsigned long subKeys)
        : key(registry, opened), relativePath(std::move(path)), count(subKeys) {}
    ScopedRegKey key;
    std::string relativePath;
    unsigned long count;
    unsigned long next = 0;
  };
  std::vector<std::unique_ptr<Frame>> stack;
  std::size_t opened = 0;

  // Looks at one key: a hit is recorded, otherwise the key is entered.
  auto visit = [&](RegKey from, const char* subKey, std::string path) {
    if (stack.size() >= kMaxSearchDepth || opened >= kMaxSearchKeys) return;
    ++opened;
    RegKey key = platform::kNoKey;
    const long status = registry_.OpenKeyRead(from, subKey, &key);
    NoteUnreadable(scanProblems, basePath + path, std::string(), status);
    if (status != platform::RegResult::Success) return;
    unsigned char data[kValueBufferSize];
    std::memset(data, 0, sizeof(data));
    unsigned long size = kValueBufferSize;
    unsigned long type = platform::RegType::None;
    const long queried = registry_.QueryValue(key, valueName.c_str(), &type, data, &size);
    NoteUnreadable(scanProblems, basePath + path, valueName, queried);
    if (queried == platform::RegResult::Success && IsText(type)) {
      foundKeys.push_back(basePath + path);
      const char* text = reinterpret_cast<const char*>(data);
      foundValues.push_back(std::string(text, strnlen(text, size)));
      registry_.CloseKey(key);
      return;
    }
    unsigned long subKeys = 0;
    NoteUnreadable(scanProblems, basePath + path, std::string(), registry_.QuerySubKeyCount(key, &subKeys));
    stack.push_back(std::make_unique<Frame>(registry_, key, std::move(path), subKeys));
  };

  visit(parent, name, std::move(relativePath));
  while (!stack.empty()) {
    Frame& top = *stack.back();
    if (top.next >= top.count) {
      stack.pop_back();
      continue;
    }
    long status = platform::RegResult::Success;
    const std::string subName = platform::SubKeyName(registry_, top.key.Get(), top.next++, &status);
    if (status != platform::RegResult::NoMoreItems) NoteUnreadable(scanProblems, basePath + top.relativePath, std::string(), status);
    // The registry changed under us: an empty name would reopen this key.
    if (subName.empty()) continue;
    visit(top.key.Get(), subName.c_str(), top.relativePath + subName + "\\");
  }
}
