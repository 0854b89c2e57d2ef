#include "app/tobrin_dlg.h"

#include "res/resource.h"

CTobrinDlg::CTobrinDlg() : CDialog(IDD_TOBRIN_DIALOG) {
  m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CTobrinDlg::~CTobrinDlg() = default;
