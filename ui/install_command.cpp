// The install command: OnInstall.
#include "ui/dlg_setup.h"

// Not built yet: the install sequence comes with the install command. Until
// then the button does nothing.
void Dlg_Setup::OnInstall() {}
