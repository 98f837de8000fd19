// CSetupLog: the log every run writes, for an administrator to collect
// after an unattended install, and the decorators that feed it.
//
// The file is %TEMP%\V-VidudOvev-setup.log, or the one /LOG= names. Each
// run appends to it: a header (date and time, version, edition, Windows
// version, elevated or not, account, the command line), then one line per
// action. It is UTF-8, with a byte-order mark written only when the file is
// new or empty, so that Notepad shows the Chinese on any system; lines end
// in "\r\n". The program's own texts are CP936, paths and registry names
// the system's ANSI code page: each part is converted from its own page (a
// message box text's parts are marked, platform/message_text.h).
//
// Each line is appended as it happens, so a run that ends abruptly leaves
// what it got to; the file is opened once per line and never read. A log
// that cannot be written never stops or changes anything: from the first
// failed write on, the log is quiet for the rest of the run (it tries
// nothing again), and Writing() says so.
//
// The decorators pass every call on to the system they wrap, unchanged,
// and write a line for each call that changes something: file copies,
// writes, removals and folders made; registry keys made and deleted and
// values set; message boxes with the answer. Wrapping the platform the
// install steps are given logs every step without touching one. The log
// itself writes through the file system it was made with, never through a
// decorator (AppendBytes is passed on without a line in any case).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "engine/acad_setup.h"
#include "engine/build_constants.h"
#include "engine/program_names.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/window.h"

struct CommandLineError;

// What the header says about the run. The entry gathers what takes system
// calls (GetLocalTime, the version, the token, the account name); texts are
// in the system's ANSI code page.
struct RunFacts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;  // local time
  unsigned long windowsMajor = 0, windowsMinor = 0, windowsBuild = 0;
  std::string servicePack;  // "Service Pack 1"; empty when none
  bool elevated = false;
  std::string account;      // "DOMAIN\user"
  std::string commandLine;  // the whole line, as GetCommandLineA gives it
  int version = ::versionNumber;
  int bits = ::editionBits;
};

// Name of the log file in the temporary folder.

// %TEMP%\V-VidudOvev-setup.log (TMP when TEMP is unset); empty when neither
// is set. `elevated`: in <common application data>\V-VidudOvev instead,
// made (or had again) as a folder only administrators write, since a
// temporary folder (C:\Windows\Temp for SYSTEM) lets any user put a file
// or a link there first; empty when that folder cannot be had.
std::string DefaultLogPath(platform::FileSystem& files, bool elevated = false);

// A log that has reached this size is moved to "<log>.old" (replacing the
// older one) when a run begins, so that a log kept for years stays two
// files of about this size.
constexpr std::uint64_t kLogRotationSize = 1024 * 1024;

class CSetupLog {
 public:
  explicit CSetupLog(platform::FileSystem& files) : files_(files) {}
  CSetupLog(const CSetupLog&) = delete;
  CSetupLog& operator=(const CSetupLog&) = delete;

  // Starts this run's part of the log in `path` (empty: DefaultLogPath)
  // with the header. False when it cannot be written: the log is quiet.
  bool Begin(const std::string& path, const RunFacts& facts);

  // The file the log goes to (for the boxes that name it); empty when no
  // place is known.
  const std::string& Path() const { return path_; }
  // Begun, and every line so far written.
  bool Writing() const { return writing_; }

  // A line of free text: in the system's code page (Line), or the
  // program's CP936 with marked system parts, as a box text (ProgramLine).
  void Line(const std::string& text);
  void ProgramLine(const std::string& text);

  // What the scan found: a line per installation, with its key and folder.
  void ReleaseFound(int year, const std::string& key, const std::string& folder);
  void ReleasesFound(const CAcadSetup& setup);
  // A line per problem the steps collected.
  void Problems(const SetupProblems& problems);
  void CommandLineRefused(const CommandLineError& error);
  void ExitCode(int code);

  // The decorators' lines.
  void FileAction(const char* action, const std::string& from, const std::string& to, bool ok, long error);
  void RegistryAction(const char* action, const std::string& key, const char* valueName, const std::string& data,
                      long result);
  void MessageShown(const std::string& text, const std::string& caption, unsigned type, int answer);

 private:
  // Appends one marked text (program parts CP936, system parts marked)
  // and a line end.
  void Write(const std::string& marked);

  platform::FileSystem& files_;
  std::string path_;
  bool writing_ = false;
};

// ---- Decorators -------------------------------------------------------------

// Every call goes to `inner`; Copy, WriteBytes, MoveReplacing, Remove and
// MakeFolder are logged with their paths, result and error code, and so
// are the folder removals and the admin-only folders. LastError gives what the
// wrapped call left, as if no line had been written meanwhile. A wait hook
// set here is passed on with each copy.
class CLoggedFileSystem final : public platform::FileSystem {
 public:
  CLoggedFileSystem(platform::FileSystem& inner, CSetupLog& log) : inner_(inner), log_(log) {}

  std::string ModulePath() override;
  platform::FindHandle FindFirst(const std::string& pattern, platform::FindEntry* entry) override;
  bool FindNext(platform::FindHandle find, platform::FindEntry* entry) override;
  void FindEnd(platform::FindHandle find) override;
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
  unsigned long GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, unsigned long attributes) override;
  bool Remove(const std::string& path) override;
  platform::CheckedRemove RemoveIfOurs(const std::string& path,
                                       const std::function<bool(const std::string&)>& ours) override;
  bool MakeFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) override;
  bool MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) override;
  bool HoldAgainstWriters(const std::string& path) override;
  void LetGo(const std::string& path) override { inner_.LetGo(path); }
  bool ReadBytes(const std::string& path, std::string* bytes) override;
  bool WriteBytes(const std::string& path, const std::string& bytes) override;
  bool AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) override;
  bool MoveReplacing(const std::string& from, const std::string& to) override;
  std::string Environment(const std::string& name) override;
  long LastError() override { return kept_ ? keptError_ : inner_.LastError(); }

 private:
  // Notes the wrapped call's error before the line is written, and writes it.
  bool Logged(bool ok, const char* action, const std::string& from, const std::string& to);
  // An unlogged call: LastError is the wrapped system's again.
  template <typename T>
  T Passed(T result) {
    kept_ = false;
    return result;
  }

  platform::FileSystem& inner_;
  CSetupLog& log_;
  bool kept_ = false;
  long keptError_ = 0;
};

// Every call goes to `inner`; CreateKey, SetValue, SetTextValue, DeleteValue and DeleteKey are logged
// with the key's full path, the value's name and data, and the result. The
// paths come from a map of the handles this wrapper saw opened or created.
class CLoggedRegistry final : public platform::Registry {
 public:
  CLoggedRegistry(platform::Registry& inner, CSetupLog& log) : inner_(inner), log_(log) {}

  long OpenKey(platform::RegKey parent, const char* subKey, platform::RegKey* result) override;
  long OpenKeyRead(platform::RegKey parent, const char* subKey, platform::RegKey* result) override;
  long OpenKeyReadView(platform::RegKey parent, const char* subKey, platform::RegView view,
                       platform::RegKey* result) override;
  long CreateKey(platform::RegKey parent, const char* subKey, platform::RegKey* result) override;
  long QuerySubKeyCount(platform::RegKey key, unsigned long* count) override;
  long EnumKey(platform::RegKey key, unsigned long index, char* name, unsigned long* nameLength) override;
  long QueryValue(platform::RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                  unsigned long* size) override;
  long SetValue(platform::RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                unsigned long size) override;
  long QueryValueCount(platform::RegKey key, unsigned long* count) override;
  long SetTextValue(platform::RegKey key, const char* valueName, const std::string& text) override;
  long DeleteValue(platform::RegKey key, const char* valueName) override;
  long DeleteKey(platform::RegKey key, const char* subKey) override;
  long CloseKey(platform::RegKey key) override;

  // The full path of an open key ("HKEY_LOCAL_MACHINE\SOFTWARE\..."); for
  // a handle not seen opened, its number.
  std::string PathOf(platform::RegKey key) const;

 private:
  std::string Join(platform::RegKey parent, const char* subKey) const;
  long Opened(long status, platform::RegKey parent, const char* subKey, platform::RegKey* result);

  platform::Registry& inner_;
  CSetupLog& log_;
  std::map<platform::RegKey, std::string> paths_;
};

// Every box goes to `inner`; its text, caption and the answer are logged.
class CLoggedMessageOwner final : public platform::MessageOwner {
 public:
  CLoggedMessageOwner(platform::MessageOwner& inner, CSetupLog& log) : inner_(inner), log_(log) {}
  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override;

 private:
  platform::MessageOwner& inner_;
  CSetupLog& log_;
};
