// FindInstalledCopy: what an earlier install of this program says of itself
// in its Programs and Features entry; the other edition's install, and the
// releases it serves.
#include <string>

#include "engine/acad_setup.h"
#include "engine/program_names.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {

// A REG_SZ value of `key`, up to its first zero; empty when missing, of
// another type, or longer than a path.
std::string ReadText(platform::Registry& registry, platform::RegKey key, const char* name) {
  char data[platform::kPathBufferSize] = {};
  unsigned long type = 0;
  unsigned long size = sizeof(data) - 1;
  if (registry.QueryValue(key, name, &type, reinterpret_cast<unsigned char*>(data), &size) !=
          platform::RegResult::Success ||
      type != platform::RegType::String) {
    return std::string();
  }
  const std::string text(data, size);
  return text.substr(0, text.find('\0'));
}

}  // namespace

std::string VersionText(int number) {
  const auto two = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
  return std::to_string(number / 10000) + "." + two(number / 100 % 100) + "." + two(number % 100);
}

int ParseVersionText(const std::string& text) {
  // Exactly "yyyy.mm.dd", as the entry is written.
  if (text.size() != 10 || text[4] != '.' || text[7] != '.') return 0;
  int number = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 4 || i == 7) continue;
    if (text[i] < '0' || text[i] > '9') return 0;
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

namespace {

// The folder chosen at install (InstallLocation less \V-VidudOvev); empty
// when unreadable.
std::string ChosenFolder(platform::Registry& registry, platform::RegKey key) {
  const std::string location = ReadText(registry, key, "InstallLocation");
  const std::size_t sub = sizeof(kSubFolder) - 1;
  if (location.size() > sub && platform::EqualsNoCase(location.substr(location.size() - sub), kSubFolder)) {
    return location.substr(0, location.size() - sub);
  }
  return std::string();
}

}  // namespace

std::string CAcadSetup::OtherEditionFolder() {
  const int other = editionBits_ == 32 ? 64 : 32;
  platform::ScopedRegKey key(registry_);
  if (registry_.OpenKeyReadView(platform::kLocalMachine, kUninstallKeyPath,
                                other == 64 ? platform::RegView::Bits64 : platform::RegView::Bits32,
                                key.Receive()) != platform::RegResult::Success) {
    return std::string();
  }
  unsigned char data[4] = {};
  unsigned long type = 0;
  unsigned long size = sizeof(data);
  if (registry_.QueryValue(key.Get(), kEditionBitsValue, &type, data, &size) != platform::RegResult::Success ||
      type != platform::RegType::Dword || size != 4 || data[0] != other || data[1] || data[2] || data[3]) {
    return std::string();
  }
  return ChosenFolder(registry_, key.Get());
}

InstalledCopy CAcadSetup::FindInstalledCopy() {
  InstalledCopy copy;
  // The machine's list first, as the install writes it; a standard
  // account's own list otherwise.
  for (const platform::RegKey root : {platform::kLocalMachine, platform::kCurrentUser}) {
    platform::ScopedRegKey key(registry_);
    if (registry_.OpenKeyRead(root, kUninstallKeyPath, key.Receive()) != platform::RegResult::Success) continue;
    copy.found = true;
    copy.machineWide = root == platform::kLocalMachine;
    copy.version = ParseVersionText(ReadText(registry_, key.Get(), "DisplayVersion"));
    copy.folder = ChosenFolder(registry_, key.Get());
    break;
  }
  return copy;
}

void CAcadSetup::LeaveOtherEditionsReleases() {
  const std::string other = OtherEditionFolder();
  if (other.empty()) return;
  const std::string modules = other + kSubFolder + "\\";
  for (int k = 0; k < kReleaseCount; ++k) {
    const std::string entry = kModuleEntry + std::to_string(kFirstYear + k);
    for (std::size_t i = releaseKeys[k].size(); i-- > 0;) {
      platform::ScopedRegKey key(registry_);
      if (registry_.OpenKeyRead(platform::kLocalMachine, (releaseKeys[k][i] + entry).c_str(), key.Receive()) !=
          platform::RegResult::Success) {
        continue;
      }
      const std::string loader = ReadText(registry_, key.Get(), "LOADER");
      if (loader.size() <= modules.size() || !platform::EqualsNoCase(loader.substr(0, modules.size()), modules)) {
        continue;
      }
      releaseKeys[k].erase(releaseKeys[k].begin() + static_cast<std::ptrdiff_t>(i));
      acadFolders[k].erase(acadFolders[k].begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}
