// The uninstall on a fuzzed record: any files, kept originals, demand-load
// entries, profiles, made folders and entry, named by paths built from
// pieces that meet (".." and ".", streams, device paths, AutoCAD's and the
// system's folders, support-file names) with hashes that match what lies
// there, and links on the way. On a machine of one AutoCAD and one install,
// whatever the record says, nothing outside the install's places changes:
// every other file keeps its content, none appears, no other folder goes,
// and every key and value of someone else stays as it was.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"
#include "platform/text.h"
#include "record/install_record.h"
#include "tests/fuzz/fuzz_support.h"
#include "uninstall/uninstall.h"

namespace {

const char kInstall[] = "D:\\Tools\\V-VidudOvev";
const char kAcad[] = "C:\\Program Files\\AutoCAD 2010";
const char kProduct[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804";

const char* const kRoots[] = {"C:", "D:", "E:", "\\\\?\\C:", "\\\\.\\D:", "\\\\server\\share", "", "D:\\Tools",
                              "C:\\Program Files\\AutoCAD 2010", "D:\\Tools\\V-VidudOvev"};
const char* const kNames[] = {"Tools", "V-VidudOvev", "..", ".", "Windows", "System32", "Program Files",
                              "AutoCAD 2010", "Fonts", "Drv", "backup", "itextsharp.dll", "hosts", "ACAD2010P.dll",
                              "Velkor_EN.shx", "pdfplot9.hdi", "itextsharp.dll:evil", "NUL", "V-VidudOvev.",
                              "1_itextsharp.dll", "Other", "Common Files", "\x81\x5C", "VK_VidudOvev2010.ARX"};
const char* const kKeys[] = {kProduct,
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows",
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0",
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
                             "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804",
                             "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "HKEY_CURRENT_USER\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles\\P\\Variables",
                             "HKEY_USERS\\S-1-5-18\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles\\P\\Variables",
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
const char* const kSubKeys[] = {"Applications\\Mine", "Applications\\AcadOwn", "System", "exefile",
                                "Applications", "Applications\\..\\..", "Uninstall\\Other", "V-VidudOvev"};

// What stays someone else's, whatever the record says.
const char kMachine[] =
    "REGEDIT4\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804]\n"
    "\"AcadLocation\"=\"C:\\\\Program Files\\\\AutoCAD 2010\\\\\"\n\"ProductName\"=\"AutoCAD 2010\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Applications\\AcadOwn]\n"
    "\"LOADER\"=\"C:\\\\Program Files\\\\AutoCAD 2010\\\\acad.arx\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Applications\\Mine]\n"
    "\"LOADER\"=\"D:\\\\Tools\\\\V-VidudOvev\\\\VK_VidudOvev2010.ARX\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\System]\n\"EnableSmartScreen\"=dword:00000001\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\exefile]\n@=\"Application\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other]\n\"DisplayName\"=\"Other\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\V-VidudOvev]\n\"TRUSTEDPATHS\"=\"x\"\n"
    "[HKEY_USERS\\S-1-5-18\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles\\P\\Variables]\n"
    "\"TRUSTEDPATHS\"=\"C:\\\\Mine\"\n";
// Keys and values that are never the install's (the last two hold a list
// that does not name the install folder).
const char* const kForeignKeys[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Applications\\AcadOwn",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\System",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\exefile",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\V-VidudOvev",
    "HKEY_USERS\\S-1-5-18\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:804\\Profiles\\P\\Variables"};

std::string Path(FuzzedDataProvider& input) {
  std::string path = kRoots[input.ConsumeIntegralInRange<std::size_t>(0, sizeof(kRoots) / sizeof(kRoots[0]) - 1)];
  const std::size_t levels = input.ConsumeIntegralInRange<std::size_t>(0, 6);
  for (std::size_t i = 0; i < levels; ++i) {
    path += "\\";
    path += input.ConsumeBool() ? kNames[input.ConsumeIntegralInRange<std::size_t>(
                                      0, sizeof(kNames) / sizeof(kNames[0]) - 1)]
                                : fuzz_support::KeyName(input, 12);
  }
  return path;
}

template <typename T, std::size_t N>
const T& Pick(FuzzedDataProvider& input, const T (&list)[N]) {
  return list[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

// Folders made links in this run, upper-cased.
std::vector<std::string> linked;

// Whether the uninstall may change the file or folder at `upper` (upper
// case): in the install folder, a support file by name in the AutoCAD
// folder, or a folder above the install folder; never below a link.
bool Allowed(const std::string& upper) {
  for (const std::string& link : linked) {
    if (upper.compare(0, link.size() + 1, link + "\\") == 0) return false;
  }
  const std::string install = platform::ToUpper(kInstall);
  const std::string acad = platform::ToUpper(kAcad);
  if (upper.compare(0, install.size() + 1, install + "\\") == 0 || upper == install) return true;
  if (upper == "D:\\TOOLS") return true;
  for (const char* name : {"\\ITEXTSHARP.DLL", "\\FONTS\\VELKOR_EN.SHX", "\\FONTS\\VELKOR_HZ.SHX",
                           "\\DRV\\PDFPLOT9.HDI"}) {
    if (upper == acad + name) return true;
  }
  // ACAD<year>P.DLL
  return upper.size() == acad.size() + 14 && upper.compare(0, acad.size() + 5, acad + "\\ACAD") == 0 &&
         upper.compare(upper.size() - 5, 5, "P.DLL") == 0;
}

// Every file (with its content) and folder ("<folder>") on the drives.
void Walk(const platform::MemoryFileSystem& files, const std::string& folder,
          std::map<std::string, std::string>* found) {
  for (const std::string& name : files.Names(folder)) {
    const std::string path = folder + "\\" + name;
    std::string content;
    if (files.ReadFile(path, &content)) {
      (*found)[platform::ToUpper(path)] = content;
    } else {
      (*found)[platform::ToUpper(path)] = "<folder>";
      Walk(files, path, found);
    }
  }
}

std::map<std::string, std::string> Snapshot(const platform::MemoryFileSystem& files) {
  std::map<std::string, std::string> found;
  for (const char* drive : {"C:", "D:", "E:"}) Walk(files, drive, &found);
  return found;
}

std::string Values(const platform::MemoryRegistry& registry, const std::string& key) {
  if (!registry.KeyExists(key)) return "<missing>";
  std::string all;
  for (const std::string& name : registry.ValueNames(key)) {
    unsigned long type = 0;
    std::string data;
    registry.GetValue(key, name, &type, &data);
    all += name + "=" + std::to_string(type) + ":" + data + ";";
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::SetCodePage(platform::CodePageId::Chinese);
  FuzzedDataProvider input(data, size);
  platform::MemoryFileSystem files;
  platform::MemoryRegistry registry;
  std::string error;
  FUZZ_CHECK(platform::ImportRegText(registry, kMachine, &error), error.c_str());
  // The install's own files, and everyone else's.
  files.AddFile(std::string(kInstall) + "\\VK_VidudOvev2010.ARX", "arx");
  files.AddFile(std::string(kInstall) + "\\Uninstall.exe", "exe");
  files.AddFile(std::string(kAcad) + "\\itextsharp.dll", "pdf");
  files.AddFile(std::string(kAcad) + "\\Fonts\\Velkor_EN.shx", "font");
  files.AddFile(std::string(kAcad) + "\\acad.exe", "acad");
  files.AddFile(std::string(kInstall) + "\\backup\\1_itextsharp.dll", "kept");
  files.AddFile("C:\\Windows\\System32\\hosts", "hosts");
  files.AddFile("C:\\Windows\\System32\\itextsharp.dll", "pdf");
  files.AddFile("D:\\Tools\\itextsharp.dll", "pdf");
  files.AddFile("D:\\Tools\\V-VidudOvev.\\hosts", "hosts");
  files.AddFile("E:\\Other\\ACAD2010P.dll", "dll");
  files.AddFolder("C:\\Program Files\\Common Files\\Empty");
  files.AddFolder("C:\\Program Files\\AutoCAD 2010\\Drv");
  // Links someone made on the way.
  const char* const linkable[] = {"C:\\Program Files\\AutoCAD 2010\\Fonts", "D:\\Tools\\V-VidudOvev\\backup",
                                  "C:\\Program Files\\AutoCAD 2010\\Drv", "E:\\Other"};
  linked.clear();
  for (const char* folder : linkable) {
    if (input.ConsumeIntegralInRange<int>(0, 7) != 0) continue;
    files.MarkReparsePoint(folder);
    linked.push_back(platform::ToUpper(folder));
  }

  {
    CInstallRecord record(files);
    record.Open(kInstall);
    const std::size_t items = input.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < items && input.remaining_bytes() > 0; ++i) {
      const std::string path = Path(input);
      std::string content;
      // A hash that matches what lies there (the double resolves "..").
      const std::string hash =
          files.ReadFile(path, &content) ? platform::HexNumber(Fnv1a64(content), 16) : "0000000000000000";
      switch (input.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
          record.files.push_back({path, std::to_string(content.size()), hash});
          break;
        case 1: {
          const std::string kept = input.ConsumeBool() ? std::string(kInstall) + "\\backup\\1_itextsharp.dll"
                                                       : Path(input);
          std::string keptContent;
          files.ReadFile(kept, &keptContent);
          record.backups.push_back(
              {path, kept, std::to_string(keptContent.size()), platform::HexNumber(Fnv1a64(keptContent), 16)});
          break;
        }
        case 2: {
          unsigned long type = 0;
          std::string loader = path;
          const std::string key = Pick(input, kKeys);
          const std::string sub = Pick(input, kSubKeys);
          if (input.ConsumeBool() && registry.GetValue(key + "\\" + sub, "LOADER", &type, &loader)) {
            loader = loader.substr(0, loader.find('\0'));  // what is there now
          }
          record.loaders.push_back({key, sub, loader});
          break;
        }
        case 3: {
          CInstallRecord::TrustedItem item;
          item.profile = Pick(input, kKeys);
          item.beforeAbsent = input.ConsumeBool();
          item.beforeType = 1;
          item.beforeData = input.ConsumeBool() ? std::string("C:\\Evil") + '\0' : std::string();
          item.writtenType = 1;
          registry.GetValue(item.profile, "TRUSTEDPATHS", &item.writtenType, &item.written);
          record.trusted.push_back(item);
          break;
        }
        case 4:
          record.madeFolders.push_back(path);
          break;
        default:
          record.entryRoot = input.ConsumeBool() ? "HKLM" : "HKCU";
          record.entryKey = input.ConsumeBool() ? "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other"
                                                : std::string(Pick(input, kKeys)).substr(19);
          break;
      }
    }
    record.NoteInstallFolder(input.ConsumeBool() ? std::string(kInstall) : Path(input));
  }

  const std::map<std::string, std::string> before = Snapshot(files);
  std::map<std::string, std::string> keys;
  for (const char* key : kForeignKeys) keys[key] = Values(registry, key);

  CUninstall(registry, files).Run(kInstall, std::string(kInstall) + "\\Uninstall.exe");

  const std::map<std::string, std::string> after = Snapshot(files);
  for (const auto& entry : before) {
    if (Allowed(entry.first)) continue;
    const auto now = after.find(entry.first);
    FUZZ_CHECK(now != after.end(), ("gone: " + entry.first).c_str());
    FUZZ_CHECK(now->second == entry.second, ("changed: " + entry.first).c_str());
  }
  for (const auto& entry : after) {
    FUZZ_CHECK(Allowed(entry.first) || before.count(entry.first), ("appeared: " + entry.first).c_str());
  }
  for (const char* key : kForeignKeys) FUZZ_CHECK(Values(registry, key) == keys[key], key);
  return 0;
}
