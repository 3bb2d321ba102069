#include "setup/InstallDialog.h"

#include <cstdint>

#include "components/InstallProgram.h"
#include "components/RelatedPrograms.h"
#include "files/LFile.h"
#include "jobs/ChildProcess.h"
#include "settings/ProgramFolders.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "setup/InstallPayload.h"
#include "setup/InstallWizard.h"
#include "setup/PayloadExtract.h"
#include "setup/Shortcuts.h"

InstallDialog::InstallDialog(const char* title, const char* setupPath) : LProgressDialog(title)
{
    CopyText(szSetupPath, setupPath);
}

namespace {

struct RelatedSetup
{
    const char* szSetupName;
};

ProcessResult ProcessInstallRelatedProgram(LJobControl& job, RelatedSetup& setup)
{
    return ProcessInstallProgram(job, setup.szSetupName);
}

// Each ticked program in a job of its own under the install's window; one
// that fails is reported and the install goes on.
void InstallRelatedPrograms(HWND hParent, const InstallChoices& choices)
{
    for (int i = 0; i < RELATED_PROGRAM_COUNT; ++i)
    {
        if (!choices.bInstall[i])
            continue;
        const RelatedProgram& program = RelatedPrograms[i];
        RelatedSetup setup = {program.szSetupName};
        LProgressJob<RelatedSetup> job(program.szProgressCaption, ProcessInstallRelatedProgram);
        job.pJobData = &setup;
        // A Cancel is the user's own choice: nothing is reported after it.
        if (!job.Run(hParent) && job.nResult != Stopped)
        {
            char text[TEXT_BUFFER_SIZE];
            FormatText(text, sizeof(text), "Cannot download and install %s", program.szName);
            MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR);
        }
    }
}

} // namespace

bool InstallDialog::MainFunction()
{
    SetText(0, "Installing Corvane");
    SetText(1, "Software Licence Terms");
    // Start-up creates the install folder; without the rights to do so it is
    // missing.
    if (GetFileAttributesA(szInstallFolder) == INVALID_FILE_ATTRIBUTES)
    {
        MessageBoxA(nullptr,
                    "To install software you must be logged on as this computer's Administrator. If you are not "
                    "able to do this, ask your computer Administrator to log in and run the setup file again.",
                    "Install Error", MB_OK | MB_ICONERROR);
        return false;
    }
    InstallChoices choices;
    if (!RunInstallWizard(hWnd, choices))
        return false;
    CreateFolder("Output");

    SetText(1, "Installing related programs");
    InstallRelatedPrograms(hWnd, choices);
    if (ProcessExtractPayload(*this, hWnd, szSetupPath, szInstallFolder) != Done)
        return false;
    SetText(1, "Finalizing");
    FinishInstall(szInstallFolder);
    return true;
}

namespace {

// The path of `name` in `folder`.
void PathIn(char (&path)[TEXT_BUFFER_SIZE], const char* folder, const char* name)
{
    CopyText(path, folder);
    LFile::FilePathCat(path, name);
}

void WriteUninstallEntry(const char* uninstallerPath)
{
    // A second install leaves the first one's entry as it is.
    if (RegistryKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY_KEY))
        return;
    WriteRegistryString(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY_KEY, "DisplayName", "Corvane Uninstall");
    WriteRegistryString(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY_KEY, "UninstallString", uninstallerPath);
}

// The size of the file `path`; 0 when it is missing or cannot be read.
uint64_t FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Moves the encoder from the install folder into its component folder and
// registers it there. Only a whole copy of a file with bytes in it takes the
// component's place: it is copied beside it under a name of its own first,
// so that a working encoder is never replaced with less.
void InstallEncoderComponent(const char* installFolder)
{
    char source[TEXT_BUFFER_SIZE];
    PathIn(source, installFolder, "mp3enc.exe");
    const uint64_t size = FileSize(source);

    // The maker folder holds the install folder and the components.
    char target[TEXT_BUFFER_SIZE];
    LFile::_GetFolderFromPath(target, installFolder);
    CreateDirectoryA(target, nullptr);
    LFile::FilePathCat(target, "Components");
    CreateDirectoryA(target, nullptr);
    LFile::FilePathCat(target, "mp3el");
    CreateDirectoryA(target, nullptr);
    char staged[TEXT_BUFFER_SIZE];
    CopyText(staged, target);
    LFile::FilePathCat(staged, "mp3enc.new");
    LFile::FilePathCat(target, "mp3enc.exe");
    if (size > 0 && CopyFileA(source, staged, FALSE) && FileSize(staged) == size
        && LFile::MoveReplacing(staged, target))
        WriteRegistryString(HKEY_LOCAL_MACHINE, MP3_ENCODER_KEY, "Path", target);
    DeleteFileA(staged);
    DeleteFileA(source);
}

void StartProgram(const char* programPath, const char* folder)
{
    ChildStart how;
    how.szFolder = folder;
    ChildProcess program;
    program.StartProgram(programPath, "", how);
}

} // namespace

void FinishInstall(const char* installFolder)
{
    char program[TEXT_BUFFER_SIZE];
    char uninstaller[TEXT_BUFFER_SIZE];
    char helpFile[TEXT_BUFFER_SIZE];
    PathIn(program, installFolder, "corvane.exe");
    PathIn(uninstaller, installFolder, "uninst.exe");
    PathIn(helpFile, installFolder, "corvane.hlp");

    CopyFileA(program, uninstaller, FALSE);
    AppendTrailer(program, 0);
    AppendTrailer(uninstaller, TRAILER_UNINSTALL);
    CreateStartMenuShortcut("Corvane", program);
    char desktopLink[TEXT_BUFFER_SIZE];
    GetDesktopShortcutPath(desktopLink);
    CreateShortcut(desktopLink, program);
    WriteUninstallEntry(uninstaller);
    InstallEncoderComponent(installFolder);
    CreateStartMenuShortcut("Corvane Help", helpFile);
    char extractCommand[TEXT_BUFFER_SIZE];
    FormatText(extractCommand, sizeof(extractCommand), "\"%s\" \"%%s\"", program);
    WriteSettingString(SETTINGS_SECTION, "ExtractCD", extractCommand);
    StartProgram(program, installFolder);
}

namespace {

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

void RunInstall(const char* title, const char* setupPath)
{
    static const char* const FOLDER_VALUES[] = {"ProgramFiles", "DataFiles", "Output"};
    bool bHadValue[3];
    for (int i = 0; i < 3; ++i)
    {
        char value[TEXT_BUFFER_SIZE];
        ReadSettingString(FOLDERS_SECTION, "", FOLDER_VALUES[i], value);
        bHadValue[i] = value[0] != '\0';
    }
    char installFolder[TEXT_BUFFER_SIZE];
    char makerFolder[TEXT_BUFFER_SIZE];
    char outputFolder[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(installFolder);
    LFile::_GetFolderFromPath(makerFolder, installFolder);
    PathIn(outputFolder, installFolder, "Output");
    const bool bHadMaker = Exists(makerFolder);
    const bool bHadInstall = Exists(installFolder);
    const bool bHadOutput = Exists(outputFolder);

    CreateInstallFolder(installFolder);
    WriteSettingString(FOLDERS_SECTION, "ProgramFiles", installFolder);
    WriteSettingString(FOLDERS_SECTION, "DataFiles", installFolder);
    InstallDialog install(title, setupPath);
    CopyText(install.szInstallFolder, installFolder);
    if (install.Run(nullptr))
        return;

    for (int i = 0; i < 3; ++i)
        if (!bHadValue[i])
            DeleteSetting(FOLDERS_SECTION, FOLDER_VALUES[i]);
    // RemoveDirectory takes only an empty folder: whatever is in one stays.
    if (!bHadOutput)
        RemoveDirectoryA(outputFolder);
    if (!bHadInstall)
        RemoveDirectoryA(installFolder);
    if (!bHadMaker)
        RemoveDirectoryA(makerFolder);
}
