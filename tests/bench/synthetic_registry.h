// A synthetic AutoCAD registry for measuring the scan: 21 release keys with
// several products each, and beside them deep sub-trees that hold neither
// value, so both key-tree searches must walk them.
#pragma once

#include <string>

namespace bench {

// REGEDIT4 text (ASCII) of about 11,700 keys below
// HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD; `keyCount` receives the count.
std::string SyntheticRegistryText(int* keyCount = nullptr);

}  // namespace bench
