// The Rip command: the checked rows become files in the output folder.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/ComboHistory.h"
#include "app/MainDialog.h"
#include "app/RipLogFile.h"
#include "app/RipNames.h"
#include "app/RipRequest.h"
#include "cddb/CDDBDiscId.h"
#include "cdrom/CDCommandBlocks.h"
#include "cdrom/CDCommands.h"
#include "cdrom/CueSheet.h"
#include "cdrom/LCDROMRipSectors.h"
#include "cdrom/LCDROMSecureRip.h"
#include "cdrom/ReadOffset.h"
#include "components/AccurateRipLookup.h"
#include "files/LFile.h"
#include "jobs/LProgressDialog.h"
#include "resources/Version.h"
#include "resources/resource.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"
#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "sound/LSinkWorker.h"
#include "soundfile/LFlacFile.h"
#include "soundfile/LMP3EncodePipe.h"
#include "soundfile/LWaveFile.h"
#include "soundfile/Mp3EncoderStore.h"
#include "soundfile/WaveFormatFile.h"
#include "ui/WebPage.h"

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

// The encoder is a component of its own, registered by its installer.
bool IsMp3EncoderInstalled()
{
    char path[TEXT_BUFFER_SIZE];
    ReadMp3EncoderPath(path);
    return path[0] != '\0';
}

// One track of a rip on its way to its file.
struct TrackRip
{
    bool bSecure = false;                 // Secure reads, else Rip
    LCDROMSecureRip Secure;               // its Sink is the converter chain
    LCDROMRipSectors Rip;                 // its Sink is the converter chain
    LSoundSinkPtr File;                   // the WAV file's sink, or the encoder
    LCountedPtr<LMP3EncodePipe> Encoder;  // the encoder, when the file is an MP3
    LCountedPtr<LSinkWorker> Worker;      // File, when it encodes on a worker beside the reads
};

// Reads the track into its file, then finishes the file: only a file whose
// every byte reached its place counts as done, and waiting for the encoder
// to end it goes through the job, so the window answers and Cancel works.
ProcessResult ProcessTrackRipUnder(LJobControl& job, TrackRip& track)
{
    const ProcessResult r = track.bSecure ? Process(job, track.Secure) : Process(job, track.Rip);
    // Releasing the chain pushes out what the converters hold.
    track.Rip.Sink = nullptr;
    track.Secure.Sink = nullptr;
    if (r != Done)
        return r;
    if (track.Encoder)
    {
        const ProcessResult finished = track.Encoder->Finish(job);
        // An encoder that never ends is ended here, and its failure is the
        // track's: not a read that failed.
        if (finished == Failed)
            track.Encoder->Abort();
        if (finished != Done)
            return finished;
    }
    else
        track.File->Finish();
    return track.File->bError ? Failed : Done;
}

ProcessResult ProcessTrackRip(LJobControl& job, TrackRip& track)
{
    // A write waits for the encoder through the job: Cancel answers at once.
    if (track.Encoder)
        track.Encoder->SetJob(&job);
    const ProcessResult r = ProcessTrackRipUnder(job, track);
    if (track.Encoder)
        track.Encoder->SetJob(nullptr);
    return r;
}

// The job "Detecting Gaps": where each track's gap starts, for the cue sheet.
ProcessResult ProcessFindGaps(LJobControl& job, LCDDBInfo& info)
{
    job.SetText(0, "Detecting Gaps");
    job.SetText(1, "Please wait...");
    LSCSI scsi;
    if (!scsi.OpenCDROMDrive(info.iDrive))
        return Failed;
    return ProcessSCSICDFindGaps(job, scsi, info);
}

// A text as the tags carry it, in UTF-8: the database's own text (`utf8`)
// where the window shows what it became in the code page, cleaned as the
// window cleans names (`shown` is `fromDatabase` so cleaned), so that the tags
// keep what the code page lacks; otherwise what the window shows, which the
// user may have typed.
void TagText(const char* shown, const char* fromDatabase, const char* utf8, char (&out)[FLAC_COMMENT_SIZE])
{
    char cleaned[TEXT_BUFFER_SIZE];
    LFile::MakeValidFileName(fromDatabase, cleaned);
    if (utf8[0] && strcmp(shown, cleaned) == 0)
        CopyText(out, utf8);
    else
        AnsiToUtf8(shown, out);
}

// A text of the database that is not shown (the year, the genre): UTF-8 as
// level 6 sends it, or the code page's from a server at a lower level.
void DatabaseTextAsUtf8(const char* text, char (&out)[FLAC_COMMENT_SIZE])
{
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0) > 0)
        CopyText(out, text);
    else
        AnsiToUtf8(text, out);
}

// What the log and the track list say of a track whose job ended with `r`.
RipTrackOutcome TrackOutcome(const TrackRip& rip, ProcessResult r, int32_t correction)
{
    RipTrackOutcome outcome;
    outcome.status = r == Stopped ? RipLogStatus::Cancelled : RipLogStatus::Failed;
    if (r != Done)
        return outcome;
    if (!rip.bSecure)
    {
        outcome.status = RipLogStatus::Ripped;
        outcome.nPeak = rip.Rip.Stats.Peak();
        outcome.copyCrc = rip.Rip.Stats.Crc();
        return outcome;
    }
    const SecureTrackReport& report = rip.Secure.Report;
    outcome.nPeak = report.copy.Peak();
    outcome.copyCrc = report.copy.Crc();
    outcome.bTestCrc = true;
    outcome.testCrc = report.nTestCrc;
    // The log counts positions from the track's start; the drive's sectors
    // lie where the correction puts the track.
    const int32_t first =
        PlanOffsetRead(rip.Secure.nStartSector, rip.Secure.nEndSector, correction).nFirstSector;
    for (int32_t sector : report.suspicious)
        outcome.suspicious.push_back(std::max<int32_t>(sector - first, 0));
    for (int32_t sector : report.readErrors)
        outcome.readErrors.push_back(std::max<int32_t>(sector - first, 0));
    outcome.status = !outcome.readErrors.empty()  ? RipLogStatus::ReadError
                     : !outcome.suspicious.empty() ? RipLogStatus::Suspicious
                                                   : RipLogStatus::CopyOk;
    return outcome;
}

// What a track's row shows: the database's word when the track was read
// cleanly, else the read's, then the database's.
void RowStatus(const RipTrackOutcome& outcome, char (&text)[TEXT_BUFFER_SIZE])
{
    CopyText(text, RipLogStatusText(outcome.status));
    if (!outcome.bAccurateRip)
        return;
    char result[TEXT_BUFFER_SIZE];
    FormatAccurateRipStatus(outcome.accurateRip, result, sizeof(result));
    if (outcome.status == RipLogStatus::CopyOk || outcome.status == RipLogStatus::Ripped)
        CopyText(text, result);
    else
        AppendFormat(text, sizeof(text), ", %s", result);
}

} // namespace

// The job always writes 44100 Hz stereo; converters give the file its own.
LSoundSinkPtr OpenConverters(const LSoundSinkPtr& fileSink)
{
    if (!fileSink || fileSink->bError)
        return LSoundSinkPtr();
    LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, fileSink));
    return chain && !chain->bError ? chain : LSoundSinkPtr();
}

void MainDialog::CmRipCD()
{
    LRipRequest request;
    if (GatherRipRequest(request))
        RipRows(request);
    SecureBuffers = nullptr;
}

bool MainDialog::GatherRipRequest(LRipRequest& request)
{
    const int drive = SelectedDrive();
    if (drive < 0 || drive >= LCDROMINFO_MAXDRIVES)
        return false;
    request.nRows = Tracks.RowCount();
    if (request.nRows > MAX_RIP_ROWS)
        request.nRows = MAX_RIP_ROWS;
    if (request.nRows == 0)
        return false;
    bool bAnyChecked = false;
    for (int i = 0; i < request.nRows; ++i)
        bAnyChecked |= request.bChecked[i] = Tracks.IsRowChecked(i);
    if (!bAnyChecked)
    {
        MessageBoxA(hWnd, "There is nothing to rip - no tracks have been selected.", "No Tracks Selected",
                    MB_OK | MB_ICONERROR);
        return false;
    }

    char format[TEXT_BUFFER_SIZE];
    ReadSettingString(SETTINGS_SECTION, "WAV", "OutputFormat", format);
    request.Format = RipFormatFromSetting(format);
    if (request.Format == RipFormat::Mp3 && !IsMp3EncoderInstalled())
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
    SaveComboHistory(folderBox, OUTPUT_FOLDER_LIST);
    LoadComboHistory(folderBox, OUTPUT_FOLDER_LIST);
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

    request.Names = {ReadSettingBool(SETTINGS_SECTION, "UseCDDB", true), ReadSettingBool(SETTINGS_SECTION, "FileNameNoAlbum", true),
                     ReadSettingBool(SETTINGS_SECTION, "FileNameIncludeAlbum", false)};
    GetControlText(IDC_ARTIST, request.szArtist);
    GetControlText(IDC_ALBUM, request.szAlbum);
    return true;
}

bool MainDialog::RipRows(const LRipRequest& request)
{
    // Every file is named before the first track starts, so that nothing
    // that happens to the list during the rip can change a name, and no two
    // tracks of one rip share a file.
    const char* extension = RipFormatExtension(request.Format);
    auto rowTexts = std::make_unique<char[][TEXT_BUFFER_SIZE]>(MAX_RIP_ROWS);
    auto paths = std::make_unique<char[][TEXT_BUFFER_SIZE]>(MAX_RIP_ROWS);
    int rows[MAX_RIP_ROWS];
    int numbers[MAX_RIP_ROWS];
    int nFiles = 0;
    for (int i = 0; i < request.nRows; ++i)
    {
        // Only audio of the disc the list shows is ripped.
        LCDTrack track;
        int number = 0;
        if (!request.bChecked[i] || !RowTrack(i, track, number))
            continue;
        char (&rowText)[TEXT_BUFFER_SIZE] = rowTexts[nFiles];
        GetTrackName(i, rowText);
        char name[TEXT_BUFFER_SIZE];
        if (number == 0)
            MakeHiddenTrackFileName(rowText, request.szArtist, request.szAlbum, request.Names, name);
        else
            MakeTrackFileName(rowText, request.szArtist, request.szAlbum, request.Names, name);
        if (!MakeUniqueTrackPath(request.szFolder, name, extension, paths.get(), nFiles, paths[nFiles]))
        {
            char text[MESSAGE_SIZE];
            FormatText(text, sizeof(text), "Unable to create the file \"%s\\%s%s\".", request.szFolder, name,
                       extension);
            ShowError(hWnd, text);
            return false;
        }
        rows[nFiles] = i;
        numbers[nFiles++] = number;
    }
    if (nFiles == 0)
        return true;
    Reading = ReadRipReading(DriveName(CDDBInfo.iDrive));
    if (!LookUpAccurateRip())
        return false;
    // The log tells whether C2 pointers are used: the drive is asked first.
    if (Reading.bSecure && CDDBInfo.iDrive < LCDROMINFO_MAXDRIVES && nC2Bytes[CDDBInfo.iDrive] == C2_NOT_PROBED)
    {
        LCDROMC2Probe probe;
        probe.nDrive = CDDBInfo.iDrive;
        LCDTrack first;
        int number = 0;
        RowTrack(rows[0], first, number);
        probe.nSector = first.nStartSector;
        LProgressJob<LCDROMC2Probe> job("Extract CD Track(s)", Process);
        job.pJobData = &probe;
        job.Run(hWnd);
        if (job.nResult == Stopped)
            return false;
        if (job.nResult == Done)
            nC2Bytes[CDDBInfo.iDrive] = probe.nC2Bytes;
    }
    char logPath[TEXT_BUFFER_SIZE];
    RipLogFile log;
    if (!MakeRipLogPath(request.szFolder, request.szArtist, request.szAlbum, logPath)
        || !BeginRipLog(request, logPath, log))
    {
        char text[MESSAGE_SIZE];
        FormatText(text, sizeof(text), "Unable to create the file \"%s\".", logPath);
        ShowError(hWnd, text);
        return false;
    }
    int nCounted[int(RipLogStatus::Failed) + 1] = {};
    // The tracks not copied exactly, and those read cleanly that the
    // database says are wrong, for the messages at the end.
    char notExact[MESSAGE_SIZE] = "";
    char notAccurate[MESSAGE_SIZE] = "";
    int nAccurate = 0;
    bool bAllDone = true;
    // One progress window for all the tracks; it goes before the messages below.
    LProgressSeries progress;
    TrackProgress = &progress;
    for (int i = 0; i < nFiles && bAllDone; ++i)
    {
        bAllDone = RipTrack(rows[i], rowTexts[i], paths[i], request.Format);
        WriteRipLogTrack(log, numbers[i], paths[i]);
        char status[TEXT_BUFFER_SIZE];
        RowStatus(LastTrack, status);
        Tracks.SetRowStatus(rows[i], status);
        ++nCounted[int(LastTrack.status)];
        const bool bExact = LastTrack.status == RipLogStatus::CopyOk || LastTrack.status == RipLogStatus::Ripped;
        if (LastTrack.status == RipLogStatus::Suspicious || LastTrack.status == RipLogStatus::ReadError)
            AppendFormat(notExact, sizeof(notExact), "%s%s (%s)", notExact[0] ? ", " : "", rowTexts[i],
                         RipLogStatusText(LastTrack.status));
        if (LastTrack.bAccurateRip && LastTrack.accurateRip.status == AccurateRipStatus::Accurate)
            ++nAccurate;
        if (bExact && LastTrack.bAccurateRip && LastTrack.accurateRip.status == AccurateRipStatus::NotAccurate)
            AppendFormat(notAccurate, sizeof(notAccurate), "%s%s (%d other rips differ)", notAccurate[0] ? ", " : "",
                         rowTexts[i], LastTrack.accurateRip.nDiffering);
    }
    TrackProgress = nullptr;
    progress.End();
    char summary[TEXT_BUFFER_SIZE];
    if (AccurateRip.bUsed && FormatRipLogAccurateRipSummary(nFiles, nAccurate, summary, sizeof(summary)))
        log.Write(summary);
    FormatRipLogSummary(nFiles, nCounted[int(RipLogStatus::CopyOk)], nCounted[int(RipLogStatus::Ripped)],
                        nCounted[int(RipLogStatus::Suspicious)], nCounted[int(RipLogStatus::ReadError)],
                        nCounted[int(RipLogStatus::Cancelled)] > 0, summary, sizeof(summary));
    log.Write(summary);
    log.Close();
    if (bAllDone && notExact[0])
    {
        char text[2 * MESSAGE_SIZE];
        FormatText(text, sizeof(text),
                   "Some tracks could not be copied exactly: %s. Their positions are in the log \"%s\".", notExact,
                   logPath);
        MessageBoxA(hWnd, text, "Corvane", MB_OK | MB_ICONWARNING);
    }
    if (bAllDone && notAccurate[0])
    {
        char text[2 * MESSAGE_SIZE];
        FormatText(text, sizeof(text),
                   "Some tracks do not match the AccurateRip database: %s. Their files were kept; the checksums "
                   "are in the log \"%s\".",
                   notAccurate, logPath);
        MessageBoxA(hWnd, text, "Corvane", MB_OK | MB_ICONWARNING);
    }
    if (!bAllDone)
        return false;
    // A sheet describes the whole disc: only a rip of every audio track has
    // one (the hidden track's audio is a pregap when it was not ripped).
    int nAudio = 0;
    for (int i = 0; i < CDDBInfo.nTracks; ++i)
        nAudio += !CDDBInfo.Tracks[i].bData;
    int nTrackFiles = 0;
    for (int i = 0; i < nFiles; ++i)
        nTrackFiles += numbers[i] > 0;
    if (nTrackFiles != nAudio)
        return true;
    auto disc = std::make_unique<LCDDBInfo>(CDDBInfo);
    if (ReadSettingBool(SETTINGS_SECTION, "DetectGaps", true))
    {
        LProgressJob<LCDDBInfo> gaps("Detecting Gaps", ProcessFindGaps);
        gaps.pJobData = disc.get();
        gaps.Run(hWnd);
        // Cancelled: the files are complete, but no sheet describes them
        // without the gaps.
        if (gaps.nResult == Stopped)
            return true;
    }
    return WriteCueSheet(*disc, request, rows, rowTexts.get(), paths.get(), nFiles);
}

const char* MainDialog::DriveName(int drive) const
{
    return drive >= 0 && drive < Drives.nDrives && drive < LCDROMINFO_MAXDRIVES ? Drives.szDriveName[drive] : "";
}

int32_t MainDialog::AudioLeadOut(int track) const
{
    int last = track;
    while (last + 1 < CDDBInfo.nTracks && !CDDBInfo.Tracks[last + 1].bData)
        ++last;
    return CDDBInfo.Tracks[last].nEndSector;
}

bool MainDialog::BeginRipLog(const LRipRequest& request, const char* logPath, RipLogFile& log)
{
    auto disc = std::make_unique<RipLogDisc>();
    CopyText(disc->szProgram, PROGRAM_NAME_VERSION);
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatText(disc->szDate, sizeof(disc->szDate), "%04d-%02d-%02d %02d:%02d", now.wYear, now.wMonth, now.wDay,
               now.wHour, now.wMinute);
    CopyText(disc->szDrive, DriveName(CDDBInfo.iDrive)[0] ? DriveName(CDDBInfo.iDrive) : "(unknown drive)");
    CopyText(disc->szArtist, request.szArtist);
    CopyText(disc->szAlbum, request.szAlbum);
    disc->bSecure = Reading.bSecure;
    // Known only after the drive was asked, in the first track's read.
    const int c2 = CDDBInfo.iDrive < LCDROMINFO_MAXDRIVES ? nC2Bytes[CDDBInfo.iDrive] : 0;
    disc->bC2 = Reading.bSecure && c2 != 0;
    disc->bOverread = Reading.bOverread;
    disc->nCorrectionFrames = Reading.nCorrectionFrames;
    disc->nCacheSectors = SECURE_CACHE_DEFEAT_SECTORS;
    CopyText(disc->szCatalog, CDDBInfo.szCatalog);
    disc->bCDTextSkipped = CDDBInfo.bCDTextSkipped;
    disc->nTracks = 0;
    for (int i = 0; i < CDDBInfo.nTracks && i < RIP_LOG_MAX_TRACKS; ++i)
    {
        auto& entry = disc->Tracks[disc->nTracks++];
        entry.nNumber = i + 1;
        entry.nStartSector = CDDBInfo.Tracks[i].nStartSector;
        entry.nEndSector = CDDBInfo.Tracks[i].nEndSector;
        entry.bData = CDDBInfo.Tracks[i].bData;
        entry.bPreEmphasis = CDDBInfo.Tracks[i].bPreEmphasis;
    }
    auto text = std::make_unique<char[]>(RIP_LOG_PART_SIZE);
    FormatRipLogDisc(*disc, text.get(), RIP_LOG_PART_SIZE);
    if (!log.Create(logPath) || !log.Write(text.get()))
    {
        log.Close();
        return false;
    }
    for (int i = 0; i < Tracks.RowCount(); ++i)
        Tracks.SetRowStatus(i, "");
    return true;
}

bool MainDialog::WriteCueSheet(const LCDDBInfo& info, const LRipRequest& request, const int* rows,
                               const char (*rowTexts)[TEXT_BUFFER_SIZE], const char (*paths)[TEXT_BUFFER_SIZE],
                               int nFiles) const
{
    auto disc = std::make_unique<CueDisc>();
    memset(disc.get(), 0, sizeof(CueDisc));
    int32_t starts[CD_MAX_TRACKS + 1];
    for (int i = 0; i < info.nTracks; ++i)
        starts[i] = info.Tracks[i].nStartSector;
    starts[info.nTracks] = info.nTracks ? info.Tracks[info.nTracks - 1].nEndSector : 0;
    disc->cddbId = CDDBDiscId(starts, info.nTracks);
    CopyText(disc->szProgram, PROGRAM_NAME_VERSION);
    CopyText(disc->szCatalog, info.szCatalog);
    CopyText(disc->szPerformer, request.szArtist);
    CopyText(disc->szTitle, request.szAlbum);
    // Players take a FLAC file under the type WAVE too.
    CopyText(disc->szFileType, request.Format == RipFormat::Mp3 ? "MP3" : "WAVE");
    for (int i = 0; i < nFiles && disc->nTracks < CUE_MAX_TRACKS; ++i)
    {
        const int index = rows[i] - FirstTrackRow(info);
        if (index < 0)
        {
            LFile::_GetFileFromPath(disc->szHiddenFileName, paths[i]);
            continue;
        }
        const LCDTrack& track = info.Tracks[index];
        CueTrack& cue = disc->Tracks[disc->nTracks++];
        cue.nNumber = index + 1;
        // Each file runs from its track's start to the next track's: a gap
        // before a track is at the end of the previous file.
        cue.nIndex0 = track.nGapStart;
        cue.nIndex1 = track.nStartSector;
        cue.bPreEmphasis = track.bPreEmphasis;
        CopyText(cue.szIsrc, track.szIsrc);
        CopyText(cue.szTitle, rowTexts[i]);
        LFile::_GetFileFromPath(cue.szFileName, paths[i]);
    }
    auto text = std::make_unique<char[]>(CUE_SHEET_SIZE);
    char name[TEXT_BUFFER_SIZE];
    char path[TEXT_BUFFER_SIZE];
    MakeDiscFileName(request.szArtist, request.szAlbum, name);
    bool bWritten = MakeCueSheet(*disc, text.get(), CUE_SHEET_SIZE)
                    && MakeTrackPath(request.szFolder, name, ".cue", 1, path);
    // Written whole under a name of its own first: an older sheet stays as it
    // was until the new one is complete.
    char temp[TEXT_BUFFER_SIZE];
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; bWritten && file == INVALID_HANDLE_VALUE && attempt < TRACK_TEMP_ATTEMPTS; ++attempt)
    {
        if (!MakeTrackTempPath(path, attempt, temp))
            break;
        file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    bWritten = bWritten && file != INVALID_HANDLE_VALUE;
    if (bWritten)
    {
        const DWORD size = static_cast<DWORD>(strlen(text.get()));
        DWORD written = 0;
        bWritten = WriteFile(file, text.get(), size, &written, nullptr) && written == size;
        bWritten = CloseHandle(file) && bWritten;
        bWritten = bWritten && LFile::MoveReplacing(temp, path);
        if (!bWritten)
            DeleteFileA(temp);
    }
    if (!bWritten)
    {
        char message[MESSAGE_SIZE];
        FormatText(message, sizeof(message), "Unable to create the file \"%s\\%s.cue\".", request.szFolder, name);
        ShowError(hWnd, message);
    }
    return bWritten;
}

void MainDialog::WriteRipLogTrack(RipLogFile& log, int number, const char* path) const
{
    RipLogTrack entry = {};
    entry.nNumber = number;
    CopyText(entry.szFile, path);
    entry.nPeak = LastTrack.nPeak;
    entry.bTestCrc = LastTrack.bTestCrc;
    entry.testCrc = LastTrack.testCrc;
    entry.copyCrc = LastTrack.copyCrc;
    entry.status = LastTrack.status;
    entry.pSuspicious = LastTrack.suspicious.data();
    entry.nSuspicious = static_cast<int>(LastTrack.suspicious.size());
    entry.pReadErrors = LastTrack.readErrors.data();
    entry.nReadErrors = static_cast<int>(LastTrack.readErrors.size());
    const RipLogAccurateRip accurateRip = {LastTrack.v1, LastTrack.v2, LastTrack.chunkEntries.data(),
                                           static_cast<int>(LastTrack.chunkEntries.size()), LastTrack.accurateRip,
                                           LastTrack.bReadOnce};
    entry.pAccurateRip = LastTrack.bAccurateRip ? &accurateRip : nullptr;
    auto text = std::make_unique<char[]>(RIP_LOG_PART_SIZE);
    FormatRipLogTrack(entry, text.get(), RIP_LOG_PART_SIZE);
    log.Write(text.get());
}

void MainDialog::GetTrackName(int row, char (&text)[TEXT_BUFFER_SIZE]) const
{
    Tracks.GetRowText(row, text);
    if (text[0] == '\0')
        FormatText(text, sizeof(text), "Track %.2d", row - FirstTrackRow(CDDBInfo) + 1);
}

bool MainDialog::LookUpAccurateRip()
{
    AccurateRip.bUsed = false;
    if (!ReadSettingBool(SETTINGS_SECTION, "UseAccurateRip", true) || CDDBInfo.nTracks < 1)
        return true;
    return AskAccurateRip(hWnd) || !AccurateRip.bUsed;
}

bool MainDialog::AccurateRipEntry(AccurateRipDisc& disc, char (&server)[TEXT_BUFFER_SIZE],
                                  char (&path)[ACCURATERIP_PATH_SIZE]) const
{
    if (CDDBInfo.nTracks < 1)
        return false;
    int32_t starts[CD_MAX_TRACKS + 1];
    uint8_t bData[CD_MAX_TRACKS];
    for (int i = 0; i < CDDBInfo.nTracks; ++i)
    {
        starts[i] = CDDBInfo.Tracks[i].nStartSector;
        bData[i] = CDDBInfo.Tracks[i].bData;
    }
    // The last track's end is the disc's final lead-out, after a data session too.
    starts[CDDBInfo.nTracks] = CDDBInfo.Tracks[CDDBInfo.nTracks - 1].nEndSector;
    if (!MakeAccurateRipDisc(starts, bData, CDDBInfo.nTracks, CDDBDiscId(starts, CDDBInfo.nTracks), disc))
        return false;
    ReadSettingString(SETTINGS_SECTION, ACCURATERIP_SERVER_DEFAULT, "AccurateRipServer", server);
    AccurateRipPath(disc, path, sizeof(path));
    return true;
}

bool MainDialog::AskAccurateRip(HWND owner)
{
    AccurateRip.bUsed = false;
    AccurateRipDisc disc;
    char server[TEXT_BUFFER_SIZE];
    char path[ACCURATERIP_PATH_SIZE];
    if (!AccurateRipEntry(disc, server, path))
        return false;
    AccurateRip.bUsed = true;
    // An answer is kept for the disc; a server that was not reached is asked again.
    if (AccurateRip.bAsked && strcmp(AccurateRip.Lookup.szServer, server) == 0
        && strcmp(AccurateRip.Lookup.szPath, path) == 0 && AccurateRip.Lookup.nAnswer != AccurateRipAnswer::NotReached)
        return true;
    AccurateRip.Disc = disc;
    AccurateRip.bAsked = false;
    CopyText(AccurateRip.Lookup.szServer, server);
    CopyText(AccurateRip.Lookup.szPath, path);
    AccurateRip.Lookup.pPrefetch = &AccurateRip.Prefetch;
    LProgressJob<LAccurateRipLookup> job("Extract CD Track(s)", ProcessAccurateRipLookup);
    job.pJobData = &AccurateRip.Lookup;
    job.Run(owner);
    if (job.nResult == Stopped)
        return false;
    if (job.nResult != Done)
        AccurateRip.Lookup.nAnswer = AccurateRipAnswer::NotReached;
    AccurateRip.bAsked = true;
    return true;
}

int MainDialog::AudioTrackIndex(int track) const
{
    int index = 0;
    for (int i = 0; i < track; ++i)
        index += !CDDBInfo.Tracks[i].bData;
    return index;
}

void MainDialog::MatchTrack(int track, const AccurateRipChecksum& checksum)
{
    const int index = AudioTrackIndex(track);
    LastTrack.bAccurateRip = true;
    LastTrack.v1 = checksum.V1();
    LastTrack.v2 = checksum.V2();
    LastTrack.chunkEntries.clear();
    const AccurateRipDisc& disc = AccurateRip.Disc;
    for (const AccurateRipChunk& chunk : AccurateRip.Lookup.Chunks)
        if (IsChunkOfDisc(chunk, disc) && index < chunk.nTracks)
            LastTrack.chunkEntries.push_back(chunk.Entries[index]);
    switch (AccurateRip.Lookup.nAnswer)
    {
    case AccurateRipAnswer::Found:
        LastTrack.accurateRip = MatchAccurateRip(AccurateRip.Lookup.Chunks, disc, index, checksum.V1(), checksum.V2());
        break;
    case AccurateRipAnswer::NotInDatabase:
        LastTrack.accurateRip = {AccurateRipStatus::NotInDatabase, 0, 0};
        break;
    case AccurateRipAnswer::NotReached:
        LastTrack.accurateRip = {AccurateRipStatus::NotReached, 0, 0};
        break;
    }
}

bool MainDialog::RowTrack(int row, LCDTrack& track, int& number) const
{
    const int index = row - FirstTrackRow(CDDBInfo);
    if (row < 0 || index >= CDDBInfo.nTracks || CDDBInfo.nTracks == 0)
        return false;
    if (index < 0)
    {
        // The hidden track: what lies before track 1, which it belongs to.
        track = CDDBInfo.Tracks[0];
        CopyText(track.szName, HIDDEN_TRACK_NAME);
        track.szNameUtf8[0] = '\0';
        track.nStartSector = 0;
        track.nEndSector = CDDBInfo.Tracks[0].nStartSector;
        track.nSeconds = TrackSeconds(track.nStartSector, track.nEndSector);
        track.nGapStart = 0;
        track.szIsrc[0] = '\0';
        number = 0;
        return true;
    }
    track = CDDBInfo.Tracks[index];
    number = index + 1;
    return !track.bData;
}

bool MainDialog::RipTrack(int row, const char* rowText, const char* path, RipFormat kind)
{
    // A database that knows the disc can prove a track read once; only the
    // tracks it does not confirm are read the full secure way.
    // The hidden track is none of the database's tracks.
    const bool bOnePass = Reading.bSecure && AccurateRip.bUsed
                          && AccurateRip.Lookup.nAnswer == AccurateRipAnswer::Found && row >= FirstTrackRow(CDDBInfo);
    TrackReadEnd end = ReadTrackToFile(row, rowText, path, kind, bOnePass);
    if (end == TrackReadEnd::Unconfirmed)
        end = ReadTrackToFile(row, rowText, path, kind, false);
    return end == TrackReadEnd::Kept;
}

MainDialog::TrackReadEnd MainDialog::ReadTrackToFile(int row, const char* rowText, const char* path, RipFormat kind,
                                                     bool bOnePass)
{
    const bool bMp3 = kind == RipFormat::Mp3;
    // Whatever ends the read, the log never takes the track before's outcome.
    LastTrack = RipTrackOutcome();
    LCDTrack entry;
    int number = 0;
    if (!RowTrack(row, entry, number))
        return TrackReadEnd::NotKept;
    // The hidden track is read up to track 1 as track 1 is.
    const int index = number > 0 ? number - 1 : 0;
    char text[MESSAGE_SIZE];
    // The track is written under a name of its own and takes `path` only
    // when it is complete: a failed or cancelled rip leaves an older file of
    // that name as it was.
    char temp[TEXT_BUFFER_SIZE];
    bool bTempNamed = false;
    for (int attempt = 0; attempt < TRACK_TEMP_ATTEMPTS && !bTempNamed; ++attempt)
        bTempNamed = MakeTrackTempPath(path, attempt, temp) && GetFileAttributesA(temp) == INVALID_FILE_ATTRIBUTES;
    if (!bTempNamed)
    {
        FormatText(text, sizeof(text), "Unable to create the file \"%s\".", path);
        ShowError(hWnd, text);
        return TrackReadEnd::NotKept;
    }
    TrackRip rip;
    LSoundSinkPtr chain;
    char artist[TEXT_BUFFER_SIZE];
    char album[TEXT_BUFFER_SIZE];
    GetControlText(IDC_ARTIST, artist);
    GetControlText(IDC_ALBUM, album);
    // The tags in UTF-8, with the database's names in full.
    char titleTag[FLAC_COMMENT_SIZE], artistTag[FLAC_COMMENT_SIZE], albumTag[FLAC_COMMENT_SIZE];
    TagText(rowText, entry.szName, entry.szNameUtf8, titleTag);
    {
        char titleArtist[TEXT_BUFFER_SIZE], titleAlbum[TEXT_BUFFER_SIZE];
        char utf8Artist[TEXT_BUFFER_SIZE] = "", utf8Album[TEXT_BUFFER_SIZE] = "";
        SplitDiscTitle(CDDBInfo.szTitle, titleArtist, titleAlbum);
        if (const char* separator = strstr(CDDBInfo.szTitleUtf8, " / "))
        {
            CopyText(utf8Artist, std::min<size_t>(separator - CDDBInfo.szTitleUtf8 + 1, sizeof(utf8Artist)),
                     CDDBInfo.szTitleUtf8);
            CopyText(utf8Album, separator + 3);
        }
        TagText(artist, titleArtist, utf8Artist, artistTag);
        TagText(album, titleAlbum, utf8Album, albumTag);
    }
    const int64_t frames = static_cast<int64_t>(entry.nEndSector - entry.nStartSector) * CD_FRAMES_PER_SECTOR;
    if (bMp3)
    {
        const Mp3Tags tags = {titleTag, artistTag, albumTag, number, entry.szIsrc};
        rip.Encoder = LMP3EncodePipe::OpenMp3Sink(ReadMp3EncoderSettings(), temp, 2, 44100, &tags, frames);
        rip.File = rip.Encoder;
        chain = OpenConverters(rip.File);
        if (rip.Encoder->bError)
        {
            char encoder[TEXT_BUFFER_SIZE];
            ReadMp3EncoderPath(encoder);
            FormatText(text, sizeof(text), "Track \"%s\" could not be encoded: the MP3 encoder \"%s\" could not be started.",
                       rowText, encoder);
            ShowError(hWnd, text);
            return TrackReadEnd::NotKept;
        }
    }
    else
    {
        LWaveFormatRecord format;
        LoadWaveFormat(format);
        // A saved codec record is a file anyone may have written: one its
        // codec would not make itself is refused before a file is touched.
        if (LWaveFileFormat::IsInconsistentRecord(format))
        {
            ShowError(hWnd, "The wave file format saved in Settings is not valid. Choose the format again in Settings.");
            return TrackReadEnd::NotKept;
        }
        const int32_t rate = static_cast<int32_t>(format.Format.nSamplesPerSec);
        const uint8_t channels = static_cast<uint8_t>(format.Format.nChannels);
        const LSoundSinkPtr probe(new FormatProbe(rate, channels));
        if (OpenConverters(probe) && kind == RipFormat::Flac)
        {
            // FLAC keeps the saved format's rate and channels, losslessly.
            char year[FLAC_COMMENT_SIZE], genre[FLAC_COMMENT_SIZE];
            DatabaseTextAsUtf8(CDDBInfo.szYear, year);
            DatabaseTextAsUtf8(CDDBInfo.szGenre, genre);
            const FlacTrackTags tags = {titleTag, artistTag, albumTag, number, CDDBInfo.nTracks,
                                        year, genre, entry.szIsrc};
            const int level = ReadSettingInt(SETTINGS_SECTION, "FlacLevel", FLAC_LEVEL_DEFAULT);
            // Encoding on a worker lets the drive read the next blocks meanwhile.
            rip.Worker = new LSinkWorker(
                LSoundSinkPtr(new LSNKFlacFile(temp, rate, channels, level, tags, frames * rate / 44100)));
            rip.File = rip.Worker;
            chain = OpenConverters(rip.File);
        }
        else if (OpenConverters(probe))
        {
            rip.File = LWaveFile::OpenSink(temp, format.Format);
            chain = OpenConverters(rip.File);
        }
    }
    if (!chain)
    {
        if (rip.Encoder)
            rip.Encoder->Abort();
        // Only a file this rip opened is removed, never one it could not open.
        const bool bFileMade = rip.File && !rip.File->bError;
        rip.File = nullptr;
        rip.Encoder = nullptr;
        rip.Worker = nullptr;
        if (bFileMade)
            DeleteFileA(temp);
        FormatText(text, sizeof(text), "Unable to create the file \"%s\".", path);
        ShowError(hWnd, text);
        return TrackReadEnd::NotKept;
    }

    const int32_t leadOut = AudioLeadOut(index);
    const int audioIndex = AudioTrackIndex(index);
    AccurateRipChecksum checksum(static_cast<uint32_t>(frames), audioIndex == 0,
                                 audioIndex == AccurateRip.Disc.nAudioTracks - 1);
    // The one read the database is to prove goes at full speed, as in burst mode.
    rip.bSecure = Reading.bSecure && !bOnePass;
    if (rip.bSecure)
    {
        LCDROMSecureRip& secure = rip.Secure;
        secure.nDrive = CDDBInfo.iDrive;
        secure.nStartSector = entry.nStartSector;
        secure.nEndSector = entry.nEndSector;
        secure.Sink = chain;
        secure.szName = entry.szName;
        // Every sector proven by a second read.
        secure.Settings = {Reading.nCorrectionFrames, leadOut, Reading.bOverread, false, true,
                           SECURE_CACHE_DEFEAT_SECTORS};
        secure.pChecksum = &checksum;
        if (!SecureBuffers)
            SecureBuffers = NewSecureReadBuffers();
        secure.pBuffers = SecureBuffers.get();
        secure.nC2Bytes = CDDBInfo.iDrive < LCDROMINFO_MAXDRIVES ? nC2Bytes[CDDBInfo.iDrive] : C2_NOT_PROBED;
        secure.Settings.bMisplacesReads = CDDBInfo.iDrive < LCDROMINFO_MAXDRIVES && bMisplacesReads[CDDBInfo.iDrive];
    }
    else
    {
        rip.Rip.nDrive = CDDBInfo.iDrive;
        rip.Rip.nStartSector = entry.nStartSector;
        rip.Rip.nEndSector = entry.nEndSector;
        rip.Rip.Sink = chain;
        rip.Rip.szName = entry.szName;
        rip.Rip.nCorrectionFrames = Reading.nCorrectionFrames;
        rip.Rip.nLeadOut = leadOut;
        rip.Rip.bOverread = Reading.bOverread;
        rip.Rip.pChecksum = &checksum;
    }
    chain = nullptr;
    LProgressJob<TrackRip> job("Extract CD Track(s)", ProcessTrackRip);
    job.pJobData = &rip;
    job.pSeries = TrackProgress;
    job.Run(hWnd);
    if (rip.bSecure && CDDBInfo.iDrive < LCDROMINFO_MAXDRIVES)
    {
        nC2Bytes[CDDBInfo.iDrive] = rip.Secure.nC2Bytes;
        bMisplacesReads[CDDBInfo.iDrive] = bMisplacesReads[CDDBInfo.iDrive] || rip.Secure.Report.bMisplacedReads;
    }
    LastTrack = TrackOutcome(rip, job.nResult, Reading.nCorrectionFrames);
    if (job.nResult == Done && AccurateRip.bUsed && number > 0)
        MatchTrack(index, checksum);

    // A worker still running ends first: a write it failed last still counts.
    if (rip.Worker)
        rip.Worker->Abandon();
    const bool bFileFailed = rip.File->bError;
    if (job.nResult != Done && rip.Encoder)
        rip.Encoder->Abort();
    rip.Rip.Sink = nullptr;
    rip.Secure.Sink = nullptr;
    rip.Encoder = nullptr;
    rip.Worker = nullptr;
    rip.File = nullptr;
    if (job.nResult == Done)
    {
        if (bOnePass
            && !(LastTrack.accurateRip.status == AccurateRipStatus::Accurate
                 && LastTrack.accurateRip.nConfidence >= ACCURATERIP_PROVEN_CONFIDENCE))
        {
            DeleteFileA(temp);
            return TrackReadEnd::Unconfirmed;
        }
        if (bOnePass)
        {
            LastTrack.bReadOnce = true;
            LastTrack.status = RipLogStatus::CopyOk;
        }
        if (LFile::MoveReplacing(temp, path))
            return TrackReadEnd::Kept;
        LastTrack.status = RipLogStatus::Failed;
        DeleteFileA(temp);
        FormatText(text, sizeof(text), "Unable to create the file \"%s\".", path);
        ShowError(hWnd, text);
        return TrackReadEnd::NotKept;
    }

    DeleteFileA(temp);
    if (bMp3)
    {
        // An encoder that was ended leaves the file it was writing under this name.
        char partial[TEXT_BUFFER_SIZE];
        FormatText(partial, sizeof(partial), "%s.part", temp);
        DeleteFileA(partial);
    }
    // A cancel shows nothing, though the encoder's write it ended failed.
    if (job.nResult == Stopped)
        return TrackReadEnd::NotKept;
    if (bFileFailed && bMp3)
    {
        FormatText(text, sizeof(text), "Track \"%s\" could not be encoded to \"%s\": the MP3 encoder failed.", rowText,
                   path);
        ShowError(hWnd, text);
    }
    else if (bFileFailed)
    {
        FormatText(text, sizeof(text), "Track \"%s\" could not be written to \"%s\". The disk may be full.", rowText,
                   path);
        ShowError(hWnd, text);
    }
    else if (bOnePass && job.nResult == Failed)
        return TrackReadEnd::Unconfirmed;  // what the drive could not give, the secure read goes after
    else if (job.nResult == Failed)
    {
        FormatText(text, sizeof(text), "Track \"%s\" could not be read from the CD.", rowText);
        ShowError(hWnd, text);
    }
    return TrackReadEnd::NotKept;
}
