// Template 141, the setup dialog, as data: made from the same control table
// as the resource script, for the headless dialog and for the test that
// holds the compiled resource against it.
#pragma once

#include "platform/window.h"

constexpr int kSetupControlCount = 37;

const platform::DialogTemplate& SetupDialogTemplate();
