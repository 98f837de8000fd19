// Message box texts that mix the program's own words (CP936 on every
// system) with paths and registry names (the system's ANSI code page).
//
// Each part must be converted from its own code page: a path converted as
// CP936 on a code page 1252 system, or a Chinese sentence converted as 1252,
// shows as garbage. The program's texts stay plain strings; a system part
// is marked where it is joined in, by SystemText, and the window converts
// each part by itself (platform/window.h, MessageBox). The marks are the
// bytes 0x01 and 0x02, which no path, no registry name and no character of
// a double-byte or UTF-8 text holds.
#pragma once

#include <string>
#include <vector>

namespace platform {

// `text`, in the system's code page, marked for joining into a box text.
std::string SystemText(const std::string& text);

// The parts of a box text in order, each with its code page; adjacent
// parts of one code page come as one, empty parts not at all. A mark left
// open runs to the end.
struct MessagePart {
  bool system;  // the system's ANSI code page; else the program's CP936
  std::string text;
};
std::vector<MessagePart> SplitMessageText(const std::string& text);

// The text as the user reads it, without the marks.
std::string PlainMessageText(const std::string& text);

}  // namespace platform
