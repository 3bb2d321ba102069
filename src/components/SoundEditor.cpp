#include "components/SoundEditor.h"

#include <windows.h>

#include "components/EditorCommand.h"
#include "components/InstallProgram.h"
#include "jobs/ChildProcess.h"
#include "settings/SettingsStore.h"
#include "ui/WebPage.h"

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
        // A setup that cannot be fetched shows nothing: the question below
        // follows. After a Cancel nothing more is asked.
        if (ProcessInstallProgram(job, TESSARO_SETUP_NAME) == Stopped)
            return Stopped;
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
    ChildProcess editor;
    ChildStart how;
    how.bNewConsole = true;
    if (!editor.Start(command, how))
        return Failed;
    job.SetText(0, "Please exit Tessaro");
    job.SetText(1, "to continue...");
    // Cancel, or the hour passing, only stops the waiting: the editor stays open.
    data.bEditorOpen = editor.Wait(job, TESSARO_WAIT_MS) != Done;
    return Done;
}
