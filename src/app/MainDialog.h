// The program's main window: the drive list, the disc's tracks as a check-box
// list with names and durations, the artist, album and output folder, and
// every user command. Long operations run as jobs under a progress window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "app/RipLog.h"
#include "app/RipReading.h"
#include "app/RipRequest.h"
#include "app/TrackList.h"
#include "cdrom/LCDDBInfo.h"
#include "cdrom/LCDROMInfo.h"
#include "cdrom/SecureRead.h"
#include "components/AccurateRipLookup.h"
#include "jobs/LProgressDialog.h"
#include "sound/LSoundPlayer.h"
#include "ui/LKeyDialog.h"
#include "ui/LSplashAbout.h"

// A command whose state follows the window's: its menu item, its toolbar
// button and its context-menu item are enabled exactly when bEnabled.
struct LCommandState
{
    int nId;
    bool bEnabled;
};
constexpr int STATEFUL_COMMANDS = 7;
// Temporary WAV files of the Edit command that an editor still held open
// when they were to be deleted; past this many, the oldest is forgotten.
constexpr int MAX_TMP_WAV_FILES = 16;

// What a rip made of one track: what its log says and its row shows.
struct RipTrackOutcome
{
    RipLogStatus status = RipLogStatus::Failed;
    int nPeak = 0;
    bool bTestCrc = false;
    uint32_t testCrc = 0;
    uint32_t copyCrc = 0;
    std::vector<int32_t> suspicious;  // sectors from the track's start
    std::vector<int32_t> readErrors;
    // The AccurateRip database was asked: our checksums, the track's entry
    // in each chunk of the disc's, and what they say.
    bool bAccurateRip = false;
    uint32_t v1 = 0;
    uint32_t v2 = 0;
    std::vector<AccurateRipEntry> chunkEntries;
    AccurateRipResult accurateRip = {AccurateRipStatus::NotReached, 0, 0};
    bool bReadOnce = false;  // secure, and proven by the database after one read
};

// What the AccurateRip database says of the disc the rip reads: asked once
// for a disc and server, at the start of its first rip.
struct RipAccurateRip
{
    bool bUsed = false;  // the setting is on and the disc has audio tracks
    bool bAsked = false;
    AccurateRipDisc Disc = {};
    LAccurateRipLookup Lookup = {};
    LAccurateRipPrefetch Prefetch;  // started when the disc was loaded
};

class RipLogFile;

class MainDialog : public LKeyDialog, public LSoundPlayerNotify
{
public:
    MainDialog();
    // Stops playback, then destroys the splash and the tooltip window if
    // they still exist.
    ~MainDialog() override;

    void InitDialog() override;
    // Enter and Escape never close the main window.
    bool CmOk() override { return false; }
    bool CmCancel() override { return false; }
    void CmHelp() override;
    void EnableControls() override;
    void CmCommand(WORD id, WORD notifyCode) override;
    void DestroyDialog() override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool KeyDown(uint32_t key) override;
    // The player started or stopped: Stop follows.
    void spntfPlay(int value) override;
    void spntfStop(int value) override;

    // Reloads the selected drive's disc into the list. Check marks are kept
    // by row unless `bCheckAll`, which checks every row.
    void CDDriveChanged(bool bCheckAll);
    // Lists the drives again ("Load CD Drives").
    void UpdateDrive();
    void LayoutControls();
    void WindowSizeSettingsRestore();
    void WindowSizeSettingsStore();

    HWND hToolBar = nullptr;
    int iStatusText = 0;
    HWND hToolTip = nullptr;
    // The last disc change that came while a job ran; 0 when none waits.
    WPARAM iPendingDeviceEvent = 0;
    LCDROMInfo Drives;
    LSplashAboutBase Splash;
    LCDDBInfo CDDBInfo;
    LSoundPlayer SoundPlayer;
    TrackList Tracks;

    // Rips the checked rows into files in the output folder, one job each.
    void CmRipCD();
    // Rips the selected row to a WAV file in the temporary folder, hands it
    // to the sound editor, and deletes it once the editor is closed.
    void CmEdit();
    // Deletes the temporary files the Edit command wrote, and only those;
    // a file still open stays remembered for the next try.
    void CmDeleteTmpWavFiles();
    // Plays the selected row's track while a worker reads it from the disc.
    void CmPlay();

private:
    // While the track list is filled its changes do not each recompute the
    // command states (dozens of menu and toolbar updates); the fill does it once.
    bool bFillingList = false;

    // Reads what a rip of the checked rows needs, asking for the folder when
    // it is missing; false when there is nothing to rip (the user was told
    // why, where there is something to tell).
    bool GatherRipRequest(LRipRequest& request);
    // Rips the request's rows in order, one job each, and stops at the first
    // that fails or is cancelled; true when every file is complete.
    bool RipRows(const LRipRequest& request);
    // The cue sheet of a rip of every audio track of `info` (the rows
    // `rows`), beside its files; false (after saying so) when it could not be
    // written.
    bool WriteCueSheet(const LCDDBInfo& info, const LRipRequest& request, const int* rows,
                       const char (*rowTexts)[TEXT_BUFFER_SIZE], const char (*paths)[TEXT_BUFFER_SIZE],
                       int nFiles) const;
    // The audio a row stands for: a track of the disc record, or the hidden
    // track (from sector 0 to track 1's start, number 0); its number as the
    // disc counts tracks. False for a row that is no audio of the disc.
    bool RowTrack(int row, LCDTrack& track, int& number) const;
    // Rips row `row`'s audio into `path`; true when the file is complete.
    // Otherwise the file is gone and the user was told why, unless the user
    // cancelled. `rowText` names the track in messages.
    bool RipTrack(int row, const char* rowText, const char* path, RipFormat format);
    // How one read of a track into its file ended: kept; not kept (the user
    // was told why, unless the user cancelled); or, read once in secure mode
    // (`bOnePass`), not confirmed by the database or not read whole: the
    // file is gone, for a full secure read.
    enum class TrackReadEnd
    {
        Kept,
        NotKept,
        Unconfirmed,
    };
    TrackReadEnd ReadTrackToFile(int row, const char* rowText, const char* path, RipFormat format, bool bOnePass);
    // Asks the AccurateRip database for the disc when the setting
    // "UseAccurateRip" is on; false when the user cancelled.
    bool LookUpAccurateRip();
    // Asks the database for the disc, unless it answered already for this
    // disc and server; false when the user cancelled or the disc has no audio.
    bool AskAccurateRip(HWND owner);
    // The disc's ids, the server and the entry's path on it; false when the
    // disc has no audio track the database could know.
    bool AccurateRipEntry(AccurateRipDisc& disc, char (&server)[TEXT_BUFFER_SIZE],
                          char (&path)[ACCURATERIP_PATH_SIZE]) const;
    // "Detect Read Offset" for the selected drive, from the disc in it, under
    // `owner`; true with the correction found and saved for the drive.
    bool DetectReadOffset(HWND owner, int32_t& correction);
    // The database's result for a track read with `checksum`, into LastTrack.
    void MatchTrack(int track, const AccurateRipChecksum& checksum);
    // Track `track`'s number among the disc's audio tracks, from 0.
    int AudioTrackIndex(int track) const;
    // The row's text, or its generic name when it was renamed to nothing a
    // file name may hold.
    void GetTrackName(int row, char (&text)[TEXT_BUFFER_SIZE]) const;
    // The drive's name for its settings and the log; "" when unknown.
    const char* DriveName(int drive) const;
    // The sector where track `track`'s audio ends for reading: the disc's
    // lead-out, or the end of the audio session before a data track.
    int32_t AudioLeadOut(int track) const;
    // The log's disc part, then the rows' statuses emptied; false when the
    // log cannot be written (the user was told).
    bool BeginRipLog(const LRipRequest& request, const char* logPath, RipLogFile& log);
    void WriteRipLogTrack(RipLogFile& log, int number, const char* path) const;
    void RememberTmpWavFile(const char* path);
    // The Settings dialog; the disc is loaded again when the database switch changed.
    void CmSettings();
    void CmBrowseOutput();
    void CmRename();
    void CmHelpAbout();
    // The drive chosen in the drive list, or -1.
    int SelectedDrive() const;
    // The one place that decides which commands can be chosen now.
    void CommandStates(LCommandState (&states)[STATEFUL_COMMANDS]) const;
    // The window's messages; true when handled here alone, false when the
    // dialog's own handling follows.
    bool OnNotify(const NMHDR& header);
    bool OnSize();
    bool OnClose();
    bool OnLabelEditKey(WORD id) const;
    bool OnTimer(UINT_PTR id);
    bool OnMenuSelect(WORD id);
    bool OnDeviceChange(WPARAM event, LPARAM data);
    bool OnEnable(bool bEnabled);
    bool OnPendingDeviceChange();
    // A disc arrived (DBT_DEVICEARRIVAL) or left.
    void DiscChanged(WPARAM event);
    bool OnContextMenu(HWND control);
    void ShowStatusText(const char* text) const;
    void NextStatusText();
    void TrackMessageMenu() const;
    void InternetResourcesMenu() const;
    void EndLabelEdit(const NMLVDISPINFOA& edit) const;
    void EmptyDiscFields() const;

    // How RipTrack reads: set from the settings when a rip or an edit starts.
    LRipReading Reading = {false, 0, false};
    // Each drive's C2 layout as a secure rip found it (C2_NOT_PROBED until
    // then), so that a drive is asked once.
    int nC2Bytes[LCDROMINFO_MAXDRIVES];
    // The drives a secure rip found to misplace their reads, read with
    // overlaps from the next track on.
    bool bMisplacesReads[LCDROMINFO_MAXDRIVES] = {};
    // What secure reading works in, kept through the tracks of one rip.
    std::shared_ptr<SecureReadBuffers> SecureBuffers;
    // The progress window the tracks of one rip are read in, one after another.
    LProgressSeries* TrackProgress = nullptr;
    RipTrackOutcome LastTrack;
    RipAccurateRip AccurateRip;

    char szTmpWavFiles[MAX_TMP_WAV_FILES][TEXT_BUFFER_SIZE];
    int nTmpWavFiles = 0;
};
