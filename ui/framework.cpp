// The dialog framework; see framework.h.
#include "ui/framework.h"


using platform::GdiObject;

bool CGdiObject::Attach(platform::Graphics& gdi, GdiObject object) {
  DeleteObject();
  if (object == platform::kNoObject) return false;
  gdi_ = &gdi;
  object_ = object;
  return true;
}

bool CGdiObject::DeleteObject() {
  if (object_ == platform::kNoObject) return false;
  const bool deleted = gdi_->DeleteObject(object_);
  object_ = platform::kNoObject;
  gdi_ = nullptr;
  return deleted;
}

void CWnd::Attach(platform::DialogWindow* window, int id) {
  window_ = window;
  id_ = id;
}

bool CWnd::ShowWindow(int command) {
  if (!window_) return false;
  const bool wasVisible = window_->IsVisible(id_);
  window_->Show(id_, command);
  return wasVisible;
}

bool CWnd::EnableWindow(bool enable) {
  if (!window_) return false;
  const bool wasDisabled = !window_->IsEnabled(id_);
  window_->Enable(id_, enable);
  return wasDisabled;
}

void CWnd::PumpMessages() {
  if (window_) window_->PumpMessages();
}

bool CWnd::IsWindowVisible() const { return window_ && window_->IsVisible(id_); }
bool CWnd::IsWindowEnabled() const { return window_ && window_->IsEnabled(id_); }

void CWnd::GetWindowRect(platform::Rect* rect) const {
  *rect = window_ ? window_->WindowRect(id_) : platform::Rect{};
}

void CWnd::ScreenToClient(platform::Rect* rect) const {
  if (window_) *rect = window_->ScreenToClient(*rect);
}

void CWnd::MoveWindow(long x, long y, long width, long height, bool repaint) {
  if (window_) window_->Move(id_, platform::Rect{x, y, x + width, y + height}, repaint);
}

void CWnd::CenterWindow() {
  if (!window_) return;
  const platform::Rect area = window_->WorkArea();
  const platform::Rect rect = window_->WindowRect(id_);
  // A window larger than the area keeps its top left corner on the area.
  auto centred = [](long low, long high, long size) {
    const long start = low + (high - low - size) / 2;
    return start < low ? low : start;
  };
  const long left = centred(area.left, area.right, rect.Width());
  const long top = centred(area.top, area.bottom, rect.Height());
  window_->Move(id_, platform::Rect{left, top, left + rect.Width(), top + rect.Height()}, false);
}

std::intptr_t CWnd::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  return window_ ? window_->Send(id_, message, wParam, lParam) : 0;
}

namespace {
BoxObserver& TheBoxObserver() {
  static BoxObserver observer;
  return observer;
}
}  // namespace

void AfxSetBoxObserver(BoxObserver observer) { TheBoxObserver() = std::move(observer); }

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  const int answer = window_ ? window_->MessageBox(text, caption, type) : 0;
  if (TheBoxObserver()) TheBoxObserver()(text, caption, type, answer);
  return answer;
}

GdiObject CWnd::OnCtlColor(CDC*, CWnd*, unsigned) { return platform::kNoObject; }

int CButton::GetCheck() const { return window_ ? window_->GetCheck(id_) : 0; }
void CButton::SetCheck(int state) {
  if (window_) window_->SetCheck(id_, state);
}

void CProgressCtrl::SetRange(short lower, short upper) {
  const auto range = static_cast<std::intptr_t>((static_cast<unsigned>(static_cast<unsigned short>(upper)) << 16) |
                                                static_cast<unsigned short>(lower));
  SendMessage(platform::kPbmSetRange, 0, range);
}
int CProgressCtrl::SetPos(int position) {
  return static_cast<int>(SendMessage(platform::kPbmSetPos, static_cast<std::uintptr_t>(position), 0));
}
int CProgressCtrl::SetStep(int step) {
  return static_cast<int>(SendMessage(platform::kPbmSetStep, static_cast<std::uintptr_t>(step), 0));
}
int CProgressCtrl::GetPos() { return static_cast<int>(SendMessage(platform::kPbmGetPos, 0, 0)); }
void CProgressCtrl::StepIt() { SendMessage(platform::kPbmStepIt, 0, 0); }

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  platform::DialogWindow* window = pDX->m_pDlgWnd->Window();
  if (control.IsAttached() || !window || !window->HasItem(id)) return;
  control.Attach(window, id);
  pDX->m_pDlgWnd->AddAttached(&control);
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  platform::DialogWindow* window = pDX->m_pDlgWnd->Window();
  if (!window) return;
  if (pDX->m_bSaveAndValidate) {
    value = window->GetCheck(id);
  } else {
    window->SetCheck(id, value);
  }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value, platform::TextCodePage codePage) {
  platform::DialogWindow* window = pDX->m_pDlgWnd->Window();
  if (!window) return;
  if (pDX->m_bSaveAndValidate) {
    value = window->GetText(id, codePage);
  } else {
    window->SetText(id, value, codePage);
  }
}

// The framework's own commands: OK and Cancel (also Enter, Escape and the
// close box, which the dialog manager turns into them).
const AFX_MSGMAP CDialog::messageMap_ = {nullptr, CDialog::messageEntries_};
const AFX_MSGMAP_ENTRY CDialog::messageEntries_[] = {
    ON_COMMAND(platform::kIdOk, &CDialog::OnOK)
    ON_COMMAND(platform::kIdCancel, &CDialog::OnCancel)
    {0, 0, 0, nullptr, nullptr}};
const AFX_MSGMAP* CDialog::GetMessageMap() const { return &messageMap_; }

CDialog::CDialog(const platform::DialogTemplate& dialogTemplate, CWnd* parent)
    : template_(dialogTemplate), parent_(parent) {}

int CDialog::DoModal() {
  if (!runner_) return -1;
  return runner_->RunModal(template_, *this);
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(platform::kIdOk);
}

void CDialog::OnCancel() { EndDialog(platform::kIdCancel); }

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::UpdateData(bool saveAndValidate) {
  if (!window_) return false;
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return true;
}

void CDialog::EndDialog(int result) {
  if (window_) window_->End(result);
}

CWnd* CDialog::GetDlgItem(int id) {
  if (!window_ || !window_->HasItem(id)) return nullptr;
  CWnd& item = items_[id];
  item.Attach(window_, id);
  return &item;
}

int CDialog::ShowMessage(const std::string& text, const std::string& caption, unsigned type) {
  return MessageBox(text, caption, type);
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(unsigned message, int code, int id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->baseMap) {
    for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->message != 0; ++entry) {
      if (entry->message != message) continue;
      if (message == kWmCommand && (entry->code != code || entry->id != id)) continue;
      return entry;
    }
  }
  return nullptr;
}

bool CDialog::OnWindowInit(platform::DialogWindow& window) {
  Attach(&window, 0);
  const platform::Rect placed = window.WindowRect(0);
  const bool result = OnInitDialog();
  // As the classic framework does after the dialog's own initialisation: a
  // parentless dialog that did not place itself is centred on the work area
  // of its monitor (the template's 0, 0 would leave it in the corner).
  const platform::Rect now = window.WindowRect(0);
  const bool moved = now.left != placed.left || now.top != placed.top || now.right != placed.right ||
                     now.bottom != placed.bottom;
  if (window_ && !moved && !parent_) CenterWindow();
  return result;
}

void CDialog::OnWindowCommand(int id, int code) {
  if (const AFX_MSGMAP_ENTRY* entry = FindEntry(kWmCommand, code, id)) (this->*entry->pfn)();
}

GdiObject CDialog::OnWindowCtlColor(platform::DeviceContext& dc, int id, int kind) {
  const AFX_MSGMAP_ENTRY* entry = FindEntry(kWmCtlColor, 0, 0);
  CWnd* wnd = id == 0 ? this : GetDlgItem(id);
  if (!entry || !wnd) return platform::kNoObject;
  CDC context(dc);
  return (this->*entry->pfnCtlColor)(&context, wnd, static_cast<unsigned>(kind));
}

void CDialog::OnWindowGone() {
  for (CWnd* control : attached_) control->Detach();
  attached_.clear();
  for (auto& item : items_) item.second.Detach();
  Detach();
}
