// The whole state of an in-memory machine as text, to tell two states
// apart: every key and value (type and bytes) of the three registry trees,
// and every folder and file (attributes, download mark, content) of the
// drives named. Paths below one of `skipped` (a file, a folder or a key,
// ignoring case) are left out, for what a test allows to differ.
#pragma once

#include <string>
#include <vector>

#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"

namespace testing_support {

std::string MachineState(const platform::MemoryRegistry& registry, platform::MemoryFileSystem& files,
                         const std::vector<std::string>& drives = {"C:", "D:", "E:"},
                         const std::vector<std::string>& skipped = {});

// The first line in which two states differ, for a failure message.
std::string FirstDifference(const std::string& expected, const std::string& actual);

}  // namespace testing_support
