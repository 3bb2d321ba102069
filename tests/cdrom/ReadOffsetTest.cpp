#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cdrom/AccurateRip.h"
#include "cdrom/ReadOffset.h"
#include "mkdisc/DiscMaker.h"
#include "vdrive/VirtualDrive.h"

TEST(ReadOffsetTest, Plans)
{
    struct
    {
        const char* name;
        int32_t start, end, correction;
        OffsetReadPlan expected;
    } const cases[] = {
        {"no correction", 100, 200, 0, {100, 200, 0, 58800}},
        {"+6", 100, 200, 6, {100, 201, 6, 58800}},
        {"+667, past a sector", 100, 200, 667, {101, 202, 79, 58800}},
        {"-1164, before the first sector", 0, 50, -1164, {-2, 49, 12, 29400}},
        {"a whole sector", 10, 20, -588, {9, 19, 0, 5880}},
        {"an empty track", 30, 30, 48, {30, 31, 48, 0}},
    };
    for (const auto& c : cases)
    {
        const OffsetReadPlan plan = PlanOffsetRead(c.start, c.end, c.correction);
        EXPECT_EQ(plan.nFirstSector, c.expected.nFirstSector) << c.name;
        EXPECT_EQ(plan.nEndSector, c.expected.nEndSector) << c.name;
        EXPECT_EQ(plan.nSkipFrames, c.expected.nSkipFrames) << c.name;
        EXPECT_EQ(plan.nFrames, c.expected.nFrames) << c.name;
    }
}

namespace {

namespace fs = std::filesystem;

// A track read by plan from a drive of the model with a read offset, as a rip
// reads it: the sectors it may ask for, silence for the rest.
std::vector<uint8_t> ReadCorrected(VirtualDrive& drive, int32_t start, int32_t end, int32_t correction,
                                   int32_t leadOut, bool bOverread)
{
    const OffsetReadPlan plan = PlanOffsetRead(start, end, correction);
    std::vector<uint8_t> sectors;
    for (int32_t s = plan.nFirstSector; s < plan.nEndSector; ++s)
    {
        std::vector<uint8_t> sector(CD_SECTOR_SIZE, 0);
        if (AskForSector(s, leadOut, bOverread))
        {
            const uint32_t a = uint32_t(s);
            const uint8_t cdb[12] = {0xBE, 0x04, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a),
                                     0, 0, 1, 0x10, 0, 0};
            const CommandResult result = drive.Execute(cdb, 12, sector.data(), CD_SECTOR_SIZE);
            if (result.status != SCSI_STATUS_GOOD)
                std::fill(sector.begin(), sector.end(), 0);
        }
        sectors.insert(sectors.end(), sector.begin(), sector.end());
    }
    return std::vector<uint8_t>(sectors.begin() + plan.nSkipFrames * 4,
                                sectors.begin() + (plan.nSkipFrames + plan.nFrames) * 4);
}

} // namespace

TEST(ReadOffsetTest, DrivesWithAnOffsetGiveTheImageBitForBit)
{
    const fs::path folder = fs::temp_directory_path() / ("read-offset-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    DiscLayout layout;
    layout.trackSectors = {40, 35, 60};
    layout.seed = 11;
    std::string error;
    ASSERT_TRUE(WriteDisc(layout, (folder / "disc.cue").string(), error)) << error;
    const int32_t leadOut = DiscTotalSectors(layout);
    auto imageFrames = [&layout](int32_t start, int32_t end) {
        std::vector<uint8_t> pcm;
        uint8_t sector[CD_SECTOR_SIZE];
        for (int32_t s = start; s < end; ++s)
        {
            MakeSector(layout, s, sector);
            pcm.insert(pcm.end(), sector, sector + CD_SECTOR_SIZE);
        }
        return pcm;
    };

    // The drive's offset, its correction, overreading (in the drive and in
    // the rip), and the frames at the disc's edges the rip then cannot have.
    struct
    {
        const char* name;
        int offset;
        bool bOverread;
        uint32_t silentHead;  // of track 1
        uint32_t silentTail;  // of the last track
    } const cases[] = {
        {"+667", 667, false, 0, 667},
        {"-1164", -1164, false, 1164, 0},
        {"+667, overreading", 667, true, 0, 0},
        {"-1164, overreading", -1164, true, 0, 0},
        {"none", 0, false, 0, 0},
    };
    for (const auto& c : cases)
    {
        DriveConfig config;
        config.image = (folder / "disc.cue").string();
        config.offset = c.offset;
        config.bOverread = c.bOverread;
        VirtualDrive drive(config, error);
        ASSERT_TRUE(drive.HasDisc()) << error;
        for (int track = 1; track <= 3; ++track)
        {
            const int32_t start = DiscTrackStart(layout, track);
            const int32_t end = DiscTrackStart(layout, track + 1);
            std::vector<uint8_t> expected = imageFrames(start, end);
            if (track == 1)
                std::fill(expected.begin(), expected.begin() + c.silentHead * 4, 0);
            if (track == 3)
                std::fill(expected.end() - c.silentTail * 4, expected.end(), 0);
            EXPECT_TRUE(ReadCorrected(drive, start, end, c.offset, leadOut, c.bOverread) == expected)
                << c.name << ", track " << track;
        }
    }
    fs::remove_all(folder);
}

TEST(ReadOffsetTest, TheFrame450ChecksumFindsADrivesOffset)
{
    const fs::path folder = fs::temp_directory_path() / ("find-offset-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    DiscLayout layout;
    layout.trackSectors = {500, 470};
    layout.seed = 5;
    std::string error;
    ASSERT_TRUE(WriteDisc(layout, (folder / "disc.cue").string(), error)) << error;

    // The database's frame-450 checksum of track 2, from the image.
    const int32_t start = DiscTrackStart(layout, 2);
    AccurateRipChecksum sums(470 * CD_FRAMES_PER_SECTOR, false, true);
    uint8_t sector[CD_SECTOR_SIZE];
    for (int32_t s = start; s < start + 470; ++s)
    {
        MakeSector(layout, s, sector);
        sums.Add(sector, CD_FRAMES_PER_SECTOR);
    }
    const uint32_t wanted[] = {sums.Frame450()};

    for (int offset : {48, -1164, 667})
    {
        DriveConfig config;
        config.image = (folder / "disc.cue").string();
        config.offset = offset;
        VirtualDrive drive(config, error);
        // Sectors 445 to 455 of the track, uncorrected, hold every candidate's sector 450.
        std::vector<uint8_t> read(11 * CD_SECTOR_SIZE);
        const uint32_t a = uint32_t(start + 445);
        const uint8_t cdb[12] = {0xBE, 0x04, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a),
                                 0, 0, 11, 0x10, 0, 0};
        ASSERT_EQ(drive.Execute(cdb, 12, read.data(), uint32_t(read.size())).status, SCSI_STATUS_GOOD);
        const std::size_t from = ACCURATERIP_FRAME450_START - ACCURATERIP_OFFSET_SEARCH - 445 * CD_FRAMES_PER_SECTOR;
        std::vector<int32_t> corrections;
        FindReadOffsets(read.data() + from * 4, ACCURATERIP_OFFSET_SEARCH, wanted, 1, corrections);
        EXPECT_EQ(corrections, std::vector<int32_t>{offset});
    }
    fs::remove_all(folder);
}
