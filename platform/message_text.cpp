// Marked message box texts; see message_text.h.
#include "platform/message_text.h"

namespace platform {
namespace {

constexpr char kSystemStart = '\x01';
constexpr char kSystemEnd = '\x02';

}  // namespace

std::string SystemText(const std::string& text) { return kSystemStart + text + kSystemEnd; }

std::vector<MessagePart> SplitMessageText(const std::string& text) {
  std::vector<MessagePart> parts;
  bool system = false;
  for (const char c : text) {
    if (c == kSystemStart || c == kSystemEnd) {
      system = c == kSystemStart;
      continue;
    }
    if (parts.empty() || parts.back().system != system) parts.push_back({system, std::string()});
    parts.back().text.push_back(c);
  }
  return parts;
}

std::string PlainMessageText(const std::string& text) {
  std::string plain;
  for (const MessagePart& part : SplitMessageText(text)) plain += part.text;
  return plain;
}

}  // namespace platform
