// Test doubles for what the steps need of the dialog: a message owner that
// records every box and answers from a script, and a counting progress bar.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_text.h"
#include "platform/window.h"

namespace testing_support {

// As the user reads it; `marked` with the parts marked by code page.
struct ShownMessage {
  std::string text;
  std::string caption;
  unsigned type;
  std::string marked;
};

class ScriptedOwner : public platform::MessageOwner {
 public:
  // Answers given in order; once used up, every box is answered with
  // `fallback` (OK for notices).
  std::deque<int> answers;
  int fallback = platform::kIdOk;
  std::vector<ShownMessage> shown;
  // Runs while a box is up, before it is answered: the user closing AutoCAD
  // before pressing Retry, say.
  std::function<void()> onShow;

  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
    shown.push_back({platform::PlainMessageText(text), caption, type, text});
    if (onShow) onShow();
    if (answers.empty()) return fallback;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class CountingProgress : public platform::ProgressStepper {
 public:
  int steps = 0;
  void StepIt() override { ++steps; }
};

}  // namespace testing_support
