// The security of the extraction folder of an elevated run.
#include <gtest/gtest.h>

#include <windows.h>

#include "extract/folder_security.h"

using namespace nsTobrin;

namespace {

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE buffer[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(buffer);
  return CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

}  // namespace

TEST(ExtractFolderSecurity, ElevatedRunsGetAProtectedFolder) {
  CExtractFolderSecurity plain(false);
  EXPECT_EQ(plain.Attributes(), nullptr);
  EXPECT_TRUE(plain.Valid());

  CExtractFolderSecurity elevated(true);
  ASSERT_TRUE(elevated.Valid());
  SECURITY_ATTRIBUTES* attributes = elevated.Attributes();
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_FALSE(attributes->bInheritHandle);
  PSECURITY_DESCRIPTOR descriptor = attributes->lpSecurityDescriptor;
  ASSERT_TRUE(IsValidSecurityDescriptor(descriptor));

  // Nothing inherited from %TEMP%.
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);

  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(dacl, nullptr);
  ACL_SIZE_INFORMATION info = {};
  ASSERT_TRUE(GetAclInformation(dacl, &info, sizeof(info), AclSizeInformation));
  ASSERT_EQ(info.AceCount, 2u);
  bool system = false, administrators = false;
  for (DWORD i = 0; i < info.AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask & FILE_ALL_ACCESS, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    PSID sid = &ace->SidStart;
    system |= IsWellKnown(sid, WinLocalSystemSid);
    administrators |= IsWellKnown(sid, WinBuiltinAdministratorsSid);
  }
  EXPECT_TRUE(system);
  EXPECT_TRUE(administrators);
}
