// The application layer; see win_app.h.
#include "app/win_app.h"

namespace {
CWinApp* theApplication = nullptr;
}  // namespace

const AFX_MSGMAP CWinApp::messageMap_ = {nullptr, CWinApp::messageEntries_};
const AFX_MSGMAP_ENTRY CWinApp::messageEntries_[] = {{0, 0, 0, nullptr, nullptr}};
const AFX_MSGMAP* CWinApp::GetMessageMap() const { return &messageMap_; }

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { theApplication = this; }

CWinApp::~CWinApp() {
  if (theApplication == this) theApplication = nullptr;
}

bool CWinApp::InitInstance() { return true; }
int CWinApp::ExitInstance() { return 0; }
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return theApplication; }

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  // The setup's InitInstance returns false, its dialog having run its own
  // message loop: there is no main window and so no loop of the program's.
  app->InitInstance();
  return app->ExitInstance();
}
