// Bad input against the in-memory machine: registry data of every type and
// size, the longest key names, endless and looping key trees, paths at the
// 260-byte buffers, trail bytes 0x5C, a missing APPDATA, a big package and
// excluded names in odd case, and command lines of every switch, good and
// bad. Each case says what the sound result is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "deploy/package_copy.h"
#include "deploy/package_folder.h"
#include "engine/acad_setup.h"
#include "peruser/per_user_setup.h"
#include "record/install_record.h"
#include "run/command_line.h"
#include "engine/exit_codes.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "platform/message_text.h"
#include "platform/memory/memory_processes.h"
#include "platform/text.h"
#include "tests/support/fixtures.h"
#include "tests/support/cleanup_check.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

using platform::MemoryFileSystem;
using platform::MemoryRegistry;
namespace RegType = platform::RegType;

namespace {

// "乗" in CP936: a lead byte and the trail byte 0x5C, a backslash's byte.
const std::string kTrail = "乗";

const std::string kRoot = "SOFTWARE\\Autodesk\\AutoCAD";
const std::string kMachineRoot = "HKEY_LOCAL_MACHINE\\" + kRoot;
constexpr unsigned long kQword = 11;  // REG_QWORD
// The scan's depth limit below a release key: the registry's own nesting.
constexpr int kSearchDepth = 512;
const std::string kZero(1, '\0');

using Names = std::vector<std::string>;
using NameSet = std::set<std::string>;

// `head`, filler, then `tail`: exactly `length` bytes.
std::string Sized(const std::string& head, std::size_t length, const std::string& tail = std::string()) {
  return head + std::string(length - head.size() - tail.size(), 'x') + tail;
}

// The forms each bounded path is tried in: plain, ending in a trail byte
// 0x5C, and with one inside.
struct Form {
  const char* what;
  std::string head;
  std::string tail;
};
const Form kForms[] = {{"plain", "", ""}, {"ending in 乗", "", kTrail}, {"乗 inside", kTrail, ""}};

// A folder on `drive` ("C:") of exactly `length` bytes.
std::string Folder(const std::string& drive, std::size_t length, const Form& form) {
  return Sized(drive + "\\" + form.head, length, form.tail);
}

std::string FailureText(const std::string& destination) {
  return "拷贝文件 " + destination +
         " 失败，可能原因如下：\n\n1、AutoCAD未关闭\n\n2、系统权限未开放，请以管理者权限登陆系统";
}
std::string TooLongText(const std::string& destination) {
  return FailureText(destination) + "\n\n路径超过259个字符，无法拷贝：选择“重试”将跳过此文件。";
}
std::string NoSettingsFolderText(const std::string& destination) {
  return FailureText(destination) + "\n\n未设置APPDATA，用户设置文件夹未知，无法拷贝：选择“重试”将跳过此文件。";
}

TEST(BadInputText, TheTrailByteCharacterIsOneCharacterEndingInABackslashByte) {
  ASSERT_EQ(kTrail, "\x81\x5C");
  EXPECT_TRUE(platform::IsLeadByte(0x81));
  EXPECT_EQ(platform::CharLength(kTrail, 0), 2u);
  EXPECT_EQ(platform::ReverseFindChar(kTrail, '\\'), platform::npos);
  EXPECT_EQ(platform::ReverseFindChar("D:\\" + kTrail, '\\'), 2u);
}

// ---- The registry scan ------------------------------------------------------

// A registry for the scan alone.
// What the sign-in stub is told, and the Version that makes every account
// run it again: read strictly, never lower than before.
TEST(BadInputText, TheStubsFactsAndItsVersions) {
  struct Row {
    const char* what;
    std::string facts;
    bool read;
  };
  const Row rows[] = {
      {"as written", "VidudOvev per-user 1\r\nremove\r\nD:\\Tools\\V-VidudOvev\r\n", true},
      {"Unix line ends", "VidudOvev per-user 1\napply\nD:\\Tools\\V-VidudOvev\n", true},
      {"the last line cut", "VidudOvev per-user 1\r\napply\r\nD:\\Tools\\V-Vid", false},
      {"another word", "VidudOvev per-user 1\r\nrepair\r\nD:\\Tools\\V-VidudOvev\r\n", false},
      {"a relative folder", "VidudOvev per-user 1\r\napply\r\nTools\\V-VidudOvev\r\n", false},
      {"a folder through ..", "VidudOvev per-user 1\r\napply\r\nD:\\Tools\\..\\Windows\r\n", false},
      {"a fourth line", "VidudOvev per-user 1\r\napply\r\nD:\\Tools\r\nD:\\Else\r\n", false},
      {"another version", "VidudOvev per-user 2\r\napply\r\nD:\\Tools\r\n", false},
      {"empty", "", false},
  };
  for (const Row& row : rows) {
    PerUserFacts facts;
    EXPECT_EQ(ParsePerUserFacts(row.facts, &facts), row.read) << row.what;
    if (row.read) {
      EXPECT_TRUE(ParsePerUserFacts(SerialisePerUserFacts(facts), &facts)) << row.what;
    }
  }
  EXPECT_EQ(RaisedVersion("", "2026,1210,1305,7"), "2026,1210,1305,7");
  EXPECT_EQ(RaisedVersion("2026,1210,1305,7", "2026,1210,1305,7"), "2026,1210,1305,8") << "the same second";
  EXPECT_EQ(RaisedVersion("2027,101,0,0", "2026,1210,1305,7"), "2027,101,0,1") << "a clock set back";
  EXPECT_EQ(RaisedVersion("9,x,99999999999999,1", "2026,1210,1305,7"), "2026,1210,1305,7") << "garbage counts low";
}

struct ScanMachine {
  // Stores `data` as `type` in `name` of `key` below the AutoCAD root.
  void Put(const std::string& key, const std::string& name, unsigned long type, const std::string& data) {
    platform::ScopedRegKey handle(registry);
    ASSERT_EQ(registry.CreateKey(platform::kLocalMachine, (kRoot + "\\" + key).c_str(), handle.Receive()), 0);
    ASSERT_EQ(registry.SetValue(handle.Get(), name.c_str(), type, reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<unsigned long>(data.size())),
              0);
  }
  void Product(const std::string& key, const std::string& location, const std::string& productName) {
    Put(key, "AcadLocation", RegType::String, location + kZero);
    Put(key, "ProductName", RegType::String, productName + kZero);
  }
  // What the scan filed, one "year key|folder" per entry.
  Names Catalogue() const {
    Names entries;
    for (int k = 0; k < kReleaseCount; ++k) {
      EXPECT_EQ(setup.acadFolders[k].size(), setup.releaseKeys[k].size());
      for (std::size_t n = 0; n < setup.acadFolders[k].size(); ++n) {
        entries.push_back(Entry(kFirstYear + k, setup.releaseKeys[k].at(n), setup.acadFolders[k].at(n)));
      }
    }
    return entries;
  }
  static std::string Entry(int year, const std::string& key, const std::string& folder) {
    return std::to_string(year) + " " + key + "|" + folder;
  }
  // A product key's path as the catalogue files it.
  static std::string Filed(const std::string& key) { return kRoot + "\\" + key + "\\"; }

  MemoryRegistry registry;
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  CAcadSetup setup{registry, files, owner};
};

struct ValueCase {
  const char* what;
  unsigned long type;
  std::string data;
  std::string read;  // what the scan takes from it; empty: nothing is filed
};

// AcadLocation in every type and shape beside a plain ProductName. Text is
// read up to its first zero or its end, a multi-string gives its first
// string; a number is no folder, whatever its bytes spell, and an empty
// folder would put files on the drive's root: neither is filed.
TEST(BadValueData, LocationOfEveryTypeIsReadAsTextOrNotAtAll) {
  const std::string& z = kZero;
  const ValueCase cases[] = {
      {"string", RegType::String, "C:\\A" + z, "C:\\A"},
      {"string without its zero", RegType::String, "C:\\A", "C:\\A"},
      {"expandable string", RegType::ExpandString, "C:\\A" + z, "C:\\A"},
      {"binary", RegType::Binary, "C:\\A", "C:\\A"},
      {"multi-string", RegType::MultiString, "C:\\A" + z + "C:\\B" + z + z, "C:\\A"},
      {"multi-string without its zeros", RegType::MultiString, "C:\\A" + z + "C:\\B", "C:\\A"},
      {"multi-string of one unended string", RegType::MultiString, "C:\\A", "C:\\A"},
      {"dword spelling C:\\", RegType::Dword, "C:\\" + z, ""},
      {"dword zero", RegType::Dword, z + z + z + z, ""},
      {"qword spelling C:\\A", kQword, "C:\\A" + z + z + z + z, ""},
      {"empty string", RegType::String, "", ""},
      {"string of a zero", RegType::String, z, ""},
      {"empty binary", RegType::Binary, "", ""},
      {"empty multi-string", RegType::MultiString, z + z, ""},
      {"multi-string starting empty", RegType::MultiString, z + "C:\\B" + z + z, ""},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScanMachine m;
    m.Put("R18.0\\ACAD-8001:804", "AcadLocation", c.type, c.data);
    m.Put("R18.0\\ACAD-8001:804", "ProductName", RegType::String, "AutoCAD 2010" + z);
    m.setup.ScanReleases();
    const Names expected =
        c.read.empty() ? Names{} : Names{m.Entry(2010, m.Filed("R18.0\\ACAD-8001:804"), c.read)};
    EXPECT_EQ(m.Catalogue(), expected);
    EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  }
}

// ProductName likewise: the year is looked for in the first string only,
// and never in a number.
TEST(BadValueData, ProductNameOfEveryTypeIsReadAsTextOrNotAtAll) {
  const std::string& z = kZero;
  const ValueCase cases[] = {
      {"string", RegType::String, "AutoCAD 2011" + z, "2011"},
      {"binary without a zero", RegType::Binary, "AutoCAD 2011", "2011"},
      {"multi-string", RegType::MultiString, "AutoCAD 2011" + z + "AutoCAD 2013" + z + z, "2011"},
      {"multi-string without its zeros", RegType::MultiString, "AutoCAD 2011" + z + "x", "2011"},
      {"year in the second string", RegType::MultiString, "AutoCAD" + z + " 2011" + z + z, ""},
      {"qword spelling \" 2011\"", kQword, " 2011" + z + z + z, ""},
      {"dword", RegType::Dword, "2011", ""},
      {"empty binary", RegType::Binary, "", ""},
      {"empty multi-string", RegType::MultiString, z, ""},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScanMachine m;
    m.Put("R18.1\\ACAD-9001:804", "AcadLocation", RegType::String, "C:\\A" + z);
    m.Put("R18.1\\ACAD-9001:804", "ProductName", c.type, c.data);
    m.setup.ScanReleases();
    const Names expected =
        c.read.empty() ? Names{} : Names{m.Entry(std::stoi(c.read), m.Filed("R18.1\\ACAD-9001:804"), "C:\\A")};
    EXPECT_EQ(m.Catalogue(), expected);
    EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  }
}

// The scan reads values into 520 bytes. Data of exactly that size, zero or
// not, is read whole and not a byte further (the sanitizer build watches
// the buffer); longer data is not read at all, so nothing is filed.
TEST(BadValueData, DataOfTheBufferSizeIsReadWholeAndLongerDataNotAtAll) {
  for (const unsigned long type : {RegType::String, RegType::Binary, RegType::MultiString}) {
    SCOPED_TRACE(type);
    ScanMachine m;
    const std::string full = Sized("C:\\", 520);          // 520 bytes, no zero
    const std::string ended = Sized("C:\\", 519) + kZero;  // 519 and the zero
    const std::string product = Sized("A", 520, " 2011");  // the year in its last bytes
    m.Put("R18.0\\ACAD-1:804", "AcadLocation", type, full);
    m.Put("R18.0\\ACAD-1:804", "ProductName", RegType::String, "AutoCAD 2010");
    m.Put("R18.0\\ACAD-2:804", "AcadLocation", type, ended);
    m.Put("R18.0\\ACAD-2:804", "ProductName", RegType::String, "AutoCAD 2010");
    m.Put("R18.1\\ACAD-3:804", "AcadLocation", RegType::String, "C:\\Third");
    m.Put("R18.1\\ACAD-3:804", "ProductName", type, product);
    // One byte more, and much more, in either value.
    m.Put("R18.2\\ACAD-4:804", "AcadLocation", type, Sized("C:\\", 521));
    m.Put("R18.2\\ACAD-4:804", "ProductName", RegType::String, "AutoCAD 2012");
    m.Put("R18.2\\ACAD-5:804", "AcadLocation", type, Sized("C:\\", 520) + kZero);
    m.Put("R18.2\\ACAD-5:804", "ProductName", RegType::String, "AutoCAD 2012");
    m.Put("R18.2\\ACAD-6:804", "AcadLocation", type, Sized("C:\\", 65536));
    m.Put("R18.2\\ACAD-6:804", "ProductName", RegType::String, "AutoCAD 2012");
    m.Put("R18.2\\ACAD-7:804", "AcadLocation", RegType::String, "C:\\Seventh");
    m.Put("R18.2\\ACAD-7:804", "ProductName", type, Sized("A", 521, " 2012"));
    m.setup.ScanReleases();
    EXPECT_EQ(m.Catalogue(), (Names{m.Entry(2010, m.Filed("R18.0\\ACAD-1:804"), full),
                                    m.Entry(2010, m.Filed("R18.0\\ACAD-2:804"), ended.substr(0, 519)),
                                    m.Entry(2011, m.Filed("R18.1\\ACAD-3:804"), "C:\\Third")}));
    EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  }
}

// A number where the folder should be does not hide an installation below
// it: the key counts as not holding the value, and the search goes on down.
TEST(BadValueData, ANumberDoesNotStopTheSearch) {
  ScanMachine m;
  m.Put("R18.0", "AcadLocation", RegType::Dword, std::string("\x01\x00\x00\x00", 4));
  m.Put("R18.0", "ProductName", RegType::Dword, std::string("\x01\x00\x00\x00", 4));
  m.Product("R18.0\\ACAD-8001:804", "C:\\CAD2010", "AutoCAD 2010");
  m.setup.ScanReleases();
  EXPECT_EQ(m.Catalogue(), (Names{m.Entry(2010, m.Filed("R18.0\\ACAD-8001:804"), "C:\\CAD2010")}));
}

// ---- Key names of the registry's longest ------------------------------------

// Registration for one release through the catalogue the scan filed.
SetupProblems RegisterOnly(CAcadSetup& setup, int year) {
  SetupProblems problems;
  setup.RegisterDemandLoad(year, &problems);
  return problems;
}

// A string value as the program reads it: up to its first zero.
std::string TextValue(const MemoryRegistry& registry, const std::string& key, const std::string& name) {
  std::string data;
  if (!registry.GetValue(key, name, nullptr, &data)) return "<missing>";
  return data.substr(0, data.find('\0'));
}

// 255 bytes for the release key, a key between it and the product key, and
// the product key: read whole from the enumeration, filed whole, and the
// demand-load entries land below the very key, also when the name's last
// byte is the trail byte 0x5C of a character and the separator follows it.
TEST(LongKeyNames, NamesOf255BytesAreFiledAndRegisteredWhole) {
  const std::string names[] = {std::string(255, 'k'), Sized("", 255, kTrail), Sized(kTrail, 255)};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ASSERT_EQ(name.size(), platform::kMaxKeyNameLength);
    ScanMachine m;
    const std::string product = name + "\\" + name + "\\" + name;
    m.Product(product, "C:\\CAD2010", "AutoCAD 2010");
    m.setup.ScanReleases();
    ASSERT_EQ(m.Catalogue(), (Names{m.Entry(2010, m.Filed(product), "C:\\CAD2010")}));

    m.setup.SetInstallFolder("D:\\Tools");
    m.registry.writes.clear();
    EXPECT_TRUE(RegisterOnly(m.setup, 2010).empty());
    const std::string applications = kMachineRoot + "\\" + product + "\\Applications";
    EXPECT_EQ(TextValue(m.registry, applications + "\\VK_VidudOvev2010", "LOADER"), "D:\\Tools\\VK_VidudOvev2010.ARX");
    EXPECT_EQ(TextValue(m.registry, applications + "\\Velkor2010DLLP", "LOADER"), "C:\\CAD2010\\ACAD2010P.dll");
    // Nothing is written anywhere else, nothing failed.
    for (const MemoryRegistry::Write& write : m.registry.writes) {
      EXPECT_EQ(write.path.compare(0, applications.size() + 1, applications + "\\"), 0) << write.path;
      if (write.op != MemoryRegistry::Op::DeleteKey) {
        EXPECT_EQ(write.result, 0) << write.path;
      }
    }
    EXPECT_EQ(m.registry.SubKeyNames(kMachineRoot + "\\" + product), Names{"Applications"});
    EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  }
}

// ---- Endless and looping key trees ------------------------------------------

// The links the double makes, on which the loop cases stand.
TEST(MemoryRegistryLinks, ALinkOpensAsItsTargetAndListsUnderItsOwnName) {
  MemoryRegistry registry;
  platform::ScopedRegKey key(registry);
  ASSERT_EQ(registry.CreateKey(platform::kLocalMachine, "SOFTWARE\\Target\\Child", key.Receive()), 0);
  ASSERT_EQ(registry.CreateKey(platform::kLocalMachine, "SOFTWARE\\Target", key.Receive()), 0);
  const unsigned char data[] = "v";
  ASSERT_EQ(registry.SetValue(key.Get(), "Value", RegType::String, data, sizeof(data)), 0);
  key.Reset();
  registry.AddLink("HKEY_LOCAL_MACHINE\\SOFTWARE\\Link", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Target");
  EXPECT_EQ(registry.SubKeyNames("HKEY_LOCAL_MACHINE\\SOFTWARE"), (Names{"Link", "Target"}));

  ASSERT_EQ(registry.OpenKeyRead(platform::kLocalMachine, "SOFTWARE\\Link", key.Receive()), 0);
  unsigned char read[8] = {};
  unsigned long size = sizeof(read);
  EXPECT_EQ(registry.QueryValue(key.Get(), "Value", nullptr, read, &size), 0);
  EXPECT_EQ(size, sizeof(data));
  unsigned long count = 0;
  EXPECT_EQ(registry.QuerySubKeyCount(key.Get(), &count), 0);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(platform::SubKeyName(registry, key.Get(), 0), "Child");
  ASSERT_EQ(registry.OpenKeyRead(platform::kLocalMachine, "SOFTWARE\\Link\\Child", key.Receive()), 0);
  ASSERT_EQ(registry.CreateKey(platform::kLocalMachine, "SOFTWARE\\Link\\Made", key.Receive()), 0);
  key.Reset();
  EXPECT_TRUE(registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Target\\Made")) << "made in the target";

  // A link to nothing, and two links to each other, open nothing.
  registry.AddLink("HKEY_LOCAL_MACHINE\\SOFTWARE\\Dangling", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing");
  registry.AddLink("HKEY_LOCAL_MACHINE\\SOFTWARE\\Ping", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Pong");
  registry.AddLink("HKEY_LOCAL_MACHINE\\SOFTWARE\\Pong", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ping");
  for (const char* path : {"SOFTWARE\\Dangling", "SOFTWARE\\Ping", "SOFTWARE\\Ping\\x"}) {
    platform::RegKey untouched = 77;
    EXPECT_EQ(registry.OpenKeyRead(platform::kLocalMachine, path, &untouched), platform::RegResult::FileNotFound)
        << path;
    EXPECT_EQ(untouched, 77u);
    EXPECT_EQ(registry.CreateKey(platform::kLocalMachine, path, &untouched), platform::RegResult::FileNotFound)
        << path;
  }
  EXPECT_FALSE(registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing"));

  // Deleting the link leaves the target.
  EXPECT_EQ(registry.DeleteKey(platform::kLocalMachine, "SOFTWARE\\Link"), 0);
  EXPECT_TRUE(registry.GetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Target", "Value", nullptr, nullptr));
  EXPECT_THROW(registry.AddLink("HKEY_LOCAL_MACHINE\\SOFTWARE\\Target", "HKEY_LOCAL_MACHINE"),
               std::invalid_argument);
  EXPECT_THROW(registry.AddLink("HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\\SOFTWARE"), std::invalid_argument);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// "A\A\..." `levels` deep below `key`.
std::string Chain(const std::string& key, int levels) {
  std::string path = key;
  for (int level = 0; level < levels; ++level) path += "\\A";
  return path;
}

// 10,000 levels below a release key. The scan walks down to its limit and
// no further: a product at the deepest level it reaches is filed, one a
// level below is not, the rest of the tree is never opened.
TEST(KeyTrees, TenThousandLevelsAreWalkedToTheLimitOnly) {
  ScanMachine m;
  {
    platform::ScopedRegKey key(m.registry);
    ASSERT_EQ(m.registry.CreateKey(platform::kLocalMachine, Chain(kRoot + "\\R18.0", 10000).c_str(), key.Receive()),
              0);
  }
  const std::string reached = Chain("R18.0", kSearchDepth - 2) + "\\P";  // kSearchDepth - 1 below R18.0
  const std::string beyond = Chain("R18.0", kSearchDepth - 1) + "\\P";
  m.Product(reached, "C:\\Reached", "AutoCAD 2010");
  m.Product(beyond, "C:\\Beyond", "AutoCAD 2011");
  m.setup.ScanReleases();
  EXPECT_EQ(m.Catalogue(), (Names{m.Entry(2010, m.Filed(reached), "C:\\Reached")}));
  EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  // Each of the two searches opens the chain to the limit once.
  EXPECT_LT(m.registry.CallCount(MemoryRegistry::Op::OpenKeyRead), 4u * kSearchDepth);
}

// A release key that holds a link to itself: the tree is endless. The scan
// ends, and files the product everywhere the walk meets it within its
// depth limit: directly, and once through each number of turns of the loop.
TEST(KeyTrees, ALoopEndsAtTheDepthLimit) {
  ScanMachine m;
  m.Product("R18.0\\ACAD-8001:804", "C:\\CAD2010", "AutoCAD 2010");
  m.registry.AddLink(kMachineRoot + "\\R18.0\\Loop", kMachineRoot + "\\R18.0");
  m.setup.ScanReleases();
  Names expected;
  std::string turns;
  for (int depth = 1; depth < kSearchDepth; ++depth, turns += "Loop\\") {
    expected.push_back(m.Entry(2010, m.Filed("R18.0\\" + turns + "ACAD-8001:804"), "C:\\CAD2010"));
  }
  EXPECT_EQ(m.Catalogue(), expected);
  EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
}

// Every release key links back to the AutoCAD root: each level branches
// into every release again, so the depth limit alone would allow more walks
// than time. The scan ends all the same; each release's own product is
// filed, and nothing is filed under a year or a folder not its own.
TEST(KeyTrees, ATreeThatBranchesBackToTheRootEnds) {
  ScanMachine m;
  m.Product("R17.0\\ACAD-5001:804", "C:\\CAD2007", "AutoCAD 2007");
  m.Product("R18.0\\ACAD-8001:804", "C:\\CAD2010", "AutoCAD 2010");
  m.Product("R19.0\\ACAD-B001:804", "C:\\CAD2013", "AutoCAD 2013");
  for (const char* release : {"R17.0", "R18.0", "R19.0"}) {
    m.registry.AddLink(kMachineRoot + "\\" + release + "\\Up", kMachineRoot);
  }
  m.setup.ScanReleases();
  EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  EXPECT_LT(m.registry.CallCount(MemoryRegistry::Op::OpenKeyRead), 100000u) << "a bounded walk";
  const struct {
    int year;
    const char* product;
    const char* folder;
  } products[] = {{2007, "R17.0\\ACAD-5001:804", "C:\\CAD2007"},
                  {2010, "R18.0\\ACAD-8001:804", "C:\\CAD2010"},
                  {2013, "R19.0\\ACAD-B001:804", "C:\\CAD2013"}};
  std::size_t filed = 0;
  for (const auto& p : products) {
    SCOPED_TRACE(p.year);
    const CStringList& keys = m.setup.releaseKeys[p.year - kFirstYear];
    const CStringList& folders = m.setup.acadFolders[p.year - kFirstYear];
    EXPECT_NE(std::find(keys.begin(), keys.end(), m.Filed(p.product)), keys.end());
    ASSERT_EQ(keys.size(), folders.size());
    const std::string tail = std::string("\\") + p.product + "\\";
    for (std::size_t n = 0; n < keys.size(); ++n) {
      EXPECT_EQ(folders[n], p.folder);
      EXPECT_EQ(keys[n].compare(keys[n].size() - tail.size(), tail.size(), tail), 0) << keys[n];
    }
    filed += keys.size();
  }
  EXPECT_EQ(m.Catalogue().size(), filed) << "no other year";
}

// ---- A machine for the copy and the install steps -----------------------------

const char kAppData[] = "C:\\Users\\li\\AppData\\Roaming";

struct Machine {
  // The program at `program`, its package in the Data folder beside it;
  // APPDATA set unless told otherwise.
  explicit Machine(const std::string& program = "D:\\Pkg\\SetUp.exe", bool withAppData = true) {
    files.AddFile(program, "MZ");
    files.SetModulePath(program);
    package = program.substr(0, platform::ReverseFindChar(program, '\\')) + "\\Data";
    files.AddFolder(package);
    files.AddFolder("E:\\");
    files.AddFolder(kAppData);
    if (withAppData) files.SetEnvironment("APPDATA", kAppData);
  }

  void Package(const std::string& name, const std::string& content = "package") {
    files.AddFile(package + "\\" + name, content);
  }
  bool Copy(const std::string& target) {
    CPackageCopy copy(target, progress, files, owner);
    return copy.CopyDataFolder();
  }
  std::string Content(const std::string& path) const {
    std::string content;
    return files.ReadFile(path, &content) ? content : "<missing>";
  }
  // An installation of `year` in `folder` (which is made), under
  // `product` below the AutoCAD root (made too).
  void Acad(int year, const std::string& folder, const std::string& product = "R18.0\\ACAD-8001:804") {
    files.AddFolder(folder);
    platform::ScopedRegKey key(registry);
    EXPECT_EQ(registry.CreateKey(platform::kLocalMachine, (kRoot + "\\" + product).c_str(), key.Receive()), 0);
    setup.acadFolders[year - kFirstYear].push_back(folder);
    setup.releaseKeys[year - kFirstYear].push_back(kRoot + "\\" + product + "\\");
  }
  SetupProblems Support(int year) {
    int f[kReleaseCount] = {};
    f[year - kFirstYear] = 1;
    return setup.InstallSupportFiles(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11],
                                     f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19], f[20]);
  }
  std::string Loader(const std::string& entry, const std::string& product = "R18.0\\ACAD-8001:804") const {
    return TextValue(registry, kMachineRoot + "\\" + product + "\\Applications\\" + entry, "LOADER");
  }
  // Every file on the drives the cases use, with its full path.
  NameSet AllFiles() const {
    NameSet all;
    for (const char* drive : {"C:", "D:", "E:"}) Collect(drive, &all);
    return all;
  }
  void Collect(const std::string& folder, NameSet* all) const {
    if (!files.Exists(folder + "\\")) return;
    for (const std::string& name : files.Names(folder + "\\")) {
      const std::string path = folder + "\\" + name;
      std::string content;
      if (files.ReadFile(path, &content)) {
        all->insert(path);
      } else {
        Collect(path, all);
      }
    }
  }

  MemoryRegistry registry;
  MemoryFileSystem files;
  testing_support::ScriptedOwner owner;
  testing_support::CountingProgress progress;
  CAcadSetup setup{registry, files, owner};
  std::string package;
};

// ---- Paths at the 260-byte buffers ------------------------------------------
//
// Each bounded path is tried at 259 bytes, the longest that fits, which must
// work whole, and at 260 and 261, which must be told and never used cut; in
// each form (plain, ending in 乗, 乗 inside).

const std::size_t kLengths[] = {259, 260, 261};

// The program's own path: the system gives it whole up to 260 characters
// (the package is then found beside it) and not at all beyond, which the
// program tells as a missing package rather than look elsewhere.
TEST(PathBounds, TheProgramsOwnPath) {
  for (const Form& form : kForms) {
    for (const std::size_t length : kLengths) {
      SCOPED_TRACE(std::string(form.what) + " " + std::to_string(length));
      const std::string program = Folder("D:", length - 10, form) + "\\SetUp.exe";
      ASSERT_EQ(program.size(), length);
      Machine m(program);
      std::string found;
      const bool ok = FindPackageFolder(m.files, m.owner, found);
      if (length <= 260) {
        EXPECT_TRUE(ok);
        EXPECT_EQ(found, m.package);
        EXPECT_TRUE(m.owner.shown.empty());
      } else {
        EXPECT_FALSE(ok);
        ASSERT_EQ(m.owner.shown.size(), 1u);
        EXPECT_EQ(m.owner.shown[0].type, platform::kMbOk);
      }
    }
  }
}

// The package folder's listing pattern "Data\*.*", and a package file's
// source path, in the data copy.
TEST(PathBounds, ThePackageFolderInTheDataCopy) {
  for (const Form& form : kForms) {
    for (const std::size_t length : kLengths) {
      SCOPED_TRACE(std::string(form.what) + " " + std::to_string(length));
      // The listing pattern of `length`; "a.x" then has a source of
      // `length` too.
      Machine listed(Folder("D:", length - 9, form) + "\\S.exe");
      ASSERT_EQ(listed.package.size() + 4, length);
      listed.Package("a.x", "A");
      listed.owner.answers = {platform::kIdIgnore};
      EXPECT_TRUE(listed.Copy("E:\\T"));
      if (length == 259) {
        EXPECT_TRUE(listed.owner.shown.empty());
        EXPECT_EQ(listed.files.Names("E:\\T"), Names{"a.x"});
        EXPECT_EQ(listed.Content("E:\\T\\a.x"), "A");
      } else {
        ASSERT_EQ(listed.owner.shown.size(), 1u);
        EXPECT_EQ(listed.owner.shown[0].text, TooLongText(listed.package));
        EXPECT_EQ(listed.files.Names("E:\\T"), Names{});
      }

      // A package file's source path of `length`, beside a short one.
      Machine source(Folder("D:", 195, form) + "\\SetUp.exe");
      const std::string name = Sized("s", length - source.package.size() - 1, ".dll");
      source.Package(name, "S");
      source.Package("b.x", "B");
      source.owner.answers = {platform::kIdIgnore};
      EXPECT_TRUE(source.Copy("E:\\T"));
      const Names copied = source.files.Names("E:\\T");
      if (length == 259) {
        EXPECT_TRUE(source.owner.shown.empty());
        EXPECT_EQ(NameSet(copied.begin(), copied.end()), (NameSet{"b.x", name}));
        EXPECT_EQ(source.Content("E:\\T\\" + name), "S");
      } else {
        ASSERT_EQ(source.owner.shown.size(), 1u);
        EXPECT_EQ(source.owner.shown[0].text, TooLongText("E:\\T\\" + name));
        EXPECT_EQ(copied, Names{"b.x"});
      }
    }
  }
}

// A support file's source path in the package.
TEST(PathBounds, ThePackageFolderInTheSupportFiles) {
  for (const Form& form : kForms) {
    for (const std::size_t length : kLengths) {
      SCOPED_TRACE(std::string(form.what) + " " + std::to_string(length));
      Machine m(Folder("D:", length - 20, form) + "\\S.exe");
      const std::string source = m.package + "\\itextsharp.dll";
      ASSERT_EQ(source.size(), length);
      m.Package("itextsharp.dll", "pdf");
      m.Acad(2010, "C:\\CAD");
      const SetupProblems problems = m.Support(2010);
      if (length == 259) {
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(m.Content("C:\\CAD\\itextsharp.dll"), "pdf");
      } else {
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].kind, SetupProblem::TextTooLong);
        EXPECT_EQ(problems[0].year, 2010);
        EXPECT_EQ(problems[0].place, "C:\\CAD\\itextsharp.dll");
        EXPECT_EQ(problems[0].item, source);
        EXPECT_EQ(m.files.Names("C:\\CAD"), Names{});
      }
    }
  }
}

// The AutoCAD folder: a support file placed into it, and the managed DLL's
// loader path in its demand-load entry.
TEST(PathBounds, TheAutoCadFolder) {
  for (const Form& form : kForms) {
    for (const std::size_t length : kLengths) {
      SCOPED_TRACE(std::string(form.what) + " " + std::to_string(length));
      Machine placed;
      const std::string folder = Folder("C:", length - 15, form);
      placed.Package("itextsharp.dll", "pdf");
      placed.Acad(2010, folder);
      const SetupProblems problems = placed.Support(2010);
      const std::string destination = folder + "\\itextsharp.dll";
      ASSERT_EQ(destination.size(), length);
      if (length == 259) {
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(placed.Content(destination), "pdf");
      } else {
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].kind, SetupProblem::TextTooLong);
        EXPECT_EQ(problems[0].place, destination);
        EXPECT_EQ(placed.files.Names(folder), Names{}) << "nothing under a cut name";
      }

      Machine registered;
      const std::string dllFolder = Folder("C:", length - 14, form);
      registered.Acad(2010, dllFolder);
      registered.setup.SetInstallFolder("D:\\Tools");
      const SetupProblems entries = RegisterOnly(registered.setup, 2010);
      EXPECT_EQ(registered.Loader("VK_VidudOvev2010"), "D:\\Tools\\VK_VidudOvev2010.ARX");
      const std::string loader = dllFolder + "\\ACAD2010P.dll";
      ASSERT_EQ(loader.size(), length);
      if (length == 259) {
        EXPECT_TRUE(entries.empty());
        EXPECT_EQ(registered.Loader("Velkor2010DLLP"), loader);
      } else {
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].kind, SetupProblem::TextTooLong);
        EXPECT_EQ(entries[0].year, 2010);
        EXPECT_EQ(entries[0].item, "Applications\\Velkor2010DLLP");
        EXPECT_EQ(registered.registry.SubKeyNames(kMachineRoot + "\\R18.0\\ACAD-8001:804\\Applications"),
                  Names{"VK_VidudOvev2010"})
            << "no entry with a cut loader";
      }
    }
  }
}

// The install folder: a package file copied into it, and the module's
// loader path in the demand-load entry.
TEST(PathBounds, TheInstallFolder) {
  for (const Form& form : kForms) {
    for (const std::size_t length : kLengths) {
      SCOPED_TRACE(std::string(form.what) + " " + std::to_string(length));
      Machine copied;
      copied.Package("a.dll", "A");
      const std::string target = Folder("E:", length - 6, form);
      copied.owner.answers = {platform::kIdIgnore};
      EXPECT_TRUE(copied.Copy(target));
      const std::string destination = target + "\\a.dll";
      ASSERT_EQ(destination.size(), length);
      if (length == 259) {
        EXPECT_TRUE(copied.owner.shown.empty());
        EXPECT_EQ(copied.Content(destination), "A");
      } else {
        ASSERT_EQ(copied.owner.shown.size(), 1u);
        EXPECT_EQ(copied.owner.shown[0].text, TooLongText(destination));
        EXPECT_EQ(copied.files.Names(target), Names{}) << "nothing under a cut name";
      }

      Machine registered;
      registered.Acad(2010, "C:\\CAD");
      const std::string folder = Folder("E:", length - 21, form);
      registered.setup.SetInstallFolder(folder);
      const SetupProblems entries = RegisterOnly(registered.setup, 2010);
      EXPECT_EQ(registered.Loader("Velkor2010DLLP"), "C:\\CAD\\ACAD2010P.dll");
      const std::string loader = folder + "\\VK_VidudOvev2010.ARX";
      ASSERT_EQ(loader.size(), length);
      if (length == 259) {
        EXPECT_TRUE(entries.empty());
        EXPECT_EQ(registered.Loader("VK_VidudOvev2010"), loader);
      } else {
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].kind, SetupProblem::TextTooLong);
        EXPECT_EQ(entries[0].item, "Applications\\VK_VidudOvev2010");
        EXPECT_EQ(registered.registry.SubKeyNames(kMachineRoot + "\\R18.0\\ACAD-8001:804\\Applications"),
                  Names{"Velkor2010DLLP"})
            << "no entry with a cut loader";
      }
    }
  }
}

// The APPDATA folder: the settings file's destination, and APPDATA itself
// over 259 characters, when not even the settings folder fits.
TEST(PathBounds, TheSettingsFolder) {
  for (const Form& form : kForms) {
    for (const std::size_t length : kLengths) {
      SCOPED_TRACE(std::string(form.what) + " " + std::to_string(length));
      for (const std::size_t appDataLength : {length - 18, length}) {
        SCOPED_TRACE(appDataLength);
        Machine m;
        const std::string appData = Folder("C:", appDataLength, form);
        m.files.AddFolder(appData);
        m.files.SetEnvironment("APPDATA", appData);
        m.Package("Velkor.Ini", "[settings]");
        m.Package("a.dll", "A");
        m.owner.answers = {platform::kIdIgnore};
        const NameSet before = m.AllFiles();
        EXPECT_TRUE(m.Copy("E:\\T"));
        const std::string destination = appData + "\\Velkor\\Velkor.Ini";
        EXPECT_EQ(m.Content("E:\\T\\a.dll"), "A") << "the copy goes on";
        NameSet after = m.AllFiles();
        if (destination.size() == 259) {
          EXPECT_TRUE(m.owner.shown.empty());
          EXPECT_EQ(m.Content(destination), "[settings]");
          after.erase(destination);
        } else {
          ASSERT_EQ(m.owner.shown.size(), 1u);
          EXPECT_EQ(m.owner.shown[0].text, TooLongText(destination));
        }
        after.erase("E:\\T\\a.dll");
        EXPECT_EQ(after, before) << "nothing written under a cut name";
      }
    }
  }
}

// ---- Trail bytes 0x5C everywhere ----------------------------------------------

// A machine whose every path and the product key's name hold "乗", inside
// and at the end: the scan, the data copy, the support files and the
// demand-load entries put everything exactly where it belongs, and nothing
// anywhere else.
TEST(TrailBytes, EveryPathAndKeyNameKeepsItsCharacters) {
  const std::string t = kTrail;
  Machine m("D:\\" + t + "\\安装" + t + "\\" + t + ".exe");
  const std::string acad = "C:\\" + t + "\\CAD" + t;
  const std::string appData = "C:\\Users\\" + t;
  const std::string target = "E:\\" + t + "\\工具" + t;
  const std::string product = "R18.0\\ACAD-8001:" + t;
  m.files.AddFolder(appData);
  m.files.SetEnvironment("APPDATA", appData);
  m.files.AddFolder(acad + "\\Fonts");
  m.files.AddFolder("E:\\" + t);  // the install folder's parent
  for (const char* name : {"a.dll", "Velkor.Ini", "itextsharp.dll", "ACAD2010P.dll", "Velkor_EN.shx"}) {
    m.Package(name, name);
  }
  {
    platform::ScopedRegKey key(m.registry);
    ASSERT_EQ(m.registry.CreateKey(platform::kLocalMachine, (kRoot + "\\" + product).c_str(), key.Receive()), 0);
    const std::string location = acad + "\\" + kZero;
    const std::string productName = "AutoCAD 2010 " + t + kZero;
    ASSERT_EQ(m.registry.SetValue(key.Get(), "AcadLocation", RegType::String,
                                  reinterpret_cast<const unsigned char*>(location.data()),
                                  static_cast<unsigned long>(location.size())),
              0);
    ASSERT_EQ(m.registry.SetValue(key.Get(), "ProductName", RegType::String,
                                  reinterpret_cast<const unsigned char*>(productName.data()),
                                  static_cast<unsigned long>(productName.size())),
              0);
  }
  const NameSet before = m.AllFiles();

  m.setup.ScanReleases();
  ASSERT_EQ(m.setup.acadFolders[3], CStringList{acad});
  ASSERT_EQ(m.setup.releaseKeys[3], CStringList{kRoot + "\\" + product + "\\"});
  EXPECT_TRUE(m.Copy(target + "\\"));
  m.setup.SetInstallFolder(target + "\\");
  EXPECT_EQ(m.setup.installFolder, target);
  EXPECT_TRUE(m.Support(2010).empty());
  EXPECT_TRUE(RegisterOnly(m.setup, 2010).empty());

  EXPECT_TRUE(m.owner.shown.empty());
  NameSet expected = before;
  for (const char* name : {"a.dll", "itextsharp.dll", "ACAD2010P.dll"}) expected.insert(target + "\\" + name);
  expected.insert(appData + "\\Velkor\\Velkor.Ini");
  expected.insert(acad + "\\Fonts\\Velkor_EN.shx");
  expected.insert(acad + "\\itextsharp.dll");
  expected.insert(acad + "\\ACAD2010P.dll");
  EXPECT_EQ(m.AllFiles(), expected);
  EXPECT_EQ(m.Content(appData + "\\Velkor\\Velkor.Ini"), "Velkor.Ini");
  EXPECT_EQ(m.Content(acad + "\\Fonts\\Velkor_EN.shx"), "Velkor_EN.shx");

  EXPECT_EQ(m.Loader("VK_VidudOvev2010", product), target + "\\VK_VidudOvev2010.ARX");
  EXPECT_EQ(m.Loader("Velkor2010DLLP", product), acad + "\\ACAD2010P.dll");
  EXPECT_EQ(m.registry.SubKeyNames(kMachineRoot + "\\R18.0"), Names{"ACAD-8001:" + t});
  EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
  EXPECT_EQ(m.files.OpenFindCount(), 0u);
}

// ---- No APPDATA ---------------------------------------------------------------

// Without APPDATA the settings folder is unknown: the settings file is put
// nowhere (not on the current drive's root), the user is told so in the
// copy-failure box, Retry skips the file like Ignore, and the rest of the
// package is copied.
TEST(SettingsFolderUnknown, TheSettingsFileIsToldAndPutNowhere) {
  for (const int answer : {platform::kIdRetry, platform::kIdIgnore, platform::kIdAbort}) {
    for (const bool setEmpty : {false, true}) {
      SCOPED_TRACE(std::to_string(answer) + (setEmpty ? " set empty" : " unset"));
      Machine m("D:\\Pkg\\SetUp.exe", false);
      m.files.SetCurrentFolder("D:\\Pkg");
      if (setEmpty) m.files.SetEnvironment("APPDATA", "");
      m.Package("a.dll", "A");
      m.Package("Velkor.Ini", "[settings]");
      m.Package("z.dll", "Z");
      m.owner.answers = {answer, platform::kIdRetry, platform::kIdRetry};
      const NameSet before = m.AllFiles();
      EXPECT_EQ(m.Copy("E:\\T"), answer != platform::kIdAbort);
      ASSERT_EQ(m.owner.shown.size(), 1u) << "asked once";
      EXPECT_EQ(m.owner.shown[0].text, NoSettingsFolderText("%APPDATA%\\Velkor\\Velkor.Ini"));
      EXPECT_EQ(m.owner.shown[0].type, platform::kMbAbortRetryIgnore);
      NameSet after = m.AllFiles();
      after.erase("E:\\T\\a.dll");
      if (answer != platform::kIdAbort) {
        EXPECT_EQ(m.Content("E:\\T\\z.dll"), "Z");
        after.erase("E:\\T\\z.dll");
      }
      EXPECT_EQ(after, before) << "nothing else written";
      EXPECT_FALSE(m.files.Exists("D:\\Velkor"));
      EXPECT_FALSE(m.files.Exists("C:\\Velkor"));
      EXPECT_EQ(m.files.CallCount(MemoryFileSystem::Op::MakeFolder), 1u) << "only the target folder";
    }
  }
}

// ---- Another account than the desktop's ---------------------------------------
//
// "Run as administrator" on a standard account: the desktop user's folder
// is read from that user's hive, never from the running account's
// variables; a value that cannot be made that user's refuses the install.

const platform::Account kAdministrator{"S-1-5-21-1004336348-1177238915-682003330-500", "CAD-PC\\Administrator"};
const platform::Account kDesktopUser{testing_support::kDesktopUserSid, "CAD-PC\\bob"};
const std::string kUserShell = std::string(testing_support::kDesktopUserSid) +
                               "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kShell = std::string(testing_support::kDesktopUserSid) +
                           "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kProfileList = std::string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") +
                                 testing_support::kDesktopUserSid;

void SetText(MemoryRegistry& registry, platform::RegKey root, const std::string& path, const char* name,
             unsigned long type, const std::string& text) {
  if (type == RegType::None) return;
  platform::ScopedRegKey key(registry);
  ASSERT_EQ(registry.CreateKey(root, path.c_str(), key.Receive()), 0);
  ASSERT_EQ(registry.SetValue(key.Get(), name, type, reinterpret_cast<const unsigned char*>(text.c_str()),
                              static_cast<unsigned long>(text.size() + 1)),
            0);
}

TEST(DesktopUser, TheSettingsFolderIsTheDesktopUsersOrNone) {
  const unsigned long kNone = RegType::None, kSz = RegType::String, kExpand = RegType::ExpandString;
  const std::string bob = testing_support::kDesktopUserFolder;
  const struct {
    const char* what;
    unsigned long userShellType;
    std::string userShell;  // "User Shell Folders" AppData
    std::string shell;      // "Shell Folders" AppData (REG_SZ); empty: none
    unsigned long profileType;
    std::string profile;  // ProfileImagePath
    std::string expected;  // the folder; empty: refused
  } cases[] = {
      {"as the shell keeps it", kExpand, "%USERPROFILE%\\AppData\\Roaming", "", kExpand,
       "%SystemDrive%\\Users\\bob", bob},
      {"names in any case", kExpand, "%userprofile%\\AppData\\Roaming", "", kExpand,
       "%systemdrive%\\Users\\bob", bob},
      {"a plain profile path", kExpand, "%USERPROFILE%\\AppData\\Roaming", "", kSz, "C:\\Users\\bob", bob},
      {"redirected, plain", kSz, "D:\\Roaming\\bob\\", "", kNone, "", "D:\\Roaming\\bob"},
      {"a lone percent sign", kExpand, "D:\\100%\\bob", "", kNone, "", "D:\\100%\\bob"},
      // The running account's variables are never the desktop user's.
      {"the running account's HOMEDRIVE", kExpand, "%HOMEDRIVE%\\bob", bob, kNone, "", bob},
      {"the running account's APPDATA", kExpand, "%APPDATA%", "", kNone, "", ""},
      {"no profile path", kExpand, "%USERPROFILE%\\AppData\\Roaming", "", kNone, "", ""},
      {"a profile path by a user's variable", kExpand, "%USERPROFILE%\\AppData\\Roaming", "", kExpand,
       "%HOMEDRIVE%\\Users\\bob", ""},
      {"an unset machine variable", kExpand, "%ProgramData%\\bob", "", kNone, "", ""},
      // What the shell's value cannot give, its copy may.
      {"not text", RegType::Dword, "1234", bob, kNone, "", bob},
      {"a folder that is not there", kSz, "D:\\Gone", bob, kNone, "", bob},
      {"a folder that is not there, no copy", kSz, "D:\\Gone", "", kNone, "", ""},
      {"a file", kSz, "D:\\file", "", kNone, "", ""},
      {"relative", kSz, "AppData\\Roaming", "", kNone, "", ""},
      {"drive-relative", kSz, "C:AppData", "", kNone, "", ""},
      {"no value", kNone, "", "", kNone, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Machine m;
    m.files.AddFolder(bob);
    m.files.AddFolder("D:\\Roaming\\bob");
    m.files.AddFolder("D:\\100%\\bob");
    m.files.AddFile("D:\\file", "x");
    m.files.AddFolder("H:\\bob");
    m.files.SetEnvironment("SystemDrive", "C:");
    m.files.SetEnvironment("HOMEDRIVE", "H:");
    SetText(m.registry, platform::kUsers, kUserShell, "AppData", c.userShellType, c.userShell);
    if (!c.shell.empty()) SetText(m.registry, platform::kUsers, kShell, "AppData", kSz, c.shell);
    SetText(m.registry, platform::kLocalMachine, kProfileList, "ProfileImagePath", c.profileType, c.profile);
    platform::MemoryAccounts accounts;
    accounts.RunAsAdministrator(kAdministrator, kDesktopUser);
    m.registry.writes.clear();

    const UserChoice choice = m.setup.ChooseUserPlaces(accounts);
    EXPECT_EQ(choice.processAccount, "CAD-PC\\Administrator");
    EXPECT_EQ(choice.desktopAccount, "CAD-PC\\bob");
    if (c.expected.empty()) {
      EXPECT_EQ(choice.outcome, UserChoice::Unreachable);
      EXPECT_EQ(m.setup.userPlaces.root, platform::kCurrentUser) << "nothing of the other account kept";
      EXPECT_EQ(m.setup.userPlaces.appData, "");
    } else {
      EXPECT_EQ(choice.outcome, UserChoice::DesktopAccount);
      EXPECT_EQ(m.setup.userPlaces.appData, c.expected);
      EXPECT_EQ(m.setup.userPlaces.root, platform::kUsers);
      EXPECT_EQ(m.setup.userPlaces.hive, testing_support::kDesktopUserSid);
    }
    EXPECT_EQ(m.registry.OpenHandleCount(), 0u);
    EXPECT_TRUE(m.registry.writes.empty());
  }
}

// Whose places an install takes, by what the accounts say. Only a raised
// program on another account's desktop serves that account; an owner that
// cannot be read while raised refuses, since it may be another account.
TEST(DesktopUser, OnlyARaisedProgramOnAnotherAccountsDesktopServesThatAccount) {
  using platform::DesktopLookup;
  platform::Account sameInOtherCase = kAdministrator;
  sameInOtherCase.sid = platform::ToLower(sameInOtherCase.sid);
  const struct {
    const char* what;
    bool elevated;
    bool processReadable;
    DesktopLookup lookup;
    platform::Account desktop;
    bool hive;
    UserChoice::Outcome expected;
    bool system = false;  // a deployment tool's run as SYSTEM
  } cases[] = {
      {"raised, another desktop", true, true, DesktopLookup::Found, kDesktopUser, true, UserChoice::DesktopAccount},
      {"not raised (a deliberate run as)", false, true, DesktopLookup::Found, kDesktopUser, true,
       UserChoice::OwnAccount},
      {"raised, its own desktop", true, true, DesktopLookup::Found, sameInOtherCase, true, UserChoice::OwnAccount},
      {"raised, no desktop shell", true, true, DesktopLookup::NoShell, kDesktopUser, true, UserChoice::OwnAccount},
      {"raised, its own token unreadable", true, false, DesktopLookup::Found, kDesktopUser, true,
       UserChoice::OwnAccount},
      {"raised, the desktop's owner unreadable", true, true, DesktopLookup::Unreadable, kDesktopUser, true,
       UserChoice::Unreachable},
      {"raised, the desktop user's hive not loaded", true, true, DesktopLookup::Found, kDesktopUser, false,
       UserChoice::Unreachable},
      {"SYSTEM, nobody signed in", true, true, DesktopLookup::NoShell, kDesktopUser, true, UserChoice::NoUser, true},
      {"SYSTEM, a user signed in", true, true, DesktopLookup::Found, kDesktopUser, true, UserChoice::DesktopAccount,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Machine m;
    m.files.AddFolder(testing_support::kDesktopUserFolder);
    if (c.hive) {
      SetText(m.registry, platform::kUsers, kShell, "AppData", RegType::String, testing_support::kDesktopUserFolder);
    }
    // A third account signed in (a hot desk's other user), its classes
    // hive beside it, and a service's hive.
    const std::string carol = "S-1-5-21-1004336348-1177238915-682003330-1003";
    m.files.AddFolder("C:\\Users\\carol\\AppData\\Roaming");
    SetText(m.registry, platform::kUsers, carol + kShell.substr(kShell.find('\\')), "AppData", RegType::String,
            "C:\\Users\\carol\\AppData\\Roaming");
    SetText(m.registry, platform::kUsers, carol + "_Classes\\x", "y", RegType::String, "z");
    const std::string profiles = kProfileList.substr(0, kProfileList.size() - std::strlen(testing_support::kDesktopUserSid));
    SetText(m.registry, platform::kLocalMachine, profiles + carol, "ProfileImagePath", RegType::String,
            "C:\\Users\\carol");
    SetText(m.registry, platform::kLocalMachine, kProfileList, "ProfileImagePath", RegType::String, "C:\\Users\\bob");
    // A fourth, whose hive names a settings folder outside its profile (any
    // user may write their own hive): not served by a raised run.
    const std::string dave = "S-1-5-21-1004336348-1177238915-682003330-1004";
    SetText(m.registry, platform::kUsers, dave + kShell.substr(kShell.find('\\')), "AppData", RegType::String,
            "C:\\Users\\carol\\AppData\\Roaming");
    SetText(m.registry, platform::kLocalMachine, profiles + dave, "ProfileImagePath", RegType::String,
            "C:\\Users\\dave");
    SetText(m.registry, platform::kUsers, "S-1-5-19\\Environment", "TEMP", RegType::String, "C:\\Temp");
    platform::MemoryAccounts accounts;
    accounts.RunAsAdministrator(kAdministrator, c.desktop);
    accounts.elevated = c.elevated;
    accounts.processReadable = c.processReadable;
    accounts.desktopLookup = c.lookup;
    if (c.system) accounts.processUser = {platform::kSystemSid, "NT AUTHORITY\\SYSTEM"};
    // What an earlier press chose never lingers.
    m.setup.userPlaces.root = platform::kUsers;
    m.setup.userPlaces.hive = "S-1-5-21-1-2-3-4";
    m.setup.userPlaces.appData = "C:\\Elsewhere";

    m.setup.userPlaces.nobody = true;
    const UserChoice choice = m.setup.ChooseUserPlaces(accounts);
    EXPECT_EQ(choice.outcome, c.expected);
    EXPECT_EQ(m.setup.userPlaces.nobody, c.expected == UserChoice::NoUser);
    // Raised, every other account signed in is served too, in its own
    // places; the desktop user's hive is one of them when it is not the
    // main one.
    std::vector<std::string> others;
    if ((c.elevated || c.system) && c.expected != UserChoice::Unreachable) {
      if (c.hive && c.expected != UserChoice::DesktopAccount) others.push_back(testing_support::kDesktopUserSid);
      others.push_back(carol);
    }
    std::vector<std::string> served;
    for (const UserPlaces& other : m.setup.otherUsers) {
      served.push_back(other.hive);
      EXPECT_EQ(other.HiveName(), "HKEY_USERS\\" + other.hive);
      EXPECT_EQ(other.appData, other.hive == carol ? "C:\\Users\\carol\\AppData\\Roaming"
                                                   : testing_support::kDesktopUserFolder);
    }
    std::sort(served.begin(), served.end());
    std::sort(others.begin(), others.end());
    EXPECT_EQ(served, others);
    const bool desktop = c.expected == UserChoice::DesktopAccount;
    EXPECT_EQ(m.setup.userPlaces.HiveName(),
              desktop ? "HKEY_USERS\\" + std::string(testing_support::kDesktopUserSid) : "HKEY_CURRENT_USER");
    EXPECT_EQ(m.setup.userPlaces.AppDataFolder(m.files), desktop ? testing_support::kDesktopUserFolder : kAppData);
    if (c.expected == UserChoice::Unreachable) {
      EXPECT_EQ(choice.processAccount, "CAD-PC\\Administrator");
      EXPECT_EQ(choice.desktopAccount, c.lookup == DesktopLookup::Found ? "CAD-PC\\bob" : "");
    }
  }
}

// ---- The package's files ------------------------------------------------------

// Every file of a package of 150 is copied: none is left out while the
// install reports success. The progress bar steps once per listing entry.
TEST(BigPackage, EveryOneOf150FilesIsCopied) {
  Machine m;
  NameSet names;
  for (int i = 0; i < 150; ++i) {
    char name[16];
    std::snprintf(name, sizeof(name), "f%03d.dll", i);
    m.Package(name, name);
    names.insert(name);
  }
  EXPECT_TRUE(m.Copy("E:\\T"));
  const Names copied = m.files.Names("E:\\T");
  EXPECT_EQ(NameSet(copied.begin(), copied.end()), names);
  for (const std::string& name : names) EXPECT_EQ(m.Content("E:\\T\\" + name), name);
  EXPECT_EQ(m.progress.steps, 2 + 150 + 1) << "\".\", \"..\", the files and the listing's end";
  EXPECT_TRUE(m.owner.shown.empty());
  EXPECT_EQ(m.files.OpenFindCount(), 0u);
}

// ---- The install record --------------------------------------------------------

// A line's fields as the record writes them: each backslash doubled.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

// One journal line as the record writes it: the text, a tab, the mark
// (FNV-1a 64 of the line's UTF-8 bytes), the line break. Fields here are
// ASCII, so the code page's bytes are the UTF-8 ones.
std::string MarkedLine(const std::string& text) {
  char mark[17];
  std::snprintf(mark, sizeof(mark), "%016llx", static_cast<unsigned long long>(Fnv1a64(text)));
  return text + "\t" + mark + "\n";
}

const char kJournalHeader[] = "VidudOvev install record 2\n";
const std::string kGoodFile = Escaped("file\tD:\\T\\V-VidudOvev\\a.arx\t3\t0123456789abcdef");
const std::string kGoodMade = Escaped("made\tD:\\T");

// Lines that are marked and whole but hold what the record never writes.
struct BadRecordLine {
  const char* what;
  std::string line;  // backslashes escaped before it is written, unless `raw`
  bool raw = false;
};
const BadRecordLine kBadRecordLines[] = {
    {"a negative size", "file\tD:\\T\\a.arx\t-1\t0123456789abcdef"},
    {"a size with a plus sign", "file\tD:\\T\\a.arx\t+5\t0123456789abcdef"},
    {"a size with a leading space", "file\tD:\\T\\a.arx\t 5\t0123456789abcdef"},
    {"a size with a trailing space", "file\tD:\\T\\a.arx\t5 \t0123456789abcdef"},
    {"a size in hex", "file\tD:\\T\\a.arx\t0x10\t0123456789abcdef"},
    {"a size with a leading zero", "file\tD:\\T\\a.arx\t007\t0123456789abcdef"},
    {"a size past 64 bits", "file\tD:\\T\\a.arx\t18446744073709551616\t0123456789abcdef"},
    {"an empty size", "file\tD:\\T\\a.arx\t\t0123456789abcdef"},
    {"a hash of 15 digits", "file\tD:\\T\\a.arx\t3\t0123456789abcde"},
    {"a hash of 17 digits", "file\tD:\\T\\a.arx\t3\t0123456789abcdef0"},
    {"a signed hash", "file\tD:\\T\\a.arx\t3\t-00000000000001"},
    {"a signed hash of 16", "file\tD:\\T\\a.arx\t3\t-000000000000001"},
    {"a hash with a hex prefix", "file\tD:\\T\\a.arx\t3\t0x23456789abcdef"},
    {"a hash in upper case, not as written", "file\tD:\\T\\a.arx\t3\t0123456789ABCDEF"},
    {"a hash unknown beside a size", "file\tD:\\T\\a.arx\t3\tunknown"},
    {"an empty path", "file\t\t3\t0123456789abcdef"},
    {"a field too many", "file\tD:\\T\\a.arx\t3\t0123456789abcdef\tx"},
    {"a backup with a negative size", "backup\tC:\\A\\x.dll\tD:\\T\\backup\\1_x.dll\t-1\t0123456789abcdef"},
    {"a before type of -1", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tvalue\t-1\t00\t1\t1\tD:\\T"},
    {"a before type past 32 bits", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tvalue\t4294967296\t00\t1\t1\tD:\\T"},
    {"a before type with a space", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tvalue\t 1\t00\t1\t1\tD:\\T"},
    {"a written type in hex", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tabsent\t\t\t1\t0x1\tD:\\T"},
    {"a written type with a plus sign", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tabsent\t\t\t1\t+1\tD:\\T"},
    {"before data in odd hex", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tvalue\t1\t0\t1\t1\tD:\\T"},
    {"an absent before with data", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tabsent\t1\t00\t1\t1\tD:\\T"},
    {"a before that is neither", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tmaybe\t\t\t1\t1\tD:\\T"},
    {"a key that existed as 2", "trusted\tHKEY_USERS\\S-1-5-21-1\\P\\Variables\tabsent\t\t\t2\t1\tD:\\T"},
    {"an entry under another root", "entry\tHKU\tSoftware\\X"},
    {"an empty made folder", "made\t"},
    {"a created key without a path", "created\t"},
    {"an escape the writer never makes", "made\tD:\\\\q\\q", true},
    {"a backslash at the end of a field", "made\tD:\\", true},
};

// Each bad line is refused where a whole line stands: in the middle of a
// journal, and as its last line too (it is whole and marked, so no cut made
// it). Items already loaded stay as they were.
TEST(BadRecord, NumbersAndHashesAreReadOnlyAsWritten) {
  MemoryFileSystem files;
  for (const BadRecordLine& row : kBadRecordLines) {
    const std::string line = row.raw ? row.line : Escaped(row.line);
    CInstallRecord record(files);
    ASSERT_TRUE(record.Parse(kJournalHeader + MarkedLine(kGoodMade))) << row.what;
    EXPECT_FALSE(record.Parse(kJournalHeader + MarkedLine(kGoodFile) + MarkedLine(line) + MarkedLine(kGoodMade)))
        << row.what << " in the middle";
    EXPECT_FALSE(record.Parse(kJournalHeader + MarkedLine(kGoodFile) + MarkedLine(line))) << row.what << " last";
    EXPECT_FALSE(record.Parse("VidudOvev install record 1\n" + line + "\n")) << row.what << " in the first version";
    EXPECT_TRUE(record.files.empty()) << row.what;
    EXPECT_EQ(record.madeFolders, Names{"D:\\T"}) << row.what << ": the items loaded before stay";
  }
  // The good lines themselves are read.
  CInstallRecord record(files);
  ASSERT_TRUE(record.Parse(kJournalHeader + MarkedLine(kGoodFile) + MarkedLine(kGoodMade)));
  ASSERT_EQ(record.files.size(), 1u);
  EXPECT_EQ(record.files[0].size, "3");
  EXPECT_FALSE(record.TornTail());
}

// A journal cut by a power loss or a kill: the line the cut reached is
// dropped, however it was cut, and only that line; a line whose mark does
// not match is torn when it is the last and refuses the record anywhere
// else. The first version's records are read, a cut last line dropped.
TEST(BadRecord, ACutLosesAtMostTheLastItem) {
  MemoryFileSystem files;
  const std::string whole = kJournalHeader + MarkedLine(kGoodFile) + MarkedLine("made\tC:\\\\Velkor");
  struct Cut {
    const char* what;
    std::string text;
    bool accepted;
    bool torn;
    std::size_t files;
    Names made;
  };
  const std::string header = kJournalHeader;
  const std::string bad = MarkedLine(kGoodMade).replace(0, 4, "mAde");
  const Cut cuts[] = {
      {"whole", whole, true, false, 1, {"C:\\Velkor"}},
      {"cut in the last line's path", whole.substr(0, whole.size() - 26), true, true, 1, {}},
      {"cut before the last line break", whole.substr(0, whole.size() - 1), true, true, 1, {}},
      {"cut inside the last mark", whole.substr(0, whole.size() - 5), true, true, 1, {}},
      {"cut after a whole line", header + MarkedLine(kGoodFile), true, false, 1, {}},
      {"zeros after the cut", header + MarkedLine(kGoodFile) + std::string(40, '\0'), true, true, 1, {}},
      {"cut in the header", "VidudOvev inst", true, true, 0, {}},
      {"an empty file", "", true, false, 0, {}},
      {"a last line with a wrong mark", header + MarkedLine(kGoodFile) + bad, true, true, 1, {}},
      {"a wrong mark before the last line", header + bad + MarkedLine(kGoodFile), false, false, 0, {}},
      {"a wrong mark before a cut line", header + MarkedLine(kGoodFile) + bad + "made\tC:", false, false, 0, {}},
      {"a cut line in the middle", header + "made\tC:\\\\Vel\n" + MarkedLine(kGoodFile), false, false, 0, {}},
      {"another header", "VidudOvev install record 3\n", false, false, 0, {}},
      {"the first version, whole", "VidudOvev install record 1\nmade\tC:\\\\Velkor\n", true, false, 0, {"C:\\Velkor"}},
      {"the first version, cut in its last line", "VidudOvev install record 1\nmade\tC:\\\\Velkor\nmade\tC:\\\\Vel", true,
       true, 0, {"C:\\Velkor"}},
  };
  for (const Cut& cut : cuts) {
    CInstallRecord record(files);
    EXPECT_EQ(record.Parse(cut.text), cut.accepted) << cut.what;
    if (!cut.accepted) continue;
    EXPECT_EQ(record.TornTail(), cut.torn) << cut.what;
    EXPECT_EQ(record.madeFolders, cut.made) << cut.what;
    EXPECT_EQ(record.files.size(), cut.files) << cut.what;
  }
}

// A record of the first version, or one with a torn tail, is not appended
// to: the first item noted writes it whole in this version (through a file
// moved over it), keeping the first "before" of each profile, and later
// items append again.
TEST(BadRecord, AnOlderOrTornRecordIsWrittenWholeByTheFirstItem) {
  const std::string folder = "D:\\T\\V-VidudOvev";
  const std::string path = folder + "\\install_record.txt";
  const std::string profile = "HKEY_USERS\\\\S-1-5-21-1\\\\P\\\\Variables";
  const std::string trusted = "trusted\t" + profile + "\tvalue\t1\t633a5c7800\t1\t1\tC:\\\\X;D:\\\\T";
  struct Start {
    const char* what;
    std::string text;
  };
  const Start starts[] = {
      {"the first version", "VidudOvev install record 1\n" + trusted + "\n" + Escaped("made\tD:\\T") + "\n"},
      {"a torn tail", kJournalHeader + MarkedLine(trusted) + MarkedLine(Escaped("made\tD:\\T")) + "file\tD:"},
  };
  for (const Start& start : starts) {
    MemoryFileSystem files;
    files.AddFile(path, start.text);
    files.AddFile(folder + "\\a.arx", "abc");
    CInstallRecord record(files);
    record.Open(folder);
    EXPECT_FALSE(record.Failed()) << start.what;
    ASSERT_EQ(files.CallCount(MemoryFileSystem::Op::WriteBytes), 0u) << start.what << ": opening writes nothing";
    CInstallRecord::TrustedItem again;
    again.profile = "HKEY_USERS\\S-1-5-21-1\\P\\Variables";
    again.beforeAbsent = false;
    again.beforeType = 1;
    again.beforeData = "other";
    again.variablesExisted = true;
    again.writtenType = 1;
    again.written = "E:\\NEW;D:\\T";
    record.NoteTrustedPath(again);
    EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::WriteBytes), 1u) << start.what;
    EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::MoveReplacing), 1u) << start.what;
    EXPECT_FALSE(files.Exists(folder + "\\install_record.new")) << start.what;
    record.NoteFile(folder + "\\a.arx");
    EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::WriteBytes), 1u) << start.what << ": appended after";
    EXPECT_FALSE(record.Failed()) << start.what;

    std::string text;
    ASSERT_TRUE(files.ReadFile(path, &text));
    EXPECT_EQ(text.rfind(kJournalHeader, 0), 0u) << start.what;
    CInstallRecord loaded(files);
    ASSERT_TRUE(loaded.Parse(text)) << start.what;
    EXPECT_FALSE(loaded.TornTail()) << start.what;
    ASSERT_EQ(loaded.trusted.size(), 1u) << start.what;
    EXPECT_EQ(loaded.trusted[0].beforeData, std::string("c:\\x") + '\0') << start.what << ": the first before";
    EXPECT_EQ(loaded.trusted[0].written, "E:\\NEW;D:\\T") << start.what << ": the latest written";
    EXPECT_EQ(loaded.madeFolders, Names{"D:\\T"}) << start.what;
    ASSERT_EQ(loaded.files.size(), 1u) << start.what;
    EXPECT_EQ(loaded.files[0].size, "3") << start.what;
  }
}

// A journal of 3,000 files writes each item once: the bytes written are
// the record's own size, not 3,000 records of growing size, and a record
// opened again appends after it.
TEST(BadRecord, ThreeThousandFilesWriteTheRecordOnce) {
  MemoryFileSystem files;
  files.AddFolder("D:\\T\\V-VidudOvev");
  for (int i = 0; i < 3000; ++i) files.AddFile("D:\\T\\V-VidudOvev\\f" + std::to_string(i) + ".dll", "x");
  CInstallRecord record(files);
  record.Open("D:\\T\\V-VidudOvev");
  for (int i = 0; i < 3000; ++i) record.NoteFile("D:\\T\\V-VidudOvev\\f" + std::to_string(i) + ".dll");
  std::string text;
  ASSERT_TRUE(files.ReadFile("D:\\T\\V-VidudOvev\\install_record.txt", &text));
  EXPECT_FALSE(record.Failed());
  EXPECT_EQ(record.BytesWritten(), text.size());
  EXPECT_EQ(files.CallCount(MemoryFileSystem::Op::WriteBytes), 0u) << "appended, never rewritten";

  // Noting a file again appends its line; the load keeps one item for it.
  CInstallRecord again(files);
  again.Open("D:\\T\\V-VidudOvev");
  ASSERT_EQ(again.files.size(), 3000u);
  files.AddFile("D:\\T\\V-VidudOvev\\f7.dll", "changed");
  again.NoteFile("D:\\T\\V-VidudOvev\\f7.dll");
  EXPECT_EQ(again.BytesWritten(), MarkedLine(Escaped("file\tD:\\T\\V-VidudOvev\\f7.dll\t7\t") + again.files[7].hash).size());
  CInstallRecord third(files);
  third.Open("D:\\T\\V-VidudOvev");
  ASSERT_EQ(third.files.size(), 3000u);
  EXPECT_EQ(third.files[7].size, "7") << "the latest written counts";
}

// The excluded names in odd case are not copied into the install folder,
// and the fonts and the plotter driver still reach the AutoCAD folder from
// the names as the package spells them.
TEST(OddCaseNames, ExcludedFilesStayOutOfTheInstallFolderAndReachAutoCad) {
  Machine m;
  m.Package("setup.exe", "MZ");
  m.Package("VELKOR_en.SHX", "EN");
  m.Package("velkor_hz.Shx", "HZ");
  m.Package("VELKOR.PRT5", "driver");
  m.Package("a.dll", "A");
  m.Acad(2008, "C:\\CAD2008", "R17.1\\ACAD-6001:804");
  m.files.AddFolder("C:\\CAD2008\\Fonts");
  m.files.AddFile("C:\\CAD2008\\Drv\\pdfplot9.hdi", "autodesk");
  EXPECT_TRUE(m.Copy("E:\\T"));
  EXPECT_EQ(m.files.Names("E:\\T"), Names{"a.dll"});
  EXPECT_TRUE(m.Support(2008).empty());
  EXPECT_EQ(m.Content("C:\\CAD2008\\Fonts\\Velkor_EN.shx"), "EN");
  EXPECT_EQ(m.Content("C:\\CAD2008\\Fonts\\Velkor_HZ.shx"), "HZ");
  EXPECT_EQ(m.Content("C:\\CAD2008\\Drv\\pdfplot9.hdi"), "driver");
  EXPECT_TRUE(m.owner.shown.empty());
}


// ---- The command line -------------------------------------------------------

// The options in one line: the flags set, then each value.
std::string Summary(const SetupOptions& o) {
  std::string s;
  if (o.silent) s += "S ";
  if (o.uninstall) s += "U ";
  if (o.force) s += "F ";
  if (o.help) s += "? ";
  if (o.folderGiven) s += "D=" + o.folder + " ";
  if (o.allReleases) {
    s += "R=all";
  } else {
    s += "R=";
    for (std::size_t i = 0; i < o.years.size(); ++i) s += (i ? "," : "") + std::to_string(o.years[i]);
  }
  if (!o.logPath.empty()) s += " LOG=" + o.logPath;
  return s;
}

struct AcceptedLine {
  const char* line;
  std::string options;
};
const AcceptedLine kAccepted[] = {
    {"", "R=all"},
    {"/S", "S R=all"},
    {"/s /force", "S F R=all"},
    {"\t/S  \t /FORCE ", "S F R=all"},
    {"/D=D:\\Tools", "D=D:\\Tools R=all"},
    {"\"/D=C:\\Program Files\\X\"", "D=C:\\Program Files\\X R=all"},
    {"/D=\"C:\\Program Files\\X\" /S", "S D=C:\\Program Files\\X R=all"},
    // A backslash before the closing quote is part of the folder: the
    // quote still closes, and /S is a switch of its own.
    {"/D=\"D:\\Tools\\\" /S", "S D=D:\\Tools\\ R=all"},
    {"/d=D:\\乗 /S", "S D=D:\\乗 R=all"},
    {"/D=\"D:\\工具 乗\\\" /R=2010", "D=D:\\工具 乗\\ R=2010"},
    {"/R=2008,2010,2014", "R=2008,2010,2014"},
    {"/R=2014,2008,2014", "R=2008,2014"},
    {"/r=ALL", "R=all"},
    {"/R=2007,2027", "R=2007,2027"},
    {"/LOG=C:\\logs\\run.log", "R=all LOG=C:\\logs\\run.log"},
    {"/log=\"C:\\my logs\\乗.log\"", "R=all LOG=C:\\my logs\\乗.log"},
    {"/uninstall /S /LOG=x.log", "S U R=all LOG=x.log"},
    {"/UNINSTALL /force", "U F R=all"},
    {"/?", "? R=all"},
    // Given twice with the same value: tolerated.
    {"/S /S", "S R=all"},
    {"/D=D:\\Tools /d=d:\\TOOLS", "D=d:\\TOOLS R=all"},
    {"/R=2008,2010 /R=2010,2008", "R=2008,2010"},
};

TEST(CommandLine, EverySwitchIsReadInAnyCaseAndQuoting) {
  testing_support::ScopedCodePage page(platform::CodePageId::Chinese);
  for (const AcceptedLine& row : kAccepted) {
    SetupOptions options;
    CommandLineError error;
    EXPECT_TRUE(ParseCommandLine(row.line, &options, &error)) << row.line << ": " << error.name;
    EXPECT_EQ(Summary(options), row.options) << row.line;
    EXPECT_EQ(error.kind, CommandLineError::None) << row.line;
  }
}

TEST(CommandLine, TheProgramsNameIsSkippedAsWindowsReadsIt) {
  testing_support::ScopedCodePage page(platform::CodePageId::Chinese);
  const struct {
    const char* line;
    const char* arguments;
  } rows[] = {
      {"\"C:\\Program Files\\pkg\\SetUp.exe\" /S /D=D:\\Tools", "/S /D=D:\\Tools"},
      {"C:\\pkg\\SetUp.exe   /S", "/S"},
      {"\"C:\\乗\\SetUp.exe\"/S", "/S"},
      {"SetUp.exe", ""},
      {"\"C:\\pkg\\SetUp.exe\"", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SkipProgramName(row.line), row.arguments) << row.line;
    SetupOptions options;
    EXPECT_TRUE(ParseProgramCommandLine(row.line, &options, nullptr)) << row.line;
  }
  SetupOptions options;
  ASSERT_TRUE(ParseProgramCommandLine("\"C:\\Program Files\\pkg\\SetUp.exe\" /S /D=D:\\Tools", &options, nullptr));
  EXPECT_EQ(Summary(options), "S D=D:\\Tools R=all");
}

struct RefusedLine {
  const char* line;
  CommandLineError::Kind kind;
  const char* name;
  const char* argument;
};
const RefusedLine kRefused[] = {
    {"/X", CommandLineError::UnknownSwitch, "/X", "/X"},
    {"S", CommandLineError::UnknownSwitch, "S", "S"},
    {"-S", CommandLineError::UnknownSwitch, "-S", "-S"},
    {"/Silent", CommandLineError::UnknownSwitch, "/Silent", "/Silent"},
    {"/S \"\"", CommandLineError::UnknownSwitch, "", ""},
    {"/S /Q=1", CommandLineError::UnknownSwitch, "/Q", "/Q=1"},
    {"/D", CommandLineError::MissingValue, "/D", "/D"},
    {"/D=", CommandLineError::MissingValue, "/D", "/D="},
    {"/D=\"\"", CommandLineError::MissingValue, "/D", "/D="},
    {"/LOG=", CommandLineError::MissingValue, "/LOG", "/LOG="},
    {"/r", CommandLineError::MissingValue, "/R", "/r"},
    {"/S=1", CommandLineError::UnexpectedValue, "/S", "/S=1"},
    {"/FORCE=yes", CommandLineError::UnexpectedValue, "/FORCE", "/FORCE=yes"},
    {"/uninstall=", CommandLineError::UnexpectedValue, "/uninstall", "/uninstall="},
    {"/R=20x0", CommandLineError::BadValue, "/R", "/R=20x0"},
    {"/R=2008,,2010", CommandLineError::BadValue, "/R", "/R=2008,,2010"},
    {"/R=2008,", CommandLineError::BadValue, "/R", "/R=2008,"},
    {"/R=all,2008", CommandLineError::BadValue, "/R", "/R=all,2008"},
    {"\"/R=2008, 2010\"", CommandLineError::BadValue, "/R", "/R=2008, 2010"},
    {"/R=2006", CommandLineError::YearOutOfRange, "/R", "/R=2006"},
    {"/R=2010,2028", CommandLineError::YearOutOfRange, "/R", "/R=2010,2028"},
    {"/R=99999999999", CommandLineError::YearOutOfRange, "/R", "/R=99999999999"},
    {"/D=C:\\A /D=C:\\B", CommandLineError::GivenTwice, "/D", "/D=C:\\B"},
    {"/R=2008 /R=2010", CommandLineError::GivenTwice, "/R", "/R=2010"},
    {"/R=all /R=2010", CommandLineError::GivenTwice, "/R", "/R=2010"},
    {"/LOG=a.log /LOG=b.log", CommandLineError::GivenTwice, "/LOG", "/LOG=b.log"},
    {"/uninstall /D=C:\\A", CommandLineError::NotWithUninstall, "/D", "/D=C:\\A"},
    {"/d=\"D:\\Tools /S", CommandLineError::OpenQuote, "/D", "/d=D:\\Tools /S"},
    {"/S \"/X", CommandLineError::OpenQuote, "/X", "/X"},
    {"/R=2010 /uninstall /S", CommandLineError::NotWithUninstall, "/R", "/R=2010"},
};

TEST(CommandLine, EachBadSwitchIsRefusedByName) {
  testing_support::ScopedCodePage page(platform::CodePageId::Chinese);
  for (const RefusedLine& row : kRefused) {
    SetupOptions options;
    options.folder = "untouched";
    CommandLineError error;
    EXPECT_FALSE(ParseCommandLine(row.line, &options, &error)) << row.line;
    EXPECT_EQ(error.kind, row.kind) << row.line;
    EXPECT_EQ(error.name, row.name) << row.line;
    EXPECT_EQ(error.argument, row.argument) << row.line;
    EXPECT_EQ(options.folder, "untouched") << row.line;
    EXPECT_FALSE(options.silent) << row.line;
    // The message names the word as given, in both languages.
    const std::string text = platform::PlainMessageText(DescribeCommandLineError(error));
    EXPECT_NE(text.find("命令行参数错误：" + std::string(row.argument)), std::string::npos) << text;
    EXPECT_NE(text.find("Bad command line: " + std::string(row.argument)), std::string::npos) << text;
  }
}

// The usage text lists every switch and every exit code with its number,
// the years the edition serves, and all of it is CP936.
TEST(CommandLine, TheUsageTextListsTheSwitchesAndTheExitCodes) {
  for (const int bits : {32, 64}) {
    const std::string text = UsageText(bits);
    for (const char* name : {"/S", "/D=", "/R=", "/LOG=", "/uninstall", "/FORCE", "/?"})
      EXPECT_NE(text.find(name), std::string::npos) << name;
    for (const SetupExit::Meaning& meaning : SetupExit::kMeanings) {
      const std::string code = std::to_string(meaning.code);
      EXPECT_NE(text.find(" " + code + "  " + meaning.chinese + "\r\n      " + meaning.english + "\r\n"),
                std::string::npos)
          << code;
    }
    EXPECT_NE(text.find(bits == 32 ? "2007..2016" : "2007..2027"), std::string::npos) << bits;
    EXPECT_NE(text.find("this " + std::to_string(bits) + "-bit edition"), std::string::npos);
    std::string utf8;
    EXPECT_TRUE(platform::ToUtf8(platform::CodePageId::Chinese, text, &utf8));
    EXPECT_NE(utf8.find(u8"静默运行"), std::string::npos);
  }
}

}  // namespace

namespace {

// Hostile folder names in the cleanup command that ends an uninstall: a
// "%OS%" that cmd would expand inside quotes, "!PATH!" for delayed
// expansion, "&" and "^" that would end or escape a command, and folder
// lists too long for one command. The command keeps its fixed words, its
// paths reach cmd as values only, and the whole fits the limit.
TEST(BadInputCleanup, HostileFolderNamesStayValues) {
  struct Row {
    const char* what;
    std::string path;
    std::size_t folders;  // this many copies of `path` (numbered) to remove
  };
  const Row rows[] = {
      {"a variable name", "C:\\t\\a%OS%b\\V-VidudOvev\\Uninstall.exe", 1},
      {"delayed expansion", "C:\\t\\a!PATH!b\\Uninstall.exe", 1},
      {"command separators", "C:\\a & calc & b\\x^\"y\\Uninstall.exe", 1},
      {"a long path and many folders", "C:\\" + std::string(250, 'x') + "\\Uninstall.exe", 60},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::string> folders;
    for (std::size_t k = 0; k < row.folders; ++k) folders.push_back(row.path + std::to_string(k));
    const CleanupLaunch launch = CleanupCommand("C:\\Windows\\System32", row.path, row.path + ".copy", folders);
    EXPECT_EQ(testing_support::CleanupCommandFault(launch), "") << launch.commandLine;
    EXPECT_EQ(launch.commandLine.find(row.path), std::string::npos) << "no path in the command itself";
    EXPECT_LE(ExpandedLength(launch.commandLine, launch.places.environment), kCommandProcessorLimit);
    // What cmd reads, values put in once: the path whole, "%OS%" included.
    platform::MemoryLauncher launcher;
    ASSERT_TRUE(launcher.StartIn(launch.commandLine, launch.places, nullptr));
    const std::string read = launcher.Expanded(0);
    EXPECT_NE(read.find("(del /f /q \"" + row.path + "\" >nul 2>&1)"), std::string::npos) << read;
    EXPECT_NE(read.find("\"C:\\Windows\\System32\\ping.exe\" -n 3"), std::string::npos) << read;
    if (row.folders == 1) {
      EXPECT_NE(read.find("(rd \"" + folders[0] + "\" >nul 2>&1)"), std::string::npos) << read;
      EXPECT_NE(read.find("(del /f /q \"" + row.path + ".copy\" >nul 2>&1)"), std::string::npos) << read;
    } else {
      // Not all fit: the first ones, in order; the wait is still tried
      // again and again.
      std::size_t pauses = 0;
      for (std::size_t at = read.find("ping.exe"); at != std::string::npos; at = read.find("ping.exe", at + 1)) ++pauses;
      EXPECT_GE(pauses, 3u) << read;
      EXPECT_NE(read.find("(rd \"" + folders[0] + "\""), std::string::npos) << read;
      EXPECT_EQ(read.find("(rd \"" + folders.back() + "\""), std::string::npos) << read;
    }
  }
}

}  // namespace
