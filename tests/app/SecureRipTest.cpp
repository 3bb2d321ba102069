// Rips through the main window from drives with the faults of real ones, in
// secure and burst mode, with the drive's read offset corrected: each file
// against the disc image bit for bit, the drive's read counts, the status
// column, the log and the message at the end.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "app/MainDialogFixture.h"
#include "app/RipReading.h"
#include "cdrom/VirtualDiscFiles.h"
#include "files/Crc.h"
#include "files/LFile.h"
#include "ui/MessageBoxCapture.h"

namespace {

// secure-rip: three tracks of 3000, 2000 and 3000 sectors, enough for the
// cache defeat to read far from any one track.
const char* const DISC = "secure-rip";
const int32_t STARTS[] = {0, 3000, 5000, 8000};
const int32_t LEAD_OUT = 8000;
const char* const DRIVES_KEY = "Software\\Talmarin\\Corvane\\Drives";
const char* const DRIVE_NAME = "CORVANE  - VIRTUAL DRIVE";

class SecureRipTest : public MainDialogTest
{
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "corvane-secure-rip";
        LFile::DeleteFolderAndFiles(folder.c_str());
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        for (const char* name : {"ReadMode", "Overread"})
            DeleteValue(SETTINGS_KEY, name);
        DeleteValue(DRIVES_KEY, DRIVE_NAME);
        LFile::DeleteFolderAndFiles(folder.c_str());
    }

    void RipTracks(const DriveConfig& drive, std::initializer_list<int> rows)
    {
        io->AddDrive('D', DRIVE_CDROM, drive);
        Open();
        SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, folder.c_str());
        for (int i = 0; i < dialog.Tracks.RowCount(); ++i)
            dialog.Tracks.SetRowChecked(i, std::find(rows.begin(), rows.end(), i) != rows.end());
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_RIP, 0);
        Pump();
    }

    std::string TrackFile(int row) const { return folder + "\\Track 0" + std::to_string(row + 1) + ".wav"; }
    std::string Log() const
    {
        const std::vector<unsigned char> bytes = FileBytes(folder + "\\Audio CD.log");
        return std::string(bytes.begin(), bytes.end());
    }

    std::string folder;
};

// The track's PCM as a corrected rip must give it: the image's, but silence
// where the drive would have to be read off the disc and is not.
std::vector<BYTE> Expected(int row, int32_t correction, bool bOverread)
{
    std::vector<BYTE> pcm = ImageSectors(DISC, STARTS[row], STARTS[row + 1] - STARTS[row]);
    for (size_t i = 0; i < pcm.size() / 4; ++i)
    {
        const int64_t driveFrame = (int64_t(STARTS[row]) * 588 + int64_t(i)) + correction;
        const int64_t sector = driveFrame >= 0 ? driveFrame / 588 : -((-driveFrame + 587) / 588);
        if (!bOverread && (sector < 0 || sector >= LEAD_OUT))
            std::fill(pcm.begin() + i * 4, pcm.begin() + i * 4 + 4, BYTE(0));
    }
    return pcm;
}

std::vector<BYTE> Audio(const std::string& path)
{
    const std::vector<unsigned char> bytes = FileBytes(path);
    return bytes.size() < 46 ? std::vector<BYTE>() : std::vector<BYTE>(bytes.begin() + 46, bytes.end());
}

std::string Hex(uint32_t crc)
{
    char text[16];
    wsprintfA(text, "%08X", crc);
    return text;
}

// One drive, one rip: what the user sets, what the drive does, and what the
// rip must give.
struct DriveCase
{
    const char* name;
    std::function<void(DriveConfig&)> drive;
    bool bSecure;
    int32_t correction;
    bool bOverread;
    int row;
    const char* status;
    bool bExact;                 // the file is the disc's audio (with the correction's silence)
    const char* logLine;         // a line the track's part of the log holds
    std::vector<int32_t> wrong = {};  // sectors whose audio the file holds wrong, when not exact
};

const DriveCase CASES[] = {
        {"clean", [](DriveConfig&) {}, true, 0, false, 1, "Copy OK", true, "Copy OK"},
        {"flip_transient, honest C2", [](DriveConfig& d) { d.flipTransient = {3500, 3519}; }, true, 0, false, 1,
         "Copy OK", true, "Copy OK"},
        {"flip_transient, false C2",
         [](DriveConfig& d) {
             d.flipTransient = {3500, 3519};
             d.c2 = C2Mode::False;
         },
         true, 0, false, 1, "Copy OK", true, "Copy OK"},
        // Two reads agree on the wrong samples and nothing flags them: the
        // rip can only say the drive read them the same way twice, and the
        // log says that this is all "Copy OK" proves.
        {"flip, false C2",
         [](DriveConfig& d) {
             d.flip = {3500, 3502};
             d.c2 = C2Mode::False;
         },
         true, 0, false, 1, "Copy OK", false, "not that the data is right", {3500, 3501, 3502}},
        {"flip, honest C2", [](DriveConfig& d) { d.flip = {3500, 3502}; }, true, 0, false, 1, "Suspicious", false,
         "Suspicious positions: 0:06.50-0:06.52", {3500, 3501, 3502}},
        // A cached re-read would agree with the first, wrong, copy.
        {"cache=1200, flip_transient",
         [](DriveConfig& d) {
             d.cache = 1200;
             d.flipTransient = {3500, 3519};
         },
         true, 0, false, 1, "Copy OK", true, "Copy OK"},
        // Every read lands up to 8 frames off: the reads overlap and are
        // placed by their audio before they are compared.
        {"jitter=8", [](DriveConfig& d) { d.jitter = 8; }, true, 0, false, 1, "Copy OK", true, "Copy OK"},
        {"unreadable", [](DriveConfig& d) { d.unreadable = {3600, 3601}; }, true, 0, false, 1, "Read error", false,
         "Read error at 0:08.00-0:08.01 (written as silence)", {3600, 3601}},
        {"offset=+667, secure", [](DriveConfig& d) { d.offset = 667; }, true, 667, false, 2, "Copy OK", true,
         "Copy OK"},
        {"offset=+667, burst", [](DriveConfig& d) { d.offset = 667; }, false, 667, false, 2, "Ripped", true, "Ripped"},
        {"offset=+667, overread, burst",
         [](DriveConfig& d) {
             d.offset = 667;
             d.bOverread = true;
         },
         false, 667, true, 2, "Ripped", true, "Ripped"},
        {"offset=-1164, secure", [](DriveConfig& d) { d.offset = -1164; }, true, -1164, false, 0, "Copy OK", true,
         "Copy OK"},
        {"offset=-1164, overread, secure",
         [](DriveConfig& d) {
             d.offset = -1164;
             d.bOverread = true;
         },
         true, -1164, true, 0, "Copy OK", true, "Copy OK"},
        {"offset=-1164, burst", [](DriveConfig& d) { d.offset = -1164; }, false, -1164, false, 0, "Ripped", true,
         "Ripped"},
};

class SecureRipDrives : public SecureRipTest, public ::testing::WithParamInterface<DriveCase>
{
};

TEST_P(SecureRipDrives, GiveTheDiscsAudioOrSayWhereNot)
{
    const DriveCase& c = GetParam();
    SCOPED_TRACE(c.name);
    {
        SetValue(SETTINGS_KEY, "ReadMode", c.bSecure ? "Secure" : "Burst");
        SetValue(SETTINGS_KEY, "Overread", c.bOverread ? "1" : "0");
        SetValue(DRIVES_KEY, DRIVE_NAME, std::to_string(c.correction).c_str());
        DriveConfig drive = Disc(DISC);
        c.drive(drive);
        MessageBoxCapture boxes;
        RipTracks(drive, {c.row});

        EXPECT_EQ(c.status, Cell(c.row, 2));
        const std::vector<BYTE> audio = Audio(TrackFile(c.row));
        const std::vector<BYTE> expected = Expected(c.row, c.correction, c.bOverread);
        ASSERT_EQ(expected.size(), audio.size());
        std::vector<int32_t> wrong;
        for (size_t s = 0; s < audio.size() / 2352; ++s)
            if (memcmp(audio.data() + s * 2352, expected.data() + s * 2352, 2352) != 0)
                wrong.push_back(STARTS[c.row] + int32_t(s));
        EXPECT_EQ(c.bExact ? std::vector<int32_t>() : c.wrong, wrong) << "sectors not the disc's";
        if (c.status == std::string("Read error"))
        {
            for (int32_t s : c.wrong)
            {
                EXPECT_TRUE(std::all_of(audio.begin() + (s - STARTS[c.row]) * 2352,
                                        audio.begin() + (s - STARTS[c.row] + 1) * 2352, [](BYTE b) { return b == 0; }))
                    << "sector " << s << " is not silence";
            }
        }

        const std::string log = Log();
        EXPECT_NE(std::string::npos, log.find(DRIVE_NAME)) << log;
        EXPECT_NE(std::string::npos, log.find(std::string("Read mode: ") + (c.bSecure ? "Secure" : "Burst")));
        char correction[64];
        wsprintfA(correction, "Read offset correction: %s%d", c.correction >= 0 ? "+" : "", int(c.correction));
        EXPECT_NE(std::string::npos, log.find(correction)) << log;
        EXPECT_NE(std::string::npos, log.find(c.logLine)) << log;
        const uint32_t crc = Crc32(0, audio.data(), audio.size());
        EXPECT_NE(std::string::npos, log.find("Copy CRC " + Hex(crc))) << log;
        // The first pass read what the drive gave first: right only on a
        // drive without faults.
        if (c.bSecure && c.bExact && std::string(c.name).find("flip") == std::string::npos)
        {
            EXPECT_NE(std::string::npos, log.find("Test CRC " + Hex(crc))) << "test and copy CRC differ";
        }

        // A plain secure rip reads each sector twice (the first once more:
        // the drive is asked there for its C2 pointers); flipped sectors
        // cost re-reads of themselves only. (A jittering drive is read
        // again with overlaps, once the first window shows it.)
        if (c.bSecure && c.bExact && c.correction == 0)
        {
            for (int32_t s = STARTS[c.row] + 1; s < STARTS[c.row + 1]; ++s)
            {
                const bool bFlipped = s >= 3500 && s <= 3519 && std::string(c.name).find("flip") != std::string::npos;
                const SectorReadCount count = io->ReadCount('D', s);
                if (!bFlipped && std::string(c.name) != "jitter=8")
                {
                    ASSERT_EQ(2u, count.physical) << "sector " << s;
                }
                ASSERT_EQ(0u, count.cached) << "sector " << s << " came from the cache";
            }
        }

        if (c.status == std::string("Suspicious") || c.status == std::string("Read error"))
        {
            ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes.boxes, "Corvane",
                                                 std::string("Some tracks could not be copied exactly: Track 0")
                                                     + std::to_string(c.row + 1) + " (" + c.status
                                                     + "). Their positions are in the log \"" + folder
                                                     + "\\Audio CD.log\".",
                                                 IDI_WARNING));
        }
        else
            EXPECT_TRUE(boxes.boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SecureRipDrives, ::testing::ValuesIn(CASES));

// The other tracks of a rip with a read error are whole, and the log ends
// with a summary of all of them.
TEST_F(SecureRipTest, AReadErrorLeavesTheOtherTracksIntact)
{
    SetValue(SETTINGS_KEY, "ReadMode", "Secure");
    DriveConfig drive = Disc(DISC);
    drive.unreadable = {3600, 3600};
    MessageBoxCapture boxes;
    RipTracks(drive, {0, 1});
    EXPECT_EQ("Copy OK", Cell(0, 2));
    EXPECT_EQ("Read error", Cell(1, 2));
    EXPECT_TRUE(Audio(TrackFile(0)) == Expected(0, 0, false));
    EXPECT_EQ(1u, boxes.boxes.size());
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("1 of 2 tracks copied OK, 0 ripped, 0 suspicious, 1 with read errors"))
        << log;
}

// A drive found to misplace its reads on one track is read with overlaps from
// the start of the next: its first window is not read the steady way first.
TEST_F(SecureRipTest, ADriveThatJittersIsRememberedForTheNextTrack)
{
    SetValue(SETTINGS_KEY, "ReadMode", "Secure");
    DriveConfig drive = Disc(DISC);
    drive.jitter = 8;
    MessageBoxCapture boxes;
    RipTracks(drive, {1, 2});
    EXPECT_EQ("Copy OK", Cell(1, 2));
    EXPECT_EQ("Copy OK", Cell(2, 2));
    EXPECT_TRUE(Audio(TrackFile(1)) == Expected(1, 0, false));
    EXPECT_TRUE(Audio(TrackFile(2)) == Expected(2, 0, false));
    // Two passes of reads a sector longer than asked and overlapping, and a
    // few hundred one-sector reads to place them; the steady passes would
    // add three reads a sector.
    uint64_t reads = 0;
    for (int32_t s = STARTS[2]; s < STARTS[3]; ++s)
        reads += io->ReadCount('D', s).physical;
    EXPECT_LT(double(reads) / (STARTS[3] - STARTS[2]), 3.5);
    EXPECT_TRUE(boxes.boxes.empty());
}

// Cancel while sectors are read again: the window answers at once, no file
// of the track is left, and the log says the rip was cancelled.
TEST_F(SecureRipTest, CancelDuringTheReReadsLeavesNoFileAndALogThatSaysSo)
{
    SetValue(SETTINGS_KEY, "ReadMode", "Secure");
    DriveConfig drive = Disc(DISC);
    drive.flip = {3500, 3500};  // with honest C2: every re-read is flagged, all 16 are made
    int nCallsAtCancel = -1;
    DWORD cancelTick = 0;
    io->onIssue = [&](int) {
        if (nCallsAtCancel < 0 && io->ReadCount('D', 3500).physical >= 4)
        {
            HWND progress = FindWindowA("#32770", "Extract CD Track(s)");
            if (!progress)
                return;
            nCallsAtCancel = io->nControlCalls;
            cancelTick = GetTickCount();
            PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
        }
    };
    MessageBoxCapture boxes;
    RipTracks(drive, {1, 2});
    const DWORD tookMs = GetTickCount() - cancelTick;
    io->onIssue = nullptr;
    ASSERT_GE(nCallsAtCancel, 0) << "the re-reads never came";
    EXPECT_LT(tookMs, 1000u) << "Cancel took more than a second";
    EXPECT_LT(io->ReadCount('D', 3500).physical, 18u) << "the re-reads ran to their end";
    EXPECT_TRUE(boxes.boxes.empty()) << "a cancel shows nothing";
    std::vector<std::string> left;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                left.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(std::vector<std::string>({"Audio CD.log"}), left);
    EXPECT_EQ("Cancelled", Cell(1, 2));
    EXPECT_EQ("", Cell(2, 2));
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("Cancelled: no file was kept")) << log;
    EXPECT_NE(std::string::npos, log.find("Cancelled after 0 of 2 tracks")) << log;
}

} // namespace
