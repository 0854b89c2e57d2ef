// The common controls' progress bar.
#pragma once

#include <commctrl.h>

#include "framework/wnd.h"

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper) const { SendMessage(PBM_SETRANGE32, lower, upper); }
  int SetStep(int step) const { return static_cast<int>(SendMessage(PBM_SETSTEP, step)); }
  int StepIt() const { return static_cast<int>(SendMessage(PBM_STEPIT)); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int SetPos(int position) const { return static_cast<int>(SendMessage(PBM_SETPOS, position)); }
};
