// Real dialogs through user32 and gdi32: the template resource of the
// dialog's id made into a modal window, its messages handed to the
// program's DialogHandler.
//
// The manifest declares the program aware of the system DPI (Vista and
// later; older systems have no scaling to opt out of): the dialog manager
// makes the dialog at the display's scale, and the runner swaps each
// template picture for the artwork drawn nearest that scale. DPI is read
// with GetDeviceCaps, which every system has.
//
// Windows are Unicode windows. The program's own texts are converted from
// code page 936 explicitly, so they show right on a system whose ANSI code
// page is another; system texts (paths) go through the ANSI code page, as
// the narrow calls would take them, in a message box part by part.
#include <windows.h>
// commctrl.h needs the types of windows.h first; only its declarations are
// used: comctl32 itself is loaded at run time.
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/packed_artwork.h"
#include "platform/win32/win32_text.h"
#include "platform/window.h"

namespace platform {
namespace {

constexpr UINT kProgramCodePage = 936;

UINT CodePageOf(TextCodePage codePage) { return codePage == TextCodePage::Program ? kProgramCodePage : CP_ACP; }

// Wide texts are zero-terminated vectors: std::wstring would bring a second
// string class into the program for a handful of conversions.
using WideText = std::vector<wchar_t>;

WideText Widen(const std::string& text, UINT codePage) {
  const int length = text.empty() ? 0
                                  : MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                                        nullptr, 0);
  WideText wide(static_cast<std::size_t>(length) + 1, L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const wchar_t* wide, int wideLength, UINT codePage) {
  if (wideLength <= 0) return std::string();
  const int length = WideCharToMultiByte(codePage, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide, wideLength, &text[0], length, nullptr, nullptr);
  return text;
}

class Win32Graphics final : public Graphics {
 public:
  int LogPixelsY() override {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
  }
  GdiObject CreateSolidBrush(Color color) override {
    return reinterpret_cast<GdiObject>(::CreateSolidBrush(color));
  }
  GdiObject CreateFont(const FontSpec& font) override {
    // The face name is the program's own text: wide, so that "宋体" is
    // found on any system.
    const WideText face = Widen(font.face, kProgramCodePage);
    return reinterpret_cast<GdiObject>(::CreateFontW(
        font.height, font.width, font.escapement, font.orientation, font.weight, font.italic, font.underline,
        font.strikeOut, static_cast<DWORD>(font.charSet), static_cast<DWORD>(font.outPrecision),
        static_cast<DWORD>(font.clipPrecision), static_cast<DWORD>(font.quality),
        static_cast<DWORD>(font.pitchAndFamily), face.data()));
  }
  bool DeleteObject(GdiObject object) override { return ::DeleteObject(reinterpret_cast<HGDIOBJ>(object)) != 0; }
};

Win32Graphics& TheGraphics() {
  static Win32Graphics graphics;
  return graphics;
}

class Win32DeviceContext final : public DeviceContext {
 public:
  explicit Win32DeviceContext(HDC dc) : dc_(dc) {}
  Color SetTextColor(Color color) override { return ::SetTextColor(dc_, color); }
  int SetBkMode(int mode) override { return ::SetBkMode(dc_, mode); }
  GdiObject SelectObject(GdiObject object) override {
    return reinterpret_cast<GdiObject>(::SelectObject(dc_, reinterpret_cast<HGDIOBJ>(object)));
  }

 private:
  HDC dc_;
};

// Keyboard and mouse messages, the client's and the frame's.
bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Keys typed and clicks made while a command ran without looking at its
// messages: a box shown now would take them as its answer.
void DropQueuedInput() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
  }
}

class Win32DialogWindow final : public DialogWindow {
 public:
  explicit Win32DialogWindow(HWND dialog) : dialog_(dialog) {}

  bool HasItem(int id) override { return Item(id) != nullptr; }

  std::string GetText(int id, TextCodePage codePage) override {
    const HWND window = Item(id);
    if (!window) return std::string();
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return Narrow(buffer.data(), copied, CodePageOf(codePage));
  }

  void SetText(int id, const std::string& text, TextCodePage codePage) override {
    if (const HWND window = Item(id)) SetWindowTextW(window, Widen(text, CodePageOf(codePage)).data());
  }

  int GetCheck(int id) override { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED ? 1 : 0; }
  void SetCheck(int id, int state) override { CheckDlgButton(dialog_, id, state ? BST_CHECKED : BST_UNCHECKED); }

  void Show(int id, int command) override {
    if (const HWND window = Item(id)) ShowWindow(window, command);
  }
  void Enable(int id, bool enable) override {
    if (const HWND window = Item(id)) EnableWindow(window, enable);
  }
  bool IsVisible(int id) override {
    const HWND window = Item(id);
    return window && IsWindowVisible(window);
  }
  bool IsEnabled(int id) override {
    const HWND window = Item(id);
    return window && IsWindowEnabled(window);
  }

  Rect WindowRect(int id) override {
    RECT rect = {};
    if (const HWND window = Item(id)) ::GetWindowRect(window, &rect);
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
  }

  Rect ScreenToClient(const Rect& screen) override {
    POINT points[2] = {{screen.left, screen.top}, {screen.right, screen.bottom}};
    ::ScreenToClient(dialog_, &points[0]);
    ::ScreenToClient(dialog_, &points[1]);
    return Rect{points[0].x, points[0].y, points[1].x, points[1].y};
  }

  // MonitorFromWindow and GetMonitorInfo exist from Windows 2000 on; the
  // primary screen's work area stands in should they fail.
  Rect WorkArea() override {
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    const HMONITOR monitor = MonitorFromWindow(dialog_, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info)) {
      area = info.rcWork;
    } else {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    return Rect{area.left, area.top, area.right, area.bottom};
  }

  void Move(int id, const Rect& rect, bool repaint) override {
    if (const HWND window = Item(id)) MoveWindow(window, rect.left, rect.top, rect.Width(), rect.Height(), repaint);
  }

  std::intptr_t Send(int id, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    const HWND window = Item(id);
    return window ? SendMessageW(window, message, wParam, lParam) : 0;
  }

  bool SetSmallIcon(int iconId) override {
    const HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId));
    if (!icon) return false;
    SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return true;
  }

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    DropQueuedInput();
    // A dialog disabled while a command runs stays so after the box, which
    // would otherwise enable its owner again on the way out.
    const bool enabled = IsWindowEnabled(dialog_) != FALSE;
    // Each part from its own code page: the program's words, the paths.
    const int answer =
        MessageBoxW(dialog_, WidenMessageText(text, CP_ACP).data(), Widen(caption, kProgramCodePage).data(), type);
    if (!enabled) EnableWindow(dialog_, FALSE);
    return answer;
  }

  void End(int result) override { EndDialog(dialog_, result); }

  void PumpMessages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // for the modal loop to see
        return;
      }
      if (IsInput(message.message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  Graphics& Gdi() override { return TheGraphics(); }
  std::uintptr_t NativeHandle() override { return reinterpret_cast<std::uintptr_t>(dialog_); }

 private:
  HWND Item(int id) const { return id == 0 ? dialog_ : GetDlgItem(dialog_, id); }
  HWND dialog_;
};

// Boxes of a run without a dialog: in front, as the first window of a
// program started from Programs and Features should be.
class OwnerlessBoxes final : public MessageOwner {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
    return MessageBoxW(nullptr, WidenMessageText(text, CP_ACP).data(), Widen(caption, kProgramCodePage).data(),
                       type | MB_SETFOREGROUND);
  }
};

struct RunState {
  const DialogTemplate* dialogTemplate;
  DialogHandler* handler;
  Win32DialogWindow* window;
  bool shown;
  std::vector<HBITMAP> pictures;  // the scaled artwork shown, deleted with the dialog
};

// A bitmap of the program's packed artwork (an RCDATA resource holding a
// range-coded picture), made as LoadImage makes one of a BITMAP resource:
// a device-dependent bitmap of the screen. Null when it is missing or does
// not unpack.
HBITMAP LoadPackedBitmap(int id) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* packed = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  std::vector<unsigned char> dib;
  if (!packed || !UnpackArtwork(packed, SizeofResource(module, found), dib)) return nullptr;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
  const HDC screen = GetDC(nullptr);
  const HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT,
                                        dib.data() + info->bmiHeader.biSize + 4 * info->bmiHeader.biClrUsed, info,
                                        DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// The template's bitmaps are drawn for 96 dpi; above it, each picture
// control (the dialog's children are made in template order) shows the
// artwork drawn nearest the display's scale instead. A static sizes itself
// to its bitmap. Where a scaled bitmap does not load, the template's stays.
void ShowPicturesAtDisplayScale(HWND dialog, RunState& state) {
  const int scale = NearestArtworkScale(TheGraphics().LogPixelsY());
  if (scale == 0) return;
  const DialogTemplate& t = *state.dialogTemplate;
  HWND child = GetWindow(dialog, GW_CHILD);
  for (int i = 0; i < t.controlCount && child; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
    const ControlTemplate& control = t.controls[i];
    if (control.id != -1 && GetDlgCtrlID(child) != control.id) return;  // not the template's order
    if (!control.imageId) continue;
    const HBITMAP bitmap = LoadPackedBitmap(ScaledBitmapId(control.imageId, scale));
    if (!bitmap) continue;
    state.pictures.push_back(bitmap);
    // The template's bitmap, no longer shown by anyone.
    const auto old = reinterpret_cast<HBITMAP>(
        SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old && old != bitmap) DeleteObject(old);
  }
}

// Posted when the dialog is first shown, so that it arrives once the window
// is on the screen.
constexpr UINT kShownMessage = WM_APP + 0x51;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<RunState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<RunState*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    state->window = new Win32DialogWindow(dialog);
    ShowPicturesAtDisplayScale(dialog, *state);
    return state->handler->OnWindowInit(*state->window) ? TRUE : FALSE;
  }
  if (!state || !state->window) return FALSE;
  switch (message) {
    case WM_COMMAND:
      state->handler->OnWindowCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SHOWWINDOW:
      if (wParam && !state->shown) {
        state->shown = true;
        PostMessageW(dialog, kShownMessage, 0, 0);
      }
      return FALSE;
    case kShownMessage:
      state->handler->OnWindowShown(*state->window);
      return TRUE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      const int kind = static_cast<int>(message - WM_CTLCOLORMSGBOX);
      const int id = kind == CtlColor::Dialog ? 0 : GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      Win32DeviceContext dc(reinterpret_cast<HDC>(wParam));
      const GdiObject brush = state->handler->OnWindowCtlColor(dc, id, kind);
      return brush ? static_cast<INT_PTR>(brush) : FALSE;
    }
    case WM_NCDESTROY:
      state->handler->OnWindowGone();
      delete state->window;
      state->window = nullptr;
      for (const HBITMAP picture : state->pictures) DeleteObject(picture);
      state->pictures.clear();
      return FALSE;
    default:
      return FALSE;
  }
}

// The progress bar's window class lives in comctl32, which is loaded from
// the system folder only, never from beside the program. So is uxtheme,
// which comctl32 loads by bare name when it draws its controls: a loader
// may look for that one along the program's first search path despite
// RestrictDllSearch (Wine does, for delayed imports), and a module already
// loaded is not looked for again.
void RegisterCommonControls() {
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static bool done = false;
  if (done) return;
  done = true;
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 14 >= MAX_PATH) return;
  lstrcpyW(path + length, L"\\uxtheme.dll");
  LoadLibraryW(path);  // none before Windows XP: the controls are drawn unthemed
  lstrcpyW(path + length, L"\\comctl32.dll");
  const HMODULE comctl = LoadLibraryW(path);
  if (!comctl) return;
  const auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
  if (!init) return;
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
  init(&classes);
}

class Win32DialogRunner final : public DialogRunner {
 public:
  int RunModal(const DialogTemplate& dialogTemplate, DialogHandler& handler) override {
    RegisterCommonControls();
    RunState state{&dialogTemplate, &handler, nullptr, false, {}};
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogTemplate.resourceId),
                                           nullptr, DialogProc, reinterpret_cast<LPARAM>(&state));
    return static_cast<int>(result);
  }
};

}  // namespace

DialogRunner& SystemDialogRunner() {
  static Win32DialogRunner runner;
  return runner;
}

MessageOwner& SystemMessageBoxes() {
  static OwnerlessBoxes boxes;
  return boxes;
}

}  // namespace platform
