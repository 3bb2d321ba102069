#include "settings/ProgramFolders.h"

#include <windows.h>

#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "settings/FolderSecurity.h"
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
    FolderSecurity openToEveryone;
    CreateDirectoryA(path, openToEveryone.Attributes());
}

void CreateFolder(const char* name)
{
    char path[TEXT_BUFFER_SIZE];
    CreateInstallFolder(path);
    LFile::FilePathCat(path, name);
    CreateDirectoryA(path, nullptr);
    WriteSettingString(FOLDERS_SECTION, name, path);
}
