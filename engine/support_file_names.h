// The files the add-on places into AutoCAD's own installation folders, named
// once: the install places them (deploy/support_files.cpp) and the uninstall
// recognises them (uninstall/uninstall.cpp) from this list.
#pragma once

#include <string>

struct SupportFileName {
  const char* source;     // in the package folder
  const char* subFolder;  // below the AutoCAD folder; "" for the folder itself
  const char* name;       // as placed
};

// Placed into every AutoCAD folder of each chosen release.
constexpr SupportFileName kSupportFiles[] = {
    {"Velkor_EN.shx", "Fonts", "Velkor_EN.shx"},
    {"Velkor_HZ.shx", "Fonts", "Velkor_HZ.shx"},
    {"itextsharp.dll", "", "itextsharp.dll"},
};
// The plotter driver, for AutoCAD 2008 alone.
constexpr SupportFileName kPlotterDriver = {"Velkor.prt5", "Drv", "pdfplot9.hdi"};

// The per-release DLLs, "ACAD<year>P.dll", are tried for every year of this
// range, whatever release the folder belongs to; the package holds only
// some of them.
constexpr int kFirstDllYear = 2007;
constexpr int kLastDllYear = 2050;
std::string ReleaseDllName(int year);

// Whether `name` in a folder named `parent` (names only, any letter case)
// is one the install places: one of the files above in its sub-folder (the
// ones placed into the AutoCAD folder itself, in any folder), or a
// per-release DLL of any four-digit year.
bool IsSupportFileName(const std::string& name, const std::string& parent);
