// The registry family: the handful of registry operations the setup needs,
// shaped like the Win32 narrow-character calls they stand for, so the scan
// and the registration read step for step like the system calls they make.
//
// Two implementations: the system registry (platform/win32) and an in-memory
// registry (platform/memory) that keeps Windows' rules for tests.
//
// Contract shared by every implementation:
//  - Results are Win32 error codes (RegResult::Success is 0).
//  - Out-parameters are left untouched when a call fails.
//  - Key and value names compare case-insensitively and keep their case.
//  - Paths separate keys with a backslash; all text is in the system's ANSI
//    code page (platform/text.h).
//  - Every handle an operation returns must be given back to CloseKey.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// An open key. The predefined roots are constants and need no closing
// (closing them is harmless, as on Windows).
using RegKey = std::uintptr_t;
constexpr RegKey kNoKey = 0;
constexpr RegKey kCurrentUser = 0x80000001u;   // HKEY_CURRENT_USER
constexpr RegKey kLocalMachine = 0x80000002u;  // HKEY_LOCAL_MACHINE
// HKEY_USERS: one key per loaded user hive, named by the user's SID.
constexpr RegKey kUsers = 0x80000003u;

// The Win32 error codes the setup meets.
namespace RegResult {
constexpr long Success = 0;
constexpr long FileNotFound = 2;      // ERROR_FILE_NOT_FOUND
constexpr long AccessDenied = 5;      // ERROR_ACCESS_DENIED
constexpr long InvalidHandle = 6;     // ERROR_INVALID_HANDLE
constexpr long InvalidData = 13;      // ERROR_INVALID_DATA
constexpr long InvalidParameter = 87; // ERROR_INVALID_PARAMETER
constexpr long MoreData = 234;        // ERROR_MORE_DATA
constexpr long NoMoreItems = 259;     // ERROR_NO_MORE_ITEMS
constexpr long NoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION
}  // namespace RegResult

// Value types, with the Win32 numbers.
namespace RegType {
constexpr unsigned long None = 0;
constexpr unsigned long String = 1;        // REG_SZ
constexpr unsigned long ExpandString = 2;  // REG_EXPAND_SZ
constexpr unsigned long Binary = 3;        // REG_BINARY
constexpr unsigned long Dword = 4;         // REG_DWORD
constexpr unsigned long MultiString = 7;   // REG_MULTI_SZ
}  // namespace RegType

// Longest key name the registry allows (characters, without the zero).
constexpr unsigned long kMaxKeyNameLength = 255;

// A registry view asked for by name (KEY_WOW64_64KEY, KEY_WOW64_32KEY). On
// 64-bit Windows a 32-bit process sees HKEY_LOCAL_MACHINE\SOFTWARE through
// its own view, the keys below SOFTWARE\Wow6432Node; a 64-bit process sees
// the keys as they stand. 32-bit Windows has one view and ignores the flag.
enum class RegView {
  Bits64,  // KEY_WOW64_64KEY
  Bits32,  // KEY_WOW64_32KEY
};

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyA: opens `subKey` below `parent` with full access. A null or
  // empty `subKey` gives a handle to `parent` itself (for a predefined root,
  // the root constant again).
  virtual long OpenKey(RegKey parent, const char* subKey, RegKey* result) = 0;

  // RegOpenKeyExA with options 0 and KEY_READ, no view flag. An empty
  // `subKey` opens a second handle to `parent`.
  virtual long OpenKeyRead(RegKey parent, const char* subKey, RegKey* result) = 0;

  // RegOpenKeyExA with KEY_READ and the flag of `view`: the key as a
  // process of that bitness sees it. Only for looking at what the other
  // view holds; a caller opens every key below such a handle with the same
  // view again, as Windows asks.
  virtual long OpenKeyReadView(RegKey parent, const char* subKey, RegView view, RegKey* result) = 0;

  // RegCreateKeyA: opens `subKey`, creating it and every missing key on
  // its path. A null or empty `subKey` behaves as OpenKey.
  virtual long CreateKey(RegKey parent, const char* subKey, RegKey* result) = 0;

  // RegQueryInfoKeyA asking only for the number of direct sub-keys.
  virtual long QuerySubKeyCount(RegKey key, unsigned long* count) = 0;

  // RegQueryInfoKeyA asking only for the number of values (the default
  // value counts once it is set).
  virtual long QueryValueCount(RegKey key, unsigned long* count) = 0;

  // RegEnumKeyExA without class or time: the name of sub-key `index` in the
  // order the registry enumerates (by name, ignoring case). `*nameLength`
  // is the buffer's capacity in bytes on entry and the name's length on
  // success. A name that does not fit gives MoreData; an index past the
  // end NoMoreItems. A name the ANSI code page cannot carry (a Chinese name
  // on a code page 1252 system), which the narrow call would give with '?'
  // in it and so name no key, gives NoUnicodeTranslation.
  virtual long EnumKey(RegKey key, unsigned long index, char* name,
                       unsigned long* nameLength) = 0;

  // RegQueryValueExA. `type` and `data` may be null. With `data`, `*size`
  // is the buffer's capacity on entry; on success the data is copied and
  // `*size` set to its length. Data that does not fit gives MoreData and
  // copies nothing. String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is
  // given back in the code page, as it was set.
  virtual long QueryValue(RegKey key, const char* valueName, unsigned long* type,
                          unsigned char* data, unsigned long* size) = 0;

  // RegSetValueExA: stores `size` bytes of `data` as `valueName` (null or
  // empty: the key's default value).
  virtual long SetValue(RegKey key, const char* valueName, unsigned long type,
                        const unsigned char* data, unsigned long size) = 0;

  // RegSetValueExW with REG_SZ: `text`, in the program's own code page 936,
  // stored as UTF-16, so that a reader on any code page shows it right.
  // Read back through QueryValue it comes in the code page in force, '?'
  // for each character that page lacks, as every narrow read of it does.
  virtual long SetTextValue(RegKey key, const char* valueName, const std::string& text) = 0;

  // RegDeleteKeyA: removes `subKey` below `key`. Fails (AccessDenied) when
  // the key has sub-keys of its own, FileNotFound when it does not exist.
  virtual long DeleteKey(RegKey key, const char* subKey) = 0;

  // RegDeleteValueA: removes `valueName` (null or empty: the default
  // value) from `key`; FileNotFound when it is not there.
  virtual long DeleteValue(RegKey key, const char* valueName) = 0;

  // RegCloseKey.
  virtual long CloseKey(RegKey key) = 0;
};

// The name of sub-key `index` of `key`, read into a zeroed 256-byte buffer;
// empty when it cannot be read (the registry changed meanwhile). Callers skip
// an empty name: opening "" would open `key` itself again.
std::string SubKeyName(Registry& registry, RegKey key, unsigned long index);
// The same, with the registry's answer in `*status` (NoMoreItems past the
// end), for callers that report what they cannot read.
std::string SubKeyName(Registry& registry, RegKey key, unsigned long index, long* status);

// The registry this program runs against: the system's on Windows.
Registry& SystemRegistry();

// Owns an open key and closes it on every way out of a scope.
class ScopedRegKey {
 public:
  explicit ScopedRegKey(Registry& registry, RegKey key = kNoKey)
      : registry_(registry), key_(key) {}
  ~ScopedRegKey() { Reset(); }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;

  RegKey Get() const { return key_; }
  RegKey* Receive() { Reset(); return &key_; }
  bool Valid() const { return key_ != kNoKey; }
  void Reset() {
    if (key_ != kNoKey) registry_.CloseKey(key_);
    key_ = kNoKey;
  }

 private:
  Registry& registry_;
  RegKey key_;
};

}  // namespace platform
