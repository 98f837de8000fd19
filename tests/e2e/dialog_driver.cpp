// dialog_driver.exe: operates a dialog window of another process from
// outside, by control id, the way a person at the screen would, so that the
// end-to-end tests can drive the real setup dialog under Wine.
//
// It reads commands from standard input, one a line (UTF-8; blank lines and
// lines starting with '#' are skipped). Arguments are separated by blanks; a
// double quote starts or ends a quoted stretch anywhere in an argument
// (text="two words"), and "" inside quotes stands for one quote character.
// Each command prints one line (state and windows one per item) in UTF-8;
// carriage returns, newlines and tabs in window texts print as \r \n \t.
// The first command that fails prints "FAIL: <why>" and the program exits
// with 1; when every command succeeded it exits with 0.
//
//   wait-dialog <caption> <seconds> [<poll ms>]
//                                     find the dialog (class #32770) by caption,
//                                     looking every 50 ms unless told otherwise
//   state <id>...                     visible, enabled, checked and text of controls
//   expect <id> [visible=0|1] [enabled=0|1] [checked=0|1] [text=<text>]
//   rect <id>                         a control's rectangle in dialog client
//                                     coordinates; rect 0: the dialog on screen
//   expect-centred                    the dialog is centred on the work area of
//                                     its monitor (kept inside it when larger)
//   expect-fits <height> <weight> <face> <id>...
//                                     each visible static's text, drawn in that
//                                     font (CreateFont height in pixels), fits
//                                     the static's client area on one line
//   pictures                          the size of every picture (SS_BITMAP)
//                                     static, which takes its bitmap's size
//   controls [box]                    every child of the dialog (or the box)
//   click <id>                        BM_CLICK, then wait for the dialog to settle
//                                     (a new window, or the dialog enabled and
//                                     answering again)
//   post-click <id>                   BM_CLICK, without waiting
//   wait-progress <id> <seconds>      a progress bar's position, once past 0
//   responsive <ms>                   the dialog answers within the time and is
//                                     not taken for hung
//   wait-visible <id> <seconds>       until the control is visible
//   settext <id> <text>               WM_SETTEXT
//   key <id> RETURN|ESCAPE|SPACE      focus the control, then press the key
//   close                             the close box (SC_CLOSE)
//   wait-box <caption> <seconds>      another #32770 window of the process
//   answer <button id>                press a button of that box
//   windows                           the process's visible top-level windows
//   expect-windows <n>
//   wait-exit <seconds>               the process's end and exit code
//   sleep <ms>
//   codepage                          the ANSI code page the driver runs in
//   clock                             the system time now, in seconds since
//                                     1970 (the clock of date +%s.%N)
//
// Like a person, click, key, settext and close cannot reach a hidden or
// disabled control, nor a dialog that a modal box has disabled: they fail.
// Control ids are decimal (0x... for hex).
//
// Option: --desktop <name> attaches the driver to that desktop first (the one
// "explorer /desktop=<name>,WxH" creates), since window enumeration only sees
// the windows of the caller's own desktop.
//
// The driver is aware of the system DPI, so that it sees the rectangles of a
// DPI-aware program as they are rather than scaled to 96 dpi.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Failure {
  std::string why;
};

[[noreturn]] void Fail(const std::string& why) { throw Failure{why}; }

// ---------------------------------------------------------------- text

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// A window text as printed and as compared by "expect ... text=".
std::string Shown(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

std::string Hex(HWND hwnd) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  return buf;
}

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::vector<std::string> SplitArgs(const std::string& line) {
  std::vector<std::string> args;
  std::string cur;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      inArg = true;
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        cur += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inArg) args.push_back(cur);
      cur.clear();
      inArg = false;
    } else {
      cur += c;
      inArg = true;
    }
  }
  if (quoted) Fail("unbalanced double quote");
  if (inArg) args.push_back(cur);
  return args;
}

long Number(const std::string& s, const char* what) {
  char* end = nullptr;
  bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  long v = std::strtol(s.c_str(), &end, hex ? 16 : 10);
  if (s.empty() || *end != '\0') Fail(std::string(what) + " is not a number: " + s);
  return v;
}

DWORD Millis(const std::string& seconds) {
  char* end = nullptr;
  double v = std::strtod(seconds.c_str(), &end);
  if (seconds.empty() || *end != '\0' || v < 0) Fail("not a number of seconds: " + seconds);
  return static_cast<DWORD>(v * 1000);
}

// The system time with the finest resolution the system has (the precise
// call exists from Windows 8 on; the plain one may tick in milliseconds),
// as seconds since 1970 with microseconds.
std::string UnixClock() {
  using PreciseFn = void(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<PreciseFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME ft{};
  if (precise) precise(&ft);
  else GetSystemTimeAsFileTime(&ft);
  const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  const unsigned long long unix100ns = ticks - 116444736000000000ULL;  // 1601 to 1970
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llu.%06llu", unix100ns / 10000000ULL, unix100ns % 10000000ULL / 10);
  return buf;
}

// ---------------------------------------------------------------- windows

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  GetClassNameW(hwnd, buf, 256);
  return buf;
}

// WM_GETTEXT, which the system carries across processes (GetWindowText
// does not ask another process's window, and edits keep their own text).
std::wstring TextOf(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &len))
    Fail("window " + Hex(hwnd) + " does not answer WM_GETTEXTLENGTH");
  std::wstring buf(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_NORMAL, 5000, &got))
    Fail("window " + Hex(hwnd) + " does not answer WM_GETTEXT");
  buf.resize(got <= len ? got : len);
  return buf;
}

// Caption of a top-level window without sending it a message, so that a
// busy window does not stall the search.
std::wstring CaptionOf(HWND hwnd) {
  wchar_t buf[512] = {};
  InternalGetWindowText(hwnd, buf, 512);
  return buf;
}

DWORD ProcessOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

BOOL CALLBACK CollectWindow(HWND h, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  return all;
}

std::vector<HWND> VisibleWindowsOf(DWORD pid) {
  std::vector<HWND> out;
  for (HWND h : TopLevelWindows())
    if (IsWindowVisible(h) && ProcessOf(h) == pid) out.push_back(h);
  return out;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> out;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
  return out;
}

bool IsButton(HWND h) { return _wcsicmp(ClassOf(h).c_str(), L"Button") == 0; }

LONG ButtonType(HWND h) { return GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK; }

bool HasCheckState(HWND h) {
  if (!IsButton(h)) return false;
  switch (ButtonType(h)) {
    case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
    case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON:
      return true;
    default:
      return false;
  }
}

bool IsPushButton(HWND h) {
  return IsButton(h) && (ButtonType(h) == BS_PUSHBUTTON || ButtonType(h) == BS_DEFPUSHBUTTON);
}

std::string CheckOf(HWND h) {
  if (!HasCheckState(h)) return "-";
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &r))
    Fail("window " + Hex(h) + " does not answer BM_GETCHECK");
  return std::to_string(r);
}

// ---------------------------------------------------------------- driver

class Driver {
 public:
  explicit Driver(std::wstring desktop) : desktop_(std::move(desktop)) {
    commands_ = {
        {"wait-dialog", [this](const Args& a) { WaitDialog(a); }},
        {"state", [this](const Args& a) { State(a); }},
        {"expect", [this](const Args& a) { Expect(a); }},
        {"rect", [this](const Args& a) { Rect(a); }},
        {"expect-centred", [this](const Args& a) { ExpectCentred(a); }},
        {"expect-fits", [this](const Args& a) { ExpectFits(a); }},
        {"pictures", [this](const Args& a) { Pictures(a); }},
        {"controls", [this](const Args& a) { Controls(a); }},
        {"click", [this](const Args& a) { Click(a); }},
        {"settext", [this](const Args& a) { SetText(a); }},
        {"post-click", [this](const Args& a) { PostClick(a); }},
        {"wait-progress", [this](const Args& a) { WaitProgress(a); }},
        {"responsive", [this](const Args& a) { Responsive(a); }},
        {"wait-visible", [this](const Args& a) { WaitVisible(a); }},
        {"key", [this](const Args& a) { Key(a); }},
        {"close", [this](const Args& a) { Close(a); }},
        {"wait-box", [this](const Args& a) { WaitBox(a); }},
        {"answer", [this](const Args& a) { Answer(a); }},
        {"windows", [this](const Args& a) { Windows(a); }},
        {"expect-windows", [this](const Args& a) { ExpectWindows(a); }},
        {"wait-exit", [this](const Args& a) { WaitExit(a); }},
        {"sleep", [](const Args& a) { Want(a, 1, "sleep <ms>"); Sleep(Number(a[1], "ms")); Print("sleep ok"); }},
        {"codepage", [](const Args& a) { Want(a, 0, "codepage"); Print("codepage " + std::to_string(GetACP())); }},
        {"clock", [](const Args& a) { Want(a, 0, "clock"); Print("clock " + UnixClock()); }},
    };
  }

  void Run(const std::string& line) {
    Args args = SplitArgs(line);
    if (args.empty()) return;
    auto it = commands_.find(args[0]);
    if (it == commands_.end()) Fail("unknown command: " + args[0]);
    it->second(args);
  }

 private:
  using Args = std::vector<std::string>;

  static void Want(const Args& a, size_t n, const char* usage) {
    if (a.size() != n + 1) Fail(std::string("usage: ") + usage);
  }

  // The windows of another desktop are invisible to EnumWindows; a thread
  // without windows may move to that desktop once it exists.
  bool OnDesktop() {
    if (desktop_.empty() || attached_) return true;
    HDESK d = OpenDesktopW(desktop_.c_str(), 0, FALSE, GENERIC_ALL);
    if (d && SetThreadDesktop(d)) attached_ = true;
    else if (d) CloseDesktop(d);
    return attached_;
  }

  HWND Dialog() const {
    if (!dialog_) Fail("no dialog yet: use wait-dialog first");
    if (!IsWindow(dialog_)) Fail("the dialog " + Hex(dialog_) + " no longer exists");
    return dialog_;
  }

  HWND Control(const std::string& idText) {
    long id = Number(idText, "control id");
    HWND h = GetDlgItem(Dialog(), id);
    if (!h) Fail("control " + idText + " does not exist");
    return h;
  }

  // Input a person could not give fails instead of being delivered: posted
  // messages reach hidden and disabled windows, and the controls of a dialog
  // that a modal box has disabled.
  HWND Reachable(const std::string& idText, const std::string& what) {
    HWND h = Control(idText);
    if (!IsWindowEnabled(Dialog())) Fail(what + ": the dialog is disabled (a modal window is up)");
    if (!IsWindowVisible(h)) Fail(what + ": control " + idText + " is hidden");
    if (!IsWindowEnabled(h)) Fail(what + ": control " + idText + " is disabled");
    return h;
  }

  HWND FindDialog(const std::wstring& caption, DWORD pid, HWND except) {
    for (HWND h : TopLevelWindows()) {
      if (h == except || !IsWindowVisible(h) || ClassOf(h) != L"#32770") continue;
      if (pid && ProcessOf(h) != pid) continue;
      if (CaptionOf(h) == caption) return h;
    }
    return nullptr;
  }

  void WaitDialog(const Args& a) {
    if (a.size() != 3 && a.size() != 4) Fail("usage: wait-dialog <caption> <seconds> [<poll ms>]");
    std::wstring caption = Wide(a[1]);
    DWORD limit = Millis(a[2]), start = GetTickCount();
    DWORD poll = a.size() == 4 ? static_cast<DWORD>(Number(a[3], "poll interval")) : 50;
    HWND found = nullptr;
    for (;;) {
      if (OnDesktop() && (found = FindDialog(caption, 0, nullptr))) break;
      if (GetTickCount() - start > limit)
        Fail("no visible dialog captioned \"" + a[1] + "\" within " + a[2] + " s" +
             (attached_ || desktop_.empty() ? "" : " (desktop " + Utf8(desktop_) + " not found)"));
      Sleep(poll);
    }
    DWORD pid = ProcessOf(found);
    if (pid != pid_) {
      if (process_) CloseHandle(process_);
      // Opened now, so that the exit code can be read however early it ends.
      process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
      pid_ = pid;
    }
    dialog_ = found;
    box_ = nullptr;
    Print("dialog " + Hex(found) + " pid=" + std::to_string(pid));
  }

  std::string Describe(const std::string& idText) {
    HWND h = GetDlgItem(Dialog(), Number(idText, "control id"));
    if (!h) return idText + " missing";
    return idText + " visible=" + (IsWindowVisible(h) ? "1" : "0") +
           " enabled=" + (IsWindowEnabled(h) ? "1" : "0") + " checked=" + CheckOf(h) +
           " text=" + Shown(TextOf(h));
  }

  void State(const Args& a) {
    if (a.size() < 2) Fail("usage: state <id> [<id>...]");
    for (size_t i = 1; i < a.size(); ++i) Print(Describe(a[i]));
  }

  void Expect(const Args& a) {
    if (a.size() < 3) Fail("usage: expect <id> [visible=0|1] [enabled=0|1] [checked=0|1] [text=<text>]");
    HWND h = Control(a[1]);
    std::string wrong;
    for (size_t i = 2; i < a.size(); ++i) {
      size_t eq = a[i].find('=');
      if (eq == std::string::npos) Fail("expect: field without '=': " + a[i]);
      std::string field = a[i].substr(0, eq), want = a[i].substr(eq + 1), got;
      if (field == "visible") got = IsWindowVisible(h) ? "1" : "0";
      else if (field == "enabled") got = IsWindowEnabled(h) ? "1" : "0";
      else if (field == "checked") got = CheckOf(h);
      else if (field == "text") got = Shown(TextOf(h));
      else Fail("expect: unknown field " + field);
      if (got != want) wrong += (wrong.empty() ? "" : "; ") + field + " is \"" + got + "\", expected \"" + want + "\"";
    }
    if (!wrong.empty()) Fail("control " + a[1] + ": " + wrong);
    Print("expect " + a[1] + " ok");
  }

  void Rect(const Args& a) {
    Want(a, 1, "rect <id>");
    RECT r{};
    if (Number(a[1], "control id") == 0) {
      GetWindowRect(Dialog(), &r);
    } else {
      GetWindowRect(Control(a[1]), &r);
      MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&r), 2);
    }
    Print(a[1] + " rect=" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
          std::to_string(r.right) + "," + std::to_string(r.bottom));
  }

  static std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  }

  void ExpectCentred(const Args& a) {
    Want(a, 0, "expect-centred");
    RECT r{};
    GetWindowRect(Dialog(), &r);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromWindow(Dialog(), MONITOR_DEFAULTTONEAREST), &info))
      Fail("expect-centred: no monitor information");
    const RECT& area = info.rcWork;
    // Equal margins on both sides, give or take the odd pixel; a dialog
    // taller or wider than the area starts at its edge.
    auto centred = [](long low, long high, long start, long end) {
      if (end - start > high - low) return start == low;
      return std::labs((start - low) - (high - end)) <= 1;
    };
    const std::string shown = "rect=" + RectText(r) + " workarea=" + RectText(area);
    if (!centred(area.left, area.right, r.left, r.right) || !centred(area.top, area.bottom, r.top, r.bottom))
      Fail("the dialog is not centred on the work area: " + shown);
    Print("centred " + shown);
  }

  void ExpectFits(const Args& a) {
    if (a.size() < 5) Fail("usage: expect-fits <height> <weight> <face> <id>...");
    const std::wstring face = Wide(a[3]);
    HFONT font = CreateFontW(static_cast<int>(Number(a[1], "font height")), 0, 0, 0,
                             static_cast<int>(Number(a[2], "font weight")), FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0,
                             0, 0, 0, face.c_str());
    if (!font) Fail("expect-fits: no font " + a[3]);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    std::string wrong;
    for (size_t i = 4; i < a.size(); ++i) {
      HWND h = Control(a[i]);
      if (_wcsicmp(ClassOf(h).c_str(), L"Static") != 0) Fail("expect-fits: control " + a[i] + " is not a static");
      if (!IsWindowVisible(h)) Fail("expect-fits: control " + a[i] + " is hidden");
      const std::wstring text = TextOf(h);
      RECT need{0, 0, 0, 0}, client{};
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
      GetClientRect(h, &client);
      const std::string line = a[i] + " text=" + std::to_string(need.right) + "x" + std::to_string(need.bottom) +
                               " client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom);
      Print("fits " + line);
      if (need.right > client.right || need.bottom > client.bottom) wrong += (wrong.empty() ? "" : "; ") + line;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    if (!wrong.empty()) Fail("texts cut: " + wrong);
  }

  void Pictures(const Args& a) {
    Want(a, 0, "pictures");
    int index = 0;
    for (HWND h : ChildrenOf(Dialog())) {
      if (_wcsicmp(ClassOf(h).c_str(), L"Static") != 0) continue;
      if ((GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
      RECT r{};
      GetWindowRect(h, &r);
      Print("picture " + std::to_string(index++) + " id=" + std::to_string(GetDlgCtrlID(h)) +
            " size=" + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
    }
  }

  void Controls(const Args& a) {
    HWND parent = Dialog();
    if (a.size() == 2 && a[1] == "box") parent = Box();
    else if (a.size() != 1) Fail("usage: controls [box]");
    for (HWND h : ChildrenOf(parent))
      Print("control " + std::to_string(GetDlgCtrlID(h)) + " class=" + Utf8(ClassOf(h)) +
            " visible=" + (IsWindowVisible(h) ? "1" : "0") + " text=" + Shown(TextOf(h)));
  }

  // After posting input: wait until the dialog's thread has handled it, that
  // is, until it answers two WM_NULLs in a row again (the first may be
  // answered just before it takes the posted message), or until the dialog
  // is gone or the process shows a new window (a modal box, which runs its
  // own loop).
  void Settle(const std::vector<HWND>& before, const std::string& what) {
    DWORD start = GetTickCount();
    std::set<HWND> known(before.begin(), before.end());
    // A box that closes and opens again may come back under the same handle
    // (Wine reuses them): a known window that went away counts as new.
    std::set<HWND> gone;
    int answered = 0;
    while (GetTickCount() - start < 30000) {
      if (!IsWindow(dialog_) || !IsWindowVisible(dialog_)) return;
      for (HWND h : known)
        if (!IsWindow(h) || !IsWindowVisible(h)) gone.insert(h);
      for (HWND h : VisibleWindowsOf(pid_)) {
        if (!known.count(h) || gone.count(h)) return;
        // A box of the program is up over the disabled dialog: it waits for
        // an answer.
        if (h != dialog_ && GetWindow(h, GW_OWNER) == dialog_ && _wcsicmp(ClassOf(h).c_str(), L"#32770") == 0 &&
            IsWindowEnabled(h) && !IsWindowEnabled(dialog_))
          return;
      }
      DWORD_PTR r = 0;
      // A dialog that answers while disabled is still running a command
      // (the install handles its messages as it goes).
      if (SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 200, &r) && IsWindowEnabled(dialog_)) {
        if (++answered == 2) return;
        Sleep(50);
      } else {
        answered = 0;
      }
    }
    Fail(what + ": the dialog is still busy after 30 s");
  }

  void Click(const Args& a) {
    Want(a, 1, "click <id>");
    HWND h = Reachable(a[1], "click " + a[1]);
    auto before = VisibleWindowsOf(pid_);
    PostMessageW(h, BM_CLICK, 0, 0);
    Settle(before, "click " + a[1]);
    Print("click " + a[1] + " ok");
  }

  // BM_CLICK posted, without waiting for what it starts.
  void PostClick(const Args& a) {
    Want(a, 1, "post-click <id>");
    PostMessageW(Reachable(a[1], "post-click " + a[1]), BM_CLICK, 0, 0);
    Print("post-click " + a[1] + " ok");
  }

  // A progress bar's position, once it is past its start.
  void WaitProgress(const Args& a) {
    Want(a, 2, "wait-progress <id> <seconds>");
    HWND h = Control(a[1]);
    const DWORD limit = static_cast<DWORD>(Number(a[2], "seconds")) * 1000, start = GetTickCount();
    for (;;) {
      DWORD_PTR position = 0;
      if (SendMessageTimeoutW(h, WM_USER + 8 /* PBM_GETPOS */, 0, 0, SMTO_NORMAL, 1000, &position) && position > 0) {
        Print("progress " + a[1] + " pos=" + std::to_string(position));
        return;
      }
      if (GetTickCount() - start > limit) Fail("wait-progress " + a[1] + ": the bar did not move");
      Sleep(5);
    }
  }

  // The dialog's thread answers a message within the time, and the system
  // does not take the program for hung.
  void Responsive(const Args& a) {
    Want(a, 1, "responsive <ms>");
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(Number(a[1], "ms")), &r))
      Fail("responsive: the dialog did not answer within " + a[1] + " ms");
    if (IsHungAppWindow(dialog_)) Fail("responsive: the system takes the dialog for hung");
    Print(std::string("responsive ok enabled=") + (IsWindowEnabled(dialog_) ? "1" : "0"));
  }

  void WaitVisible(const Args& a) {
    Want(a, 2, "wait-visible <id> <seconds>");
    const DWORD limit = static_cast<DWORD>(Number(a[2], "seconds")) * 1000, start = GetTickCount();
    while (!IsWindowVisible(Control(a[1]))) {
      if (GetTickCount() - start > limit) Fail("wait-visible " + a[1] + ": still hidden");
      Sleep(20);
    }
    Print("visible " + a[1]);
  }

  void SetText(const Args& a) {
    Want(a, 2, "settext <id> <text>");
    HWND h = Reachable(a[1], "settext " + a[1]);
    if (_wcsicmp(ClassOf(h).c_str(), L"Edit") == 0 && (GetWindowLongW(h, GWL_STYLE) & ES_READONLY))
      Fail("settext " + a[1] + ": the edit is read-only");
    std::wstring text = Wide(a[2]);
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 10000, &r))
      Fail("settext " + a[1] + ": the control does not answer");
    if (!r) Fail("settext " + a[1] + ": the control refused the text");
    Print("settext " + a[1] + " ok");
  }

  void Key(const Args& a) {
    Want(a, 2, "key <id> RETURN|ESCAPE|SPACE");
    static const std::map<std::string, UINT> keys = {
        {"RETURN", VK_RETURN}, {"ESCAPE", VK_ESCAPE}, {"SPACE", VK_SPACE}};
    auto k = keys.find(a[2]);
    if (k == keys.end()) Fail("key: unknown key " + a[2]);
    HWND h = Reachable(a[1], "key " + a[1]);
    auto before = VisibleWindowsOf(pid_);
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(k->second, MAPVK_VK_TO_VSC)) << 16;
    // Focus moves the way the dialog manager moves it (default button
    // included); the keys then go through the dialog's own message loop.
    PostMessageW(Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
    PostMessageW(h, WM_KEYDOWN, k->second, scan | 1);
    PostMessageW(h, WM_KEYUP, k->second, scan | 1 | (1LL << 30) | (1LL << 31));
    Settle(before, "key " + a[1] + " " + a[2]);
    Print("key " + a[1] + " " + a[2] + " ok");
  }

  void Close(const Args& a) {
    Want(a, 0, "close");
    if (!IsWindowEnabled(Dialog())) Fail("close: the dialog is disabled (a modal window is up)");
    auto before = VisibleWindowsOf(pid_);
    PostMessageW(Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Settle(before, "close");
    Print("close ok");
  }

  HWND Box() const {
    if (!box_) Fail("no box yet: use wait-box first");
    if (!IsWindow(box_)) Fail("the box " + Hex(box_) + " no longer exists");
    return box_;
  }

  // The message text of a box: the static with id 0xFFFF where the system
  // uses that id, else the first static that shows text rather than an icon.
  static std::wstring BoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text || _wcsicmp(ClassOf(text).c_str(), L"Static") != 0) {
      text = nullptr;
      for (HWND h : ChildrenOf(box)) {
        if (_wcsicmp(ClassOf(h).c_str(), L"Static") != 0) continue;
        LONG type = GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK;
        if (type == SS_ICON || type == SS_BITMAP) continue;
        text = h;
        break;
      }
    }
    return text ? TextOf(text) : std::wstring();
  }

  void WaitBox(const Args& a) {
    Want(a, 2, "wait-box <caption> <seconds>");
    Dialog();
    std::wstring caption = Wide(a[1]);
    DWORD limit = Millis(a[2]), start = GetTickCount();
    HWND found = nullptr;
    while (!(found = FindDialog(caption, pid_, dialog_))) {
      if (GetTickCount() - start > limit)
        Fail("no box captioned \"" + a[1] + "\" within " + a[2] + " s");
      Sleep(50);
    }
    box_ = found;
    std::string buttons;
    for (HWND h : ChildrenOf(found))
      if (IsPushButton(h) && IsWindowVisible(h))
        buttons += (buttons.empty() ? "" : ",") + std::to_string(GetDlgCtrlID(h));
    Print("box " + Hex(found) + " text=" + Shown(BoxText(found)) + " buttons=" + buttons);
  }

  void Answer(const Args& a) {
    Want(a, 1, "answer <button id>");
    HWND box = Box();
    HWND button = GetDlgItem(box, Number(a[1], "button id"));
    if (!button || !IsPushButton(button) || !IsWindowVisible(button))
      Fail("the box has no button " + a[1]);
    if (!IsWindowEnabled(button)) Fail("answer: button " + a[1] + " of the box is disabled");
    PostMessageW(button, BM_CLICK, 0, 0);
    DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box)) {
      if (GetTickCount() - start > 10000) Fail("answer " + a[1] + ": the box is still there after 10 s");
      Sleep(50);
    }
    box_ = nullptr;
    // What follows the box (another box, the dialog's next state) is part of
    // the answer.
    if (IsWindow(dialog_)) Settle(VisibleWindowsOf(pid_), "answer " + a[1]);
    Print("answer " + a[1] + " ok");
  }

  void Windows(const Args& a) {
    Want(a, 0, "windows");
    Dialog();
    auto all = VisibleWindowsOf(pid_);
    Print("windows count=" + std::to_string(all.size()));
    for (HWND h : all)
      Print("window " + Hex(h) + " class=" + Utf8(ClassOf(h)) + " caption=" + Shown(CaptionOf(h)));
  }

  void ExpectWindows(const Args& a) {
    Want(a, 1, "expect-windows <n>");
    if (!pid_) Fail("no dialog yet: use wait-dialog first");
    long want = Number(a[1], "window count");
    auto all = VisibleWindowsOf(pid_);
    if (static_cast<long>(all.size()) != want) {
      std::string list;
      for (HWND h : all) list += " [" + Utf8(ClassOf(h)) + " \"" + Shown(CaptionOf(h)) + "\"]";
      Fail("the process shows " + std::to_string(all.size()) + " windows, expected " + a[1] + ":" + list);
    }
    Print("expect-windows " + a[1] + " ok");
  }

  void WaitExit(const Args& a) {
    Want(a, 1, "wait-exit <seconds>");
    if (!process_) Fail("no process to wait for (no dialog found, or it could not be opened)");
    DWORD r = WaitForSingleObject(process_, Millis(a[1]));
    if (r == WAIT_TIMEOUT) Fail("the process " + std::to_string(pid_) + " is still running after " + a[1] + " s");
    if (r != WAIT_OBJECT_0) Fail("waiting for the process failed, error " + std::to_string(GetLastError()));
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    Print("exited code=" + std::to_string(code));
  }

  std::wstring desktop_;
  bool attached_ = false;
  HWND dialog_ = nullptr;
  HWND box_ = nullptr;
  DWORD pid_ = 0;
  HANDLE process_ = nullptr;
  std::map<std::string, std::function<void(const Args&)>> commands_;
};

}  // namespace

int main(int argc, char** argv) {
  // Vista and later; where it is missing there is no scaling to see past.
  using AwareFn = BOOL(WINAPI*)();
  if (const auto aware = reinterpret_cast<AwareFn>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware"))))
    aware();
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  std::wstring desktop;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--desktop") == 0 && i + 1 < argc) {
      desktop = Wide(argv[++i]);
    } else {
      Print(std::string("FAIL: usage: dialog_driver [--desktop <name>] < commands"));
      return 1;
    }
  }
  Driver driver(desktop);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    try {
      driver.Run(line);
    } catch (const Failure& f) {
      Print("FAIL: " + f.why);
      return 1;
    }
  }
  return 0;
}
