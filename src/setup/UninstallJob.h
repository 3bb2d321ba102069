// The uninstaller, in two stages: the installed "uninst.exe" copies itself to
// the temporary folder and starts the copy with an argument; the copy, which
// no longer lies in the install folder, asks and removes the installation.
#pragma once

#include "files/TextBuffer.h"
#include "jobs/LProgressDialog.h"

class UninstallJob : public LProgressDialog
{
public:
    // `programPath` is this program's own file; `bHasArgument` whether it was
    // started with any command-line argument (the second stage).
    UninstallJob(const char* title, const char* programPath, bool bHasArgument);

    // False only when the job was cancelled before the question.
    bool RunJob() override;

private:
    char szProgramPath[TEXT_BUFFER_SIZE];
    bool bHasArgument;
};

// Removes the installer's own files, then the folders they leave empty, the
// shortcuts, the uninstall entry and the "ExtractCD" command. Files it did
// not install stay, and so do the folders that hold them; it never touches a
// folder outside the maker's folder. When an installed file cannot be
// removed (the program runs), it is named in `failed`, the uninstaller, the
// entry and the shortcuts stay for another try, and the result is false.
bool RemoveInstallation(char (&failed)[TEXT_BUFFER_SIZE]);
