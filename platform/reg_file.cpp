// REGEDIT4 reader; see reg_file.h.
#include "platform/reg_file.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

bool SplitRoot(const std::string& path, RegKey* root, std::string* rest) {
  const std::size_t slash = FindChar(path, '\\');
  const std::string head = ToUpper(path.substr(0, slash));
  *rest = slash == npos ? std::string() : path.substr(slash + 1);
  if (head == "HKEY_LOCAL_MACHINE" || head == "HKLM") *root = kLocalMachine;
  else if (head == "HKEY_CURRENT_USER" || head == "HKCU") *root = kCurrentUser;
  else if (head == "HKEY_USERS" || head == "HKU") *root = kUsers;
  else return false;
  return true;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after it.
bool ReadQuoted(const std::string& text, std::size_t& pos, std::string* out) {
  if (pos >= text.size() || text[pos] != '"') return false;
  out->clear();
  for (++pos; pos < text.size();) {
    const std::size_t length = CharLength(text, pos);
    if (length == 2) {
      out->append(text, pos, 2);
    } else if (text[pos] == '"') {
      ++pos;
      return true;
    } else if (text[pos] == '\\' && pos + 1 < text.size()) {
      out->push_back(text[pos + 1]);
      ++pos;
    } else {
      out->push_back(text[pos]);
    }
    pos += length;
  }
  return false;
}

bool ParseHexBytes(const std::string& text, std::string* out) {
  out->clear();
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!digits.empty()) {
        out->push_back(static_cast<char>(std::strtoul(digits.c_str(), nullptr, 16)));
        digits.clear();
      }
    } else if (std::isxdigit(static_cast<unsigned char>(c)) && digits.size() < 2) {
      digits.push_back(c);
    } else {
      return false;
    }
  }
  if (!digits.empty()) out->push_back(static_cast<char>(std::strtoul(digits.c_str(), nullptr, 16)));
  return true;
}

// One "name"=data line, applied to `key`.
bool ApplyValue(Registry& registry, RegKey key, const std::string& line) {
  std::size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, pos, &name)) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  const std::string data = line.substr(pos);
  unsigned long type = RegType::String;
  std::string bytes;
  if (!data.empty() && data[0] == '"') {
    std::size_t at = 0;
    if (!ReadQuoted(data, at, &bytes)) return false;
    bytes.push_back('\0');
  } else if (data.compare(0, 6, "dword:") == 0) {
    const unsigned long value = std::strtoul(data.c_str() + 6, nullptr, 16);
    type = RegType::Dword;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  } else if (data.compare(0, 4, "hex:") == 0) {
    type = RegType::Binary;
    if (!ParseHexBytes(data.substr(4), &bytes)) return false;
  } else if (data.compare(0, 4, "hex(") == 0) {
    const std::size_t close = data.find("):");
    if (close == std::string::npos) return false;
    type = std::strtoul(data.c_str() + 4, nullptr, 16);
    if (!ParseHexBytes(data.substr(close + 2), &bytes)) return false;
  } else {
    return false;
  }
  return registry.SetValue(key, name.c_str(), type, reinterpret_cast<const unsigned char*>(bytes.data()),
                           static_cast<unsigned long>(bytes.size())) == RegResult::Success;
}

}  // namespace

long DeleteKeyTree(Registry& registry, RegKey parent, const std::string& subKey) {
  ScopedRegKey key(registry);
  const long status = registry.OpenKeyRead(parent, subKey.c_str(), key.Receive());
  if (status != RegResult::Success) return status;
  for (;;) {
    char name[kMaxKeyNameLength + 1] = {};
    unsigned long length = sizeof(name);
    if (registry.EnumKey(key.Get(), 0, name, &length) != RegResult::Success) break;
    const long childStatus = DeleteKeyTree(registry, key.Get(), name);
    if (childStatus != RegResult::Success) return childStatus;
  }
  key.Reset();
  return registry.DeleteKey(parent, subKey.c_str());
}

std::string QuoteRegString(const std::string& text) {
  std::string quoted = "\"";
  for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
    if (CharLength(text, pos) == 1 && (text[pos] == '\\' || text[pos] == '"')) quoted.push_back('\\');
    quoted.append(text, pos, CharLength(text, pos));
  }
  return quoted + "\"";
}

bool ImportRegText(Registry& registry, const std::string& text, std::string* error) {
  std::istringstream in(text);
  std::string raw;
  std::vector<std::pair<int, std::string>> lines;
  int number = 0;
  // Join continuation lines (a trailing backslash outside a double-byte char).
  std::string pending;
  int pendingNumber = 0;
  while (std::getline(in, raw)) {
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (pending.empty()) pendingNumber = number;
    const std::size_t last = ReverseFindChar(raw, '\\');
    const bool continues = last != npos && last + 1 == raw.size();
    std::size_t first = raw.find_first_not_of(" \t");
    pending += first == std::string::npos ? std::string() : (pending.empty() ? raw : raw.substr(first));
    if (continues) {
      pending.pop_back();
      continue;
    }
    lines.emplace_back(pendingNumber, pending);
    pending.clear();
  }
  if (!pending.empty()) lines.emplace_back(pendingNumber, pending);

  auto fail = [&](int line, const char* what) {
    if (error) *error = "line " + std::to_string(line) + ": " + what;
    return false;
  };

  ScopedRegKey current(registry);
  bool header = false;
  for (const auto& [line, content] : lines) {
    if (content.empty() || content[0] == ';') continue;
    if (!header) {
      if (content != "REGEDIT4") return fail(line, "expected REGEDIT4");
      header = true;
      continue;
    }
    if (content[0] == '[') {
      current.Reset();
      const std::size_t close = ReverseFindChar(content, ']');
      if (close == npos) return fail(line, "unclosed key");
      const bool remove = content.size() > 1 && content[1] == '-';
      RegKey root = kNoKey;
      std::string path;
      if (!SplitRoot(content.substr(remove ? 2 : 1, close - (remove ? 2 : 1)), &root, &path)) {
        return fail(line, "unknown root key");
      }
      if (remove) {
        const long status = DeleteKeyTree(registry, root, path);
        if (status != RegResult::Success && status != RegResult::FileNotFound) return fail(line, "cannot delete");
      } else if (registry.CreateKey(root, path.c_str(), current.Receive()) != RegResult::Success) {
        return fail(line, "cannot create key");
      }
      continue;
    }
    if (!current.Valid()) return fail(line, "value outside a key");
    if (!ApplyValue(registry, current.Get(), content)) return fail(line, "cannot read or set value");
  }
  if (!header) return fail(number, "empty file");
  return true;
}

bool ImportRegFile(Registry& registry, const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ImportRegText(registry, text.str(), error);
}

}  // namespace platform
