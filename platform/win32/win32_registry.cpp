// The system registry through advapi32's narrow-character calls; sub-key
// names are read with the wide call, so that a name the ANSI code page
// cannot carry is told rather than given with '?' in it.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/win32/win32_text.h"

namespace platform {
namespace {

HKEY ToHkey(RegKey key) {
  if (key == kLocalMachine) return HKEY_LOCAL_MACHINE;
  if (key == kCurrentUser) return HKEY_CURRENT_USER;
  if (key == kUsers) return HKEY_USERS;
  return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return kLocalMachine;
  if (key == HKEY_CURRENT_USER) return kCurrentUser;
  if (key == HKEY_USERS) return kUsers;
  return reinterpret_cast<RegKey>(key);
}

class Win32Registry final : public Registry {
 public:
  long OpenKey(RegKey parent, const char* subKey, RegKey* result) override {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyA(ToHkey(parent), subKey, &key);
    if (status == ERROR_SUCCESS) *result = FromHkey(key);
    return status;
  }

  long OpenKeyRead(RegKey parent, const char* subKey, RegKey* result) override {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(ToHkey(parent), subKey, 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) *result = FromHkey(key);
    return status;
  }

  // 32-bit Windows without WOW64 ignores the view flag (Windows 2000, which
  // refuses it, is older than every system the program runs on).
  long OpenKeyReadView(RegKey parent, const char* subKey, RegView view, RegKey* result) override {
    const REGSAM flag = view == RegView::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(ToHkey(parent), subKey, 0, KEY_READ | flag, &key);
    if (status == ERROR_SUCCESS) *result = FromHkey(key);
    return status;
  }

  long CreateKey(RegKey parent, const char* subKey, RegKey* result) override {
    HKEY key = nullptr;
    const LONG status = RegCreateKeyA(ToHkey(parent), subKey, &key);
    if (status == ERROR_SUCCESS) *result = FromHkey(key);
    return status;
  }

  long QuerySubKeyCount(RegKey key, unsigned long* count) override {
    DWORD subKeys = 0;
    const LONG status = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS && count) *count = subKeys;
    return status;
  }

  long QueryValueCount(RegKey key, unsigned long* count) override {
    DWORD values = 0;
    const LONG status = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         &values, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS && count) *count = values;
    return status;
  }

  long EnumKey(RegKey key, unsigned long index, char* name, unsigned long* nameLength) override {
    if (!name || !nameLength) return ERROR_INVALID_PARAMETER;
    wchar_t wide[kMaxKeyNameLength + 1];
    DWORD units = kMaxKeyNameLength + 1;
    const LONG status = RegEnumKeyExW(ToHkey(key), index, wide, &units, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::string narrow;
    if (const long error = NarrowName(wide, static_cast<int>(units), &narrow)) return error;
    // As RegEnumKeyExA: the name and its zero must fit.
    if (narrow.size() + 1 > *nameLength) return ERROR_MORE_DATA;
    std::memcpy(name, narrow.c_str(), narrow.size() + 1);
    *nameLength = static_cast<unsigned long>(narrow.size());
    return ERROR_SUCCESS;
  }

  long QueryValue(RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                  unsigned long* size) override {
    DWORD valueType = 0;
    DWORD length = size ? *size : 0;
    const LONG status = RegQueryValueExA(ToHkey(key), valueName, nullptr, &valueType, data, size ? &length : nullptr);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      if (size) *size = length;
    }
    if (status == ERROR_SUCCESS && type) *type = valueType;
    return status;
  }

  long SetValue(RegKey key, const char* valueName, unsigned long type, const unsigned char* data,
                unsigned long size) override {
    return RegSetValueExA(ToHkey(key), valueName, 0, type, data, size);
  }

  long SetTextValue(RegKey key, const char* valueName, const std::string& text) override {
    // The value's name in the ANSI code page, as RegSetValueExA takes it;
    // the data from 936, with its zero.
    const std::vector<wchar_t> name = ToWide(valueName ? valueName : "", CP_ACP);
    const std::vector<wchar_t> wide = ToWide(text, 936);
    return RegSetValueExW(ToHkey(key), name.data(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.data()),
                          static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
  }

  long DeleteKey(RegKey key, const char* subKey) override { return RegDeleteKeyA(ToHkey(key), subKey); }

  long DeleteValue(RegKey key, const char* valueName) override { return RegDeleteValueA(ToHkey(key), valueName); }

  long CloseKey(RegKey key) override { return RegCloseKey(ToHkey(key)); }
};

}  // namespace

Registry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace platform
