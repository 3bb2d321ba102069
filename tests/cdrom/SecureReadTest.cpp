// Secure reading against drives of the model with the faults of real ones,
// each track checked against the image bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cdrom/SecureRead.h"
#include "files/Crc.h"
#include "mkdisc/DiscMaker.h"
#include "vdrive/VirtualDrive.h"

namespace {

namespace fs = std::filesystem;

// READ CD of audio through the model, with 294 bytes of C2 pointers when asked.
class ModelReader : public AudioSectorReader
{
public:
    explicit ModelReader(VirtualDrive& drive) : drive(drive) {}

    AudioReadResult ReadAudio(int32_t sector, int nSectors, uint8_t* data, uint8_t* c2) override
    {
        // What a transfer of the program's buffer holds.
        EXPECT_LE(nSectors, c2 ? CD_MAX_READ_SECTORS_WITH_C2 : CD_MAX_READ_SECTORS);
        const uint32_t a = uint32_t(sector);
        const uint8_t cdb[12] = {0xBE, 0x04, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a), 0, 0,
                                 uint8_t(nSectors), uint8_t(c2 ? 0x12 : 0x10), 0, 0};
        const int perSector = CD_SECTOR_SIZE + (c2 ? C2_BYTES_PER_SECTOR : 0);
        buffer.resize(std::size_t(nSectors) * perSector);
        const CommandResult result = drive.Execute(cdb, 12, buffer.data(), uint32_t(buffer.size()));
        if (result.status != SCSI_STATUS_GOOD)
            return (result.sense[2] & 0x0F) == 0x03 ? AudioReadResult::MediumError : AudioReadResult::Failed;
        for (int i = 0; i < nSectors; ++i)
        {
            std::memcpy(data + std::size_t(i) * CD_SECTOR_SIZE, buffer.data() + std::size_t(i) * perSector,
                        CD_SECTOR_SIZE);
            if (c2)
                std::memcpy(c2 + std::size_t(i) * C2_BYTES_PER_SECTOR,
                            buffer.data() + std::size_t(i) * perSector + CD_SECTOR_SIZE, C2_BYTES_PER_SECTOR);
        }
        return AudioReadResult::Good;
    }

private:
    VirtualDrive& drive;
    std::vector<uint8_t> buffer;
};

class Collector : public SecureReadEvents
{
public:
    bool Deliver(const uint8_t* pcm, uint32_t nFrames) override
    {
        frames.insert(frames.end(), pcm, pcm + std::size_t(nFrames) * 4);
        return true;
    }
    bool IsStopped() override { return ++nAsked > stopAfter; }
    void Progress(double) override {}

    std::vector<uint8_t> frames;
    long nAsked = 0;
    long stopAfter = 1L << 30;
};

class SecureReadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new fs::path(fs::temp_directory_path() / ("secure-read-" + std::to_string(getpid())));
        fs::remove_all(*folder);
        fs::create_directories(*folder);
        layout = new DiscLayout;
        layout->trackSectors = {1500, 3000, 1500};
        layout->seed = 29;
        std::string error;
        ASSERT_TRUE(WriteDisc(*layout, (*folder / "disc.cue").string(), error)) << error;
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        delete folder;
        delete layout;
    }

    // The image's frames of track 2, silence where it lies outside the disc.
    static std::vector<uint8_t> Image(int32_t start, int32_t end)
    {
        std::vector<uint8_t> pcm;
        uint8_t sector[CD_SECTOR_SIZE];
        for (int32_t s = start; s < end; ++s)
        {
            MakeSector(*layout, s, sector);
            pcm.insert(pcm.end(), sector, sector + CD_SECTOR_SIZE);
        }
        return pcm;
    }

    std::unique_ptr<VirtualDrive> Drive(const std::string& keys)
    {
        std::string errors;
        const std::vector<DriveConfig> configs =
            ParseDriveConfig("0 0 0 disc.cue " + keys + "\n", (*folder / "vdrive.txt").string(), errors);
        EXPECT_EQ(errors, "");
        auto drive = std::make_unique<VirtualDrive>(configs.at(0), errors);
        EXPECT_TRUE(drive->HasDisc()) << errors;
        return drive;
    }

    static SecureReadSettings Settings(int32_t correction = 0, bool bC2 = true)
    {
        return {correction, DiscTotalSectors(*layout), false, bC2, true, 1300};
    }

    static fs::path* folder;
    static DiscLayout* layout;
};

fs::path* SecureReadTest::folder = nullptr;
DiscLayout* SecureReadTest::layout = nullptr;

std::vector<int32_t> Range(int32_t first, int32_t last)
{
    std::vector<int32_t> sectors;
    for (int32_t s = first; s <= last; ++s)
        sectors.push_back(s);
    return sectors;
}

} // namespace

TEST_F(SecureReadTest, DrivesOfEveryKind)
{
    const int32_t start = DiscTrackStart(*layout, 2);
    const int32_t end = DiscTrackStart(*layout, 3);
    struct
    {
        const char* name;
        std::string keys;
        bool bC2;
        int32_t correction;
        std::vector<int32_t> suspicious;
        std::vector<int32_t> readErrors;
        uint32_t maxReadsInTrouble;  // of a sector in the faulty range
    } const cases[] = {
        {"a clean drive", "", true, 0, {}, {}, 2},
        {"transient errors, honest C2", "flip_transient=2000-2019 seed=3", true, 0, {}, {}, 2 + 16},
        {"transient errors, false C2", "flip_transient=2000-2019 c2=false seed=4", true, 0, {}, {}, 2 + 16},
        {"transient errors, no C2", "flip_transient=2000-2019 c2=none seed=5", false, 0, {}, {}, 2 + 16},
        {"transient errors behind a cache", "flip_transient=2000-2019 c2=false cache=1200 seed=6", true, 0, {}, {},
         2 + 16},
        {"stable errors, honest C2", "flip=2000-2019", true, 0, Range(2000, 2019), {}, 2 + 16},
        {"unreadable sectors", "unreadable=3000-3002", true, 0, {}, Range(3000, 3002), 2 + 2 * 16},
        {"an offset of +667, corrected", "offset=667", true, 667, {}, {}, 2},
        {"an offset of -1164, corrected", "offset=-1164", true, -1164, {}, {}, 2},
        {"reads misplaced by up to 8 frames", "jitter=8 seed=8", true, 0, {}, {}, 0},
        {"reads misplaced, no C2", "jitter=8 c2=none seed=9", false, 0, {}, {}, 0},
        {"reads misplaced and transient errors", "jitter=8 flip_transient=2000-2019 seed=10", true, 0, {}, {}, 0},
    };
    for (const auto& c : cases)
    {
        auto drive = Drive(c.keys);
        ModelReader reader(*drive);
        Collector events;
        SecureTrackReport report;
        ASSERT_EQ(ReadTrackSecurely(reader, Settings(c.correction, c.bC2), start, end, events, report),
                  SecureReadResult::Done)
            << c.name;
        std::vector<uint8_t> expected = Image(start, end);
        for (int32_t s : c.readErrors)
            std::fill(expected.begin() + (s - start) * CD_SECTOR_SIZE,
                      expected.begin() + (s - start + 1) * CD_SECTOR_SIZE, 0);
        if (c.suspicious.empty())
        {
            EXPECT_TRUE(events.frames == expected) << c.name;
        }
        EXPECT_EQ(report.nFrames, uint32_t(end - start) * CD_FRAMES_PER_SECTOR) << c.name;
        EXPECT_EQ(report.suspicious, c.suspicious) << c.name;
        EXPECT_EQ(report.copy.Crc(), Crc32(0, events.frames.data(), events.frames.size())) << c.name;
        if (c.keys.empty() || c.correction != 0)
        {
            // Nothing to mend: the first pass was the copy already.
            EXPECT_EQ(report.nTestCrc, report.copy.Crc()) << c.name;
        }
        if (c.keys.find("flip_transient") != std::string::npos)
        {
            // The first pass read some of them wrong, and the test CRC says so.
            EXPECT_NE(report.nTestCrc, report.copy.Crc()) << c.name;
        }
        EXPECT_EQ(report.readErrors, c.readErrors) << c.name;

        const bool bJitter = c.keys.find("jitter") != std::string::npos;
        EXPECT_EQ(report.bMisplacedReads, bJitter) << c.name;
        if (bJitter)
        {
            // The steady reads of the first window that showed the jitter,
            // then two passes of overlapping reads and the reads that place
            // them: far from the clean drive's two, but bounded.
            uint64_t reads = 0;
            for (int32_t s = start; s < end; ++s)
                reads += drive->ReadCount(s).physical;
            EXPECT_LE(double(reads) / (end - start), 4.5) << c.name;
            if (c.keys.find("flip") == std::string::npos)
            {
                EXPECT_EQ(report.nTestCrc, report.copy.Crc()) << c.name;
            }
        }
        // Two reads of every sector from the disc; more only where it is
        // faulty. (With an offset a read touches two of the disc's sectors,
        // which the drive counts each.)
        const int32_t faultFirst = 2000, faultLast = 3002;
        for (int32_t s = start; s < end && c.correction == 0 && !bJitter; s += 7)
        {
            const uint32_t reads = drive->ReadCount(s).physical;
            if (s >= faultFirst - CD_MAX_READ_SECTORS && s <= faultLast + CD_MAX_READ_SECTORS)
                EXPECT_LE(reads, c.maxReadsInTrouble) << c.name << ", sector " << s;
            else
                EXPECT_EQ(reads, 2u) << c.name << ", sector " << s;
        }
    }
}

TEST_F(SecureReadTest, CancelDuringTheRereadsStops)
{
    auto drive = Drive("flip=2000-2019");
    ModelReader reader(*drive);
    Collector events;
    events.stopAfter = 400;  // reads of the track, then of its faulty sectors again
    SecureTrackReport report;
    EXPECT_EQ(ReadTrackSecurely(reader, Settings(), DiscTrackStart(*layout, 2), DiscTrackStart(*layout, 3), events,
                                report),
              SecureReadResult::Stopped);
    EXPECT_LT(report.nFrames, 3000u * CD_FRAMES_PER_SECTOR);
}

TEST(TrackAudioStatsTest, CrcAndPeak)
{
    const int16_t samples[] = {0, 1, -300, 12000, 32767, -32768, 5, -5};
    uint8_t pcm[sizeof(samples)];
    for (std::size_t i = 0; i < std::size(samples); ++i)
    {
        pcm[2 * i] = uint8_t(uint16_t(samples[i]));
        pcm[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
    }
    TrackAudioStats whole, split;
    whole.Add(pcm, 4);
    split.Add(pcm, 1);
    split.Add(pcm + 4, 3);
    EXPECT_EQ(whole.Crc(), Crc32(0, pcm, sizeof(pcm)));
    EXPECT_EQ(split.Crc(), whole.Crc());
    EXPECT_EQ(whole.Peak(), 32768);
    TrackAudioStats quiet;
    quiet.Add(pcm, 2);
    EXPECT_EQ(quiet.Peak(), 12000);
}

TEST_F(SecureReadTest, OnePassReadsOnceAndRereadsOnlyWhatC2Flags)
{
    // A track known right elsewhere needs no second pass: a clean sector is
    // read once, one C2 flags is read until two clean reads agree.
    const int32_t start = DiscTrackStart(*layout, 2);
    const int32_t end = DiscTrackStart(*layout, 3);
    auto drive = Drive("flip_transient=2000-2019 seed=7");
    ModelReader reader(*drive);
    Collector events;
    SecureTrackReport report;
    SecureReadSettings settings = Settings();
    settings.bSecondPass = false;
    ASSERT_EQ(ReadTrackSecurely(reader, settings, start, end, events, report), SecureReadResult::Done);
    EXPECT_TRUE(events.frames == Image(start, end));
    EXPECT_TRUE(report.suspicious.empty());
    for (int32_t s = start; s < end; s += 7)
    {
        const uint32_t reads = drive->ReadCount(s).physical;
        if (s >= 2000 - CD_MAX_READ_SECTORS && s <= 2019 + CD_MAX_READ_SECTORS)
            EXPECT_LE(reads, 1u + 16u) << "sector " << s;
        else
            EXPECT_EQ(reads, 1u) << "sector " << s;
    }
}

namespace {

// A drive of frames held in memory that puts every read a random number of
// frames off, from -jitter to +jitter, the same over the one command; clean
// C2. Its disc: noise with stretches of digital silence longer than a read.
class MisplacingReader : public AudioSectorReader
{
public:
    MisplacingReader(std::vector<uint8_t> frames, int jitter, uint32_t seed)
        : frames(std::move(frames)), jitter(jitter), random(seed)
    {
    }

    AudioReadResult ReadAudio(int32_t sector, int nSectors, uint8_t* data, uint8_t* c2) override
    {
        ++nReads;
        std::uniform_int_distribution<int> draw(-jitter, jitter);
        const int64_t first = int64_t(sector) * CD_FRAMES_PER_SECTOR + draw(random);
        for (int64_t i = 0; i < int64_t(nSectors) * CD_FRAMES_PER_SECTOR; ++i)
        {
            const int64_t at = first + i;
            if (at >= 0 && at < int64_t(frames.size() / 4))
                std::memcpy(data + i * 4, frames.data() + at * 4, 4);
            else
                std::memset(data + i * 4, 0, 4);
        }
        if (c2)
            std::memset(c2, 0, std::size_t(nSectors) * C2_BYTES_PER_SECTOR);
        return AudioReadResult::Good;
    }

    std::vector<uint8_t> frames;
    int jitter;
    std::mt19937 random;
    long nReads = 0;
};

// Sectors of noise, with silence over [silent.first, silent.second) ranges.
std::vector<uint8_t> NoiseWithSilence(int32_t nSectors, const std::vector<std::pair<int32_t, int32_t>>& silent)
{
    std::mt19937 random(77);
    std::vector<uint8_t> frames(std::size_t(nSectors) * CD_SECTOR_SIZE);
    for (uint8_t& b : frames)
        b = uint8_t(random());
    for (const auto& range : silent)
        std::fill(frames.begin() + std::ptrdiff_t(range.first) * CD_SECTOR_SIZE,
                  frames.begin() + std::ptrdiff_t(range.second) * CD_SECTOR_SIZE, uint8_t(0));
    return frames;
}

} // namespace

TEST(SecureReadJitterTest, MisplacedReadsAreRealignedAcrossSilence)
{
    // Silence at a track's start, an island of sound between two silences
    // longer than a read (each overlap there says nothing of the shift), and
    // silence ending exactly on a window's edge.
    const std::vector<uint8_t> disc =
        NoiseWithSilence(4000, {{1000, 1080}, {1110, 1200}, {1500, 1530}, {2300, 2301}, {2600, 2860}});
    struct
    {
        int32_t start, end;
        int jitter;
        bool bC2;
    } const tracks[] = {
        {500, 3500, 8, true},
        {1000, 2000, 8, false},   // starts with silence
        {2500, 3000, 100, true},  // wider jitter, a track of silence and sound
    };
    for (const auto& t : tracks)
    {
        SCOPED_TRACE(t.start);
        MisplacingReader reader(disc, t.jitter, uint32_t(t.start));
        Collector events;
        SecureTrackReport report;
        const SecureReadSettings settings{0, 4000, false, t.bC2, true, 300};
        ASSERT_EQ(ReadTrackSecurely(reader, settings, t.start, t.end, events, report), SecureReadResult::Done);
        EXPECT_TRUE(report.bMisplacedReads);
        EXPECT_EQ(report.suspicious, std::vector<int32_t>());
        EXPECT_EQ(report.readErrors, std::vector<int32_t>());
        ASSERT_EQ(events.frames.size(), std::size_t(t.end - t.start) * CD_SECTOR_SIZE);
        const auto expected = disc.begin() + std::ptrdiff_t(t.start) * CD_SECTOR_SIZE;
        std::vector<int32_t> wrong;
        for (int32_t s = t.start; s < t.end; ++s)
            if (!std::equal(expected + std::ptrdiff_t(s - t.start) * CD_SECTOR_SIZE,
                            expected + std::ptrdiff_t(s - t.start + 1) * CD_SECTOR_SIZE,
                            events.frames.begin() + std::ptrdiff_t(s - t.start) * CD_SECTOR_SIZE))
                wrong.push_back(s);
        EXPECT_EQ(wrong, std::vector<int32_t>()) << "sectors not the disc's";
    }
}

TEST(SecureReadJitterTest, ADriveThatDoesNotJitterIsReadAsBefore)
{
    // The same disc without jitter: the steady reads only, each sector twice,
    // and nothing re-aligned.
    const std::vector<uint8_t> disc = NoiseWithSilence(4000, {{1000, 1080}});
    MisplacingReader reader(disc, 0, 1);
    Collector events;
    SecureTrackReport report;
    const SecureReadSettings settings{0, 4000, false, true, true, 300};
    ASSERT_EQ(ReadTrackSecurely(reader, settings, 500, 3500, events, report), SecureReadResult::Done);
    EXPECT_FALSE(report.bMisplacedReads);
    EXPECT_TRUE(std::equal(disc.begin() + 500 * CD_SECTOR_SIZE, disc.begin() + 3500 * CD_SECTOR_SIZE,
                           events.frames.begin()));
    // Windows of 327 sectors, the first pass in reads of 23 (with C2
    // pointers), the second in reads of 27; the last window's second pass
    // comes after the window before it has been read again, so nothing is
    // read elsewhere.
    long expected = 0;
    for (int32_t first = 500; first < 3500; first += 327)
    {
        const int n = std::min(327, 3500 - first);
        expected += (n + 22) / 23 + (n + 26) / 27;
    }
    EXPECT_EQ(reader.nReads, expected);
}

TEST(SecureReadJitterTest, ADriveKnownToMisplaceReadsIsReadWithOverlapsFromTheStart)
{
    // What the first track found out spares the next one the steady reads
    // that would show it again.
    const std::vector<uint8_t> disc = NoiseWithSilence(4000, {});
    long nReads[2] = {};
    for (bool bKnown : {false, true})
    {
        MisplacingReader reader(disc, 8, 5);
        Collector events;
        SecureTrackReport report;
        SecureReadSettings settings{0, 4000, false, true, true, 300};
        settings.bMisplacesReads = bKnown;
        ASSERT_EQ(ReadTrackSecurely(reader, settings, 500, 3500, events, report), SecureReadResult::Done);
        EXPECT_TRUE(report.bMisplacedReads);
        EXPECT_TRUE(std::equal(disc.begin() + 500 * CD_SECTOR_SIZE, disc.begin() + 3500 * CD_SECTOR_SIZE,
                               events.frames.begin()));
        nReads[bKnown] = reader.nReads;
    }
    EXPECT_LT(nReads[1], nReads[0]);
}
