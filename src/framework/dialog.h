// A modal dialog made from a dialog template resource. DoModal runs the
// dialog's own message loop, so PreTranslateMessage sees every message
// before the dialog manager does; a class's message map is its OnMessage.
#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId) : m_nIDTemplate(templateId) {}

  // What DoModal returns when the window cannot be created, and when its loop
  // ended before the dialog did: on WM_QUIT (posted again for the loop that
  // owns it) or a failed GetMessage.
  static constexpr INT_PTR kNoWindow = -1;
  static constexpr INT_PTR kLoopEnded = -2;

  // Shows the dialog and returns the result given to EndDialog, kNoWindow
  // or kLoopEnded.
  INT_PTR DoModal();
  void EndDialog(int result);

  virtual BOOL OnInitDialog();  // runs DoDataExchange
  virtual void DoDataExchange() {}
  // True when the message was handled and must not be dispatched.
  virtual BOOL PreTranslateMessage(MSG* message);

  // Centres the window over its owner, or in the primary monitor's work area.
  void CenterWindow() const;
  // Gives the window the outer size that holds a client area of the given
  // pixels (the borders twice, the title bar once); left and top stay.
  void SetClientSize(int width, int height) const;

 protected:
  // The message map: true when the message is handled, with its result.
  // The default ends the dialog on IDOK and IDCANCEL.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Binds a control of the dialog to a control object.
  void DDX_Control(int id, CWnd& control) const { control.m_hWnd = GetDlgItem(id); }

  UINT m_nIDTemplate;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  bool m_bEnded = false;
  int m_nModalResult = -1;
};
