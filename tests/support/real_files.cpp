// Windows-only test helpers; see real_files.h.
#ifdef _WIN32
#include "tests/support/real_files.h"

#include <windows.h>

#include <vector>

namespace testing_support {
namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

// True once another process holds `path` open without sharing.
bool HeldElsewhere(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace

RealSandbox::RealSandbox(const std::string& tag) {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(temp), temp);
  path_ = std::string(temp) + "setup-" + tag + "-" + std::to_string(GetCurrentProcessId());
  RemoveTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

RealSandbox::~RealSandbox() { RemoveTree(path_); }

bool WriteRealFile(const std::string& path, const std::string& content) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

bool ReadRealFile(const std::string& path, std::string* content) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  *content = text;
  return true;
}

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void SetRealEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
}

AcadStandIn::AcadStandIn(const std::string& holdPath) {
  std::string command = "\"" SETUP_ACAD_STANDIN "\"";
  if (!holdPath.empty()) command += " \"" + holdPath + "\"";
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  CloseHandle(process.hThread);
  process_ = process.hProcess;
  if (holdPath.empty()) return;
  // Wine starts a process in a fraction of a second; allow it twenty.
  for (int wait = 0; wait < 400; ++wait) {
    if (HeldElsewhere(holdPath)) return;
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;  // it gave up
  }
  Stop();
}

AcadStandIn::~AcadStandIn() { Stop(); }

bool AcadStandIn::Running() const {
  return process_ && WaitForSingleObject(static_cast<HANDLE>(process_), 0) == WAIT_TIMEOUT;
}

void AcadStandIn::Stop() {
  if (!process_) return;
  const HANDLE process = static_cast<HANDLE>(process_);
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 20000);
  CloseHandle(process);
  process_ = nullptr;
}

}  // namespace testing_support
#endif
