#include "framework/win_app.h"

namespace {
CWinApp* g_pApp = nullptr;  // the one application object, set by its constructor
}

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }

LPCWSTR SkipProgramName(LPCWSTR p) {
  if (!p) return L"";
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p > L' ') ++p;
  }
  while (*p && *p <= L' ') ++p;
  return p;
}

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  app->m_lpCmdLine = SkipProgramName(GetCommandLineW());
  app->InitInstance();
  return app->ExitInstance();
}
