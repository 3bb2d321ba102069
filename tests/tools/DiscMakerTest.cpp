#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mkdisc/DiscMaker.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> ReadAll(const fs::path& path)
{
    std::vector<unsigned char> bytes(fs::file_size(path));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::vector<unsigned char> Sector(const DiscLayout& layout, int lba)
{
    std::vector<unsigned char> out(kDiscSectorSize);
    MakeSector(layout, lba, out.data());
    return out;
}

class DiscMaker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("mkdisc-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path Write(const DiscLayout& layout, const std::string& name)
    {
        std::string error;
        const fs::path cue = folder / (name + ".cue");
        EXPECT_TRUE(WriteDisc(layout, cue.string(), error)) << error;
        return cue;
    }

    fs::path folder;
};

DiscLayout MixedDisc()
{
    DiscLayout layout;
    layout.dataTrackSectors = 310;
    layout.trackSectors = {4500, 76};
    layout.seed = 7;
    return layout;
}

TEST_F(DiscMaker, WritesTheCueSheetAndAnImageOfTheDiscSectors)
{
    const DiscLayout layout = MixedDisc();
    const fs::path cue = Write(layout, "mixed");
    const std::vector<unsigned char> text = ReadAll(cue);
    EXPECT_EQ("FILE \"mixed.bin\" BINARY\r\n"
              "  TRACK 01 MODE1/2352\r\n"
              "    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    INDEX 01 00:04:10\r\n"
              "  TRACK 03 AUDIO\r\n"
              "    INDEX 01 01:04:10\r\n",
              std::string(text.begin(), text.end()));

    const std::vector<unsigned char> image = ReadAll(folder / "mixed.bin");
    ASSERT_EQ(size_t(310 + 4500 + 76) * kDiscSectorSize, image.size());
    for (int lba : {0, 1, 309, 310, 311, 4809, 4810, 4885})
    {
        const std::vector<unsigned char> expected = Sector(layout, lba);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.begin() + size_t(lba) * kDiscSectorSize))
            << "sector " << lba;
    }
    // Data sectors: sync, then the address + 150 in BCD and mode 1.
    const std::vector<unsigned char> sync = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_TRUE(std::equal(sync.begin(), sync.end(), image.begin()));
    EXPECT_EQ(std::vector<unsigned char>({0x00, 0x02, 0x00, 1}), std::vector<unsigned char>(&image[12], &image[16]));
    const size_t last = size_t(309) * kDiscSectorSize;  // 309 + 150 = 00:06:09
    EXPECT_EQ(std::vector<unsigned char>({0x00, 0x06, 0x09, 1}),
              std::vector<unsigned char>(&image[last + 12], &image[last + 16]));
}

// CD-Extra: the data track follows the audio in the file, and on the disc a
// session gap later; the cue sheet marks its session.
TEST_F(DiscMaker, ACDExtraDiscsDataTrackLiesASessionGapAfterTheAudio)
{
    DiscLayout layout;
    layout.trackSectors = {4500, 76};
    layout.extraTrackSectors = 300;
    layout.seed = 7;
    EXPECT_EQ(3, DiscTrackCount(layout));
    EXPECT_EQ(4500 + 76 + 300, DiscTotalSectors(layout));
    const std::vector<int> starts = {0, 4500, 4576 + kDiscSessionGap, 4876 + kDiscSessionGap};
    for (int number = 1; number <= 4; ++number)
        EXPECT_EQ(starts[number - 1], DiscTrackStart(layout, number)) << "track " << number;

    const fs::path cue = Write(layout, "extra");
    const std::vector<unsigned char> text = ReadAll(cue);
    EXPECT_EQ("FILE \"extra.bin\" BINARY\r\n"
              "  TRACK 01 AUDIO\r\n"
              "    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    INDEX 01 01:00:00\r\n"
              "REM SESSION 02\r\n"
              "  TRACK 03 MODE1/2352\r\n"
              "    INDEX 01 01:01:01\r\n",
              std::string(text.begin(), text.end()));

    const std::vector<unsigned char> image = ReadAll(folder / "extra.bin");
    ASSERT_EQ(size_t(4876) * kDiscSectorSize, image.size());
    for (int index : {0, 4499, 4500, 4575, 4576, 4875})
    {
        const std::vector<unsigned char> expected = Sector(layout, index);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.begin() + size_t(index) * kDiscSectorSize))
            << "sector " << index;
    }
    // The data track's header: disc address 15976, + 150 is 03:35:01.
    const size_t first = size_t(4576) * kDiscSectorSize;
    EXPECT_EQ(std::vector<unsigned char>({0x03, 0x35, 0x01, 1}),
              std::vector<unsigned char>(&image[first + 12], &image[first + 16]));
    EXPECT_NE(Sector(layout, 4576), Sector(MixedDisc(), 0)) << "the data track's filler is its own";
}

TEST_F(DiscMaker, TracksAndNeighbourSectorsDiffer)
{
    DiscLayout layout;
    layout.trackSectors = {100, 100};
    EXPECT_NE(Sector(layout, 0), Sector(layout, 100));
    EXPECT_NE(Sector(layout, 50), Sector(layout, 150));
    EXPECT_NE(Sector(layout, 0), Sector(layout, 1));
    DiscLayout other = layout;
    other.seed = 2;
    EXPECT_NE(Sector(layout, 0), Sector(other, 0));
}

TEST_F(DiscMaker, SameLayoutGivesTheSameFiles)
{
    const DiscLayout layout = MixedDisc();
    Write(layout, "one");
    Write(layout, "two");
    EXPECT_EQ(ReadAll(folder / "one.bin"), ReadAll(folder / "two.bin"));
}

TEST_F(DiscMaker, RefusesBadLayouts)
{
    DiscLayout layout;
    EXPECT_NE("", CheckDiscLayout(layout));
    layout.trackSectors = {10, 0};
    EXPECT_NE("", CheckDiscLayout(layout));
    layout.trackSectors.assign(99, 1);
    EXPECT_EQ("", CheckDiscLayout(layout));
    layout.dataTrackSectors = 1;
    EXPECT_NE("", CheckDiscLayout(layout));
    layout.dataTrackSectors = 0;
    layout.extraTrackSectors = 1;
    EXPECT_NE("", CheckDiscLayout(layout));
    // The session gap counts towards the disc's length.
    layout.trackSectors = {kDiscMaxSectors - kDiscSessionGap - 1};
    EXPECT_EQ("", CheckDiscLayout(layout));
    layout.extraTrackSectors = 2;
    EXPECT_NE("", CheckDiscLayout(layout));
    layout.extraTrackSectors = -1;
    layout.trackSectors = {10};
    EXPECT_NE("", CheckDiscLayout(layout));
    layout.extraTrackSectors = 0;
    layout.trackSectors.assign(99, 1);
    layout.dataTrackSectors = 1;
    std::string error;
    EXPECT_FALSE(WriteDisc(layout, (folder / "bad.cue").string(), error));
    EXPECT_FALSE(fs::exists(folder / "bad.bin"));
}

TEST_F(DiscMaker, DemoDiscHasAFixedTableOfContentsAndNoFullScaleSample)
{
    const DiscLayout demo = DemoDiscLayout();
    EXPECT_EQ(std::vector<int>({1832, 2297, 1458, 2165, 1726}), demo.trackSectors);
    EXPECT_EQ(0, demo.dataTrackSectors);
    int peak = 0;
    std::vector<unsigned char> sector(kDiscSectorSize);
    for (int lba = 0; lba < DiscTotalSectors(demo); ++lba)
    {
        MakeSector(demo, lba, sector.data());
        for (int i = 0; i < kDiscSectorSize; i += 2)
        {
            const int sample = static_cast<short>(sector[i] | sector[i + 1] << 8);
            peak = std::max(peak, sample < 0 ? -sample : sample);
        }
    }
    EXPECT_GT(peak, 8000);   // louder than -12 dBFS
    EXPECT_LT(peak, 20000);  // well below full scale
}

} // namespace
