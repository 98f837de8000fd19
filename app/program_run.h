// The program's run from its command line (app/main.cpp calls it): the
// setup dialog without arguments, the silent install (/S), the uninstall
// (/uninstall, through its hand-over), the usage (/?), and a refused
// command line; every run writes the log (run/setup_log.h).
#pragma once

#include <functional>
#include <string>

#include "app/wizard_app.h"
#include "run/setup_log.h"

namespace platform {
class Launcher;
class InstanceLock;
class MessageOwner;
class Registry;
}  // namespace platform

struct ProgramWorld {
  WizardWorld wizard;             // its setup and files write through the log's decorators
  platform::Registry& registry;   // the same, for the uninstall
  platform::Launcher& launcher;
  platform::MessageOwner& boxes;  // boxes of a run without a dialog
  CSetupLog& log;
  RunFacts facts;                 // for the log's header
  std::function<void(unsigned milliseconds)> pause;
  // Writes to the console the program was started from; false when there
  // is none (started from Explorer or a deployment tool).
  std::function<bool(const std::string& text)> console;
  // One run at a time on the machine; none: unguarded (tests).
  platform::InstanceLock* instances = nullptr;
};

// The exit code (engine/exit_codes.h).
int RunProgram(const ProgramWorld& world, const std::string& commandLine);
