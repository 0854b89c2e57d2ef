#include "app/tobrin_dlg.h"

#include "res/resource.h"

// The icon is loaded with the window (OnInitDialog): a silent run, which has
// none, does not wake the display driver for it.
CTobrinDlg::CTobrinDlg() : CDialog(IDD_TOBRIN_DIALOG) {}

CTobrinDlg::~CTobrinDlg() = default;
