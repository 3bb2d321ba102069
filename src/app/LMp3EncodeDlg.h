// The MP3 encoder's options: CBR or VBR with their bit rates, the quality,
// the channel mode and error protection. OK saves them under "MP3Encoder".
#pragma once

#include "soundfile/Mp3Encoder.h"
#include "ui/LDialog.h"

class LMp3EncodeDlg : public LDialog
{
public:
    // `settings` is shown, and on OK holds what the dialog shows.
    explicit LMp3EncodeDlg(Mp3EncoderSettings& settings) : settings(settings) {}

    void InitDialog() override;
    bool CmOk() override;
    void EnableControls() override;
    void CmCommand(WORD id, WORD notifyCode) override;

private:
    // Puts `shown` into the controls.
    void ShowSettings(const Mp3EncoderSettings& shown) const;

    Mp3EncoderSettings& settings;
};
