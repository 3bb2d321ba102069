// The maker's sound editor, Tessaro, a program of its own: the job finds its
// command line in the editor's settings, installs the editor on demand when
// it is missing, starts it on a file and waits until it is closed.
#pragma once

#include "files/TextBuffer.h"
#include "jobs/LJobControl.h"
#include "settings/RegistryKeys.h"
// The setup fetched when the editor is missing.
constexpr const char* TESSARO_SETUP_NAME = "tssetup";
// How long the job waits for the editor to be closed.
constexpr unsigned TESSARO_WAIT_MS = 3600000;

struct LTessaroJobData
{
    char szPath[TEXT_BUFFER_SIZE];  // the file to edit; the caller's to create and delete
    bool bEditorOpen = false;       // set when the wait ended before the editor did
};

// Failed only when the editor could not be started; Stopped when the
// download of a missing editor was cancelled, and then nothing is asked.
// Cancel, or the hour passing, ends the wait with Done and leaves the editor
// open, which bEditorOpen then tells: its file must stay. An editor
// registered with an empty command is offered for download instead.
ProcessResult ProcessTessaroRunCommandLine(LJobControl& job, LTessaroJobData& data);
