// The program's own names, each said once: the folder it installs into
// below the chosen one, the folders and files it keeps, and its registry
// key. The install, the uninstall and the log all read them from here.
#pragma once

// Appended to the folder the user chose: the add-on's own folder.
constexpr char kSubFolder[] = "\\V-VidudOvev";
// The same name on its own: the protected records folder below
// %ProgramData%, and what the uninstaller's folder is recognised by.
constexpr char kProgramFolderName[] = "V-VidudOvev";
// The log's file name in %TEMP% (or the protected folder).
constexpr char kLogFileName[] = "V-VidudOvev-setup.log";
// The uninstaller's copies of itself in %TEMP%: this and a number.
constexpr char kUninstallCopyPrefix[] = "\\V-VidudOvev-uninstall-";
// The Programs and Features entry, below HKLM or HKCU.
constexpr char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\V-VidudOvev";
// Below an AutoCAD product key, with the release's year appended: the
// demand-load entry of the add-on's module for that release.
constexpr char kModuleEntry[] = "Applications\\VK_VidudOvev";
// The entry's DWORD that names the edition (32 or 64) that wrote it.
constexpr char kEditionBitsValue[] = "EditionBits";
