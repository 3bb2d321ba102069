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

// What makes the unpacked files an installation: the uninstaller, the
// trailers, shortcuts, the uninstall entry, the encoder component, the
// command for other programs; then the installed program is started.
void FinishInstall(const char* installFolder);
