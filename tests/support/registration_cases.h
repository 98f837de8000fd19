// The host-registration cases, one set for two worlds: the in-memory
// registry (unit_tests) and the real registry under Wine (wine_tests), both
// loaded from the same REGEDIT4 fixtures and read back only through the
// Registry interface. Include in one file per test executable and
// instantiate with a world that offers Registry() and Load(fixture name).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/acad_setup.h"
#include "platform/reg_file.h"
#include "platform/registry.h"
#include "tests/support/fixtures.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

namespace testing_support {

const std::string kAcadKey = "SOFTWARE\\Autodesk\\AutoCAD\\";
const std::string kFolder = "D:\\Apps\\V-VidudOvev";
const std::string kFolderUpper = "D:\\APPS\\V-VIDUDOVEV";
const std::string kZh2010 = "R18.0\\ACAD-8001:804";

// "<missing>", the text of a REG_SZ, or "<type N>" and the raw bytes.
inline std::string ReadValue(platform::Registry& registry, platform::RegKey root, const std::string& path,
                             const char* name) {
  platform::ScopedRegKey key(registry);
  unsigned long type = 0, size = 0;
  if (registry.OpenKeyRead(root, path.c_str(), key.Receive()) != platform::RegResult::Success ||
      registry.QueryValue(key.Get(), name, &type, nullptr, &size) != platform::RegResult::Success) {
    return "<missing>";
  }
  std::string data(size, '\0');
  registry.QueryValue(key.Get(), name, &type, reinterpret_cast<unsigned char*>(&data[0]), &size);
  data.resize(size);
  if (type == platform::RegType::String && !data.empty() && data.back() == '\0') data.pop_back();
  return type == platform::RegType::String ? data : "<type " + std::to_string(type) + ">" + data;
}

inline std::string Dword(char value) { return std::string("<type 4>") + value + std::string(3, '\0'); }

template <typename World>
class RegistrationCases : public ::testing::Test {
 protected:
  static std::string Variables(const std::string& product, const std::string& profile) {
    return kAcadKey + product + "\\Profiles\\" + profile + "\\Variables";
  }
  std::string User(const std::string& product, const std::string& profile) {
    return ReadValue(world.Registry(), platform::kCurrentUser, Variables(product, profile), "TRUSTEDPATHS");
  }
  std::string Entry(const std::string& product, const std::string& entry, const char* value) {
    return ReadValue(world.Registry(), platform::kLocalMachine, kAcadKey + product + "\\Applications\\" + entry,
                     value);
  }
  // An installation as the scan files it: the key path ends in a backslash.
  static void AddInstall(CAcadSetup& engine, int year, const std::string& product, const std::string& folder) {
    engine.releaseKeys[year - kFirstYear].push_back(kAcadKey + product + "\\");
    engine.acadFolders[year - kFirstYear].push_back(folder);
  }
  static std::string Describe(const SetupProblems& problems) {
    std::string text;
    for (const SetupProblem& p : problems) {
      text += std::to_string(p.kind) + " " + std::to_string(p.year) + " " + p.place + " " + p.item + " " +
              std::to_string(p.error) + "\n";
    }
    return text;
  }

  World world;
  NullFileSystem files;
  ScriptedOwner owner;
  CAcadSetup setup{world.Registry(), files, owner};
};

TYPED_TEST_SUITE_P(RegistrationCases);

// Each profile of registration_profiles.reg is named for what its list holds.
TYPED_TEST_P(RegistrationCases, TrustedPathsOfEveryProfile) {
  this->world.Load("registration_profiles.reg");
  ASSERT_EQ(this->User(kZh2010, "Expand"), "<type 2>%APPDATA%\\x" + std::string(1, '\0'));
  this->setup.SetInstallFolder(kFolder);
  const struct {
    std::string product, profile, expected;
  } cases[] = {
      // Nothing worth keeping: the folder as given. A second update would
      // have upper-cased it, so each of these was written exactly once.
      {kZh2010, "NoValue", kFolder},
      {kZh2010, "Dot", kFolder},
      {kZh2010, "Drive", kFolder},
      {kZh2010, "NoVariables", kFolder},
      {"R18.0\\ACAD-8001:409", "<<Unnamed Profile>>", kFolder},
      {"R27.0\\ACAD-9101:804", "Next", kFolder},
      // A list: upper-cased, the folder appended unless it occurs anywhere.
      {kZh2010, "Tools", "C:\\TOOLS;" + kFolderUpper},
      {"R16.2\\ACAD-4001:804", "Old", "E:\\LISP;" + kFolderUpper},
      {kZh2010, "Listed", kFolderUpper + ";C:\\X"},
      {kZh2010, "Inside", "C:\\A;" + kFolderUpper + "\\OLD"},
      {kZh2010, "Semicolon", "C:\\TOOLS;;" + kFolderUpper},
      // A REG_EXPAND_SZ list stays one: it may name folders by variables.
      {kZh2010, "Expand", "<type 2>%APPDATA%\\X;" + kFolderUpper + std::string(1, '\0')},
      // By characters: a name ending in a 0x5C trail byte keeps it, a trail
      // byte starts no match, and only real letters change case.
      {kZh2010, "配置乗", "C:\\TOOLS;" + kFolderUpper},
      {kZh2010, "TrailD", "X:\\丏:\\APPS\\V-VIDUDOVEV;" + kFolderUpper},
      {kZh2010, "Letters", "C:\\乤Ａ;" + kFolderUpper},
      // Not a profile: nothing is created.
      {kZh2010, "配置\x81", "<missing>"},
  };
  for (int run = 1; run <= 2; ++run) {
    SetupProblems problems;
    this->setup.AddTrustedPaths(&problems);
    EXPECT_EQ(this->Describe(problems), "");
    // The second run appends nothing; it only upper-cases what stood alone.
    for (const auto& c : cases) {
      const std::string expected = run == 2 && c.expected == kFolder ? kFolderUpper : c.expected;
      EXPECT_EQ(this->User(c.product, c.profile), expected) << run << " " << c.profile;
    }
  }
}

TYPED_TEST_P(RegistrationCases, TrustedPathsLongerThanTheReadLimitKeepEveryByte) {
  this->world.Load("registration_profiles.reg");
  this->setup.SetInstallFolder(kFolder);
  std::string list;
  for (int i = 0; list.size() < 20000; ++i) list += "C:\\DIR" + std::to_string(10000 + i) + ";";
  const std::string values[] = {list + "E:\\END", list + kFolderUpper + ";E:\\END"};
  const char* profiles[] = {"LongAbsent", "LongPresent"};
  for (int i = 0; i < 2; ++i) {
    platform::Registry& registry = this->world.Registry();
    platform::ScopedRegKey key(registry);
    ASSERT_EQ(registry.CreateKey(platform::kCurrentUser, this->Variables(kZh2010, profiles[i]).c_str(), key.Receive()),
              platform::RegResult::Success);
    ASSERT_EQ(registry.SetValue(key.Get(), "TRUSTEDPATHS", platform::RegType::String,
                                reinterpret_cast<const unsigned char*>(values[i].c_str()),
                                static_cast<unsigned long>(values[i].size() + 1)),
              platform::RegResult::Success);
  }
  this->setup.AddTrustedPaths();
  EXPECT_EQ(this->User(kZh2010, "LongAbsent"), values[0] + ";" + kFolderUpper);
  EXPECT_EQ(this->User(kZh2010, "LongPresent"), values[1]);
}

TYPED_TEST_P(RegistrationCases, EntriesPerReleaseAndProduct) {
  this->world.Load("registration_hosts.reg");
  this->setup.SetInstallFolder(kFolder + "\\");
  this->AddInstall(this->setup, 2007, "R17.0\\ACAD-5001:804", "C:\\CAD2007");
  this->AddInstall(this->setup, 2008, "R17.1\\ACAD-6001:804", "C:\\CAD2008");
  this->AddInstall(this->setup, 2010, kZh2010, "C:\\Program Files\\AutoCAD 2010");
  this->AddInstall(this->setup, 2010, "R18.0\\ACAD-8001:409", "E:\\AutoCAD 2010 EN");
  this->AddInstall(this->setup, 2026, "R25.1\\ACAD-9001:804", "C:\\CAD2026");
  this->AddInstall(this->setup, 2027, "R26.0\\ACAD-9101:804", "C:\\CAD2027");  // found, not ticked
  const SetupProblems problems =
      this->setup.RegisterWithHosts(1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);
  EXPECT_EQ(this->Describe(problems), "");

  const struct {
    std::string product, year, module, dll;
  } cases[] = {
      {"R17.0\\ACAD-5001:804", "2007", "VK_VidudOvev2008.ARX", "C:\\CAD2007\\ACAD2007P.dll"},
      {"R17.1\\ACAD-6001:804", "2008", "VK_VidudOvev2008.ARX", "C:\\CAD2008\\ACAD2007P.dll"},
      {kZh2010, "2010", "VK_VidudOvev2010.ARX", "C:\\Program Files\\AutoCAD 2010\\ACAD2010P.dll"},
      {"R18.0\\ACAD-8001:409", "2010", "VK_VidudOvev2010.ARX", "E:\\AutoCAD 2010 EN\\ACAD2010P.dll"},
      {"R25.1\\ACAD-9001:804", "2026", "VK_VidudOvev2025.ARX", "C:\\CAD2026\\ACAD2013P.dll"},
      {"R26.0\\ACAD-9101:804", "2027", "<missing>", "<missing>"},
  };
  for (const auto& c : cases) {
    const std::string module = "VK_VidudOvev" + c.year, dll = "Velkor" + c.year + "DLLP";
    const bool written = c.module != "<missing>";
    EXPECT_EQ(this->Entry(c.product, module, "LOADCTRLS"), written ? Dword(2) : "<missing>") << c.product;
    EXPECT_EQ(this->Entry(c.product, module, "LOADER"), written ? kFolder + "\\" + c.module : c.module);
    EXPECT_EQ(this->Entry(c.product, module, "MANAGED"), "<missing>");
    EXPECT_EQ(this->Entry(c.product, dll, "LOADCTRLS"), written ? Dword(2) : "<missing>") << c.product;
    EXPECT_EQ(this->Entry(c.product, dll, "LOADER"), c.dll);
    EXPECT_EQ(this->Entry(c.product, dll, "MANAGED"), written ? Dword(1) : "<missing>");
  }
  // An entry is replaced whole, unless a sub-key of its own stops the delete.
  EXPECT_EQ(this->Entry(kZh2010, "VK_VidudOvev2010", "Leftover"), "<missing>");
  EXPECT_EQ(this->Entry("R18.0\\ACAD-8001:409", "Velkor2010DLLP", "Leftover"), "1");
  EXPECT_EQ(this->User(kZh2010, "<<Unnamed Profile>>"), "C:\\TOOLS;" + kFolderUpper);
}

TYPED_TEST_P(RegistrationCases, NoReleaseTickedStillTrustsTheFolder) {
  this->world.Load("registration_hosts.reg");
  this->setup.SetInstallFolder(kFolder);
  this->AddInstall(this->setup, 2010, kZh2010, "C:\\CAD2010");
  EXPECT_TRUE(this->setup.RegisterWithHosts(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0).empty());
  EXPECT_EQ(this->Entry(kZh2010, "VK_VidudOvev2010", "Leftover"), "1");
  EXPECT_EQ(this->Entry(kZh2010, "Velkor2010DLLP", "LOADER"), "<missing>");
  EXPECT_EQ(this->User(kZh2010, "<<Unnamed Profile>>"), "C:\\TOOLS;" + kFolderUpper);
}

TYPED_TEST_P(RegistrationCases, EditionBitsDecideTheExtraModules) {
  for (const int bits : {64, 32}) {
    this->world.Load("registration_hosts.reg");
    CAcadSetup engine(this->world.Registry(), this->files, this->owner, bits);
    engine.SetInstallFolder(kFolder);
    this->AddInstall(engine, 2009, "R17.2\\ACAD-7001:804", "C:\\CAD2009");
    this->AddInstall(engine, 2010, kZh2010, "C:\\CAD2010");
    EXPECT_TRUE(engine.RegisterWithHosts(0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0).empty());
    const bool extra = bits == 64;
    EXPECT_EQ(this->Entry("R17.2\\ACAD-7001:804", "VK_VidudOvev2008", "LOADER"),
              extra ? kFolder + "\\VK_VidudOvev2008.ARX" : "<missing>") << bits;
    EXPECT_EQ(this->Entry(kZh2010, "VK_VidudOvev2010_32", "LOADER"),
              extra ? kFolder + "\\VK_VidudOvev2010_32.ARX" : "<missing>") << bits;
    EXPECT_EQ(this->Entry(kZh2010, "VK_VidudOvev2010_32", "LOADCTRLS"), extra ? Dword(2) : "<missing>");
    EXPECT_EQ(this->Entry("R17.2\\ACAD-7001:804", "VK_VidudOvev2009", "LOADER"), kFolder + "\\VK_VidudOvev2009.ARX");
  }
}

// A path that would not fit AutoCAD's 260-character buffer skips its entry
// (never a cut path); a product key gone since the scan is reported too.
TYPED_TEST_P(RegistrationCases, EntriesThatCannotBeWrittenAreReported) {
  this->world.Load("registration_hosts.reg");
  const std::string longFolder = "D:\\" + std::string(250, 'L');
  this->setup.SetInstallFolder(longFolder);
  this->AddInstall(this->setup, 2007, "R17.0\\ACAD-5001:804", "C:\\CAD2007");
  this->AddInstall(this->setup, 2008, "R17.1\\ACAD-6001:804", longFolder);
  this->AddInstall(this->setup, 2009, "R17.2\\Gone", "C:\\CAD2009");
  const SetupProblems problems =
      this->setup.RegisterWithHosts(1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);

  const std::string machine = " HKEY_LOCAL_MACHINE\\" + kAcadKey;
  EXPECT_EQ(this->Describe(problems), "1 2007" + machine + "R17.0\\ACAD-5001:804\\ Applications\\VK_VidudOvev2007 0\n"
                                      "1 2008" + machine + "R17.1\\ACAD-6001:804\\ Applications\\VK_VidudOvev2008 0\n"
                                      "1 2008" + machine + "R17.1\\ACAD-6001:804\\ Applications\\Velkor2008DLLP 0\n"
                                      "1 2009" + machine + "R17.2\\Gone\\ Applications\\VK_VidudOvev2009 0\n"
                                      "0 2009" + machine + "R17.2\\Gone\\ Applications\\Velkor2009DLLP 2\n");
  EXPECT_EQ(this->Entry("R17.0\\ACAD-5001:804", "VK_VidudOvev2007", "LOADER"), "<missing>");
  EXPECT_EQ(this->Entry("R17.1\\ACAD-6001:804", "VK_VidudOvev2008", "LOADER"), "<missing>");
  EXPECT_EQ(this->Entry("R17.1\\ACAD-6001:804", "Velkor2008DLLP", "LOADER"), "<missing>");
  EXPECT_EQ(this->Entry("R17.0\\ACAD-5001:804", "Velkor2007DLLP", "LOADER"), "C:\\CAD2007\\ACAD2007P.dll");
  // The trusted paths have no such limit.
  EXPECT_EQ(this->User(kZh2010, "<<Unnamed Profile>>"), "C:\\TOOLS;D:\\" + std::string(250, 'L'));
}

// Raised as another account than the desktop's: the profiles in the desktop
// user's hive are the ones trusted, the running account's own stay as they
// were, and the demand-load entries go where they always go.
TYPED_TEST_P(RegistrationCases, TrustedPathsGoToTheDesktopUsersHive) {
  this->world.Load("registration_hosts.reg");
  this->world.Load("desktop_user.reg");
  this->setup.SetInstallFolder(kFolder);
  this->setup.userPlaces.root = platform::kUsers;
  this->setup.userPlaces.hive = kDesktopUserSid;
  this->AddInstall(this->setup, 2010, kZh2010, "C:\\CAD2010");
  const SetupProblems problems =
      this->setup.RegisterWithHosts(0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(this->Describe(problems), "");
  const std::string hive = std::string(kDesktopUserSid) + "\\";
  platform::Registry& registry = this->world.Registry();
  EXPECT_EQ(
      ReadValue(registry, platform::kUsers, hive + this->Variables(kZh2010, "<<Unnamed Profile>>"), "TRUSTEDPATHS"),
      "E:\\BOB\\LISP;" + kFolderUpper);
  EXPECT_EQ(ReadValue(registry, platform::kUsers, hive + this->Variables(kZh2010, "Plot"), "TRUSTEDPATHS"), kFolder);
  EXPECT_EQ(this->User(kZh2010, "<<Unnamed Profile>>"), "c:\\tools") << "the running account's own";
  EXPECT_EQ(this->Entry(kZh2010, "Velkor2010DLLP", "LOADER"), "C:\\CAD2010\\ACAD2010P.dll");
  platform::DeleteKeyTree(registry, platform::kUsers, kDesktopUserSid);
  platform::DeleteKeyTree(
      registry, platform::kLocalMachine,
      std::string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") + kDesktopUserSid);
}

REGISTER_TYPED_TEST_SUITE_P(RegistrationCases, TrustedPathsOfEveryProfile,
                            TrustedPathsLongerThanTheReadLimitKeepEveryByte, EntriesPerReleaseAndProduct,
                            NoReleaseTickedStillTrustsTheFolder, EditionBitsDecideTheExtraModules,
                            EntriesThatCannotBeWrittenAreReported, TrustedPathsGoToTheDesktopUsersHive);

}  // namespace testing_support
