// The Settings dialog: the output format with its own settings, the disc
// database switch and the file-name pattern. It writes the registry on OK.
#pragma once

#include "ui/LDialog.h"

class LSettingsDlg : public LDialog
{
public:
    void InitDialog() override;
    bool CmOk() override;
    void CmHelp() override;
    void EnableControls() override;
    void CmCommand(WORD id, WORD notifyCode) override;

private:
    // The chosen format's settings: the MP3 encoder's dialog, or the system's
    // wave format chooser, whose choice is saved at once.
    void CmCodecSettings();
};
