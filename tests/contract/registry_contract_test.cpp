// One set of cases for every registry implementation: the in-memory double
// everywhere, the Win32 registry under Wine. Where they differ, the double
// is wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "platform/accounts.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"
#include "tests/support/fixtures.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace platform;

namespace {

// A scratch key below HKEY_CURRENT_USER, removed again after each case.
class Sandbox {
 public:
  Sandbox(Registry& registry) : registry_(registry) {
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = getpid();
#endif
    path_ = "Software\\SetUpContract\\" + std::to_string(pid);
    DeleteKeyTree(registry_, kCurrentUser, path_);
    EXPECT_EQ(registry_.CreateKey(kCurrentUser, path_.c_str(), &base_), RegResult::Success);
  }
  ~Sandbox() {
    registry_.CloseKey(base_);
    DeleteKeyTree(registry_, kCurrentUser, path_);
    DeleteKeyTree(registry_, kCurrentUser, "Software\\SetUpContract");
  }
  RegKey base() const { return base_; }

 private:
  Registry& registry_;
  std::string path_;
  RegKey base_ = kNoKey;
};

struct World {
  const char* name;
  std::function<Registry&()> registry;
  // Makes (true) or deletes (false) sub-key "한" of `key`, a name code page
  // 936 cannot carry, as a Korean program would write it.
  std::function<void(Registry&, RegKey, bool)> foreignKey;
  // Whether the process this world stands for is a 32-bit one on 64-bit
  // Windows, whose HKLM\SOFTWARE is redirected to SOFTWARE\Wow6432Node.
  bool wow64 = false;
  // Sets value "Bits" of `path` below HKLM, making the key, as 64-bit
  // regedit would: the path names the key in the 64-bit view (a path below
  // Wow6432Node the 32-bit one); an empty text deletes the key's tree.
  std::function<void(Registry&, const std::string&, const std::string&)> plant;
  // The SID of the account the process runs as.
  std::function<std::string()> ownSid;
};

std::vector<World> Worlds() {
  std::vector<World> worlds;
  // The double in the view of the process the tests run as (both, natively).
#ifdef _WIN32
  const bool wow64 = sizeof(void*) == 4;
  const std::vector<bool> memoryViews = {wow64};
#else
  const std::vector<bool> memoryViews = {false, true};
#endif
  for (const bool view32 : memoryViews) {
  worlds.push_back({view32 ? "Memory32" : "Memory", [view32] () -> Registry& {
                      static MemoryRegistry* registry = nullptr;
                      delete registry;
                      registry = new MemoryRegistry(view32 ? MemoryRegistry::View::Wow64
                                                           : MemoryRegistry::View::Native64);
                      return *registry;
                    },
                    [](Registry& registry, RegKey key, bool make) {
                      // The double keeps the name as written under UTF-8.
                      testing_support::ScopedCodePage page(CodePageId::Utf8);
                      RegKey made = kNoKey;
                      if (make) {
                        EXPECT_EQ(registry.CreateKey(key, "\xED\x95\x9C", &made), RegResult::Success);
                        registry.CloseKey(made);
                      } else {
                        EXPECT_EQ(registry.DeleteKey(key, "\xED\x95\x9C"), RegResult::Success);
                      }
                    },
                    view32,
                    [](Registry& registry, const std::string& path, const std::string& bits) {
                      auto& memory = static_cast<MemoryRegistry&>(registry);
                      const MemoryRegistry::View view = memory.GetView();
                      memory.SetView(MemoryRegistry::View::Native64);
                      if (bits.empty()) {
                        DeleteKeyTree(memory, kLocalMachine, path);
                      } else {
                        RegKey key = kNoKey;
                        ASSERT_EQ(memory.CreateKey(kLocalMachine, path.c_str(), &key), RegResult::Success);
                        memory.SetValue(key, "Bits", RegType::String, reinterpret_cast<const unsigned char*>(bits.c_str()),
                                        static_cast<unsigned long>(bits.size() + 1));
                        memory.CloseKey(key);
                      }
                      memory.SetView(view);
                    },
                    [] { return MemoryAccounts().processUser.sid; }});
  }
#ifdef _WIN32
  worlds.push_back({"Win32", [] () -> Registry& { return SystemRegistry(); },
                    [](Registry&, RegKey key, bool make) {
                      const HKEY parent = reinterpret_cast<HKEY>(key);
                      if (make) {
                        HKEY made = nullptr;
                        ASSERT_EQ(RegCreateKeyExW(parent, L"\uD55C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made,
                                                  nullptr),
                                  ERROR_SUCCESS);
                        RegCloseKey(made);
                      } else {
                        EXPECT_EQ(RegDeleteKeyW(parent, L"\uD55C"), ERROR_SUCCESS);
                      }
                    },
                    wow64,
                    [](Registry&, const std::string& path, const std::string& bits) {
                      if (bits.empty()) {
                        HKEY key = nullptr;
                        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) ==
                            ERROR_SUCCESS) {
                          RegDeleteTreeA(key, nullptr);
                          RegCloseKey(key);
                        }
                        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
                        return;
                      }
                      HKEY key = nullptr;
                      ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
                                ERROR_SUCCESS)
                          << path;
                      RegSetValueExA(key, "Bits", 0, REG_SZ, reinterpret_cast<const BYTE*>(bits.c_str()),
                                     static_cast<DWORD>(bits.size() + 1));
                      RegCloseKey(key);
                    },
                    [] {
                      Account user;
                      return SystemAccounts().ProcessUser(&user) ? user.sid : std::string();
                    }});
#endif
  return worlds;
}

class RegistryContract : public ::testing::TestWithParam<World> {
 protected:
  void SetUp() override {
    registry_ = &GetParam().registry();
    sandbox_ = std::make_unique<Sandbox>(*registry_);
  }
  void TearDown() override { sandbox_.reset(); }

  Registry& reg() { return *registry_; }
  RegKey base() { return sandbox_->base(); }
  RegKey Create(const char* path) {
    RegKey key = kNoKey;
    EXPECT_EQ(reg().CreateKey(base(), path, &key), RegResult::Success) << path;
    return key;
  }
  void SetString(RegKey key, const char* name, const std::string& text, unsigned long type = RegType::String) {
    ASSERT_EQ(reg().SetValue(key, name, type, reinterpret_cast<const unsigned char*>(text.c_str()),
                             static_cast<unsigned long>(text.size() + 1)),
              RegResult::Success);
  }
  std::vector<std::string> Names(RegKey key) {
    std::vector<std::string> names;
    for (unsigned long i = 0;; ++i) {
      char name[256] = {};
      unsigned long length = sizeof(name);
      if (reg().EnumKey(key, i, name, &length) != RegResult::Success) break;
      names.push_back(std::string(name, length));
    }
    return names;
  }

 private:
  Registry* registry_ = nullptr;
  std::unique_ptr<Sandbox> sandbox_;
};

TEST_P(RegistryContract, OpeningARootWithoutSubKeyGivesTheRoot) {
  RegKey key = kNoKey;
  ASSERT_EQ(reg().OpenKey(kCurrentUser, nullptr, &key), RegResult::Success);
  EXPECT_EQ(key, kCurrentUser);
  EXPECT_EQ(reg().CloseKey(key), RegResult::Success);
  ASSERT_EQ(reg().OpenKey(kLocalMachine, "", &key), RegResult::Success);
  EXPECT_EQ(key, kLocalMachine);
}

// The running account's hive is loaded under HKEY_USERS by its SID, and
// is HKEY_CURRENT_USER itself: what is written through one name is read
// through the other. (The install record names profiles this way, for an
// uninstall run by another account.)
TEST_P(RegistryContract, TheOwnHiveUnderHkeyUsersIsTheCurrentUser) {
  const std::string sid = GetParam().ownSid();
  ASSERT_FALSE(sid.empty()) << "the process's own SID";
  RegKey mine = Create("Mine");
  const unsigned char data[] = "through HKCU";
  ASSERT_EQ(reg().SetValue(mine, "V", RegType::String, data, sizeof(data)), RegResult::Success);
  reg().CloseKey(mine);
#ifdef _WIN32
  const int pid = _getpid();
#else
  const int pid = getpid();
#endif
  const std::string path = sid + "\\Software\\SetUpContract\\" + std::to_string(pid) + "\\Mine";
  RegKey users = kNoKey;
  ASSERT_EQ(reg().OpenKey(kUsers, path.c_str(), &users), RegResult::Success) << path;
  unsigned long type = 0, size = sizeof(data);
  unsigned char read[sizeof(data)] = {};
  EXPECT_EQ(reg().QueryValue(users, "V", &type, read, &size), RegResult::Success);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(read)), "through HKCU");
  const unsigned char back[] = "through HKU";
  EXPECT_EQ(reg().SetValue(users, "W", RegType::String, back, sizeof(back)), RegResult::Success);
  reg().CloseKey(users);
  mine = Create("Mine");
  size = sizeof(read);
  EXPECT_EQ(reg().QueryValue(mine, "W", &type, read, &size), RegResult::Success);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(read)), "through HKU");
  reg().CloseKey(mine);
}

TEST_P(RegistryContract, EmptySubKeyOpensTheSameKeyAgain) {
  SetString(base(), "Probe", "here");
  RegKey again = kNoKey;
  ASSERT_EQ(reg().OpenKeyRead(base(), "", &again), RegResult::Success);
  EXPECT_NE(again, base());
  unsigned char data[16] = {};
  unsigned long size = sizeof(data);
  EXPECT_EQ(reg().QueryValue(again, "probe", nullptr, data, &size), RegResult::Success);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "here");
  reg().CloseKey(again);
}

TEST_P(RegistryContract, NamesIgnoreCaseAndKeepIt) {
  reg().CloseKey(Create("MixedCase"));
  RegKey key = kNoKey;
  ASSERT_EQ(reg().OpenKey(base(), "MIXEDCASE", &key), RegResult::Success);
  SetString(key, "ValueName", "v1");
  SetString(key, "VALUENAME", "v2");  // the same value, overwritten
  unsigned char data[8] = {};
  unsigned long size = sizeof(data);
  EXPECT_EQ(reg().QueryValue(key, "valuename", nullptr, data, &size), RegResult::Success);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "v2");
  reg().CloseKey(key);
  EXPECT_EQ(Names(base()), std::vector<std::string>{"MixedCase"});
}

TEST_P(RegistryContract, CreateMakesTheWholePathAndOpenFindsIt) {
  reg().CloseKey(Create("a\\b\\c"));
  unsigned long count = 99;
  ASSERT_EQ(reg().QuerySubKeyCount(base(), &count), RegResult::Success);
  EXPECT_EQ(count, 1u);
  RegKey key = kNoKey;
  EXPECT_EQ(reg().OpenKeyRead(base(), "a\\b\\c", &key), RegResult::Success);
  reg().CloseKey(key);
  // Key paths recorded by the scan end in a backslash.
  EXPECT_EQ(reg().OpenKey(base(), "a\\b\\", &key), RegResult::Success);
  reg().CloseKey(key);
  RegKey untouched = 12345;
  EXPECT_EQ(reg().OpenKeyRead(base(), "a\\missing", &untouched), RegResult::FileNotFound);
  EXPECT_EQ(untouched, 12345u);
}

TEST_P(RegistryContract, DeleteRefusesAKeyWithSubKeys) {
  reg().CloseKey(Create("Applications\\Entry\\Child"));
  EXPECT_EQ(reg().DeleteKey(base(), "Applications\\Entry"), RegResult::AccessDenied);
  EXPECT_EQ(reg().DeleteKey(base(), "Applications\\Entry\\Child"), RegResult::Success);
  EXPECT_EQ(reg().DeleteKey(base(), "Applications\\Entry"), RegResult::Success);
  EXPECT_EQ(reg().DeleteKey(base(), "Applications\\Entry"), RegResult::FileNotFound);
  EXPECT_EQ(Names(base()), std::vector<std::string>{"Applications"});
}

TEST_P(RegistryContract, DeleteValueRemovesOneValueAndCountsTell) {
  SetString(base(), "TRUSTEDPATHS", "C:\\Lisp");
  SetString(base(), "Other", "x");
  unsigned long count = 0;
  ASSERT_EQ(reg().QueryValueCount(base(), &count), RegResult::Success);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(reg().DeleteValue(base(), "trustedpaths"), RegResult::Success);
  EXPECT_EQ(reg().QueryValue(base(), "TRUSTEDPATHS", nullptr, nullptr, nullptr), RegResult::FileNotFound);
  EXPECT_EQ(reg().DeleteValue(base(), "TRUSTEDPATHS"), RegResult::FileNotFound);
  ASSERT_EQ(reg().QueryValueCount(base(), &count), RegResult::Success);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(reg().DeleteValue(base(), "Other"), RegResult::Success);
  ASSERT_EQ(reg().QueryValueCount(base(), &count), RegResult::Success);
  EXPECT_EQ(count, 0u);
}

TEST_P(RegistryContract, EnumeratesInWindowsOrder) {
  for (const char* name : {"b", "A", "_x", "C1", "c0", "R18.0", "R17.2"}) reg().CloseKey(Create(name));
  // Sorted ignoring case, as lower case: '_' (0x5F) comes before the letters.
  EXPECT_EQ(Names(base()), (std::vector<std::string>{"_x", "A", "b", "c0", "C1", "R17.2", "R18.0"}));
  char name[2] = {};
  unsigned long length = sizeof(name);
  EXPECT_EQ(reg().EnumKey(base(), 5, name, &length), RegResult::MoreData);
  length = sizeof(name);
  EXPECT_EQ(reg().EnumKey(base(), 7, name, &length), RegResult::NoMoreItems);
}

TEST_P(RegistryContract, ValuesKeepTypeAndBytes) {
  // CP936 text whose trail byte is a backslash ("乗"), and Chinese text.
  const std::string folder = "D:\\\xC8\xED\xBC\xFE\\\x81\x5C";
  SetString(base(), "AcadLocation", folder);
  SetString(base(), "TRUSTEDPATHS", "%ProgramFiles%\\x", RegType::ExpandString);
  const unsigned char two[4] = {2, 0, 0, 0};
  ASSERT_EQ(reg().SetValue(base(), "LOADCTRLS", RegType::Dword, two, 4), RegResult::Success);

  unsigned char data[64];
  std::memset(data, 0, sizeof(data));
  unsigned long size = sizeof(data);
  unsigned long type = 0;
  ASSERT_EQ(reg().QueryValue(base(), "AcadLocation", &type, data, &size), RegResult::Success);
  EXPECT_EQ(type, RegType::String);
  EXPECT_EQ(size, folder.size() + 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data)), folder);

  size = sizeof(data);
  ASSERT_EQ(reg().QueryValue(base(), "TRUSTEDPATHS", &type, data, &size), RegResult::Success);
  EXPECT_EQ(type, RegType::ExpandString);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "%ProgramFiles%\\x");  // not expanded

  size = sizeof(data);
  ASSERT_EQ(reg().QueryValue(base(), "LOADCTRLS", &type, data, &size), RegResult::Success);
  EXPECT_EQ(type, RegType::Dword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(data, two, 4), 0);

  EXPECT_EQ(reg().QueryValue(base(), "Missing", &type, data, &size), RegResult::FileNotFound);
}

// The program's own words set as UTF-16 read back through the narrow call
// in the code page in force (936 here), as the text it was given.
TEST_P(RegistryContract, TextSetAsUtf16ReadsBackInTheCodePage) {
  const std::string name = "\xC5\xFA\xB4\xF2\xD3\xA1\xC8\xED\xBC\xFE";  // 批打印软件 in CP936
  ASSERT_EQ(reg().SetTextValue(base(), "DisplayName", name), RegResult::Success);
  ASSERT_EQ(reg().SetTextValue(base(), "Publisher", "Velkor"), RegResult::Success);
  unsigned char data[64] = {};
  unsigned long size = sizeof(data);
  unsigned long type = 0;
  ASSERT_EQ(reg().QueryValue(base(), "DisplayName", &type, data, &size), RegResult::Success);
  EXPECT_EQ(type, RegType::String);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), name + '\0');
  size = sizeof(data);
  ASSERT_EQ(reg().QueryValue(base(), "Publisher", &type, data, &size), RegResult::Success);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("Velkor") + '\0');
#ifdef _WIN32
  if (std::string(GetParam().name) == "Win32") {
    // Stored as UTF-16, whatever the code page that reads it.
    wchar_t wide[16] = {};
    DWORD bytes = sizeof(wide);
    DWORD wideType = 0;
    ASSERT_EQ(RegQueryValueExW(reinterpret_cast<HKEY>(base()), L"DisplayName", nullptr, &wideType,
                               reinterpret_cast<BYTE*>(wide), &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(wideType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(wide), L"\u6279\u6253\u5370\u8F6F\u4EF6");
    EXPECT_EQ(bytes, 6 * sizeof(wchar_t));
  }
#endif
}

TEST_P(RegistryContract, ValueThatDoesNotFitGivesMoreDataAndNoBytes) {
  SetString(base(), "Fits", std::string(519, 'f'));   // 520 bytes with the zero
  SetString(base(), "TooLong", std::string(520, 't'));
  std::vector<unsigned char> data(520, 0);
  unsigned long size = 520;
  EXPECT_EQ(reg().QueryValue(base(), "Fits", nullptr, data.data(), &size), RegResult::Success);
  EXPECT_EQ(size, 520u);
  std::fill(data.begin(), data.end(), 0);
  size = 520;
  EXPECT_EQ(reg().QueryValue(base(), "TooLong", nullptr, data.data(), &size), RegResult::MoreData);
  EXPECT_EQ(size, 521u);
  EXPECT_EQ(data[0], 0) << "no part of the value is handed out";
  // Without a buffer the size alone comes back.
  size = 0;
  EXPECT_EQ(reg().QueryValue(base(), "TooLong", nullptr, nullptr, &size), RegResult::Success);
  EXPECT_EQ(size, 521u);
}

TEST_P(RegistryContract, ChineseKeyNamesStayWhole) {
  // One key named "乗" (0x81 0x5C), not a key 0x81 with a sub-key.
  const std::string name = "\x81\x5C";
  reg().CloseKey(Create(name.c_str()));
  EXPECT_EQ(Names(base()), std::vector<std::string>{name});
  RegKey key = kNoKey;
  EXPECT_EQ(reg().OpenKeyRead(base(), name.c_str(), &key), RegResult::Success);
  reg().CloseKey(key);
}

// A name the code page cannot carry is told, not given with '?' in it:
// the name and its length are left as they were, and the keys around it
// still enumerate.
TEST_P(RegistryContract, ANameTheCodePageCannotCarryIsTold) {
  ASSERT_EQ(CurrentCodePage(), CodePageId::Chinese);
  for (const char* name : {"a", "b"}) reg().CloseKey(Create(name));
  GetParam().foreignKey(reg(), base(), true);
  unsigned long count = 0;
  ASSERT_EQ(reg().QuerySubKeyCount(base(), &count), RegResult::Success);
  EXPECT_EQ(count, 3u);
  char name[256] = "untouched";
  unsigned long length = sizeof(name);
  EXPECT_EQ(reg().EnumKey(base(), 2, name, &length), RegResult::NoUnicodeTranslation);
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(length, sizeof(name));
  EXPECT_EQ(Names(base()), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(reg().EnumKey(base(), 3, name, &length), RegResult::NoMoreItems);
  GetParam().foreignKey(reg(), base(), false);
}

TEST_P(RegistryContract, HandleOfADeletedKeyFails) {
  RegKey key = Create("Doomed");
  EXPECT_EQ(reg().DeleteKey(base(), "Doomed"), RegResult::Success);
  unsigned long count = 0;
  EXPECT_NE(reg().QuerySubKeyCount(key, &count), RegResult::Success);
  reg().CloseKey(key);
}

TEST_P(RegistryContract, AKeyOpenedForReadingIsNotWritten) {
  reg().CloseKey(Create("Existing"));
  RegKey reader = kNoKey;
  ASSERT_EQ(reg().OpenKeyRead(base(), "", &reader), RegResult::Success);
  const unsigned char one[4] = {1, 0, 0, 0};
  EXPECT_EQ(reg().SetValue(reader, "X", RegType::Dword, one, 4), RegResult::AccessDenied);
  RegKey child = kNoKey;
  EXPECT_EQ(reg().CreateKey(reader, "Existing", &child), RegResult::Success);
  reg().CloseKey(child);
  // Deleting goes by the sub-key's own rights, not the parent handle's.
  EXPECT_EQ(reg().DeleteKey(reader, "Existing"), RegResult::Success);
  reg().CloseKey(reader);
  // RegOpenKeyA opens with all the rights the caller has.
  RegKey writer = kNoKey;
  ASSERT_EQ(reg().OpenKey(base(), "", &writer), RegResult::Success);
  EXPECT_EQ(reg().SetValue(writer, "X", RegType::Dword, one, 4), RegResult::Success);
}

// Both registry views, as the process of each world sees them: a 64-bit
// process (or 32-bit Windows) reads HKLM\SOFTWARE where it stands; a 32-bit
// one on 64-bit Windows reads SOFTWARE\Wow6432Node through the redirector,
// and reaches the 64-bit keys only by naming the view, which is what a
// 64-bit process sees. HKLM outside SOFTWARE and HKEY_CURRENT_USER are
// shared.
TEST_P(RegistryContract, EachViewReadsAndWritesItsOwnMachineSoftware) {
  const std::string name = "SetUpViews" + std::to_string(
#ifdef _WIN32
                                              _getpid()
#else
                                              getpid()
#endif
                                          );
  const std::string native = "SOFTWARE\\" + name;
  const std::string wow = "SOFTWARE\\Wow6432Node\\" + name;
  const World& world = GetParam();
  world.plant(reg(), native, "");
  world.plant(reg(), wow, "");
  world.plant(reg(), native, "64");
  world.plant(reg(), native + "\\Only64", "64");
  world.plant(reg(), wow, "32");
  world.plant(reg(), wow + "\\Only32", "32");
  const std::string own = world.wow64 ? "32" : "64";

  auto bits = [&](RegKey parent, const std::string& path, const RegView* view) {
    RegKey opened = kNoKey;
    const long status = view ? reg().OpenKeyReadView(parent, path.c_str(), *view, &opened)
                             : reg().OpenKeyRead(parent, path.c_str(), &opened);
    if (status != RegResult::Success) return "error " + std::to_string(status);
    char data[8] = {};
    unsigned long size = sizeof(data);
    const long queried = reg().QueryValue(opened, "Bits", nullptr, reinterpret_cast<unsigned char*>(data), &size);
    reg().CloseKey(opened);
    return queried == RegResult::Success ? std::string(data) : "error " + std::to_string(queried);
  };
  const RegView view64 = RegView::Bits64, view32 = RegView::Bits32;
  // The process's own view, however the key is reached.
  EXPECT_EQ(bits(kLocalMachine, native, nullptr), own);
  ScopedRegKey software(reg());
  ASSERT_EQ(reg().OpenKey(kLocalMachine, "SOFTWARE", software.Receive()), RegResult::Success);
  EXPECT_EQ(bits(software.Get(), name, nullptr), own);
  EXPECT_EQ(bits(software.Get(), name + "\\Only" + own, nullptr), own);
  EXPECT_EQ(bits(software.Get(), name + "\\Only" + std::string(world.wow64 ? "64" : "32"), nullptr), "error 2");
  // A path below Wow6432Node is that key, in every view.
  EXPECT_EQ(bits(kLocalMachine, wow, nullptr), "32");
  EXPECT_EQ(bits(kLocalMachine, wow, &view64), "32");
  // Named views: the 64-bit one is what a 64-bit process sees.
  EXPECT_EQ(bits(kLocalMachine, native, &view64), "64");
  EXPECT_EQ(bits(kLocalMachine, native + "\\Only64", &view64), "64");
  EXPECT_EQ(bits(kLocalMachine, native, &view32), "32");
  // Enumerating shows the own view's tree.
  ScopedRegKey ours(reg());
  ASSERT_EQ(reg().OpenKeyRead(kLocalMachine, native.c_str(), ours.Receive()), RegResult::Success);
  EXPECT_EQ(Names(ours.Get()), std::vector<std::string>{"Only" + own});
  // A key made through the plain path lands in the own view alone.
  auto exists = [&](const std::string& path, const RegView* view) {
    RegKey opened = kNoKey;
    const long status = view ? reg().OpenKeyReadView(kLocalMachine, path.c_str(), *view, &opened)
                             : reg().OpenKeyRead(kLocalMachine, path.c_str(), &opened);
    if (status == RegResult::Success) reg().CloseKey(opened);
    return status == RegResult::Success;
  };
  RegKey made = kNoKey;
  ASSERT_EQ(reg().CreateKey(kLocalMachine, (native + "\\Made").c_str(), &made), RegResult::Success);
  reg().CloseKey(made);
  EXPECT_TRUE(exists(native + "\\Made", nullptr));
  EXPECT_EQ(exists(wow + "\\Made", nullptr), world.wow64);
  EXPECT_EQ(exists(native + "\\Made", &view64), !world.wow64);
  // Shared: the scratch key below HKEY_CURRENT_USER in both views.
  SetString(base(), "Bits", "any");
  EXPECT_EQ(bits(base(), "", &view32), "any");
  EXPECT_EQ(bits(base(), "", &view64), "any");

  world.plant(reg(), native, "");
  world.plant(reg(), wow, "");
  EXPECT_EQ(bits(kLocalMachine, native, &view64), "error 2");
  EXPECT_EQ(bits(kLocalMachine, wow, &view64), "error 2");
}

INSTANTIATE_TEST_SUITE_P(Worlds, RegistryContract, ::testing::ValuesIn(Worlds()),
                         [](const ::testing::TestParamInfo<World>& param) { return std::string(param.param.name); });

}  // namespace

namespace {

// Under a code page without Chinese the narrow read gives '?' for each
// character, as Windows gives its default character: the double, which
// keeps text in the code page, must not give back the CP936 bytes.
TEST(MemoryRegistryText, TextSetAsUtf16ReadsBackWithStandInsUnderAnotherCodePage) {
  MemoryRegistry registry;
  RegKey key = kNoKey;
  ASSERT_EQ(registry.CreateKey(kCurrentUser, "Software\\Entry", &key), RegResult::Success);
  {
    testing_support::ScopedCodePage page(1252);
    ASSERT_EQ(registry.SetTextValue(key, "DisplayName", "\xC5\xFA\xB4\xF2 Velkor"), RegResult::Success);
  }
  std::string data;
  EXPECT_TRUE(registry.GetValue("HKEY_CURRENT_USER\\Software\\Entry", "DisplayName", nullptr, &data));
  EXPECT_EQ(data, std::string("?? Velkor") + '\0');
  registry.CloseKey(key);
}

// The memory registry's views, held to the documented rules of the
// registry redirector (which Wine, running 64-bit code only here, cannot
// show for a 32-bit process): what a 32-bit process on 64-bit Windows sees.
class RegistryViews : public ::testing::Test {
 protected:
  RegistryViews() {
    std::string error;
    EXPECT_TRUE(ImportRegText(registry,
                              "REGEDIT4\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R23.1]\n\"Bits\"=\"64\"\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor64Only]\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R17.1]\n\"Bits\"=\"32\"\n"
                              "[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\n\"Bits\"=\"shared\"\n"
                              "[HKEY_CURRENT_USER\\Software\\Autodesk]\n\"Bits\"=\"shared\"\n",
                              &error))
        << error;
    registry.SetView(MemoryRegistry::View::Wow64);
  }

  // The sub-keys of `path` below `root` as the view enumerates them.
  std::vector<std::string> Names(RegKey root, const char* path) {
    std::vector<std::string> names;
    ScopedRegKey key(registry);
    if (registry.OpenKeyRead(root, path, key.Receive()) != RegResult::Success) return {"<not opened>"};
    unsigned long count = 0;
    EXPECT_EQ(registry.QuerySubKeyCount(key.Get(), &count), RegResult::Success);
    for (unsigned long i = 0; i < count; ++i) names.push_back(SubKeyName(registry, key.Get(), i));
    return names;
  }
  std::string Bits(RegKey key) {
    char data[16] = {};
    unsigned long size = sizeof(data);
    if (registry.QueryValue(key, "Bits", nullptr, reinterpret_cast<unsigned char*>(data), &size) != RegResult::Success) {
      return "<none>";
    }
    return data;
  }
  std::string BitsAt(RegKey root, const char* path) {
    ScopedRegKey key(registry);
    const long status = registry.OpenKeyRead(root, path, key.Receive());
    return status == RegResult::Success ? Bits(key.Get()) : "error " + std::to_string(status);
  }

  MemoryRegistry registry;
};

TEST_F(RegistryViews, MachineSoftwareIsRedirectedHoweverItIsReached) {
  EXPECT_EQ(BitsAt(kLocalMachine, "SOFTWARE\\Autodesk\\AutoCAD\\R17.1"), "32");
  EXPECT_EQ(BitsAt(kLocalMachine, "software\\autodesk\\autocad\\r23.1"), "error 2") << "the 64-bit key is not seen";
  // Through a handle to SOFTWARE, and through RegOpenKeyA.
  ScopedRegKey software(registry);
  ASSERT_EQ(registry.OpenKey(kLocalMachine, "SOFTWARE", software.Receive()), RegResult::Success);
  EXPECT_EQ(BitsAt(software.Get(), "Autodesk\\AutoCAD\\R17.1"), "32");
  ScopedRegKey machine(registry);
  ASSERT_EQ(registry.OpenKey(kLocalMachine, nullptr, machine.Receive()), RegResult::Success);
  EXPECT_EQ(BitsAt(machine.Get(), "SOFTWARE\\Autodesk\\AutoCAD\\R17.1"), "32");
}

TEST_F(RegistryViews, APathBelowWow6432NodeMapsToItself) {
  EXPECT_EQ(BitsAt(kLocalMachine, "SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R17.1"), "32");
  ScopedRegKey software(registry);
  ASSERT_EQ(registry.OpenKeyRead(kLocalMachine, "SOFTWARE", software.Receive()), RegResult::Success);
  EXPECT_EQ(BitsAt(software.Get(), "Wow6432Node\\Autodesk\\AutoCAD\\R17.1"), "32");
}

TEST_F(RegistryViews, EnumeratingSoftwareShowsTheRedirectedTree) {
  EXPECT_EQ(Names(kLocalMachine, "SOFTWARE"), std::vector<std::string>{"Autodesk"});
  EXPECT_EQ(Names(kLocalMachine, "SOFTWARE\\Autodesk\\AutoCAD"), std::vector<std::string>{"R17.1"});
  // HKLM itself is shared: its sub-keys as they stand.
  EXPECT_EQ(Names(kLocalMachine, ""), (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
}

TEST_F(RegistryViews, OtherKeysAndTheCurrentUsersSoftwareAreShared) {
  EXPECT_EQ(BitsAt(kLocalMachine, "SYSTEM\\Setup"), "shared");
  EXPECT_EQ(BitsAt(kCurrentUser, "Software\\Autodesk"), "shared");
  EXPECT_FALSE(registry.KeyExists("HKEY_CURRENT_USER\\Software\\Wow6432Node"));
}

TEST_F(RegistryViews, WritesLandBelowWow6432Node) {
  ScopedRegKey entry(registry);
  ASSERT_EQ(registry.CreateKey(kLocalMachine, "SOFTWARE\\Autodesk\\AutoCAD\\R17.1\\Applications\\Entry",
                               entry.Receive()),
            RegResult::Success);
  const unsigned char two[4] = {2, 0, 0, 0};
  ASSERT_EQ(registry.SetValue(entry.Get(), "LOADCTRLS", RegType::Dword, two, 4), RegResult::Success);
  EXPECT_TRUE(registry.GetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R17.1\\Applications\\Entry",
                                "LOADCTRLS", nullptr, nullptr));
  EXPECT_FALSE(registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R17.1"));
  // A new key of its own below SOFTWARE, and a delete through the same path.
  ScopedRegKey made(registry);
  ASSERT_EQ(registry.CreateKey(kLocalMachine, "SOFTWARE\\New32", made.Receive()), RegResult::Success);
  EXPECT_TRUE(registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\New32"));
  EXPECT_FALSE(registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\New32"));
  EXPECT_EQ(registry.DeleteKey(kLocalMachine, "SOFTWARE\\New32"), RegResult::Success);
  EXPECT_FALSE(registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\New32"));
  EXPECT_EQ(registry.DeleteKey(kLocalMachine, "SOFTWARE\\Vendor64Only"), RegResult::FileNotFound);
}

TEST_F(RegistryViews, ANamedViewReachesTheOtherKeysUnlessWindowsHasOnlyOne) {
  auto open = [&](RegView view) {
    ScopedRegKey key(registry);
    const long status = registry.OpenKeyReadView(kLocalMachine, "SOFTWARE\\Autodesk\\AutoCAD\\R23.1", view, key.Receive());
    return status == RegResult::Success ? Bits(key.Get()) : "error " + std::to_string(status);
  };
  EXPECT_EQ(open(RegView::Bits64), "64");
  EXPECT_EQ(open(RegView::Bits32), "error 2");
  registry.SetView(MemoryRegistry::View::Native64);
  EXPECT_EQ(open(RegView::Bits64), "64");
  EXPECT_EQ(BitsAt(kLocalMachine, "SOFTWARE\\Autodesk\\AutoCAD\\R17.1"), "error 2") << "the 64-bit process's own view";
  // 32-bit Windows: one view, where every key stands; the flag is ignored.
  registry.SetView(MemoryRegistry::View::Windows32);
  EXPECT_EQ(open(RegView::Bits32), "64");
  EXPECT_EQ(BitsAt(kLocalMachine, "SOFTWARE\\Autodesk\\AutoCAD\\R23.1"), "64");
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

}  // namespace
