// The install record and the kept originals; see install_record.h.
#include "record/install_record.h"

#include <cstdlib>

#include "platform/files.h"
#include "platform/text.h"

namespace {

const char kHeader[] = "VidudOvev install record 1";
const char kUnknown[] = "unknown";

// A kept copy is named "<n>_<name>"; the first free n is taken, and the
// search gives up after this many (a folder full of copies of one file).
constexpr int kMostCopies = 999;

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

// Sixteen lower-case hex digits of the hash, as the record keeps them.
std::string HashText(const std::string& bytes) {
  return platform::ToLower(platform::HexNumber(Fnv1a64(bytes), 16));
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
  return line + "\n";
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
  }
}

bool CInstallRecord::Serialise(std::string* utf8) const {
  std::string text = std::string(kHeader) + "\n";
  for (const FileItem& item : files) text += JoinFields({"file", item.path, item.size, item.hash});
  for (const BackupItem& item : backups) {
    text += JoinFields({"backup", item.original, item.kept, item.size, item.hash});
  }
  for (const LoaderItem& item : loaders) text += JoinFields({"loader", item.productKey, item.subKey, item.loader});
  for (const TrustedItem& item : trusted) {
    text += JoinFields({"trusted", item.profile, item.beforeAbsent ? "absent" : "value",
                        item.beforeAbsent ? "" : std::to_string(item.beforeType),
                        item.beforeAbsent ? "" : platform::HexBytes(item.beforeData), item.variablesExisted ? "1" : "0",
                        std::to_string(item.writtenType), item.written});
  }
  if (!installFolder.empty()) text += JoinFields({"folder", installFolder});
  for (const std::string& made : madeFolders) text += JoinFields({"made", made});
  if (!entryRoot.empty()) text += JoinFields({"entry", entryRoot, entryKey});
  for (const std::string& line : unknownLines_) text += line + "\n";
  return platform::ToUtf8(text, utf8);
}

bool CInstallRecord::Parse(const std::string& utf8) {
  std::string text;
  if (!platform::FromUtf8(utf8, &text)) return false;
  std::vector<FileItem> newFiles;
  std::vector<BackupItem> newBackups;
  std::vector<LoaderItem> newLoaders;
  std::vector<TrustedItem> newTrusted;
  std::vector<std::string> unknown;
  std::string newFolder, newRoot, newKey;
  std::vector<std::string> newMade;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      if (line != kHeader) return false;
      first = false;
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> fields = SplitFields(line);
    for (std::string& field : fields) {
      std::string plain;
      if (!Unescape(field, &plain)) return false;
      field = plain;
    }
    const std::string& kind = fields[0];
    if (kind == "file" && fields.size() == 4) {
      newFiles.push_back({fields[1], fields[2], fields[3]});
    } else if (kind == "backup" && fields.size() == 5) {
      newBackups.push_back({fields[1], fields[2], fields[3], fields[4]});
    } else if (kind == "loader" && fields.size() == 4) {
      newLoaders.push_back({fields[1], fields[2], fields[3]});
    } else if (kind == "trusted" && fields.size() == 8) {
      TrustedItem item;
      item.profile = fields[1];
      item.beforeAbsent = fields[2] == "absent";
      if (!item.beforeAbsent) {
        if (fields[2] != "value" || !platform::FromHexBytes(fields[4], &item.beforeData)) return false;
        item.beforeType = std::strtoul(fields[3].c_str(), nullptr, 10);
      }
      item.variablesExisted = fields[5] == "1";
      item.writtenType = std::strtoul(fields[6].c_str(), nullptr, 10);
      item.written = fields[7];
      newTrusted.push_back(item);
    } else if (kind == "folder" && fields.size() == 2) {
      newFolder = fields[1];
    } else if (kind == "made" && fields.size() == 2) {
      newMade.push_back(fields[1]);
    } else if (kind == "entry" && fields.size() == 3) {
      newRoot = fields[1];
      newKey = fields[2];
    } else if (kind == "file" || kind == "backup" || kind == "loader" || kind == "trusted" || kind == "folder" ||
               kind == "entry" || kind == "made") {
      return false;
    } else {
      unknown.push_back(line);  // kept for a later version that knows it
    }
  }
  if (first) return false;
  files = std::move(newFiles);
  backups = std::move(newBackups);
  loaders = std::move(newLoaders);
  trusted = std::move(newTrusted);
  installFolder = std::move(newFolder);
  madeFolders = std::move(newMade);
  entryRoot = std::move(newRoot);
  entryKey = std::move(newKey);
  unknownLines_ = std::move(unknown);
  return true;
}

void CInstallRecord::NoteFile(const std::string& path) {
  FileItem noted{path, kUnknown, kUnknown};
  std::string content;
  if (files_.ReadBytes(path, &content)) {
    noted.size = std::to_string(content.size());
    noted.hash = HashText(content);
  } else {
    // Never matches a later content: an uninstall leaves the file alone.
    incomplete_ = true;
    Fail(files_.LastError());
  }
  bool found = false;
  for (FileItem& item : files) {
    if (platform::EqualsNoCase(item.path, path)) {
      item = noted;
      found = true;
    }
  }
  if (!found) files.push_back(noted);
  Save();
}

void CInstallRecord::NoteLoader(const std::string& productKey, const std::string& subKey, const std::string& loader) {
  for (LoaderItem& item : loaders) {
    if (platform::EqualsNoCase(item.productKey, productKey) && platform::EqualsNoCase(item.subKey, subKey)) {
      item.loader = loader;
      Save();
      return;
    }
  }
  loaders.push_back({productKey, subKey, loader});
  Save();
}

void CInstallRecord::NoteTrustedPath(const TrustedItem& noted) {
  for (TrustedItem& item : trusted) {
    if (platform::EqualsNoCase(item.profile, noted.profile)) {
      // The first before stays: the value found before any install.
      item.writtenType = noted.writtenType;
      item.written = noted.written;
      Save();
      return;
    }
  }
  trusted.push_back(noted);
  Save();
}

void CInstallRecord::NoteInstallFolder(const std::string& folder) {
  installFolder = folder;
  Save();
}

void CInstallRecord::NoteMadeFolder(const std::string& folder) {
  for (const std::string& made : madeFolders) {
    if (platform::EqualsNoCase(made, folder)) return;
  }
  madeFolders.push_back(folder);
  Save();
}

void CInstallRecord::NoteUninstallEntry(const std::string& root, const std::string& keyPath) {
  entryRoot = root;
  entryKey = keyPath;
  Save();
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
    for (const FileItem& item : files) {
      if (platform::EqualsNoCase(item.path, path) && item.size == size && item.hash == hash) return true;
    }
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
      backups.push_back({path, kept, size, hash});
      Save();
      return true;
    }
    if (files_.LastError() != platform::FileError::FileExists) return false;
  }
  return false;
}

SetupProblem CInstallRecord::Problem() const {
  return {SetupProblem::RecordWrite, 0, path_, std::string(), error_};
}

void CInstallRecord::Save() {
  if (folder_.empty() || readOnly_) return;
  std::string text;
  if (!Serialise(&text)) {
    saveFailed_ = true;
    Fail(platform::FileError::NoUnicodeTranslation);
    return;
  }
  saveFailed_ = !files_.WriteBytes(path_, text);
  if (saveFailed_) Fail(files_.LastError());
}

void CInstallRecord::Fail(long error) { error_ = error; }
