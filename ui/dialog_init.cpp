// The selection view: OnInitDialog, UpdateInstallButton, OnReleaseCheck,
// and the notice when it has nothing to offer.
#include <string>
#include <vector>

#include "deploy/package_folder.h"
#include "platform/text.h"
#include "res/setup_resources.h"
#include "ui/dlg_setup.h"

namespace {

const char kNothingFoundText[] = "本机未找到AutoCAD 2007-2027，没有可以安装的版本。";
const char kEditionsText[] = "32位 AutoCAD版用于32位的AutoCAD 2007-2016，64位 AutoCAD版用于64位的AutoCAD。";

// Why no box can be ticked: nothing found, or found only releases that the
// other edition serves, which is then named.
std::string NothingToOfferText(int bits, const std::vector<int>& otherYears) {
  if (otherYears.empty()) return kNothingFoundText;
  std::string years;
  for (const int year : otherYears) years += (years.empty() ? "" : "、") + std::to_string(year);
  char text[512];
  platform::FormatBounded(text, sizeof(text), "本程序（%d位 AutoCAD版）不能为本机的AutoCAD %s安装。\n\n请改用%d位 AutoCAD版的SetUp.exe。\n（%s）",
                bits, years.c_str(), bits == 32 ? 64 : 32, kEditionsText);
  return text;
}

// "批打印软件 V2026.08.01": minor and patch with a leading zero below 10.
std::string TitleFor(int version) {
  const int major = version / 10000;
  const int minor = version % 10000 / 100;
  const int patch = version % 100;
  char first[64];
  platform::FormatBounded(first, sizeof(first), minor >= 10 ? "批打印软件 V%d.%d" : "批打印软件 V%d.0%d", major, minor);
  char title[96];
  platform::FormatBounded(title, sizeof(title), patch >= 10 ? "%s.%d" : "%s.0%d", first, patch);
  return title;
}

}  // namespace

bool Dlg_Setup::OnInitDialog() {
  CDialog::OnInitDialog();
  if (platform::Graphics* gdi = Gdi()) bkBrush.Attach(*gdi, gdi->CreateSolidBrush(kBackgroundColor));

  titleText = TitleFor(version_);
  char edition[64];
  platform::FormatBounded(edition, sizeof(edition), "( %d位 AutoCAD版 )", setup_.EditionBits());
  editionText = edition;
  Window()->SetSmallIcon(IDI_SETUP);

  for (int k = 0; k < kReleaseCount; ++k) {
    if (setup_.acadFolders[k].empty()) {
      ReleaseBox(k).EnableWindow(false);
      selectionFlags[k] = 0;
    }
  }
  // The 32-bit edition serves 2007..2016 only (release indices 0..9).
  for (int k = 0; k < kReleaseCount; ++k) {
    if (!EditionServes(setup_.EditionBits(), kFirstYear + k)) {
      ReleaseBox(k).ShowWindow(platform::kSwHide);
      selectionFlags[k] = 0;
    }
  }
  UpdateData(false);
  UpdateInstallButton();
  return true;
}

void Dlg_Setup::OnShown() {
  // No box can be ticked: say why, over the dialog, before the user looks
  // for one.
  bool offered = false;
  for (const int flag : selectionFlags) offered = offered || flag != 0;
  if (!offered) {
    MessageBox(NothingToOfferText(setup_.EditionBits(), setup_.ReleasesForOtherEdition()), kSetupCaption,
               platform::kMbOk);
  }
}

void Dlg_Setup::UpdateInstallButton() {
  UpdateData(true);
  bool anyTicked = false;
  for (const int flag : selectionFlags) anyTicked = anyTicked || flag != 0;
  if (CWnd* install = GetDlgItem(SetupControl::InstallButton)) install->EnableWindow(anyTicked);
}

void Dlg_Setup::OnReleaseCheck() { UpdateInstallButton(); }
