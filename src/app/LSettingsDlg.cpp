#include "app/LSettingsDlg.h"

#include "app/LMp3EncodeDlg.h"
#include "app/RipReading.h"
#include "files/LFile.h"
#include "resources/resource.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "soundfile/FlacEncoding.h"
#include "soundfile/Mp3EncoderStore.h"
#include "soundfile/WaveFormatFile.h"

namespace {

const char* const OUTPUT_FORMATS[] = {"WAV", "MP3", "FLAC", nullptr};
const char* const READ_MODES[] = {"Burst", "Secure", nullptr};
constexpr int FORMAT_WAV = 0;
constexpr int FORMAT_MP3 = 1;
constexpr int FORMAT_FLAC = 2;
// The FLAC levels by index, 0 to 8.
const char* const FLAC_LEVELS[] = {"0 (Fastest)", "1", "2", "3", "4", "5 (Default)", "6", "7", "8 (Smallest)", nullptr};
// The help topic of this dialog.
constexpr ULONG_PTR SETTINGS_HELP_CONTEXT = 101;
static_assert(MAX_READ_OFFSET_FRAMES == 58800, "the message names the limits");

} // namespace

void LSettingsDlg::InitDialog()
{
    FillComboBox(IDC_OUTPUT_FORMAT, OUTPUT_FORMATS);
    char format[TEXT_BUFFER_SIZE];
    ReadSettingString(SETTINGS_SECTION, "WAV", "OutputFormat", format);
    // The list's own search: the first entry that begins with it, in any case.
    SendDlgItemMessageA(hWnd, IDC_OUTPUT_FORMAT, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(format));
    FillComboBox(IDC_FLAC_LEVEL, FLAC_LEVELS);
    SendDlgItemMessageA(hWnd, IDC_FLAC_LEVEL, CB_SETCURSEL,
                        static_cast<WPARAM>(FlacLevelFromSetting(
                            ReadSettingInt(SETTINGS_SECTION, "FlacLevel", FLAC_LEVEL_DEFAULT))),
                        0);
    CheckDlgButton(hWnd, IDC_USE_CDDB, ReadSettingBool(SETTINGS_SECTION, "UseCDDB", true) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hWnd, IDC_NAME_ARTIST_TRACK,
                   ReadSettingBool(SETTINGS_SECTION, "FileNameNoAlbum", true) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hWnd, IDC_NAME_ALBUM_ARTIST_TRACK,
                   ReadSettingBool(SETTINGS_SECTION, "FileNameIncludeAlbum", false) ? BST_CHECKED : BST_UNCHECKED);
    InitReading();
}

void LSettingsDlg::InitReading()
{
    FillComboBox(IDC_READ_MODE, READ_MODES);
    const LRipReading reading = ReadRipReading(szDriveName);
    SendDlgItemMessageA(hWnd, IDC_READ_MODE, CB_SETCURSEL, reading.bSecure ? 1 : 0, 0);
    char label[TEXT_BUFFER_SIZE];
    if (szDriveName[0])
        FormatText(label, sizeof(label), "Read offset of %s:", szDriveName);
    else
        CopyText(label, "Read offset: no drive selected");
    SetDlgItemTextA(hWnd, IDC_READ_OFFSET_DRIVE, label);
    char offset[TEXT_BUFFER_SIZE];
    FormatText(offset, sizeof(offset), "%+d", int(reading.nCorrectionFrames));
    SetDlgItemTextA(hWnd, IDC_READ_OFFSET, offset);
    EnableControl(IDC_READ_OFFSET, szDriveName[0] != '\0');
    EnableControl(IDC_DETECT_OFFSET, szDriveName[0] != '\0' && DetectReadOffset != nullptr);
    CheckDlgButton(hWnd, IDC_OVERREAD, reading.bOverread ? BST_CHECKED : BST_UNCHECKED);
}

bool LSettingsDlg::SaveReading()
{
    int32_t correction = 0;
    char offset[TEXT_BUFFER_SIZE];
    GetControlText(IDC_READ_OFFSET, offset);
    if (szDriveName[0] && !ParseReadOffset(offset, correction))
    {
        MessageBoxA(hWnd, "The read offset correction must be a whole number of frames from -58800 to 58800.",
                    "Error", MB_OK | MB_ICONERROR);
        SetFocus(GetDlgItem(hWnd, IDC_READ_OFFSET));
        return false;
    }
    char mode[TEXT_BUFFER_SIZE];
    GetControlText(IDC_READ_MODE, mode);
    WriteSettingString(SETTINGS_SECTION, "ReadMode", mode);
    WriteDriveCorrection(szDriveName, correction);
    WriteSettingBool(SETTINGS_SECTION, "Overread", IsDlgButtonChecked(hWnd, IDC_OVERREAD) == BST_CHECKED);
    return true;
}

bool LSettingsDlg::CmOk()
{
    if (!SaveReading())
        return false;
    char format[TEXT_BUFFER_SIZE];
    GetControlText(IDC_OUTPUT_FORMAT, format);
    WriteSettingString(SETTINGS_SECTION, "OutputFormat", format);
    const LRESULT level = SendDlgItemMessageA(hWnd, IDC_FLAC_LEVEL, CB_GETCURSEL, 0, 0);
    if (level != CB_ERR)
        WriteSettingInt(SETTINGS_SECTION, "FlacLevel", static_cast<int>(level));
    WriteSettingBool(SETTINGS_SECTION, "UseCDDB", IsDlgButtonChecked(hWnd, IDC_USE_CDDB) == BST_CHECKED);
    WriteSettingBool(SETTINGS_SECTION, "FileNameNoAlbum", IsDlgButtonChecked(hWnd, IDC_NAME_ARTIST_TRACK) == BST_CHECKED);
    WriteSettingBool(SETTINGS_SECTION, "FileNameIncludeAlbum",
                     IsDlgButtonChecked(hWnd, IDC_NAME_ALBUM_ARTIST_TRACK) == BST_CHECKED);
    return true;
}

void LSettingsDlg::CmHelp()
{
    DisplayHelpContents(hWnd, HELP_CONTEXT, SETTINGS_HELP_CONTEXT);
}

void LSettingsDlg::EnableControls()
{
    const bool bUseCDDB = IsDlgButtonChecked(hWnd, IDC_USE_CDDB) == BST_CHECKED;
    EnableControlRange(IDC_NAME_ARTIST_TRACK, IDC_NAME_FORMAT_LABEL, bUseCDDB);
    // FLAC's one setting is its level, beside the list; the other formats
    // have their own dialogs.
    const bool bFlac = SendDlgItemMessageA(hWnd, IDC_OUTPUT_FORMAT, CB_GETCURSEL, 0, 0) == FORMAT_FLAC;
    EnableControlRange(IDC_FLAC_LEVEL_LABEL, IDC_FLAC_LEVEL, bFlac);
    EnableWindow(GetDlgItem(hWnd, IDC_FORMAT_SETTINGS), !bFlac);
}

void LSettingsDlg::CmCommand(WORD id, WORD /*notifyCode*/)
{
    if (id == IDC_FORMAT_SETTINGS)
        CmCodecSettings();
    int32_t correction = 0;
    if (id == IDC_DETECT_OFFSET && DetectReadOffset && DetectReadOffset(hWnd, correction))
    {
        char offset[TEXT_BUFFER_SIZE];
        FormatText(offset, sizeof(offset), "%+d", int(correction));
        SetDlgItemTextA(hWnd, IDC_READ_OFFSET, offset);
    }
}

void LSettingsDlg::CmCodecSettings()
{
    const LRESULT format = SendDlgItemMessageA(hWnd, IDC_OUTPUT_FORMAT, CB_GETCURSEL, 0, 0);
    if (format == FORMAT_MP3)
    {
        // The values as stored: the dialog shows and keeps what the user chose.
        Mp3EncoderSettings settings = ReadStoredMp3EncoderSettings();
        LMp3EncodeDlg dialog(settings);
        dialog.DoModal("LMp3EncodeDlg", hWnd);
    }
    else if (format == FORMAT_WAV)
    {
        LWaveFormatRecord record;
        LoadWaveFormat(record);
        if (!LWaveFileFormat::ChooseFormat(hWnd, record, 0, "Select Wave File Format"))
            return;
        // A choice that cannot be kept must not be lost without a word.
        if (!SaveWaveFormat(record))
        {
            char path[TEXT_BUFFER_SIZE];
            char text[3 * TEXT_BUFFER_SIZE];
            WaveFormatFilePath(path);
            FormatText(text, sizeof(text), "The wave format could not be saved to \"%s\".", path);
            MessageBoxA(hWnd, text, "Error", MB_OK | MB_ICONERROR);
        }
    }
}
