// An in-memory registry with Windows' rules, for fast native tests and for
// faults the real registry will not produce on demand.
//
// Rules kept (the contract suite checks each against Win32):
//  - key and value names compare ignoring case and keep their case;
//  - sub-keys enumerate sorted by their lower-cased names, as the system
//    registry under Wine does ("_x" before "A"); double-byte names sort by
//    their bytes where the system sorts by UTF-16, so tests keep
//    Chinese names out of questions of order;
//  - a key opened for reading takes no values (Wine, unlike Windows, lets
//    it take new sub-keys; the setup never asks for that);
//  - an empty sub-key name opens the same key again;
//  - create makes every missing key on the path; a trailing backslash on a
//    path is ignored;
//  - deleting a key that has sub-keys fails with AccessDenied;
//  - a value read into a buffer that is too small gives MoreData and copies
//    nothing;
//  - handles of a deleted key fail further calls (ERROR_KEY_DELETED);
//  - a sub-key name the code page in force cannot carry enumerates as
//    NoUnicodeTranslation: names are kept in the code page they were
//    written in, and one beyond ASCII, read back under another, counts as
//    such (platform/memory/foreign_names.h);
//  - a text value set in UTF-16 (SetTextValue) reads back in the code page
//    in force, '?' for each character that page lacks;
//  - HKEY_USERS\<SID of the running account> is HKEY_CURRENT_USER, as
//    Windows loads the signed-in user's hive under both names (the SID is
//    MemoryAccounts' running account's unless MountCurrentUser says
//    otherwise). Here it is reached by path only: it does not enumerate
//    among HKEY_USERS' sub-keys, and faults are matched as spelled.
//
// Registry views (WOW64), the basic documented rules only. The registry is
// seen from one kind of process, chosen at construction or by SetView:
//  - Native64 (the default), a 64-bit process on 64-bit Windows: every key
//    where it stands;
//  - Wow64, a 32-bit process on 64-bit Windows: the 32-bit view, in which
//    HKEY_LOCAL_MACHINE\SOFTWARE is redirected. A path that reaches
//    HKLM\SOFTWARE\X, however it gets there (from HKLM, or below a handle
//    to SOFTWARE), lands in HKLM\SOFTWARE\Wow6432Node\X; a path already
//    below SOFTWARE\Wow6432Node maps to itself; SOFTWARE itself opens,
//    counts and enumerates as SOFTWARE\Wow6432Node. HKEY_CURRENT_USER and
//    every other key of HKLM are shared (not redirected);
//  - Windows32, a 32-bit process on 32-bit Windows: one view, keys where
//    they stand, and view flags ignored.
// OpenKeyReadView with RegView::Bits32 opens through the 32-bit view and
// with Bits64 through the native one, on both 64-bit machines. Left out:
// the keys shared below SOFTWARE (Classes and its parts, some of
// Microsoft's), reflection (Windows Vista and older) and the compatibility
// links Windows keeps inside Wow6432Node. A redirected key and the key it
// lands in are one and the same; handles hold the key they landed in.
// Fault paths (FailOn) are matched as spelled, below the key a handle
// holds; inspection (KeyExists, GetValue, ...) and ImportRegFile through
// the native view take paths as they stand, as 64-bit regedit shows them:
// load a machine before choosing the 32-bit view.
// Chosen operations on chosen keys can be made to fail (FailOn), and a key
// can be made a link to another (AddLink), so that a tree can loop.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform {

class MemoryRegistry final : public Registry {
 public:
  enum class Op {
    OpenKey, OpenKeyRead, CreateKey, QuerySubKeyCount, EnumKey, QueryValue, SetValue, DeleteKey,
    OpenKeyReadView, QueryValueCount, DeleteValue,
  };
  // The process the registry is seen from; see above.
  enum class View { Native64, Wow64, Windows32 };

  explicit MemoryRegistry(View view = View::Native64);
  ~MemoryRegistry() override;

  long OpenKey(RegKey parent, const char* subKey, RegKey* result) override;
  long OpenKeyRead(RegKey parent, const char* subKey, RegKey* result) override;
  long OpenKeyReadView(RegKey parent, const char* subKey, RegView view, RegKey* result) override;
  long CreateKey(RegKey parent, const char* subKey, RegKey* result) override;
  long QuerySubKeyCount(RegKey key, unsigned long* count) override;
  long EnumKey(RegKey key, unsigned long index, char* name, unsigned long* nameLength) override;
  long QueryValue(RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                  unsigned long* size) override;
  long SetValue(RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                unsigned long size) override;
  // Kept as the narrow calls read it back (a set, for FailOn and writes).
  long SetTextValue(RegKey key, const char* valueName, const std::string& text) override;
  long DeleteKey(RegKey key, const char* subKey) override;
  long QueryValueCount(RegKey key, unsigned long* count) override;
  long DeleteValue(RegKey key, const char* valueName) override;
  long CloseKey(RegKey key) override;

  // Makes `op` fail with `error` on the key at `keyPath` and every key below
  // it. keyPath starts with the root's name: "HKEY_LOCAL_MACHINE\SOFTWARE"
  // (HKEY_CURRENT_USER and HKEY_USERS are separate trees here).
  // For the open and create operations the key is the one being opened or
  // created; for the others the key the handle names (for DeleteKey, the
  // key being deleted; for DeleteValue, the key holding the value).
  void FailOn(Op op, const std::string& keyPath, long error = RegResult::AccessDenied);

  // Sees the registry from another kind of process from now on; handles
  // already open keep the key they hold. The 64-bit machines get the
  // HKLM\SOFTWARE\Wow6432Node key every 64-bit Windows has.
  void SetView(View view);
  View GetView() const { return view_; }
  // Every operation that would change something below keyPath fails, as for
  // a standard user below HKEY_LOCAL_MACHINE: create, set and delete (keys
  // and values).
  void DenyWritesBelow(const std::string& keyPath);

  // Makes the key at `linkPath` a link to the key at `targetPath`, as a
  // registry symbolic link: a path through the link opens, creates and
  // inspects the target (FileNotFound while the target is missing, or when
  // links lead on to links without end); the link enumerates and counts as
  // a sub-key of its parent under its own name; deleting it removes the
  // link, not its target. The target may be the link's own ancestor, which
  // makes the tree endless. Paths as for FailOn; missing keys above the
  // link are made. A link path that names a root or an existing key, or a
  // name longer than a key name may be, throws std::invalid_argument.
  void AddLink(const std::string& linkPath, const std::string& targetPath);

  // The SID under which HKEY_USERS holds HKEY_CURRENT_USER's tree; empty:
  // no user's hive is loaded there (a service account's run, say).
  void MountCurrentUser(const std::string& sid) { currentUserSid_ = sid; }

  // Inspection for tests; paths as for FailOn.
  bool KeyExists(const std::string& keyPath) const;
  // False when the key or the value is missing; `type`/`data` may be null.
  bool GetValue(const std::string& keyPath, const std::string& valueName, unsigned long* type,
                std::string* data) const;
  std::vector<std::string> SubKeyNames(const std::string& keyPath) const;
  std::vector<std::string> ValueNames(const std::string& keyPath) const;
  // Handles not yet closed (predefined roots never count).
  std::size_t OpenHandleCount() const { return handles_.size(); }
  // Number of calls of `op` so far.
  std::size_t CallCount(Op op) const;

  // Every create, set and delete (of a key or a value) asked for, in order, with the full path of
  // the key (as the caller spelled it below the key it started from), the
  // value's name for a set, and the result.
  struct Write {
    Op op;
    std::string path;
    std::string value;
    long result;
  };
  std::vector<Write> writes;

 private:
  struct Node;
  struct Fault {
    Op op;
    std::string path;  // upper-cased, ends without a backslash
    long error;
  };

  Node* NodeOf(RegKey key) const;
  std::string PathOf(const Node* node) const;
  long Failure(Op op, const Node* node, const std::string& childPath = std::string()) const;
  // `redirect`: HKLM\SOFTWARE stands for SOFTWARE\Wow6432Node (the 32-bit view).
  long Open(Op op, RegKey parent, const char* subKey, bool create, bool redirect, RegKey* result);
  // The 32-bit view's SOFTWARE\Wow6432Node for `node` when `node` is
  // HKLM\SOFTWARE, else `node`; nullptr when that key is missing and not
  // to be made.
  std::shared_ptr<Node> Redirected(const std::shared_ptr<Node>& node, bool create);
  bool IsSoftware(const Node* node) const;
  bool Redirects() const { return view_ == View::Wow64; }
  long StoreValue(RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                  unsigned long size);
  long RemoveKey(RegKey key, const char* subKey);
  struct Handle {
    std::shared_ptr<Node> node;
    bool writable;  // false for keys opened for reading (KEY_READ)
  };
  RegKey NewHandle(const std::shared_ptr<Node>& node, bool writable);
  bool Writable(RegKey key) const;
  const Node* Find(const std::string& keyPath) const;
  // The key `node` stands for: itself, or for a link the key it leads to;
  // nullptr for a link whose target is missing. `hops` counts the links
  // followed so far, so that links leading through each other end.
  Node* Resolve(Node* node, int hops = 0) const;
  // The key at `keyPath` (root name first), links followed.
  Node* Walk(const std::string& keyPath, int hops) const;
  void Count(Op op) { ++calls_[static_cast<int>(op)]; }

  // The predefined root `key` stands for / named `name` (any case); null
  // for anything else.
  std::shared_ptr<Node> Root(RegKey key) const;
  std::shared_ptr<Node> RootNamed(const std::string& name) const;
  // HKEY_CURRENT_USER's tree when `node` is HKEY_USERS and `name` the
  // mounted user's SID; null otherwise.
  Node* MountedUser(const Node* node, const std::string& name) const;

  std::shared_ptr<Node> localMachine_;
  std::shared_ptr<Node> currentUser_;
  std::shared_ptr<Node> users_;  // HKEY_USERS: the hives, by SID, apart from the current user's
  std::string currentUserSid_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x1000;
  std::vector<Fault> faults_;
  std::size_t calls_[11] = {};
  View view_ = View::Native64;
};

}  // namespace platform
