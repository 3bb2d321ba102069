#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "app/SettingsStore.h"
#include "files/TextBuffer.h"
#include "setup/InstallFolder.h"

namespace {

std::string ExpectedInstallFolder()
{
    char programFiles[TEXT_BUFFER_SIZE];
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", programFiles);
    return std::string(programFiles) + "\\Talmarin\\Corvane";
}

// True when the folder's access list allows everyone full access, inherited by
// the files and folders inside.
bool OpenToEveryone(const std::string& folder)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone;
    AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    bool found = false;
    for (DWORD i = 0; dacl && i < dacl->AceCount && !found; ++i)
    {
        ACCESS_ALLOWED_ACE* ace;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        found = EqualSid(&ace->SidStart, everyone) && (ace->Header.AceFlags & inherit) == inherit
                && (ace->Mask == GENERIC_ALL || (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS);
    }
    FreeSid(everyone);
    LocalFree(descriptor);
    return found;
}

TEST(InstallFolder, CreatesTheFolderOpenToEveryone)
{
    const std::string expected = ExpectedInstallFolder();
    RemoveDirectoryA(expected.c_str());  // only an empty folder left by an earlier run

    char path[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(path);
    EXPECT_EQ(expected, path);
    DWORD attributes = GetFileAttributesA(path);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(OpenToEveryone(path));

    // A second call finds the folder there and leaves it as it is.
    char again[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(again);
    EXPECT_STREQ(path, again);
}

} // namespace
