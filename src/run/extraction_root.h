// The administrator's choice of where the extraction folder is made: a
// policy value under the product's registry key (kSilentSwitchKey).
#pragma once

#include <string>

namespace nsTobrin {

// HKLM "SOFTWARE\Brenko Corporation\OLMI update", "ExtractionRoot": a text
// (REG_SZ or REG_EXPAND_SZ) with its environment variables expanded (in an
// elevated run from the system's environment only, never the user's); empty
// when the value is absent, of another type or empty.
std::wstring ReadExtractionRoot();

extern const wchar_t kExtractionRootValue[];

}  // namespace nsTobrin
