// The notice that tells the user what an install could not do: what failed,
// by release and place, at most a screenful, and what to do about it.
#pragma once

#include <string>

#include "engine/acad_setup.h"

// Lines of problems listed before the rest are only counted; a problem met
// twice the same way is one line.
constexpr std::size_t kProblemsListed = 12;

// The notice's text: CP936, the places in it in the system code page and
// marked so (platform/message_text.h).
// Empty when there are no problems.
std::string DescribeProblems(const SetupProblems& problems);
