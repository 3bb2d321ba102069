#include "setup/Shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "files/LFile.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

namespace {

// The machine's folder `common`, else the user's `own`; false when neither
// can be read.
bool ReadShellFolder(const char* common, const char* own, char (&folder)[TEXT_BUFFER_SIZE])
{
    ReadRegistryString(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, common, "", folder);
    if (folder[0] == '\0')
        ReadRegistryString(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, own, "", folder);
    return folder[0] != '\0';
}

} // namespace

bool GetStartMenuGroupFolder(char (&folder)[TEXT_BUFFER_SIZE])
{
    if (!ReadShellFolder("Common Programs", "Programs", folder))
        return false;
    CreateDirectoryA(folder, nullptr);
    LFile::FilePathCat(folder, "Corvane");
    return true;
}

void GetDesktopFolder(char (&folder)[TEXT_BUFFER_SIZE])
{
    if (!ReadShellFolder("Common Desktop", "Desktop", folder))
        CopyText(folder, "c:\\Windows\\Desktop");
}

bool CreateShortcut(const char* linkPath, const char* targetPath)
{
    CoInitialize(nullptr);
    bool bSaved = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))))
    {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->SetPath(targetPath))
            && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        {
            WCHAR widePath[TEXT_BUFFER_SIZE];
            if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, TEXT_BUFFER_SIZE) > 0)
                bSaved = SUCCEEDED(file->Save(widePath, TRUE));
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return bSaved;
}

void CreateStartMenuShortcut(const char* name, const char* targetPath)
{
    char link[TEXT_BUFFER_SIZE];
    if (!GetStartMenuGroupFolder(link))
        return;
    CreateDirectoryA(link, nullptr);
    LFile::FilePathCatExt(link, name, ".lnk");
    CreateShortcut(link, targetPath);
}

void DeleteStartMenuShortcut(const char* name)
{
    char link[TEXT_BUFFER_SIZE];
    if (!GetStartMenuGroupFolder(link))
        return;
    LFile::FilePathCatExt(link, name, ".lnk");
    DeleteFileA(link);
}

void GetDesktopShortcutPath(char (&path)[TEXT_BUFFER_SIZE])
{
    GetDesktopFolder(path);
    LFile::FilePathCat(path, "Corvane.lnk");
}
