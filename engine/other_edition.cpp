// What the other edition would offer on a machine where this one offers
// nothing: the hint of the nothing-to-offer notice.
#include "engine/acad_setup.h"

using platform::RegKey;
using platform::RegView;
namespace RegResult = platform::RegResult;

namespace {

// The registry as a process of the other bitness sees it, for reading:
// every open goes through the other view (with the flag again below each
// handle, as Windows asks); every write is refused.
class OtherViewRegistry final : public platform::Registry {
 public:
  OtherViewRegistry(platform::Registry& inner, RegView view) : inner_(inner), view_(view) {}

  long OpenKey(RegKey parent, const char* subKey, RegKey* result) override {
    // No sub-key: the same handle, as RegOpenKeyA gives it.
    if (!subKey || !*subKey) return inner_.OpenKey(parent, subKey, result);
    return inner_.OpenKeyReadView(parent, subKey, view_, result);
  }
  long OpenKeyRead(RegKey parent, const char* subKey, RegKey* result) override {
    return inner_.OpenKeyReadView(parent, subKey, view_, result);
  }
  long OpenKeyReadView(RegKey parent, const char* subKey, RegView view, RegKey* result) override {
    return inner_.OpenKeyReadView(parent, subKey, view, result);
  }
  long CreateKey(RegKey, const char*, RegKey*) override { return RegResult::AccessDenied; }
  long QuerySubKeyCount(RegKey key, unsigned long* count) override { return inner_.QuerySubKeyCount(key, count); }
  long QueryValueCount(RegKey key, unsigned long* count) override { return inner_.QueryValueCount(key, count); }
  long EnumKey(RegKey key, unsigned long index, char* name, unsigned long* nameLength) override {
    return inner_.EnumKey(key, index, name, nameLength);
  }
  long QueryValue(RegKey key, const char* valueName, unsigned long* type, unsigned char* data,
                  unsigned long* size) override {
    return inner_.QueryValue(key, valueName, type, data, size);
  }
  long SetValue(RegKey, const char*, unsigned long, const unsigned char*, unsigned long) override {
    return RegResult::AccessDenied;
  }
  long SetTextValue(RegKey, const char*, const std::string&) override { return RegResult::AccessDenied; }
  long DeleteKey(RegKey, const char*) override { return RegResult::AccessDenied; }
  long DeleteValue(RegKey, const char*) override { return RegResult::AccessDenied; }
  long CloseKey(RegKey key) override { return inner_.CloseKey(key); }

 private:
  platform::Registry& inner_;
  RegView view_;
};

}  // namespace

std::vector<int> CAcadSetup::ReleasesForOtherEdition() {
  const int other = editionBits_ == 32 ? 64 : 32;
  std::vector<int> years;
  bool found = false;
  for (int k = 0; k < kReleaseCount; ++k) {
    if (acadFolders[k].empty()) continue;
    found = true;
    if (!EditionServes(editionBits_, kFirstYear + k)) years.push_back(kFirstYear + k);
  }
  if (found) return years;

  // The other edition's own scan, run in the other edition's view. Its
  // faults are not the user's concern here: it only gives a hint.
  OtherViewRegistry view(registry_, other == 64 ? RegView::Bits64 : RegView::Bits32);
  CAcadSetup look(view, files_, owner_, other);
  look.ScanReleases();
  for (int k = 0; k < kReleaseCount; ++k) {
    if (!look.acadFolders[k].empty() && EditionServes(other, kFirstYear + k)) years.push_back(kFirstYear + k);
  }
  return years;
}
