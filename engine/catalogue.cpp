// CAcadSetup construction and the install folder.
#include "engine/acad_setup.h"

#include "platform/text.h"

CAcadSetup::CAcadSetup(platform::Registry& registry, platform::FileSystem& files, platform::MessageOwner& owner,
                       int editionBitsValue)
    : registry_(registry), files_(files), owner_(owner), editionBits_(editionBitsValue) {}

void CAcadSetup::SetInstallFolder(std::string folder) {
  installFolder = std::move(folder);
  // The last character, not the last byte: the trail byte of a Chinese
  // character may be 0x5C and must stay.
  if (!installFolder.empty() && platform::ReverseFindChar(installFolder, '\\') == installFolder.size() - 1) {
    installFolder.pop_back();
  }
}
