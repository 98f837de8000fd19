// Host registration against the in-memory registry: the shared cases, then
// faults only the double can produce.
#include <gtest/gtest.h>

#include "record/install_record.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "platform/message_text.h"
#include "platform/reg_file.h"
#include "tests/support/fixtures.h"
#include "tests/support/registration_cases.h"
#include "install/problems_notice.h"

namespace testing_support {
namespace {

struct MemoryWorld {
  platform::MemoryRegistry registry;
  platform::Registry& Registry() { return registry; }
  // The fixtures start by deleting what the previous one left.
  void Load(const std::string& name) { LoadRegFixture(registry, name); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, RegistrationCases, MemoryWorld);

using Op = platform::MemoryRegistry::Op;
using testing_support::ScopedCodePage;

class RegistrationMemory : public RegistrationCases<MemoryWorld> {};

// A standard user may not write below HKEY_LOCAL_MACHINE: every entry is
// reported, nothing there changes, and the trusted paths are still updated
// (a profile that cannot be written is reported in turn).
TEST_F(RegistrationMemory, DeniedWritesAreReportedAndTheRestGoesOn) {
  world.Load("registration_hosts.reg");
  const std::string locked = Variables("R18.0\\ACAD-8001:409", "Locked");
  ASSERT_TRUE(platform::ImportRegText(world.registry, "REGEDIT4\n[HKEY_CURRENT_USER\\" + locked + "]\n"));
  world.registry.DenyWritesBelow("HKEY_LOCAL_MACHINE");
  world.registry.FailOn(Op::SetValue, "HKEY_CURRENT_USER\\" + locked);
  setup.SetInstallFolder(kFolder);
  AddInstall(setup, 2007, "R17.0\\ACAD-5001:804", "C:\\CAD2007");
  AddInstall(setup, 2010, kZh2010, "C:\\CAD2010");

  const SetupProblems problems = setup.RegisterWithHosts(1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const std::string machine = " HKEY_LOCAL_MACHINE\\" + kAcadKey;
  EXPECT_EQ(Describe(problems), "0 2007" + machine + "R17.0\\ACAD-5001:804\\ Applications\\VK_VidudOvev2007 5\n"
                                "0 2007" + machine + "R17.0\\ACAD-5001:804\\ Applications\\Velkor2007DLLP 5\n"
                                "0 2010" + machine + kZh2010 + "\\ Applications\\VK_VidudOvev2010 5\n"
                                "0 2010" + machine + kZh2010 + "\\ Applications\\Velkor2010DLLP 5\n"
                                "0 0 HKEY_CURRENT_USER\\" + locked + " TRUSTEDPATHS 5\n");
  EXPECT_EQ(Entry(kZh2010, "VK_VidudOvev2010", "Leftover"), "1");
  EXPECT_FALSE(world.registry.KeyExists("HKEY_LOCAL_MACHINE\\" + kAcadKey + "R17.0\\ACAD-5001:804\\Applications"));
  EXPECT_EQ(User(kZh2010, "<<Unnamed Profile>>"), "C:\\TOOLS;" + kFolderUpper);
  EXPECT_EQ(world.registry.OpenHandleCount(), 0u);
}

// The record gets each entry written with its LOADER, and each list with
// what it held before: the exact bytes and type, or absent, and whether the
// Variables key was there. A second run keeps the first before.
TEST_F(RegistrationMemory, TheRecordKeepsEachEntryAndTheFirstValueBefore) {
  world.Load("registration_profiles.reg");
  ASSERT_TRUE(platform::ImportRegText(world.registry, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + kAcadKey + kZh2010 + "]\n"));
  platform::MemoryFileSystem disk;
  disk.AddFolder(kFolder);
  CInstallRecord record(disk);
  record.Open(kFolder);
  setup.record = &record;
  setup.SetInstallFolder(kFolder);
  AddInstall(setup, 2010, kZh2010, "C:\\CAD2010");
  // The running account's own hive, named by its SID: an uninstall run by
  // SYSTEM or an administrator has another HKEY_CURRENT_USER.
  const std::string sid = platform::MemoryAccounts().processUser.sid;
  setup.userPlaces.sid = sid;
  EXPECT_EQ(Describe(setup.RegisterWithHosts(0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), "");
  ASSERT_EQ(record.loaders.size(), 2u);
  EXPECT_EQ(record.loaders[0].productKey, "HKEY_LOCAL_MACHINE\\" + kAcadKey + kZh2010);
  EXPECT_EQ(record.loaders[0].subKey, "Applications\\VK_VidudOvev2010");
  EXPECT_EQ(record.loaders[0].loader, kFolder + "\\VK_VidudOvev2010.ARX");
  EXPECT_EQ(record.loaders[1].loader, "C:\\CAD2010\\ACAD2010P.dll");

  auto item = [&](const CInstallRecord& from, const std::string& product, const std::string& profile) {
    for (const CInstallRecord::TrustedItem& trusted : from.trusted) {
      if (trusted.profile == "HKEY_USERS\\" + sid + "\\" + Variables(product, profile)) return trusted;
    }
    ADD_FAILURE() << profile << " not recorded";
    return CInstallRecord::TrustedItem();
  };
  const CInstallRecord::TrustedItem tools = item(record, kZh2010, "Tools");
  EXPECT_FALSE(tools.beforeAbsent);
  EXPECT_EQ(tools.beforeType, platform::RegType::String);
  EXPECT_EQ(tools.beforeData, std::string("c:\\tools") + '\0');
  EXPECT_TRUE(tools.variablesExisted);
  EXPECT_EQ(tools.written, "C:\\TOOLS;" + kFolderUpper);
  const CInstallRecord::TrustedItem expand = item(record, kZh2010, "Expand");
  EXPECT_EQ(expand.beforeType, platform::RegType::ExpandString);
  EXPECT_EQ(expand.writtenType, platform::RegType::ExpandString);
  EXPECT_EQ(expand.beforeData, std::string("%APPDATA%\\x") + '\0');
  const CInstallRecord::TrustedItem noValue = item(record, kZh2010, "NoValue");
  EXPECT_TRUE(noValue.beforeAbsent);
  EXPECT_TRUE(noValue.variablesExisted);
  const CInstallRecord::TrustedItem bare = item(record, kZh2010, "NoVariables");
  EXPECT_TRUE(bare.beforeAbsent);
  EXPECT_FALSE(bare.variablesExisted);
  EXPECT_EQ(bare.written, kFolder);
  EXPECT_FALSE(record.Failed());

  // Read back from the file and run again: the values now hold the folder,
  // and the record still has what was there before the first run.
  CInstallRecord again(disk);
  again.Open(kFolder);
  EXPECT_EQ(again.trusted.size(), record.trusted.size());
  setup.record = &again;
  setup.RegisterWithHosts(0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  setup.record = nullptr;
  EXPECT_EQ(again.loaders.size(), 2u);
  EXPECT_EQ(item(again, kZh2010, "Tools").beforeData, tools.beforeData);
  EXPECT_TRUE(item(again, kZh2010, "NoVariables").beforeAbsent);
  EXPECT_FALSE(item(again, kZh2010, "NoVariables").variablesExisted);
  EXPECT_EQ(item(again, kZh2010, "Expand").beforeData, expand.beforeData);
}

// Whose hive HKEY_CURRENT_USER is cannot be told (the token unreadable):
// the lists are still updated, but the record names none of them under
// HKEY_CURRENT_USER, and says it falls short.
TEST_F(RegistrationMemory, AHiveWithoutAKnownSidIsNeverRecordedAsTheCurrentUser) {
  world.Load("registration_profiles.reg");
  ASSERT_TRUE(platform::ImportRegText(world.registry, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + kAcadKey + kZh2010 + "]\n"));
  platform::MemoryFileSystem disk;
  disk.AddFolder(kFolder);
  CInstallRecord record(disk);
  record.Open(kFolder);
  setup.record = &record;
  setup.SetInstallFolder(kFolder);
  AddInstall(setup, 2010, kZh2010, "C:\\CAD2010");
  setup.userPlaces.sid.clear();
  EXPECT_EQ(Describe(setup.RegisterWithHosts(0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), "");
  setup.record = nullptr;
  EXPECT_EQ(User(kZh2010, "Tools"), "C:\\TOOLS;" + kFolderUpper) << "the list is still updated";
  EXPECT_TRUE(record.trusted.empty());
  EXPECT_TRUE(record.Failed()) << "the record falls short, and says so";
  std::string text;
  ASSERT_TRUE(disk.ReadFile(kFolder + "\\" + CInstallRecord::kFileName, &text));
  EXPECT_EQ(text.find("HKEY_CURRENT_USER"), std::string::npos) << text;
}

// A list that exists but cannot be read is never overwritten with the folder
// alone: the profile is left as it was and reported. Only a missing key or
// value counts as empty.
TEST_F(RegistrationMemory, TrustedPathsThatCannotBeReadAreLeftAsTheyWere) {
  world.Load("registration_profiles.reg");
  struct Case {
    const char* profile;
    Op op;
    long error;
  };
  const Case cases[] = {
      {"Tools", Op::QueryValue, platform::RegResult::AccessDenied},  // a refused read
      {"Listed", Op::QueryValue, platform::RegResult::MoreData},     // keeps growing
      {"Inside", Op::OpenKey, platform::RegResult::AccessDenied},    // the key will not open
  };
  // Read past the faults, as the value is stored.
  auto stored = [&](const char* profile) {
    std::string data;
    world.registry.GetValue("HKEY_CURRENT_USER\\" + Variables(kZh2010, profile), "TRUSTEDPATHS", nullptr, &data);
    return data;
  };
  std::string before[3];
  for (int i = 0; i < 3; ++i) {
    before[i] = stored(cases[i].profile);
    ASSERT_FALSE(before[i].empty());
    world.registry.FailOn(cases[i].op, "HKEY_CURRENT_USER\\" + Variables(kZh2010, cases[i].profile), cases[i].error);
  }
  setup.SetInstallFolder(kFolder);
  SetupProblems problems;
  setup.AddTrustedPaths(&problems);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(cases[i].profile);
    EXPECT_EQ(stored(cases[i].profile), before[i]) << "every byte it held before";
  }
  ASSERT_EQ(problems.size(), 3u) << Describe(problems);
  for (const SetupProblem& problem : problems) {
    EXPECT_EQ(problem.kind, SetupProblem::RegistryRead);
    EXPECT_EQ(problem.item, "TRUSTEDPATHS");
  }
  // The readable profiles, and the one without the value, got the folder.
  EXPECT_EQ(User(kZh2010, "NoValue"), kFolder);
  EXPECT_EQ(User(kZh2010, "Semicolon"), "C:\\TOOLS;;" + kFolderUpper);
  EXPECT_EQ(world.registry.OpenHandleCount(), 0u);
}

// Only a single string is a list to extend. Binary data, a number or a
// multi-string (whose later strings a REG_SZ rewrite would drop) is left
// byte for byte and reported.
TEST_F(RegistrationMemory, TrustedPathsOfOtherTypesAreLeftAsTheyWere) {
  auto key = [&](const char* profile) { return "HKEY_CURRENT_USER\\" + Variables(kZh2010, profile); };
  const std::string reg = "REGEDIT4\n"
                          "[" + key("Binary") + "]\n\"TRUSTEDPATHS\"=hex:43,3a,5c,41,00,44\n"
                          "[" + key("Number") + "]\n\"TRUSTEDPATHS\"=dword:00000001\n"
                          "[" + key("Multi") + "]\n\"TRUSTEDPATHS\"=hex(7):43,3a,5c,41,00,44,3a,5c,42,00,00\n";
  ASSERT_TRUE(platform::ImportRegText(world.registry, reg));
  auto stored = [&](const char* profile, unsigned long* type) {
    std::string data;
    world.registry.GetValue(key(profile), "TRUSTEDPATHS", type, &data);
    return data;
  };
  const char* untouched[] = {"Binary", "Number", "Multi"};
  std::string before[3];
  for (int i = 0; i < 3; ++i) before[i] = stored(untouched[i], nullptr);

  setup.SetInstallFolder(kFolder);
  SetupProblems problems;
  setup.AddTrustedPaths(&problems);
  for (int i = 0; i < 3; ++i) {
    unsigned long type = 0;
    EXPECT_EQ(stored(untouched[i], &type), before[i]) << untouched[i];
    EXPECT_NE(type, platform::RegType::String) << untouched[i];
  }
  ASSERT_EQ(problems.size(), 3u) << Describe(problems);
  for (const SetupProblem& problem : problems) {
    EXPECT_EQ(problem.kind, SetupProblem::RegistryRead);
    EXPECT_EQ(problem.error, platform::RegResult::InvalidData);
  }
  EXPECT_EQ(world.registry.OpenHandleCount(), 0u);
}

// On a system whose code page is UTF-8 or a single-byte page, no byte of a
// user's list changes but ASCII letters, upper-cased: bytes that as CP936
// would be letters of their own ("\xA7\xE7" in the UTF-8 of "大的", "£á"
// in 1252) stay, and a UTF-8 name's last byte takes no backslash along.
TEST_F(RegistrationMemory, TrustedPathsKeepEveryByteBeyondAsciiUnderOtherCodePages) {
  // Every byte from 0x80 on, each after 0xA3: as CP936 a run of full-width
  // letters among them.
  std::string everyHighByte;
  for (int byte = 0x80; byte <= 0xFF; ++byte) everyHighByte += std::string("\xA3") + static_cast<char>(byte);
  const struct {
    unsigned int codePage;
    std::string list;
  } rows[] = {
      {platform::CodePageId::Utf8, "D:\\\xE5\xA4\xA7\xE7\x9A\x84\\Lisp;c:\\\xE6\x89\xB9\\a"},
      {platform::CodePageId::Utf8, "c:\\x" + everyHighByte + "y"},
      {platform::CodePageId::Western, "c:\\\xA3\xE1\\caf\xE9;d:\\\xFF\x9A"},
      {platform::CodePageId::Western, "c:\\x" + everyHighByte + "y"},
  };
  for (const auto& row : rows) {
    ScopedCodePage page(row.codePage);
    platform::MemoryRegistry registry;
    CAcadSetup engine(registry, files, owner);
    const std::string profile = "HKEY_CURRENT_USER\\" + Variables(kZh2010, "Mine");
    ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + profile + "]\n"));
    platform::ScopedRegKey key(registry);
    ASSERT_EQ(registry.OpenKey(platform::kCurrentUser, Variables(kZh2010, "Mine").c_str(), key.Receive()), 0);
    ASSERT_EQ(registry.SetValue(key.Get(), "TRUSTEDPATHS", platform::RegType::String,
                                reinterpret_cast<const unsigned char*>(row.list.c_str()),
                                static_cast<unsigned long>(row.list.size() + 1)),
              0);
    engine.SetInstallFolder(kFolder);
    SetupProblems problems;
    engine.AddTrustedPaths(&problems);
    EXPECT_EQ(Describe(problems), "");
    std::string expected = row.list;
    for (char& c : expected) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    std::string stored;
    ASSERT_TRUE(registry.GetValue(profile, "TRUSTEDPATHS", nullptr, &stored));
    EXPECT_EQ(stored, expected + ";" + kFolderUpper + std::string(1, '\0')) << row.codePage;
  }
}

// On a code page 1252 system a Chinese profile name cannot be named: it is
// told in the notice, under its Profiles key, and every other profile is
// served.
TEST_F(RegistrationMemory, AProfileNameTheCodePageCannotCarryIsReported) {
  world.Load("registration_profiles.reg");  // written on a CP936 system
  ScopedCodePage page(platform::CodePageId::Western);
  setup.SetInstallFolder(kFolder);
  SetupProblems problems;
  setup.AddTrustedPaths(&problems);
  const std::string profiles = "HKEY_CURRENT_USER\\" + kAcadKey + kZh2010 + "\\Profiles";
  EXPECT_EQ(Describe(problems), std::to_string(SetupProblem::NameNotInCodePage) + " 0 " + profiles + "  1113\n");
  EXPECT_EQ(User(kZh2010, "Tools"), "C:\\TOOLS;" + kFolderUpper);
  const std::string notice = platform::PlainMessageText(DescribeProblems(problems));
  EXPECT_NE(notice.find("其下有名称无法以本系统代码页表示的项，未能处理：" + profiles + "（错误 1113）"), std::string::npos)
      << notice;
  EXPECT_NE(notice.find("非Unicode程序的语言"), std::string::npos) << notice;
  EXPECT_EQ(world.registry.OpenHandleCount(), 0u);
}

// The writes below the product keys, one line each: "D entry", "C entry",
// "S entry value"; the entry is the key's last name.
std::string ApplicationWrites(const platform::MemoryRegistry& registry) {
  std::string text;
  for (const platform::MemoryRegistry::Write& write : registry.writes) {
    const std::size_t at = write.path.find("\\Applications\\");
    if (at == std::string::npos) continue;
    const std::string entry = write.path.substr(at + 14);
    const char* op = write.op == Op::DeleteKey ? "D " : write.op == Op::CreateKey ? "C " : "S ";
    text += op + entry + (write.value.empty() ? "" : " " + write.value) + "\n";
  }
  return text;
}

// A product key as the scan found it.
void AddProductKey(platform::MemoryRegistry& registry, const std::string& product) {
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + kAcadKey + product + "]\n"));
}

std::string EntryWrites(int year) {
  const std::string y = std::to_string(year);
  return "D VK_VidudOvev" + y + "\nC VK_VidudOvev" + y + "\nS VK_VidudOvev" + y + " LOADCTRLS\nS VK_VidudOvev" + y +
         " LOADER\nD Velkor" + y + "DLLP\nC Velkor" + y + "DLLP\nS Velkor" + y + "DLLP LOADCTRLS\nS Velkor" + y +
         "DLLP LOADER\nS Velkor" + y + "DLLP MANAGED\n";
}

// Years ascend whatever order the scan filed them in; per product key the
// module entry comes before the DLL entry, each deleted before it is made,
// its values in the table's order. An installation listed twice is
// registered twice.
TEST_F(RegistrationMemory, WritesGoInTheirOrder) {
  for (const std::string product : {"R19.0\\ACAD-B001:804", "R17.0\\ACAD-5001:804", "R18.0\\ACAD-8001:804"}) {
    AddProductKey(world.registry, product);
  }
  world.registry.writes.clear();
  setup.SetInstallFolder(kFolder);
  AddInstall(setup, 2013, "R19.0\\ACAD-B001:804", "C:\\CAD2013");
  AddInstall(setup, 2007, "R17.0\\ACAD-5001:804", "C:\\CAD2007");
  AddInstall(setup, 2010, kZh2010, "C:\\CAD2010");
  AddInstall(setup, 2010, kZh2010, "C:\\CAD2010");
  setup.RegisterWithHosts(1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(ApplicationWrites(world.registry), EntryWrites(2007) + EntryWrites(2010) + EntryWrites(2010) +
                                                   EntryWrites(2013));
  // Every create and set succeeded; a delete found nothing, except the
  // second time round for the installation listed twice.
  for (const platform::MemoryRegistry::Write& write : world.registry.writes) {
    if (write.path.find("\\Applications\\") == std::string::npos || write.op == Op::DeleteKey) continue;
    EXPECT_EQ(write.result, 0) << write.path;
  }
}

// Which module and which managed DLL each of the 21 releases loads.
TEST_F(RegistrationMemory, EveryReleaseLoadsItsFamilysModuleAndDll) {
  const int moduleYear[kReleaseCount] = {2008, 2008, 2009, 2010, 2010, 2010, 2013, 2013, 2015, 2015, 2017,
                                         2018, 2019, 2019, 2021, 2021, 2021, 2021, 2025, 2025, 2027};
  const int dllYear[kReleaseCount] = {2007, 2007, 2009, 2010, 2010, 2010, 2013, 2013, 2013, 2013, 2013,
                                      2013, 2013, 2013, 2013, 2013, 2013, 2013, 2013, 2013, 2013};
  setup.SetInstallFolder(kFolder);
  for (int k = 0; k < kReleaseCount; ++k) {
    const int year = kFirstYear + k;
    const std::string product = "R" + std::to_string(year) + "\\ACAD-0001:804";
    AddProductKey(world.registry, product);
    AddInstall(setup, year, product, "C:\\CAD" + std::to_string(year));
    setup.RegisterDemandLoad(year);
    SCOPED_TRACE(year);
    const std::string y = std::to_string(year);
    EXPECT_EQ(Entry(product, "VK_VidudOvev" + y, "LOADER"),
              kFolder + "\\VK_VidudOvev" + std::to_string(moduleYear[k]) + ".ARX");
    EXPECT_EQ(Entry(product, "Velkor" + y + "DLLP", "LOADER"),
              "C:\\CAD" + y + "\\ACAD" + std::to_string(dllYear[k]) + "P.dll");
  }
}

// A year outside the catalogue and a machine without AutoCAD profiles
// write nothing.
TEST_F(RegistrationMemory, NothingToRegisterWritesNothing) {
  AddProductKey(world.registry, kZh2010);
  world.registry.writes.clear();
  setup.SetInstallFolder(kFolder);
  AddInstall(setup, 2010, kZh2010, "C:\\CAD2010");
  setup.RegisterDemandLoad(2006);
  setup.RegisterDemandLoad(2028);
  setup.AddTrustedPaths();
  EXPECT_TRUE(world.registry.writes.empty()) << world.registry.writes.size() << " writes";
  setup.RegisterWithHosts(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(world.registry.writes.empty()) << "no release ticked, no profile";
}

TEST_F(RegistrationMemory, ListSubkeysAppendsWhatOpensInEnumerationOrder) {
  ASSERT_TRUE(platform::ImportRegText(world.registry, "REGEDIT4\n[HKEY_CURRENT_USER\\Probe\\B]\n"
                                                      "[HKEY_CURRENT_USER\\Probe\\a]\n"
                                                      "[HKEY_CURRENT_USER\\Probe\\Shut]\n"
                                                      "[HKEY_CURRENT_USER\\Probe\\c]\n"));
  world.registry.FailOn(Op::OpenKeyRead, "HKEY_CURRENT_USER\\Probe\\Shut");
  platform::ScopedRegKey probe(world.registry);
  ASSERT_EQ(world.registry.OpenKeyRead(platform::kCurrentUser, "Probe", probe.Receive()), 0);
  CStringList names{"kept"};
  ListSubkeys(world.registry, probe.Get(), names);
  EXPECT_EQ(names, (CStringList{"kept", "a", "B", "c"}));
  // No count, no names.
  world.registry.FailOn(Op::QuerySubKeyCount, "HKEY_CURRENT_USER\\Probe");
  ListSubkeys(world.registry, probe.Get(), names);
  EXPECT_EQ(names.size(), 4u);
  probe.Reset();
  EXPECT_EQ(world.registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace testing_support
