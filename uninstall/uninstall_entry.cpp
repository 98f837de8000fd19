// ChooseRecordFolder and RegisterUninstall: where an install keeps what it
// needs to undo itself, the uninstaller beside it, and the Programs and
// Features entry that runs it.
#include <cstdint>
#include <string>

#include "engine/acad_setup.h"
#include "record/install_record.h"
#include "engine/program_names.h"
#include "platform/file_marks.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {

const char kUninstallerName[] = "\\Uninstall.exe";
const char kDisplayName[] = "批打印软件";
const char kPublisher[] = "Velkor";


// The entry's values, in order; the first that cannot be written ends the
// attempt with its status, and its name in `*failed`.
long WriteEntryValues(platform::Registry& registry, platform::RegKey key, const std::string& installFolder,
                      const std::string& uninstaller, unsigned long sizeKiB, int bits, std::string* failed) {
  const auto text = [&](const char* name, const std::string& value) {
    const std::string data = value + '\0';
    *failed = name;
    return registry.SetValue(key, name, platform::RegType::String,
                             reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<unsigned long>(data.size()));
  };
  const auto dword = [&](const char* name, unsigned long value) {
    const unsigned char data[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                   static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    *failed = name;
    return registry.SetValue(key, name, platform::RegType::Dword, data, 4);
  };
  // The program's own words in UTF-16, so that the list shows them right
  // on a system of any code page; paths come in the system's and go
  // through the narrow call, which converts them the same way.
  *failed = "DisplayName";
  long status = registry.SetTextValue(key, "DisplayName", kDisplayName);
  if (status == platform::RegResult::Success) {
    *failed = "Publisher";
    status = registry.SetTextValue(key, "Publisher", kPublisher);
  }
  const std::string command = "\"" + uninstaller + "\" /uninstall";
  if (status == platform::RegResult::Success) status = text("DisplayVersion", VersionText(versionNumber));
  if (status == platform::RegResult::Success) status = text("InstallLocation", installFolder);
  if (status == platform::RegResult::Success) status = text("DisplayIcon", uninstaller);
  if (status == platform::RegResult::Success) status = text("UninstallString", command);
  if (status == platform::RegResult::Success) status = text("QuietUninstallString", command + " /S");
  if (status == platform::RegResult::Success) status = dword("EstimatedSize", sizeKiB);
  if (status == platform::RegResult::Success) status = dword("NoModify", 1);
  if (status == platform::RegResult::Success) status = dword("NoRepair", 1);
  // Which edition's entry this is: the other edition reads it through its
  // own view, and on 32-bit Windows both views are this one.
  if (status == platform::RegResult::Success) status = dword(kEditionBitsValue, static_cast<unsigned long>(bits));
  return status;
}

}  // namespace

std::string CommonAppData(platform::FileSystem& files) {
  const std::string programData = files.Environment("ProgramData");
  if (!programData.empty()) return programData;
  const std::string allUsers = files.Environment("ALLUSERSPROFILE");
  return allUsers.empty() ? std::string() : allUsers + "\\Application Data";
}

std::string CAcadSetup::ChooseRecordFolder(const std::string& target, bool elevated, SetupProblems* problems) {
  if (!elevated) return target;
  // One folder per install folder: a reinstall into one folder finds its
  // record again, and an install that moves finds the earlier one's.
  const std::string common = CommonAppData(files_);
  const std::string records = common + kSubFolder;
  const std::string folder = records + "\\" + platform::HexNumber(Fnv1a64(platform::ToUpper(target)), 16);
  // Both levels are checked: someone may have made either first. A
  // squatter moved aside at the upper level takes the records below it
  // along, so no record is merged from a folder that was not ours.
  std::string aside;
  if (!common.empty() && files_.MakeOwnedFolder(records, platform::kRecordAccess, &aside) &&
      files_.MakeOwnedFolder(folder, platform::kRecordAccess, &aside)) {
    return folder;
  }
  const long error = common.empty() ? platform::FileError::EnvVarNotFound : files_.LastError();
  const std::string place = common.empty() ? std::string("%ProgramData%") : folder;
  if (problems) problems->push_back({SetupProblem::RecordFolder, 0, place, "", error});
  return std::string();
}

void CAcadSetup::RegisterUninstall(const std::string& recordFolder, SetupProblems* problems) {
  const std::string uninstaller = recordFolder + kUninstallerName;
  const std::string program = files_.ModulePath();
  // Started as that very Uninstall.exe, the program is in place already.
  if (!program.empty() && platform::EqualsNoCase(program, uninstaller)) {
    if (record) record->NoteFile(uninstaller);
  } else if (!program.empty() && files_.Copy(program, uninstaller, false)) {
    // A program that carries the download mark asks before it runs.
    DeleteZoneIdentifier(files_, uninstaller);
    if (record) record->NoteFile(uninstaller);
  } else {
    if (problems) problems->push_back({SetupProblem::FileCopy, 0, uninstaller, program, files_.LastError()});
    // An entry without an uninstaller would offer a removal that cannot
    // run; one kept from an earlier install still serves.
    if (files_.GetAttributes(uninstaller) == platform::kInvalidAttributes) return;
  }

  // The size of the package files in the install folder, rounded up.
  unsigned long long bytes = 0;
  if (record) {
    const std::string inside = installFolder + "\\";
    for (const CInstallRecord::FileItem& item : record->files) {
      if (!platform::EqualsNoCase(item.path.substr(0, inside.size()), inside)) continue;
      unsigned long long size = 0;
      for (const char digit : item.size) size = digit >= '0' && digit <= '9' ? size * 10 + (digit - '0') : 0;
      bytes += size;  // "unknown" counts nothing
    }
  }
  const unsigned long sizeKiB = static_cast<unsigned long>((bytes + 1023) / 1024);

  // The machine's list when its key can be made (RegCreateKey asks for
  // write access, so an existing key a standard account may only read
  // counts as not); that account's own list otherwise, which shows the
  // entry to it alone. A value that fails once the key is made is told,
  // not moved elsewhere: the record knows that key. The key is in this
  // program's registry view: for the 32-bit edition on 64-bit Windows that
  // is below Wow6432Node, which the list reads as well.
  struct Root {
    platform::RegKey key;
    const char* name;
    const char* shortName;
  };
  const Root roots[] = {{platform::kLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
                        {platform::kCurrentUser, "HKEY_CURRENT_USER", "HKCU"}};
  SetupProblem failure{SetupProblem::RegistryWrite, 0, "", "", 0};
  for (const Root& root : roots) {
    platform::ScopedRegKey key(registry_);
    failure.place = std::string(root.name) + "\\" + kUninstallKeyPath;
    failure.item.clear();
    failure.error = registry_.CreateKey(root.key, kUninstallKeyPath, key.Receive());
    if (failure.error != platform::RegResult::Success) continue;
    // Noted before its values, so that an install that stops here still
    // knows of the key.
    if (record) record->NoteUninstallEntry(root.shortName, kUninstallKeyPath);
    failure.error =
        WriteEntryValues(registry_, key.Get(), installFolder, uninstaller, sizeKiB, editionBits_, &failure.item);
    break;
  }
  if (failure.error != platform::RegResult::Success && problems) problems->push_back(failure);
}
