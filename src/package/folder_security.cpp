#include "package/folder_security.h"

#include <sddl.h>

#include "common/scoped_handle.h"

namespace tobrin {

bool IsProcessElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  CScopedHandle owned(token);
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) && elevation.TokenIsElevated;
}

CExtractFolderSecurity::CExtractFolderSecurity(bool elevated) : m_bElevated(elevated) {
  if (!elevated) return;
  // P: protected, no ACE inherited from the parent; OICI: files and folders
  // created inside inherit both entries.
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                            &m_pDescriptor, nullptr)) {
    m_pDescriptor = nullptr;
    return;
  }
  m_attributes.nLength = sizeof(m_attributes);
  m_attributes.lpSecurityDescriptor = m_pDescriptor;
  m_attributes.bInheritHandle = FALSE;
}

CExtractFolderSecurity::~CExtractFolderSecurity() {
  if (m_pDescriptor) LocalFree(m_pDescriptor);
}

}  // namespace tobrin
