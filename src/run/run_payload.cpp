#include "run/run_payload.h"

#include "app/module_path.h"
#include "app/tobrin_dlg.h"
#include "contract/settings_contract.h"
#include "extract/extract_folder.h"
#include "extract/extract_package.h"
#include "run/delete_folder.h"
#include "run/launch.h"
#include "run/payload_command.h"
#include "run/payload_file.h"
#include "run/settings.h"

namespace nsTobrin {

namespace {

// Asks the message step and starts the payload. 0 when it ran, with its exit
// code in `exitCode`; otherwise why it was not started.
DWORD StartPayload(CTobrinDlg& dlg, const ExtractFolder& folder, const wchar_t* commandLine,
                   const std::wstring& executeFileName, const std::wstring& paramA, const std::wstring& paramB,
                   DWORD& exitCode) {
  // A file to start outside the folder makes the package a damaged one:
  // neither its message nor any program is shown or started.
  if (CheckPayloadName(std::u16string(executeFileName.begin(), executeFileName.end()))) return ERROR_INVALID_DATA;
  const std::wstring arguments = commandLine ? commandLine : L"";
  const std::wstring group = FindPayloadGroup(g_packageDirectory, executeFileName);
  const bool appendParamB = ResolveMessageMode(dlg);
  const PayloadCommand command =
      BuildPayloadCommand(folder, group, executeFileName, paramA, appendParamB, paramB, arguments);
  // Held from here until its process exists.
  KernelHandle heldPayload;
  if (const DWORD error =
          HoldPayloadFile(GetOwnModulePath(), command, group, executeFileName, dlg.m_writtenFiles, heldPayload))
    return error;
  if (!dlg.ShowLocalizedMessage()) return ERROR_CANCELLED;
  return StartAndWait(command, folder.Path(), heldPayload, exitCode);
}

// The one place where the run's outcome becomes its exit code: the
// payload's own when it ran, otherwise the error that kept it from running.
DWORD RunExitCode(DWORD error, DWORD payloadExitCode) { return error ? error : payloadExitCode; }

}  // namespace

bool RunPayload(CTobrinDlg& dlg, const wchar_t* commandLine) {
  const ExtractFolder folder(dlg.m_strExtractFolder);
  // Nothing of a package that was not extracted whole is started.
  if (dlg.m_bExtracted) {
    std::wstring executeFileName, paramA, paramB, productName;
    ReadSettingKey(kExecuteFileNameKey, dlg.m_strExtractFolder, executeFileName);
    ReadSettingKey(kParamAKey, dlg.m_strExtractFolder, paramA);
    ReadSettingKey(kParamBKey, dlg.m_strExtractFolder, paramB);
    ReadSettingKey(kProductNameKey, dlg.m_strExtractFolder, productName);
    dlg.m_strProductName = productName;
    DWORD exitCode = 0;
    const DWORD error = StartPayload(dlg, folder, commandLine, executeFileName, paramA, paramB, exitCode);
    dlg.m_nExitCode = RunExitCode(error, exitCode);
  }
  // The folder goes in every case. Its removal is not part of the run's
  // outcome: what cannot go is left to the removal's own fallback (marked
  // for deletion at the next restart in an elevated run), and the exit code
  // stays the payload's.
  static_cast<void>(DeleteExtractFolder(folder));
  return true;
}

}  // namespace nsTobrin
