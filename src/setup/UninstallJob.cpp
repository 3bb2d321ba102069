#include "setup/UninstallJob.h"

#include <initializer_list>

#include "files/LFile.h"
#include "jobs/ChildProcess.h"
#include "settings/ProgramFolders.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "setup/Shortcuts.h"

UninstallJob::UninstallJob(const char* title, const char* programPath, bool bHasArgument)
    : LProgressDialog(title), bHasArgument(bHasArgument)
{
    CopyText(szProgramPath, programPath);
}

namespace {

// Where the first stage puts the copy.
void GetUninstallerCopyPath(char (&copy)[TEXT_BUFFER_SIZE])
{
    LFile::GetTempFolder(copy);
    LFile::FilePathCat(copy, "uninst.exe");
}

} // namespace

bool UninstallJob::RunJob()
{
    char copy[TEXT_BUFFER_SIZE];
    GetUninstallerCopyPath(copy);
    if (!bHasArgument)
    {
        // The copy runs from the temporary folder, so that this file, in the
        // install folder, is no longer in use when the copy removes it.
        if (CopyFileA(szProgramPath, copy, FALSE))
        {
            char commandLine[TEXT_BUFFER_SIZE + 16];
            FormatText(commandLine, sizeof(commandLine), "\"%s\" /uninstall", copy);
            // This one ends only once the copy takes input, so that a window
            // of the uninstall is on screen throughout.
            ChildProcess uninstaller;
            if (uninstaller.Start(commandLine, ChildStart()))
                uninstaller.WaitUntilIdle(30000);
            return true;
        }
    }
    // The copy cannot delete itself while it runs: the system removes it at
    // the next restart. Only the copy, never an uninstaller elsewhere.
    if (lstrcmpiA(szProgramPath, copy) == 0)
        MoveFileExA(szProgramPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (ProcessMessages() || Pause(250) != Done)
        return false;
    if (MessageBoxA(hWnd, "Are you sure you want to remove Corvane from this computer?", "Uninstall Corvane",
                    MB_YESNO | MB_ICONERROR)
        == IDYES)
        RemoveInstallation();
    return true;
}

namespace {

// The files the installer puts into an installation's folders.
const char* const INSTALLED_FILES[] = {"corvane.exe", "corvane.hlp", "uninst.exe", "WavCodec.wff"};

// Deletes the installer's files in the folder recorded as "Folders"\`name`,
// then the folder when that left it empty; only below `makerFolder`.
void RemoveRecordedFolder(const char* name, const char* makerFolder)
{
    char folder[TEXT_BUFFER_SIZE];
    ReadSettingString(FOLDERS_SECTION, "", name, folder);
    if (folder[0] == '\0' || !LFile::IsInFolder(folder, makerFolder))
        return;
    for (const char* file : INSTALLED_FILES)
    {
        char path[TEXT_BUFFER_SIZE];
        CopyText(path, folder);
        LFile::FilePathCat(path, file);
        DeleteFileA(path);
    }
    RemoveDirectoryA(folder);
}

} // namespace

void RemoveInstallation()
{
    char desktopLink[TEXT_BUFFER_SIZE];
    GetDesktopShortcutPath(desktopLink);
    DeleteFileA(desktopLink);

    DeleteRegistryKey(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY_KEY);

    DeleteStartMenuShortcut("Corvane");
    DeleteStartMenuShortcut("Corvane Help");
    char group[TEXT_BUFFER_SIZE];
    if (GetStartMenuGroupFolder(group))
        RemoveDirectoryA(group);

    // The maker folder of the install folder start-up computed: the folders
    // recorded may only lie below it.
    char installFolder[TEXT_BUFFER_SIZE];
    char makerFolder[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(installFolder);
    LFile::_GetFolderFromPath(makerFolder, installFolder);
    for (const char* name : {"Output", "DataFiles", "ProgramFiles"})
        RemoveRecordedFolder(name, makerFolder);

    char systemMakerFolder[TEXT_BUFFER_SIZE];
    if (GetMakerFolder(systemMakerFolder))
        RemoveDirectoryA(systemMakerFolder);

    DeleteSetting(SETTINGS_SECTION, "ExtractCD");
}
