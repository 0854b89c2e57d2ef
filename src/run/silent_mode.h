// The two tests for a silent run: the command line, then the registry switch
// under the product's registry key.
#pragma once

#include <string>

namespace nsTobrin {

// The whole command line is "-s" or "/s", in either letter case.
bool IsSilentCommandLine(const std::wstring& commandLine);

// HKLM "SOFTWARE\Brenko Corporation\OLMI update", "SilentExecution" reads as
// the 32-bit value 1 (whatever its registry type).
bool IsSilentSwitchOn();

extern const wchar_t kSilentSwitchKey[];
extern const wchar_t kSilentSwitchValue[];

}  // namespace nsTobrin
