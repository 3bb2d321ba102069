// The Rip command: the checked rows become files in the output folder.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <memory>

#include "app/MainDialog.h"
#include "app/RipNames.h"
#include "app/RipRequest.h"
#include "app/SettingsStore.h"
#include "cdrom/LCDROMRipSectors.h"
#include "jobs/LProgressDialog.h"
#include "jobs/WebPage.h"
#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "resources/resource.h"
#include "soundfile/LWaveFile.h"
#include "soundfile/WaveFormatFile.h"

namespace {

// Messages that quote a path and a name need more than one text buffer.
const size_t MESSAGE_SIZE = 3 * TEXT_BUFFER_SIZE;

void ShowError(HWND owner, const char* text)
{
    MessageBoxA(owner, text, "Error", MB_OK | MB_ICONERROR);
}

// Stands in for a file while the converters are tried for its rate and
// channels, so that a format they refuse never touches a file of that name.
class FormatProbe : public LSoundSinkBase
{
public:
    FormatProbe(int32_t rate, uint8_t channels) : LSoundSinkBase(rate, channels) {}
    void Write(const int32_t*, int count) override { nWritten += count; }
};

// The job always writes 44100 Hz stereo; converters give the file its own.
LSoundSinkPtr OpenConverters(const LSoundSinkPtr& fileSink)
{
    if (!fileSink || fileSink->bError)
        return LSoundSinkPtr();
    LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, fileSink));
    return chain && !chain->bError ? chain : LSoundSinkPtr();
}

// The encoder is a component of its own, registered by its installer.
bool IsMp3EncoderInstalled()
{
    char path[TEXT_BUFFER_SIZE];
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Talmarin\\Components\\mp3el", "Path", "", path);
    return path[0] != '\0';
}

} // namespace

void MainDialog::CmRipCD()
{
    LRipRequest request;
    if (GatherRipRequest(request))
        RipRows(request);
}

bool MainDialog::GatherRipRequest(LRipRequest& request)
{
    const int drive = SelectedDrive();
    if (drive < 0 || drive >= LCDROMINFO_MAXDRIVES)
        return false;
    request.nRows = RowCount();
    if (request.nRows > MAX_RIP_ROWS)
        request.nRows = MAX_RIP_ROWS;
    if (request.nRows == 0)
        return false;
    bool bAnyChecked = false;
    for (int i = 0; i < request.nRows; ++i)
        bAnyChecked |= request.bChecked[i] = IsRowChecked(i);
    if (!bAnyChecked)
    {
        MessageBoxA(hWnd, "There is nothing to rip - no tracks have been selected.", "No Tracks Selected",
                    MB_OK | MB_ICONERROR);
        return false;
    }

    char format[TEXT_BUFFER_SIZE];
    ReadSettingString("Settings", "WAV", "OutputFormat", format);
    request.bMp3 = strcmp(format, "MP3") == 0;
    if (request.bMp3 && !IsMp3EncoderInstalled())
    {
        char page[TEXT_BUFFER_SIZE];
        char text[MESSAGE_SIZE];
        MakeWebPageAddress("components/index", page);
        FormatText(text, sizeof(text),
                   "The mp3 encoder component \"mp3el\" has not yet been installed. This free component can be "
                   "downloaded and installed from %s.",
                   page);
        MessageBoxA(hWnd, text, "Component error", MB_OK | MB_ICONINFORMATION);
        return false;
    }

    GetControlText(IDC_OUTPUT_FOLDER, request.szFolder);
    HWND folderBox = GetDlgItem(hWnd, IDC_OUTPUT_FOLDER);
    SaveComboHistory(folderBox, "OutputFolder");
    LoadComboHistory(folderBox, "OutputFolder");
    if (GetFileAttributesA(request.szFolder) == INVALID_FILE_ATTRIBUTES)
    {
        char question[MESSAGE_SIZE];
        FormatText(question, sizeof(question), "The folder \"%s\" does not exist. Do you want to create it now?",
                   request.szFolder);
        if (MessageBoxA(hWnd, question, "Corvane", MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES)
            return false;
        if (!CreateDirectoryA(request.szFolder, nullptr))
        {
            ShowError(hWnd, "Unable to create folder.");
            return false;
        }
    }

    request.Names = {ReadSettingBool("Settings", "UseCDDB", true), ReadSettingBool("Settings", "FileNameNoAlbum", true),
                     ReadSettingBool("Settings", "FileNameIncludeAlbum", false)};
    GetControlText(IDC_ARTIST, request.szArtist);
    GetControlText(IDC_ALBUM, request.szAlbum);
    return true;
}

bool MainDialog::RipRows(const LRipRequest& request)
{
    // Every file is named before the first track starts, so that nothing
    // that happens to the list during the rip can change a name, and no two
    // tracks of one rip share a file.
    const char* extension = request.bMp3 ? ".mp3" : ".wav";
    auto rowTexts = std::make_unique<char[][TEXT_BUFFER_SIZE]>(MAX_RIP_ROWS);
    auto paths = std::make_unique<char[][TEXT_BUFFER_SIZE]>(MAX_RIP_ROWS);
    int tracks[MAX_RIP_ROWS];
    int nFiles = 0;
    for (int i = 0; i < request.nRows; ++i)
    {
        // Only audio tracks of the disc the list shows are ripped.
        if (!request.bChecked[i] || i >= CDDBInfo.nTracks || CDDBInfo.Tracks[i].bData)
            continue;
        char (&rowText)[TEXT_BUFFER_SIZE] = rowTexts[nFiles];
        GetRowText(i, rowText);
        // A row renamed to nothing a file name may hold keeps its generic name.
        if (rowText[0] == '\0')
            FormatText(rowText, sizeof(rowText), "Track %.2d", i + 1);
        char name[TEXT_BUFFER_SIZE];
        MakeTrackFileName(rowText, request.szArtist, request.szAlbum, request.Names, name);
        if (!MakeUniqueTrackPath(request.szFolder, name, extension, paths.get(), nFiles, paths[nFiles]))
        {
            char text[MESSAGE_SIZE];
            FormatText(text, sizeof(text), "Unable to create the file \"%s\\%s%s\".", request.szFolder, name,
                       extension);
            ShowError(hWnd, text);
            return false;
        }
        tracks[nFiles++] = i;
    }
    for (int i = 0; i < nFiles; ++i)
        if (!RipTrack(tracks[i], rowTexts[i], paths[i], request.bMp3))
            return false;
    return true;
}

bool MainDialog::RipTrack(int track, const char* rowText, const char* path, bool bMp3)
{
    char text[MESSAGE_SIZE];
    // The encoder sink and the compressed-WAV writer are not in this build:
    // their files count as files that cannot be created.
    LSoundSinkPtr fileSink;
    LSoundSinkPtr chain;
    if (!bMp3)
    {
        LWaveFormatRecord format;
        LoadWaveFormat(format);
        const LSoundSinkPtr probe(new FormatProbe(static_cast<int32_t>(format.Format.nSamplesPerSec),
                                                  static_cast<uint8_t>(format.Format.nChannels)));
        if (OpenConverters(probe))
        {
            fileSink = LWaveFile::OpenSink(path, format.Format);
            chain = OpenConverters(fileSink);
        }
    }
    if (!chain)
    {
        // Only a file this rip opened is removed, never one it could not open.
        const bool bFileMade = fileSink && !fileSink->bError;
        fileSink = nullptr;
        if (bFileMade)
            DeleteFileA(path);
        FormatText(text, sizeof(text), "Unable to create the file \"%s\".", path);
        ShowError(hWnd, text);
        return false;
    }

    const LCDTrack& entry = CDDBInfo.Tracks[track];
    LCDROMRipSectors rip;
    rip.nDrive = CDDBInfo.iDrive;
    rip.nStartSector = entry.nStartSector;
    rip.nEndSector = entry.nEndSector;
    rip.Sink = chain;
    rip.szName = entry.szName;
    LProgressJob<LCDROMRipSectors> job("Extract CD Track(s)", Process);
    job.pJobData = &rip;
    const bool bDone = job.Run(hWnd);

    // Releasing the chain pushes out what the converters hold; the file is
    // then completed, and only a file whose every write reached the disk
    // counts as done.
    rip.Sink = nullptr;
    chain = nullptr;
    fileSink->Finish();
    const bool bWriteFailed = fileSink->bError;
    fileSink = nullptr;
    if (bDone && !bWriteFailed)
        return true;

    DeleteFileA(path);
    if (bWriteFailed)
    {
        FormatText(text, sizeof(text), "Track \"%s\" could not be written to \"%s\". The disk may be full.", rowText,
                   path);
        ShowError(hWnd, text);
    }
    else if (job.nResult == Failed)
    {
        FormatText(text, sizeof(text), "Track \"%s\" could not be read from the CD.", rowText);
        ShowError(hWnd, text);
    }
    return false;
}
