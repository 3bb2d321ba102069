#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "vdrive/VirtualDisc.h"
#include "vdrive/VirtualDrive.h"

namespace {

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
    EXPECT_EQ(15, disc.Tracks()[2].startSector);
    EXPECT_EQ(30, disc.LeadOut());

    // A read across the two files.
    std::vector<uint8_t> sectors(3 * 2352);
    ASSERT_TRUE(disc.ReadSectors(9, 3, sectors.data()));
    EXPECT_EQ(9, sectors[0]);
    EXPECT_EQ(100, sectors[2352]);
    EXPECT_EQ(101, sectors[2 * 2352 + 2351]);
    EXPECT_FALSE(disc.ReadSectors(28, 3, sectors.data()));
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
        {"", "no tracks"},
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
        "0 5 0 a.cue busy=-1\n",
        config, errors);
    ASSERT_EQ(3u, drives.size());
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
    EXPECT_NE(std::string::npos, errors.find(":6:"));
    EXPECT_NE(std::string::npos, errors.find(":7:"));
    EXPECT_NE(std::string::npos, errors.find(":8:"));
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
