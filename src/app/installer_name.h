// Copies of the runner named like installers are registered with the
// operating system's compatibility assistant.
#pragma once

#include <string>

namespace nsTobrin {

// True when the file name (not its folder) holds "setup" or "install" in any
// letter case of A to Z.
bool IsInstallerName(const std::wstring& modulePath);

// Writes the REG_DWORD 33 named by the full path under the assistant's
// existing key of the current user; creates nothing.
void RegisterWithCompatibilityAssistant(const std::wstring& modulePath);

}  // namespace nsTobrin
