// The window family: what the setup steps need of the dialog that owns them.
// The dialog implements these; tests script the answers.
#pragma once

#include <string>

namespace platform {

// Message box types and answers, with the Win32 numbers.
constexpr unsigned kMbOk = 0x0;               // MB_OK, no icon
constexpr unsigned kMbAbortRetryIgnore = 0x2; // MB_ABORTRETRYIGNORE, no icon
constexpr int kIdOk = 1;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;

// Shows a modal message box owned by the setup dialog and returns the button
// pressed.
class MessageOwner {
 public:
  virtual ~MessageOwner() = default;
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// Advances the dialog's progress bar by its step (PBM_STEPIT).
class ProgressStepper {
 public:
  virtual ~ProgressStepper() = default;
  virtual void StepIt() = 0;
};

}  // namespace platform
