// One set of cases for every file-system implementation: the in-memory
// double everywhere, the Win32 file system under Wine against real files in
// the prefix. Where they differ, the double is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "platform/files.h"
#include "platform/memory/memory_files.h"
#include "tests/support/fixtures.h"
#include "tests/support/real_files.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#endif

using namespace platform;

namespace {

// What a case needs beyond the FileSystem itself: a scratch folder, and
// ways to set up files that the family has no operations for.
class FilesWorld {
 public:
  virtual ~FilesWorld() = default;
  virtual FileSystem& Files() = 0;
  // An empty folder, for this case alone.
  virtual std::string Root() = 0;
  virtual void PutFile(const std::string& path, const std::string& content) = 0;
  // "<missing>" when the file cannot be read.
  virtual std::string Content(const std::string& path) = 0;
  virtual void PutStream(const std::string& file, const std::string& stream, const std::string& content) = 0;
  // As another process would: open, without sharing, until Release.
  virtual void HoldOpen(const std::string& path) = 0;
  virtual void Release(const std::string& path) = 0;
  virtual void SetVariable(const std::string& name, const std::string& value) = 0;
  // Makes (true) or deletes (false) the file "한.dll" in `folder`, a name
  // code page 936 cannot carry, as a Korean program would write it.
  virtual void ForeignFile(const std::string& folder, bool make) = 0;
  // Sets `name` to a folder whose name code page 936 cannot carry.
  virtual void ForeignVariable(const std::string& name) = 0;
  // Makes the existing folder `folder` a junction (to itself); false where
  // the world cannot make one.
  virtual bool MakeJunction(const std::string& folder) = 0;
  // Whether the file system keeps the access list `folder` was made with
  // (NTFS does; FAT does not, nor Wine on a Unix file system without
  // extended attributes).
  virtual bool KeepsAccessLists(const std::string& /*folder*/) { return true; }
  // Real files under Wine, which differs from Windows in places.
  virtual bool IsWine() { return false; }
};

class MemoryWorld : public FilesWorld {
 public:
  MemoryWorld() {
    files_.AddFolder("C:\\Scratch");
    files_.AddFile("C:\\Program Files\\Tests\\contract_tests.exe", "MZ");
    files_.SetModulePath("C:\\Program Files\\Tests\\contract_tests.exe");
  }
  FileSystem& Files() override { return files_; }
  std::string Root() override { return "C:\\Scratch"; }
  void PutFile(const std::string& path, const std::string& content) override { files_.AddFile(path, content); }
  std::string Content(const std::string& path) override {
    std::string content;
    return files_.ReadFile(path, &content) ? content : "<missing>";
  }
  void PutStream(const std::string& file, const std::string& stream, const std::string& content) override {
    files_.AddStream(file, stream, content);
  }
  void HoldOpen(const std::string& path) override { files_.HoldOpen(path); }
  void Release(const std::string& path) override { files_.Release(path); }
  void SetVariable(const std::string& name, const std::string& value) override {
    files_.SetEnvironment(name, value);
  }
  void ForeignVariable(const std::string& name) override {
    testing_support::ScopedCodePage page(CodePageId::Utf8);
    files_.SetEnvironment(name, "C:\\\xED\x95\x9C");
  }
  bool MakeJunction(const std::string& folder) override {
    files_.MarkReparsePoint(folder);
    return true;
  }
  void ForeignFile(const std::string& folder, bool make) override {
    // The double keeps the name as written under UTF-8.
    testing_support::ScopedCodePage page(CodePageId::Utf8);
    if (make) {
      files_.AddFile(folder + "\\\xED\x95\x9C.dll", "k");
    } else {
      EXPECT_TRUE(files_.Remove(folder + "\\\xED\x95\x9C.dll"));
    }
  }

 private:
  MemoryFileSystem files_;
};

#ifdef _WIN32
class Win32World : public FilesWorld {
 public:
  Win32World() : sandbox_("files-contract") {}
  FileSystem& Files() override { return SystemFileSystem(); }
  std::string Root() override { return sandbox_.Path(); }
  void PutFile(const std::string& path, const std::string& content) override {
    ASSERT_TRUE(testing_support::WriteRealFile(path, content)) << path;
  }
  std::string Content(const std::string& path) override {
    std::string content;
    return testing_support::ReadRealFile(path, &content) ? content : "<missing>";
  }
  void PutStream(const std::string& file, const std::string& stream, const std::string& content) override {
    ASSERT_TRUE(testing_support::WriteRealFile(file + ":" + stream, content)) << file;
  }
  void HoldOpen(const std::string& path) override {
    auto standIn = std::make_unique<testing_support::AcadStandIn>(path);
    ASSERT_TRUE(standIn->Running()) << "the stand-in could not hold " << path;
    holders_[path] = std::move(standIn);
  }
  void Release(const std::string& path) override { holders_.erase(path); }
  void SetVariable(const std::string& name, const std::string& value) override {
    testing_support::SetRealEnvironment(name, value);
  }
  void ForeignVariable(const std::string& name) override {
    std::vector<wchar_t> wide(name.begin(), name.end());  // an ASCII name
    wide.push_back(L'\0');
    ASSERT_TRUE(SetEnvironmentVariableW(wide.data(), L"C:\\\uD55C"));
  }
  // Wine 8 makes no junctions (FSCTL_SET_REPARSE_POINT is not there).
  bool MakeJunction(const std::string&) override { return false; }
  void ForeignFile(const std::string& folder, bool make) override {
    std::vector<wchar_t> path(folder.begin(), folder.end());  // an ASCII folder
    for (const wchar_t c : std::wstring(L"\\\uD55C.dll")) path.push_back(c);
    path.push_back(L'\0');
    if (make) {
      const HANDLE file = CreateFileW(path.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      CloseHandle(file);
    } else {
      EXPECT_TRUE(DeleteFileW(path.data()));
    }
  }
  bool IsWine() override { return testing_support::RunningUnderWine(); }
  bool KeepsAccessLists(const std::string& folder) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<char> name(folder.begin(), folder.end());
    name.push_back('\0');
    if (GetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
      return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool kept = GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
    LocalFree(descriptor);
    return kept;
  }

 private:
  testing_support::RealSandbox sandbox_;
  std::map<std::string, std::unique_ptr<testing_support::AcadStandIn>> holders_;
};
#endif

struct World {
  const char* name;
  std::function<std::unique_ptr<FilesWorld>()> make;
};

std::vector<World> Worlds() {
  std::vector<World> worlds;
  worlds.push_back({"Memory", [] { return std::unique_ptr<FilesWorld>(new MemoryWorld()); }});
#ifdef _WIN32
  worlds.push_back({"Win32", [] { return std::unique_ptr<FilesWorld>(new Win32World()); }});
#endif
  return worlds;
}

class FilesContract : public ::testing::TestWithParam<World> {
 protected:
  void SetUp() override {
    world_ = GetParam().make();
    root_ = world_->Root();
  }
  void TearDown() override { world_.reset(); }

  FileSystem& fs() { return world_->Files(); }
  FilesWorld& world() { return *world_; }
  std::string At(const std::string& relative) { return root_ + "\\" + relative; }

  struct Listing {
    std::vector<FindEntry> entries;
    bool started = false;
  };
  Listing List(const std::string& pattern) {
    Listing listing;
    FindEntry entry;
    const ScopedFind find(fs(), fs().FindFirst(pattern, &entry));
    if (!find.Valid()) return listing;
    listing.started = true;
    do listing.entries.push_back(entry);
    while (fs().FindNext(find.Get(), &entry));
    EXPECT_EQ(fs().LastError(), FileError::NoMoreFiles);
    return listing;
  }
  std::set<std::string> Names(const Listing& listing) {
    std::set<std::string> names;
    for (const FindEntry& entry : listing.entries) {
      if (entry.name != "." && entry.name != "..") names.insert(entry.name);
    }
    return names;
  }
  unsigned long Attributes(const std::string& path) { return fs().GetAttributes(path); }
  bool IsReadOnly(const std::string& path) { return (Attributes(path) & kAttrReadOnly) != 0; }
  void MakeReadOnly(const std::string& path) {
    ASSERT_TRUE(fs().SetAttributes(path, Attributes(path) | kAttrReadOnly)) << path;
  }
  void ClearReadOnlyBit(const std::string& path) { fs().SetAttributes(path, Attributes(path) & ~kAttrReadOnly); }

  std::string root_;

 private:
  std::unique_ptr<FilesWorld> world_;
};

TEST_P(FilesContract, ListingGivesDotEntriesFirstThenEveryEntryOnce) {
  ASSERT_TRUE(fs().MakeFolder(At("pkg")));
  world().PutFile(At("pkg\\a.dll"), "a");
  world().PutFile(At("pkg\\B.arx"), "b");
  world().PutFile(At("pkg\\README"), "r");
  ASSERT_TRUE(fs().MakeFolder(At("pkg\\x.y")));

  const Listing listing = List(At("pkg\\*.*"));
  ASSERT_TRUE(listing.started);
  ASSERT_EQ(listing.entries.size(), 6u);
  EXPECT_EQ(listing.entries[0].name, ".");
  EXPECT_EQ(listing.entries[1].name, "..");
  EXPECT_TRUE(listing.entries[0].attributes & kAttrDirectory);
  // "*.*" matches dotless names too; names keep their case.
  EXPECT_EQ(Names(listing), (std::set<std::string>{"a.dll", "B.arx", "README", "x.y"}));
  for (const FindEntry& entry : listing.entries) {
    EXPECT_EQ((entry.attributes & kAttrDirectory) != 0, entry.name == "." || entry.name == ".." || entry.name == "x.y")
        << entry.name;
  }

  // An empty folder lists its two dot entries alone.
  const Listing empty = List(At("pkg\\x.y\\*.*"));
  ASSERT_EQ(empty.entries.size(), 2u);
  EXPECT_EQ(Names(empty), std::set<std::string>{});

  FindEntry entry;
  EXPECT_EQ(fs().FindFirst(At("missing\\*.*"), &entry), kNoFind);
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
}

// A name the code page cannot carry is listed as the narrow call gives it,
// '?' for the character it lacks, and told: it names no file.
TEST_P(FilesContract, ANameTheCodePageCannotCarryIsTold) {
  ASSERT_EQ(CurrentCodePage(), CodePageId::Chinese);
  ASSERT_TRUE(fs().MakeFolder(At("pkg")));
  world().PutFile(At("pkg\\a.dll"), "a");
  world().PutFile(At("pkg\\\xC8\xED.dll"), "b");  // "软", which 936 carries
  world().ForeignFile(At("pkg"), true);
  const Listing listing = List(At("pkg\\*.*"));
  std::map<std::string, long> errors;
  for (const FindEntry& entry : listing.entries) errors[entry.name] = entry.nameError;
  EXPECT_EQ(errors, (std::map<std::string, long>{
                        {".", 0}, {"..", 0}, {"a.dll", 0}, {"\xC8\xED.dll", 0}, {"?.dll", FileError::NoUnicodeTranslation}}));
  EXPECT_EQ(Attributes(At("pkg\\?.dll")), kInvalidAttributes) << "the narrow name names no file";
  world().ForeignFile(At("pkg"), false);
}

TEST_P(FilesContract, FindingAPathFindsThatEntryAlone) {
  ASSERT_TRUE(fs().MakeFolder(At("Data")));
  world().PutFile(At("VK_VidudOvev2010.arx"), "arx");

  FindEntry entry;
  FindHandle find = fs().FindFirst(At("Data"), &entry);
  ASSERT_NE(find, kNoFind);
  EXPECT_EQ(entry.name, "Data");
  EXPECT_TRUE(entry.attributes & kAttrDirectory);
  EXPECT_FALSE(fs().FindNext(find, &entry));
  fs().FindEnd(find);

  find = fs().FindFirst(At("vk_vidudovev2010.ARX"), &entry);
  ASSERT_NE(find, kNoFind);
  EXPECT_EQ(entry.name, "VK_VidudOvev2010.arx");
  EXPECT_FALSE(entry.attributes & kAttrDirectory);
  fs().FindEnd(find);

  EXPECT_EQ(fs().FindFirst(At("Nothing"), &entry), kNoFind);
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  // A trailing backslash names no entry, not even an existing folder.
  EXPECT_EQ(fs().FindFirst(At("Data\\"), &entry), kNoFind);
}

TEST_P(FilesContract, NamesIgnoreCaseAndKeepIt) {
  world().PutFile(At("a.dll"), "old");
  world().PutFile(At("new.dll"), "new");
  EXPECT_NE(Attributes(At("A.DLL")), kInvalidAttributes);
  ASSERT_TRUE(fs().Copy(At("NEW.DLL"), At("A.Dll"), false)) << fs().LastError();
  EXPECT_EQ(world().Content(At("a.dll")), "new");
  // Overwriting keeps the name the file had.
  EXPECT_EQ(Names(List(At("*.*"))), (std::set<std::string>{"a.dll", "new.dll"}));
}

TEST_P(FilesContract, CopyOverwritesAndCarriesAttributes) {
  world().PutFile(At("source.arx"), "module");
  world().PutFile(At("target.arx"), "older module");
  MakeReadOnly(At("source.arx"));

  ASSERT_TRUE(fs().Copy(At("source.arx"), At("fresh.arx"), false)) << fs().LastError();
  EXPECT_EQ(world().Content(At("fresh.arx")), "module");
  EXPECT_TRUE(IsReadOnly(At("fresh.arx"))) << "the copy takes the source's read-only bit";

  ASSERT_TRUE(fs().Copy(At("source.arx"), At("target.arx"), false)) << fs().LastError();
  EXPECT_EQ(world().Content(At("target.arx")), "module");
  // Windows gives an overwritten file the source's attributes too; Wine
  // keeps the old file's, so only the double and Windows are held to it.
  if (!world().IsWine()) {
    EXPECT_TRUE(IsReadOnly(At("target.arx")));
  }

  // Fail-if-exists leaves the existing file alone.
  world().PutFile(At("other.arx"), "other");
  EXPECT_FALSE(fs().Copy(At("other.arx"), At("Fresh.arx"), true));
  EXPECT_EQ(fs().LastError(), FileError::FileExists);
  EXPECT_EQ(world().Content(At("fresh.arx")), "module");

  for (const char* name : {"source.arx", "target.arx", "fresh.arx"}) ClearReadOnlyBit(At(name));
}

TEST_P(FilesContract, CopyFailuresGiveTheWindowsErrors) {
  world().PutFile(At("a.dll"), "a");
  ASSERT_TRUE(fs().MakeFolder(At("sub")));
  const struct {
    const char* from;
    const char* to;
    long error;
  } cases[] = {
      {"missing.dll", "b.dll", FileError::FileNotFound},
      {"gone\\missing.dll", "b.dll", FileError::PathNotFound},
      {"a.dll", "gone\\a.dll", FileError::PathNotFound},  // no folder is made
      {"a.dll", "sub", FileError::AccessDenied},          // onto a folder
      {"sub", "b.dll", FileError::AccessDenied},          // from a folder
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(fs().Copy(At(c.from), At(c.to), false)) << c.from << " -> " << c.to;
    EXPECT_EQ(fs().LastError(), c.error) << c.from << " -> " << c.to;
  }
  EXPECT_EQ(Attributes(At("gone")), kInvalidAttributes);
  EXPECT_EQ(Names(List(At("*.*"))), (std::set<std::string>{"a.dll", "sub"}));
}

TEST_P(FilesContract, CopyOntoAReadOnlyFileFails) {
  world().PutFile(At("new.dll"), "new");
  world().PutFile(At("locked.dll"), "old");
  MakeReadOnly(At("locked.dll"));
  const bool copied = fs().Copy(At("new.dll"), At("locked.dll"), false);
  const long error = fs().LastError();
  ClearReadOnlyBit(At("locked.dll"));
  if (copied && world().IsWine()) {
    // Wine running as the Unix superuser writes read-only files: its
    // open() is never refused. Windows and Wine under any other user refuse.
    GTEST_SKIP() << "Wine runs as root here and ignores the read-only bit on overwrite";
  }
  EXPECT_FALSE(copied);
  EXPECT_EQ(error, FileError::AccessDenied);
  EXPECT_EQ(world().Content(At("locked.dll")), "old");
}

TEST_P(FilesContract, CopyOntoAHiddenFileFails) {
  world().PutFile(At("new.ini"), "new");
  world().PutFile(At("desktop.ini"), "old");
  ASSERT_TRUE(fs().SetAttributes(At("desktop.ini"), Attributes(At("desktop.ini")) | platform::kAttrHidden));
  EXPECT_NE(Attributes(At("desktop.ini")) & platform::kAttrHidden, 0u) << "the bit is kept";
  const bool copied = fs().Copy(At("new.ini"), At("desktop.ini"), false);
  const long error = fs().LastError();
  if (copied && world().IsWine()) {
    // CopyFile's documentation: a destination that exists and is hidden or
    // read-only fails with ERROR_ACCESS_DENIED. Wine overwrites it.
    GTEST_SKIP() << "Wine overwrites a hidden file, which Windows refuses";
  }
  EXPECT_FALSE(copied);
  EXPECT_EQ(error, FileError::AccessDenied);
  EXPECT_EQ(world().Content(At("desktop.ini")), "old");
  // Without the bit the copy goes through.
  ASSERT_TRUE(fs().SetAttributes(At("desktop.ini"), Attributes(At("desktop.ini")) & ~platform::kAttrHidden));
  EXPECT_TRUE(fs().Copy(At("new.ini"), At("desktop.ini"), false));
  EXPECT_EQ(world().Content(At("desktop.ini")), "new");
}

TEST_P(FilesContract, FileHeldOpenElsewhereIsNeitherOverwrittenNorReadNorRemoved) {
  world().PutFile(At("new.arx"), "new");
  world().PutFile(At("loaded.arx"), "loaded");
  world().HoldOpen(At("loaded.arx"));
  EXPECT_FALSE(fs().Copy(At("new.arx"), At("loaded.arx"), false));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  EXPECT_FALSE(fs().Copy(At("loaded.arx"), At("copy.arx"), false));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  EXPECT_FALSE(fs().Remove(At("loaded.arx")));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  // Attributes are no content: they can be read and set meanwhile.
  EXPECT_NE(Attributes(At("loaded.arx")), kInvalidAttributes);

  world().Release(At("loaded.arx"));
  EXPECT_TRUE(fs().Copy(At("new.arx"), At("loaded.arx"), false)) << fs().LastError();
  EXPECT_EQ(world().Content(At("loaded.arx")), "new");
}

// A fresh folder is made under a new name each time, never an existing
// one; a file held against writers can be read and copied, but not
// written, replaced or deleted, until it is let go.
TEST_P(FilesContract, FreshFoldersAndFilesHeldAgainstWriters) {
  std::string first, second;
  ASSERT_TRUE(fs().MakeFreshFolder(At("copy-"), kRecordAccess, &first)) << fs().LastError();
  ASSERT_TRUE(fs().MakeFreshFolder(At("copy-"), nullptr, &second)) << fs().LastError();
  EXPECT_NE(first, second);
  for (const std::string& folder : {first, second}) {
    EXPECT_EQ(folder.size(), At("copy-").size() + 16) << folder;
    EXPECT_TRUE(Attributes(folder) & kAttrDirectory) << folder;
  }
  EXPECT_FALSE(fs().MakeFreshFolder(At("missing\\copy-"), nullptr, &first));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);

  world().PutFile(At("Uninstall.exe"), "program");
  ASSERT_TRUE(fs().HoldAgainstWriters(At("Uninstall.exe"))) << fs().LastError();
  std::string bytes;
  EXPECT_TRUE(fs().ReadBytes(At("Uninstall.exe"), &bytes)) << fs().LastError();
  EXPECT_EQ(bytes, "program");
  EXPECT_TRUE(fs().Copy(At("Uninstall.exe"), At("again.exe"), true)) << fs().LastError();
  EXPECT_FALSE(fs().WriteBytes(At("Uninstall.exe"), "swapped"));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  EXPECT_FALSE(fs().Remove(At("Uninstall.exe")));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  EXPECT_FALSE(fs().MoveReplacing(At("again.exe"), At("Uninstall.exe")));
  fs().LetGo(At("Uninstall.exe"));
  EXPECT_TRUE(fs().Remove(At("Uninstall.exe"))) << fs().LastError();
  EXPECT_FALSE(fs().HoldAgainstWriters(At("Uninstall.exe")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
}

// Whole files read and written: any bytes, a file made or replaced, and the
// Windows errors for what is missing, a folder, and a file held open.
TEST_P(FilesContract, WholeFilesAreReadAndWritten) {
  const std::string bytes("line\r\n\0\xFF\x81\x5C", 9);
  EXPECT_TRUE(fs().WriteBytes(At("record.txt"), bytes)) << fs().LastError();
  std::string read;
  EXPECT_TRUE(fs().ReadBytes(At("record.txt"), &read));
  EXPECT_EQ(read, bytes);
  EXPECT_TRUE(fs().WriteBytes(At("record.txt"), "shorter"));
  EXPECT_TRUE(fs().ReadBytes(At("record.txt"), &read));
  EXPECT_EQ(read, "shorter");
  EXPECT_TRUE(fs().WriteBytes(At("empty.txt"), std::string()));
  EXPECT_TRUE(fs().ReadBytes(At("empty.txt"), &read));
  EXPECT_EQ(read, "");

  read = "untouched";
  EXPECT_FALSE(fs().ReadBytes(At("missing.txt"), &read));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  EXPECT_FALSE(fs().ReadBytes(At("gone\\missing.txt"), &read));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
  EXPECT_FALSE(fs().WriteBytes(At("gone\\new.txt"), "x"));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
  ASSERT_TRUE(fs().MakeFolder(At("sub")));
  EXPECT_FALSE(fs().ReadBytes(At("sub"), &read));
  EXPECT_EQ(fs().LastError(), FileError::AccessDenied);
  EXPECT_EQ(read, "untouched");

  world().HoldOpen(At("record.txt"));
  EXPECT_FALSE(fs().ReadBytes(At("record.txt"), &read));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  EXPECT_FALSE(fs().WriteBytes(At("record.txt"), "other"));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  world().Release(At("record.txt"));
  EXPECT_EQ(world().Content(At("record.txt")), "shorter");
}

// A file takes another's place in one step: the old content is gone, the
// name keeps the new file, and the source name is free; a missing target
// is made. Nothing moves when the source is missing, or the target is a
// folder, held open or read-only.
TEST_P(FilesContract, AFileTakesAnothersPlaceInOneStep) {
  world().PutFile(At("record.txt"), "old record");
  world().PutFile(At("record.new"), "new record");
  EXPECT_TRUE(fs().MoveReplacing(At("record.new"), At("record.txt"))) << fs().LastError();
  EXPECT_EQ(world().Content(At("record.txt")), "new record");
  EXPECT_EQ(Attributes(At("record.new")), kInvalidAttributes) << "the source name is free";
  world().PutFile(At("first.new"), "first");
  EXPECT_TRUE(fs().MoveReplacing(At("first.new"), At("first.txt"))) << fs().LastError();
  EXPECT_EQ(world().Content(At("first.txt")), "first");

  EXPECT_FALSE(fs().MoveReplacing(At("missing.new"), At("record.txt")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  EXPECT_FALSE(fs().MoveReplacing(At("record.txt"), At("gone\\record.txt")));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
  ASSERT_TRUE(fs().MakeFolder(At("sub")));
  world().PutFile(At("other.new"), "other");
  EXPECT_FALSE(fs().MoveReplacing(At("other.new"), At("sub")));
  EXPECT_EQ(fs().LastError(), FileError::AccessDenied);
  world().HoldOpen(At("record.txt"));
  EXPECT_FALSE(fs().MoveReplacing(At("other.new"), At("record.txt")));
  EXPECT_EQ(fs().LastError(), FileError::AccessDenied) << "a file held open is not replaced";
  world().Release(At("record.txt"));
  EXPECT_EQ(world().Content(At("record.txt")), "new record");
  EXPECT_EQ(world().Content(At("other.new")), "other") << "nothing moved";

  MakeReadOnly(At("record.txt"));
  const bool moved = fs().MoveReplacing(At("other.new"), At("record.txt"));
  const long error = fs().LastError();
  ClearReadOnlyBit(At("record.txt"));
  // Wine running as the Unix superuser replaces read-only files, as for Copy.
  if (moved && world().IsWine()) return;
  EXPECT_FALSE(moved);
  EXPECT_EQ(error, FileError::AccessDenied);
  EXPECT_EQ(world().Content(At("record.txt")), "new record");
}

// Appending: a new file is made, the length before comes back, bytes go
// at the end; a hidden file takes them, a read-only one, a folder, a file
// held open and a missing folder do not.
TEST_P(FilesContract, BytesAreAppendedAtTheEnd) {
  std::uint64_t before = 99;
  EXPECT_TRUE(fs().AppendBytes(At("run.log"), std::string(), &before)) << fs().LastError();
  EXPECT_EQ(before, 0u);
  EXPECT_EQ(world().Content(At("run.log")), "");
  EXPECT_TRUE(fs().AppendBytes(At("run.log"), "first\r\n", &before));
  EXPECT_EQ(before, 0u);
  EXPECT_TRUE(fs().AppendBytes(At("run.log"), std::string("\x81\x5C\0", 3)));
  EXPECT_TRUE(fs().AppendBytes(At("run.log"), "last", &before));
  EXPECT_EQ(before, 10u);
  EXPECT_EQ(world().Content(At("run.log")), std::string("first\r\n\x81\x5C\0last", 14));

  ASSERT_TRUE(fs().SetAttributes(At("run.log"), Attributes(At("run.log")) | kAttrHidden));
  EXPECT_TRUE(fs().AppendBytes(At("run.log"), "!")) << fs().LastError();
  EXPECT_NE(Attributes(At("run.log")) & kAttrHidden, 0u) << "the file keeps its attributes";
  ASSERT_TRUE(fs().SetAttributes(At("run.log"), kAttrArchive));

  EXPECT_FALSE(fs().AppendBytes(At("gone\\run.log"), "x"));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
  ASSERT_TRUE(fs().MakeFolder(At("sub")));
  EXPECT_FALSE(fs().AppendBytes(At("sub"), "x"));
  EXPECT_EQ(fs().LastError(), FileError::AccessDenied);
  world().HoldOpen(At("run.log"));
  EXPECT_FALSE(fs().AppendBytes(At("run.log"), "x"));
  EXPECT_EQ(fs().LastError(), FileError::SharingViolation);
  world().Release(At("run.log"));
  EXPECT_EQ(world().Content(At("run.log")), std::string("first\r\n\x81\x5C\0last!", 15));

  world().PutFile(At("locked.log"), "old");
  MakeReadOnly(At("locked.log"));
  const bool appended = fs().AppendBytes(At("locked.log"), "x");
  const long error = fs().LastError();
  ClearReadOnlyBit(At("locked.log"));
  // Wine running as the Unix superuser writes read-only files, as for Copy.
  if (appended && world().IsWine()) return;
  EXPECT_FALSE(appended);
  EXPECT_EQ(error, FileError::AccessDenied);
  EXPECT_EQ(world().Content(At("locked.log")), "old");
}

TEST_P(FilesContract, AttributesAreReadAndWritten) {
  world().PutFile(At("a.dll"), "a");
  ASSERT_TRUE(fs().MakeFolder(At("sub")));
  const unsigned long before = Attributes(At("a.dll"));
  ASSERT_NE(before, kInvalidAttributes);
  EXPECT_FALSE(before & (kAttrReadOnly | kAttrDirectory));
  EXPECT_TRUE(Attributes(At("sub")) & kAttrDirectory);

  ASSERT_TRUE(fs().SetAttributes(At("a.dll"), before | kAttrReadOnly));
  EXPECT_EQ(Attributes(At("a.dll")), before | kAttrReadOnly);
  ASSERT_TRUE(fs().SetAttributes(At("a.dll"), before));
  EXPECT_EQ(Attributes(At("a.dll")), before);

  EXPECT_EQ(Attributes(At("missing.dll")), kInvalidAttributes);
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  EXPECT_EQ(Attributes(At("gone\\missing.dll")), kInvalidAttributes);
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
  EXPECT_FALSE(fs().SetAttributes(At("missing.dll"), kAttrNormal));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
}

TEST_P(FilesContract, RemoveDeletesUnprotectedFilesOnly) {
  world().PutFile(At("a.dll"), "a");
  world().PutFile(At("ro.dll"), "ro");
  ASSERT_TRUE(fs().MakeFolder(At("sub")));
  MakeReadOnly(At("ro.dll"));

  EXPECT_TRUE(fs().Remove(At("A.DLL")));
  EXPECT_EQ(Attributes(At("a.dll")), kInvalidAttributes);
  EXPECT_FALSE(fs().Remove(At("a.dll")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  EXPECT_FALSE(fs().Remove(At("ro.dll")));
  EXPECT_EQ(fs().LastError(), FileError::AccessDenied);
  EXPECT_EQ(world().Content(At("ro.dll")), "ro");
  EXPECT_FALSE(fs().Remove(At("sub")));
  EXPECT_EQ(fs().LastError(), FileError::AccessDenied);
  ClearReadOnlyBit(At("ro.dll"));
}

TEST_P(FilesContract, RemovingAZoneStreamLeavesTheFile) {
  world().PutFile(At("downloaded.arx"), "module");
  world().PutFile(At("local.arx"), "module");
  world().PutStream(At("downloaded.arx"), "Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");

  // Whether the file system keeps streams (NTFS) or not (Wine keeps a
  // "file:stream" as a file of that name beside the file).
  const std::set<std::string> names = Names(List(At("*.*")));
  const bool keepsStreams = names.count("downloaded.arx:Zone.Identifier") == 0;
  if (keepsStreams) {
    EXPECT_EQ(names, (std::set<std::string>{"downloaded.arx", "local.arx"}));
    // A copy carries the stream over, which is why it goes before the copy.
    ASSERT_TRUE(fs().Copy(At("downloaded.arx"), At("copy.arx"), false));
    EXPECT_TRUE(fs().Remove(At("copy.arx:Zone.Identifier")));
  }

  EXPECT_TRUE(fs().Remove(At("downloaded.arx:Zone.Identifier")));
  EXPECT_EQ(world().Content(At("downloaded.arx")), "module");
  EXPECT_FALSE(fs().Remove(At("downloaded.arx:Zone.Identifier")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  EXPECT_FALSE(fs().Remove(At("local.arx:Zone.Identifier")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
  EXPECT_FALSE(fs().Remove(At("missing.arx:Zone.Identifier")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);

  if (keepsStreams) {
    // Read-only guards every stream of the file.
    world().PutStream(At("local.arx"), "Zone.Identifier", "ZoneId=3");
    MakeReadOnly(At("local.arx"));
    EXPECT_FALSE(fs().Remove(At("local.arx:Zone.Identifier")));
    EXPECT_EQ(fs().LastError(), FileError::AccessDenied);
    ClearReadOnlyBit(At("local.arx"));
    EXPECT_TRUE(fs().Remove(At("local.arx:Zone.Identifier")));
  }
}

TEST_P(FilesContract, RemoveFolderRemovesOnlyAnEmptyFolder) {
  ASSERT_TRUE(fs().MakeFolder(At("V-VidudOvev")));
  ASSERT_TRUE(fs().MakeFolder(At("V-VidudOvev\\backup")));
  world().PutFile(At("V-VidudOvev\\backup\\1_pdfplot9.hdi"), "driver");
  EXPECT_FALSE(fs().RemoveFolder(At("V-VidudOvev")));
  EXPECT_EQ(fs().LastError(), FileError::DirNotEmpty);
  EXPECT_FALSE(fs().RemoveFolder(At("V-VidudOvev\\backup\\1_pdfplot9.hdi")));
  EXPECT_EQ(fs().LastError(), FileError::DirectoryName);
  ASSERT_TRUE(fs().Remove(At("V-VidudOvev\\backup\\1_pdfplot9.hdi")));
  EXPECT_TRUE(fs().RemoveFolder(At("v-vidudovev\\BACKUP")));
  EXPECT_TRUE(fs().RemoveFolder(At("V-VidudOvev")));
  EXPECT_EQ(Attributes(At("V-VidudOvev")), kInvalidAttributes);
  EXPECT_FALSE(fs().RemoveFolder(At("V-VidudOvev")));
  EXPECT_EQ(fs().LastError(), FileError::FileNotFound);
}

TEST_P(FilesContract, MakeFolderMakesOneLevel) {
  EXPECT_TRUE(fs().MakeFolder(At("V-VidudOvev")));
  EXPECT_TRUE(Attributes(At("v-vidudovev")) & kAttrDirectory);
  EXPECT_FALSE(fs().MakeFolder(At("V-VIDUDOVEV")));
  EXPECT_EQ(fs().LastError(), FileError::AlreadyExists);
  EXPECT_FALSE(fs().MakeFolder(At("a\\b")));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
  EXPECT_EQ(Attributes(At("a")), kInvalidAttributes);
  world().PutFile(At("file"), "f");
  EXPECT_FALSE(fs().MakeFolder(At("file")));
  EXPECT_EQ(fs().LastError(), FileError::AlreadyExists);
}

// The folders an elevated install owns: made with their list; one it made
// itself kept with what it holds; whatever else stood there (a file, a
// folder made without the list, as any user may make one) moved aside
// under a new name beside it, with what it held, and the folder made anew
// and empty; a missing parent refused.
TEST_P(FilesContract, AnOwnedFolderIsMadeKeptOrMadeAnew) {
  for (const char* access : {kRecordAccess, kProgramAccess}) {
    SCOPED_TRACE(access);
    const std::string records = At(access == kRecordAccess ? "Records" : "Program");
    std::string aside = "left over";
    ASSERT_TRUE(fs().MakeOwnedFolder(records, access, &aside)) << fs().LastError();
    EXPECT_TRUE(Attributes(records) & kAttrDirectory);
    EXPECT_EQ(aside, "");
    world().PutFile(records + "\\install_record.txt", "r");
    EXPECT_TRUE(fs().MakeOwnedFolder(records, access, &aside)) << fs().LastError();
    EXPECT_EQ(aside, "") << "ours: kept";
    EXPECT_EQ(world().Content(records + "\\install_record.txt"), "r");
  }

  // A file where the folder should be.
  world().PutFile(At("squat"), "a user's");
  std::string aside;
  ASSERT_TRUE(fs().MakeOwnedFolder(At("squat"), kRecordAccess, &aside)) << fs().LastError();
  EXPECT_TRUE(Attributes(At("squat")) & kAttrDirectory);
  ASSERT_EQ(aside.substr(0, At("squat.moved-").size()), At("squat.moved-")) << aside;
  EXPECT_EQ(world().Content(aside), "a user's");

  // A folder someone made first, with a record in it. Where the file
  // system keeps no access lists, no folder can be told apart from ours,
  // nor protected: a plain one is kept, or every run would move the
  // records of the last one aside.
  ASSERT_TRUE(fs().MakeFolder(At("planted")));
  world().PutFile(At("planted\\install_record.txt"), "planted");
  ASSERT_TRUE(fs().MakeOwnedFolder(At("planted"), kRecordAccess, &aside)) << fs().LastError();
  if (world().KeepsAccessLists(At("Records"))) {
    EXPECT_EQ(world().Content(At("planted\\install_record.txt")), "<missing>") << "nothing taken over";
    EXPECT_EQ(world().Content(aside + "\\install_record.txt"), "planted");
  } else {
    EXPECT_EQ(aside, "") << "no access lists: a plain folder is kept";
    EXPECT_EQ(world().Content(At("planted\\install_record.txt")), "planted");
  }

  EXPECT_FALSE(fs().MakeOwnedFolder(At("a\\b"), kRecordAccess, &aside));
  EXPECT_EQ(fs().LastError(), FileError::PathNotFound);
}

TEST_P(FilesContract, ChineseNamesEndingInByte5CStayWhole) {
  // "乗" is 0x81 0x5C in CP936: its trail byte is a backslash.
  const std::string folder = At("乗");
  ASSERT_TRUE(fs().MakeFolder(folder)) << fs().LastError();
  world().PutFile(folder + "\\a.dll", "a");
  world().PutFile(At("b乗.dll"), "b");

  const Listing top = List(At("*.*"));
  EXPECT_EQ(Names(top), (std::set<std::string>{"乗", "b乗.dll"}));
  for (const FindEntry& entry : top.entries) {
    if (entry.name == "乗") {
      EXPECT_TRUE(entry.attributes & kAttrDirectory);
    }
  }
  EXPECT_EQ(Names(List(folder + "\\*.*")), std::set<std::string>{"a.dll"});
  ASSERT_TRUE(fs().Copy(At("b乗.dll"), folder + "\\b乗.dll", false)) << fs().LastError();
  EXPECT_EQ(world().Content(folder + "\\b乗.dll"), "b");
  EXPECT_TRUE(Attributes(folder) & kAttrDirectory);
}

TEST_P(FilesContract, ProgramPathAndEnvironment) {
  const std::string program = fs().ModulePath();
  ASSERT_GT(program.size(), 3u);
  EXPECT_EQ(program.substr(1, 2), ":\\") << program;
  const unsigned long attributes = Attributes(program);
  ASSERT_NE(attributes, kInvalidAttributes) << program;
  EXPECT_FALSE(attributes & kAttrDirectory);

  world().SetVariable("SETUP_CONTRACT_VALUE", "D:\\Settings");
  EXPECT_EQ(fs().Environment("setup_contract_value"), "D:\\Settings");
  const std::string longValue(300, 'x');  // longer than a path buffer, still whole
  world().SetVariable("SETUP_CONTRACT_VALUE", longValue);
  EXPECT_EQ(fs().Environment("SETUP_CONTRACT_VALUE"), longValue);
  EXPECT_EQ(fs().Environment("SETUP_CONTRACT_UNSET"), "");
  // A value the code page cannot carry is no value: a best-fit stand-in
  // could name another folder.
  world().ForeignVariable("SETUP_CONTRACT_FOREIGN");
  EXPECT_EQ(fs().Environment("SETUP_CONTRACT_FOREIGN"), "");
  EXPECT_EQ(fs().LastError(), FileError::NoUnicodeTranslation);
}

// The uninstall's check and delete: one handle, and only what `ours`
// accepts goes.
TEST_P(FilesContract, RemoveIfOursChecksAndDeletesThroughOneHandle) {
  const auto isOurs = [](const std::string& content) { return content == "ours"; };
  struct Row {
    const char* name;
    const char* content;     // nullptr: no file; "" with `folder`: a folder
    bool readOnly, held, folder;
    const char* path;        // below the root; the file's own when nullptr
    CheckedRemove outcome;
    long error;              // after Failed
    bool stays;
  };
  const Row rows[] = {
      {"ours.arx", "ours", false, false, false, nullptr, CheckedRemove::Removed, 0, false},
      {"readonly.arx", "ours", true, false, false, nullptr, CheckedRemove::Removed, 0, false},
      {"changed.arx", "theirs", false, false, false, nullptr, CheckedRemove::Kept, 0, true},
      {"held.arx", "ours", false, true, false, nullptr, CheckedRemove::Failed, FileError::SharingViolation, true},
      {"missing.arx", nullptr, false, false, false, nullptr, CheckedRemove::Failed, FileError::FileNotFound, false},
      {"gone\\a.arx", nullptr, false, false, false, nullptr, CheckedRemove::Failed, FileError::PathNotFound, false},
      {"folder", "", false, false, true, nullptr, CheckedRemove::Failed, FileError::AccessDenied, true},
      {"streamed.arx", "ours", false, false, false, "streamed.arx:Zone.Identifier", CheckedRemove::Failed,
       FileError::InvalidName, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string file = At(row.name);
    if (row.folder) {
      ASSERT_TRUE(fs().MakeFolder(file));
    }
    if (row.content && !row.folder) world().PutFile(file, row.content);
    if (row.readOnly) MakeReadOnly(file);
    if (row.held) world().HoldOpen(file);
    const CheckedRemove outcome = fs().RemoveIfOurs(row.path ? At(row.path) : file, isOurs);
    const long error = fs().LastError();
    EXPECT_EQ(static_cast<int>(outcome), static_cast<int>(row.outcome));
    if (row.outcome == CheckedRemove::Failed) {
      EXPECT_EQ(error, row.error);
    }
    EXPECT_EQ(Attributes(file) != kInvalidAttributes, row.stays);
    if (row.held) world().Release(file);  // then it can be read
    if (row.content && !row.folder && row.stays) {
      EXPECT_EQ(world().Content(file), row.content) << "unchanged";
    }
  }
  // Through a junction: refused, whatever the file holds.
  ASSERT_TRUE(fs().MakeFolder(At("linked")));
  world().PutFile(At("linked\\ours.arx"), "ours");
  if (world().MakeJunction(At("linked"))) {
    EXPECT_EQ(static_cast<int>(fs().RemoveIfOurs(At("linked\\ours.arx"), isOurs)),
              static_cast<int>(CheckedRemove::Failed));
    EXPECT_EQ(fs().LastError(), FileError::ReparsePoint);
    EXPECT_EQ(world().Content(At("linked\\ours.arx")), "ours");
  }
}

INSTANTIATE_TEST_SUITE_P(Worlds, FilesContract, ::testing::ValuesIn(Worlds()),
                         [](const ::testing::TestParamInfo<World>& param) { return std::string(param.param.name); });

}  // namespace
