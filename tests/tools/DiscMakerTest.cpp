#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mkdisc/DiscMaker.h"
#include "vdrive/VirtualDisc.h"

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

// What a sheet tells beyond its tracks, written as the drive reads it back:
// codes, texts, pre-emphasis, an INDEX 00 over silence, and before track 1
// either hidden audio (in the image) or a PREGAP (silence in no file).
TEST_F(DiscMaker, SheetsCarryCodesTextsGapsAndHiddenAudio)
{
    DiscLayout hidden;
    hidden.trackSectors = {40, 35, 20};
    hidden.hiddenSectors = 33;
    hidden.pregapSectors = {{2, 20}};
    hidden.preEmphasis = {2};
    hidden.catalog = "0000010271955";
    hidden.isrc = {{1, "USRC17607839"}};
    hidden.title = "A Disc";
    hidden.performer = "Some Band";
    hidden.trackTitles = {{2, "Second"}};
    hidden.trackPerformers = {{1, "Someone"}};
    const fs::path cue = Write(hidden, "hidden");
    const std::vector<unsigned char> text = ReadAll(cue);
    EXPECT_EQ("CATALOG 0000010271955\r\n"
              "TITLE \"A Disc\"\r\n"
              "PERFORMER \"Some Band\"\r\n"
              "FILE \"hidden.bin\" BINARY\r\n"
              "  TRACK 01 AUDIO\r\n"
              "    PERFORMER \"Someone\"\r\n"
              "    ISRC USRC17607839\r\n"
              "    INDEX 00 00:00:00\r\n"
              "    INDEX 01 00:00:33\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    FLAGS PRE\r\n"
              "    TITLE \"Second\"\r\n"
              "    INDEX 00 00:00:73\r\n"
              "    INDEX 01 00:01:18\r\n"
              "  TRACK 03 AUDIO\r\n"
              "    INDEX 01 00:01:53\r\n",
              std::string(text.begin(), text.end()));
    const std::vector<unsigned char> image = ReadAll(folder / "hidden.bin");
    ASSERT_EQ(size_t(33 + 40 + 20 + 35 + 20) * kDiscSectorSize, image.size());
    const std::vector<unsigned char> silence(kDiscSectorSize, 0);
    for (int index : {0, 32, 33, 72, 73, 92, 93, 147})
    {
        SCOPED_TRACE(index);
        const std::vector<unsigned char> sector = Sector(hidden, index);
        EXPECT_TRUE(std::equal(sector.begin(), sector.end(), image.begin() + size_t(index) * kDiscSectorSize));
        EXPECT_EQ(index >= 73 && index < 93, sector == silence);
    }
    EXPECT_NE(Sector(hidden, 0), Sector(hidden, 33)) << "hidden audio is a stream of its own";
    VirtualDisc disc;
    std::string error;
    ASSERT_TRUE(disc.Load(cue.string(), error)) << error;
    EXPECT_EQ("0000010271955", disc.Catalog());
    EXPECT_EQ("USRC17607839", disc.Tracks()[0].isrc);
    EXPECT_EQ(kControlPreEmphasis, disc.Tracks()[1].control);
    EXPECT_EQ("Some Band", disc.Performer());
    EXPECT_EQ("Second", disc.Tracks()[1].title);

    DiscLayout pregap;
    pregap.trackSectors = {40, 35};
    pregap.pregapSectors = {{1, 150}, {2, 10}};
    Write(pregap, "pregap");
    EXPECT_EQ(size_t(40 + 10 + 35) * kDiscSectorSize, ReadAll(folder / "pregap.bin").size());
    EXPECT_NE(std::string::npos, [&] {
        const std::vector<unsigned char> t = ReadAll(folder / "pregap.cue");
        return std::string(t.begin(), t.end()).find("  TRACK 01 AUDIO\r\n    PREGAP 00:02:00\r\n    INDEX 01 00:00:00\r\n");
    }());

    struct
    {
        const DiscLayout& layout;
        std::vector<int> starts, pregapStarts;  // on the disc, the lead-out's last
    } discs[] = {{hidden, {33, 93, 128, 148}, {0, 73, 128}}, {pregap, {150, 200, 235}, {0, 190}}};
    for (const auto& d : discs)
    {
        const int count = DiscTrackCount(d.layout);
        // The drive reads the sheet back as laid out.
        VirtualDisc disc;
        std::string error;
        ASSERT_TRUE(disc.Load((folder / (&d.layout == &hidden ? "hidden.cue" : "pregap.cue")).string(), error)) << error;
        ASSERT_EQ(static_cast<size_t>(count), disc.Tracks().size());
        EXPECT_EQ(d.starts.back(), disc.LeadOut());
        for (int number = 1; number <= count; ++number)
        {
            EXPECT_EQ(d.starts[number - 1], disc.Tracks()[number - 1].startSector);
            EXPECT_EQ(d.pregapStarts[number - 1], disc.Tracks()[number - 1].pregapSector);
        }
        for (int number = 1; number <= count + 1; ++number)
        {
            SCOPED_TRACE(number);
            EXPECT_EQ(d.starts[number - 1], DiscTrackStart(d.layout, number));
            if (number <= count)
            {
                EXPECT_EQ(d.pregapStarts[number - 1], DiscPregapStart(d.layout, number));
            }
        }
    }
}

TEST_F(DiscMaker, RefusesBadCodesTextsAndGaps)
{
    const struct
    {
        std::function<void(DiscLayout&)> change;
        const char* why;
    } cases[] = {
        {[](DiscLayout& l) { l.catalog = "123"; }, "short catalog"},
        {[](DiscLayout& l) { l.isrc[1] = "usrc17607839"; }, "lower-case ISRC"},
        {[](DiscLayout& l) { l.isrc[3] = "USRC17607839"; }, "ISRC of no track"},
        {[](DiscLayout& l) { l.title = "say \"hi\""; }, "quote in a text"},
        {[](DiscLayout& l) { l.trackPerformers[0] = "x"; }, "text of track 0"},
        {[](DiscLayout& l) { l.pregapSectors[2] = 0; }, "empty pregap"},
        {[](DiscLayout& l) { l.pregapSectors[1] = 5; l.hiddenSectors = 5; }, "pregap and hidden audio"},
        {[](DiscLayout& l) { l.dataTrackSectors = 10; l.pregapSectors[1] = 5; }, "pregap of a data track"},
        {[](DiscLayout& l) { l.dataTrackSectors = 10; l.hiddenSectors = 5; }, "hidden audio before data"},
        {[](DiscLayout& l) { l.preEmphasis.insert(4); }, "pre-emphasis of no track"},
        {[](DiscLayout& l) { l.hiddenSectors = kDiscMaxSectors; }, "too long"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        DiscLayout layout;
        layout.trackSectors = {10, 10};
        EXPECT_EQ("", CheckDiscLayout(layout));
        c.change(layout);
        EXPECT_NE("", CheckDiscLayout(layout));
    }
}

TEST_F(DiscMaker, DemoDiscHasAFixedTableOfContentsAndNoFullScaleSample)
{
    const DiscLayout demo = DemoDiscLayout();
    // Track 3's gap of two seconds is the end of track 2: the tracks start
    // where they always did.
    EXPECT_EQ(std::vector<int>({1832, 2147, 1458, 2165, 1726}), demo.trackSectors);
    EXPECT_EQ((std::map<int, int>{{3, 150}}), demo.pregapSectors);
    const int starts[] = {0, 1832, 4129, 5587, 7752, 9478};
    for (int number = 1; number <= 6; ++number)
        EXPECT_EQ(starts[number - 1], DiscTrackStart(demo, number)) << number;
    EXPECT_EQ(3979, DiscPregapStart(demo, 3));
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
