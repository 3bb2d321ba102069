#include "setup/UninstallJob.h"

#include <initializer_list>

#include "files/LFile.h"
#include "jobs/ChildProcess.h"
#include "settings/ProgramFolders.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "resources/resource.h"
#include "setup/Shortcuts.h"

namespace {

// How long the uninstaller waits for a running program to close itself.
constexpr unsigned RUNNING_PROGRAM_WAIT_MS = 5000;

// The running program's main window: the dialog class, caption "Corvane".
HWND RunningProgram() { return FindWindowA(MAKEINTATOM(0x8002), "Corvane"); }

} // namespace

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
            // This one ends only once the copy takes input, so that a window
            // of the uninstall is on screen throughout.
            ChildProcess uninstaller;
            if (uninstaller.StartProgram(copy, "/uninstall", ChildStart()))
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
        != IDYES)
        return true;
    // A running Corvane closes itself when idle on the installer's command;
    // one busy with a job, or with a box open, is left to the user.
    for (unsigned waited = 0; RunningProgram() && waited < RUNNING_PROGRAM_WAIT_MS; waited += 250)
    {
        PostMessageA(RunningProgram(), WM_COMMAND, CM_INSTALLER_STARTS, 0);
        if (Pause(250) != Done)
            return false;
    }
    if (RunningProgram())
    {
        MessageBoxA(hWnd, "Corvane is running. Please close Corvane and try again.", "Uninstall Corvane",
                    MB_OK | MB_ICONERROR);
        return true;
    }
    char failed[TEXT_BUFFER_SIZE];
    if (!RemoveInstallation(failed))
    {
        char text[2 * TEXT_BUFFER_SIZE];
        FormatText(text, sizeof(text),
                   "The file \"%s\" could not be removed. Corvane has not been uninstalled: close the programs that "
                   "use the file, and uninstall Corvane again.",
                   failed);
        MessageBoxA(hWnd, text, "Uninstall Corvane", MB_OK | MB_ICONERROR);
    }
    return true;
}

namespace {

// The files the installer puts into an installation's folders.
const char* const INSTALLED_FILES[] = {"corvane.exe", "corvane.hlp", "uninst.exe", "WavCodec.wff"};

// The folder recorded as "Folders"\`name`, when it lies below `makerFolder`.
bool RecordedFolder(const char* name, const char* makerFolder, char (&folder)[TEXT_BUFFER_SIZE])
{
    ReadSettingString(FOLDERS_SECTION, "", name, folder);
    return folder[0] != '\0' && LFile::IsInFolder(folder, makerFolder);
}

// Deletes the installer's files in `folder`, the uninstaller's own last;
// false, with the first file that stays in `failed`, when one cannot go (the
// program runs), and then the uninstaller stays for the next try.
bool RemoveInstalledFiles(const char* folder, char (&failed)[TEXT_BUFFER_SIZE])
{
    bool bRemoved = true;
    for (const char* file : INSTALLED_FILES)
    {
        if (!bRemoved && lstrcmpiA(file, "uninst.exe") == 0)
            continue;
        char path[TEXT_BUFFER_SIZE];
        CopyText(path, folder);
        LFile::FilePathCat(path, file);
        if (!DeleteFileA(path) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && bRemoved)
        {
            CopyText(failed, path);
            bRemoved = false;
        }
    }
    return bRemoved;
}


} // namespace

bool RemoveInstallation(char (&failed)[TEXT_BUFFER_SIZE])
{
    failed[0] = '\0';
    // The maker folder of the install folder start-up computed: the folders
    // recorded may only lie below it.
    char installFolder[TEXT_BUFFER_SIZE];
    char makerFolder[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(installFolder);
    LFile::_GetFolderFromPath(makerFolder, installFolder);
    // The files first: while one stays, so do the entry and the shortcuts
    // that lead to it and to the uninstaller.
    const char* const recorded[] = {"Output", "DataFiles", "ProgramFiles"};
    for (const char* name : recorded)
    {
        char folder[TEXT_BUFFER_SIZE];
        if (RecordedFolder(name, makerFolder, folder) && !RemoveInstalledFiles(folder, failed))
            return false;
    }
    for (const char* name : recorded)
    {
        char folder[TEXT_BUFFER_SIZE];
        if (RecordedFolder(name, makerFolder, folder))
            RemoveDirectoryA(folder);
    }

    char desktopLink[TEXT_BUFFER_SIZE];
    GetDesktopShortcutPath(desktopLink);
    DeleteFileA(desktopLink);

    DeleteRegistryKey(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY_KEY);

    DeleteStartMenuShortcut("Corvane");
    DeleteStartMenuShortcut("Corvane Help");
    char group[TEXT_BUFFER_SIZE];
    if (GetStartMenuGroupFolder(group))
        RemoveDirectoryA(group);

    char systemMakerFolder[TEXT_BUFFER_SIZE];
    if (GetMakerFolder(systemMakerFolder))
        RemoveDirectoryA(systemMakerFolder);

    DeleteSetting(SETTINGS_SECTION, "ExtractCD");
    return true;
}
