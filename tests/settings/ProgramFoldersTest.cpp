#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "files/TextBuffer.h"
#include "settings/ProgramFolders.h"
#include "settings/SettingsStore.h"

namespace {

// The access an entry of `dacl` gives everyone.
DWORD EveryonesAccess(PACL dacl)
{
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!dacl || !AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return 0;
    DWORD access = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i)
    {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE
            && EqualSid(&ace->SidStart, everyone))
            access |= ace->Mask;
    }
    FreeSid(everyone);
    return access;
}

// Any local user could otherwise replace the program or its uninstaller: the
// folder takes the program-files folder's own security.
TEST(InstallFolder, GivesEveryoneNoRightToChangeWhatIsInstalled)
{
    char path[TEXT_BUFFER_SIZE];
    CreateInstallFolder(path);
    DWORD size = 0;
    GetFileSecurityA(path, DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<BYTE> descriptor(size ? size : 1);
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (size && GetFileSecurityA(path, DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted);
    const DWORD change = GENERIC_ALL | GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_ADD_FILE
                         | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
    EXPECT_EQ(0u, EveryonesAccess(present ? dacl : nullptr) & change);
}

// What a user saves has a folder of the user's own.
TEST(UserDataFolder, IsTheProgramsFolderInTheUsersApplicationData)
{
    char appData[MAX_PATH] = "";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    const std::string expected = std::string(appData) + "\\Talmarin\\Corvane";
    char path[TEXT_BUFFER_SIZE];
    ASSERT_TRUE(GetUserDataFolder(path));
    EXPECT_EQ(expected, path);
    ASSERT_TRUE(CreateUserDataFolder(path));
    EXPECT_EQ(expected, path);
    const DWORD attributes = GetFileAttributesA(path);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
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
