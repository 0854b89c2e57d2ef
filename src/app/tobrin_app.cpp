#include "app/tobrin_app.h"

#include <windows.h>
#include <commctrl.h>

#include "app/installer_name.h"
#include "app/module_path.h"
#include "app/tobrin_dlg.h"
#include "common/system_library.h"
#include "extract/extract_package.h"
#include "run/run_payload.h"
#include "run/silent_mode.h"

CTobrinApp theApp;

namespace {

DWORD MajorVersion() {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
#pragma GCC diagnostic pop
  return version.dwMajorVersion;
}

// Registers the common controls' window classes (the progress bar's among
// them). The library is loaded only for a run that shows windows: a silent
// run then pays nothing for it or for the theming it brings.
void RegisterCommonControls() {
  using InitProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE library = nsTobrin::LoadSystemLibrary(L"comctl32.dll");
  if (!library) return;
  auto init = reinterpret_cast<InitProc>(reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  if (init) init(&controls);
}

}  // namespace

BOOL CTobrinApp::InitInstance() {
  const std::wstring commandLine = m_lpCmdLine ? m_lpCmdLine : L"";
  m_strCmdLine = commandLine;

  CTobrinDlg dlg;

  if (MajorVersion() >= 6) {
    const std::wstring modulePath = nsTobrin::GetOwnModulePath();
    if (nsTobrin::IsInstallerName(modulePath)) nsTobrin::RegisterWithCompatibilityAssistant(modulePath);
  }

  const bool silent = nsTobrin::IsSilentCommandLine(m_strCmdLine) || nsTobrin::IsSilentSwitchOn();
  if (!silent) RegisterCommonControls();
  if (silent) {
    nsTobrin::ExtractPackage(dlg, false);
  } else if (dlg.DoModal() == CDialog::kNoWindow) {
    // No window could be made (no desktop to show it on), so no worker
    // started: the package is extracted all the same.
    nsTobrin::ExtractPackage(dlg, false);
  } else {
    // However the window's loop ended, the extraction is its worker's.
    dlg.WaitForWorker();
  }
  nsTobrin::RunPayload(dlg, commandLine.c_str());

  m_nExitCode = dlg.m_nExitCode;
  return FALSE;
}
