// The application layer under the setup program: CWinApp, the one
// application object, and the program's start (AfxWinMain), which calls its
// InitInstance once the globals exist and ends the program when that
// returns false.
#pragma once

#include "ui/framework.h"

constexpr int ID_HELP = 0xE146;

class CWinApp : public CCmdTarget {
 public:
  // Registers this object as the application; `appName` null: none given.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  // The run: false ends the program without a message loop.
  virtual bool InitInstance();
  virtual int ExitInstance();
  // The standard help handler. The setup has no help file, so there is
  // nothing for it to open.
  void OnHelp();

 protected:
  static const AFX_MSGMAP_ENTRY messageEntries_[];
  static const AFX_MSGMAP messageMap_;
  static const AFX_MSGMAP* BaseMessageMap() { return &messageMap_; }

 public:
  const AFX_MSGMAP* GetMessageMap() const override;
  const char* m_pszAppName;
};

CWinApp* AfxGetApp();

// Hosting ActiveX controls in dialogs. The setup's dialog has none, so
// there is nothing to enable.
inline void AfxEnableControlContainer() {}

// The framework's start: the application's InitInstance, then, when it
// returns true, ExitInstance; the exit code.
int AfxWinMain();
