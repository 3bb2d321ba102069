#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "files/TextBuffer.h"
#include "settings/FolderSecurity.h"
#include "settings/ProgramFolders.h"
#include "settings/SettingsStore.h"

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
    CreateInstallFolder(path);
    EXPECT_EQ(expected, path);
    DWORD attributes = GetFileAttributesA(path);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    // A second call finds the folder with its contents and leaves it as it is.
    HANDLE h = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    char again[TEXT_BUFFER_SIZE];
    CreateInstallFolder(again);
    EXPECT_STREQ(path, again);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str()));
    DeleteFileA(marker.c_str());
}

// Where the folder is can be asked at every track of a rip: the answer
// creates nothing.
TEST(InstallFolder, WhereItIsCreatesNothing)
{
    char programFiles[TEXT_BUFFER_SIZE];
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", programFiles);
    const std::string expected = std::string(programFiles) + "\\Talmarin\\Corvane";
    RemoveDirectoryA(expected.c_str());  // empty unless another program put files there
    RemoveDirectoryA((std::string(programFiles) + "\\Talmarin").c_str());
    if (GetFileAttributesA(expected.c_str()) != INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << expected << " holds files of another program";

    char path[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(path);
    EXPECT_EQ(expected, path);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    char data[TEXT_BUFFER_SIZE];
    GetDataFolder("Output", data);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));

    CreateInstallFolder(path);  // as start-up leaves it for the tests that follow
}

class DataFolderTest : public ::testing::Test
{
protected:
    static constexpr const char* kValues[] = {"DataFiles", "Output"};
    static constexpr const char* kNotRecorded = "<not recorded>";

    void SetUp() override
    {
        for (int i = 0; i < 2; ++i)
        {
            ReadSettingString("Folders", kNotRecorded, kValues[i], saved[i]);
            RemoveFolderValue(kValues[i]);
        }
    }
    void TearDown() override
    {
        for (int i = 0; i < 2; ++i)
        {
            RemoveFolderValue(kValues[i]);
            if (strcmp(saved[i], kNotRecorded) != 0)
                WriteSettingString("Folders", kValues[i], saved[i]);
        }
    }
    static void RemoveFolderValue(const char* value)
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Talmarin\\Corvane\\Folders", 0, KEY_ALL_ACCESS, &hKey)
            == ERROR_SUCCESS)
        {
            RegDeleteValueA(hKey, value);
            RegCloseKey(hKey);
        }
    }

    char saved[2][TEXT_BUFFER_SIZE];
};

TEST_F(DataFolderTest, RecordedFoldersWinOverTheInstallFolder)
{
    char programFiles[TEXT_BUFFER_SIZE];
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", programFiles);
    const std::string installFolder = std::string(programFiles) + "\\Talmarin\\Corvane";

    char folder[TEXT_BUFFER_SIZE];
    GetDataFolder(nullptr, folder);
    EXPECT_EQ(installFolder, folder);
    GetDataFolder("Output", folder);
    EXPECT_EQ(installFolder + "\\Output", folder);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(installFolder.c_str()));

    WriteSettingString("Folders", "DataFiles", "D:\\Data");
    WriteSettingString("Folders", "Output", "E:\\Rips");
    GetDataFolder(nullptr, folder);
    EXPECT_STREQ("D:\\Data", folder);
    GetDataFolder("Output", folder);
    EXPECT_STREQ("E:\\Rips", folder);
}

} // namespace
