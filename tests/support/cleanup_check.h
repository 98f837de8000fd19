// What every cleanup command must keep, whatever the paths it is given:
// within the command processor's limit once its variables are put in, and
// nothing but the fixed words outside quotes, each quoted part a variable
// of the child's own environment (or the program's path in the head), so
// that no character of a path is read as a command.
#pragma once

#include <cstring>
#include <set>
#include <string>

#include "platform/text.h"
#include "uninstall/uninstall_handoff.h"

namespace testing_support {

// Empty when `launch` keeps the rules; otherwise what it breaks.
inline std::string CleanupCommandFault(const CleanupLaunch& launch) {
  const std::string& line = launch.commandLine;
  const auto& environment = launch.places.environment;
  if (ExpandedLength(line, environment) > kCommandProcessorLimit) return "longer than the limit once expanded";
  const std::string head = "\"" + launch.places.program + "\" /d /v:off /q /s /c \"";
  if (line.compare(0, head.size(), head) != 0) return "not the fixed head: " + line.substr(0, head.size());
  if (line.size() <= head.size() || line.back() != '"') return "no closing quote";
  const std::string body = line.substr(head.size(), line.size() - head.size() - 1);
  std::set<std::string> names;
  for (const auto& variable : environment) names.insert("%" + variable.first + "%");
  bool quoted = false;
  std::string inside;
  for (const char c : body) {
    if (c == '"') {
      if (quoted && !names.count(inside)) return "a quoted part that is not one of the child's variables: " + inside;
      quoted = !quoted;
      inside.clear();
    } else if (quoted) {
      inside += c;
    } else if (!std::strchr("abcdefghijklmnopqrstuvwxyz0123456789 &()>/.-", c) || c == '\0') {
      return std::string("an unquoted '") + c + "'";
    }
  }
  if (quoted) return "a quote left open";
  return std::string();
}

}  // namespace testing_support
