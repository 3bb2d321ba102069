#include "app/LMp3EncodeDlg.h"

#include <cstdlib>
#include <initializer_list>

#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "soundfile/Mp3EncoderStore.h"

namespace {

const char* const BIT_RATES[] = {"8",  "16",  "24",  "32",  "40",  "48",  "56",  "64",  "80", "96",
                                 "112", "128", "144", "160", "192", "224", "256", "320", nullptr};
const char* const QUALITIES[] = {"0 (Highest)", "1", "2", "3", "4", "5", "6", "7", "8", "9 (Lowest)", nullptr};
const char* const CHANNEL_MODES[] = {"Stereo", "Joint", "Force", "Mono", nullptr};

} // namespace

void LMp3EncodeDlg::InitDialog()
{
    for (int id : {IDC_MP3_CBR_BITRATE, IDC_MP3_VBR_MIN, IDC_MP3_VBR_MAX})
        FillComboBox(id, BIT_RATES);
    FillComboBox(IDC_MP3_VBR_QUALITY, QUALITIES);
    FillComboBox(IDC_MP3_CHANNEL_MODE, CHANNEL_MODES);
    ShowSettings(settings);
}

void LMp3EncodeDlg::ShowSettings(const Mp3EncoderSettings& shown) const
{
    CheckRadioButton(hWnd, IDC_MP3_CBR, IDC_MP3_VBR, shown.bConstantBitRate ? IDC_MP3_CBR : IDC_MP3_VBR);
    const struct
    {
        int id;
        int bitRate;
    } bitRates[] = {{IDC_MP3_CBR_BITRATE, shown.nCBRBitRate},
                    {IDC_MP3_VBR_MIN, shown.nVBRMinBitRate},
                    {IDC_MP3_VBR_MAX, shown.nVBRMaxBitRate}};
    for (const auto& b : bitRates)
    {
        // The list's own search: the first entry that begins with the number.
        char text[TEXT_BUFFER_SIZE];
        FormatText(text, sizeof(text), "%d", b.bitRate);
        if (SendDlgItemMessageA(hWnd, b.id, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text))
            == CB_ERR)
            SendDlgItemMessageA(hWnd, b.id, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    CheckDlgButton(hWnd, IDC_MP3_HIGH_QUALITY, shown.bHighQuality ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(hWnd, IDC_MP3_VBR_QUALITY, CB_SETCURSEL, shown.nVBRQuality, 0);
    CheckDlgButton(hWnd, IDC_MP3_CRC, shown.bErrorProtection ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(hWnd, IDC_MP3_CHANNEL_MODE, CB_SETCURSEL, shown.nChannelMode, 0);
}

bool LMp3EncodeDlg::CmOk()
{
    auto number = [&](int id) {
        char text[TEXT_BUFFER_SIZE];
        GetControlText(id, text);
        return static_cast<uint16_t>(atoi(text));
    };
    auto index = [&](int id) {
        const LRESULT selection = SendDlgItemMessageA(hWnd, id, CB_GETCURSEL, 0, 0);
        return static_cast<uint8_t>(selection == CB_ERR ? 0 : selection);
    };
    settings.bConstantBitRate = IsDlgButtonChecked(hWnd, IDC_MP3_CBR) == BST_CHECKED;
    settings.nCBRBitRate = number(IDC_MP3_CBR_BITRATE);
    settings.bHighQuality = IsDlgButtonChecked(hWnd, IDC_MP3_HIGH_QUALITY) == BST_CHECKED;
    settings.nVBRMinBitRate = number(IDC_MP3_VBR_MIN);
    settings.nVBRMaxBitRate = number(IDC_MP3_VBR_MAX);
    settings.nVBRQuality = index(IDC_MP3_VBR_QUALITY);
    settings.bErrorProtection = IsDlgButtonChecked(hWnd, IDC_MP3_CRC) == BST_CHECKED;
    settings.nChannelMode = index(IDC_MP3_CHANNEL_MODE);
    WriteMp3EncoderSettings(settings);
    return true;
}

void LMp3EncodeDlg::EnableControls()
{
    const bool bConstant = IsDlgButtonChecked(hWnd, IDC_MP3_CBR) == BST_CHECKED;
    for (int id : {IDC_MP3_CBR_BITRATE, IDC_MP3_HIGH_QUALITY})
        EnableControl(id, bConstant);
    for (int id : {IDC_MP3_VBR_MIN, IDC_MP3_VBR_MAX, IDC_MP3_VBR_QUALITY})
        EnableControl(id, !bConstant);
}

void LMp3EncodeDlg::CmCommand(WORD id, WORD /*notifyCode*/)
{
    // The controls only: nothing is saved until OK.
    if (id == IDC_MP3_RESTORE_DEFAULTS)
        ShowSettings(MP3_DEFAULT_SETTINGS);
}
