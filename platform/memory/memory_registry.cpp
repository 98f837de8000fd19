// In-memory registry; see memory_registry.h.
#include "platform/memory/memory_registry.h"

#include <cstring>
#include <stdexcept>

#include "platform/memory/foreign_names.h"
#include "platform/memory/memory_accounts.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr long kKeyDeleted = 1018;  // ERROR_KEY_DELETED
// Links followed one through another before a path counts as missing.
constexpr int kMaxLinkHops = 32;

// Splits a key path at backslashes (by characters: a trail byte 0x5C is part
// of its character). Empty parts, as from a trailing backslash, are dropped.
std::vector<std::string> SplitPath(const char* path) {
  std::vector<std::string> parts;
  if (!path) return parts;
  const std::string text(path);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = FindChar(text, '\\', start);
    if (end == npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Sub-keys are kept and enumerated by their lower-cased names.
std::string Fold(const std::string& name) { return ToLower(name); }

bool IsPredefined(RegKey key) { return key == kLocalMachine || key == kCurrentUser || key == kUsers; }

// `path` equals `prefix` or lies below it (both upper-cased).
bool Within(const std::string& path, const std::string& prefix) {
  return path.compare(0, prefix.size(), prefix) == 0 &&
         (path.size() == prefix.size() || path[prefix.size()] == '\\');
}

}  // namespace

struct MemoryRegistry::Node : std::enable_shared_from_this<Node> {
  struct Value {
    std::string name;
    unsigned long type;
    std::string data;
  };
  std::string name;
  Node* parent = nullptr;
  std::map<std::string, std::shared_ptr<Node>> children;  // by lower-cased name
  std::vector<Value> values;
  bool deleted = false;
  std::string link;  // a link's target path, as AddLink was given it; empty for a key
  unsigned int codePage = CurrentCodePage();  // the one `name` was written in

  Value* FindValue(const char* valueName) {
    const std::string wanted = ToUpper(valueName ? valueName : "");
    for (Value& value : values) {
      if (ToUpper(value.name) == wanted) return &value;
    }
    return nullptr;
  }
};

MemoryRegistry::MemoryRegistry(View view)
    : localMachine_(std::make_shared<Node>()),
      currentUser_(std::make_shared<Node>()),
      users_(std::make_shared<Node>()),
      currentUserSid_(MemoryAccounts().processUser.sid) {
  localMachine_->name = "HKEY_LOCAL_MACHINE";
  currentUser_->name = "HKEY_CURRENT_USER";
  users_->name = "HKEY_USERS";
  if (view != View::Native64) SetView(view);
}

void MemoryRegistry::SetView(View view) {
  view_ = view;
  if (view == View::Windows32) return;
  // Made as a 64-bit Windows has it, and noted in no write: not the program's doing.
  std::shared_ptr<Node> node = localMachine_;
  for (const char* name : {"SOFTWARE", "Wow6432Node"}) {
    std::shared_ptr<Node>& child = node->children[Fold(name)];
    if (!child) {
      child = std::make_shared<Node>();
      child->name = name;
      child->parent = node.get();
    }
    node = child;
  }
}

bool MemoryRegistry::IsSoftware(const Node* node) const {
  if (!node || node->parent != localMachine_.get()) return false;
  return Fold(node->name) == "software";
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Redirected(const std::shared_ptr<Node>& node, bool create) {
  if (!IsSoftware(node.get())) return node;
  const auto it = node->children.find(Fold("Wow6432Node"));
  if (it == node->children.end() && !create) return nullptr;
  std::shared_ptr<Node>& wow = node->children[Fold("Wow6432Node")];
  if (!wow) {
    wow = std::make_shared<Node>();
    wow->name = "Wow6432Node";
    wow->parent = node.get();
  }
  Node* key = Resolve(wow.get());
  return key ? key->shared_from_this() : nullptr;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Root(RegKey key) const {
  return key == kLocalMachine ? localMachine_ : key == kCurrentUser ? currentUser_ : key == kUsers ? users_ : nullptr;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::RootNamed(const std::string& name) const {
  const std::string root = ToUpper(name);
  return root == "HKEY_LOCAL_MACHINE" ? localMachine_
         : root == "HKEY_CURRENT_USER" ? currentUser_
         : root == "HKEY_USERS"        ? users_
                                       : nullptr;
}

MemoryRegistry::Node* MemoryRegistry::MountedUser(const Node* node, const std::string& name) const {
  if (node != users_.get() || currentUserSid_.empty() || Fold(name) != Fold(currentUserSid_)) return nullptr;
  return currentUser_.get();
}

MemoryRegistry::~MemoryRegistry() {
  // Taken apart one key at a time: a tree thousands of levels deep would
  // otherwise be destroyed by as many nested calls.
  handles_.clear();
  std::vector<std::shared_ptr<Node>> pending{std::move(localMachine_), std::move(currentUser_), std::move(users_)};
  while (!pending.empty()) {
    const std::shared_ptr<Node> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child.second));
    node->children.clear();
  }
}

MemoryRegistry::Node* MemoryRegistry::Resolve(Node* node, int hops) const {
  while (node && !node->link.empty()) {
    if (++hops > kMaxLinkHops) return nullptr;
    node = Walk(node->link, hops);
  }
  return node;
}

MemoryRegistry::Node* MemoryRegistry::Walk(const std::string& keyPath, int hops) const {
  const std::vector<std::string> parts = SplitPath(keyPath.c_str());
  if (parts.empty()) return nullptr;
  Node* node = RootNamed(parts[0]).get();
  for (std::size_t i = 1; node && i < parts.size(); ++i) {
    if (Node* mounted = MountedUser(node, parts[i])) {
      node = mounted;
      continue;
    }
    const auto it = node->children.find(Fold(parts[i]));
    node = it == node->children.end() ? nullptr : Resolve(it->second.get(), hops);
  }
  return node;
}

MemoryRegistry::Node* MemoryRegistry::NodeOf(RegKey key) const {
  if (IsPredefined(key)) return Root(key).get();
  const auto it = handles_.find(key);
  return it == handles_.end() ? nullptr : it->second.node.get();
}

std::string MemoryRegistry::PathOf(const Node* node) const {
  std::string path = node->name;
  for (const Node* up = node->parent; up; up = up->parent) path = up->name + "\\" + path;
  return path;
}

long MemoryRegistry::Failure(Op op, const Node* node, const std::string& childPath) const {
  if (faults_.empty()) return RegResult::Success;
  std::string path = ToUpper(PathOf(node));
  if (!childPath.empty()) path += "\\" + ToUpper(childPath);
  for (const Fault& fault : faults_) {
    if (fault.op == op && Within(path, fault.path)) return fault.error;
  }
  return RegResult::Success;
}

RegKey MemoryRegistry::NewHandle(const std::shared_ptr<Node>& node, bool writable) {
  const RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = Handle{node, writable};
  return handle;
}

bool MemoryRegistry::Writable(RegKey key) const {
  if (IsPredefined(key)) return true;
  const auto it = handles_.find(key);
  return it != handles_.end() && it->second.writable;
}

long MemoryRegistry::Open(Op op, RegKey parent, const char* subKey, bool create, bool redirect, RegKey* result) {
  Count(op);
  Node* start = NodeOf(parent);
  if (!start) return RegResult::InvalidHandle;
  if (start->deleted) return kKeyDeleted;
  if (!result) return RegResult::InvalidParameter;
  const std::vector<std::string> parts = SplitPath(subKey);

  std::string relative;
  for (const std::string& part : parts) relative += (relative.empty() ? "" : "\\") + part;
  if (const long error = Failure(op, start, relative)) return error;

  if (parts.empty() && (op == Op::OpenKey || op == Op::CreateKey)) {
    *result = parent;  // RegOpenKeyA / RegCreateKeyA give back the same handle
    return RegResult::Success;
  }

  // Find the path first, so a failed open creates nothing (but the 32-bit
  // view's own key, which every 64-bit Windows has).
  std::shared_ptr<Node> node = IsPredefined(parent) ? Root(parent) : handles_.at(parent).node;
  if (redirect && !(node = Redirected(node, create))) return RegResult::FileNotFound;
  std::size_t found = 0;
  for (; found < parts.size(); ++found) {
    // Below the 32-bit view's key, its own name leads back to itself.
    if (redirect && IsSoftware(node->parent) && Fold(node->name) == "wow6432node" &&
        Fold(parts[found]) == "wow6432node") {
      continue;
    }
    if (Node* mounted = MountedUser(node.get(), parts[found])) {
      node = mounted->shared_from_this();
      continue;
    }
    const auto it = node->children.find(Fold(parts[found]));
    if (it == node->children.end()) break;
    Node* key = Resolve(it->second.get());
    if (!key) return RegResult::FileNotFound;  // a link to nothing
    node = key->shared_from_this();
    if (redirect && !(node = Redirected(node, create))) return RegResult::FileNotFound;
  }
  if (found < parts.size()) {
    if (!create) return RegResult::FileNotFound;
    for (; found < parts.size(); ++found) {
      if (parts[found].size() > kMaxKeyNameLength) return RegResult::InvalidParameter;
      auto child = std::make_shared<Node>();
      child->name = parts[found];
      child->parent = node.get();
      node->children[Fold(parts[found])] = child;
      node = child;
      if (redirect && !(node = Redirected(node, create))) return RegResult::FileNotFound;
    }
  }
  *result = NewHandle(node, op != Op::OpenKeyRead && op != Op::OpenKeyReadView);
  return RegResult::Success;
}

long MemoryRegistry::OpenKey(RegKey parent, const char* subKey, RegKey* result) {
  return Open(Op::OpenKey, parent, subKey, false, Redirects(), result);
}

long MemoryRegistry::OpenKeyRead(RegKey parent, const char* subKey, RegKey* result) {
  return Open(Op::OpenKeyRead, parent, subKey, false, Redirects(), result);
}

long MemoryRegistry::OpenKeyReadView(RegKey parent, const char* subKey, RegView view, RegKey* result) {
  // 32-bit Windows has one view and ignores the flag.
  const bool redirect = view_ == View::Windows32 ? false : view == RegView::Bits32;
  return Open(Op::OpenKeyReadView, parent, subKey, false, redirect, result);
}

namespace {
std::string Joined(const std::string& path, const char* subKey) {
  if (!subKey || !*subKey) return path;
  return path + "\\" + subKey;
}
}  // namespace

long MemoryRegistry::CreateKey(RegKey parent, const char* subKey, RegKey* result) {
  const Node* start = NodeOf(parent);
  const std::string path = Joined(start ? PathOf(start) : std::string("?"), subKey);
  const long status = Open(Op::CreateKey, parent, subKey, true, Redirects(), result);
  writes.push_back({Op::CreateKey, path, "", status});
  return status;
}

long MemoryRegistry::QuerySubKeyCount(RegKey key, unsigned long* count) {
  Count(Op::QuerySubKeyCount);
  Node* node = NodeOf(key);
  if (!node) return RegResult::InvalidHandle;
  if (node->deleted) return kKeyDeleted;
  if (const long error = Failure(Op::QuerySubKeyCount, node)) return error;
  if (count) *count = static_cast<unsigned long>(node->children.size());
  return RegResult::Success;
}

long MemoryRegistry::EnumKey(RegKey key, unsigned long index, char* name, unsigned long* nameLength) {
  Count(Op::EnumKey);
  Node* node = NodeOf(key);
  if (!node) return RegResult::InvalidHandle;
  if (node->deleted) return kKeyDeleted;
  if (const long error = Failure(Op::EnumKey, node)) return error;
  if (!name || !nameLength) return RegResult::InvalidParameter;
  if (index >= node->children.size()) return RegResult::NoMoreItems;
  auto it = node->children.begin();
  std::advance(it, index);
  const std::string& childName = it->second->name;
  if (!CarriedByCodePage(childName, it->second->codePage)) return RegResult::NoUnicodeTranslation;
  if (childName.size() + 1 > *nameLength) return RegResult::MoreData;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  *nameLength = static_cast<unsigned long>(childName.size());
  return RegResult::Success;
}

long MemoryRegistry::QueryValue(RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                                unsigned long* size) {
  Count(Op::QueryValue);
  Node* node = NodeOf(key);
  if (!node) return RegResult::InvalidHandle;
  if (node->deleted) return kKeyDeleted;
  if (const long error = Failure(Op::QueryValue, node)) return error;
  if (data && !size) return RegResult::InvalidParameter;
  const Node::Value* value = node->FindValue(valueName);
  if (!value) return RegResult::FileNotFound;
  const unsigned long needed = static_cast<unsigned long>(value->data.size());
  if (data) {
    if (needed > *size) {
      *size = needed;  // as Windows: the size needed, and no data
      return RegResult::MoreData;
    }
    std::memcpy(data, value->data.data(), needed);
  }
  if (size) *size = needed;
  if (type) *type = value->type;
  return RegResult::Success;
}

long MemoryRegistry::SetValue(RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                              unsigned long size) {
  const Node* target = NodeOf(key);
  writes.push_back({Op::SetValue, target ? PathOf(target) : "?", valueName ? valueName : "", 0});
  const long status = StoreValue(key, valueName, type, data, size);
  writes.back().result = status;
  return status;
}

namespace {

// `text`, in code page 936, as a narrow read gives back a value stored in
// UTF-16: in the code page in force, character by character, '?' for each
// one that page lacks (the system's default character).
std::string AsNarrowRead(const std::string& text) {
  const unsigned int page = CurrentCodePage();
  if (page == CodePageId::Chinese) return text;
  std::string result;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length =
        IsLeadByte(CodePageId::Chinese, static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    std::string utf8, narrow;
    SetCodePage(CodePageId::Chinese);
    const bool read = ToUtf8(text.substr(i, length), &utf8);
    SetCodePage(page);
    result += read && FromUtf8(utf8, &narrow) ? narrow : std::string("?");
    i += length;
  }
  return result;
}

}  // namespace

long MemoryRegistry::SetTextValue(RegKey key, const char* valueName, const std::string& text) {
  const std::string data = AsNarrowRead(text) + '\0';
  return SetValue(key, valueName, RegType::String, reinterpret_cast<const unsigned char*>(data.data()),
                  static_cast<unsigned long>(data.size()));
}

long MemoryRegistry::StoreValue(RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                                unsigned long size) {
  Count(Op::SetValue);
  Node* node = NodeOf(key);
  if (!node) return RegResult::InvalidHandle;
  if (node->deleted) return kKeyDeleted;
  if (const long error = Failure(Op::SetValue, node)) return error;
  if (!Writable(key)) return RegResult::AccessDenied;
  if (!data && size) return RegResult::InvalidParameter;
  std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
  if (Node::Value* value = node->FindValue(valueName)) {
    value->type = type;
    value->data = bytes;
  } else {
    node->values.push_back({valueName ? valueName : "", type, bytes});
  }
  return RegResult::Success;
}

long MemoryRegistry::DeleteKey(RegKey key, const char* subKey) {
  const Node* start = NodeOf(key);
  writes.push_back({Op::DeleteKey, Joined(start ? PathOf(start) : std::string("?"), subKey), "", 0});
  const long status = RemoveKey(key, subKey);
  writes.back().result = status;
  return status;
}

long MemoryRegistry::RemoveKey(RegKey key, const char* subKey) {
  Count(Op::DeleteKey);
  Node* start = NodeOf(key);
  if (!start) return RegResult::InvalidHandle;
  if (start->deleted) return kKeyDeleted;
  Node* node = start;
  for (const std::string& part : SplitPath(subKey)) {
    // Through a link to its target; the last key itself, link or not.
    if (node != start && !(node = Resolve(node))) return RegResult::FileNotFound;
    // In the 32-bit view, through SOFTWARE to SOFTWARE\Wow6432Node.
    if (Redirects() && IsSoftware(node)) {
      const std::shared_ptr<Node> wow = Redirected(node->shared_from_this(), false);
      if (!wow) return RegResult::FileNotFound;
      node = wow.get();
      if (Fold(part) == "wow6432node") continue;
    }
    if (Node* mounted = MountedUser(node, part)) {
      node = mounted;
      continue;
    }
    const auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return RegResult::FileNotFound;
    node = it->second.get();
  }
  if (!node->parent) return RegResult::AccessDenied;  // a root
  if (const long error = Failure(Op::DeleteKey, node)) return error;
  if (!node->children.empty()) return RegResult::AccessDenied;
  node->deleted = true;
  Node* parent = node->parent;
  node->parent = nullptr;
  parent->children.erase(Fold(node->name));
  return RegResult::Success;
}

long MemoryRegistry::QueryValueCount(RegKey key, unsigned long* count) {
  Count(Op::QueryValueCount);
  Node* node = NodeOf(key);
  if (!node) return RegResult::InvalidHandle;
  if (node->deleted) return kKeyDeleted;
  if (const long error = Failure(Op::QueryValueCount, node)) return error;
  if (count) *count = static_cast<unsigned long>(node->values.size());
  return RegResult::Success;
}

long MemoryRegistry::DeleteValue(RegKey key, const char* valueName) {
  Count(Op::DeleteValue);
  Node* node = NodeOf(key);
  writes.push_back({Op::DeleteValue, node ? PathOf(node) : "?", valueName ? valueName : "", 0});
  long status = RegResult::Success;
  if (!node) {
    status = RegResult::InvalidHandle;
  } else if (node->deleted) {
    status = kKeyDeleted;
  } else if (const long error = Failure(Op::DeleteValue, node)) {
    status = error;
  } else if (!Writable(key)) {
    status = RegResult::AccessDenied;
  } else if (Node::Value* value = node->FindValue(valueName)) {
    node->values.erase(node->values.begin() + (value - node->values.data()));
  } else {
    status = RegResult::FileNotFound;
  }
  writes.back().result = status;
  return status;
}

long MemoryRegistry::CloseKey(RegKey key) {
  if (IsPredefined(key)) return RegResult::Success;
  return handles_.erase(key) ? RegResult::Success : RegResult::InvalidHandle;
}

void MemoryRegistry::FailOn(Op op, const std::string& keyPath, long error) {
  std::string path = ToUpper(keyPath);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  faults_.push_back({op, path, error});
}

void MemoryRegistry::DenyWritesBelow(const std::string& keyPath) {
  FailOn(Op::CreateKey, keyPath);
  FailOn(Op::SetValue, keyPath);
  FailOn(Op::DeleteKey, keyPath);
  FailOn(Op::DeleteValue, keyPath);
}

const MemoryRegistry::Node* MemoryRegistry::Find(const std::string& keyPath) const { return Walk(keyPath, 0); }

void MemoryRegistry::AddLink(const std::string& linkPath, const std::string& targetPath) {
  const std::vector<std::string> parts = SplitPath(linkPath.c_str());
  std::shared_ptr<Node> node = parts.empty() ? nullptr : RootNamed(parts[0]);
  if (!node || parts.size() < 2) throw std::invalid_argument("no key below a root: " + linkPath);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].size() > kMaxKeyNameLength) throw std::invalid_argument("key name too long: " + parts[i]);
    std::shared_ptr<Node>& child = node->children[Fold(parts[i])];
    const bool last = i + 1 == parts.size();
    if (child && last) throw std::invalid_argument("a key stands there already: " + linkPath);
    if (!child) {
      child = std::make_shared<Node>();
      child->name = parts[i];
      child->parent = node.get();
      if (last) child->link = targetPath;
    }
    if (last) break;
    Node* key = Resolve(child.get());
    if (!key) throw std::invalid_argument("a link to nothing on the way: " + linkPath);
    node = key->shared_from_this();
  }
}

bool MemoryRegistry::KeyExists(const std::string& keyPath) const { return Find(keyPath) != nullptr; }

bool MemoryRegistry::GetValue(const std::string& keyPath, const std::string& valueName, unsigned long* type,
                              std::string* data) const {
  const Node* node = Find(keyPath);
  if (!node) return false;
  const Node::Value* value = const_cast<Node*>(node)->FindValue(valueName.c_str());
  if (!value) return false;
  if (type) *type = value->type;
  if (data) *data = value->data;
  return true;
}

std::vector<std::string> MemoryRegistry::SubKeyNames(const std::string& keyPath) const {
  std::vector<std::string> names;
  if (const Node* node = Find(keyPath)) {
    for (const auto& child : node->children) names.push_back(child.second->name);
  }
  return names;
}

std::vector<std::string> MemoryRegistry::ValueNames(const std::string& keyPath) const {
  std::vector<std::string> names;
  if (const Node* node = Find(keyPath)) {
    for (const auto& value : node->values) names.push_back(value.name);
  }
  return names;
}

std::size_t MemoryRegistry::CallCount(Op op) const { return calls_[static_cast<int>(op)]; }

}  // namespace platform
