// Demand-load registration: the application entries that make each chosen
// AutoCAD release load the add-on's ARX module and its managed DLL at start.
#include <cstring>
#include <vector>

#include "engine/acad_setup.h"
#include "engine/program_names.h"
#include "record/install_record.h"
#include "platform/text.h"

using platform::RegKey;
namespace RegResult = platform::RegResult;
using platform::ScopedRegKey;

namespace {

const char kApplications[] = "Applications";

// Which build of the ARX module and of the managed DLL each release loads:
// one binary serves a family of releases.
struct ReleaseFiles {
  int moduleYear;
  int dllYear;
};
constexpr ReleaseFiles kReleaseFiles[kReleaseCount] = {
    {2008, 2007},  // 2007
    {2008, 2007},  // 2008
    {2009, 2009},  // 2009
    {2010, 2010},  // 2010
    {2010, 2010},  // 2011
    {2010, 2010},  // 2012
    {2013, 2013},  // 2013
    {2013, 2013},  // 2014
    {2015, 2013},  // 2015
    {2015, 2013},  // 2016
    {2017, 2013},  // 2017
    {2018, 2013},  // 2018
    {2019, 2013},  // 2019
    {2019, 2013},  // 2020
    {2021, 2013},  // 2021
    {2021, 2013},  // 2022
    {2021, 2013},  // 2023
    {2021, 2013},  // 2024
    {2025, 2013},  // 2025
    {2025, 2013},  // 2026
    {2027, 2013},  // 2027
};

// One application entry below a product key. `fits` is false when the
// sub-key name or the loader path would not fit AutoCAD's path buffer; such
// an entry is not written at all, since a cut path would load nothing.
struct AppEntry {
  char subKey[platform::kPathBufferSize] = {};
  char loader[platform::kPathBufferSize] = {};
  bool managed = false;
  bool fits = false;
};

AppEntry ModuleEntry(int entryYear, int moduleYear, const std::string& installFolder) {
  AppEntry entry;
  entry.fits = platform::FormatPath(entry.subKey, "%s%d", kModuleEntry, entryYear) &&
               platform::FormatPath(entry.loader, "%s\\VK_VidudOvev%d.ARX", installFolder.c_str(), moduleYear);
  return entry;
}

// The 64-bit 2010 release also loads the module built for 32-bit hosts.
AppEntry Module32Entry(const std::string& installFolder) {
  AppEntry entry;
  entry.fits = platform::FormatPath(entry.subKey, "Applications\\VK_VidudOvev%d_32", 2010) &&
               platform::FormatPath(entry.loader, "%s\\VK_VidudOvev%d_32.ARX", installFolder.c_str(), 2010);
  return entry;
}

AppEntry DllEntry(int year, int dllYear, const std::string& acadFolder) {
  AppEntry entry;
  entry.managed = true;
  entry.fits = platform::FormatPath(entry.subKey, "Applications\\Velkor%dDLLP", year) &&
               platform::FormatPath(entry.loader, "%s\\ACAD%dP.dll", acadFolder.c_str(), dllYear);
  return entry;
}

long SetDword(platform::Registry& registry, RegKey key, const char* name, unsigned long value) {
  // REG_DWORD: four bytes, least significant first.
  unsigned char data[4];
  for (int i = 0; i < 4; ++i) data[i] = static_cast<unsigned char>(value >> (8 * i) & 0xFF);
  return registry.SetValue(key, name, platform::RegType::Dword, data, sizeof(data));
}

// Replaces the entry whole: deleting first drops values that an older
// install or something else left in it. The delete fails harmlessly when
// the entry is missing or has sub-keys of its own (then only the values
// named here are overwritten). Gives the first error met, having still
// tried every value. `*created` tells whether the entry's key was made.
long WriteEntry(platform::Registry& registry, RegKey product, const AppEntry& entry, bool* created) {
  registry.DeleteKey(product, entry.subKey);
  ScopedRegKey key(registry);
  const long made = registry.CreateKey(product, entry.subKey, key.Receive());
  *created = made == RegResult::Success;
  if (made != RegResult::Success) return made;

  long first = RegResult::Success;
  auto note = [&first](long status) {
    if (first == RegResult::Success) first = status;
  };
  note(SetDword(registry, key.Get(), "LOADCTRLS", 2));
  note(registry.SetValue(key.Get(), "LOADER", platform::RegType::String,
                         reinterpret_cast<const unsigned char*>(entry.loader),
                         static_cast<unsigned long>(std::strlen(entry.loader) + 1)));
  if (entry.managed) note(SetDword(registry, key.Get(), "MANAGED", 1));
  return first;
}

}  // namespace

SetupProblems CAcadSetup::RegisterWithHosts(int f2007, int f2008, int f2009, int f2010, int f2011, int f2012,
                                            int f2013, int f2014, int f2015, int f2016, int f2017, int f2018,
                                            int f2019, int f2020, int f2021, int f2022, int f2023, int f2024,
                                            int f2025, int f2026, int f2027) {
  const int selected[kReleaseCount] = {f2007, f2008, f2009, f2010, f2011, f2012, f2013,
                                       f2014, f2015, f2016, f2017, f2018, f2019, f2020,
                                       f2021, f2022, f2023, f2024, f2025, f2026, f2027};
  SetupProblems problems;
  for (int k = 0; k < kReleaseCount; ++k) {
    if (selected[k]) RegisterDemandLoad(kFirstYear + k, &problems);
  }
  // Whatever was chosen: the profiles of every release should trust the folder.
  AddTrustedPaths(&problems);
  return problems;
}

void CAcadSetup::RegisterDemandLoad(int year, SetupProblems* problems) {
  if (year < kFirstYear || year > kLastYear) return;
  const int k = year - kFirstYear;
  const ReleaseFiles& files = kReleaseFiles[k];

  for (std::size_t i = 0; i < releaseKeys[k].size(); ++i) {
    const std::string& productPath = releaseKeys[k].at(i);
    std::vector<AppEntry> entries;
    entries.push_back(ModuleEntry(year, files.moduleYear, installFolder));
    if (editionBits_ == 64 && year == 2009) entries.push_back(ModuleEntry(2008, 2008, installFolder));
    if (editionBits_ == 64 && year == 2010) entries.push_back(Module32Entry(installFolder));
    entries.push_back(DllEntry(year, files.dllYear, acadFolders[k].at(i)));

    auto report = [&](SetupProblem::Kind kind, const AppEntry& entry, long error) {
      if (problems) problems->push_back({kind, year, "HKEY_LOCAL_MACHINE\\" + productPath, entry.subKey, error});
    };

    ScopedRegKey product(registry_);
    const long opened = registry_.OpenKey(platform::kLocalMachine, productPath.c_str(), product.Receive());
    std::string productKey = "HKEY_LOCAL_MACHINE\\" + productPath;
    platform::StripTrailingBackslash(productKey);
    // The Applications key is AutoCAD's when it was there before (empty or
    // not): only one this install makes is noted, for the uninstall to take.
    bool applicationsThere = true;
    if (opened == RegResult::Success) {
      ScopedRegKey applications(registry_);
      applicationsThere =
          registry_.OpenKeyRead(product.Get(), kApplications, applications.Receive()) != RegResult::FileNotFound;
    }
    for (const AppEntry& entry : entries) {
      if (!entry.fits) {
        report(SetupProblem::TextTooLong, entry, 0);
      } else if (opened != RegResult::Success) {
        report(SetupProblem::RegistryWrite, entry, opened);
      } else {
        bool created = false;
        const long error = WriteEntry(registry_, product.Get(), entry, &created);
        // An entry made in part is still this install's to take away.
        if (created && record) {
          if (!applicationsThere) record->NoteCreatedKey(productKey + "\\" + kApplications);
          record->NoteLoader(productKey, entry.subKey, entry.loader);
        }
        applicationsThere = applicationsThere || created;
        if (error) report(SetupProblem::RegistryWrite, entry, error);
      }
    }
  }
}
