#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DriveCommandTests.h"
#include "mkdisc/DiscMaker.h"
#include "vdrive/VirtualDisc.h"
#include "vdrive/VirtualDrive.h"

namespace {

// The model itself: each command straight through Execute.
class ModelBackend : public drive_commands::DriveBackend
{
public:
    void Insert(const std::string& cue, const std::string& keys) override
    {
        std::string errors;
        const std::vector<DriveConfig> configs = ParseDriveConfig("0 0 0 " + cue + " " + keys, "", errors);
        ASSERT_EQ(1u, configs.size()) << errors;
        drive = std::make_unique<VirtualDrive>(configs[0], errors);
        ASSERT_TRUE(drive->HasDisc()) << errors;
    }
    drive_commands::Answer Run(const std::vector<uint8_t>& cdb, size_t dataLength) override
    {
        drive_commands::Answer answer;
        answer.data.assign(dataLength, 0xA5);
        const CommandResult result = drive->Execute(cdb.data(), static_cast<int>(cdb.size()), answer.data.data(),
                                                    static_cast<uint32_t>(dataLength));
        answer.bGood = result.status == SCSI_STATUS_GOOD;
        answer.senseKey = result.sense[2];
        answer.asc = result.sense[12];
        answer.ascq = result.sense[13];
        answer.delayMs = result.delayMs;
        return answer;
    }
    SectorReadCount Reads(int64_t sector) override { return drive->ReadCount(sector); }

private:
    std::unique_ptr<VirtualDrive> drive;
};

using drive_commands::DriveCommandsTest;
INSTANTIATE_TEST_SUITE_P(Model, DriveCommandsTest,
                         ::testing::Values(drive_commands::Backend{
                             "model", [] { return std::unique_ptr<drive_commands::DriveBackend>(new ModelBackend); }}),
                         drive_commands::BackendName);

namespace fs = std::filesystem;

class VirtualDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path()
                 / ("vdrive-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // A file of `nSectors` sectors, each filled with its own byte value from `first` on.
    void WriteBin(const std::string& name, int nSectors, int first)
    {
        FILE* file = fopen((folder / name).string().c_str(), "wb");
        ASSERT_NE(nullptr, file);
        std::vector<uint8_t> sector(2352);
        for (int i = 0; i < nSectors; ++i)
        {
            std::fill(sector.begin(), sector.end(), static_cast<uint8_t>(first + i));
            fwrite(sector.data(), 1, sector.size(), file);
        }
        fclose(file);
    }
    std::string WriteText(const std::string& name, const std::string& text)
    {
        const std::string path = (folder / name).string();
        FILE* file = fopen(path.c_str(), "wb");
        fputs(text.c_str(), file);
        fclose(file);
        return path;
    }

    fs::path folder;
};

TEST_F(VirtualDriveTest, CueSheetsWithSeveralFilesAndGaps)
{
    WriteBin("one.bin", 10, 0);
    WriteBin("two.bin", 20, 100);
    const std::string cue = WriteText("disc.cue",
                                      "REM made by hand\r\n"
                                      "FILE \"one.bin\" BINARY\r\n"
                                      "  TRACK 01 MODE1/2352\r\n"
                                      "    INDEX 01 00:00:00\r\n"
                                      "  TRACK 02 AUDIO\r\n"
                                      "    INDEX 00 00:00:04\r\n"
                                      "    INDEX 01 00:00:06\r\n"
                                      "FILE two.bin BINARY\r\n"
                                      "  TRACK 03 AUDIO\r\n"
                                      "    PREGAP 00:02:00\r\n"
                                      "    INDEX 01 00:00:05\r\n");
    VirtualDisc disc;
    std::string error;
    ASSERT_TRUE(disc.Load(cue, error)) << error;
    ASSERT_EQ(3u, disc.Tracks().size());
    EXPECT_FALSE(disc.Tracks()[0].bAudio);
    EXPECT_EQ(0, disc.Tracks()[0].startSector);
    EXPECT_EQ(6, disc.Tracks()[1].startSector);
    EXPECT_EQ(4, disc.Tracks()[1].pregapSector);
    // The PREGAP's silence lies on the disc before the index, in no file.
    EXPECT_EQ(165, disc.Tracks()[2].startSector);
    EXPECT_EQ(15, disc.Tracks()[2].pregapSector);
    EXPECT_EQ(180, disc.LeadOut());

    // A read across the two files.
    std::vector<uint8_t> sectors(3 * 2352);
    ASSERT_TRUE(disc.ReadSectors(9, 3, sectors.data()));
    EXPECT_EQ(9, sectors[0]);
    EXPECT_EQ(100, sectors[2352]);
    EXPECT_EQ(101, sectors[2 * 2352 + 2351]);
    ASSERT_TRUE(disc.ReadSectors(14, 3, sectors.data()));
    EXPECT_EQ(104, sectors[0]);
    EXPECT_EQ(std::vector<uint8_t>(2 * 2352, 0), std::vector<uint8_t>(sectors.begin() + 2352, sectors.end()));
    ASSERT_TRUE(disc.ReadSectors(164, 2, sectors.data()));
    EXPECT_EQ(0, sectors[2351]);
    EXPECT_EQ(105, sectors[2352]);
    EXPECT_FALSE(disc.ReadSectors(178, 3, sectors.data()));
}

TEST_F(VirtualDriveTest, ASecondSessionStartsASessionGapLater)
{
    WriteBin("one.bin", 10, 0);
    WriteBin("two.bin", 5, 100);
    const std::string cue = WriteText("disc.cue",
                                      "REM SESSION 01\r\n"
                                      "FILE \"one.bin\" BINARY\r\n"
                                      "  TRACK 01 AUDIO\r\n"
                                      "    INDEX 01 00:00:00\r\n"
                                      "  TRACK 02 AUDIO\r\n"
                                      "    INDEX 01 00:00:06\r\n"
                                      "REM SESSION 02\r\n"
                                      "  TRACK 03 MODE1/2352\r\n"
                                      "    INDEX 01 00:00:08\r\n"
                                      "FILE two.bin BINARY\r\n"
                                      "  TRACK 04 MODE1/2352\r\n"
                                      "    INDEX 01 00:00:01\r\n");
    VirtualDisc disc;
    std::string error;
    ASSERT_TRUE(disc.Load(cue, error)) << error;
    std::vector<int32_t> starts;
    for (const VirtualTrack& track : disc.Tracks())
        starts.push_back(track.startSector);
    EXPECT_EQ(std::vector<int32_t>({0, 6, 8 + kSessionGap, 11 + kSessionGap}), starts);
    EXPECT_EQ(15 + kSessionGap, disc.LeadOut());

    // The gap cannot be read; on either side the files' sectors are served.
    std::vector<uint8_t> sectors(3 * 2352);
    ASSERT_TRUE(disc.ReadSectors(7, 1, sectors.data()));
    EXPECT_EQ(7, sectors[0]);
    EXPECT_FALSE(disc.ReadSectors(7, 2, sectors.data()));
    EXPECT_FALSE(disc.ReadSectors(8, 1, sectors.data()));
    EXPECT_FALSE(disc.ReadSectors(7 + kSessionGap, 1, sectors.data()));
    ASSERT_TRUE(disc.ReadSectors(8 + kSessionGap, 3, sectors.data()));
    EXPECT_EQ(8, sectors[0]);
    EXPECT_EQ(9, sectors[2352]);
    EXPECT_EQ(100, sectors[2 * 2352]);
}

// What mkdisc writes is what the drive serves: its tables of contents and
// sectors, the gap of a CD-Extra disc unreadable.
TEST_F(VirtualDriveTest, MadeDiscsAreServedAsLaidOut)
{
    DiscLayout mixed;
    mixed.dataTrackSectors = 30;
    mixed.trackSectors = {40, 50};
    DiscLayout extra;
    extra.trackSectors = {40, 160};
    extra.extraTrackSectors = 50;
    for (const DiscLayout& layout : {mixed, extra})
    {
        SCOPED_TRACE(layout.extraTrackSectors > 0 ? "CD-Extra" : "mixed mode");
        const std::string cue = (folder / "made.cue").string();
        std::string error;
        ASSERT_TRUE(WriteDisc(layout, cue, error)) << error;
        VirtualDisc disc;
        ASSERT_TRUE(disc.Load(cue, error)) << error;
        const int nTracks = DiscTrackCount(layout);
        ASSERT_EQ(static_cast<size_t>(nTracks), disc.Tracks().size());
        EXPECT_EQ(DiscTrackStart(layout, nTracks + 1), disc.LeadOut());
        std::vector<uint8_t> sector(2352);
        std::vector<uint8_t> expected(2352);
        for (int number = 1; number <= nTracks; ++number)
        {
            const VirtualTrack& track = disc.Tracks()[number - 1];
            const bool bExtra = number == nTracks && layout.extraTrackSectors > 0;
            EXPECT_EQ(!bExtra && !(number == 1 && layout.dataTrackSectors > 0), track.bAudio) << "track " << number;
            EXPECT_EQ(DiscTrackStart(layout, number), track.startSector) << "track " << number;
            ASSERT_TRUE(disc.ReadSectors(track.startSector, 1, sector.data()));
            MakeSector(layout, track.startSector - (bExtra ? kDiscSessionGap : 0), expected.data());
            EXPECT_EQ(expected, sector) << "track " << number;
        }
        if (layout.extraTrackSectors > 0)
        {
            EXPECT_FALSE(disc.ReadSectors(DiscTrackStart(layout, nTracks) - 1, 1, sector.data()));
        }
    }
}

// A fault: READ TOC's data length claims more descriptors than are sent, and
// only those sent (with the bytes transferred) reach the buffer. The CONTROL
// field marks data tracks.
TEST_F(VirtualDriveTest, ATableOfContentsMayClaimMoreThanItSends)
{
    DiscLayout extra;
    extra.trackSectors = {40, 160};
    extra.extraTrackSectors = 50;
    std::string errors;
    const std::string cue = (folder / "extra.cue").string();
    ASSERT_TRUE(WriteDisc(extra, cue, errors)) << errors;
    const uint8_t readToc[10] = {0x43, 0, 0, 0, 0, 0, 1, 0x08, 0, 0};
    for (int claim : {0, 10})
    {
        SCOPED_TRACE(claim);
        DriveConfig config;
        config.image = cue;
        config.tocClaim = claim;
        VirtualDrive drive(config, errors);
        std::vector<uint8_t> response(2048, 0xEE);
        const CommandResult result = drive.Execute(readToc, 10, response.data(), 2048);
        ASSERT_EQ(SCSI_STATUS_GOOD, result.status);
        EXPECT_EQ(4u + 8 * 4, result.nTransferred);
        EXPECT_EQ(2 + 8 * (claim ? claim : 4), (response[0] << 8) | response[1]);
        EXPECT_EQ(std::vector<uint8_t>({0x10, 0x10, 0x14}),
                  std::vector<uint8_t>({response[4 + 1], response[4 + 8 + 1], response[4 + 16 + 1]}));
        EXPECT_EQ(0xEE, response[4 + 8 * 4]) << "a descriptor beyond the disc's was written";
    }
}

TEST_F(VirtualDriveTest, UnusableCueSheetsAreRefused)
{
    WriteBin("a.bin", 5, 0);
    const struct
    {
        const char* text;
        const char* why;
    } sheets[] = {
        {"FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "missing file"},
        {"FILE \"a.bin\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "not BINARY"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:75\n", "bad frame"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n", "no INDEX 01"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:01:00\n", "start beyond the data"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 99999999:00:00\n", "minutes past 32 bits of sectors"},
        {"", "no tracks"},
        {"REM SESSION 02\nFILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "no first session"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\nREM SESSION 03\n  TRACK 02 AUDIO\n"
         "    INDEX 01 00:00:02\n",
         "session skipped"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\nREM SESSION 02\n", "empty session"},
        {"FILE \"a.bin\" BINARY\n  TRACK 00 AUDIO\n    INDEX 01 00:00:00\n", "track 0"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 00:00:02\n",
         "track skipped"},
        {"CATALOG 12345\nFILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "short catalog"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    ISRC us-rc1-76-07839\n    INDEX 01 00:00:00\n", "bad ISRC"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    FLAGS LOUD\n    INDEX 01 00:00:00\n", "unknown flag"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    PREGAP 00:00:02\n", "PREGAP after INDEX"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:02\n    INDEX 00 00:00:00\n", "INDEX 00 after 01"},
    };
    for (const auto& sheet : sheets)
    {
        SCOPED_TRACE(sheet.why);
        VirtualDisc disc;
        std::string error;
        EXPECT_FALSE(disc.Load(WriteText("bad.cue", sheet.text), error));
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(VirtualDriveTest, ConfigurationLines)
{
    std::string errors;
    const std::string config = (folder / "drives.txt").string();
    std::vector<DriveConfig> drives = ParseDriveConfig(
        "# adapter target lun image\n"
        "0 1 0 discs/a.cue delay_ms=20 busy=3\n"
        "\n"
        "1 0 2 - fail_lba=7 hang_lba=9 reject=1  # no disc\n"
        "0 2 0 /abs/b.cue\n"
        "0 3\n"
        "0 4 0 a.cue speed=4\n"
        "0 5 0 a.cue busy=-1\n"
        "0 6 0 a.cue toc_claim=9\n"
        "0 7 0 a.cue delay_ms=2147483648\n",
        config, errors);
    ASSERT_EQ(4u, drives.size());
    EXPECT_EQ((folder / "discs/a.cue").string(), drives[0].image);
    EXPECT_EQ(20, drives[0].delayMs);
    EXPECT_EQ(3, drives[0].busy);
    EXPECT_EQ(1, drives[1].adapter);
    EXPECT_EQ(2, drives[1].lun);
    EXPECT_EQ("", drives[1].image);
    EXPECT_EQ(7, drives[1].failLba);
    EXPECT_EQ(9, drives[1].hangLba);
    EXPECT_TRUE(drives[1].bReject);
    EXPECT_EQ("/abs/b.cue", drives[2].image);
    EXPECT_EQ(0, drives[2].tocClaim);
    EXPECT_EQ(9, drives[3].tocClaim);
    EXPECT_NE(std::string::npos, errors.find(":6:"));
    EXPECT_NE(std::string::npos, errors.find(":7:"));
    EXPECT_NE(std::string::npos, errors.find(":8:"));
    // A count past int would turn negative.
    EXPECT_NE(std::string::npos, errors.find(":10:"));
}

// The keys of a real drive's faults: each line is taken or refused as a whole.
TEST_F(VirtualDriveTest, FaultKeys)
{
    struct
    {
        const char* keys;
        bool bTaken;
        std::function<bool(const DriveConfig&)> holds;
    } cases[] = {
        {"offset=-667 overread=1", true, [](const DriveConfig& d) { return d.offset == -667 && d.bOverread; }},
        {"offset=+48", true, [](const DriveConfig& d) { return d.offset == 48; }},
        {"jitter=3 seed=4294967295", true, [](const DriveConfig& d) { return d.jitter == 3 && d.seed == 4294967295u; }},
        {"flip=10-20 flip_transient=7", true,
         [](const DriveConfig& d) {
             return d.flip.first == 10 && d.flip.last == 20 && d.flipTransient.Holds(7) && !d.flipTransient.Holds(8);
         }},
        {"c2=none cache=1200", true, [](const DriveConfig& d) { return d.c2 == C2Mode::None && d.cache == 1200; }},
        {"c2=false", true, [](const DriveConfig& d) { return d.c2 == C2Mode::False; }},
        {"unreadable=5-5 retry_ms=250 cdtext=0", true,
         [](const DriveConfig& d) { return d.unreadable.Holds(5) && d.retryMs == 250 && !d.bCdText; }},
        {"", true,
         [](const DriveConfig& d) {
             return d.offset == 0 && d.c2 == C2Mode::Honest && d.cache == 0 && d.flip.Empty() && d.unreadable.Empty()
                    && d.bCdText;
         }},
        {"flip=20-10", false, nullptr},
        {"flip=-1-4", false, nullptr},
        {"flip=4-", false, nullptr},
        {"c2=sometimes", false, nullptr},
        {"cache=8193", false, nullptr},
        {"jitter=-1", false, nullptr},
        {"offset=588001", false, nullptr},
        {"overread=2", false, nullptr},
        {"seed=4294967296", false, nullptr},
        {"retry_ms=1x", false, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.keys);
        std::string errors;
        const std::vector<DriveConfig> drives = ParseDriveConfig(std::string("0 0 0 a.cue ") + c.keys, "d.txt", errors);
        ASSERT_EQ(c.bTaken ? 1u : 0u, drives.size());
        EXPECT_EQ(c.bTaken, errors.empty());
        if (c.bTaken)
        {
            EXPECT_TRUE(c.holds(drives[0]));
        }
    }
}

// The tests' own CRC of packs and of Q, on the reference's known answers (the
// drive's is the program's, held to them in CrcTest).
TEST_F(VirtualDriveTest, CdTextCrcKnownAnswers)
{
    const uint8_t packs[2][16] = {{0x8f, 0x00, 0x2a, 0x00, 0x01, 0x01, 0x03, 0x00, 0x06, 0x05, 0x04, 0x05, 0x07, 0x06, 0x01, 0x02},
                                  {0x88, 0x01, 0x24, 0x00, 0x00, 0x02, 0x00, 0x04, 0x0b, 0x19, 0x08, 0x02, 0x32, 0x0b, 0x2f, 0x3e}};
    EXPECT_EQ(0x4865, drive_commands::ReferenceCrc(packs[0], 16));
    EXPECT_EQ(0x672d, drive_commands::ReferenceCrc(packs[1], 16));
}

TEST_F(VirtualDriveTest, AnUnreadableImageGivesADriveWithoutADisc)
{
    DriveConfig config;
    config.image = (folder / "nothing.cue").string();
    std::string errors;
    VirtualDrive drive(config, errors);
    EXPECT_FALSE(drive.HasDisc());
    EXPECT_FALSE(errors.empty());
    const uint8_t readToc[10] = {0x43, 0, 0, 0, 0, 0, 1, 0x08, 0, 0};
    uint8_t response[2048];
    CommandResult result = drive.Execute(readToc, 10, response, sizeof(response));
    EXPECT_EQ(SCSI_STATUS_CHECK_CONDITION, result.status);
    EXPECT_EQ(0x02, result.sense[2]);  // not ready
    EXPECT_EQ(0x3A, result.sense[12]);  // medium not present
}

} // namespace
