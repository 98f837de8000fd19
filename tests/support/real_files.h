// Windows-only helpers for tests against real files and processes (under
// Wine): a scratch folder, plain file reads and writes, and the acad.exe
// stand-in, which can hold a file open from another process.
#pragma once

#ifdef _WIN32

#include <string>

namespace testing_support {

// A new, empty folder below the temp folder, removed with everything in it
// (read-only files included) when the object goes.
class RealSandbox {
 public:
  explicit RealSandbox(const std::string& tag);
  ~RealSandbox();
  RealSandbox(const RealSandbox&) = delete;
  RealSandbox& operator=(const RealSandbox&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Writes `content` to `path`, replacing the file; "file:stream" writes an
// alternate data stream where the file system has them.
bool WriteRealFile(const std::string& path, const std::string& content);
// False when the file cannot be read.
bool ReadRealFile(const std::string& path, std::string* content);
// True under Wine, false on Windows.
bool RunningUnderWine();
// Sets a variable of this process's environment.
void SetRealEnvironment(const std::string& name, const std::string& value);

// The acad.exe stand-in, running from construction until Stop or the end
// of the object. With a file, the constructor returns once the stand-in
// holds it open without sharing (Running() is false if it never did).
class AcadStandIn {
 public:
  explicit AcadStandIn(const std::string& holdPath = std::string());
  ~AcadStandIn();
  AcadStandIn(const AcadStandIn&) = delete;
  AcadStandIn& operator=(const AcadStandIn&) = delete;
  bool Running() const;
  // Ends the stand-in and waits until it is gone, its file released.
  void Stop();

 private:
  void* process_ = nullptr;  // the process handle
};

}  // namespace testing_support

#endif
