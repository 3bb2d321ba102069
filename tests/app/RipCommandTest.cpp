// The Rip command of the main window against virtual drives: the files it
// writes, compared with the disc image, and every way it stops.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "app/MainDialogFixture.h"
#include "files/LFile.h"
#include "setup/InstallFolder.h"
#include "ui/MessageBoxCapture.h"

namespace {

const char* const COMPONENT_KEY = "Software\\Talmarin\\Components\\mp3el";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        for (const char* name : {"FileNameNoAlbum", "FileNameIncludeAlbum", "OutputFormat"})
            DeleteSetting(name);
        LFile::DeleteFolderAndFiles((folder + "\\new").c_str());
        LFile::DeleteFolderAndFiles(folder.c_str());
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
        for (int i = 0; i < dialog.RowCount(); ++i)
            dialog.SetRowChecked(i, std::find(rows.begin(), rows.end(), i) != rows.end());
    }

    std::vector<std::string> FilesInFolder() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    // The file holds the 46-byte header and then exactly the track's sectors.
    void ExpectTrackFile(const std::string& name, long firstSector, int nSectors) const
    {
        SCOPED_TRACE(name);
        const std::vector<BYTE> bytes = FileBytes(folder + "\\" + name);
        ASSERT_EQ(46u + static_cast<size_t>(nSectors) * 2352, bytes.size());
        EXPECT_EQ(0, memcmp(bytes.data(), "RIFF", 4));
        const uint32_t dataSize = bytes[42] | bytes[43] << 8 | bytes[44] << 16 | static_cast<uint32_t>(bytes[45]) << 24;
        EXPECT_EQ(static_cast<uint32_t>(nSectors) * 2352, dataSize);
        EXPECT_TRUE(std::vector<BYTE>(bytes.begin() + 46, bytes.end()) == ImageSectors("five-tracks", firstSector, nSectors))
            << "the audio is not the disc's, bit for bit";
    }

    std::string folder;
};

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
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Corvane", boxes.boxes[0].caption);
        EXPECT_EQ(IDI_QUESTION, boxes.boxes[0].icon);
        EXPECT_EQ("The folder \"" + created + "\" does not exist. Do you want to create it now?", boxes.boxes[0].text);
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
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("No Tracks Selected", boxes.boxes[0].caption);
    EXPECT_EQ("There is nothing to rip - no tracks have been selected.", boxes.boxes[0].text);
    EXPECT_EQ(IDI_ERROR, boxes.boxes[0].icon);
    EXPECT_TRUE(FilesInFolder().empty());
}

HWND cancelAt = nullptr;

void CALLBACK CancelTheThirdTrack(HWND, UINT, UINT_PTR, DWORD)
{
    HWND progress = FindWindowA("#32770", "Extract CD Track(s)");
    char line[TEXT_BUFFER_SIZE] = "";
    GetDlgItemTextA(progress, IDC_PROGRESS_LINE0, line, sizeof(line));
    if (progress && !lstrcmpA(line, "Loading Track 03") && cancelAt != progress)
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
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CancelTheThirdTrack);
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
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Error", boxes.boxes[0].caption);
        EXPECT_EQ("Track \"Track 02\" could not be read from the CD.", boxes.boxes[0].text);
        EXPECT_EQ(IDI_ERROR, boxes.boxes[0].icon);
        EXPECT_EQ(std::vector<std::string>({"Track 01.wav"}), FilesInFolder());
    }
    // The artist reaches the path as typed: "a/b" asks for a folder "a" that is not there.
    DeleteFileA((folder + "\\Track 01.wav").c_str());
    SetDlgItemTextA(dialog.hWnd, IDC_ARTIST, "a/b");
    SetRowText(0, "Intro");
    CheckOnly({0, 2});
    {
        MessageBoxCapture boxes;
        Rip();
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Error", boxes.boxes[0].caption);
        EXPECT_EQ("Unable to create the file \"" + folder + "\\a/b - Intro.wav\".", boxes.boxes[0].text);
        EXPECT_TRUE(FilesInFolder().empty()) << "the rip went on after the failed track";
    }
}

TEST_F(RipCommandTest, ASavedWaveFormatGetsItsRateAndChannelsThroughTheConverters)
{
    char formatFile[TEXT_BUFFER_SIZE];
    GetInstallProgramFilesPath(formatFile);
    LFile::FilePathCat(formatFile, "WavCodec.wff");
    const WAVEFORMATEX mono22k = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    {
        std::ofstream file(formatFile, std::ios::binary);
        file.write(reinterpret_cast<const char*>(&mono22k), sizeof(mono22k));
    }
    OpenOn(Disc("five-tracks"), folder);
    CheckOnly({0});
    Rip();
    DeleteFileA(formatFile);
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

} // namespace
