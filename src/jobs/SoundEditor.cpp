#include "jobs/SoundEditor.h"

#include <windows.h>

#include "app/SettingsStore.h"
#include "download/LFileTransferProtocol.h"
#include "jobs/EditorCommand.h"
#include "jobs/LProgressDialog.h"
#include "jobs/WebPage.h"

namespace {

bool ReadRunEdit(char (&format)[TEXT_BUFFER_SIZE])
{
    return ReadRegistryString(HKEY_LOCAL_MACHINE, TESSARO_SETTINGS_KEY, "RunEdit", "", format);
}

} // namespace

ProcessResult ProcessTessaroRunCommandLine(LJobControl& job, LTessaroJobData& data)
{
    char format[TEXT_BUFFER_SIZE];
    if (!ReadRunEdit(format))
    {
        // A setup that cannot be fetched shows nothing: the question below follows.
        ProcessInstallProgram(job, TESSARO_SETUP_NAME);
        ReadRunEdit(format);
    }
    if (format[0] == '\0')
    {
        if (MessageBoxA(nullptr,
                        "The free plugin \"Tessaro\" is required to edit files. Do you want to download it now?",
                        "Tessaro Required", MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES)
            OpenWebPage("tessaro/index");
        return Done;
    }

    char command[EDITOR_COMMAND_SIZE];
    FormatEditorCommand(format, data.szPath, command);
    HANDLE hProcess = StartCommandLineProcess(command, SW_SHOWNORMAL);
    if (!hProcess)
        return Failed;
    job.SetText(0, "Please exit Tessaro");
    job.SetText(1, "to continue...");
    // Cancel, or the hour passing, only stops the waiting: the editor stays open.
    job.WaitForHandle(hProcess, TESSARO_WAIT_MS);
    CloseHandle(hProcess);
    return Done;
}
