// The extraction folder of an elevated run is closed to everyone but SYSTEM
// and the Administrators, so that no process of the same user without
// elevation can plant or swap files between extraction and launch.
#pragma once

#include <windows.h>

#include "common/win_owners.h"

namespace nsTobrin {

bool IsProcessElevated();

// Security attributes for the extraction folder: a protected DACL (nothing
// inherited from %TEMP%) granting SYSTEM and Administrators full control to
// the folder and everything created in it, or none for a run that is not
// elevated (the folder then inherits from %TEMP% as usual).
class CExtractFolderSecurity {
 public:
  explicit CExtractFolderSecurity(bool elevated);

  // Null when the folder gets the default security.
  SECURITY_ATTRIBUTES* Attributes() { return m_descriptor.Valid() ? &m_attributes : nullptr; }
  // False when an elevated run could not build its descriptor.
  bool Valid() const { return !m_bElevated || m_descriptor.Valid(); }

 private:
  bool m_bElevated;
  LocalMemory m_descriptor;  // the descriptor, from LocalAlloc
  SECURITY_ATTRIBUTES m_attributes = {};
};

}  // namespace nsTobrin
