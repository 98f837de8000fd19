// The selection view: OnInitDialog, UpdateInstallButton, OnReleaseCheck,
// and the notice when it has nothing to offer.
#include <string>
#include <vector>

#include "deploy/package_folder.h"
#include "install/install_run.h"
#include "platform/text.h"
#include "res/setup_resources.h"
#include "ui/dlg_setup.h"

namespace {

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
  // One install per machine: offered again where it is.
  const InstalledCopy installed = setup_.FindInstalledCopy();
  if (!installed.folder.empty()) folderPath = installed.folder;

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
    MessageBox(NothingToOfferText(setup_), kSetupCaption, platform::kMbOk);
  }
}

void Dlg_Setup::UpdateInstallButton() {
  UpdateData(true);
  bool anyTicked = false;
  for (const int flag : selectionFlags) anyTicked = anyTicked || flag != 0;
  if (CWnd* install = GetDlgItem(SetupControl::InstallButton)) install->EnableWindow(anyTicked);
}

void Dlg_Setup::OnReleaseCheck() { UpdateInstallButton(); }
