// Rips through the main window checked against the local AccurateRip
// database (tests/cdrom/accuraterip-server.py) serving entries made on their
// own from the disc image (accuraterip_entry.py): the status column, the log
// and the message at the end, and the reads a database that confirms a track
// saves secure mode.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "LocalServer.h"
#include "WindowsPath.h"
#include "app/DialogScript.h"
#include "app/MainDialogFixture.h"
#include "app/RipReading.h"
#include "cdrom/VirtualDiscFiles.h"
#include "files/LFile.h"
#include "ui/MessageBoxCapture.h"

namespace {

// secure-rip: three tracks of 3000, 2000 and 3000 sectors.
const char* const DISC = "secure-rip";
const int32_t STARTS[] = {0, 3000, 5000, 8000};
const char* const DRIVES_KEY = "Software\\Talmarin\\Corvane\\Drives";
const char* const DRIVE_NAME = "CORVANE  - VIRTUAL DRIVE";

class LocalAccurateRipServer : public LocalServer
{
public:
    // `root`: below ACCURATERIP_TEST_FOLDER, the folder of entries it serves;
    // `options`: more of the server's options, e.g. "--silent".
    explicit LocalAccurateRipServer(const std::string& root, const std::string& options = "")
        : LocalServer(NextPortFile())
    {
        Start(ACCURATERIP_SERVER_SCRIPT, "--root " + std::string(ACCURATERIP_TEST_FOLDER) + "/" + root + " " + options);
    }

private:
    static std::string NextPortFile()
    {
        static int nStarted = 0;
        return std::string(ACCURATERIP_TEST_FOLDER) + "/server-" + std::to_string(GetCurrentProcessId()) + "-"
               + std::to_string(++nStarted) + ".port";
    }
};

struct AccurateRipCase
{
    const char* name;
    const char* disc;
    const char* root;  // the entries served; nullptr: a server that was stopped
    bool bSecure;
    std::function<void(DriveConfig&)> drive;
    std::vector<std::string> statuses;  // rows 0, 1, 2
    // Secure: how often each row's sectors are read (the first track's first
    // sector once more: the drive is asked there for its C2 pointers); 0: not
    // checked (a full secure read reads other tracks to defeat the cache).
    std::vector<uint32_t> reads;
    const char* message;  // the warning at the end, "" for none
    const char* serverOptions = "";  // how the server misbehaves
};

const char* const ACCURATE = "Accurate (confidence 5)";
const char* const CHANGED = "Not accurate (8 other rips differ)";

const AccurateRipCase CASES[] = {
        {"clean, burst", DISC, "confirmed", false, [](DriveConfig&) {}, {ACCURATE, ACCURATE, ACCURATE}, {}, ""},
        {"one track changed, burst", DISC, "changed", false, [](DriveConfig&) {}, {ACCURATE, CHANGED, ACCURATE}, {},
         "Some tracks do not match the AccurateRip database: Track 02 (8 other rips differ). Their files were kept; "
         "the checksums are in the log"},
        {"not in database", "three-tracks", "confirmed", false, [](DriveConfig&) {},
         {"Not in database", "Not in database", "Not in database"}, {}, ""},
        {"server stopped", DISC, nullptr, false, [](DriveConfig&) {},
         {"Database not reached", "Database not reached", "Database not reached"}, {}, ""},
        {"a page for a missing entry", "three-tracks", "confirmed", false, [](DriveConfig&) {},
         {"Not in database", "Not in database", "Not in database"}, {}, "", "--html"},
        // The answer ends inside the first chunk: it says nothing.
        {"answer cut short", DISC, "confirmed", false, [](DriveConfig&) {},
         {"Database not reached", "Database not reached", "Database not reached"}, {}, "", "--cut 30"},
        // A server that takes the request and never answers is given up on
        // when the lookup times out.
        {"server never answers", DISC, "confirmed", false, [](DriveConfig&) {},
         {"Database not reached", "Database not reached", "Database not reached"}, {}, "", "--silent"},
        // A confirmed track needs no second read.
        {"clean, secure", DISC, "confirmed", true, [](DriveConfig&) {}, {ACCURATE, ACCURATE, ACCURATE}, {1, 1, 1}, ""},
        // Two reads agree on the wrong samples and nothing flags them: only
        // the database tells, and only that track is read the full way.
        {"stable flip, secure", DISC, "confirmed", true,
         [](DriveConfig& d) {
             d.flip = {3500, 3502};
             d.c2 = C2Mode::False;
         },
         {ACCURATE, CHANGED, ACCURATE}, {0, 3, 0},
         "Some tracks do not match the AccurateRip database: Track 02 (8 other rips differ). Their files were kept; "
         "the checksums are in the log"},
};

class AccurateRipTest : public MainDialogTest
{
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "corvane-accuraterip";
        LFile::DeleteFolderAndFiles(folder.c_str());
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        DeleteValue(SETTINGS_KEY, "ReadMode");
        DeleteValue(DRIVES_KEY, DRIVE_NAME);
        LFile::DeleteFolderAndFiles(folder.c_str());
    }

    std::string Log() const
    {
        const std::vector<unsigned char> bytes = FileBytes(folder + "\\Audio CD.log");
        return std::string(bytes.begin(), bytes.end());
    }

    void Rip()
    {
        SetDlgItemTextA(dialog.hWnd, IDC_OUTPUT_FOLDER, folder.c_str());
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_RIP, 0);
        Pump();
    }

    std::string folder;
};

class AccurateRipRips : public AccurateRipTest, public ::testing::WithParamInterface<AccurateRipCase>
{
};

TEST_P(AccurateRipRips, SayWhatTheDatabaseSaysOfEachTrack)
{
    const AccurateRipCase& c = GetParam();
    SCOPED_TRACE(c.name);
    // A server that was stopped: its port, where nobody answers any more.
    std::unique_ptr<LocalAccurateRipServer> server(
        new LocalAccurateRipServer(c.root ? c.root : "confirmed", c.serverOptions));
    ASSERT_NE(0, server->port);
    const std::string address = server->Server();
    if (!c.root)
    {
        server.reset();
        Sleep(500);
    }
    SetValue(SETTINGS_KEY, "UseAccurateRip", "1");
    SetValue(SETTINGS_KEY, "AccurateRipServer", address.c_str());
    SetValue(SETTINGS_KEY, "ReadMode", c.bSecure ? "Secure" : "Burst");
    DriveConfig drive = Disc(c.disc);
    c.drive(drive);
    io->AddDrive('D', DRIVE_CDROM, drive);
    MessageBoxCapture boxes;
    Open();
    Rip();

    const std::string log = Log();
    for (int row = 0; row < 3; ++row)
    {
        EXPECT_EQ(c.statuses[row], Cell(row, 2)) << "row " << row;
        EXPECT_NE(std::string::npos, log.find("AccurateRip: " + c.statuses[row])) << log;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES,
                  GetFileAttributesA((folder + "\\Track 0" + std::to_string(row + 1) + ".wav").c_str()))
            << "row " << row << ": its file stays";
    }
    // The entry's two chunks: the v1 checksums at confidence 5, the v2 ones at 3.
    if (c.statuses[0] == ACCURATE)
    {
        EXPECT_NE(std::string::npos, log.find("(confidence 5)\r\n     Database checksum")) << log;
        EXPECT_NE(std::string::npos, log.find("(confidence 3)\r\n     AccurateRip: ")) << log;
        EXPECT_NE(std::string::npos, log.find("AccurateRip v1 ")) << log;
        EXPECT_EQ(c.bSecure, log.find("Read once: the database proves the copy") != std::string::npos) << log;
    }
    if (c.root)
    {
        const int nAccurate = int(std::count(c.statuses.begin(), c.statuses.end(), std::string(ACCURATE)));
        EXPECT_NE(std::string::npos, log.find("Accurately ripped: " + std::to_string(nAccurate) + " of 3 tracks"))
            << log;
    }

    // The next track's first read counts the sector before it too.
    for (size_t row = 0; row < c.reads.size(); ++row)
        for (int32_t s = STARTS[row] + (row == 0); s < STARTS[row + 1] - (row < 2) && c.reads[row]; ++s)
        {
            const SectorReadCount count = io->ReadCount('D', s);
            ASSERT_EQ(c.reads[row], count.physical + count.cached) << "row " << row << ", sector " << s;
        }

    if (c.message[0])
    {
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(0u, boxes.boxes[0].text.find(c.message)) << boxes.boxes[0].text;
        EXPECT_EQ(IDI_WARNING, boxes.boxes[0].icon);
    }
    else
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
}

INSTANTIATE_TEST_SUITE_P(Table, AccurateRipRips, ::testing::ValuesIn(CASES));

// A server that takes the request and never answers: Cancel ends the lookup
// within a second, and nothing is ripped.
TEST_F(AccurateRipTest, CancelEndsALookupTheServerNeverAnswers)
{
    LocalAccurateRipServer server("confirmed", "--silent");
    ASSERT_NE(0, server.port);
    SetValue(SETTINGS_KEY, "UseAccurateRip", "1");
    SetValue(SETTINGS_KEY, "AccurateRipServer", server.Server().c_str());
    io->AddDrive('D', DRIVE_CDROM, Disc(DISC));
    Open();
    DWORD cancelTick = 0;
    DialogScript script;
    script.On("Extract CD Track(s)", [&cancelTick](HWND progress) {
        cancelTick = GetTickCount();
        PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
    });
    MessageBoxCapture boxes;
    Rip();
    const DWORD tookMs = GetTickCount() - cancelTick;
    ASSERT_TRUE(script.AllDone()) << "the lookup showed no progress window";
    EXPECT_LT(tookMs, 1000u) << "Cancel took more than a second";
    EXPECT_TRUE(boxes.boxes.empty()) << "a cancel shows nothing";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\Track 01.wav").c_str()));
    EXPECT_EQ("", Cell(0, 2));
}

// Detect Read Offset in Settings, on a drive with no correction stored.
struct OffsetCase
{
    const char* name;
    const char* disc;
    int32_t driveOffset;
    const char* box;      // the message's text
    int32_t saved;        // the correction then stored for the drive (answering Yes)
};

const OffsetCase OFFSET_CASES[] = {
        {"offset=+48", DISC, 48,
         "The read offset correction of CORVANE  - VIRTUAL DRIVE is +48: with it, the AccurateRip database confirms "
         "2 tracks of this disc. Do you want to save it for this drive?",
         48},
        {"not in database", "three-tracks", 48,
         "This disc is not in the AccurateRip database. The read offset can only be detected with a disc that the "
         "database knows: please try another disc.",
         0},
        {"beyond the search", DISC, 4000,
         "No read offset correction from -2939 to +2939 frames makes this disc match the AccurateRip database. Please "
         "try another disc.",
         0},
};

class AccurateRipOffsets : public AccurateRipTest, public ::testing::WithParamInterface<OffsetCase>
{
};

TEST_P(AccurateRipOffsets, DetectReadOffsetFindsTheDrivesCorrectionOrSaysWhyNot)
{
    const OffsetCase& c = GetParam();
    SCOPED_TRACE(c.name);
    LocalAccurateRipServer server("confirmed");
    ASSERT_NE(0, server.port);
    SetValue(SETTINGS_KEY, "UseAccurateRip", "1");
    SetValue(SETTINGS_KEY, "AccurateRipServer", server.Server().c_str());
    DeleteValue(DRIVES_KEY, DRIVE_NAME);
    DriveConfig drive = Disc(c.disc);
    drive.offset = c.driveOffset;
    io->AddDrive('D', DRIVE_CDROM, drive);
    Open();
    std::string shown;
    {
        DialogScript script;
        script.On("Settings", [&shown](HWND d) {
            DialogScript::Click(d, IDC_DETECT_OFFSET);
            shown = DialogScript::Text(d, IDC_READ_OFFSET);
            DialogScript::Click(d, IDCANCEL);
        });
        MessageBoxCapture boxes(IDYES);
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_SETTINGS, 0);
        Pump();
        EXPECT_TRUE(script.AllDone());
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Detect Read Offset", boxes.boxes[0].caption);
        EXPECT_EQ(c.box, boxes.boxes[0].text);
    }
    // Saved at once, whatever becomes of the dialog.
    EXPECT_EQ(c.saved, ReadDriveCorrection(DRIVE_NAME));
    EXPECT_EQ((c.saved >= 0 ? "+" : "") + std::to_string(c.saved), shown);
    if (c.saved == 0)
        return;

    MessageBoxCapture boxes;
    Rip();
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(ACCURATE, Cell(row, 2)) << "row " << row;
    EXPECT_TRUE(boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, AccurateRipOffsets, ::testing::ValuesIn(OFFSET_CASES));

} // namespace
