// REGEDIT4 registry files: one text describes a machine's registry for the
// in-memory registry and, through regedit /S, for the real one under Wine.
//
// Understood: the "REGEDIT4" header; [ROOT\path] (created) and [-ROOT\path]
// (deleted with everything below it) for HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER and HKEY_USERS; "name"="text" and @="text" with \\ and \" escapes;
// dword:xxxxxxxx; hex:..., hex(n):... with line continuations; comments
// starting with ';'. Text is CP936 and is read by characters, so a trail
// byte 0x5C or 0x5D is never an escape or a closing bracket.
#pragma once

#include <string>

#include "platform/registry.h"

namespace platform {

// Applies `text` to `registry`. False, with the line number in `error`, on
// the first line it cannot understand or apply; lines before it stay applied.
bool ImportRegText(Registry& registry, const std::string& text, std::string* error = nullptr);
bool ImportRegFile(Registry& registry, const std::string& path, std::string* error = nullptr);

// Deletes `subKey` below `parent` with all its sub-keys (depth first).
// FileNotFound when it does not exist.
long DeleteKeyTree(Registry& registry, RegKey parent, const std::string& subKey);

// Quotes `text` as a REGEDIT4 string ("..." with \\ and \" escaped).
std::string QuoteRegString(const std::string& text);

}  // namespace platform
