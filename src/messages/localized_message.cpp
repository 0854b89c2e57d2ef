#include "app/tobrin_dlg.h"

// The message catalogue is not read yet: no box is shown and the payload
// always starts.
bool CTobrinDlg::ShowLocalizedMessage() { return true; }
