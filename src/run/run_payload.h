// The last step of every run: settings, message, payload, clean-up.
#pragma once

class CTobrinDlg;

namespace nsTobrin {

// Reads AssistFile.ini, builds the payload command, asks the message step,
// starts the payload and waits for it, and deletes the extraction folder in
// every case. Sets the run's exit code. Always true.
bool RunPayload(CTobrinDlg& dlg, const wchar_t* commandLine);

}  // namespace nsTobrin
