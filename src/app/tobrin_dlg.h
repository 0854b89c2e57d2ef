// The run state object: carries one run from the extraction to the clean-up,
// and in the interactive mode is also the progress window.
#pragma once

#include <atomic>
#include <string>

#include "common/win_owners.h"
#include "framework/dialog.h"
#include "framework/progress_ctrl.h"
#include "package/package_seal.h"

// Posted by the extraction worker when it has finished; ends the window.
constexpr UINT WM_EXTRACTION_DONE = WM_APP + 0x100;

class CTobrinDlg : public CDialog {
 public:
  CTobrinDlg();
  ~CTobrinDlg() override;

  // Shows the package's message when its settings ask for it; false when
  // the user declined a two-button question. The catalogue is read only
  // for a box that is shown.
  bool ShowLocalizedMessage();
  // The same for a stated user interface language.
  bool ShowLocalizedMessage(LANGID uiLanguage);

  HICON m_hIcon = nullptr;  // the program's icon, loaded with the window
  std::wstring m_strProductName;
  std::wstring m_strExtractFolder;  // ends with a backslash; empty until the folder exists
  bool m_bShowMessageBox = false;
  bool m_bIsOk = false;
  CProgressCtrl m_progress;

  // True once every file of the package is written.
  bool m_bExtracted = false;
  // For a compressed package: the digest of every file the extraction
  // wrote, which the payload's file is checked against before its start.
  nsTobrin::WrittenFiles m_writtenFiles;
  // The process exit code: 0, the payload's code, or why the run failed.
  DWORD m_nExitCode = 0;
  // Set on the main thread when the user closes the progress window early;
  // the worker stops at the next file or piece.
  std::atomic<bool> m_bCancelRequested{false};

  // After the window's loop: waits until its extraction worker, if one
  // started, has ended. The loop may have ended before the worker's message
  // (a WM_QUIT, a failed GetMessage): the extraction is then still going.
  void WaitForWorker();

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  virtual void OnTimer(UINT_PTR timerId);

 private:
  void OnPaint();
  static UINT __stdcall ExtractionThreadProc(LPVOID param);

  bool m_bWorkerRunning = false;
  nsTobrin::KernelHandle m_worker;
  // The window the worker reports its end to, set before it starts: the
  // main thread clears m_hWnd when the window goes.
  HWND m_hWorkerReportWindow = nullptr;
};
