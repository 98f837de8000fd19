// Trusted paths: every AutoCAD profile of the user the install is for (the
// hive of userPlaces) gets the install folder appended to its
// "TRUSTEDPATHS", so AutoCAD loads the add-on without asking.
#include <cstring>
#include <vector>

#include "engine/acad_setup.h"
#include "record/install_record.h"
#include "platform/text.h"

using platform::RegKey;
namespace RegResult = platform::RegResult;
using platform::ScopedRegKey;

namespace {

constexpr char kTrustedPaths[] = "TRUSTEDPATHS";

// Reads the whole "TRUSTEDPATHS" text, up to its first zero byte, into
// `text`, and its type into `type`. The size is asked first so that a long
// list is read whole: cutting it off here would lose the user's folders on
// write-back. Success with an empty text (and REG_SZ) when the value is
// missing. Any other failure is returned, `text` untouched, so that the
// caller leaves the user's list as it is: a refused read, a value that keeps
// growing past the retries, and a value that is not a single string (binary
// data, a number, or a multi-string whose later strings a rewrite as REG_SZ
// would drop). `*raw` gets the value's exact bytes, and `*absent` whether
// it was missing, for the install record.
long ReadTrustedPaths(platform::Registry& registry, RegKey key, std::string* text, unsigned long* type,
                      std::string* raw, bool* absent) {
  unsigned long size = 0;
  unsigned long found = platform::RegType::None;
  *absent = false;
  long status = registry.QueryValue(key, kTrustedPaths, &found, nullptr, &size);
  if (status == RegResult::FileNotFound) {
    text->clear();
    *type = platform::RegType::String;
    *absent = true;
    return RegResult::Success;
  }
  if (status != RegResult::Success) return status;
  // The value may grow between the two calls; a few rounds settle it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::vector<unsigned char> buffer(size + 1, 0);
    unsigned long length = size;
    status = registry.QueryValue(key, kTrustedPaths, &found, buffer.data(), &length);
    if (status == RegResult::MoreData) {
      size = length > size ? length : size * 2 + 1;
      continue;
    }
    if (status == RegResult::FileNotFound) {
      text->clear();
      *type = platform::RegType::String;
      *absent = true;
      return RegResult::Success;
    }
    if (status != RegResult::Success) return status;
    if (found != platform::RegType::String && found != platform::RegType::ExpandString) return RegResult::InvalidData;
    const char* bytes = reinterpret_cast<const char*>(buffer.data());
    text->assign(bytes, strnlen(bytes, length));
    raw->assign(bytes, length);
    *type = found;
    return RegResult::Success;
  }
  return RegResult::MoreData;
}

// `base` + "\" + `name` with one trailing backslash removed (by characters:
// a name may end in a double-byte character whose trail byte is 0x5C).
std::string JoinKeyPath(const std::string& base, const std::string& name) {
  std::string path = base + "\\" + name;
  platform::StripTrailingBackslash(path);
  return path;
}

// The profiles below a key that cannot be opened, counted or listed would
// silently not trust the folder: every such failure is reported, naming the
// key. A key that is not there is no failure. `hive` names the hive the
// path lies in. A profile whose name this system's code page cannot carry
// is reported under its parent, as a name of its own kind: it can be
// neither named nor opened.
void ReportUnreadable(const std::string& hive, const std::string& path, long status, SetupProblems* problems) {
  if (status == RegResult::Success || status == RegResult::FileNotFound || !problems) return;
  const std::string place = path.empty() ? hive : hive + "\\" + path;
  const SetupProblem::Kind kind =
      status == RegResult::NoUnicodeTranslation ? SetupProblem::NameNotInCodePage : SetupProblem::RegistryRead;
  problems->push_back({kind, 0, place, std::string(), status});
}

// ListSubkeys, reporting what it cannot read below `path` (the key's path
// below the hive `hive`).
void ListReadableSubkeys(platform::Registry& registry, RegKey key, const std::string& hive, const std::string& path,
                         CStringList& names, SetupProblems* problems) {
  unsigned long count = 0;
  long status = registry.QuerySubKeyCount(key, &count);
  if (status != RegResult::Success) {
    ReportUnreadable(hive, path, status, problems);
    return;
  }
  for (unsigned long i = 0; i < count; ++i) {
    const std::string name = platform::SubKeyName(registry, key, i, &status);
    // An unreadable name (the registry changed meanwhile) would open this
    // very key again and list it as its own child.
    if (status != RegResult::Success || name.empty()) {
      if (status != RegResult::NoMoreItems) ReportUnreadable(hive, path, status, problems);
      continue;
    }
    ScopedRegKey subKey(registry);
    status = registry.OpenKeyRead(key, name.c_str(), subKey.Receive());
    if (status == RegResult::Success) {
      names.push_back(name);
    } else {
      ReportUnreadable(hive, JoinKeyPath(path, name), status, problems);
    }
  }
}

}  // namespace

void ListSubkeys(platform::Registry& registry, RegKey key, CStringList& names) {
  ListReadableSubkeys(registry, key, std::string(), std::string(), names, nullptr);
}

void CAcadSetup::AddTrustedPaths(SetupProblems* problems) {
  const UserPlaces primary = userPlaces;
  AddTrustedPathsOf(problems);
  for (const UserPlaces& other : otherUsers) {
    userPlaces = other;
    AddTrustedPathsOf(problems);
  }
  userPlaces = primary;
}

void CAcadSetup::AddTrustedPathsOf(SetupProblems* problems) {
  if (userPlaces.nobody) return;  // no user's profiles to add to
  // Both lists are complete before anything is written, so the writes
  // cannot change what is enumerated.
  const std::string acadPath = "SOFTWARE\\Autodesk\\AutoCAD";
  const std::string hive = userPlaces.HiveName();
  const std::string recordHive = userPlaces.RecordHiveName();
  CStringList profileRoots;
  {
    ScopedRegKey user(registry_);
    ScopedRegKey acad(registry_);
    long status = registry_.OpenKey(userPlaces.root, userPlaces.HiveKey(), user.Receive());
    if (status == RegResult::Success) status = registry_.OpenKeyRead(user.Get(), acadPath.c_str(), acad.Receive());
    ReportUnreadable(hive, acadPath, status, problems);
    if (status == RegResult::Success) {
      CStringList releases;
      ListReadableSubkeys(registry_, acad.Get(), hive, acadPath, releases, problems);
      for (const std::string& release : releases) {
        ScopedRegKey releaseKey(registry_);
        const std::string releasePath = JoinKeyPath(acadPath, release);
        status = registry_.OpenKeyRead(acad.Get(), release.c_str(), releaseKey.Receive());
        ReportUnreadable(hive, releasePath, status, problems);
        if (status != RegResult::Success) continue;
        CStringList products;
        ListReadableSubkeys(registry_, releaseKey.Get(), hive, releasePath, products, problems);
        for (const std::string& product : products) {
          profileRoots.push_back(JoinKeyPath(acadPath + "\\" + release, product) + "\\Profiles");
        }
      }
    }
  }

  CStringList variablesKeys;
  {
    ScopedRegKey user(registry_);
    const long opened = registry_.OpenKey(userPlaces.root, userPlaces.HiveKey(), user.Receive());
    ReportUnreadable(hive, std::string(), opened, problems);
    if (opened == RegResult::Success) {
      for (const std::string& root : profileRoots) {
        ScopedRegKey rootKey(registry_);
        // A product without profiles has no Profiles key: not a failure.
        const long status = registry_.OpenKeyRead(user.Get(), root.c_str(), rootKey.Receive());
        ReportUnreadable(hive, root, status, problems);
        if (status != RegResult::Success) continue;
        CStringList profiles;
        ListReadableSubkeys(registry_, rootKey.Get(), hive, root, profiles, problems);
        for (const std::string& profile : profiles) variablesKeys.push_back(JoinKeyPath(root, profile) + "\\Variables");
      }
    }
  }

  const std::string folder = platform::ToUpper(installFolder);
  for (const std::string& path : variablesKeys) {
    // Only a missing key or value counts as empty. A list that cannot be
    // read is left as it is: writing the folder alone over it would lose
    // every folder the user had trusted.
    std::string existing;
    unsigned long type = platform::RegType::String;
    CInstallRecord::TrustedItem noted;
    noted.profile = hive + "\\" + path;
    {
      ScopedRegKey key(registry_);
      long status = registry_.OpenKey(userPlaces.root, userPlaces.KeyPath(path).c_str(), key.Receive());
      noted.variablesExisted = status == RegResult::Success;
      if (status == RegResult::Success) {
        status = ReadTrustedPaths(registry_, key.Get(), &existing, &type, &noted.beforeData, &noted.beforeAbsent);
      }
      if (status != RegResult::Success && status != RegResult::FileNotFound) {
        if (problems) {
          problems->push_back({SetupProblem::RegistryRead, 0, hive + "\\" + path, kTrustedPaths, status});
        }
        continue;
      }
    }

    if (leaveListsNamingFolder && platform::FindText(platform::ToUpper(existing), folder) != platform::npos) continue;

    // The list keeps its type: a REG_EXPAND_SZ list may name folders
    // through variables such as %USERPROFILE%.
    // A value of one or two characters (".", "C:") holds no real folder
    // and is replaced. Otherwise the whole list is stored in upper case,
    // with the folder appended unless it already occurs anywhere in it.
    std::string value;
    if (existing.size() <= 2) {
      value = installFolder;
    } else {
      value = platform::ToUpper(existing);
      if (platform::FindText(value, folder) == platform::npos) value += ";" + folder;
    }

    ScopedRegKey key(registry_);
    long status = registry_.CreateKey(userPlaces.root, userPlaces.KeyPath(path).c_str(), key.Receive());
    if (status == RegResult::Success) {
      status = registry_.SetValue(key.Get(), kTrustedPaths, type,
                                  reinterpret_cast<const unsigned char*>(value.c_str()),
                                  static_cast<unsigned long>(value.size() + 1));
    }
    if (status == RegResult::Success && record) {
      noted.beforeType = noted.beforeAbsent ? 0 : type;
      noted.writtenType = type;
      noted.written = value;
      if (recordHive.empty()) {
        // HKEY_CURRENT_USER would name another hive to an uninstall run by
        // another account: the record falls short instead.
        record->NoteUnrecorded(RegResult::InvalidData);
      } else {
        noted.profile = recordHive + "\\" + path;
        record->NoteTrustedPath(noted);
      }
    }
    if (status != RegResult::Success && problems) {
      problems->push_back(
          {SetupProblem::RegistryWrite, 0, hive + "\\" + path, kTrustedPaths, status});
    }
  }
}
