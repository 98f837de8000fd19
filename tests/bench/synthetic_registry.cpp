#include "tests/bench/synthetic_registry.h"

namespace bench {

std::string SyntheticRegistryText(int* keyCount) {
  const std::string root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD";
  std::string text = "REGEDIT4\r\n\r\n[-" + root + "]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk]\r\n";
  int keys = 0;
  auto key = [&](const std::string& path) {
    text += "[" + root + "\\" + path + "]\r\n";
    ++keys;
  };
  for (int k = 0; k < 21; ++k) {
    const int year = 2007 + k;
    const std::string release = "R" + std::to_string(17 + k / 3) + "." + std::to_string(k % 3);
    key(release);
    // Four products (languages) with the two values and their usual sub-keys.
    const char* languages[] = {"804", "409", "404", "411"};
    for (const char* language : languages) {
      const std::string product = release + "\\ACAD-" + std::to_string(8000 + k) + ":" + language;
      key(product);
      text += "\"AcadLocation\"=\"C:\\\\Program Files\\\\AutoCAD " + std::to_string(year) + "\\\\\"\r\n";
      text += "\"ProductName\"=\"AutoCAD " + std::to_string(year) + "\"\r\n";
      for (int a = 0; a < 10; ++a) key(product + "\\Applications\\App" + std::to_string(a));
      for (int p = 0; p < 2; ++p) {
        for (const char* sub : {"General", "Variables", "Editor"}) {
          key(product + "\\Profiles\\Profile" + std::to_string(p) + "\\" + sub);
        }
      }
    }
    // An unrelated tree of 475 keys that holds neither value.
    key(release + "\\Common");
    for (int a = 0; a < 6; ++a) {
      const std::string level1 = release + "\\Common\\Area" + std::to_string(a);
      key(level1);
      for (int b = 0; b < 6; ++b) {
        const std::string level2 = level1 + "\\Group" + std::to_string(b);
        key(level2);
        for (int c = 0; c < 12; ++c) {
          key(level2 + "\\Item" + std::to_string(c));
          text += "\"Data\"=\"x\"\r\n";
        }
      }
    }
  }
  if (keyCount) *keyCount = keys;
  return text;
}

}  // namespace bench
