// The Settings dialog: the output format with its own settings, the disc
// database switch, the file-name pattern and how the CD is read. It writes the registry on OK.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/LDialog.h"

class LSettingsDlg : public LDialog
{
public:
    // `driveName` is the selected drive's ("" for none): its read offset
    // correction is shown and edited.
    explicit LSettingsDlg(const char* driveName = "") : szDriveName(driveName) {}

    // "Detect Read Offset": finds the drive's correction under the dialog,
    // true with the one the user saved. Without it the button is disabled.
    std::function<bool(HWND owner, int32_t& correction)> DetectReadOffset;

    void InitDialog() override;
    bool CmOk() override;
    void CmHelp() override;
    void EnableControls() override;
    void CmCommand(WORD id, WORD notifyCode) override;

private:
    // The chosen format's settings: the MP3 encoder's dialog, or the system's
    // wave format chooser, whose choice is saved at once.
    void CmCodecSettings();
    void InitReading();
    // False, after telling the user, when the correction typed is no number.
    bool SaveReading();

    const char* szDriveName;
};
