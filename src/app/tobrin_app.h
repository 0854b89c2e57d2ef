// The application object: start-up picks the run mode and drives one run.
#pragma once

#include <string>

#include "framework/win_app.h"

class CTobrinApp : public CWinApp {
 public:
  BOOL InitInstance() override;
  int ExitInstance() override { return static_cast<int>(m_nExitCode); }

  std::wstring m_strCmdLine;  // the program's arguments, as start-up captured them
  DWORD m_nExitCode = 0;
};

extern CTobrinApp theApp;
