// Folder browsing: OnBrowse.
#include "ui/dlg_setup.h"

// Not built yet: the folder browser comes with the install command. Until
// then the button does nothing.
void Dlg_Setup::OnBrowse() {}
