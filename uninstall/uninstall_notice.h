// The one box that ends an uninstall: what was removed, what was left and
// why, and where the kept settings file is.
#pragma once

#include <string>

#include "uninstall/uninstall.h"

// Left items listed before the rest are only counted.
constexpr std::size_t kLeftItemsListed = 12;

// The box's text: CP936, the paths in it in the system code page and
// marked so (platform/message_text.h).
std::string DescribeUninstall(const UninstallResult& result);
