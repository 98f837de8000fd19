// The headless dialog; see headless_dialog.h.
#include "platform/memory/headless_dialog.h"

#include "platform/message_text.h"

namespace platform {
namespace {

constexpr unsigned long kCheckBoxKindMask = 0xF;
constexpr unsigned long kBsCheckBox = 0x2, kBsAutoCheckBox = 0x3;
constexpr unsigned long kBsPushButton = 0x0, kBsDefPushButton = 0x1;

bool IsClass(const ControlTemplate& control, const char* name) {
  return std::string(control.className) == name;
}

bool IsCheckBox(const ControlTemplate& control) {
  const unsigned long kind = control.style & kCheckBoxKindMask;
  return IsClass(control, "Button") && (kind == kBsCheckBox || kind == kBsAutoCheckBox);
}

bool IsPushButton(const ControlTemplate& control) {
  const unsigned long kind = control.style & kCheckBoxKindMask;
  return IsClass(control, "Button") && (kind == kBsPushButton || kind == kBsDefPushButton);
}

}  // namespace

GdiObject HeadlessGraphics::CreateSolidBrush(Color color) {
  const GdiObject object = next_++;
  brushes[object] = color;
  live_.insert(object);
  return object;
}

GdiObject HeadlessGraphics::CreateFont(const FontSpec& font) {
  const GdiObject object = next_++;
  fonts[object] = font;
  live_.insert(object);
  return object;
}

bool HeadlessGraphics::DeleteObject(GdiObject object) { return live_.erase(object) != 0; }

HeadlessDialog::HeadlessDialog(const DialogTemplate& dialogTemplate, DialogHandler& handler, HeadlessGraphics& gdi,
                               const Rect& workArea)
    : template_(dialogTemplate), handler_(handler), gdi_(gdi), workArea_(workArea), caption_(dialogTemplate.caption) {
  // The template font's height at the DPI; its average width is half that.
  const int dpi = gdi.LogPixelsY();
  baseUnitY_ = ScaleToDpi(kBaseUnitY, dpi);
  baseUnitX_ = baseUnitY_ * kBaseUnitX / kBaseUnitY;
  frameLeft_ = ScaleToDpi(kFrameLeft, dpi);
  frameTop_ = ScaleToDpi(kFrameTop, dpi);
  frameRight_ = ScaleToDpi(kFrameRight, dpi);
  frameBottom_ = ScaleToDpi(kFrameBottom, dpi);
  const int scale = NearestArtworkScale(dpi);
  for (int i = 0; i < dialogTemplate.controlCount; ++i) {
    const ControlTemplate& source = dialogTemplate.controls[i];
    Control control{&source, source.text ? source.text : "", 0, source.visible, true, {}};
    control.client = Rect{ToPixelsX(source.x), ToPixelsY(source.y), ToPixelsX(source.x + source.cx),
                          ToPixelsY(source.y + source.cy)};
    if (source.imageId) control.image = ScaledBitmapId(source.imageId, scale);
    controls_.push_back(control);
  }
  window_.left = kScreenX;
  window_.top = kScreenY;
  window_.right = kScreenX + frameLeft_ + ToPixelsX(dialogTemplate.cx) + frameRight_;
  window_.bottom = kScreenY + frameTop_ + ToPixelsY(dialogTemplate.cy) + frameBottom_;
}

std::vector<int> HeadlessDialog::Pictures() const {
  std::vector<int> pictures;
  for (const Control& control : controls_) {
    if (control.image) pictures.push_back(control.image);
  }
  return pictures;
}

HeadlessDialog::Control* HeadlessDialog::Find(int id) {
  if (id == -1) return nullptr;
  for (Control& control : controls_) {
    if (control.source->id == id) return &control;
  }
  return nullptr;
}

const ControlTemplate* HeadlessDialog::TemplateOf(int id) const {
  for (const Control& control : controls_) {
    if (control.source->id == id) return control.source;
  }
  return nullptr;
}

bool HeadlessDialog::HasItem(int id) { return id == 0 || Find(id) != nullptr; }

// The headless system's code page is 936: both kinds of text are the same bytes.
std::string HeadlessDialog::GetText(int id, TextCodePage) {
  if (id == 0) return caption_;
  const Control* control = Find(id);
  return control ? control->text : std::string();
}

void HeadlessDialog::SetText(int id, const std::string& text, TextCodePage) {
  if (id == 0) {
    caption_ = text;
  } else if (Control* control = Find(id)) {
    control->text = text;
  }
}

int HeadlessDialog::GetCheck(int id) {
  const Control* control = Find(id);
  return control && IsCheckBox(*control->source) ? control->check : 0;
}

void HeadlessDialog::SetCheck(int id, int state) {
  Control* control = Find(id);
  if (control && IsCheckBox(*control->source)) control->check = state ? 1 : 0;
}

void HeadlessDialog::Show(int id, int command) {
  if (id == 0) {
    visible_ = command != kSwHide;
  } else if (Control* control = Find(id)) {
    control->visible = command != kSwHide;
  }
}

void HeadlessDialog::Enable(int id, bool enable) {
  if (id == 0) {
    enabled_ = enable;
  } else if (Control* control = Find(id)) {
    control->enabled = enable;
  }
}

// IsWindowVisible: a control shows only while the dialog does.
bool HeadlessDialog::IsVisible(int id) {
  if (id == 0) return visible_;
  const Control* control = Find(id);
  return control && control->visible && visible_;
}

bool HeadlessDialog::IsEnabled(int id) {
  if (id == 0) return enabled_;
  const Control* control = Find(id);
  return control && control->enabled;
}

Rect HeadlessDialog::ClientOrigin() const {
  return Rect{window_.left + frameLeft_, window_.top + frameTop_, 0, 0};
}

Rect HeadlessDialog::WindowRect(int id) {
  if (id == 0) return window_;
  const Control* control = Find(id);
  if (!control) return Rect{};
  const Rect origin = ClientOrigin();
  return Rect{control->client.left + origin.left, control->client.top + origin.top,
              control->client.right + origin.left, control->client.bottom + origin.top};
}

Rect HeadlessDialog::ScreenToClient(const Rect& screen) {
  const Rect origin = ClientOrigin();
  return Rect{screen.left - origin.left, screen.top - origin.top, screen.right - origin.left,
              screen.bottom - origin.top};
}

void HeadlessDialog::Move(int id, const Rect& rect, bool) {
  if (id == 0) {
    window_ = rect;
  } else if (Control* control = Find(id)) {
    control->client = rect;
  }
}

std::intptr_t HeadlessDialog::Send(int id, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  sent.push_back({id, message, wParam, lParam});
  if (message == kBmClick) {
    Click(id);
    return 0;
  }
  Control* control = Find(id);
  if (!control || !IsClass(*control->source, "msctls_progress32")) return 0;
  // comctl32's progress bar: positions are kept within the range; a step
  // past the top starts over from the bottom.
  const int previous = control->position;
  switch (message) {
    case kPbmSetRange: {
      const std::intptr_t old = (control->high << 16) | (control->low & 0xFFFF);
      control->low = static_cast<int>(lParam & 0xFFFF);
      control->high = static_cast<int>((lParam >> 16) & 0xFFFF);
      if (control->position < control->low) control->position = control->low;
      if (control->position > control->high) control->position = control->high;
      return old;
    }
    case kPbmSetPos: {
      int position = static_cast<int>(wParam);
      if (position < control->low) position = control->low;
      if (position > control->high) position = control->high;
      control->position = position;
      return previous;
    }
    case kPbmSetStep: {
      const int old = control->step;
      control->step = static_cast<int>(wParam);
      return old;
    }
    case kPbmStepIt: {
      int position = control->position + control->step;
      const int span = control->high - control->low;
      if (position > control->high && span > 0) position = (position - control->low) % span + control->low;
      control->position = position;
      return previous;
    }
    case kPbmGetPos:
      return control->position;
    default:
      return 0;
  }
}

bool HeadlessDialog::SetSmallIcon(int iconId) {
  if (!resourceIcons.count(iconId)) return false;
  smallIcon_ = iconId;
  return true;
}

int HeadlessDialog::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  boxes.push_back({PlainMessageText(text), caption, type, text});
  if (onBox) onBox(boxes.back());
  if (answers.empty()) return fallback;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void HeadlessDialog::End(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
}

bool HeadlessDialog::Click(int id) {
  Control* control = Find(id);
  if (!ended_ && !enabled_) ++droppedInput;
  if (ended_ || !control || !control->visible || !control->enabled || !enabled_) return false;
  if ((control->source->style & kCheckBoxKindMask) == kBsAutoCheckBox && IsCheckBox(*control->source)) {
    control->check = control->check ? 0 : 1;
  }
  handler_.OnWindowCommand(id, kBnClicked);
  return true;
}

void HeadlessDialog::PressEnter(int focusId) {
  if (ended_) return;
  if (!enabled_) {
    ++droppedInput;
    return;
  }
  const Control* focus = Find(focusId);
  if (focus && IsPushButton(*focus->source)) {
    Click(focusId);
    return;
  }
  handler_.OnWindowCommand(kIdOk, kBnClicked);
}

// A disabled window takes no keys, and its close box does nothing.
void HeadlessDialog::PressEscape() {
  if (!ended_ && !enabled_) ++droppedInput;
  if (!ended_ && enabled_) handler_.OnWindowCommand(kIdCancel, kBnClicked);
}

void HeadlessDialog::PressCloseBox() {
  if (!ended_ && !enabled_) ++droppedInput;
  if (!ended_ && enabled_) handler_.OnWindowCommand(kIdCancel, kBnClicked);
}

void HeadlessDialog::PumpMessages() {
  if (ended_) return;
  ++pumps;
  Paint();
}

void HeadlessDialog::TypeText(int id, const std::string& text) {
  Control* control = Find(id);
  if (!ended_ && control && control->visible && control->enabled && IsClass(*control->source, "Edit")) {
    control->text = text;
  }
}

// The colour request each kind of control makes before it draws: static
// texts, pictures and check boxes ask as statics; progress bars not at all.
int HeadlessDialog::KindOf(const Control& control) const {
  const ControlTemplate& source = *control.source;
  if (IsClass(source, "Edit")) return CtlColor::Edit;
  if (IsPushButton(source)) return CtlColor::Button;
  if (IsClass(source, "Button") || IsClass(source, "Static")) return CtlColor::Static;
  return -1;
}

namespace {
class RecordingContext final : public DeviceContext {
 public:
  PaintedControl state;
  Color SetTextColor(Color color) override {
    const Color old = state.textColor;
    state.textColor = color;
    return old;
  }
  int SetBkMode(int mode) override {
    const int old = state.bkMode;
    state.bkMode = mode;
    return old;
  }
  GdiObject SelectObject(GdiObject object) override {
    const GdiObject old = state.font;
    state.font = object;
    return old;
  }
};
}  // namespace

void HeadlessDialog::Paint() {
  if (ended_ || !visible_) return;
  auto request = [this](int id, int kind) {
    RecordingContext dc;
    dc.state.kind = kind;
    dc.state.textColor = Rgb(0, 0, 0);
    dc.state.brush = handler_.OnWindowCtlColor(dc, id, kind);
    painted[id] = dc.state;
  };
  request(0, CtlColor::Dialog);
  for (const Control& control : controls_) {
    const int kind = KindOf(control);
    if (control.visible && kind >= 0 && control.source->id != -1) request(control.source->id, kind);
  }
}

int HeadlessDialogRunner::RunModal(const DialogTemplate& dialogTemplate, DialogHandler& handler) {
  HeadlessDialog dialog(dialogTemplate, handler, gdi, workArea);
  initResult = handler.OnWindowInit(dialog);
  // Shown once initialised, as the dialog manager does.
  if (!dialog.Ended()) dialog.Show(0, kSwShowNormal);
  if (!dialog.Ended()) handler.OnWindowShown(dialog);
  if (!dialog.Ended()) dialog.Paint();
  if (user && !dialog.Ended()) user(dialog);
  handler.OnWindowGone();
  return dialog.Ended() ? dialog.Result() : -1;
}

}  // namespace platform
