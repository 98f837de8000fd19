// The system registry through advapi32's narrow-character calls.
#include <windows.h>

#include "platform/registry.h"

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

  long EnumKey(RegKey key, unsigned long index, char* name, unsigned long* nameLength) override {
    if (!nameLength) return ERROR_INVALID_PARAMETER;
    DWORD length = *nameLength;
    const LONG status = RegEnumKeyExA(ToHkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) *nameLength = length;
    return status;
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

  long DeleteKey(RegKey key, const char* subKey) override { return RegDeleteKeyA(ToHkey(key), subKey); }

  long CloseKey(RegKey key) override { return RegCloseKey(ToHkey(key)); }
};

}  // namespace

Registry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace platform
