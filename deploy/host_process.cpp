// The host process check; see host_process.h.
#include "deploy/host_process.h"

#include <string>

#include "platform/processes.h"
#include "platform/text.h"

bool IsAcadRunning(platform::ProcessList& processes) {
  const std::string wanted = platform::ToLower("acad.exe");
  const platform::ScopedSnapshot snapshot(processes, processes.TakeSnapshot());
  if (!snapshot.Valid()) return false;
  std::string name;
  if (!processes.FirstProcess(snapshot.Get(), &name)) return false;
  do {
    // Containment, not equality: renamed and wrapped launchers count too.
    if (platform::FindText(platform::ToLower(name), wanted) != platform::npos) return true;
  } while (processes.NextProcess(snapshot.Get(), &name));
  return false;
}
