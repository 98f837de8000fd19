// The REGEDIT4 reader on any text: it never crashes, gives back every key it
// opened, and either succeeds or names the line it stopped at.
#include <cctype>
#include <cstdint>
#include <string>

#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// "line N: what", N a line of the text (0 only for an empty text).
bool NamesALine(const std::string& error, const std::string& text) {
  if (error.compare(0, 5, "line ") != 0) return false;
  std::size_t pos = 5;
  unsigned long line = 0;
  while (pos < error.size() && std::isdigit(static_cast<unsigned char>(error[pos])) && pos < 15) {
    line = line * 10 + static_cast<unsigned long>(error[pos++] - '0');
  }
  if (pos == 5 || error.compare(pos, 2, ": ") != 0 || pos + 2 == error.size()) return false;
  unsigned long lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  return line <= lines && (line > 0 || lines == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::MemoryRegistry registry;
  std::string error;
  const bool imported = platform::ImportRegText(registry, text, &error);
  FUZZ_CHECK(registry.OpenHandleCount() == 0, "every key the reader opened is closed");
  if (imported) {
    FUZZ_CHECK(error.empty(), "no error on success");
  } else {
    FUZZ_CHECK(NamesALine(error, text), error.c_str());
  }
  return 0;
}
