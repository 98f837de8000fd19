// The log of a run and its decorators; see setup_log.h.
#include "run/setup_log.h"

#include "run/command_line.h"
#include "engine/exit_codes.h"
#include "platform/message_text.h"
#include "platform/text.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// Bytes no conversion can carry, kept readable: ASCII as it is, every
// other byte as \xNN.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      out.push_back(c);
    } else {
      const std::string hex = platform::HexNumber(byte);
      out += "\\x" + std::string(2 - hex.size(), '0') + hex;
    }
  }
  return out;
}

// One line of the file: each part converted from its own code page, line
// breaks inside (a box text has many) shown as " | ", and the line end.
std::string LogLine(const std::string& marked) {
  std::string utf8;
  for (const platform::MessagePart& part : platform::SplitMessageText(marked)) {
    std::string converted;
    const bool ok = part.system ? platform::ToUtf8(part.text, &converted)
                                : platform::ToUtf8(platform::CodePageId::Chinese, part.text, &converted);
    utf8 += ok ? converted : Escaped(part.text);
  }
  std::string line;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] != '\r' && utf8[i] != '\n') {
      line.push_back(utf8[i]);
      continue;
    }
    while (i + 1 < utf8.size() && (utf8[i + 1] == '\r' || utf8[i + 1] == '\n')) ++i;
    line += " | ";
  }
  return line + "\r\n";
}

std::string Sys(const std::string& text) { return platform::SystemText(text); }

std::string Outcome(bool ok, long error) { return ok ? "ok" : "failed, error " + std::to_string(error); }

const char* ProblemName(SetupProblem::Kind kind) {
  switch (kind) {
    case SetupProblem::RegistryWrite: return "registry write";
    case SetupProblem::TextTooLong: return "too long";
    case SetupProblem::FileCopy: return "file copy";
    case SetupProblem::RegistryRead: return "registry read";
    case SetupProblem::ScanRead: return "scan read";
    case SetupProblem::NameNotInCodePage: return "name not in the code page";
    case SetupProblem::RecordWrite: return "install record";
    case SetupProblem::BackupCopy: return "backup copy";
    case SetupProblem::RecordFolder: return "record folder";
    case SetupProblem::EarlierInstall: return "earlier install";
  }
  return "problem";
}

std::string AnswerName(int answer) {
  switch (answer) {
    case platform::kIdOk: return "OK";
    case platform::kIdCancel: return "Cancel";
    case platform::kIdAbort: return "Abort";
    case platform::kIdRetry: return "Retry";
    case platform::kIdIgnore: return "Ignore";
    default: return std::to_string(answer);
  }
}

// A value's data as the log shows it: text as it is, a number in decimal,
// anything else by its length.
std::string DataText(unsigned long type, const unsigned char* data, unsigned long size) {
  const char* typeName = type == platform::RegType::String         ? "REG_SZ"
                         : type == platform::RegType::ExpandString ? "REG_EXPAND_SZ"
                         : type == platform::RegType::Dword        ? "REG_DWORD"
                         : type == platform::RegType::MultiString  ? "REG_MULTI_SZ"
                         : type == platform::RegType::Binary       ? "REG_BINARY"
                                                                   : nullptr;
  std::string text = typeName ? typeName : "type " + std::to_string(type);
  if (!data) return text + ", no data";
  if (type == platform::RegType::String || type == platform::RegType::ExpandString) {
    std::size_t length = 0;
    while (length < size && data[length] != 0) ++length;
    return text + " " + Sys(std::string(reinterpret_cast<const char*>(data), length));
  }
  if (type == platform::RegType::Dword && size == 4) {
    const unsigned long n = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<unsigned long>(data[3]) << 24);
    return text + " " + std::to_string(n);
  }
  return text + ", " + std::to_string(size) + " bytes";
}

// "file:stream" (not the colon of a drive).
bool IsStream(const std::string& path) { return platform::FindChar(path, ':', 2) != platform::npos; }

}  // namespace

std::string DefaultLogPath(platform::FileSystem& files, bool elevated) {
  if (elevated) {
    std::string common = files.Environment("ProgramData");
    if (common.empty()) {
      common = files.Environment("ALLUSERSPROFILE");
      if (common.empty()) return std::string();
      common += "\\Application Data";
    }
    platform::StripTrailingBackslash(common);
    const std::string folder = common + kSubFolder;
    return files.MakeOwnedFolder(folder, platform::kRecordAccess, nullptr) ? folder + "\\" + kLogFileName
                                                                        : std::string();
  }
  std::string folder = files.Environment("TEMP");
  if (folder.empty()) folder = files.Environment("TMP");
  if (folder.empty()) return std::string();
  platform::StripTrailingBackslash(folder);
  return folder + "\\" + kLogFileName;
}

bool CSetupLog::Begin(const std::string& path, const RunFacts& facts) {
  path_ = path.empty() ? DefaultLogPath(files_, facts.elevated) : path;
  writing_ = false;
  std::uint64_t sizeBefore = 0;
  // Opened once before the header, to learn whether the mark is due (and
  // refused when it is a link).
  if (path_.empty() || !files_.AppendBytes(path_, std::string(), &sizeBefore)) return false;
  if (sizeBefore >= kLogRotationSize) {
    // Full: its content goes to the older file, and this one starts anew.
    const std::string older = path_ + ".old";
    files_.SetAttributes(older, platform::kAttrArchive);
    if (!files_.Copy(path_, older, false) || !files_.WriteBytes(path_, std::string()) ||
        !files_.AppendBytes(path_, std::string(), &sizeBefore)) {
      return false;
    }
  }
  std::string header = sizeBefore == 0 ? kByteOrderMark : "\r\n";
  header += LogLine("==== SetUp.exe " + std::to_string(facts.version) + ", " + std::to_string(facts.bits) +
                    "-bit edition, " + std::to_string(facts.year) + "-" + TwoDigits(facts.month) + "-" +
                    TwoDigits(facts.day) + " " + TwoDigits(facts.hour) + ":" + TwoDigits(facts.minute) + ":" +
                    TwoDigits(facts.second) + " ====");
  header += LogLine("Windows " + std::to_string(facts.windowsMajor) + "." + std::to_string(facts.windowsMinor) + "." +
                    std::to_string(facts.windowsBuild) +
                    (facts.servicePack.empty() ? "" : " " + Sys(facts.servicePack)) +
                    ", elevated: " + (facts.elevated ? "yes" : "no") + ", account: " + Sys(facts.account));
  header += LogLine("command line: " + Sys(facts.commandLine));
  writing_ = files_.AppendBytes(path_, header);
  return writing_;
}

void CSetupLog::Write(const std::string& marked) {
  if (!writing_) return;
  // One failure and the log is done with: nothing is tried again.
  writing_ = files_.AppendBytes(path_, LogLine(marked));
}

void CSetupLog::Line(const std::string& text) { Write(Sys(text)); }

void CSetupLog::ProgramLine(const std::string& text) { Write(text); }

void CSetupLog::ReleaseFound(int year, const std::string& key, const std::string& folder) {
  Write("release " + std::to_string(year) + ": key " + Sys(key) + ", folder " + Sys(folder));
}

void CSetupLog::ReleasesFound(const CAcadSetup& setup) {
  bool any = false;
  for (int index = 0; index < kReleaseCount; ++index) {
    const CStringList& folders = setup.acadFolders[index];
    const CStringList& keys = setup.releaseKeys[index];
    for (std::size_t i = 0; i < folders.size(); ++i) {
      ReleaseFound(kFirstYear + index, i < keys.size() ? keys[i] : std::string(), folders[i]);
      any = true;
    }
  }
  if (!any) Write("no release found");
}

void CSetupLog::Problems(const SetupProblems& problems) {
  for (const SetupProblem& problem : problems) {
    std::string line = std::string("problem: ") + ProblemName(problem.kind);
    if (problem.year) line += " " + std::to_string(problem.year);
    if (!problem.place.empty()) line += ", " + Sys(problem.place);
    if (!problem.item.empty()) line += ", " + Sys(problem.item);
    if (problem.error) line += ", error " + std::to_string(problem.error);
    Write(line);
  }
}

void CSetupLog::CommandLineRefused(const CommandLineError& error) {
  Write("command line refused: " + DescribeCommandLineError(error));
}

void CSetupLog::ExitCode(int code) {
  const std::string meaning = SetupExit::EnglishMeaning(code);
  Write("exit code " + std::to_string(code) + (meaning.empty() ? "" : ": " + meaning));
}

void CSetupLog::FileAction(const char* action, const std::string& from, const std::string& to, bool ok, long error) {
  const bool nothing = !ok && error == platform::FileError::FileNotFound && std::string(action) == "remove";
  Write(std::string(action) + " " + (from.empty() ? "" : Sys(from) + " -> ") + Sys(to) + ": " +
        (nothing ? std::string("not there") : Outcome(ok, error)));
}

void CSetupLog::RegistryAction(const char* action, const std::string& key, const char* valueName,
                               const std::string& data, long result) {
  std::string line = std::string("registry ") + action + " " + Sys(key);
  if (valueName) line += ", value " + (*valueName ? Sys(valueName) : std::string("(default)"));
  if (!data.empty()) line += " = " + data;
  // The registration clears an entry before it writes it again: a delete
  // that finds nothing is no failure.
  const bool nothing = result == platform::RegResult::FileNotFound && std::string(action) == "delete key";
  Write(line + ": " + (nothing ? std::string("not there") : Outcome(result == platform::RegResult::Success, result)));
}

void CSetupLog::MessageShown(const std::string& text, const std::string& caption, unsigned type, int answer) {
  const char* buttons = type == platform::kMbAbortRetryIgnore ? " (Abort/Retry/Ignore)" : "";
  Write("box [" + caption + "] " + text + ": " + AnswerName(answer) + buttons);
}

// ---- CLoggedFileSystem ------------------------------------------------------

bool CLoggedFileSystem::Logged(bool ok, const char* action, const std::string& from, const std::string& to) {
  keptError_ = inner_.LastError();
  kept_ = true;
  log_.FileAction(action, from, to, ok, keptError_);
  return ok;
}

std::string CLoggedFileSystem::ModulePath() { return Passed(inner_.ModulePath()); }

platform::FindHandle CLoggedFileSystem::FindFirst(const std::string& pattern, platform::FindEntry* entry) {
  return Passed(inner_.FindFirst(pattern, entry));
}

bool CLoggedFileSystem::FindNext(platform::FindHandle find, platform::FindEntry* entry) {
  return Passed(inner_.FindNext(find, entry));
}

void CLoggedFileSystem::FindEnd(platform::FindHandle find) {
  kept_ = false;
  inner_.FindEnd(find);
}

bool CLoggedFileSystem::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  inner_.SetWaitHook(waitHook_);
  return Logged(inner_.Copy(from, to, failIfExists), "copy", from, to);
}

unsigned long CLoggedFileSystem::GetAttributes(const std::string& path) { return Passed(inner_.GetAttributes(path)); }

bool CLoggedFileSystem::SetAttributes(const std::string& path, unsigned long attributes) {
  return Passed(inner_.SetAttributes(path, attributes));
}

bool CLoggedFileSystem::Remove(const std::string& path) {
  const bool ok = inner_.Remove(path);
  // The data copy takes the download mark off every source file; a file
  // without one is nothing done, and no line.
  if (!ok && IsStream(path) && inner_.LastError() == platform::FileError::FileNotFound) return Passed(ok);
  return Logged(ok, "remove", std::string(), path);
}

platform::CheckedRemove CLoggedFileSystem::RemoveIfOurs(const std::string& path,
                                                        const std::function<bool(const std::string&)>& ours) {
  const platform::CheckedRemove outcome = inner_.RemoveIfOurs(path, ours);
  // A file that holds what someone else put there is left, and told by the
  // uninstall: no line of its own here.
  if (outcome == platform::CheckedRemove::Kept) return Passed(outcome);
  Logged(outcome == platform::CheckedRemove::Removed, "remove", std::string(), path);
  return outcome;
}

bool CLoggedFileSystem::MakeFolder(const std::string& path) {
  return Logged(inner_.MakeFolder(path), "make folder", std::string(), path);
}

bool CLoggedFileSystem::RemoveFolder(const std::string& path) {
  return Logged(inner_.RemoveFolder(path), "remove folder", std::string(), path);
}

bool CLoggedFileSystem::MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) {
  std::string folder;
  const bool ok = inner_.MakeFreshFolder(prefix, access, &folder);
  keptError_ = inner_.LastError();
  kept_ = true;
  log_.FileAction(access ? "make fresh owned folder" : "make fresh folder", std::string(), ok ? folder : prefix, ok,
                  keptError_);
  if (made && ok) *made = folder;
  return ok;
}

bool CLoggedFileSystem::HoldAgainstWriters(const std::string& path) {
  const bool ok = inner_.HoldAgainstWriters(path);
  keptError_ = inner_.LastError();
  kept_ = true;
  if (!ok) log_.FileAction("hold against writers", std::string(), path, ok, keptError_);
  return ok;
}

bool CLoggedFileSystem::MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) {
  std::string aside;
  const bool ok = inner_.MakeOwnedFolder(path, access, &aside);
  keptError_ = inner_.LastError();
  kept_ = true;
  // What stood there before, not ours, is said with its new name: a
  // squatter's folder (or file) is kept for whoever looks into it.
  if (!aside.empty()) log_.FileAction("move aside (not ours)", path, aside, true, 0);
  log_.FileAction("make owned folder", std::string(), path, ok, keptError_);
  if (movedAside) *movedAside = aside;
  return ok;
}

bool CLoggedFileSystem::ReadBytes(const std::string& path, std::string* bytes) {
  return Passed(inner_.ReadBytes(path, bytes));
}

bool CLoggedFileSystem::WriteBytes(const std::string& path, const std::string& bytes) {
  return Logged(inner_.WriteBytes(path, bytes), "write", std::string(), path);
}

bool CLoggedFileSystem::AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) {
  return Passed(inner_.AppendBytes(path, bytes, sizeBefore));
}

bool CLoggedFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  return Logged(inner_.MoveReplacing(from, to), "replace", from, to);
}

std::string CLoggedFileSystem::Environment(const std::string& name) { return Passed(inner_.Environment(name)); }

// ---- CLoggedRegistry --------------------------------------------------------

std::string CLoggedRegistry::PathOf(platform::RegKey key) const {
  switch (key) {
    case platform::kCurrentUser: return "HKEY_CURRENT_USER";
    case platform::kLocalMachine: return "HKEY_LOCAL_MACHINE";
    case platform::kUsers: return "HKEY_USERS";
    default: break;
  }
  const auto found = paths_.find(key);
  return found != paths_.end() ? found->second : "(key 0x" + platform::HexNumber(key) + ")";
}

std::string CLoggedRegistry::Join(platform::RegKey parent, const char* subKey) const {
  return subKey && *subKey ? PathOf(parent) + "\\" + subKey : PathOf(parent);
}

long CLoggedRegistry::Opened(long status, platform::RegKey parent, const char* subKey, platform::RegKey* result) {
  if (status != platform::RegResult::Success || !result || *result == parent) return status;
  // Kept without a trailing backslash ("...\ACAD-8001:804\" as the scan
  // files it), so that the paths joined to it read as the registry's own.
  std::string path = Join(parent, subKey);
  platform::StripTrailingBackslash(path);
  paths_[*result] = path;
  return status;
}

long CLoggedRegistry::OpenKey(platform::RegKey parent, const char* subKey, platform::RegKey* result) {
  return Opened(inner_.OpenKey(parent, subKey, result), parent, subKey, result);
}

long CLoggedRegistry::OpenKeyRead(platform::RegKey parent, const char* subKey, platform::RegKey* result) {
  return Opened(inner_.OpenKeyRead(parent, subKey, result), parent, subKey, result);
}

long CLoggedRegistry::OpenKeyReadView(platform::RegKey parent, const char* subKey, platform::RegView view,
                                      platform::RegKey* result) {
  return Opened(inner_.OpenKeyReadView(parent, subKey, view, result), parent, subKey, result);
}

long CLoggedRegistry::CreateKey(platform::RegKey parent, const char* subKey, platform::RegKey* result) {
  const long status = Opened(inner_.CreateKey(parent, subKey, result), parent, subKey, result);
  log_.RegistryAction("create key", Join(parent, subKey), nullptr, std::string(), status);
  return status;
}

long CLoggedRegistry::QuerySubKeyCount(platform::RegKey key, unsigned long* count) {
  return inner_.QuerySubKeyCount(key, count);
}

long CLoggedRegistry::EnumKey(platform::RegKey key, unsigned long index, char* name, unsigned long* nameLength) {
  return inner_.EnumKey(key, index, name, nameLength);
}

long CLoggedRegistry::QueryValue(platform::RegKey key, const char* valueName, unsigned long* type,
                                 unsigned char* data, unsigned long* size) {
  return inner_.QueryValue(key, valueName, type, data, size);
}

long CLoggedRegistry::SetValue(platform::RegKey key, const char* valueName, unsigned long type,
                               const unsigned char* data, unsigned long size) {
  const long status = inner_.SetValue(key, valueName, type, data, size);
  log_.RegistryAction("set", PathOf(key), valueName ? valueName : "", DataText(type, data, size), status);
  return status;
}

long CLoggedRegistry::QueryValueCount(platform::RegKey key, unsigned long* count) {
  return inner_.QueryValueCount(key, count);
}

long CLoggedRegistry::SetTextValue(platform::RegKey key, const char* valueName, const std::string& text) {
  const long status = inner_.SetTextValue(key, valueName, text);
  log_.RegistryAction("set text", PathOf(key), valueName ? valueName : "", text, status);
  return status;
}

long CLoggedRegistry::DeleteValue(platform::RegKey key, const char* valueName) {
  const long status = inner_.DeleteValue(key, valueName);
  log_.RegistryAction("delete value", PathOf(key), valueName ? valueName : "", std::string(), status);
  return status;
}

long CLoggedRegistry::DeleteKey(platform::RegKey key, const char* subKey) {
  const long status = inner_.DeleteKey(key, subKey);
  log_.RegistryAction("delete key", Join(key, subKey), nullptr, std::string(), status);
  return status;
}

long CLoggedRegistry::CloseKey(platform::RegKey key) {
  paths_.erase(key);
  return inner_.CloseKey(key);
}

// ---- CLoggedMessageOwner ----------------------------------------------------

int CLoggedMessageOwner::ShowMessage(const std::string& text, const std::string& caption, unsigned type) {
  const int answer = inner_.ShowMessage(text, caption, type);
  log_.MessageShown(text, caption, type, answer);
  return answer;
}
