// The program's readers of what a disc carries beside its audio (CD-Text, the
// catalog number and ISRCs, the Q subchannel's gaps) against the virtual
// drive, which writes them by an implementation of its own from a made disc.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cdrom/CDCommandBlocks.h"
#include "cdrom/CDText.h"
#include "cdrom/Subchannel.h"
#include "mkdisc/DiscMaker.h"
#include "vdrive/VirtualDrive.h"

namespace {

namespace fs = std::filesystem;

class DiscDataAgreementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("disc-data-agreement-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        layout.trackSectors = {300, 400, 250, 500};
        layout.hiddenSectors = 90;
        layout.pregapSectors = {{2, 150}, {4, 37}};
        layout.catalog = "0731452918626";
        layout.isrc = {{1, "GBAYE6500001"}, {3, "USRC17607839"}};
        layout.title = "An Album Title Longer Than One Pack";
        layout.performer = "The Band";
        layout.trackTitles = {{1, "One"}, {2, "Caf\xe9"}, {3, "Three"}, {4, "Four"}};
        layout.trackPerformers = {{2, "Guest"}, {3, "Guest"}};
        layout.preEmphasis = {3};
        std::string error;
        ASSERT_TRUE(WriteDisc(layout, (folder / "disc.cue").string(), error)) << error;
        DriveConfig config;
        config.image = (folder / "disc.cue").string();
        drive = std::make_unique<VirtualDrive>(config, error);
        ASSERT_TRUE(drive->HasDisc()) << error;
    }
    void TearDown() override
    {
        // The drive holds its image open, and Windows removes no open file.
        drive.reset();
        fs::remove_all(folder);
    }

    std::vector<uint8_t> Run(const uint8_t* cdb, int cdbLength, size_t dataLength)
    {
        std::vector<uint8_t> data(dataLength, 0);
        const CommandResult result = drive->Execute(cdb, cdbLength, data.data(), uint32_t(data.size()));
        EXPECT_EQ(result.status, SCSI_STATUS_GOOD);
        data.resize(result.nTransferred);
        return data;
    }

    fs::path folder;
    DiscLayout layout;
    std::unique_ptr<VirtualDrive> drive;
};

// Positions from READ CD's formatted Q, as the rip reads them.
class DriveQ : public QPositionReader
{
public:
    explicit DriveQ(VirtualDrive& drive) : drive(drive) {}
    bool ReadPosition(int32_t sector, QPosition& position) override
    {
        uint8_t cdb[12];
        MakeReadCDWithQCdb(cdb, sector);
        std::vector<uint8_t> data(2352 + FORMATTED_Q_SIZE);
        const CommandResult result = drive.Execute(cdb, 12, data.data(), uint32_t(data.size()));
        return result.status == SCSI_STATUS_GOOD && ParseFormattedQ(data.data() + 2352, position);
    }

private:
    VirtualDrive& drive;
};

} // namespace

TEST_F(DiscDataAgreementTest, CdTextNames)
{
    const uint8_t cdb[10] = {0x43, 0, 5, 0, 0, 0, 0, 0x10, 0x00, 0};  // READ TOC format 5, 4096 bytes
    const std::vector<uint8_t> answer = Run(cdb, 10, 4096);
    auto text = std::make_unique<CDText>();
    ASSERT_TRUE(ParseCDText(answer.data(), answer.size(), *text));
    EXPECT_EQ(text->nDroppedPacks, 0);
    EXPECT_STREQ(text->szDiscTitle, layout.title.c_str());
    EXPECT_STREQ(text->szDiscPerformer, layout.performer.c_str());
    for (int track = 1; track <= 4; ++track)
    {
        EXPECT_EQ(text->szTrackTitle[track], layout.trackTitles[track]) << track;
        EXPECT_EQ(text->szTrackPerformer[track], layout.trackPerformers[track]) << track;
    }
}

TEST_F(DiscDataAgreementTest, CatalogAndIsrcs)
{
    uint8_t cdb[10];
    MakeReadSubchannelCdb(cdb, SUBCHANNEL_CATALOG, 0);
    std::vector<uint8_t> answer = Run(cdb, 10, SUBCHANNEL_RESPONSE_SIZE);
    char catalog[14];
    ASSERT_TRUE(ParseCatalogAnswer(answer.data(), answer.size(), catalog));
    EXPECT_EQ(catalog, layout.catalog);
    for (int track = 1; track <= 4; ++track)
    {
        MakeReadSubchannelCdb(cdb, SUBCHANNEL_ISRC, uint8_t(track));
        answer = Run(cdb, 10, SUBCHANNEL_RESPONSE_SIZE);
        char isrc[13];
        EXPECT_EQ(ParseIsrcAnswer(answer.data(), answer.size(), isrc), layout.isrc.count(track) == 1) << track;
        EXPECT_EQ(isrc, layout.isrc[track]) << track;
    }
}

TEST_F(DiscDataAgreementTest, GapsAndFlagsFromTheQSubchannel)
{
    DriveQ q(*drive);
    for (int track = 1; track <= 4; ++track)
    {
        const int32_t start = DiscTrackStart(layout, track);
        const int32_t previousStart = track > 1 ? DiscTrackStart(layout, track - 1) : 0;
        EXPECT_EQ(FindGapStart(q, track, previousStart, start), DiscPregapStart(layout, track)) << track;
        QPosition position{};
        ASSERT_TRUE(q.ReadPosition(start, position));
        EXPECT_EQ(position.nTrack, track);
        EXPECT_EQ(position.nIndex, 1);
        EXPECT_EQ(position.nSector, start);
        EXPECT_EQ((position.nControl & Q_CONTROL_PRE_EMPHASIS) != 0, layout.preEmphasis.count(track) == 1) << track;
    }
}

TEST_F(DiscDataAgreementTest, DriveNames)
{
    struct
    {
        const char* keys;
        const char* expected;
    } const cases[] = {
        {"", "CORVANE  - VIRTUAL DRIVE"},
        {"vendor=PLEXTOR product=DVDR___PX-716A", "PLEXTOR  - DVDR   PX-716A"},
        {"vendor=HL-DT-ST product=_DVDRAM_GH22NS50", "HL-DT-ST - DVDRAM GH22NS50"},
    };
    for (const auto& c : cases)
    {
        std::string errors;
        const std::vector<DriveConfig> configs =
            ParseDriveConfig(std::string("0 0 0 disc.cue ") + c.keys + "\n", (folder / "vdrive.txt").string(), errors);
        ASSERT_EQ(errors, "");
        VirtualDrive named(configs.at(0), errors);
        uint8_t cdb[6];
        MakeInquiryCdb(cdb);
        std::vector<uint8_t> answer(INQUIRY_RESPONSE_SIZE);
        const CommandResult result = named.Execute(cdb, 6, answer.data(), uint32_t(answer.size()));
        ASSERT_EQ(result.status, SCSI_STATUS_GOOD);
        char name[TEXT_BUFFER_SIZE];
        ASSERT_TRUE(MakeDriveName(answer.data(), result.nTransferred, name, sizeof(name)));
        EXPECT_STREQ(name, c.expected) << c.keys;
    }
    char name[8];
    const uint8_t cut[31] = {};
    EXPECT_FALSE(MakeDriveName(cut, sizeof(cut), name, sizeof(name)));
    EXPECT_STREQ(name, "");
}
