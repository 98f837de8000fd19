// Dlg_Setup: construction, the bindings, the message map and the colours.
#include "ui/dlg_setup.h"

#include "ui/setup_template.h"

Dlg_Setup::Dlg_Setup(const SetupContext& context, CWnd* parent)
    : CDialog(SetupDialogTemplate(), parent),
      setup_(context.setup),
      files_(context.files),
      processes_(context.processes),
      shell_(context.shell),
      accounts_(context.accounts),
      lastBrowseFolder_(context.lastBrowseFolder),
      warnHostRunning_(context.warnHostRunning),
      version_(context.version),
      logPath_(context.logPath),
      tellMissingRights_(context.rightsDeclined),
      force_(context.force),
      moveEarlier_(context.moveEarlier),
      armPerUser_(context.armPerUser) {
  selectionFlags.fill(1);
}

Dlg_Setup::~Dlg_Setup() = default;

void Dlg_Setup::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  for (int k = kReleaseCount - 1; k >= 0; --k) DDX_Control(pDX, kReleaseBoxIds[k], ReleaseBox(k));
  for (int k = 0; k < kReleaseCount; ++k) DDX_Check(pDX, kReleaseBoxIds[k], selectionFlags[k]);
  DDX_Text(pDX, SetupControl::TitleLabel, titleText);
  DDX_Text(pDX, SetupControl::EditionLabel, editionText);
  DDX_Control(pDX, SetupControl::ProgressBar, progressBar);
  DDX_Text(pDX, SetupControl::FolderField, folderPath, platform::TextCodePage::System);
}

// The framework's own: read and end with OK; end with Cancel.
void Dlg_Setup::OnOK() { CDialog::OnOK(); }
void Dlg_Setup::OnCancel() { CDialog::OnCancel(); }

BEGIN_MESSAGE_MAP(Dlg_Setup, CDialog)
ON_WM_CTLCOLOR(Dlg_Setup)
ON_BN_CLICKED(1018, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1019, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1020, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1027, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1026, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1028, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1029, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1030, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1031, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1032, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1033, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1034, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1035, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1036, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1037, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1038, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1039, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1040, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1041, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1042, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(1043, &Dlg_Setup::OnReleaseCheck)
ON_BN_CLICKED(SetupControl::BrowseButton, &Dlg_Setup::OnBrowse)
ON_BN_CLICKED(SetupControl::InstallButton, &Dlg_Setup::OnInstall)
END_MESSAGE_MAP()

namespace {

platform::FontSpec LabelFont(int height, int weight) {
  platform::FontSpec font;
  font.height = height;
  font.weight = weight;
  font.charSet = 0;  // ANSI
  font.face = "宋体";
  return font;
}

// The font of `font`, made on the first request. `height` is in pixels at
// 96 dpi: the labels grow with the display's DPI as the template font does.
CFont* MadeOnce(CFont& font, platform::Graphics* gdi, int height, int weight) {
  if (!font.GetSafeHandle() && gdi) {
    font.Attach(*gdi, gdi->CreateFont(LabelFont(platform::ScaleToDpi(height, gdi->LogPixelsY()), weight)));
  }
  return font.GetSafeHandle() ? &font : nullptr;
}

}  // namespace

platform::GdiObject Dlg_Setup::OnCtlColor(CDC* dc, CWnd* wnd, unsigned ctlColor) {
  CDialog::OnCtlColor(dc, wnd, ctlColor);
  dc->SetTextColor(platform::Rgb(0, 0, 0));
  const int id = wnd->GetDlgCtrlID();
  // The folder field keeps its opaque background, so its text stays legible.
  if (id != SetupControl::FolderField) dc->SetBkMode(platform::kTransparent);
  if (id == SetupControl::TitleLabel) {
    if (CFont* font = MadeOnce(titleFont, Gdi(), 14, 600)) dc->SelectObject(font);
    dc->SetTextColor(kLabelColor);
  } else if (id == SetupControl::EditionLabel) {
    if (CFont* font = MadeOnce(editionFont, Gdi(), 13, 400)) dc->SelectObject(font);
    dc->SetTextColor(kLabelColor);
  }
  return bkBrush.GetSafeHandle();
}
