// A thin dialog framework in the shape the setup dialog is written against:
// CWnd for the dialog or one of its controls, CDialog with its modal run and
// message map, data exchange (DDX_Control, DDX_Check, DDX_Text), and GDI
// objects with a device context. It drives a platform::DialogWindow, so the
// same dialog class runs as a real Win32 dialog or headless in tests.
//
// Lifetime: controls are attached to their member objects by the first data
// exchange (DDX_Control) and detached when the window goes; a CGdiObject
// deletes its object when it is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window.h"

class CDialog;

// Told of every message box a window of the framework shows, with the
// button that answered it (for the run's log); none by default.
using BoxObserver = std::function<void(const std::string& text, const std::string& caption, unsigned type, int answer)>;
void AfxSetBoxObserver(BoxObserver observer);

// ---- GDI ---------------------------------------------------------------------

class CGdiObject {
 public:
  CGdiObject() = default;
  ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  // Takes ownership of `object` (deleting any object held before); false
  // for kNoObject.
  bool Attach(platform::Graphics& gdi, platform::GdiObject object);
  bool DeleteObject();
  platform::GdiObject GetSafeHandle() const { return object_; }

 private:
  platform::Graphics* gdi_ = nullptr;
  platform::GdiObject object_ = platform::kNoObject;
};

class CBrush : public CGdiObject {};
class CFont : public CGdiObject {};

class CDC {
 public:
  explicit CDC(platform::DeviceContext& dc) : dc_(dc) {}
  platform::Color SetTextColor(platform::Color color) { return dc_.SetTextColor(color); }
  int SetBkMode(int mode) { return dc_.SetBkMode(mode); }
  platform::GdiObject SelectObject(CGdiObject* object) { return dc_.SelectObject(object->GetSafeHandle()); }

 private:
  platform::DeviceContext& dc_;
};

// ---- Message maps ------------------------------------------------------------

constexpr unsigned kWmCommand = 0x0111;  // WM_COMMAND
constexpr unsigned kWmCtlColor = 0x0019; // WM_CTLCOLOR, for every WM_CTLCOLOR* kind

class CCmdTarget;
class CWnd;
class CDC;
using AFX_PMSG = void (CCmdTarget::*)();
using AFX_PCTLCOLOR = platform::GdiObject (CWnd::*)(CDC*, CWnd*, unsigned);

struct AFX_MSGMAP_ENTRY {
  unsigned message;
  int code;      // notification code (WM_COMMAND)
  int id;        // control or command identifier (WM_COMMAND)
  AFX_PMSG pfn;                // WM_COMMAND
  AFX_PCTLCOLOR pfnCtlColor;   // WM_CTLCOLOR
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* baseMap;
  const AFX_MSGMAP_ENTRY* entries;  // ends with a zero message
};

// What receives commands through a message map: the application and every
// window.
class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  virtual const AFX_MSGMAP* GetMessageMap() const { return nullptr; }

 protected:
  // The first entry of this object's maps, most derived first, for
  // `message` (and for WM_COMMAND, `code` and `id`); null when none.
  const AFX_MSGMAP_ENTRY* FindEntry(unsigned message, int code, int id) const;
};

#define DECLARE_MESSAGE_MAP()                      \
 protected:                                        \
  static const AFX_MSGMAP_ENTRY messageEntries_[]; \
  static const AFX_MSGMAP messageMap_;             \
                                                   \
 public:                                           \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                   \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap_; }         \
  const AFX_MSGMAP theClass::messageMap_ = {baseClass::BaseMessageMap(), theClass::messageEntries_}; \
  const AFX_MSGMAP_ENTRY theClass::messageEntries_[] = {

#define END_MESSAGE_MAP() {0, 0, 0, nullptr, nullptr} };

#define ON_COMMAND_CODE(code, id, memberFn) {kWmCommand, code, id, static_cast<AFX_PMSG>(memberFn), nullptr},
#define ON_COMMAND(id, memberFn) ON_COMMAND_CODE(platform::kBnClicked, id, memberFn)
#define ON_BN_CLICKED(id, memberFn) ON_COMMAND_CODE(platform::kBnClicked, id, memberFn)
#define ON_WM_CTLCOLOR(theClass) \
  {kWmCtlColor, 0, 0, nullptr, static_cast<AFX_PCTLCOLOR>(&theClass::OnCtlColor)},

// ---- Windows -----------------------------------------------------------------

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // Makes this object stand for control `id` of `window` (0: the dialog).
  void Attach(platform::DialogWindow* window, int id);
  void Detach() { window_ = nullptr; }
  bool IsAttached() const { return window_ != nullptr; }
  platform::DialogWindow* Window() const { return window_; }

  int GetDlgCtrlID() const { return id_; }
  // Each does nothing (false, an empty rectangle, 0) when not attached.
  bool ShowWindow(int command);
  bool EnableWindow(bool enable);
  // Lets the window handle what waits for it (repaints) while a command
  // runs; input is dropped.
  void PumpMessages();
  bool IsWindowVisible() const;
  bool IsWindowEnabled() const;
  void GetWindowRect(platform::Rect* rect) const;
  // From screen coordinates to the dialog's client coordinates.
  void ScreenToClient(platform::Rect* rect) const;
  void MoveWindow(long x, long y, long width, long height, bool repaint = true);
  // Centres a top-level window on the work area of its monitor; one larger
  // than the area keeps its top left corner inside it.
  void CenterWindow();
  std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  int MessageBox(const std::string& text, const std::string& caption, unsigned type = platform::kMbOk);

  // The colour request; the framework's own handler leaves the device
  // context as it is and asks for the default brush.
  virtual platform::GdiObject OnCtlColor(CDC* dc, CWnd* wnd, unsigned ctlColor);

 protected:
  platform::DialogWindow* window_ = nullptr;
  int id_ = 0;
};

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int state);
};

class CProgressCtrl : public CWnd, public platform::ProgressStepper {
 public:
  void SetRange(short lower, short upper);
  int SetPos(int position);
  int SetStep(int step);
  int GetPos();
  void StepIt() override;
};

// ---- Data exchange -----------------------------------------------------------

class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;  // true: controls to members
};

// Attaches `control` to control `id` on the first exchange.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// A check box's state as 0 or 1.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// A window text; the program's own texts are CP936, a path typed by the
// user is in the system code page.
void DDX_Text(CDataExchange* pDX, int id, std::string& value,
              platform::TextCodePage codePage = platform::TextCodePage::Program);

// ---- Dialogs -----------------------------------------------------------------

class CDialog : public CWnd, public platform::MessageOwner, private platform::DialogHandler {
 public:
  // The dialog of `dialogTemplate`, owned by `parent` (none: a top-level
  // dialog). Nothing is shown until DoModal.
  explicit CDialog(const platform::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);

  // The dialog runner DoModal uses; without one DoModal fails (-1).
  void UseRunner(platform::DialogRunner& runner) { runner_ = &runner; }
  // Runs the dialog until OnOK, OnCancel or EndDialog ends it: the result
  // given to EndDialog, or -1 when the window could not be made.
  int DoModal();

  virtual bool OnInitDialog();  // the first write of the members
  virtual void OnShown() {}     // once, when the dialog is first on the screen
  virtual void OnOK();          // read the controls, end with 1
  virtual void OnCancel();      // end with 2
  virtual void DoDataExchange(CDataExchange* pDX);
  // Runs the bindings: true reads the controls into the members, false
  // writes the members into the controls. False when there is no window.
  bool UpdateData(bool saveAndValidate = true);
  void EndDialog(int result);
  // The control `id`, or null when the dialog has no such control.
  CWnd* GetDlgItem(int id);

  // MessageOwner: a box owned by this dialog (0 when it has no window).
  int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override;

  // Controls attached by DDX_Control, detached when the window goes.
  void AddAttached(CWnd* control) { attached_.push_back(control); }

 protected:
  static const AFX_MSGMAP_ENTRY messageEntries_[];
  static const AFX_MSGMAP messageMap_;
  static const AFX_MSGMAP* BaseMessageMap() { return &messageMap_; }

 public:
  const AFX_MSGMAP* GetMessageMap() const override;

 protected:
  platform::Graphics* Gdi() const { return window_ ? &window_->Gdi() : nullptr; }

 private:
  bool OnWindowInit(platform::DialogWindow& window) override;
  void OnWindowShown(platform::DialogWindow&) override { OnShown(); }
  void OnWindowCommand(int id, int code) override;
  platform::GdiObject OnWindowCtlColor(platform::DeviceContext& dc, int id, int kind) override;
  void OnWindowGone() override;

  const platform::DialogTemplate& template_;
  CWnd* parent_;
  platform::DialogRunner* runner_ = nullptr;
  std::map<int, CWnd> items_;  // GetDlgItem's objects
  std::vector<CWnd*> attached_;
};
