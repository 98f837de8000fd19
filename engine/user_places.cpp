// The per-user places of an install: ChooseUserPlaces, and the desktop
// user's application-data folder read from that user's hive.
#include "engine/user_places.h"

#include <cstring>
#include <vector>

#include "engine/acad_setup.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/text.h"

using platform::RegKey;
namespace RegResult = platform::RegResult;
namespace RegType = platform::RegType;

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";

// Variables that name the same folder for every account. Any other one
// (HOMEDRIVE, USERNAME, APPDATA, ...) holds the running account's value,
// not the desktop user's, and is never expanded for that user.
const char* const kMachineVariables[] = {"SystemDrive",  "SystemRoot",      "windir", "ProgramData",
                                         "ProgramFiles", "ALLUSERSPROFILE", "PUBLIC", "CommonProgramFiles"};

// A REG_SZ or REG_EXPAND_SZ value up to its first zero byte, and its type.
bool ReadText(platform::Registry& registry, RegKey root, const std::string& path, const char* name,
              std::string* text, unsigned long* type) {
  platform::ScopedRegKey key(registry);
  if (registry.OpenKeyRead(root, path.c_str(), key.Receive()) != RegResult::Success) return false;
  unsigned long size = 0;
  if (registry.QueryValue(key.Get(), name, type, nullptr, &size) != RegResult::Success) return false;
  if (*type != RegType::String && *type != RegType::ExpandString) return false;
  std::vector<unsigned char> buffer(size + 1, 0);
  if (registry.QueryValue(key.Get(), name, type, buffer.data(), &size) != RegResult::Success) return false;
  const char* bytes = reinterpret_cast<const char*>(buffer.data());
  text->assign(bytes, strnlen(bytes, size));
  return true;
}

// `text` with its variables expanded for another account, as
// ExpandEnvironmentStrings would in that account's session: %USERPROFILE%
// by `profile`, the machine-wide variables by their value here. False when
// it names any other variable, or one without a value. A lone '%' stays.
bool ExpandFor(platform::FileSystem& files, const std::string& text, const std::string& profile, std::string* out) {
  out->clear();
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = platform::FindChar(text, '%', pos);
    const std::size_t close = open == platform::npos ? platform::npos : platform::FindChar(text, '%', open + 1);
    if (close == platform::npos) {
      out->append(text, pos, platform::npos);
      return true;
    }
    out->append(text, pos, open - pos);
    const std::string name = text.substr(open + 1, close - open - 1);
    std::string value;
    if (platform::EqualsNoCase(name, "USERPROFILE")) {
      value = profile;
    } else {
      for (const char* machine : kMachineVariables) {
        if (platform::EqualsNoCase(name, machine)) value = files.Environment(machine);
      }
    }
    if (value.empty()) return false;
    out->append(value);
    pos = close + 1;
  }
}

// An absolute folder: "X:\..." or "\\server\share...".
bool IsAbsolute(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    const char drive = path[0];
    return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  }
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\';
}

// The desktop user's application-data folder from that user's hive: the
// "User Shell Folders" value, which the shell reads, first; the "Shell
// Folders" copy the shell writes of it next. The first that names an
// existing absolute folder wins; empty when none does.
// The account's profile folder, as the machine's profile list (which only
// administrators write) names it; empty when it names none.
std::string ProfileFolder(platform::Registry& registry, platform::FileSystem& files, const std::string& sid) {
  std::string profile, rawProfile;
  unsigned long profileType = RegType::None;
  if (ReadText(registry, platform::kLocalMachine, kProfileList + sid, "ProfileImagePath", &rawProfile,
               &profileType)) {
    if (profileType == RegType::String) profile = rawProfile;
    else if (!ExpandFor(files, rawProfile, std::string(), &profile)) profile.clear();
  }
  platform::StripTrailingBackslash(profile);
  return profile;
}

std::string DesktopAppData(platform::Registry& registry, platform::FileSystem& files, const std::string& sid) {
  // The profile folder %USERPROFILE% stands for in that user's session.
  const std::string profile = ProfileFolder(registry, files, sid);
  for (const char* place : {kUserShellFolders, kShellFolders}) {
    std::string raw, folder;
    unsigned long type = RegType::None;
    if (!ReadText(registry, platform::kUsers, sid + "\\" + place, "AppData", &raw, &type)) continue;
    if (type == RegType::String) folder = raw;
    else if (!ExpandFor(files, raw, profile, &folder)) continue;
    platform::StripTrailingBackslash(folder);
    if (!IsAbsolute(folder)) continue;
    const unsigned long attributes = files.GetAttributes(folder);
    if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory)) return folder;
  }
  return std::string();
}

// The settings folder of another signed-in account, where the elevated run
// may write: the one its hive names, but only inside its profile folder on
// a local drive, and with no link on the way down from there. The hive is
// that user's to write: a folder it named elsewhere (a system folder, a
// share on a server that would see the run's credentials) is not served.
std::string OtherUsersAppData(platform::Registry& registry, platform::FileSystem& files, const std::string& sid) {
  const std::string profile = ProfileFolder(registry, files, sid);
  const std::string appData = DesktopAppData(registry, files, sid);
  if (profile.size() < 3 || profile[1] != ':' || appData.size() <= profile.size() + 1 ||
      !platform::EqualsNoCase(appData.substr(0, profile.size()), profile) || appData[profile.size()] != '\\') {
    return std::string();
  }
  for (std::size_t at = profile.size(); at != platform::npos; at = platform::FindChar(appData, '\\', at + 1)) {
    const unsigned long attributes = files.GetAttributes(appData.substr(0, at));
    if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrReparsePoint)) return std::string();
  }
  const unsigned long own = files.GetAttributes(appData);
  const unsigned long settings = files.GetAttributes(appData + "\\Velkor");
  if (own == platform::kInvalidAttributes || (own & platform::kAttrReparsePoint)) return std::string();
  if (settings != platform::kInvalidAttributes && (settings & platform::kAttrReparsePoint)) return std::string();
  return appData;
}

// The accounts signed in now: the SIDs below HKEY_USERS of people's
// accounts (local and domain S-1-5-21-..., Azure AD S-1-12-1-...), their
// classes hives ("_Classes") and the service accounts left out.
std::vector<std::string> SignedInUsers(platform::Registry& registry) {
  std::vector<std::string> users;
  for (unsigned long index = 0;; ++index) {
    char name[256];
    unsigned long length = sizeof(name);
    const long status = registry.EnumKey(platform::kUsers, index, name, &length);
    if (status == RegResult::MoreData || status == RegResult::NoUnicodeTranslation) continue;  // no SID
    if (status != RegResult::Success) break;
    const std::string sid(name, length);
    const bool person = sid.compare(0, 9, "S-1-5-21-") == 0 || sid.compare(0, 9, "S-1-12-1-") == 0;
    if (person && platform::FindChar(sid, '_') == platform::npos) users.push_back(sid);
  }
  return users;
}

}  // namespace

std::string UserPlaces::AppDataFolder(platform::FileSystem& files) const {
  return appData.empty() ? files.Environment("APPDATA") : appData;
}

UserChoice CAcadSetup::ChooseUserPlaces(platform::Accounts& accounts) {
  userPlaces = UserPlaces();
  otherUsers.clear();
  UserChoice choice = ChooseMainUser(accounts);
  // Raised (SYSTEM too): every other account signed in now gets its
  // per-user parts as well, in its own hive and settings folder. One whose
  // settings folder cannot be told is left out: nothing goes to another's.
  platform::Account process;
  const bool system = accounts.ProcessUser(&process) && platform::EqualsNoCase(process.sid, platform::kSystemSid);
  if (choice.outcome == UserChoice::Unreachable || (!accounts.IsElevated() && !system)) return choice;
  for (const std::string& sid : SignedInUsers(registry_)) {
    if (!userPlaces.nobody && platform::EqualsNoCase(sid, userPlaces.sid)) continue;
    UserPlaces other;
    other.root = platform::kUsers;
    other.hive = other.sid = sid;
    other.appData = OtherUsersAppData(registry_, files_, sid);
    if (!other.appData.empty()) otherUsers.push_back(other);
  }
  return choice;
}

UserChoice CAcadSetup::ChooseMainUser(platform::Accounts& accounts) {
  UserChoice choice;
  // The record names the running account's hive by its SID.
  platform::Account process, desktop;
  const bool processKnown = accounts.ProcessUser(&process);
  if (processKnown) userPlaces.sid = process.sid;
  // Not raised: the program runs as the account that started it, whose own
  // places these are (a deliberate "run as" another user included).
  // SYSTEM is raised, as far as places go, on every system.
  const bool system = processKnown && platform::EqualsNoCase(process.sid, platform::kSystemSid);
  if (!accounts.IsElevated() && !system) return choice;
  if (!processKnown) return choice;
  choice.processAccount = process.name;
  switch (accounts.DesktopUser(&desktop)) {
    case platform::DesktopLookup::NoShell:
      // No desktop shell runs, so there is no other user to serve; as
      // SYSTEM, nobody at all.
      if (system) {
        userPlaces.nobody = true;
        choice.outcome = UserChoice::NoUser;
      }
      return choice;
    case platform::DesktopLookup::Unreadable:
      // Raised, and the desktop's owner unknown: it may well be another
      // account, whose settings would go to the wrong one.
      choice.outcome = UserChoice::Unreachable;
      return choice;
    case platform::DesktopLookup::Found:
      break;
  }
  if (platform::EqualsNoCase(process.sid, desktop.sid)) return choice;
  choice.desktopAccount = desktop.name;

  // The hive is loaded while its user is signed in; its folder comes from it.
  {
    platform::ScopedRegKey hive(registry_);
    if (desktop.sid.empty() ||
        registry_.OpenKeyRead(platform::kUsers, desktop.sid.c_str(), hive.Receive()) != RegResult::Success) {
      choice.outcome = UserChoice::Unreachable;
      return choice;
    }
  }
  const std::string appData = DesktopAppData(registry_, files_, desktop.sid);
  if (appData.empty()) {
    choice.outcome = UserChoice::Unreachable;
    return choice;
  }
  userPlaces.root = platform::kUsers;
  userPlaces.hive = desktop.sid;
  userPlaces.sid = desktop.sid;
  userPlaces.appData = appData;
  choice.outcome = UserChoice::DesktopAccount;
  return choice;
}
