// The setup program's global objects, constructed before the program's
// entry in this order and destroyed in reverse at exit: lastBrowseFolder,
// the application object, the setup engine.
#pragma once

#include <string>

#include "app/wizard_app.h"
#include "engine/acad_setup.h"

// The folder browser's remembered folder; empty at start.
extern std::string lastBrowseFolder;
extern CWizardApp theApp;
extern CAcadSetup theSetup;
// Cleared once the user has been told that AutoCAD runs.
extern bool warnHostRunning;
