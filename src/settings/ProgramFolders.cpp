#include "settings/ProgramFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

void GetInstallProgramFilesPath(char (&path)[TEXT_BUFFER_SIZE])
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, CURRENT_VERSION_KEY, "ProgramFilesDir", "C:\\Program Files", path);
    LFile::FilePathCat(path, "Talmarin");
    LFile::FilePathCat(path, "Corvane");
}

bool GetMakerFolder(char (&path)[TEXT_BUFFER_SIZE])
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, CURRENT_VERSION_KEY, "ProgramFilesDir", "", path);
    if (path[0] == '\0')
        return false;
    LFile::FilePathCat(path, "Talmarin");
    return true;
}

void GetDataFolder(const char* name, char (&out)[TEXT_BUFFER_SIZE])
{
    ReadSettingString(FOLDERS_SECTION, "", name ? name : "DataFiles", out);
    if (out[0] != '\0')
        return;
    GetInstallProgramFilesPath(out);
    if (name)
        LFile::FilePathCat(out, name);
}

void CreateInstallFolder(char (&path)[TEXT_BUFFER_SIZE])
{
    GetInstallProgramFilesPath(path);
    char makerFolder[TEXT_BUFFER_SIZE];
    char programFiles[TEXT_BUFFER_SIZE];
    LFile::_GetFolderFromPath(makerFolder, path);
    LFile::_GetFolderFromPath(programFiles, makerFolder);
    CreateDirectoryA(programFiles, nullptr);
    CreateDirectoryA(makerFolder, nullptr);
    CreateDirectoryA(path, nullptr);
}

bool GetUserDataFolder(char (&path)[TEXT_BUFFER_SIZE])
{
    char appData[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)) || appData[0] == '\0')
    {
        path[0] = '\0';
        return false;
    }
    CopyText(path, appData);
    LFile::FilePathCat(path, "Talmarin");
    LFile::FilePathCat(path, "Corvane");
    return true;
}

bool CreateUserDataFolder(char (&path)[TEXT_BUFFER_SIZE])
{
    if (!GetUserDataFolder(path))
        return false;
    char makerFolder[TEXT_BUFFER_SIZE];
    LFile::_GetFolderFromPath(makerFolder, path);
    CreateDirectoryA(makerFolder, nullptr);
    CreateDirectoryA(path, nullptr);
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CreateFolder(const char* name)
{
    char path[TEXT_BUFFER_SIZE];
    CreateInstallFolder(path);
    LFile::FilePathCat(path, name);
    CreateDirectoryA(path, nullptr);
    WriteSettingString(FOLDERS_SECTION, name, path);
}
