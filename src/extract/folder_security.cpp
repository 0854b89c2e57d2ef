#include "extract/folder_security.h"

#include <sddl.h>

#include "common/win_owners.h"

namespace nsTobrin {

bool IsProcessElevated() {
  KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) && elevation.TokenIsElevated;
}

CExtractFolderSecurity::CExtractFolderSecurity(bool elevated) : m_bElevated(elevated) {
  if (!elevated) return;
  // P: protected, no ACE inherited from the parent; OICI: files and folders
  // created inside inherit both entries.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return;
  m_descriptor.Reset(descriptor);
  m_attributes.nLength = sizeof(m_attributes);
  m_attributes.lpSecurityDescriptor = descriptor;
  m_attributes.bInheritHandle = FALSE;
}

}  // namespace nsTobrin
