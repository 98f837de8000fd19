// In-memory file system; see memory_files.h.
#include "platform/memory/memory_files.h"

#include <stdexcept>
#include <utility>

#include "platform/memory/foreign_names.h"
#include "platform/text.h"

namespace platform {
namespace {

// Attribute bits SetFileAttributes accepts; the others (directory among
// them) belong to the file system.
constexpr unsigned long kSettableAttributes = 0x1 | 0x2 | 0x4 | 0x20 | 0x80 | 0x100 | 0x1000 | 0x2000;

// GetModuleFileNameA into the system implementation's buffer of MAX_PATH
// characters and the zero.
constexpr std::size_t kModulePathLimit = 260;
constexpr long kInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The characters of a string, each as its bytes.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> characters;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = CharLength(text, pos);
    characters.push_back(text.substr(pos, length));
    pos += length;
  }
  return characters;
}

// Wildcard match by characters, ignoring case: '*' any run, '?' any one
// character. "*.*" is the old spelling of "*" and matches dotless names.
bool Matches(const std::string& pattern, const std::string& name) {
  const std::vector<std::string> p = Characters(ToUpper(pattern == "*.*" ? std::string("*") : pattern));
  const std::vector<std::string> n = Characters(ToUpper(name));
  // matched[j]: the pattern read so far matches the first j characters.
  std::vector<bool> matched(n.size() + 1, false);
  matched[0] = true;
  for (const std::string& c : p) {
    std::vector<bool> next(n.size() + 1, false);
    if (c == "*") {
      bool any = false;
      for (std::size_t j = 0; j <= n.size(); ++j) {
        any = any || matched[j];
        next[j] = any;
      }
    } else {
      for (std::size_t j = 1; j <= n.size(); ++j) next[j] = matched[j - 1] && (c == "?" || c == n[j - 1]);
    }
    matched.swap(next);
  }
  return matched[n.size()];
}

bool HasWildcard(const std::string& name) {
  return FindChar(name, '*') != npos || FindChar(name, '?') != npos;
}

bool IsInvalidName(const std::string& name) {
  for (const char c : {'<', '>', '"', '|'}) {
    if (FindChar(name, c) != npos) return true;
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

std::vector<std::string> Upper(const std::vector<std::string>& parts) {
  std::vector<std::string> upper;
  for (const std::string& part : parts) upper.push_back(ToUpper(part));
  return upper;
}

// `path` is `prefix` or lies below it (both upper-cased parts).
bool Within(const std::vector<std::string>& path, const std::vector<std::string>& prefix) {
  if (prefix.size() > path.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (path[i] != prefix[i]) return false;
  }
  return true;
}

unsigned long FileAttributes(unsigned long attributes) {
  attributes &= kSettableAttributes;
  if (attributes & ~kAttrNormal) attributes &= ~kAttrNormal;
  return attributes == 0 ? kAttrNormal : attributes;
}

unsigned long FolderAttributes(unsigned long attributes) {
  return ((attributes & kSettableAttributes) & ~kAttrNormal) | kAttrDirectory;
}

}  // namespace

struct MemoryFileSystem::Node {
  std::string name;
  bool folder = false;
  unsigned long attributes = 0;
  std::string content;
  std::map<std::string, std::pair<std::string, std::string>> streams;  // upper-cased name -> name, content
  std::map<std::string, std::unique_ptr<Node>> children;               // by upper-cased name
  bool heldOpen = false;
  bool readersOnly = false;  // HoldAgainstWriters: read, never written
  // Open in some way that keeps writers, renames and deletes out.
  bool Locked() const { return heldOpen || readersOnly; }
  int links = 1;  // the names the file has (SetLinkCount)
  std::string access;  // set by MakeOwnedFolder or SetAccess; empty: the parent's
  unsigned int codePage = CurrentCodePage();  // the one `name` was written in
};

struct MemoryFileSystem::Parsed {
  std::vector<std::string> parts;  // the drive ("C:") first, then one name per level
  std::string stream;              // after "file:", empty when none
  bool trailingSeparator = false;
};

MemoryFileSystem::MemoryFileSystem() {
  current_ = {"C:"};
  MakePath(current_, 1);
}

MemoryFileSystem::~MemoryFileSystem() = default;

bool MemoryFileSystem::Parse(const std::string& path, Parsed* parsed) const {
  *parsed = Parsed();
  if (path.empty()) return false;
  std::vector<std::string> parts;
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0])) {
    const std::string drive = ToUpper(path.substr(0, 2));
    start = 2;
    if (start < path.size() && IsSeparator(path[start])) {
      parts = {drive};
    } else {
      parts = current_[0] == drive ? current_ : std::vector<std::string>{drive};
    }
  } else if (IsSeparator(path[0])) {
    if (path.size() > 1 && IsSeparator(path[1])) return false;  // network paths are not modelled
    parts = {current_[0]};
  } else {
    parts = current_;
  }

  // Split by characters, so that a trail byte 0x5C stays in its name.
  std::vector<std::string> pieces(1);
  for (std::size_t pos = start; pos < path.size();) {
    const std::size_t length = CharLength(path, pos);
    if (length == 1 && IsSeparator(path[pos])) {
      pieces.emplace_back();
    } else {
      pieces.back().append(path, pos, length);
    }
    pos += length;
  }
  parsed->trailingSeparator = pieces.size() > 1 && pieces.back().empty();

  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::string& piece = pieces[i];
    if (piece.empty() || piece == ".") continue;
    if (piece == "..") {
      if (parts.size() > 1) parts.pop_back();
      continue;
    }
    if (IsInvalidName(piece)) return false;
    const std::size_t colon = FindChar(piece, ':');
    if (colon != npos) {
      // "file:stream" may only end the path.
      if (i + 1 != pieces.size() || colon == 0 || colon + 1 == piece.size()) return false;
      parsed->stream = piece.substr(colon + 1);
      parts.push_back(piece.substr(0, colon));
      continue;
    }
    parts.push_back(piece);
  }
  parsed->parts = std::move(parts);
  return true;
}

MemoryFileSystem::Node* MemoryFileSystem::Walk(const std::vector<std::string>& parts, long* error) const {
  const auto drive = drives_.find(ToUpper(parts[0]));
  if (drive == drives_.end()) {
    *error = FileError::PathNotFound;
    return nullptr;
  }
  Node* node = drive->second.get();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (!node->folder) {
      *error = FileError::PathNotFound;
      return nullptr;
    }
    const auto child = node->children.find(ToUpper(parts[i]));
    if (child == node->children.end()) {
      *error = i + 1 == parts.size() ? FileError::FileNotFound : FileError::PathNotFound;
      return nullptr;
    }
    node = child->second.get();
  }
  return node;
}

MemoryFileSystem::Node* MemoryFileSystem::Lookup(const std::string& path, Parsed* parsed, long* error) const {
  if (!Parse(path, parsed)) {
    *error = FileError::InvalidName;
    return nullptr;
  }
  return Walk(parsed->parts, error);
}

MemoryFileSystem::Node* MemoryFileSystem::MakePath(const std::vector<std::string>& parts, std::size_t count) {
  std::unique_ptr<Node>& drive = drives_[ToUpper(parts[0])];
  if (!drive) {
    drive = std::make_unique<Node>();
    drive->name = ToUpper(parts[0]);
    drive->folder = true;
    drive->attributes = kAttrDirectory;
  }
  Node* node = drive.get();
  for (std::size_t i = 1; i < count; ++i) {
    std::unique_ptr<Node>& child = node->children[ToUpper(parts[i])];
    if (!child) {
      child = std::make_unique<Node>();
      child->name = parts[i];
      child->folder = true;
      child->attributes = kAttrDirectory;
    } else if (!child->folder) {
      throw std::invalid_argument("a file stands where a folder is wanted: " + parts[i]);
    }
    node = child.get();
  }
  return node;
}

MemoryFileSystem::Node* MemoryFileSystem::Require(const std::string& path) const {
  Parsed parsed;
  long error = 0;
  Node* node = Lookup(path, &parsed, &error);
  if (!node || !parsed.stream.empty()) throw std::invalid_argument("no such entry: " + path);
  return node;
}

bool MemoryFileSystem::Fail(long error) {
  lastError_ = error;
  return false;
}

bool MemoryFileSystem::Fails(Op op, const std::vector<std::string>& parts) {
  const std::vector<std::string> upper = Upper(parts);
  for (const Fault& fault : faults_) {
    if (fault.op != op) continue;
    const bool pathless = op == Op::ModulePath || op == Op::Environment;
    if (!pathless && !Within(upper, fault.parts)) continue;
    return !Fail(fault.error);
  }
  return false;
}

std::string MemoryFileSystem::ModulePath() {
  Count(Op::ModulePath);
  if (Fails(Op::ModulePath, {})) return std::string();
  if (!CarriedByCodePage(modulePath_, modulePathCodePage_)) {
    Fail(FileError::NoUnicodeTranslation);
    return std::string();
  }
  // As the system's implementation: a path longer than MAX_PATH characters
  // would come back cut, so it counts as none.
  if (modulePath_.size() > kModulePathLimit) {
    Fail(kInsufficientBuffer);
    return std::string();
  }
  return modulePath_;
}

FindHandle MemoryFileSystem::FindFirst(const std::string& pattern, FindEntry* entry) {
  Count(Op::FindFirst);
  Parsed parsed;
  if (!Parse(pattern, &parsed) || !parsed.stream.empty()) return FailFind(FileError::InvalidName);
  // A path that ends in a backslash names no entry to find.
  if (parsed.trailingSeparator || parsed.parts.size() < 2) return FailFind(FileError::FileNotFound);
  if (Fails(Op::FindFirst, parsed.parts)) return kNoFind;
  for (std::size_t i = 0; i + 1 < parsed.parts.size(); ++i) {
    if (HasWildcard(parsed.parts[i])) return FailFind(FileError::InvalidName);
  }
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  long error = 0;
  const Node* folder = Walk(folderParts, &error);
  if (!folder || !folder->folder) return FailFind(FileError::PathNotFound);

  const std::string& name = parsed.parts.back();
  Listing listing;
  listing.folder = Upper(folderParts);
  if (folderParts.size() > 1) {
    for (const char* dots : {".", ".."}) {
      if (Matches(name, dots)) listing.entries.push_back({dots, kAttrDirectory});
    }
  }
  for (const auto& child : folder->children) {
    const Node& found = *child.second;
    if (!Matches(name, found.name)) continue;
    if (CarriedByCodePage(found.name, found.codePage)) {
      listing.entries.push_back({found.name, found.attributes});
    } else {
      listing.entries.push_back(
          {NarrowCallName(found.name, found.codePage), found.attributes, FileError::NoUnicodeTranslation});
    }
  }
  if (listing.entries.empty()) return FailFind(FileError::FileNotFound);

  if (entry) *entry = listing.entries[0];
  listing.next = 1;
  const FindHandle handle = nextFind_;
  nextFind_ += 4;
  finds_[handle] = std::move(listing);
  return handle;
}

bool MemoryFileSystem::FindNext(FindHandle find, FindEntry* entry) {
  Count(Op::FindNext);
  const auto it = finds_.find(find);
  if (it == finds_.end()) return Fail(FileError::InvalidHandle);
  if (Fails(Op::FindNext, it->second.folder)) return false;
  Listing& listing = it->second;
  if (listing.next >= listing.entries.size()) return Fail(FileError::NoMoreFiles);
  if (entry) *entry = listing.entries[listing.next];
  ++listing.next;
  return true;
}

void MemoryFileSystem::FindEnd(FindHandle find) { finds_.erase(find); }

bool MemoryFileSystem::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  Count(Op::Copy);
  // The copy's time: the waiting caller is called, as the system's copy
  // calls it while it runs.
  if (onCopy) onCopy(to);
  if (waitHook_) waitHook_();
  Parsed source, destination;
  if (!Parse(from, &source) || !Parse(to, &destination)) return Fail(FileError::InvalidName);
  if (!source.stream.empty() || !destination.stream.empty() || destination.trailingSeparator) {
    return Fail(FileError::InvalidName);
  }
  if (Fails(Op::Copy, source.parts) || Fails(Op::Copy, destination.parts)) return false;

  long error = 0;
  const Node* original = Walk(source.parts, &error);
  if (!original) return Fail(error);
  if (original->folder) return Fail(FileError::AccessDenied);
  if (original->heldOpen) return Fail(FileError::SharingViolation);

  if (destination.parts.size() < 2) return Fail(FileError::AccessDenied);
  const std::vector<std::string> folderParts(destination.parts.begin(), destination.parts.end() - 1);
  Node* folder = Walk(folderParts, &error);
  if (!folder || !folder->folder) return Fail(FileError::PathNotFound);

  std::unique_ptr<Node>& slot = folder->children[ToUpper(destination.parts.back())];
  if (slot) {
    if (slot.get() == original) return Fail(FileError::SharingViolation);
    if (slot->folder) return Fail(FileError::AccessDenied);
    if (failIfExists) return Fail(FileError::FileExists);
    if (slot->Locked()) return Fail(FileError::SharingViolation);
    // CopyFile does not overwrite a read-only or a hidden file.
    if (slot->attributes & (kAttrReadOnly | kAttrHidden)) return Fail(FileError::AccessDenied);
  } else {
    slot = std::make_unique<Node>();
    slot->name = destination.parts.back();
  }
  slot->content = original->content;
  slot->attributes = original->attributes;
  slot->streams = original->streams;
  return true;
}

bool MemoryFileSystem::ReadBytes(const std::string& path, std::string* bytes) {
  Count(Op::ReadBytes);
  Parsed parsed;
  if (!Parse(path, &parsed) || !parsed.stream.empty() || parsed.trailingSeparator) return Fail(FileError::InvalidName);
  if (Fails(Op::ReadBytes, parsed.parts)) return false;
  long error = 0;
  const Node* node = Walk(parsed.parts, &error);
  if (!node) return Fail(error);
  if (node->folder) return Fail(FileError::AccessDenied);
  if (node->heldOpen) return Fail(FileError::SharingViolation);
  if (bytes) *bytes = node->content;
  return true;
}

MemoryFileSystem::Node* MemoryFileSystem::FileToWrite(Op op, const std::string& path, unsigned long refusedMarks) {
  Count(op);
  Parsed parsed;
  if (!Parse(path, &parsed) || !parsed.stream.empty() || parsed.trailingSeparator) {
    Fail(FileError::InvalidName);
    return nullptr;
  }
  if (Fails(op, parsed.parts)) return nullptr;
  if (parsed.parts.size() < 2) {
    Fail(FileError::AccessDenied);
    return nullptr;
  }
  long error = 0;
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  Node* folder = Walk(folderParts, &error);
  if (!folder || !folder->folder) {
    Fail(FileError::PathNotFound);
    return nullptr;
  }
  std::unique_ptr<Node>& slot = folder->children[ToUpper(parsed.parts.back())];
  if (!slot) {
    slot = std::make_unique<Node>();
    slot->name = parsed.parts.back();
    slot->attributes = kAttrArchive;
    return slot.get();
  }
  error = slot->folder ? FileError::AccessDenied
          : slot->Locked() ? FileError::SharingViolation
          : (slot->attributes & refusedMarks) ? FileError::AccessDenied
                                              : 0;
  if (error) {
    Fail(error);
    return nullptr;
  }
  return slot.get();
}

bool MemoryFileSystem::WriteBytes(const std::string& path, const std::string& bytes) {
  Node* file = FileToWrite(Op::WriteBytes, path, kAttrReadOnly | kAttrHidden);
  if (!file) return false;
  file->streams.clear();
  file->content = bytes;
  return true;
}

// Opening an existing file keeps its attributes: only read-only refuses.
bool MemoryFileSystem::AppendBytes(const std::string& path, const std::string& bytes, std::uint64_t* sizeBefore) {
  Node* file = FileToWrite(Op::AppendBytes, path, kAttrReadOnly);
  if (!file) return false;
  if ((file->attributes & kAttrReparsePoint) || file->links > 1) return Fail(FileError::AccessDenied);
  if (sizeBefore) *sizeBefore = file->content.size();
  file->content += bytes;
  return true;
}

bool MemoryFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  Count(Op::MoveReplacing);
  Parsed source, target;
  long error = 0;
  Node* node = Lookup(from, &source, &error);
  if (!source.parts.empty() && Fails(Op::MoveReplacing, source.parts)) return false;
  if (!Parse(to, &target) || !source.stream.empty() || !target.stream.empty() || target.trailingSeparator) {
    return Fail(FileError::InvalidName);
  }
  if (Fails(Op::MoveReplacing, target.parts)) return false;
  if (!node) return Fail(error);
  if (node->folder || source.parts.size() < 2 || target.parts.size() < 2) return Fail(FileError::AccessDenied);
  if (node->Locked()) return Fail(FileError::SharingViolation);
  if (ToUpper(source.parts[0]) != ToUpper(target.parts[0])) return Fail(FileError::NotSameDevice);
  const std::vector<std::string> targetFolderParts(target.parts.begin(), target.parts.end() - 1);
  Node* targetFolder = Walk(targetFolderParts, &error);
  if (!targetFolder || !targetFolder->folder) return Fail(FileError::PathNotFound);
  const std::string targetKey = ToUpper(target.parts.back());
  const auto there = targetFolder->children.find(targetKey);
  if (there != targetFolder->children.end()) {
    Node* old = there->second.get();
    if (old == node) return true;  // itself, under another case
    // A file held open cannot be unlinked for the new one: access denied,
    // as for a read-only file, not a sharing violation.
    if (old->folder || (old->attributes & kAttrReadOnly) || old->Locked()) return Fail(FileError::AccessDenied);
  }
  const std::vector<std::string> sourceFolderParts(source.parts.begin(), source.parts.end() - 1);
  Node* sourceFolder = Walk(sourceFolderParts, &error);
  std::unique_ptr<Node> moved = std::move(sourceFolder->children[ToUpper(source.parts.back())]);
  sourceFolder->children.erase(ToUpper(source.parts.back()));
  moved->name = target.parts.back();
  targetFolder->children[targetKey] = std::move(moved);
  return true;
}

unsigned long MemoryFileSystem::GetAttributes(const std::string& path) {
  Count(Op::GetAttributes);
  Parsed parsed;
  long error = 0;
  const Node* node = Lookup(path, &parsed, &error);
  if (!parsed.parts.empty() && Fails(Op::GetAttributes, parsed.parts)) return kInvalidAttributes;
  if (node) {
    if (parsed.trailingSeparator && !node->folder) {
      error = FileError::InvalidName;
    } else if (!parsed.stream.empty() && !node->streams.count(ToUpper(parsed.stream))) {
      error = FileError::FileNotFound;
    } else {
      return node->attributes;
    }
  }
  Fail(error);
  return kInvalidAttributes;
}

bool MemoryFileSystem::SetAttributes(const std::string& path, unsigned long attributes) {
  Count(Op::SetAttributes);
  Parsed parsed;
  long error = 0;
  Node* node = Lookup(path, &parsed, &error);
  if (!parsed.parts.empty() && Fails(Op::SetAttributes, parsed.parts)) return false;
  if (!node) return Fail(error);
  if (!parsed.stream.empty()) return Fail(FileError::InvalidName);
  node->attributes = node->folder ? FolderAttributes(attributes) : FileAttributes(attributes);
  return true;
}

bool MemoryFileSystem::Remove(const std::string& path) {
  Count(Op::Remove);
  Parsed parsed;
  long error = 0;
  Node* node = Lookup(path, &parsed, &error);
  if (!parsed.parts.empty() && Fails(Op::Remove, parsed.parts)) return false;
  if (!node) return Fail(error);
  if (!parsed.stream.empty()) {
    // Read-only covers every stream of the file.
    if (node->folder) return Fail(FileError::FileNotFound);
    if (node->attributes & kAttrReadOnly) return Fail(FileError::AccessDenied);
    if (!node->streams.erase(ToUpper(parsed.stream))) return Fail(FileError::FileNotFound);
    return true;
  }
  if (node->folder || parsed.parts.size() < 2) return Fail(FileError::AccessDenied);
  if (node->attributes & kAttrReadOnly) return Fail(FileError::AccessDenied);
  if (node->Locked()) return Fail(FileError::SharingViolation);
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  Walk(folderParts, &error)->children.erase(ToUpper(parsed.parts.back()));
  return true;
}

CheckedRemove MemoryFileSystem::RemoveIfOurs(const std::string& path,
                                             const std::function<bool(const std::string& content)>& ours) {
  Count(Op::RemoveIfOurs);
  Parsed parsed;
  long error = 0;
  Node* node = Lookup(path, &parsed, &error);
  if (!parsed.parts.empty() && Fails(Op::RemoveIfOurs, parsed.parts)) return CheckedRemove::Failed;
  if (!node) {
    Fail(error);
    return CheckedRemove::Failed;
  }
  if (!parsed.stream.empty()) {
    Fail(FileError::InvalidName);
    return CheckedRemove::Failed;
  }
  if (node->folder || parsed.parts.size() < 2) {
    Fail(FileError::AccessDenied);
    return CheckedRemove::Failed;
  }
  if (node->Locked()) {
    Fail(FileError::SharingViolation);
    return CheckedRemove::Failed;
  }
  // A link anywhere on the way: the handle's final path is not `path`.
  for (std::size_t count = 2; count <= parsed.parts.size(); ++count) {
    const std::vector<std::string> upTo(parsed.parts.begin(), parsed.parts.begin() + count);
    if (Walk(upTo, &error)->attributes & kAttrReparsePoint) {
      Fail(FileError::ReparsePoint);
      return CheckedRemove::Failed;
    }
  }
  if (!ours(node->content)) return CheckedRemove::Kept;
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  Walk(folderParts, &error)->children.erase(ToUpper(parsed.parts.back()));
  return CheckedRemove::Removed;
}

void MemoryFileSystem::MarkReparsePoint(const std::string& path) { Require(path)->attributes |= kAttrReparsePoint; }

bool MemoryFileSystem::MakeFolder(const std::string& path) {
  Count(Op::MakeFolder);
  Parsed parsed;
  if (!Parse(path, &parsed) || !parsed.stream.empty()) return Fail(FileError::InvalidName);
  if (Fails(Op::MakeFolder, parsed.parts)) return false;
  if (parsed.parts.size() < 2) return Fail(FileError::AlreadyExists);
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  long error = 0;
  Node* folder = Walk(folderParts, &error);
  if (!folder || !folder->folder) return Fail(FileError::PathNotFound);
  std::unique_ptr<Node>& slot = folder->children[ToUpper(parsed.parts.back())];
  if (slot) return Fail(FileError::AlreadyExists);
  slot = std::make_unique<Node>();
  slot->name = parsed.parts.back();
  slot->folder = true;
  slot->attributes = kAttrDirectory;
  return true;
}

bool MemoryFileSystem::RemoveFolder(const std::string& path) {
  Count(Op::RemoveFolder);
  Parsed parsed;
  long error = 0;
  Node* node = Lookup(path, &parsed, &error);
  if (!parsed.parts.empty() && Fails(Op::RemoveFolder, parsed.parts)) return false;
  if (!node) return Fail(error);
  if (!parsed.stream.empty() || !node->folder) return Fail(FileError::DirectoryName);
  if (parsed.parts.size() < 2) return Fail(FileError::AccessDenied);
  if (!node->children.empty()) return Fail(FileError::DirNotEmpty);
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  Walk(folderParts, &error)->children.erase(ToUpper(parsed.parts.back()));
  return true;
}

bool MemoryFileSystem::HoldsOpen(const Node& node) {
  if (node.Locked()) return true;
  for (const auto& child : node.children) {
    if (HoldsOpen(*child.second)) return true;
  }
  return false;
}

namespace {

std::string JoinParts(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : "\\") + part;
  return joined;
}

}  // namespace

bool MemoryFileSystem::MakeOwnedFolder(const std::string& path, const char* access, std::string* movedAside) {
  Count(Op::MakeOwnedFolder);
  if (movedAside) movedAside->clear();
  Parsed parsed;
  if (!Parse(path, &parsed) || !parsed.stream.empty()) return Fail(FileError::InvalidName);
  if (Fails(Op::MakeOwnedFolder, parsed.parts)) return false;
  if (parsed.parts.size() < 2) return Fail(FileError::AccessDenied);  // a drive root keeps its own
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  long error = 0;
  Node* folder = Walk(folderParts, &error);
  if (!folder || !folder->folder) return Fail(FileError::PathNotFound);
  const std::string key = ToUpper(parsed.parts.back());
  std::unique_ptr<Node>& slot = folder->children[key];
  if (slot && slot->folder && !(slot->attributes & kAttrReparsePoint) && slot->access == access) {
    return true;  // ours: kept, its list set again (the same)
  }
  if (slot) {
    // Not ours: renamed aside, as Windows' MoveFile would; refused while
    // anything below it is held open.
    if (HoldsOpen(*slot)) return Fail(FileError::SharingViolation);
    std::string asideName;
    for (unsigned serial = 1;; ++serial) {
      asideName = parsed.parts.back() + ".moved-" + HexNumber(serial * 0x9E3779B1u, 12);
      if (!folder->children.count(ToUpper(asideName))) break;
    }
    std::unique_ptr<Node> moved = std::move(slot);
    moved->name = asideName;
    folder->children[ToUpper(asideName)] = std::move(moved);
    if (movedAside) *movedAside = JoinParts(folderParts) + "\\" + asideName;
  }
  std::unique_ptr<Node>& fresh = folder->children[key];
  fresh = std::make_unique<Node>();
  fresh->name = parsed.parts.back();
  fresh->folder = true;
  fresh->attributes = kAttrDirectory;
  fresh->access = access;
  return true;
}

bool MemoryFileSystem::MakeFreshFolder(const std::string& prefix, const char* access, std::string* made) {
  Count(Op::MakeFreshFolder);
  Parsed parsed;
  if (!Parse(prefix + "0", &parsed) || !parsed.stream.empty() || parsed.trailingSeparator) {
    return Fail(FileError::InvalidName);
  }
  if (Fails(Op::MakeFreshFolder, parsed.parts)) return false;
  if (parsed.parts.size() < 2) return Fail(FileError::AccessDenied);
  const std::vector<std::string> folderParts(parsed.parts.begin(), parsed.parts.end() - 1);
  long error = 0;
  Node* folder = Walk(folderParts, &error);
  if (!folder || !folder->folder) return Fail(FileError::PathNotFound);
  const std::string stem = parsed.parts.back().substr(0, parsed.parts.back().size() - 1);
  // Not random here: tests see the same names in every run, and a name
  // already there is passed as the system's would be.
  for (int attempt = 0; attempt < 16; ++attempt) {
    ++freshSerial_;
    const std::string name = stem + HexNumber(freshSerial_ * 0x9E3779B1u, 8) + HexNumber(freshSerial_, 8);
    std::unique_ptr<Node>& slot = folder->children[ToUpper(name)];
    if (slot) continue;
    slot = std::make_unique<Node>();
    slot->name = name;
    slot->folder = true;
    slot->attributes = kAttrDirectory;
    if (access) slot->access = access;
    if (made) *made = JoinParts(folderParts) + "\\" + name;
    return true;
  }
  return Fail(FileError::AlreadyExists);
}

bool MemoryFileSystem::HoldAgainstWriters(const std::string& path) {
  Count(Op::HoldAgainstWriters);
  Parsed parsed;
  long error = 0;
  Node* node = Lookup(path, &parsed, &error);
  if (!parsed.parts.empty() && Fails(Op::HoldAgainstWriters, parsed.parts)) return false;
  if (!node) return Fail(error);
  if (!parsed.stream.empty()) return Fail(FileError::InvalidName);
  if (node->folder) return Fail(FileError::AccessDenied);
  if (node->heldOpen) return Fail(FileError::SharingViolation);
  node->readersOnly = true;
  return true;
}

void MemoryFileSystem::LetGo(const std::string& path) {
  Parsed parsed;
  long error = 0;
  if (Node* node = Lookup(path, &parsed, &error)) node->readersOnly = false;
}

std::string MemoryFileSystem::Environment(const std::string& name) {
  Count(Op::Environment);
  if (Fails(Op::Environment, {})) return std::string();
  const auto it = environment_.find(ToUpper(name));
  if (it != environment_.end() && !CarriedByCodePage(it->second.second, environmentCodePages_[ToUpper(name)])) {
    Fail(FileError::NoUnicodeTranslation);  // no best-fit stand-in
    return std::string();
  }
  if (it != environment_.end()) return it->second.second;
  Fail(FileError::EnvVarNotFound);
  return std::string();
}

void MemoryFileSystem::SetEnvironment(const std::string& name, const std::string& value) {
  environment_[ToUpper(name)] = {name, value};
  environmentCodePages_[ToUpper(name)] = CurrentCodePage();
}

void MemoryFileSystem::SetCurrentFolder(const std::string& folder) {
  Node* node = Require(folder);
  if (!node->folder) throw std::invalid_argument("not a folder: " + folder);
  Parsed parsed;
  Parse(folder, &parsed);
  current_ = parsed.parts;
}

void MemoryFileSystem::AddFolder(const std::string& path) {
  Parsed parsed;
  if (!Parse(path, &parsed) || !parsed.stream.empty()) throw std::invalid_argument("bad folder path: " + path);
  MakePath(parsed.parts, parsed.parts.size());
}

void MemoryFileSystem::AddFile(const std::string& path, const std::string& content, unsigned long attributes) {
  Parsed parsed;
  if (!Parse(path, &parsed) || !parsed.stream.empty() || parsed.parts.size() < 2) {
    throw std::invalid_argument("bad file path: " + path);
  }
  Node* folder = MakePath(parsed.parts, parsed.parts.size() - 1);
  std::unique_ptr<Node>& slot = folder->children[ToUpper(parsed.parts.back())];
  if (slot && slot->folder) throw std::invalid_argument("a folder stands where a file is wanted: " + path);
  if (!slot) {
    slot = std::make_unique<Node>();
    slot->name = parsed.parts.back();
  }
  slot->content = content;
  slot->attributes = FileAttributes(attributes);
}

void MemoryFileSystem::AddStream(const std::string& file, const std::string& stream, const std::string& content) {
  Node* node = Require(file);
  if (node->folder || stream.empty()) throw std::invalid_argument("streams belong to files: " + file);
  node->streams[ToUpper(stream)] = {stream, content};
}

void MemoryFileSystem::HoldOpen(const std::string& path) {
  Node* node = Require(path);
  if (node->folder) throw std::invalid_argument("only files are held open: " + path);
  node->heldOpen = true;
}

void MemoryFileSystem::Release(const std::string& path) { Require(path)->heldOpen = false; }

void MemoryFileSystem::FailOn(Op op, const std::string& path, long error) {
  Fault fault{op, {}, error};
  if (!path.empty()) {
    Parsed parsed;
    if (!Parse(path, &parsed)) throw std::invalid_argument("bad fault path: " + path);
    fault.parts = Upper(parsed.parts);
  }
  faults_.push_back(std::move(fault));
}

bool MemoryFileSystem::Exists(const std::string& path) const {
  Parsed parsed;
  long error = 0;
  const Node* node = Lookup(path, &parsed, &error);
  return node && (parsed.stream.empty() || node->streams.count(ToUpper(parsed.stream)));
}

void MemoryFileSystem::SetAccess(const std::string& folder, const std::string& access) {
  Node* node = Require(folder);
  if (!node->folder) throw std::invalid_argument("only folders have an access list here: " + folder);
  node->access = access;
}

void MemoryFileSystem::SetLinkCount(const std::string& file, int links) { Require(file)->links = links; }


std::string MemoryFileSystem::Access(const std::string& folder) const {
  Parsed parsed;
  long error = 0;
  const Node* node = Lookup(folder, &parsed, &error);
  return node && node->folder && parsed.stream.empty() ? node->access : std::string();
}

bool MemoryFileSystem::ReadFile(const std::string& path, std::string* content) const {
  Parsed parsed;
  long error = 0;
  const Node* node = Lookup(path, &parsed, &error);
  if (!node || node->folder || !parsed.stream.empty()) return false;
  if (content) *content = node->content;
  return true;
}

bool MemoryFileSystem::HasStream(const std::string& file, const std::string& stream) const {
  Parsed parsed;
  long error = 0;
  const Node* node = Lookup(file, &parsed, &error);
  return node && parsed.stream.empty() && node->streams.count(ToUpper(stream)) > 0;
}

std::vector<std::string> MemoryFileSystem::Names(const std::string& folder) const {
  std::vector<std::string> names;
  const Node* node = Require(folder);
  for (const auto& child : node->children) names.push_back(child.second->name);
  return names;
}

}  // namespace platform
