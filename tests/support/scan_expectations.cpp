#include "tests/support/scan_expectations.h"

#include <gtest/gtest.h>

namespace testing_support {

void ExpectMachineScanCatalogue(const CAcadSetup& setup) {
  const std::string wow = "SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\";
  const std::string native = "SOFTWARE\\Autodesk\\AutoCAD\\";
  struct Entry {
    std::string key;
    std::string folder;
  };
  std::vector<Entry> expected[kReleaseCount];
  // 2010 under both roots, the Wow6432Node one first; then a product whose
  // name also names 2012.
  expected[3] = {{wow + "R18.0\\ACAD-8001:804\\", "C:\\Program Files (x86)\\AutoCAD 2010"},
                 {native + "R18.0\\ACAD-8001:804\\", "C:\\Program Files\\AutoCAD 2010"},
                 {native + "R18.2\\ACAD-A001:409\\", "D:\\Both"}};
  expected[6] = {{native + "R19.0\\ACAD-B001:804\\", "C:\\CAD2013"}};
  expected[10] = {{native + "R21.0\\ACAD-0001:804\\", "C:"}};
  expected[11] = {{native + "R22.0\\Group\\ACAD-1001:409\\", "E:\\Deep\\"}};
  expected[13] = {{native + "R23.1\\ACAD-3001:409\\", "C:\\" + std::string(516, 'L')}};
  expected[14] = {{native + "R24.0\\ACAD-4101:804\\", "D:\\软件\\乗"}};
  expected[20] = {{native + "R26.2\\ACAD-7001:804\\", "F:\\AutoCAD 2027"}};

  for (int k = 0; k < kReleaseCount; ++k) {
    SCOPED_TRACE("release " + std::to_string(kFirstYear + k));
    ASSERT_EQ(setup.acadFolders[k].size(), setup.releaseKeys[k].size());
    ASSERT_EQ(setup.acadFolders[k].size(), expected[k].size());
    for (std::size_t n = 0; n < expected[k].size(); ++n) {
      EXPECT_EQ(setup.releaseKeys[k].at(n), expected[k][n].key);
      EXPECT_EQ(setup.acadFolders[k].at(n), expected[k][n].folder);
    }
  }
}

}  // namespace testing_support
