// The Rip command of the main window against virtual drives: the files it
// writes, compared with the disc image, and every way it stops.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <dbt.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "Mp3Encoder.h"
#include "app/MainDialogFixture.h"
#include "cddb/CDDBDiscId.h"
#include "cdrom/VirtualDiscFiles.h"
#include "cddb/LocalCDDBServer.h"
#include "files/LFile.h"
#include "settings/ProgramFolders.h"
#include "soundfile/CodecRecords.h"
#include "soundfile/LMP3EncodePipe.h"
#include "soundfile/StallingCodec.h"
#include "soundfile/WaveFormatFile.h"
#include "ui/MessageBoxCapture.h"
#include "TestFiles.h"

namespace {

const char* const COMPONENT_KEY = "Software\\Talmarin\\Components\\mp3el";

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class RipCommandTest : public MainDialogTest
{
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "corvane-rip";
        LFile::DeleteFolderAndFiles(folder.c_str());
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* name : {"FileNameNoAlbum", "FileNameIncludeAlbum", "OutputFormat"})
            DeleteSetting(name);
        DeleteFileA(FormatFile().c_str());
        DeleteFileA(UserFormatFile().c_str());
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        for (const char* name : {"FileNameNoAlbum", "FileNameIncludeAlbum", "OutputFormat"})
            DeleteSetting(name);
        LFile::DeleteFolderAndFiles((folder + "\\new").c_str());
        LFile::DeleteFolderAndFiles(folder.c_str());
        DeleteFileA(FormatFile().c_str());
        DeleteFileA(UserFormatFile().c_str());
    }

    static void DeleteSetting(const char* name) { DeleteValue(SETTINGS_KEY, name); }

    // Opens the window on `drive`, with the output folder `output`.
    void OpenOn(const DriveConfig& drive, const std::string& output)
    {
        io->AddDrive('D', DRIVE_CDROM, drive);
        Open();
        SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, output.c_str());
    }

    void Rip()
    {
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_RIP, 0);
        Pump();
    }

    void SetRowText(int row, const char* text)
    {
        LVITEMA item = {};
        item.pszText = const_cast<char*>(text);
        SendMessageA(Control(IDC_TRACKS), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    }

    void CheckOnly(std::initializer_list<int> rows)
    {
        for (int i = 0; i < dialog.Tracks.RowCount(); ++i)
            dialog.Tracks.SetRowChecked(i, std::find(rows.begin(), rows.end(), i) != rows.end());
    }

    // The audio files and what else a rip leaves, but for the rip's log,
    // which every rip writes and the secure rip's tests read.
    std::vector<std::string> FilesInFolder() const { return FilesIn(folder); }
    static std::vector<std::string> FilesIn(const std::string& in)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((in + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !EndsWith(found.cFileName, ".log"))
                names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    // The file holds the 46-byte header and then exactly the track's sectors.
    void ExpectTrackFile(const std::string& name, long firstSector, int nSectors) const
    {
        ExpectTrackFileIn(folder, name, firstSector, nSectors);
    }
    static void ExpectTrackFileIn(const std::string& in, const std::string& name, long firstSector, int nSectors,
                                  const char* disc = "five-tracks")
    {
        SCOPED_TRACE(name);
        const std::vector<BYTE> bytes = FileBytes(in + "\\" + name);
        ASSERT_EQ(46u + static_cast<size_t>(nSectors) * 2352, bytes.size());
        EXPECT_EQ(0, memcmp(bytes.data(), "RIFF", 4));
        const uint32_t dataSize = bytes[42] | bytes[43] << 8 | bytes[44] << 16 | static_cast<uint32_t>(bytes[45]) << 24;
        EXPECT_EQ(static_cast<uint32_t>(nSectors) * 2352, dataSize);
        EXPECT_TRUE(std::vector<BYTE>(bytes.begin() + 46, bytes.end()) == ImageSectors(disc, firstSector, nSectors))
            << "the audio is not the disc's, bit for bit";
    }

    // Renames a row through its label edit, as the user does.
    void RenameRow(int row, const char* typed)
    {
        dialog.SelectOneRow(IDC_TRACKS, row);
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_RENAME, 0);
        HWND edit = reinterpret_cast<HWND>(SendMessageA(Control(IDC_TRACKS), LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(nullptr, edit);
        SetWindowTextA(edit, typed);
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
        Pump();
    }

    static std::string FormatFile()
    {
        // The folder start-up creates; these tests bring no start-up of their own.
        char formatFile[TEXT_BUFFER_SIZE];
        CreateInstallFolder(formatFile);
        LFile::FilePathCat(formatFile, "WavCodec.wff");
        return formatFile;
    }

    // The user's saved format, which SaveWaveFormat writes.
    static std::string UserFormatFile()
    {
        char path[TEXT_BUFFER_SIZE];
        WaveFormatFilePath(path);
        return path;
    }

    // Writes no more than `format` to the program's wave-format file, as a
    // shorter file than the settings dialog writes; returns the file to delete.
    static std::string WriteFormatFile(const WAVEFORMATEX& format)
    {
        std::ofstream file(FormatFile(), std::ios::binary);
        file.write(reinterpret_cast<const char*>(&format), sizeof(format));
        return FormatFile();
    }

    std::string folder;
};

// The demo disc in a drive that reads no CD-Text: the tests of formats name
// its tracks generically, as a disc that carries no names shows them while the
// database is not reached.
DriveConfig DemoDiscWithoutCdText()
{
    DriveConfig drive = Disc("demo");
    drive.bCdText = false;
    return drive;
}

// five-tracks: 60, 45, 30, 75 and 50 sectors.
const long STARTS[] = {0, 60, 105, 135, 210, 260};

TEST_F(RipCommandTest, EveryCheckedTrackBecomesAFileOfTheDiscsAudio)
{
    MessageBoxCapture boxes;
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0, 2, 3, 4});
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::vector<std::string>({"Track 01.wav", "Track 03.wav", "Track 04.wav", "Track 05.wav"}),
              FilesInFolder());
    for (int track : {0, 2, 3, 4})
        ExpectTrackFile("Track 0" + std::to_string(track + 1) + ".wav", STARTS[track],
                        static_cast<int>(STARTS[track + 1] - STARTS[track]));
}

TEST_F(RipCommandTest, FileNamesFollowTheRowTheFieldsAndTheNameSettings)
{
    const struct
    {
        const char* useCDDB;
        const char* noAlbum;        // null: not set (default on)
        const char* includeAlbum;   // null: not set (default off)
        const char* row;
        const char* file;
    } cases[] = {
        {"1", nullptr, nullptr, "Intro", "Artist - Intro.wav"},
        {"1", "1", "1", "Intro", "Artist - Intro.wav"},
        {"1", "0", "1", "Intro", "Album - Artist - Intro.wav"},
        {"1", "0", "0", "Intro", "Intro.wav"},
        {"0", "1", nullptr, "Intro", "Intro.wav"},
        {"1", nullptr, nullptr, "Track 5 live", "Track 5 live.wav"},
        {"1", nullptr, nullptr, "track 5", "Artist - track 5.wav"},
    };
    OpenOn(Disc("five-tracks"), folder);
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "Artist");
    SetDlgItemTextA(dialog.hWnd, IDC_ALBUM, "Album");
    CheckOnly({0});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        SetValue(SETTINGS_KEY, "UseCDDB", c.useCDDB);
        if (c.noAlbum)
            SetValue(SETTINGS_KEY, "FileNameNoAlbum", c.noAlbum);
        else
            DeleteSetting("FileNameNoAlbum");
        if (c.includeAlbum)
            SetValue(SETTINGS_KEY, "FileNameIncludeAlbum", c.includeAlbum);
        else
            DeleteSetting("FileNameIncludeAlbum");
        SetRowText(0, c.row);
        Rip();
        EXPECT_EQ(std::vector<std::string>({c.file}), FilesInFolder());
        ExpectTrackFile(c.file, 0, 60);
        DeleteFileA((folder + "\\" + c.file).c_str());
    }
}

TEST_F(RipCommandTest, AMissingFolderIsCreatedWhenTheUserAgrees)
{
    const std::string created = folder + "\\new";
    const std::string orphan = folder + "\\missing\\new";
    OpenOn(Disc("five-tracks"), created);
    CheckOnly({1});
    {
        MessageBoxCapture boxes(IDNO);
        Rip();
        ASSERT_NO_FATAL_FAILURE(ExpectOneBox(
            boxes.boxes, "Corvane", "The folder \"" + created + "\" does not exist. Do you want to create it now?",
            IDI_QUESTION));
        EXPECT_FALSE(Exists(created));
    }
    {
        MessageBoxCapture boxes(IDYES);
        Rip();
        EXPECT_EQ(1u, boxes.boxes.size());
        EXPECT_TRUE(Exists(created + "\\Track 02.wav"));
    }
    {
        SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, orphan.c_str());
        MessageBoxCapture boxes(IDYES);
        Rip();
        ASSERT_EQ(2u, boxes.boxes.size());
        EXPECT_EQ("Error", boxes.boxes[1].caption);
        EXPECT_EQ("Unable to create folder.", boxes.boxes[1].text);
        EXPECT_EQ(IDI_ERROR, boxes.boxes[1].icon);
        EXPECT_FALSE(Exists(folder + "\\missing"));
    }
    // The folder went to the head of the recent list.
    char first[TEXT_BUFFER_SIZE] = "";
    SendMessageA(Control(IDC_OUTPUT_FOLDER), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(orphan, first);
}

TEST_F(RipCommandTest, NothingCheckedIsReported)
{
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({});
    MessageBoxCapture boxes;
    Rip();
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes.boxes, "No Tracks Selected",
                                         "There is nothing to rip - no tracks have been selected.", IDI_ERROR));
    EXPECT_TRUE(FilesInFolder().empty());
}

// Clicks Cancel in the progress window of the track whose line reads
// `cancelLine`, once; `cancelAt` is that window.
HWND cancelAt = nullptr;
const char* cancelLine = "";

void CALLBACK CancelAtTheTrack(HWND, UINT, UINT_PTR, DWORD)
{
    HWND progress = FindWindowA("#32770", "Extract CD Track(s)");
    char line[TEXT_BUFFER_SIZE] = "";
    GetDlgItemTextA(progress, IDC_PROGRESS_LINE0, line, sizeof(line));
    if (progress && !lstrcmpA(line, cancelLine) && cancelAt != progress)
    {
        cancelAt = progress;
        SendMessageA(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
    }
}

TEST_F(RipCommandTest, CancellingTheThirdTrackKeepsTheFirstTwoAndNoPartOfTheThird)
{
    DriveConfig slow = Disc("five-tracks");
    slow.delayMs = 40;
    OpenOn(slow, folder);
    MessageBoxCapture boxes;
    cancelAt = nullptr;
    cancelLine = "Loading Track 03";
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CancelAtTheTrack);
    Rip();
    KillTimer(nullptr, timer);
    EXPECT_NE(nullptr, cancelAt) << "the third track's window never showed";
    EXPECT_TRUE(boxes.boxes.empty()) << "a cancel shows nothing";
    EXPECT_EQ(std::vector<std::string>({"Track 01.wav", "Track 02.wav"}), FilesInFolder());
    ExpectTrackFile("Track 02.wav", 60, 45);
}

TEST_F(RipCommandTest, AFailingReadAndAnUncreatableFileAreReportedAndLeaveNoFile)
{
    DriveConfig failing = Disc("five-tracks");
    failing.failLba = 80;  // inside track 2
    OpenOn(failing, folder);
    {
        MessageBoxCapture boxes;
        Rip();
        ASSERT_NO_FATAL_FAILURE(
            ExpectOneBox(boxes.boxes, "Error", "Track \"Track 02\" could not be read from the CD.", IDI_ERROR));
        EXPECT_EQ(std::vector<std::string>({"Track 01.wav"}), FilesInFolder());
    }
    // A folder stands where the first file would go.
    DeleteFileA((folder + "\\Track 01.wav").c_str());
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "Artist");
    SetRowText(0, "Intro");
    const std::string blocked = folder + "\\Artist - Intro.wav";
    CreateDirectoryA(blocked.c_str(), nullptr);
    CheckOnly({0, 2});
    {
        MessageBoxCapture boxes;
        Rip();
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Error", boxes.boxes[0].caption);
        EXPECT_EQ("Unable to create the file \"" + blocked + "\".", boxes.boxes[0].text);
        EXPECT_TRUE(FilesInFolder().empty()) << "the rip went on after the failed track";
    }
    RemoveDirectoryA(blocked.c_str());
}

// A track is written under a name of its own: an earlier file of its name
// stays as it was when the new rip of it fails or is cancelled, and only a
// complete track replaces it.
TEST_F(RipCommandTest, AFailedOrCancelledRipKeepsTheEarlierFile)
{
    DriveConfig drive = Disc("five-tracks");
    drive.failLba = 80;  // inside track 2
    drive.delayMs = 40;
    OpenOn(drive, folder);
    const std::vector<BYTE> earlier(5000, 0x55);
    const struct
    {
        const char* what;
        int row;
        const char* cancelAt;  // null: no Cancel
        const char* message;   // null: no box
        bool bReplaced;
    } cases[] = {
        {"a read that fails", 1, nullptr, "Track \"Track 02\" could not be read from the CD.", false},
        {"Cancel", 3, "Loading Track 04", nullptr, false},
        {"a complete track", 2, nullptr, nullptr, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        char name[16];
        wsprintfA(name, "Track %.2d.wav", c.row + 1);
        const std::string path = folder + "\\" + name;
        {
            std::ofstream file(path, std::ios::binary);
            file.write(reinterpret_cast<const char*>(earlier.data()), earlier.size());
        }
        CheckOnly({c.row});
        MessageBoxCapture boxes;
        cancelAt = nullptr;
        cancelLine = c.cancelAt ? c.cancelAt : "";
        const UINT_PTR timer = c.cancelAt ? SetTimer(nullptr, 0, 10, CancelAtTheTrack) : 0;
        Rip();
        if (timer)
            KillTimer(nullptr, timer);
        if (c.message)
            ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes.boxes, "Error", c.message, IDI_ERROR));
        else
            EXPECT_TRUE(boxes.boxes.empty());
        if (c.bReplaced)
            ExpectTrackFile(name, STARTS[c.row], STARTS[c.row + 1] - STARTS[c.row]);
        else
            EXPECT_EQ(earlier, FileBytes(path)) << "the earlier file was touched";
        EXPECT_EQ(std::vector<std::string>({name}), FilesInFolder()) << "a temporary file was left";
        DeleteFileA(path.c_str());
    }
}

TEST_F(RipCommandTest, AFileOfTheUsersWithTheTemporaryNameIsLeftAlone)
{
    OpenOn(Disc("five-tracks"), folder);
    const std::vector<BYTE> users(3000, 0x66);
    const std::string usersPath = folder + "\\Track 03.tmp";
    {
        std::ofstream file(usersPath, std::ios::binary);
        file.write(reinterpret_cast<const char*>(users.data()), users.size());
    }
    CheckOnly({2});
    MessageBoxCapture boxes;
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    ExpectTrackFile("Track 03.wav", STARTS[2], STARTS[3] - STARTS[2]);
    EXPECT_EQ(users, FileBytes(usersPath));
    EXPECT_EQ(std::vector<std::string>({"Track 03.tmp", "Track 03.wav"}), FilesInFolder());
    DeleteFileA(usersPath.c_str());
    DeleteFileA((folder + "\\Track 03.wav").c_str());
}

TEST_F(RipCommandTest, ASavedWaveFormatGetsItsRateAndChannelsThroughTheConverters)
{
    const std::string formatFile = WriteFormatFile({WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0});
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0});
    Rip();
    DeleteFileA(formatFile.c_str());
    const std::vector<BYTE> bytes = FileBytes(folder + "\\Track 01.wav");
    ASSERT_GE(bytes.size(), 46u);
    EXPECT_EQ(1, bytes[22]) << "mono";
    EXPECT_EQ(22050u, bytes[24] | bytes[25] << 8 | bytes[26] << 16);
    // 60 sectors are 35280 frames at 44100 Hz: half as many at 22050.
    EXPECT_NEAR(17640.0, (bytes.size() - 46) / 2.0, 8.0);
}

TEST_F(RipCommandTest, Mp3WithoutTheEncoderComponentIsReported)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, COMPONENT_KEY);
    OpenOn(Disc("five-tracks"), folder);
    SetValue(SETTINGS_KEY, "OutputFormat", "MP3");
    MessageBoxCapture boxes;
    Rip();
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Component error", boxes.boxes[0].caption);
    EXPECT_EQ(IDI_INFORMATION, boxes.boxes[0].icon);
    EXPECT_EQ(0u, boxes.boxes[0].text.find("The mp3 encoder component \"mp3el\" has not yet been installed."));
    EXPECT_TRUE(FilesInFolder().empty());

    // Only "MP3" itself means MP3: "mp3" rips WAV files.
    SetValue(SETTINGS_KEY, "OutputFormat", "mp3");
    CheckOnly({4});
    Rip();
    EXPECT_EQ(std::vector<std::string>({"Track 05.wav"}), FilesInFolder());
}

// Sends the system's disc events to the main window while the second track
// of a rip is read, and notes whether the window was still disabled after them.
HWND mainWindow = nullptr;
HWND eventsSentDuring = nullptr;
bool bDisabledAfterEvents = false;

void SendVolume(WPARAM event, char letter)
{
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (letter - 'A');
    volume.dbcv_flags = DBTF_MEDIA;
    SendMessageA(mainWindow, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
}

void CALLBACK DiscEventsDuringTheSecondTrack(HWND, UINT, UINT_PTR, DWORD)
{
    HWND progress = FindWindowA("#32770", "Extract CD Track(s)");
    char line[TEXT_BUFFER_SIZE] = "";
    GetDlgItemTextA(progress, IDC_PROGRESS_LINE0, line, sizeof(line));
    if (progress && !lstrcmpA(line, "Loading Track 02") && eventsSentDuring != progress)
    {
        eventsSentDuring = progress;
        SendVolume(DBT_DEVICEREMOVECOMPLETE, 'D');
        SendVolume(DBT_DEVICEARRIVAL, 'D');
        bDisabledAfterEvents = !IsWindowEnabled(mainWindow);
    }
}

TEST_F(RipCommandTest, DiscEventsDuringARipWaitForItsEnd)
{
    DriveConfig slow = Disc("five-tracks");
    slow.delayMs = 40;
    OpenOn(slow, folder);
    mainWindow = dialog.hWnd;
    eventsSentDuring = nullptr;
    bDisabledAfterEvents = false;
    RenameRow(2, "Renamed");
    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    MessageBoxCapture boxes;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, DiscEventsDuringTheSecondTrack);
    Rip();
    KillTimer(nullptr, timer);
    ASSERT_NE(nullptr, eventsSentDuring) << "the second track's window never showed";
    EXPECT_TRUE(bDisabledAfterEvents) << "a job in the events enabled the window under the rip";
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::vector<std::string>(
                  {"Audio CD.cue", "Renamed.wav", "Track 01.wav", "Track 02.wav", "Track 04.wav", "Track 05.wav"}),
              FilesInFolder());
    const char* const names[] = {"Track 01.wav", "Track 02.wav", "Renamed.wav", "Track 04.wav", "Track 05.wav"};
    for (int track = 0; track < 5; ++track)
        ExpectTrackFile(names[track], STARTS[track], static_cast<int>(STARTS[track + 1] - STARTS[track]));
    // The disc that arrived is loaded once the rip is over.
    EXPECT_EQ("Track 03", Cell(2, 0));
}

TEST_F(RipCommandTest, ACancelledLoadKeepsTheDiscThatIsShown)
{
    io->AddDrive('E', DRIVE_CDROM, Disc("three-tracks"));
    OpenOn(Disc("five-tracks"), folder);
    // The other drive never answers, and Cancel is clicked as it is asked.
    io->heldCommands = {io->nControlCalls + 1};
    io->onIssue = [](int) { PostMessageA(FindWindowA("#32770", "Loading CD Information"), WM_COMMAND, IDCANCEL, 0); };
    ChooseDrive(1);
    io->onIssue = nullptr;
    ASSERT_EQ(5, dialog.Tracks.RowCount());
    CheckOnly({0, 1, 2, 3, 4});
    MessageBoxCapture boxes;
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(6u, FilesInFolder().size()) << "five tracks and the cue sheet";
    for (int track = 0; track < 5; ++track)
        ExpectTrackFile("Track 0" + std::to_string(track + 1) + ".wav", STARTS[track],
                        static_cast<int>(STARTS[track + 1] - STARTS[track]));
}

TEST_F(RipCommandTest, NoTwoTracksOfOneRipShareAFileAndEveryFileKeepsItsExtension)
{
    // Long enough that two long titles meet the path's 259-character limit.
    const std::string deep = folder + "\\" + std::string(170, 'd');
    CreateDirectoryA(deep.c_str(), nullptr);
    const std::string title(120, 't');
    const struct
    {
        const char* name;
        std::string in;
        std::vector<std::string> rows;
        std::vector<std::string> files;  // of rows 0, 1 ... in order
    } cases[] = {
        {"long titles in a long folder", deep, {title + " one", title + " two"}, {}},  // names cut to fit
        {"equal rows", folder, {"Same", "Same", "Same"}, {"Same.wav", "Same (2).wav", "Same (3).wav"}},
        {"equal but for case", folder, {"Same", "SAME"}, {"Same.wav", "SAME (2).wav"}},
        {"rows renamed to nothing", folder, {"", ""}, {"Track 01.wav", "Track 02.wav"}},
    };
    SetValue(SETTINGS_KEY, "UseCDDB", "0");  // the file name is the row's text
    OpenOn(Disc("five-tracks"), folder);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, c.in.c_str());
        std::vector<int> rows;
        for (size_t i = 0; i < c.rows.size(); ++i)
        {
            SetRowText(static_cast<int>(i), c.rows[i].c_str());
            rows.push_back(static_cast<int>(i));
        }
        CheckOnly({});
        for (int row : rows)
            dialog.Tracks.SetRowChecked(row, true);
        MessageBoxCapture boxes;
        Rip();
        EXPECT_TRUE(boxes.boxes.empty());
        const std::vector<std::string> written = FilesIn(c.in);
        ASSERT_EQ(c.rows.size(), written.size()) << "a track overwrote another";
        for (const std::string& name : written)
            EXPECT_EQ(".wav", name.substr(name.size() - 4)) << name;
        std::vector<std::string> files = c.files;
        if (files.empty())
        {
            // Cut to fit, the second title's file is told apart by its number.
            files = written;
            if (files[0].find(" (2)") != std::string::npos)
                std::swap(files[0], files[1]);
        }
        std::vector<std::string> expected = files;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, written);
        for (size_t i = 0; i < files.size(); ++i)
            ExpectTrackFileIn(c.in, files[i], STARTS[i], static_cast<int>(STARTS[i + 1] - STARTS[i]));
        for (const std::string& name : written)
            DeleteFileA((c.in + "\\" + name).c_str());
    }
    RemoveDirectoryA(deep.c_str());
}

TEST_F(RipCommandTest, AFormatTheConvertersRefuseTouchesNoFile)
{
    const std::string formatFile = WriteFormatFile({WAVE_FORMAT_PCM, 6, 44100, 529200, 12, 16, 0});
    const std::string older = folder + "\\Track 01.wav";
    {
        std::ofstream file(older, std::ios::binary);
        file << "an older file of that name";
    }
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0});
    MessageBoxCapture boxes;
    Rip();
    DeleteFileA(formatFile.c_str());
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Unable to create the file \"" + older + "\".", boxes.boxes[0].text);
    EXPECT_EQ(std::vector<std::string>({"Track 01.wav"}), FilesInFolder());
    const std::vector<BYTE> bytes = FileBytes(older);
    EXPECT_EQ("an older file of that name", std::string(bytes.begin(), bytes.end()));
}

// Codec formats saved as the settings dialog saves them go through the
// converters and the system's audio compression manager: the third tune of
// the demo disc in each, kept in the build folder for an independent decoder
// (tests/app/codec_rips_decode.py), which also measures their fidelity.
TEST_F(RipCommandTest, CodecFormatsAreWrittenThroughTheCompressionManager)
{
    const struct
    {
        const char* name;
        WORD tag;
        WORD channels;
    } cases[] = {
        {"ima-adpcm", WAVE_FORMAT_IMA_ADPCM, 2},
        {"mu-law", WAVE_FORMAT_MULAW, 2},
        {"a-law", WAVE_FORMAT_ALAW, 2},
#ifndef _WIN64
        // Wine's 64-bit compression manager converts no PCM to GSM 6.10.
        {"gsm610", WAVE_FORMAT_GSM610, 1},
#endif
    };
    const std::string kept = ProgramFolder() + "\\codec-rips";
    CreateDirectoryA(kept.c_str(), nullptr);
    const std::string path = folder + "\\Track 03.wav";
    OpenOn(DemoDiscWithoutCdText(), folder);
    CheckOnly({2});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const LWaveFormatRecord record = ListedRecord(c.tag, c.channels, 44100);
        ASSERT_EQ(c.tag, record.Format.wFormatTag) << "not listed";
        ASSERT_TRUE(::SaveWaveFormat(record));
        MessageBoxCapture boxes;
        Rip();
        EXPECT_TRUE(boxes.boxes.empty());
        const std::vector<BYTE> bytes = FileBytes(path);
        const size_t recordSize = 18 + record.Format.cbSize;
        const size_t headerSize = 28 + recordSize;
        ASSERT_GE(bytes.size(), headerSize);
        EXPECT_TRUE(std::equal(record.bytes, record.bytes + recordSize, bytes.begin() + 20)) << "the format block";
        const size_t dataSize = bytes[headerSize - 4] | bytes[headerSize - 3] << 8 | bytes[headerSize - 2] << 16 |
                                static_cast<size_t>(bytes[headerSize - 1]) << 24;
        EXPECT_EQ(bytes.size() - headerSize, dataSize);
        EXPECT_EQ(0u, dataSize % record.Format.nBlockAlign);
        // 1458 sectors of 588 frames, at the codec's bytes per second.
        EXPECT_NEAR(1458 * 588.0 / 44100 * record.Format.nAvgBytesPerSec, double(dataSize),
                    record.Format.nBlockAlign + 0.01 * dataSize);
        ASSERT_TRUE(CopyFileA(path.c_str(), (kept + "\\" + c.name + ".wav").c_str(), FALSE));
        DeleteFileA(path.c_str());
    }
}

TEST_F(RipCommandTest, ACodecThatCannotBeOpenedIsReportedAndTouchesNoFile)
{
    // Wine's Microsoft ADPCM codec decodes only.
    ASSERT_TRUE(::SaveWaveFormat(ListedRecord(WAVE_FORMAT_ADPCM, 2, 44100)));
    const std::string path = folder + "\\Track 01.wav";
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0, 2});
    for (const bool bOlderFile : {false, true})
    {
        SCOPED_TRACE(bOlderFile ? "over an older file" : "in an empty folder");
        if (bOlderFile)
        {
            std::ofstream file(path, std::ios::binary);
            file << "an older file of that name";
        }
        MessageBoxCapture boxes;
        Rip();
        ASSERT_NO_FATAL_FAILURE(
            ExpectOneBox(boxes.boxes, "Error", "Unable to create the file \"" + path + "\".", IDI_ERROR));
        if (!bOlderFile)
        {
            EXPECT_TRUE(FilesInFolder().empty());
        }
    }
    EXPECT_EQ(std::vector<std::string>({"Track 01.wav"}), FilesInFolder());
    const std::vector<BYTE> bytes = FileBytes(path);
    EXPECT_EQ("an older file of that name", std::string(bytes.begin(), bytes.end()));
}

TEST_F(RipCommandTest, ASavedFormatWhoseBlocksAreNotItsCodecsIsNotValidAndTouchesNoFile)
{
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0, 2});
    for (const LWaveFormatRecord& record : {CraftedImaAdpcmRecord(), CraftedMuLawRecord()})
    {
        SCOPED_TRACE(record.Format.wFormatTag);
        ASSERT_TRUE(::SaveWaveFormat(record));
        MessageBoxCapture boxes;
        Rip();
        ASSERT_NO_FATAL_FAILURE(ExpectOneBox(
            boxes.boxes, "Error",
            "The wave file format saved in Settings is not valid. Choose the format again in Settings.", IDI_ERROR));
        EXPECT_TRUE(FilesInFolder().empty());
    }
}

TEST_F(RipCommandTest, ACodecThatStopsTakingInputFailsTheTrack)
{
    // It takes 25000 frames; the first track has 35280.
    StallingCodec codec(100000);
    ASSERT_NE(nullptr, codec.id);
    LWaveFormatRecord record = {};
    record.Format = StallingCodec::Record(2, 44100);
    ASSERT_TRUE(::SaveWaveFormat(record));
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0, 2});
    MessageBoxCapture boxes;
    Rip();
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Error", boxes.boxes[0].caption);
    EXPECT_EQ("Track \"Track 01\" could not be written to \"" + folder + "\\Track 01.wav\". The disk may be full.",
              boxes.boxes[0].text);
    EXPECT_TRUE(FilesInFolder().empty()) << "the broken file is left, or the rip went on";
}

TEST_F(RipCommandTest, DataTracksAreListedUncheckedAndNeverRipped)
{
    struct Audio
    {
        const char* file;
        long firstSector;
        int nSectors;
    };
    const struct
    {
        const char* disc;
        std::vector<std::string> durations;
        std::vector<bool> checks;
        std::vector<Audio> files;
    } cases[] = {
        // Audio of 40 and 160 sectors, then a data track in a second session:
        // the last audio track ends before the gap between the sessions.
        {"cd-extra", {"0:00", "0:02", "data"}, {true, true, false}, {{"Track 01.wav", 0, 40}, {"Track 02.wav", 40, 160}}},
        {"data-track-first", {"data", "0:00", "0:00"}, {false, true, true},
         {{"Track 02.wav", 30, 40}, {"Track 03.wav", 70, 50}}},
    };
    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    io->AddDrive('E', DRIVE_CDROM, Disc(cases[1].disc));
    OpenOn(Disc(cases[0].disc), folder);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.disc);
        if (&c != cases)
            ChooseDrive(1);
        std::vector<std::string> durations;
        for (int i = 0; i < dialog.Tracks.RowCount(); ++i)
            durations.push_back(Cell(i, 1));
        EXPECT_EQ(c.durations, durations);
        EXPECT_EQ(c.checks, Checks());
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_SELECT_ALL, 0);  // the user checks the data track too
        MessageBoxCapture boxes;
        Rip();
        EXPECT_TRUE(boxes.boxes.empty());
        // Every audio track was ripped: the cue sheet is there too.
        std::vector<std::string> names = {"Audio CD.cue"};
        for (const Audio& audio : c.files)
        {
            names.push_back(audio.file);
            ExpectTrackFileIn(folder, audio.file, audio.firstSector, audio.nSectors, c.disc);
        }
        EXPECT_EQ(names, FilesInFolder());
        for (const std::string& name : FilesInFolder())
            DeleteFileA((folder + "\\" + name).c_str());
    }
}

// MP3 mode with the stand-in encoder registered as the component: it stores
// what it is fed, so the files hold the PCM the encoder would have encoded.
class Mp3RipTest : public RipCommandTest
{
protected:
    void SetUp() override
    {
        RipCommandTest::SetUp();
        SetValue(COMPONENT_KEY, "Path", (ProgramFolder() + "\\fake_encoder.exe").c_str());
        SetValue(SETTINGS_KEY, "OutputFormat", "MP3");
        SetEnvironmentVariableA("FAKE_ENCODER", nullptr);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Talmarin\\Corvane\\MP3Encoder");
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("FAKE_ENCODER", nullptr);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Talmarin\\Corvane\\MP3Encoder");
        DeleteValue(COMPONENT_KEY, "Path");
        for (const std::string& name : FilesInFolder())
            DeleteFileA((folder + "\\" + name).c_str());
        RipCommandTest::TearDown();
    }

    std::vector<std::string> Mp3Files() const
    {
        std::vector<std::string> names;
        for (const std::string& name : FilesInFolder())
            if (name.size() > 4 && name.substr(name.size() - 4) == ".mp3")
                names.push_back(name);
        return names;
    }

    // What the stand-in was told for the file `name`, which it wrote under
    // the rip's temporary name.
    std::vector<std::string> Arguments(const std::string& name) const
    {
        std::ifstream file(folder + "\\" + name.substr(0, name.rfind('.')) + ".tmp.args");
        std::vector<std::string> args;
        for (std::string line; std::getline(file, line);)
            args.push_back(line);
        return args;
    }
};

TEST_F(Mp3RipTest, CheckedTracksReachTheEncoderWithTheirTags)
{
    OpenOn(Disc("five-tracks"), folder);
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "The \"Band\"");
    SetDlgItemTextA(dialog.hWnd, IDC_ALBUM, "Live");
    SetRowText(3, "Encore");
    CheckOnly({1, 3});
    MessageBoxCapture boxes;
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::vector<std::string>({"The Band - Encore.mp3", "Track 02.mp3"}), Mp3Files());
    // The default options feed the encoder 44100 Hz stereo: the disc's own samples.
    const std::vector<BYTE> pcm = FileBytes(folder + "\\Track 02.mp3");
    EXPECT_TRUE(pcm == ImageSectors("five-tracks", STARTS[1], 45)) << "the piped audio is not the disc's";
    const std::vector<std::string> args = Arguments("The Band - Encore.mp3");
    const std::vector<std::string> tail(args.end() - 8, args.end());
    EXPECT_EQ(std::vector<std::string>({"--tt", "Encore", "--ta", "The \"Band\"", "--tl", "Live", "--tn", "4"}), tail);
    EXPECT_EQ("-m", args[0]);
    EXPECT_EQ("j", args[1]);
    // The encoder makes its file only when the whole track arrived: 75 sectors.
    const auto frames = std::find(args.begin(), args.end(), "--frames");
    ASSERT_NE(args.end(), frames);
    EXPECT_EQ("44100", *(frames + 1));
}

TEST_F(Mp3RipTest, TheTracksIsrcReachesTheEncoder)
{
    OpenOn(Disc("disc-data"), folder);
    CheckOnly({0, 1});
    Rip();
    const std::vector<std::string> first = Arguments("The Band - Opening.mp3");
    const std::vector<std::string> second = Arguments("Track 02.mp3");
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(std::vector<std::string>({"--tv", "TSRC=GBAYE6500001"}),
              std::vector<std::string>(first.end() - 2, first.end()));
    EXPECT_EQ(second.end(), std::find(second.begin(), second.end(), "--tv")) << "track 2 has no ISRC";
}

TEST_F(Mp3RipTest, ALowBitRateGetsAMonoInputAtHalfTheRate)
{
    SetValue("Software\\Talmarin\\Corvane\\MP3Encoder", "ConstantBitRate", "1");
    SetValue("Software\\Talmarin\\Corvane\\MP3Encoder", "CBRBitRate", "16");
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0});
    Rip();
    ASSERT_EQ(std::vector<std::string>({"Track 01.mp3"}), Mp3Files());
    const std::vector<std::string> args = Arguments("Track 01.mp3");
    EXPECT_EQ(std::vector<std::string>({"-m", "m", "-b", "16", "-r", "-x", "-s", "22.050"}),
              std::vector<std::string>(args.begin(), args.begin() + 8));
    // 60 sectors, 35280 frames at 44100 Hz: half as many mono frames of 2 bytes,
    // and the encoder is told to expect exactly those.
    EXPECT_NEAR(17640.0, FileBytes(folder + "\\Track 01.mp3").size() / 2.0, 8.0);
    EXPECT_EQ(std::vector<std::string>({"--frames", std::to_string(FileBytes(folder + "\\Track 01.mp3").size() / 2)}),
              std::vector<std::string>(args.begin() + 8, args.begin() + 10));
}

TEST_F(Mp3RipTest, AFailingEncoderIsReportedAndLeavesNoFile)
{
    const struct
    {
        const char* name;
        const char* mode;
        const char* path;  // null: the stand-in
        std::string message;
    } cases[] = {
        {"exits with 1 at once", "exit1", nullptr,
         "Track \"Track 01\" could not be encoded to \"" + folder + "\\Track 01.mp3\": the MP3 encoder failed."},
        {"dies half-way", "die-after=50000", nullptr,
         "Track \"Track 01\" could not be encoded to \"" + folder + "\\Track 01.mp3\": the MP3 encoder failed."},
        {"a missing encoder file", nullptr, "C:\\no-such-folder\\mp3enc.exe",
         "Track \"Track 01\" could not be encoded: the MP3 encoder \"C:\\no-such-folder\\mp3enc.exe\" could not be "
         "started."},
    };
    OpenOn(Disc("five-tracks"), folder);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        SetEnvironmentVariableA("FAKE_ENCODER", c.mode);
        if (c.path)
            SetValue(COMPONENT_KEY, "Path", c.path);
        CheckOnly({0, 2});
        MessageBoxCapture boxes;
        Rip();
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Error", boxes.boxes[0].caption);
        EXPECT_EQ(c.message, boxes.boxes[0].text);
        EXPECT_TRUE(Mp3Files().empty()) << "a file was left, or the rip went on";
    }
}

TEST_F(Mp3RipTest, AFailedEncodingKeepsTheEarlierFile)
{
    const std::vector<BYTE> earlier(5000, 0x55);
    {
        std::ofstream file(folder + "\\Track 01.mp3", std::ios::binary);
        file.write(reinterpret_cast<const char*>(earlier.data()), earlier.size());
    }
    OpenOn(Disc("five-tracks"), folder);
    SetEnvironmentVariableA("FAKE_ENCODER", "die-after=50000");
    CheckOnly({0});
    MessageBoxCapture boxes;
    Rip();
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(earlier, FileBytes(folder + "\\Track 01.mp3"));
    EXPECT_EQ(std::vector<std::string>({"Track 01.mp3"}), FilesInFolder()) << "a temporary file was left";
}

// The encoder dies early in track 4; a read of its last sectors would never
// complete. The rip stops at the first write that failed, so that read is
// never asked for.
TEST_F(Mp3RipTest, TheRipStopsAtTheFirstWriteTheEncoderFails)
{
    // Track 4 is sectors 135 to 209, read as 13, 27, 27 and 8 sectors, each
    // read issued before the last one's audio is written. The encoder dies
    // within the first read's audio (30576 bytes), so the write of the second
    // fails, and the rip must then not ask for the fourth, where the drive hangs.
    // A slow drive leaves the encoder's start time to die in.
    DriveConfig drive = Disc("five-tracks");
    drive.delayMs = 300;
    drive.hangLba = 205;
    OpenOn(drive, folder);
    SetEnvironmentVariableA("FAKE_ENCODER", "die-after=20000");
    CheckOnly({3});
    MessageBoxCapture boxes;
    Rip();
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(
        boxes.boxes, "Error",
        "Track \"Track 04\" could not be encoded to \"" + folder + "\\Track 04.mp3\": the MP3 encoder failed.",
        IDI_ERROR));
    EXPECT_EQ(0, io->PendingCommands()) << "the rip read on after the encoder had died";
    EXPECT_TRUE(Mp3Files().empty());
}

TEST_F(Mp3RipTest, CancelLeavesNoFileAndNoEncoder)
{
    DriveConfig slow = Disc("five-tracks");
    slow.delayMs = 40;
    OpenOn(slow, folder);
    CheckOnly({0, 1, 2});
    cancelAt = nullptr;
    cancelLine = "Loading Track 02";
    MessageBoxCapture boxes;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CancelAtTheTrack);
    Rip();
    KillTimer(nullptr, timer);
    ASSERT_NE(nullptr, cancelAt);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::vector<std::string>({"Track 01.mp3"}), Mp3Files());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int nEncoders = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        nEncoders += lstrcmpiA(entry.szExeFile, "fake_encoder.exe") == 0;
    CloseHandle(snapshot);
    EXPECT_EQ(0, nEncoders);
}

// The real encoder component, built from libmp3lame: the files it writes are
// left in the build folder, where tests/soundfile/mp3_files_decode.py decodes
// them with an independent decoder and compares them with the disc.
class RealEncoderRipTest : public RipCommandTest
{
protected:
    void SetUp() override
    {
        RipCommandTest::SetUp();
        SetValue(COMPONENT_KEY, "Path", Mp3EncoderPath().c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, MP3_SETTINGS_KEY);
        output = ProgramFolder() + "\\rip-mp3-files";
        LFile::DeleteFolderAndFiles(output.c_str());
        CreateDirectoryA(output.c_str(), nullptr);
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, MP3_SETTINGS_KEY);
        DeleteValue(COMPONENT_KEY, "Path");
        RipCommandTest::TearDown();
    }

    static constexpr const char* MP3_SETTINGS_KEY = "Software\\Talmarin\\Corvane\\MP3Encoder";
    std::string output;
};

TEST_F(RealEncoderRipTest, TracksBecomeMp3FilesAtTheirOwnRatesAndChannels)
{
    OpenOn(DemoDiscWithoutCdText(), output);
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "The Talmarin Quintet");
    SetDlgItemTextA(dialog.hWnd, IDC_ALBUM, "Demo \"Disc\"");
    MessageBoxCapture boxes;

    // The default options: VBR 32 to 128 kbit/s, 44100 Hz joint stereo.
    SetValue(SETTINGS_KEY, "OutputFormat", "MP3");
    CheckOnly({0, 2});
    Rip();

    // CBR 16 kbit/s: the converters feed the encoder mono at 22050 Hz. The same
    // track as a WAV file through the same converters is what it must sound like.
    SetValue(MP3_SETTINGS_KEY, "ConstantBitRate", "1");
    SetValue(MP3_SETTINGS_KEY, "CBRBitRate", "16");
    CheckOnly({1});
    Rip();
    SetValue(SETTINGS_KEY, "OutputFormat", "WAV");
    const std::string formatFile = WriteFormatFile({WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0});
    Rip();
    DeleteFileA(formatFile.c_str());

    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
    EXPECT_EQ(std::vector<std::string>({"Track 01.mp3", "Track 02.mp3", "Track 02.wav", "Track 03.mp3"}),
              FilesIn(output))
        << "no temporary file is left beside the files";
}

// A rip of every track of a disc that names itself (CD-Text, catalog number,
// ISRCs), with a gap and a pre-emphasised track, and with the database off,
// leaves the sheet that burns it again: the gap at the end of the previous
// track's file, where the rip put it.
TEST_F(RipCommandTest, ARipOfTheWholeDiscWritesItsCueSheet)
{
    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    OpenOn(Disc("disc-gaps"), folder);
    EXPECT_EQ("Opening", Cell(0, 0));
    CheckOnly({0, 1, 2});
    MessageBoxCapture boxes;
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(std::vector<std::string>({"Opening.wav", "The Band - The Album.cue", "Track 02.wav", "Track 03.wav"}),
              FilesInFolder());
    ExpectTrackFileIn(folder, "Opening.wav", 0, 60, "disc-gaps");
    const std::vector<BYTE> sheet = FileBytes(folder + "\\The Band - The Album.cue");
    const int32_t starts[] = {0, 60, 95, 155};
    char id[16];
    snprintf(id, sizeof(id), "%08X", CDDBDiscId(starts, 3));
    EXPECT_EQ(std::string(sheet.begin(), sheet.end()),
              std::string("REM DISCID ") + id + "\r\n"
              "REM COMMENT \"Corvane 1.32\"\r\n"
              "CATALOG 0731452918626\r\n"
              "PERFORMER \"The Band\"\r\n"
              "TITLE \"The Album\"\r\n"
              "FILE \"Opening.wav\" WAVE\r\n"
              "  TRACK 01 AUDIO\r\n"
              "    TITLE \"Opening\"\r\n"
              "    ISRC GBAYE6500001\r\n"
              "    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    TITLE \"Track 02\"\r\n"
              "    INDEX 00 00:00:40\r\n"
              "FILE \"Track 02.wav\" WAVE\r\n"
              "    INDEX 01 00:00:00\r\n"
              "FILE \"Track 03.wav\" WAVE\r\n"
              "  TRACK 03 AUDIO\r\n"
              "    TITLE \"Track 03\"\r\n"
              "    FLAGS PRE\r\n"
              "    INDEX 01 00:00:00\r\n");
    // The log names the catalog number and the pre-emphasised track.
    const std::vector<BYTE> logBytes = FileBytes(folder + "\\The Band - The Album.log");
    const std::string log(logBytes.begin(), logBytes.end());
    EXPECT_NE(std::string::npos, log.find("Catalog number: 0731452918626\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("|           95 |        154  (pre-emphasis)\r\n")) << log;
    EXPECT_EQ(std::string::npos, log.find("CD-Text:")) << log;

    // Without gap detection the gap is in the file before it all the same,
    // unmarked.
    SetValue(SETTINGS_KEY, "DetectGaps", "0");
    CheckOnly({0, 1, 2});
    Rip();
    const std::vector<BYTE> unmarked = FileBytes(folder + "\\The Band - The Album.cue");
    EXPECT_EQ(std::string::npos, std::string(unmarked.begin(), unmarked.end()).find("INDEX 00"));
    // A rip of part of the disc describes no disc: no sheet, the older one stays.
    CheckOnly({0});
    Rip();
    EXPECT_EQ(unmarked, FileBytes(folder + "\\The Band - The Album.cue"));
    DeleteValue(SETTINGS_KEY, "DetectGaps");
}

// Audio before track 1 is a hidden track: a row of its own above track 1,
// left unchecked; ripped, it is the file "00 - ..." that holds track 1's index
// 0 in the sheet. Not ripped, or silent, it is track 1's PREGAP.
TEST_F(RipCommandTest, AudioBeforeTrackOneIsAHiddenTrackOfItsOwn)
{
    // The whole rip is kept in the build folder, where
    // tests/app/cue_sheets_read_back.py reads its sheet back against the image.
    const std::string kept = ProgramFolder() + "\\rip-hidden-track";
    LFile::DeleteFolderAndFiles(kept.c_str());
    CreateDirectoryA(kept.c_str(), nullptr);
    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    OpenOn(Disc("hidden-track-one"), kept);
    ASSERT_EQ(4, dialog.Tracks.RowCount());
    EXPECT_EQ("Hidden Track", Cell(0, 0));
    EXPECT_EQ("0:01", Cell(0, 1));
    EXPECT_EQ("Track 01", Cell(1, 0));
    EXPECT_EQ(std::vector<bool>({false, true, true, true}), Checks());
    const int32_t starts[] = {100, 140, 195, 255};
    char id[16];
    snprintf(id, sizeof(id), "%08X", CDDBDiscId(starts, 3));
    const std::string sheetStart = std::string("REM DISCID ") + id + "\r\nREM COMMENT \"Corvane 1.32\"\r\n";
    // Track 3's gap of 20 sectors ends track 2's file of 55.
    const std::string tracksTwoAndThree = "FILE \"Track 02.wav\" WAVE\r\n"
                                          "  TRACK 02 AUDIO\r\n"
                                          "    TITLE \"Track 02\"\r\n"
                                          "    INDEX 01 00:00:00\r\n"
                                          "  TRACK 03 AUDIO\r\n"
                                          "    TITLE \"Track 03\"\r\n"
                                          "    INDEX 00 00:00:35\r\n"
                                          "FILE \"Track 03.wav\" WAVE\r\n"
                                          "    INDEX 01 00:00:00\r\n";
    MessageBoxCapture boxes;
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(std::vector<std::string>({"Audio CD.cue", "Track 01.wav", "Track 02.wav", "Track 03.wav"}),
              FilesIn(kept));
    ExpectTrackFileIn(kept, "Track 01.wav", 100, 40, "hidden-track-one");
    std::vector<BYTE> sheet = FileBytes(kept + "\\Audio CD.cue");
    EXPECT_EQ(sheetStart +
                  "FILE \"Track 01.wav\" WAVE\r\n"
                  "  TRACK 01 AUDIO\r\n"
                  "    TITLE \"Track 01\"\r\n"
                  "    PREGAP 00:01:25\r\n"
                  "    INDEX 01 00:00:00\r\n" +
                  tracksTwoAndThree,
              std::string(sheet.begin(), sheet.end()));

    CheckOnly({0, 1, 2, 3});
    Rip();
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(std::vector<std::string>(
                  {"00 - Hidden Track.wav", "Audio CD.cue", "Track 01.wav", "Track 02.wav", "Track 03.wav"}),
              FilesIn(kept));
    ExpectTrackFileIn(kept, "00 - Hidden Track.wav", 0, 100, "hidden-track-one");
    ExpectTrackFileIn(kept, "Track 01.wav", 100, 40, "hidden-track-one");
    ExpectTrackFileIn(kept, "Track 02.wav", 140, 55, "hidden-track-one");
    sheet = FileBytes(kept + "\\Audio CD.cue");
    EXPECT_EQ(sheetStart +
                  "FILE \"00 - Hidden Track.wav\" WAVE\r\n"
                  "  TRACK 01 AUDIO\r\n"
                  "    TITLE \"Track 01\"\r\n"
                  "    INDEX 00 00:00:00\r\n"
                  "FILE \"Track 01.wav\" WAVE\r\n"
                  "    INDEX 01 00:00:00\r\n" +
                  tracksTwoAndThree,
              std::string(sheet.begin(), sheet.end()));
    // The log counts it as track 0.
    const std::vector<BYTE> log = FileBytes(kept + "\\Audio CD.log");
    EXPECT_NE(std::string::npos, std::string(log.begin(), log.end()).find("Track  0\r\n\r\n     Filename "));
    EXPECT_NE(std::string::npos, std::string(log.begin(), log.end()).find("00 - Hidden Track.wav"));
}

TEST_F(RipCommandTest, SilenceBeforeTrackOneIsOnlyItsPregap)
{
    SetValue(SETTINGS_KEY, "UseCDDB", "0");
    OpenOn(Disc("silent-pregap-one"), folder);
    ASSERT_EQ(3, dialog.Tracks.RowCount());
    EXPECT_EQ("Track 01", Cell(0, 0));
    EXPECT_EQ(std::vector<bool>({true, true, true}), Checks());
    Rip();
    ASSERT_EQ(std::vector<std::string>({"Audio CD.cue", "Track 01.wav", "Track 02.wav", "Track 03.wav"}),
              FilesInFolder());
    ExpectTrackFileIn(folder, "Track 01.wav", 0, 40, "silent-pregap-one");
    const std::vector<BYTE> sheet = FileBytes(folder + "\\Audio CD.cue");
    const std::string text(sheet.begin(), sheet.end());
    EXPECT_NE(std::string::npos, text.find("  TRACK 01 AUDIO\r\n"
                                           "    TITLE \"Track 01\"\r\n"
                                           "    PREGAP 00:00:33\r\n"
                                           "    INDEX 01 00:00:00\r\n"))
        << text;
}

// A database entry in UTF-8 under the Western code page: the window and the
// file names show what the code page has of it (its accented letters as the
// window's cleaning of names leaves them, "_" for the rest), and the tags, ID3
// (through the real encoder) and FLAC, carry every character.
class Utf8NamesRipTest : public RipCommandTest
{
protected:
    void SetUp() override
    {
        RipCommandTest::SetUp();
        SetValue(COMPONENT_KEY, "Path", Mp3EncoderPath().c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Talmarin\\Corvane\\MP3Encoder");
        entries = std::string(CDDB_TEST_FOLDER) + "/utf8-entries";
        LFile::DeleteFolderAndFiles(WindowsPath(entries + "/rock").c_str());
        CreateDirectoryA(WindowsPath(CDDB_TEST_FOLDER).c_str(), nullptr);
        CreateDirectoryA(WindowsPath(entries).c_str(), nullptr);
        CreateDirectoryA(WindowsPath(entries + "/rock").c_str(), nullptr);
    }
    void TearDown() override
    {
        RipCommandTest::TearDown();
        server.reset();
        DeleteValue(COMPONENT_KEY, "Path");
        SetValue(SETTINGS_KEY, "CDDBServer", "127.0.0.1:1");
    }

    // Every query is answered with this entry, written as UTF-8.
    void Serve(const std::vector<std::string>& lines)
    {
        FILE* file = fopen(WindowsPath(entries + "/rock/00000001").c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fprintf(file, "# xmcd\r\nDISCID=00000001\r\n");
        for (const std::string& line : lines)
            fprintf(file, "%s\r\n", line.c_str());
        fclose(file);
        server = std::make_unique<LocalCDDBServer>(entries, "--match-all 00000001");
        ASSERT_NE(0, server->port);
        SetValue(SETTINGS_KEY, "CDDBServer", server->Server().c_str());
    }

    static bool Holds(const std::vector<BYTE>& bytes, const std::string& wanted)
    {
        return std::string(bytes.begin(), bytes.end()).find(wanted) != std::string::npos;
    }

    // An ID3v2 text frame's text in UTF-16 with its byte order mark, little-endian.
    static std::string Utf16Frame(const std::wstring& text)
    {
        std::string bytes = "\x01\xFF\xFE";
        for (wchar_t c : text)
        {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>((c >> 8) & 0xFF);
        }
        return bytes;
    }

    std::string entries;
    std::unique_ptr<LocalCDDBServer> server;
};

TEST_F(Utf8NamesRipTest, TheWindowAndFileNamesShowTheCodePageTheTagsEveryCharacter)
{
    // Caf\u00e9 M\u00fcller / \u0421\u0442\u0440\u0430\u043d\u0430 \u65e5\u672c;
    // \u00dcber Stra\u00dfe, \u0414\u043e\u043c, \u97f3\u697d: Fa/Mi.
    Serve({"DTITLE=Caf\xC3\xA9 M\xC3\xBCller / \xD0\xA1\xD1\x82\xD1\x80\xD0\xB0\xD0\xBD\xD0\xB0 \xE6\x97\xA5\xE6\x9C\xAC",
           "TTITLE0=\xC3\x9C" "ber Stra\xC3\x9F" "e", "TTITLE1=\xD0\x94\xD0\xBE\xD0\xBC",
           "TTITLE2=\xE9\x9F\xB3\xE6\xA5\xBD: Fa/Mi"});
    OpenOn(Disc("three-tracks"), folder);
    EXPECT_EQ("Caf Mller", Text(IDC_ARTIST));
    EXPECT_EQ("______ __", Text(IDC_ALBUM));
    EXPECT_EQ("ber Strae", Cell(0, 0));
    EXPECT_EQ("___", Cell(1, 0));
    EXPECT_EQ("__ FaMi", Cell(2, 0));

    MessageBoxCapture boxes;
    SetValue(SETTINGS_KEY, "OutputFormat", "MP3");
    Rip();
    SetValue(SETTINGS_KEY, "OutputFormat", "FLAC");
    Rip();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
    EXPECT_EQ(std::vector<std::string>({"Caf Mller - __ FaMi.flac", "Caf Mller - __ FaMi.mp3", "Caf Mller - ___.flac",
                                        "Caf Mller - ___.mp3", "Caf Mller - ______ __.cue",
                                        "Caf Mller - ber Strae.flac", "Caf Mller - ber Strae.mp3"}),
              FilesInFolder());

    const struct
    {
        const char* file;
        const char* title;
        std::wstring wideTitle;
    } tracks[] = {
        {"Caf Mller - ber Strae", "\xC3\x9C" "ber Stra\xC3\x9F" "e", L"\u00dc" L"ber Stra\u00df" L"e"},
        {"Caf Mller - ___", "\xD0\x94\xD0\xBE\xD0\xBC", L"\u0414\u043e\u043c"},
        {"Caf Mller - __ FaMi", "\xE9\x9F\xB3\xE6\xA5\xBD: Fa/Mi", L"\u97f3\u697d: Fa/Mi"},
    };
    for (const auto& t : tracks)
    {
        SCOPED_TRACE(t.file);
        const std::vector<BYTE> flac = FileBytes(folder + "\\" + t.file + ".flac");
        const std::vector<BYTE> mp3 = FileBytes(folder + "\\" + t.file + ".mp3");
        EXPECT_TRUE(Holds(flac, std::string("TITLE=") + t.title));
        EXPECT_TRUE(Holds(flac, "ARTIST=Caf\xC3\xA9 M\xC3\xBCller"));
        EXPECT_TRUE(Holds(flac, "ALBUM=\xD0\xA1\xD1\x82\xD1\x80\xD0\xB0\xD0\xBD\xD0\xB0 \xE6\x97\xA5\xE6\x9C\xAC"));
        ASSERT_GT(mp3.size(), 10u);
        EXPECT_EQ(0, memcmp(mp3.data(), "ID3\x03", 4)) << "an ID3v2.3 tag";
        // Latin-1 says all of a text that needs no more; UTF-16 the rest.
        const bool bLatin1 = std::all_of(t.wideTitle.begin(), t.wideTitle.end(), [](wchar_t c) { return c < 0x100; });
        std::string latin1;
        for (wchar_t c : t.wideTitle)
            latin1 += static_cast<char>(c);
        EXPECT_TRUE(bLatin1 ? Holds(mp3, "TIT2") && Holds(mp3, std::string(1, '\0') + latin1)
                            : Holds(mp3, Utf16Frame(t.wideTitle)));
        EXPECT_TRUE(Holds(mp3, std::string("\0Caf\xE9 M\xFCller", 12)));
        EXPECT_TRUE(Holds(mp3, Utf16Frame(L"\u0421\u0442\u0440\u0430\u043d\u0430 \u65e5\u672c")));
    }
}

// FLAC mode. The demo disc's files are left in the build folder, where
// tests/app/rip_flac_files_decode.py decodes them with Debian's flac and lists
// their tags with metaflac.
class FlacRipTest : public RipCommandTest
{
protected:
    void SetUp() override
    {
        RipCommandTest::SetUp();
        SetValue(SETTINGS_KEY, "OutputFormat", "FLAC");
    }
};

TEST_F(FlacRipTest, TheDiscBecomesFlacFilesWithItsTagsUnderTheNamesAsTyped)
{
    const std::string output = ProgramFolder() + "\\rip-flac-files";
    LFile::DeleteFolderAndFiles(output.c_str());
    CreateDirectoryA(output.c_str(), nullptr);
    OpenOn(DemoDiscWithoutCdText(), output);
    // Letters of the program's code page, which the tags carry as UTF-8.
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "Caf\xE9 M\xFCller");
    SetDlgItemTextA(dialog.hWnd, IDC_ALBUM, "Stra\xDF" "e");
    SetRowText(0, "\xDC" "ber Stra\xDF" "e");
    SetValue(SETTINGS_KEY, "UseCDDB", "0");  // the file name is the row's text alone
    // The year and genre as the database's DYEAR and DGENRE give them.
    CopyText(dialog.CDDBInfo.szYear, "2026");
    CopyText(dialog.CDDBInfo.szGenre, "Instrumental");
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_SELECT_ALL, 0);
    MessageBoxCapture boxes;
    Rip();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
    EXPECT_EQ(std::vector<std::string>(
                  {"Caf Mller - Strae.cue", "Track 02.flac", "Track 03.flac", "Track 04.flac", "Track 05.flac",
                   "\xDC" "ber Stra\xDF" "e.flac"}),
              FilesIn(output))
        << "no temporary file is left beside the files";
}

TEST_F(FlacRipTest, CancelLeavesNoPartOfTheTrack)
{
    DriveConfig slow = Disc("five-tracks");
    slow.delayMs = 40;
    OpenOn(slow, folder);
    CheckOnly({0, 1, 2});
    cancelAt = nullptr;
    cancelLine = "Loading Track 02";
    MessageBoxCapture boxes;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CancelAtTheTrack);
    Rip();
    KillTimer(nullptr, timer);
    ASSERT_NE(nullptr, cancelAt);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(std::vector<std::string>({"Track 01.flac"}), FilesInFolder());
    EXPECT_EQ(0, memcmp(FileBytes(folder + "\\Track 01.flac").data(), "fLaC", 4));
}

TEST_F(RipCommandTest, NoNameBecomesADeviceOrAStream)
{
    const struct
    {
        const char* typedRow;
        const char* artist;
        const char* useCDDB;
        const char* file;
    } cases[] = {
        {"nul", "", "0", "nul_.wav"},
        {"Con.wav", "", "0", "Conwav.wav"},
        {"COM1", "", "0", "COM1_.wav"},
        {"lpt1  ", "", "0", "lpt1_.wav"},
        {"Intro", "a:b", "1", "ab - Intro.wav"},
        {"Intro", "Live\\At/Home", "1", "LiveAtHome - Intro.wav"},
    };
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        SetValue(SETTINGS_KEY, "UseCDDB", c.useCDDB);
        RenameRow(0, c.typedRow);
        SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, c.artist);
        Rip();
        EXPECT_EQ(std::vector<std::string>({c.file}), FilesInFolder());
        ExpectTrackFile(c.file, 0, 60);
        EXPECT_EQ(c.artist, Text(IDC_ARTIST)) << "the field keeps what the user typed";
        DeleteFileA((folder + "\\" + c.file).c_str());
    }
}

} // namespace
