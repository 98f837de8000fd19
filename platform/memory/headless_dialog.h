// A headless dialog for tests: the controls of a dialog template with their
// identifiers, texts, styles, positions and visibility, a progress bar that
// keeps range, position and step as comctl32's does, scripted message-box
// answers, and the user's actions (click, Enter, Escape, the close box,
// typing, a repaint that asks for every control's colours).
//
// Geometry follows the dialog manager of a DPI-aware program: dialog units
// become pixels with the template font's base units at the display's DPI
// (the graphics' LogPixelsY); the window is made at a fixed screen position
// with a frame that grows with the DPI, on a screen with a given work area;
// each picture shows the artwork drawn nearest the DPI.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

// Brushes and fonts as numbered objects: what was made, with what, and
// what is still alive.
class HeadlessGraphics final : public Graphics {
 public:
  int LogPixelsY() override { return dpi; }
  GdiObject CreateSolidBrush(Color color) override;
  GdiObject CreateFont(const FontSpec& font) override;
  bool DeleteObject(GdiObject object) override;

  std::size_t LiveCount() const { return live_.size(); }
  std::size_t CreatedCount() const { return brushes.size() + fonts.size(); }
  bool IsLive(GdiObject object) const { return live_.count(object) != 0; }

  std::map<GdiObject, Color> brushes;
  std::map<GdiObject, FontSpec> fonts;
  int dpi = 96;  // the display's

 private:
  std::set<GdiObject> live_;
  GdiObject next_ = 0x1000;
};

// What one colour request left in its device context.
struct PaintedControl {
  int kind = -1;  // CtlColor kind asked for
  GdiObject brush = kNoObject;
  Color textColor = 0;
  int bkMode = kOpaque;
  GdiObject font = kNoObject;  // kNoObject: the dialog's own font
};

struct SentMessage {
  int id;
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// A message box as the user reads it (`text`), and as the program marked
// its parts by code page (`marked`, platform/message_text.h).
struct ShownBox {
  std::string text, caption;
  unsigned type;
  std::string marked;
};

class HeadlessDialog final : public DialogWindow {
 public:
  // Base units of the template font (9 pt at 96 dpi) and the frame at
  // 96 dpi; both grow with the DPI.
  static constexpr int kBaseUnitX = 6, kBaseUnitY = 12;
  static constexpr long kScreenX = 200, kScreenY = 100;
  static constexpr long kFrameLeft = 5, kFrameTop = 27, kFrameRight = 5, kFrameBottom = 5;

  HeadlessDialog(const DialogTemplate& dialogTemplate, DialogHandler& handler, HeadlessGraphics& gdi,
                 const Rect& workArea);

  // DialogWindow.
  bool HasItem(int id) override;
  std::string GetText(int id, TextCodePage codePage) override;
  void SetText(int id, const std::string& text, TextCodePage codePage) override;
  int GetCheck(int id) override;
  void SetCheck(int id, int state) override;
  void Show(int id, int command) override;
  void Enable(int id, bool enable) override;
  bool IsVisible(int id) override;
  bool IsEnabled(int id) override;
  Rect WindowRect(int id) override;
  Rect ScreenToClient(const Rect& screen) override;
  Rect WorkArea() override { return workArea_; }
  void Move(int id, const Rect& rect, bool repaint) override;
  std::intptr_t Send(int id, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool SetSmallIcon(int iconId) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void End(int result) override;
  void PumpMessages() override;
  Graphics& Gdi() override { return gdi_; }

  // The user's actions. Each does what the dialog manager does, and
  // nothing when the control cannot take it (hidden, disabled) or the
  // dialog has ended. Click: false when the control could not be clicked.
  bool Click(int id);
  // Enter with the focus on `focusId`: a push button is pressed, anything
  // else sends OK (no button is the default one).
  void PressEnter(int focusId);
  void PressEscape();
  void PressCloseBox();
  void TypeText(int id, const std::string& text);
  // A repaint: one colour request for the dialog and each visible control.
  void Paint();
  // What PumpMessages handled: one repaint each.
  int pumps = 0;
  // Input given while the dialog was disabled (a command running): dropped.
  int droppedInput = 0;

  bool Ended() const { return ended_; }
  int Result() const { return result_; }
  int SmallIcon() const { return smallIcon_; }
  const ControlTemplate* TemplateOf(int id) const;
  // Base units at the display's DPI.
  int BaseUnitX() const { return baseUnitX_; }
  int BaseUnitY() const { return baseUnitY_; }
  // The bitmap resource each picture shows, in template order.
  std::vector<int> Pictures() const;

  // Message boxes: answered from `answers`, then with `fallback`; `onBox`
  // runs while a box is up.
  std::deque<int> answers;
  int fallback = kIdOk;
  std::function<void(const ShownBox&)> onBox;
  std::vector<ShownBox> boxes;
  // Messages sent to controls, in order; the last paint of each control.
  std::vector<SentMessage> sent;
  std::map<int, PaintedControl> painted;
  std::set<int> resourceIcons = {1};

 private:
  struct Control {
    const ControlTemplate* source;
    std::string text;
    int check = 0;
    bool visible, enabled = true;
    Rect client;  // pixels, the dialog's client coordinates
    int low = 0, high = 100, position = 0, step = 10;  // a progress bar's
    int image = 0;  // a picture's bitmap resource
  };
  Control* Find(int id);
  int KindOf(const Control& control) const;
  Rect ClientOrigin() const;
  long ToPixelsX(int units) const { return static_cast<long>(units) * baseUnitX_ / 4; }
  long ToPixelsY(int units) const { return static_cast<long>(units) * baseUnitY_ / 8; }

  const DialogTemplate& template_;
  DialogHandler& handler_;
  HeadlessGraphics& gdi_;
  Rect workArea_;
  int baseUnitX_, baseUnitY_;
  long frameLeft_, frameTop_, frameRight_, frameBottom_;
  std::vector<Control> controls_;
  std::string caption_;
  Rect window_;
  bool visible_ = false, enabled_ = true;  // shown once initialised
  int smallIcon_ = 0;
  bool ended_ = false;
  int result_ = -1;
};

// Runs a dialog headless: makes the window, lets the handler initialise it,
// then hands it to `user`, who acts as a person would; the result is what
// ended the dialog, or -1 when nothing did.
class HeadlessDialogRunner final : public DialogRunner {
 public:
  std::function<void(HeadlessDialog&)> user;
  HeadlessGraphics gdi;
  Rect workArea{0, 0, 1024, 738};  // a 1024 x 768 screen less a 30-pixel task bar
  bool initResult = false;  // what the handler's initialisation returned
  int RunModal(const DialogTemplate& dialogTemplate, DialogHandler& handler) override;
};

}  // namespace platform
