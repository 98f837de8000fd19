// The install record and the kept originals; see install_record.h.
#include "record/install_record.h"


#include "platform/files.h"
#include "platform/text.h"

namespace {

const char kHeader1[] = "VidudOvev install record 1";
const char kHeader[] = "VidudOvev install record 2";
const char kUnknown[] = "unknown";

// A kept copy is named "<n>_<name>"; the first free n is taken, and the
// search gives up after this many (a folder full of copies of one file).
constexpr int kMostCopies = 999;

constexpr std::uint64_t kMostType = 0xFFFFFFFFULL;  // a registry type is a DWORD
constexpr std::uint64_t kMostSize = ~0ULL;
constexpr long kInvalidData = 13;  // ERROR_INVALID_DATA: an item with an empty place

std::string Escape(const std::string& field) {
  std::string out;
  for (const char c : field) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// The ASCII escapes cannot be the trail byte of a double-byte character
// once the text is UTF-8 again, so bytes are read one by one.
bool Unescape(const std::string& field, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      *out += field[i];
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case '\\': *out += '\\'; break;
      case 't': *out += '\t'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

// Sixteen lower-case hex digits, as the record keeps hashes and marks.
std::string Hex16(std::uint64_t n) { return platform::ToLower(platform::HexNumber(n, 16)); }
std::string HashText(const std::string& bytes) { return Hex16(Fnv1a64(bytes)); }

bool IsHash(const std::string& text) {
  if (text.size() != 16) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// A decimal number as the record writes it: digits only, no sign, space
// or leading zero, at most `most`.
bool ParseDecimal(const std::string& text, std::uint64_t most, std::uint64_t* value) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  std::uint64_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (n > (most - digit) / 10) return false;
    n = n * 10 + digit;
  }
  *value = n;
  return true;
}

// A size and hash pair: both "unknown", or a size and 16 hex digits.
bool IsSizeAndHash(const std::string& size, const std::string& hash) {
  if (size == kUnknown || hash == kUnknown) return size == kUnknown && hash == kUnknown;
  std::uint64_t n = 0;
  return ParseDecimal(size, kMostSize, &n) && IsHash(hash);
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string JoinFields(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + Escape(fields[i]);
  return line;
}

// One journal line in UTF-8 from its text in the code page: the text, a
// tab, the mark of the text's UTF-8 bytes, the line break.
bool MarkedLine(const std::string& text, std::string* utf8) {
  if (!platform::ToUtf8(text, utf8)) return false;
  *utf8 += "\t" + HashText(*utf8) + "\n";
  return true;
}

std::string UpperKey(const std::string& a, const std::string& b = std::string()) {
  return platform::ToUpper(b.empty() ? a : a + "\n" + b);
}

template <typename Item, typename KeyOf>
Item* FindIn(std::vector<Item>& items, std::unordered_map<std::string, std::size_t>& index, const std::string& key,
             KeyOf keyOf) {
  auto lookup = [&]() -> Item* {
    const auto it = index.find(key);
    if (it == index.end() || it->second >= items.size() || keyOf(items[it->second]) != key) return nullptr;
    return &items[it->second];
  };
  if (index.size() == items.size()) {
    if (Item* found = lookup()) return found;
    if (index.find(key) == index.end()) return nullptr;
  }
  // Changed directly since: built again, the first of equal places kept.
  index.clear();
  for (std::size_t i = 0; i < items.size(); ++i) index.emplace(keyOf(items[i]), i);
  if (index.size() != items.size()) {
    // Equal places listed twice: a plain search, and the index left stale.
    for (Item& item : items) {
      if (keyOf(item) == key) return &item;
    }
    return nullptr;
  }
  return lookup();
}

// After a push onto a list of `size` items: the index follows, when it
// was in step before.
void Indexed(std::unordered_map<std::string, std::size_t>& index, std::size_t size, const std::string& key) {
  if (index.size() + 1 == size) index.emplace(key, size - 1);
}

}  // namespace

std::uint64_t Fnv1a64(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

CInstallRecord::CInstallRecord(platform::FileSystem& fileSystem) : files_(fileSystem) {}

void CInstallRecord::Open(const std::string& recordFolder) {
  folder_ = recordFolder;
  path_ = recordFolder + "\\" + kFileName;
  std::string text;
  if (!files_.ReadBytes(path_, &text)) {
    const long error = files_.LastError();
    if (error == platform::FileError::FileNotFound || error == platform::FileError::PathNotFound) return;
    // A record that is there but unreadable is not overwritten with this
    // install's part only.
    readOnly_ = true;
    Fail(error);
    return;
  }
  if (!Parse(text)) {
    readOnly_ = true;
    Fail(platform::FileError::NoUnicodeTranslation);
    return;
  }
  // Appending after a torn tail would bury it in the middle; an older
  // record has no marks to append to.
  started_ = true;
  needsRewrite_ = tornTail_ || text.compare(0, sizeof(kHeader) - 1, kHeader) != 0;
}

bool CInstallRecord::Serialise(std::string* utf8) const {
  std::vector<std::string> lines;
  for (const FileItem& item : files) lines.push_back(JoinFields({"file", item.path, item.size, item.hash}));
  for (const BackupItem& item : backups) {
    lines.push_back(JoinFields({"backup", item.original, item.kept, item.size, item.hash}));
  }
  for (const LoaderItem& item : loaders) lines.push_back(JoinFields({"loader", item.productKey, item.subKey, item.loader}));
  for (const TrustedItem& item : trusted) {
    lines.push_back(JoinFields({"trusted", item.profile, item.beforeAbsent ? "absent" : "value",
                                item.beforeAbsent ? "" : std::to_string(item.beforeType),
                                item.beforeAbsent ? "" : platform::HexBytes(item.beforeData),
                                item.variablesExisted ? "1" : "0", std::to_string(item.writtenType), item.written}));
  }
  if (!installFolder.empty()) lines.push_back(JoinFields({"folder", installFolder}));
  for (const std::string& made : madeFolders) lines.push_back(JoinFields({"made", made}));
  if (!entryRoot.empty()) lines.push_back(JoinFields({"entry", entryRoot, entryKey}));
  for (const std::string& key : createdKeys) lines.push_back(JoinFields({"created", key}));
  for (const std::string& line : unknownLines_) lines.push_back(line);
  std::string text = std::string(kHeader) + "\n";
  for (const std::string& line : lines) {
    std::string marked;
    if (!MarkedLine(line, &marked)) return false;
    text += marked;
  }
  *utf8 = std::move(text);
  return true;
}

bool CInstallRecord::Apply(const std::vector<std::string>& fields, std::vector<std::string>* unknownLines,
                           const std::string& raw) {
  const std::string& kind = fields[0];
  const std::size_t count = fields.size();
  for (std::size_t i = 1; i < count; ++i) {
    // Places are never empty; only a trusted line's before may be.
    if (fields[i].empty() && !(kind == "trusted" && (i == 3 || i == 4 || i == 7))) {
      if (kind == "file" || kind == "backup" || kind == "loader" || kind == "trusted" || kind == "folder" ||
          kind == "made" || kind == "entry" || kind == "created") {
        return false;
      }
    }
  }
  if (kind == "file") {
    if (count != 4 || !IsSizeAndHash(fields[2], fields[3])) return false;
    FileItem noted{fields[1], fields[2], fields[3]};
    if (FileItem* item = FindFile(noted.path)) {
      *item = noted;
    } else {
      files.push_back(noted);
      Indexed(fileIndex_, files.size(), UpperKey(noted.path));
    }
  } else if (kind == "backup") {
    if (count != 5 || !IsSizeAndHash(fields[3], fields[4])) return false;
    backups.push_back({fields[1], fields[2], fields[3], fields[4]});
  } else if (kind == "loader") {
    if (count != 4) return false;
    if (LoaderItem* item = FindLoader(fields[1], fields[2])) {
      item->loader = fields[3];
    } else {
      loaders.push_back({fields[1], fields[2], fields[3]});
      Indexed(loaderIndex_, loaders.size(), UpperKey(fields[1], fields[2]));
    }
  } else if (kind == "trusted") {
    if (count != 8) return false;
    TrustedItem noted;
    noted.profile = fields[1];
    std::uint64_t type = 0;
    if (fields[2] == "absent") {
      if (!fields[3].empty() || !fields[4].empty()) return false;
    } else if (fields[2] == "value") {
      if (!ParseDecimal(fields[3], kMostType, &type) || !platform::FromHexBytes(fields[4], &noted.beforeData)) {
        return false;
      }
      noted.beforeAbsent = false;
      noted.beforeType = static_cast<unsigned long>(type);
    } else {
      return false;
    }
    if (fields[5] != "1" && fields[5] != "0") return false;
    noted.variablesExisted = fields[5] == "1";
    if (!ParseDecimal(fields[6], kMostType, &type)) return false;
    noted.writtenType = static_cast<unsigned long>(type);
    noted.written = fields[7];
    if (TrustedItem* item = FindTrusted(noted.profile)) {
      // The first before stays: the value found before any install.
      item->writtenType = noted.writtenType;
      item->written = noted.written;
    } else {
      trusted.push_back(noted);
      Indexed(trustedIndex_, trusted.size(), UpperKey(noted.profile));
    }
  } else if (kind == "folder") {
    if (count != 2) return false;
    installFolder = fields[1];
  } else if (kind == "made" || kind == "created") {
    if (count != 2) return false;
    std::vector<std::string>& list = kind == "made" ? madeFolders : createdKeys;
    for (const std::string& known : list) {
      if (platform::EqualsNoCase(known, fields[1])) return true;
    }
    list.push_back(fields[1]);
  } else if (kind == "entry") {
    if (count != 3 || (fields[1] != "HKLM" && fields[1] != "HKCU")) return false;
    entryRoot = fields[1];
    entryKey = fields[2];
  } else {
    unknownLines->push_back(raw);  // kept for a later version that knows it
  }
  return true;
}

bool CInstallRecord::Parse(const std::string& utf8) {
  // Lines are cut on the raw bytes: a torn tail may end inside a UTF-8
  // sequence, and a line break is never part of one.
  std::vector<std::string> lines;
  std::string tail;
  for (std::size_t start = 0; start < utf8.size();) {
    const std::size_t end = utf8.find('\n', start);
    if (end == std::string::npos) {
      tail = utf8.substr(start);
      break;
    }
    lines.push_back(utf8.substr(start, end - start));
    start = end + 1;
  }
  bool torn = !tail.empty();
  bool marked = true;
  if (lines.empty()) {
    // Cut while the header was written: nothing was noted yet.
    if (std::string(kHeader).compare(0, tail.size(), tail) != 0 &&
        std::string(kHeader1).compare(0, tail.size(), tail) != 0) {
      return false;
    }
  } else if (lines[0] == kHeader) {
    // Without a cut line after it, the last whole line may still be torn
    // (its line break reached the disk, not all its bytes): its mark tells.
    // With one, it is a line in the middle like any other.
    const std::string& last = lines.back();
    const std::size_t tab = last.rfind('\t');
    if (tail.empty() && lines.size() > 1 &&
        (tab == std::string::npos || last.substr(tab + 1) != HashText(last.substr(0, tab)))) {
      lines.pop_back();
      torn = true;
    }
  } else {
    std::string header = lines[0];
    if (!header.empty() && header.back() == '\r') header.pop_back();
    if (header != kHeader1) return false;
    marked = false;
  }

  // Replayed into a record of its own, so that a refusal changes nothing.
  CInstallRecord parsed(files_);
  std::vector<std::string> unknown;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string line = lines[i];
    if (marked) {
      const std::size_t tab = line.rfind('\t');
      if (tab == std::string::npos || line.substr(tab + 1) != HashText(line.substr(0, tab))) return false;
      line.resize(tab);
    } else {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
    }
    std::string text;
    if (!platform::FromUtf8(line, &text)) return false;
    std::vector<std::string> fields = SplitFields(text);
    for (std::string& field : fields) {
      std::string plain;
      if (!Unescape(field, &plain)) return false;
      field = plain;
    }
    if (!parsed.Apply(fields, &unknown, text)) return false;
  }
  files = std::move(parsed.files);
  backups = std::move(parsed.backups);
  loaders = std::move(parsed.loaders);
  trusted = std::move(parsed.trusted);
  installFolder = std::move(parsed.installFolder);
  madeFolders = std::move(parsed.madeFolders);
  entryRoot = std::move(parsed.entryRoot);
  entryKey = std::move(parsed.entryKey);
  createdKeys = std::move(parsed.createdKeys);
  unknownLines_ = std::move(unknown);
  fileIndex_.clear();
  loaderIndex_.clear();
  trustedIndex_.clear();
  tornTail_ = torn;
  return true;
}

CInstallRecord::FileItem* CInstallRecord::FindFile(const std::string& path) {
  return FindIn(files, fileIndex_, UpperKey(path), [](const FileItem& item) { return UpperKey(item.path); });
}

CInstallRecord::LoaderItem* CInstallRecord::FindLoader(const std::string& productKey, const std::string& subKey) {
  return FindIn(loaders, loaderIndex_, UpperKey(productKey, subKey),
                [](const LoaderItem& item) { return UpperKey(item.productKey, item.subKey); });
}

CInstallRecord::TrustedItem* CInstallRecord::FindTrusted(const std::string& profile) {
  return FindIn(trusted, trustedIndex_, UpperKey(profile), [](const TrustedItem& item) { return UpperKey(item.profile); });
}

void CInstallRecord::Note(const std::vector<std::string>& fields) {
  std::vector<std::string> unknown;
  const std::string text = JoinFields(fields);
  if (!Apply(fields, &unknown, text)) {
    // A line the reader would refuse is never written: in the middle of
    // the journal it would refuse the whole record.
    saveFailed_ = true;
    Fail(kInvalidData);
    return;
  }
  if (folder_.empty() || readOnly_) return;
  if (needsRewrite_) {
    Rewrite();
    return;
  }
  std::string line;
  if (!MarkedLine(text, &line)) {
    // The item stays out of the record; the rest goes on being noted.
    saveFailed_ = true;
    Fail(platform::FileError::NoUnicodeTranslation);
    return;
  }
  if (!started_) line = std::string(kHeader) + "\n" + line;
  if (files_.AppendBytes(path_, line)) {
    started_ = true;
    bytesWritten_ += line.size();
    return;
  }
  // A part of the line may have reached the file: the next item writes the
  // record whole rather than append after it.
  saveFailed_ = true;
  needsRewrite_ = true;
  Fail(files_.LastError());
}

bool CInstallRecord::Rewrite() {
  if (folder_.empty() || readOnly_) return false;
  std::string text;
  if (!Serialise(&text)) {
    saveFailed_ = true;
    Fail(platform::FileError::NoUnicodeTranslation);
    return false;
  }
  const std::string fresh = folder_ + "\\" + kNewFileName;
  if (!files_.WriteBytes(fresh, text) || !files_.MoveReplacing(fresh, path_)) {
    const long error = files_.LastError();
    files_.Remove(fresh);
    saveFailed_ = true;
    needsRewrite_ = true;
    Fail(error);
    return false;
  }
  bytesWritten_ += text.size();
  saveFailed_ = false;
  needsRewrite_ = false;
  started_ = true;
  return true;
}

void CInstallRecord::NoteFile(const std::string& path) {
  std::string size = kUnknown, hash = kUnknown;
  std::string content;
  if (files_.ReadBytes(path, &content)) {
    size = std::to_string(content.size());
    hash = HashText(content);
  } else {
    // Never matches a later content: an uninstall leaves the file alone.
    incomplete_ = true;
    Fail(files_.LastError());
  }
  Note({"file", path, size, hash});
}

void CInstallRecord::NoteLoader(const std::string& productKey, const std::string& subKey, const std::string& loader) {
  Note({"loader", productKey, subKey, loader});
}

void CInstallRecord::NoteTrustedPath(const TrustedItem& item) {
  Note({"trusted", item.profile, item.beforeAbsent ? "absent" : "value",
        item.beforeAbsent ? "" : std::to_string(item.beforeType),
        item.beforeAbsent ? "" : platform::HexBytes(item.beforeData), item.variablesExisted ? "1" : "0",
        std::to_string(item.writtenType), item.written});
}

void CInstallRecord::NoteInstallFolder(const std::string& folder) {
  // A repair, or a sign-in run again, names the same folder: the journal
  // would grow by a line each time.
  if (!folder.empty() && folder == installFolder) return;
  Note({"folder", folder});
}

void CInstallRecord::NoteMadeFolder(const std::string& folder) {
  for (const std::string& made : madeFolders) {
    if (platform::EqualsNoCase(made, folder)) return;
  }
  Note({"made", folder});
}

void CInstallRecord::NoteCreatedKey(const std::string& keyPath) {
  if (CreatedKey(keyPath)) return;
  Note({"created", keyPath});
}

void CInstallRecord::NoteUnrecorded(long error) {
  incomplete_ = true;
  Fail(error);
}

bool CInstallRecord::CreatedKey(const std::string& keyPath) const {
  for (const std::string& key : createdKeys) {
    if (platform::EqualsNoCase(key, keyPath)) return true;
  }
  return false;
}

void CInstallRecord::NoteUninstallEntry(const std::string& root, const std::string& keyPath) {
  Note({"entry", root, keyPath});
}

bool CInstallRecord::KeepOriginal(const std::string& path) {
  if (folder_.empty()) return true;
  if (files_.GetAttributes(path) == platform::kInvalidAttributes) return true;  // nothing to replace
  std::string content;
  std::string size = kUnknown, hash = kUnknown;
  if (files_.ReadBytes(path, &content)) {
    size = std::to_string(content.size());
    hash = HashText(content);
  }
  if (hash != kUnknown) {
    const FileItem* ours = FindFile(path);
    if (ours && ours->size == size && ours->hash == hash) return true;
    for (const BackupItem& item : backups) {
      if (platform::EqualsNoCase(item.original, path) && item.size == size && item.hash == hash) return true;
    }
  }
  const std::string backupFolder = folder_ + "\\" + kBackupFolder;
  files_.MakeFolder(backupFolder);
  const std::string name = platform::NameOf(path);
  for (int n = 1; n <= kMostCopies; ++n) {
    const std::string kept = backupFolder + "\\" + std::to_string(n) + "_" + name;
    // Never over a kept copy: a name that is taken is passed.
    if (files_.Copy(path, kept, true)) {
      Note({"backup", path, kept, size, hash});
      return true;
    }
    if (files_.LastError() != platform::FileError::FileExists) return false;
  }
  return false;
}

SetupProblem CInstallRecord::Problem() const {
  return {SetupProblem::RecordWrite, 0, path_, std::string(), error_};
}

void CInstallRecord::Fail(long error) { error_ = error; }
