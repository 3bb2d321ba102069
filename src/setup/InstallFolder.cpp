#include "setup/InstallFolder.h"

#include <windows.h>

#include "app/SettingsStore.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "setup/FolderSecurity.h"

void GetInstallProgramFilesPath(char (&path)[TEXT_BUFFER_SIZE])
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", path);
    CreateDirectoryA(path, nullptr);
    LFile::FilePathCat(path, "Talmarin");
    CreateDirectoryA(path, nullptr);
    LFile::FilePathCat(path, "Corvane");
    FolderSecurity openToEveryone;
    CreateDirectoryA(path, openToEveryone.Attributes());
}

void CreateFolder(const char* name)
{
    char path[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(path);
    LFile::FilePathCat(path, name);
    CreateDirectoryA(path, nullptr);
    WriteSettingString("Folders", name, path);
}

bool GetMakerFolder(char (&path)[TEXT_BUFFER_SIZE])
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "",
                       path);
    if (path[0] == '\0')
        return false;
    LFile::FilePathCat(path, "Talmarin");
    return true;
}
