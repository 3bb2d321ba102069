#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "app/MainDialog.h"
#include "files/LFile.h"
#include "files/TextBuffer.h"
#include "resources/AppInstance.h"
#include "resources/resource.h"
#include "settings/ProgramFolders.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "setup/InstallDialog.h"
#include "setup/InstallPayload.h"
#include "setup/PayloadExtract.h"
#include "setup/UninstallJob.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR commandLine, int)
{
    hAppInstance = hInstance;

    // Every file the program reads or writes by a bare name lives beside it. The
    // module's own path is taken rather than the command line's first word, which
    // may be relative or lack the folder when the program was found on the PATH.
    char programPath[TEXT_BUFFER_SIZE];
    char programFolder[TEXT_BUFFER_SIZE];
    GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    LFile::_GetFolderFromPath(programFolder, programPath);
    // A trailing separator makes "C:" the drive's root, not its current folder.
    LFile::FilePathCat(programFolder, "");
    SetCurrentDirectoryA(programFolder);

    const uint32_t trailer = ReadTrailer(programPath);
    if (IsSetupFileName(programPath) && trailer != TRAILER_INSTALL)
    {
        ShowCorruptSetupFile(nullptr);
        return 0;
    }

    // The main window is a dialog: the dialog class, caption "Corvane".
    HWND running = FindWindowA(MAKEINTATOM(0x8002), "Corvane");
    if (trailer == TRAILER_INSTALL || trailer == TRAILER_UNINSTALL)
    {
        if (running)
        {
            PostMessageA(running, WM_COMMAND, CM_INSTALLER_STARTS, 0);
            Sleep(trailer == TRAILER_INSTALL ? 2000 : 1500);
        }
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        const char* const caption = "Installing Corvane v 1.32";
        if (trailer == TRAILER_INSTALL)
            RunInstall(caption, programPath);
        else
        {
            char installFolder[TEXT_BUFFER_SIZE];
            CreateInstallFolder(installFolder);
            WriteSettingString(FOLDERS_SECTION, "ProgramFiles", installFolder);
            WriteSettingString(FOLDERS_SECTION, "DataFiles", installFolder);
            // Only whether there is an argument counts, not what it says.
            const bool bHasArgument = commandLine && commandLine[strspn(commandLine, " \t")] != '\0';
            UninstallJob uninstall(caption, programPath, bHasArgument);
            uninstall.Run(nullptr);
        }
        return 0;
    }
    if (running)
    {
        ShowWindow(running, IsZoomed(running) ? SW_MAXIMIZE : SW_RESTORE);
        SetForegroundWindow(running);
        return 0;
    }

    // The program keeps its saved wave format in the install folder.
    char installFolder[TEXT_BUFFER_SIZE];
    CreateInstallFolder(installFolder);
    MainDialog mainDialog;
    RegisterSplashAboutClass();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    mainDialog.Open(MAKEINTRESOURCEA(IDD_MAIN), nullptr);
    return 0;
}
