#include "app/tobrin_app.h"

#include <commctrl.h>

#include "app/installer_name.h"
#include "app/tobrin_dlg.h"
#include "package/extract_package.h"
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

}  // namespace

BOOL CTobrinApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  const std::wstring commandLine = m_lpCmdLine ? m_lpCmdLine : L"";
  m_strCmdLine = commandLine;

  CTobrinDlg dlg;

  if (MajorVersion() >= 6) {
    const std::wstring modulePath = GetOwnModulePath();
    if (IsInstallerName(modulePath)) RegisterWithCompatibilityAssistant(modulePath);
  }

  if (IsSilentCommandLine(m_strCmdLine) || IsSilentSwitchOn()) {
    ExtractPackage(dlg, false);
  } else if (dlg.DoModal() == -1) {
    // No window could be made (no desktop to show it on): extract all the same.
    ExtractPackage(dlg, false);
  }
  RunPayload(dlg, commandLine.c_str());

  m_nExitCode = dlg.m_nExitCode;
  return FALSE;
}
