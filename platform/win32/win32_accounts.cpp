// The accounts of the running system through advapi32's token calls.
//
// Every call used here exists since Windows 2000, so the 32-bit edition
// still starts on XP; what is newer is asked for, not imported: the
// TokenElevation class (XP answers ERROR_INVALID_PARAMETER, and the
// Administrators group decides) and PROCESS_QUERY_LIMITED_INFORMATION (XP
// refuses it, and PROCESS_QUERY_INFORMATION is asked for instead).
#include <windows.h>
// sddl.h needs the types of windows.h first.
#include <sddl.h>

#include <vector>

#include "platform/accounts.h"

namespace platform {
namespace {

// Closes a kernel handle on every way out of a scope.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedHandle() {
    if (handle_) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE Get() const { return handle_; }
  HANDLE* Receive() { return &handle_; }

 private:
  HANDLE handle_;
};

// The SID in string form; empty when it cannot be converted.
std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text) || !text) return std::string();
  std::string result(text);
  LocalFree(text);
  return result;
}

// "DOMAIN\name" of `sid`; `fallback` when the account cannot be looked up
// (a domain account while the domain cannot be reached, say).
std::string AccountName(PSID sid, const std::string& fallback) {
  char name[256] = {};
  char domain[256] = {};
  DWORD nameLength = sizeof(name), domainLength = sizeof(domain);
  SID_NAME_USE use;
  if (!LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return fallback;
  return domain[0] ? std::string(domain) + "\\" + name : std::string(name);
}

// The user of `token`: false when the token cannot be read.
bool TokenAccount(HANDLE token, Account* user) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  // TOKEN_USER holds pointers: the buffer is aligned for them.
  std::vector<void*> buffer(size / sizeof(void*) + 1);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(void*)),
                           &size)) {
    return false;
  }
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  const std::string text = SidText(sid);
  if (text.empty()) return false;
  user->sid = text;
  user->name = AccountName(sid, text);
  return true;
}

bool IsAdministratorsMember() {
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

class Win32Accounts final : public Accounts {
 public:
  bool ProcessUser(Account* user) override {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
    return TokenAccount(token.Get(), user);
  }

  DesktopLookup DesktopUser(Account* user) override {
    const HWND shell = GetShellWindow();
    if (!shell) return DesktopLookup::NoShell;
    DWORD processId = 0;
    GetWindowThreadProcessId(shell, &processId);
    if (processId == 0) return DesktopLookup::Unreadable;
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.Get()) *process.Receive() = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process.Get()) return DesktopLookup::Unreadable;
    ScopedHandle token;
    if (!OpenProcessToken(process.Get(), TOKEN_QUERY, token.Receive())) return DesktopLookup::Unreadable;
    return TokenAccount(token.Get(), user) ? DesktopLookup::Found : DesktopLookup::Unreadable;
  }

  bool IsElevated() override {
    ScopedHandle token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
      TOKEN_ELEVATION elevation = {};
      DWORD size = 0;
      if (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        return elevation.TokenIsElevated != 0;
      }
    }
    // No elevation before Vista: an administrator's program has the rights.
    return IsAdministratorsMember();
  }

  ElevationType Elevation() override {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return ElevationType::Default;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    // Windows XP knows no such class: the call fails, and Default holds.
    if (!GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof(type), &size)) {
      return ElevationType::Default;
    }
    if (type == TokenElevationTypeFull) return ElevationType::Full;
    if (type == TokenElevationTypeLimited) return ElevationType::Limited;
    return ElevationType::Default;
  }
};

}  // namespace

Accounts& SystemAccounts() {
  static Win32Accounts accounts;
  return accounts;
}

}  // namespace platform
