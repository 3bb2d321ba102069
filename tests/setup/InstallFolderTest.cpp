#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/SettingsStore.h"
#include "files/TextBuffer.h"
#include "setup/FolderSecurity.h"
#include "setup/InstallFolder.h"

namespace {

// Wine keeps no access lists on folders (it derives them from the Unix mode),
// so the descriptor the folder is created with is checked as built.
TEST(FolderSecurity, AllowsEveryoneFullAccessInheritedByFilesAndFolders)
{
    FolderSecurity security;
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    ASSERT_NE(nullptr, attributes);
    EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), attributes->nLength);
    EXPECT_FALSE(attributes->bInheritHandle);

    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    auto* descriptor = static_cast<PSECURITY_DESCRIPTOR>(attributes->lpSecurityDescriptor);
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor));
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(nullptr, dacl);
    EXPECT_EQ(ACL_REVISION, dacl->AclRevision);
    ASSERT_EQ(1, dacl->AceCount);

    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags);
    EXPECT_EQ(static_cast<DWORD>(GENERIC_ALL), ace->Mask);

    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone;
    ASSERT_TRUE(AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    EXPECT_TRUE(EqualSid(&ace->SidStart, everyone));
    FreeSid(everyone);
}

TEST(InstallFolder, IsCreatedUnderProgramFilesAndLeftAloneWhenThere)
{
    char programFiles[TEXT_BUFFER_SIZE];
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", programFiles);
    const std::string expected = std::string(programFiles) + "\\Talmarin\\Corvane";
    const std::string marker = expected + "\\marker.txt";
    DeleteFileA(marker.c_str());
    RemoveDirectoryA(expected.c_str());  // empty unless another program put files there
    RemoveDirectoryA((std::string(programFiles) + "\\Talmarin").c_str());

    char path[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(path);
    EXPECT_EQ(expected, path);
    DWORD attributes = GetFileAttributesA(path);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    // A second call finds the folder with its contents and leaves it as it is.
    HANDLE h = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    char again[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(again);
    EXPECT_STREQ(path, again);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str()));
    DeleteFileA(marker.c_str());
}

} // namespace
