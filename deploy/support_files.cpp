// InstallSupportFiles and CopySupportFiles: the files the add-on needs in
// AutoCAD's own installation folders.
#include <string>

#include "deploy/package_copy.h"
#include "deploy/package_folder.h"
#include "engine/acad_setup.h"
#include "engine/support_file_names.h"
#include "record/install_record.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {


// Copies sourceFolder\sourceName over destinationFolder\destinationName.
// A source the package does not hold is passed over in silence; any other
// failure, and a path that would not fit its buffer, becomes a problem.
// With a record, a file found there that is not ours is kept first (a copy
// that cannot be kept is a problem, and the file is still replaced), and
// the file placed is noted.
void PlaceSupportFile(platform::FileSystem& files, CInstallRecord* record, const std::string& sourceFolder,
                      const std::string& sourceName, const std::string& destinationFolder,
                      const std::string& destinationName, SetupProblems* problems) {
  char source[platform::kPathBufferSize];
  char destination[platform::kPathBufferSize];
  const bool sourceFits = platform::FormatPath(source, "%s\\%s", sourceFolder.c_str(), sourceName.c_str());
  const bool destinationFits =
      platform::FormatPath(destination, "%s\\%s", destinationFolder.c_str(), destinationName.c_str());
  const std::string sourcePath = sourceFolder + "\\" + sourceName;
  const std::string destinationPath = destinationFolder + "\\" + destinationName;

  if (!sourceFits || !destinationFits) {
    if (problems && files.GetAttributes(sourcePath) != platform::kInvalidAttributes) {
      problems->push_back({SetupProblem::TextTooLong, 0, destinationPath, sourcePath, 0});
    }
    return;
  }
  // Only what a copy will replace is kept: most of the DLL names are not
  // in the package, and another add-on's file of such a name stays as it is.
  if (record && files.GetAttributes(source) != platform::kInvalidAttributes && !record->KeepOriginal(destination)) {
    if (problems) problems->push_back({SetupProblem::BackupCopy, 0, destinationPath, sourcePath, files.LastError()});
  }
  // The package's files may carry the download mark of the archive they
  // came in; AutoCAD will not load a managed DLL that carries one.
  if (files.Copy(source, destination, false)) {
    DeleteZoneIdentifier(files, destination);
    if (record) record->NoteFile(destination);
    return;
  }
  const long error = files.LastError();
  // Most of the 44 DLL names are absent by design.
  if (files.GetAttributes(source) == platform::kInvalidAttributes) return;
  if (problems) problems->push_back({SetupProblem::FileCopy, 0, destinationPath, sourcePath, error});
}

}  // namespace

SetupProblems CAcadSetup::InstallSupportFiles(int f2007, int f2008, int f2009, int f2010, int f2011, int f2012,
                                              int f2013, int f2014, int f2015, int f2016, int f2017, int f2018,
                                              int f2019, int f2020, int f2021, int f2022, int f2023, int f2024,
                                              int f2025, int f2026, int f2027) {
  const int selected[kReleaseCount] = {f2007, f2008, f2009, f2010, f2011, f2012, f2013,
                                       f2014, f2015, f2016, f2017, f2018, f2019, f2020,
                                       f2021, f2022, f2023, f2024, f2025, f2026, f2027};
  SetupProblems problems;
  for (int k = 0; k < kReleaseCount; ++k) {
    if (!selected[k]) continue;
    for (const std::string& folder : acadFolders[k]) {
      const std::size_t first = problems.size();
      // Only AutoCAD 2008 gets the replacement plotter driver.
      CopySupportFiles(folder, k == 2008 - kFirstYear, &problems);
      for (std::size_t i = first; i < problems.size(); ++i) problems[i].year = kFirstYear + k;
    }
  }
  return problems;
}

void CAcadSetup::CopySupportFiles(std::string acadFolder, bool withDriver, SetupProblems* problems) {
  std::string package;
  // Looked up afresh for each folder. When the package has gone, the user
  // has been told, and there is no source left to copy from.
  if (!FindPackageFolder(files_, owner_, package)) return;

  // No folder is created: Fonts and Drv belong to AutoCAD's installation.
  const auto place = [&](const SupportFileName& file) {
    const std::string folder = *file.subFolder ? acadFolder + "\\" + file.subFolder : acadFolder;
    PlaceSupportFile(files_, record, package, file.source, folder, file.name, problems);
  };
  for (const SupportFileName& file : kSupportFiles) place(file);
  for (int year = kFirstDllYear; year <= kLastDllYear; ++year) {
    const std::string dll = ReleaseDllName(year);
    PlaceSupportFile(files_, record, package, dll, acadFolder, dll, problems);
  }
  if (withDriver) place(kPlotterDriver);
}
