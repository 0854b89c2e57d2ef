// The application object: the program's entry computes the command line,
// calls InitInstance once and ends the process with ExitInstance's result.
#pragma once

#include <windows.h>

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Does the program's work; false ends the process without a message loop.
  virtual BOOL InitInstance() { return FALSE; }
  // The process exit code.
  virtual int ExitInstance() { return 0; }

  // What follows the program's own name on the command line.
  LPCWSTR m_lpCmdLine = L"";
};

CWinApp* AfxGetApp();

// The part of a full command line after the program's name: a name in double
// quotes may hold blanks; every character up to U+0020 after it is skipped.
LPCWSTR SkipProgramName(LPCWSTR commandLine);

// Runs the application object; called from the program's entry.
int AfxWinMain();
