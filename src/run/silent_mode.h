// The two tests for a silent run (the command line, then the registry
// switch), and the other policy value under the product's registry key.
#pragma once

#include <string>

namespace nsTobrin {

// The whole command line is "-s" or "/s", in either letter case.
bool IsSilentCommandLine(const std::wstring& commandLine);

// HKLM "SOFTWARE\Brenko Corporation\OLMI update", "SilentExecution" reads as
// the 32-bit value 1 (whatever its registry type).
bool IsSilentSwitchOn();

// HKLM "SOFTWARE\Brenko Corporation\OLMI update", "ExtractionRoot": a text
// (REG_SZ or REG_EXPAND_SZ) with its environment variables expanded (in an
// elevated run from the system's environment only, never the user's); empty
// when the value is absent, of another type or empty.
std::wstring ReadExtractionRoot();

extern const wchar_t kSilentSwitchKey[];
extern const wchar_t kSilentSwitchValue[];
extern const wchar_t kExtractionRootValue[];

}  // namespace nsTobrin
