// The install job: the wizard, the related programs the user ticked, the
// payload, and the final steps that make the installation.
#pragma once

#include "files/TextBuffer.h"
#include "jobs/LProgressDialog.h"

class InstallDialog : public LProgressDialog
{
public:
    // `setupPath` is the setup file whose payload is installed.
    InstallDialog(const char* title, const char* setupPath);

    bool RunJob() override { return MainFunction(); }
    // True when everything up to the final steps succeeded.
    bool MainFunction();

    // The install folder, set before Run.
    char szInstallFolder[TEXT_BUFFER_SIZE] = "";

private:
    char szSetupPath[TEXT_BUFFER_SIZE];
};

// Runs the install of the setup file `setupPath` under a window captioned
// `title`: makes the install folder and records it in "Folders". An install
// that does not complete (the wizard or the copy cancelled, a failure) takes
// back what this run made: the "Folders" values that were not there, and the
// folders it created while they are empty.
void RunInstall(const char* title, const char* setupPath);

// What makes the unpacked files an installation: the uninstaller, the
// trailers, shortcuts, the uninstall entry, the encoder component, the
// command for other programs; then the installed program is started.
void FinishInstall(const char* installFolder);
