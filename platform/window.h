// The window family: what the program needs of a modal dialog window and its
// controls, of the device context a control is drawn with, and of GDI's
// brushes and fonts. Shaped like the user32 / gdi32 calls they stand for.
//
// Two implementations: the system's (platform/win32, a real dialog made from
// the program's template resource) and a headless one (platform/memory) made
// from the same template table, for tests.
//
// Contract shared by every implementation:
//  - controls are addressed by identifier; identifier 0 is the dialog itself;
//  - texts are byte strings, either the program's own CP936 texts or the
//    system code page's (paths typed by the user); the window converts them
//    from and to the code page the call names, so the program's texts show
//    right on any system;
//  - geometry is in pixels: window rectangles in screen coordinates, and
//    ScreenToClient converts to the dialog's client coordinates; the
//    program is aware of the display's DPI, so a dialog is made at the
//    display's scale and its pictures are the artwork drawn nearest it;
//  - every GDI object Create* returns is given back to DeleteObject.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Message box types and answers, with the Win32 numbers.
constexpr unsigned kMbOk = 0x0;               // MB_OK, no icon
constexpr unsigned kMbAbortRetryIgnore = 0x2; // MB_ABORTRETRYIGNORE, no icon
constexpr unsigned kMbOkCancel = 0x1;         // MB_OKCANCEL
constexpr unsigned kMbYesNo = 0x4;            // MB_YESNO
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Shows a modal message box owned by the setup dialog and returns the button
// pressed.
class MessageOwner {
 public:
  virtual ~MessageOwner() = default;
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// Message boxes with no owner window, for a run that has no dialog (the
// uninstall): the same texts and code pages as a dialog's boxes (Windows
// only).
MessageOwner& SystemMessageBoxes();

// Advances the dialog's progress bar by its step (PBM_STEPIT).
class ProgressStepper {
 public:
  virtual ~ProgressStepper() = default;
  virtual void StepIt() = 0;
};

// ---- Dialog windows ---------------------------------------------------------

// ShowWindow commands.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;

// Notification codes and messages the program sends or handles.
constexpr int kBnClicked = 0;              // BN_CLICKED
constexpr unsigned kWmSetIcon = 0x0080;    // WM_SETICON
constexpr unsigned kBmClick = 0x00F5;      // BM_CLICK
constexpr unsigned kPbmSetRange = 0x0401;  // PBM_SETRANGE
constexpr unsigned kPbmSetPos = 0x0402;    // PBM_SETPOS
constexpr unsigned kPbmSetStep = 0x0404;   // PBM_SETSTEP
constexpr unsigned kPbmStepIt = 0x0405;    // PBM_STEPIT
constexpr unsigned kPbmGetPos = 0x0408;    // PBM_GETPOS

// Colour-request kinds (WM_CTLCOLORMSGBOX + kind).
namespace CtlColor {
constexpr int MsgBox = 0;
constexpr int Edit = 1;
constexpr int ListBox = 2;
constexpr int Button = 3;
constexpr int Dialog = 4;
constexpr int ScrollBar = 5;
constexpr int Static = 6;
}  // namespace CtlColor

// Background modes of a device context.
constexpr int kTransparent = 1;  // TRANSPARENT
constexpr int kOpaque = 2;       // OPAQUE

using Color = unsigned long;  // COLORREF: 0x00BBGGRR
constexpr Color Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

// Which code page a window text is in.
enum class TextCodePage {
  Program,  // the program's own texts: CP936 on every system
  System,   // the system's ANSI code page: paths, registry data
};

struct Rect {
  long left = 0, top = 0, right = 0, bottom = 0;
  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
};

// A brush or font; 0 is none.
using GdiObject = std::uintptr_t;
constexpr GdiObject kNoObject = 0;

// CreateFontA's parameters, in its order.
struct FontSpec {
  int height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  bool italic = false, underline = false, strikeOut = false;
  int charSet = 0, outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
  std::string face;  // CP936
};

class Graphics {
 public:
  virtual ~Graphics() = default;
  // The display's logical pixels per inch (LOGPIXELSY): 96 at 100 %.
  virtual int LogPixelsY() = 0;
  // CreateSolidBrush / CreateFontA: kNoObject on failure.
  virtual GdiObject CreateSolidBrush(Color color) = 0;
  virtual GdiObject CreateFont(const FontSpec& font) = 0;
  virtual bool DeleteObject(GdiObject object) = 0;
};

// The device context a control is about to be drawn with.
class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  virtual Color SetTextColor(Color color) = 0;
  virtual int SetBkMode(int mode) = 0;
  // Selects a font into the context; the one it replaces.
  virtual GdiObject SelectObject(GdiObject object) = 0;
};

// A live dialog window and its controls.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  virtual bool HasItem(int id) = 0;
  virtual std::string GetText(int id, TextCodePage codePage) = 0;
  virtual void SetText(int id, const std::string& text, TextCodePage codePage) = 0;
  // BM_GETCHECK / BM_SETCHECK: 0 or 1.
  virtual int GetCheck(int id) = 0;
  virtual void SetCheck(int id, int state) = 0;
  // ShowWindow / EnableWindow; IsWindowVisible / IsWindowEnabled.
  virtual void Show(int id, int command) = 0;
  virtual void Enable(int id, bool enable) = 0;
  virtual bool IsVisible(int id) = 0;
  virtual bool IsEnabled(int id) = 0;
  // GetWindowRect (screen), ScreenToClient (the dialog's client area),
  // MoveWindow (the dialog: screen coordinates; a control: client ones).
  virtual Rect WindowRect(int id) = 0;
  virtual Rect ScreenToClient(const Rect& screen) = 0;
  // The work area (the screen less the task bar) of the monitor the dialog
  // is on, in screen coordinates.
  virtual Rect WorkArea() = 0;
  virtual void Move(int id, const Rect& rect, bool repaint) = 0;
  // SendMessage to a control (or the dialog).
  virtual std::intptr_t Send(int id, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Loads icon `iconId` of the program's resources and makes it the
  // dialog's small icon; false when it does not load.
  virtual bool SetSmallIcon(int iconId) = 0;
  // A modal message box owned by the dialog: the button pressed, 0 when it
  // could not be shown. The text is the program's, with paths and names
  // marked as system text (platform/message_text.h); the caption the
  // program's. Keys and clicks still queued from before the box are
  // dropped first: they were not meant for it.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  // EndDialog: the modal run ends with `result` once the handler returns.
  virtual void End(int result) = 0;
  // Handles the messages waiting for the program's windows while a command
  // runs: they repaint, and the system does not take the program for hung.
  // Keyboard and mouse input is dropped, never delivered.
  virtual void PumpMessages() {}
  virtual Graphics& Gdi() = 0;
  // The system's handle of the dialog (an HWND), for calls that take an
  // owner window; 0 where there is none.
  virtual std::uintptr_t NativeHandle() { return 0; }
};

// What the window asks of the program's dialog object while it runs.
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  // WM_INITDIALOG: the controls exist, nothing is shown yet. True leaves the
  // focus to the dialog manager.
  virtual bool OnWindowInit(DialogWindow& window) = 0;
  // Once, when the dialog has first been shown on the screen.
  virtual void OnWindowShown(DialogWindow&) {}
  // WM_COMMAND from control `id` (1 = OK, 2 = Cancel, also from Enter,
  // Escape and the close box).
  virtual void OnWindowCommand(int id, int code) = 0;
  // WM_CTLCOLOR*: the brush to paint control `id` (0: the dialog) with.
  virtual GdiObject OnWindowCtlColor(DeviceContext& dc, int id, int kind) = 0;
  // The window is gone; no call of `window` may follow.
  virtual void OnWindowGone() = 0;
};

// One control of a dialog template, in template (tab) order.
struct ControlTemplate {
  const char* text;       // CP936; null for a picture
  int imageId;            // bitmap resource of a picture, else 0
  int id;                 // -1: never addressed
  const char* className;  // "Button", "Static", "Edit", "msctls_progress32"
  unsigned long style;    // without WS_CHILD and WS_VISIBLE
  bool visible;           // WS_VISIBLE at start
  int x, y, cx, cy;       // dialog units
};

struct DialogTemplate {
  int resourceId;
  const char* caption;  // CP936
  unsigned long style, exStyle;
  int x, y, cx, cy;     // dialog units
  int fontPoints;
  const char* fontFace; // CP936
  int fontCharSet;
  const ControlTemplate* controls;
  int controlCount;
};

// ---- Artwork at the display's scale ------------------------------------------

// The scales, in percent of 96 dpi, the pictures are drawn at; index 0 is
// the template's own bitmap.
constexpr int kArtworkScales[] = {100, 125, 150, 200};
constexpr int kArtworkScaleCount = 4;

// The index of the scale nearest `dpi`; between two, the smaller one, so
// that a picture never outgrows the place the template gives it.
constexpr int NearestArtworkScale(int dpi) {
  int best = 0;
  for (int i = 1; i < kArtworkScaleCount; ++i) {
    const int distance = kArtworkScales[i] * 96 - dpi * 100;
    const int bestDistance = kArtworkScales[best] * 96 - dpi * 100;
    if ((distance < 0 ? -distance : distance) < (bestDistance < 0 ? -bestDistance : bestDistance)) best = i;
  }
  return best;
}

// The bitmap resource of picture `bitmapId` drawn at scale index `scale`:
// the id itself at 100 %, else id * 10 + scale (147 at 150 %: 1472).
constexpr int ScaledBitmapId(int bitmapId, int scale) { return scale == 0 ? bitmapId : bitmapId * 10 + scale; }

// `length` pixels at 96 dpi as many at `dpi`, rounded (MulDiv).
constexpr int ScaleToDpi(int length, int dpi) { return (length * dpi + (length >= 0 ? 48 : -48)) / 96; }

// Runs a dialog modally from its template until the handler ends it.
class DialogRunner {
 public:
  virtual ~DialogRunner() = default;
  // The result given to End, or -1 when the window could not be made.
  virtual int RunModal(const DialogTemplate& dialogTemplate, DialogHandler& handler) = 0;
};

// The system's dialogs (Windows only): the template resource of that id,
// made into a real window.
DialogRunner& SystemDialogRunner();

}  // namespace platform
