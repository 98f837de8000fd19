// Whether AutoCAD is running, from the system's process list.
#pragma once

namespace platform {
class ProcessList;
}  // namespace platform

// True when the executable name of a running process contains "acad.exe",
// ignoring letter case (acad.exe, ACAD.EXE, myacad.exe, acad.exe.bak);
// false otherwise and whenever the list cannot be read. Shows nothing.
bool IsAcadRunning(platform::ProcessList& processes);
