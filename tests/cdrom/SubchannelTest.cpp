#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "cdrom/Subchannel.h"
#include "files/Crc.h"

namespace {

uint8_t Bcd(int value) { return uint8_t(value / 10 << 4 | value % 10); }

// A sector's formatted Q, ADR 1, with its CRC, at absolute sector `sector`.
std::vector<uint8_t> FormattedQ(uint8_t control, int track, int index, int32_t sector)
{
    const int32_t msf = sector + 150;
    std::vector<uint8_t> q = {uint8_t(control << 4 | 1), Bcd(track), Bcd(index), 0, 0, 0, 0,
                              Bcd(msf / 4500), Bcd(msf / 75 % 60), Bcd(msf % 75)};
    const uint16_t crc = CdCrc16(q.data(), 10);
    q.push_back(uint8_t(crc >> 8));
    q.push_back(uint8_t(crc));
    q.resize(FORMATTED_Q_SIZE, 0);
    return q;
}

std::vector<uint8_t> SubchannelAnswer(uint8_t format, uint8_t valid, const char* code)
{
    std::vector<uint8_t> answer(SUBCHANNEL_RESPONSE_SIZE, 0);
    answer[3] = SUBCHANNEL_RESPONSE_SIZE - 4;
    answer[4] = format;
    answer[8] = valid;
    std::memcpy(answer.data() + 9, code, std::strlen(code));
    return answer;
}

} // namespace

TEST(SubchannelTest, CommandBlocks)
{
    uint8_t cdb[12];
    MakeReadSubchannelCdb(cdb, SUBCHANNEL_ISRC, 5);
    EXPECT_EQ(std::vector<uint8_t>(cdb, cdb + 10),
              (std::vector<uint8_t>{0x42, 0x00, 0x40, 0x03, 0x00, 0x00, 0x05, 0x00, SUBCHANNEL_RESPONSE_SIZE, 0x00}));
    MakeReadCDWithQCdb(cdb, 0x00012345);
    EXPECT_EQ(std::vector<uint8_t>(cdb, cdb + 12),
              (std::vector<uint8_t>{0xBE, 0x04, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x01, 0x10, 0x02, 0x00}));
}

TEST(SubchannelTest, FormattedQ)
{
    std::vector<uint8_t> noCrc = FormattedQ(0, 2, 0, 4350);
    noCrc[10] = noCrc[11] = 0;
    std::vector<uint8_t> wrongCrc = FormattedQ(0, 2, 0, 4350);
    wrongCrc[11] ^= 0x01;
    std::vector<uint8_t> catalog = FormattedQ(0, 2, 0, 4350);
    catalog[0] = 0x02;
    std::vector<uint8_t> badBcd = FormattedQ(0, 2, 0, 4350);
    badBcd[2] = 0x0A;
    const uint16_t crc = CdCrc16(badBcd.data(), 10);
    badBcd[10] = uint8_t(crc >> 8);
    badBcd[11] = uint8_t(crc);
    struct
    {
        const char* name;
        std::vector<uint8_t> q;
        bool bRead;
        QPosition expected;
    } const cases[] = {
        {"the program area's first sector", FormattedQ(0, 1, 1, 0), true, {0, 1, 1, 0}},
        {"a gap, pre-emphasis", FormattedQ(Q_CONTROL_PRE_EMPHASIS, 2, 0, 4350), true, {1, 2, 0, 4350}},
        {"the last address", FormattedQ(Q_CONTROL_COPY_PERMITTED, 99, 1, 449849), true, {2, 99, 1, 449849}},
        {"a CRC of zeros, not checked", noCrc, true, {0, 2, 0, 4350}},
        {"a wrong CRC", wrongCrc, false, {}},
        {"the catalog (ADR 2)", catalog, false, {}},
        {"a field that is not BCD", badBcd, false, {}},
    };
    for (const auto& c : cases)
    {
        QPosition position{};
        EXPECT_EQ(ParseFormattedQ(c.q.data(), position), c.bRead) << c.name;
        if (!c.bRead)
            continue;
        EXPECT_EQ(position.nControl, c.expected.nControl) << c.name;
        EXPECT_EQ(position.nTrack, c.expected.nTrack) << c.name;
        EXPECT_EQ(position.nIndex, c.expected.nIndex) << c.name;
        EXPECT_EQ(position.nSector, c.expected.nSector) << c.name;
    }
}

TEST(SubchannelTest, CatalogAndIsrcAnswers)
{
    struct
    {
        const char* name;
        uint8_t format;
        uint8_t valid;
        const char* code;
        const char* expected;  // nullptr: none
    } const cases[] = {
        {"a catalog number", SUBCHANNEL_CATALOG, 0x80, "0731452918626", "0731452918626"},
        {"a catalog of zeros", SUBCHANNEL_CATALOG, 0x80, "0000000000000", nullptr},
        {"a catalog not marked valid", SUBCHANNEL_CATALOG, 0x00, "0731452918626", nullptr},
        {"a letter in a catalog", SUBCHANNEL_CATALOG, 0x80, "07314529186A6", nullptr},
        {"an ISRC", SUBCHANNEL_ISRC, 0x80, "GBAYE6500001", "GBAYE6500001"},
        {"an owner with digits", SUBCHANNEL_ISRC, 0x80, "USRC17607839", "USRC17607839"},
        {"an ISRC of zeros", SUBCHANNEL_ISRC, 0x80, "000000000000", nullptr},
        {"number signs", SUBCHANNEL_ISRC, 0x80, "############", nullptr},
        {"lower case", SUBCHANNEL_ISRC, 0x80, "gbaye6500001", nullptr},
        {"a letter in the serial", SUBCHANNEL_ISRC, 0x80, "GBAYE650000X", nullptr},
        {"an ISRC not marked valid", SUBCHANNEL_ISRC, 0x00, "GBAYE6500001", nullptr},
    };
    for (const auto& c : cases)
    {
        const std::vector<uint8_t> answer = SubchannelAnswer(c.format, c.valid, c.code);
        char catalog[14] = "x";
        char isrc[13] = "x";
        const bool bRead = c.format == SUBCHANNEL_CATALOG ? ParseCatalogAnswer(answer.data(), answer.size(), catalog)
                                                          : ParseIsrcAnswer(answer.data(), answer.size(), isrc);
        EXPECT_EQ(bRead, c.expected != nullptr) << c.name;
        EXPECT_STREQ(c.format == SUBCHANNEL_CATALOG ? catalog : isrc, c.expected ? c.expected : "") << c.name;
    }
    const std::vector<uint8_t> cut = SubchannelAnswer(SUBCHANNEL_CATALOG, 0x80, "0731452918626");
    char catalog[14];
    EXPECT_FALSE(ParseCatalogAnswer(cut.data(), 21, catalog));
}

TEST(SubchannelTest, PositionAnswer)
{
    std::vector<uint8_t> answer(16, 0);
    answer[4] = SUBCHANNEL_POSITION;
    answer[5] = 0x10 | Q_CONTROL_PRE_EMPHASIS;
    answer[6] = 3;
    answer[7] = 0;
    answer[10] = 0x12;
    answer[11] = 0x34;
    QPosition position{};
    ASSERT_TRUE(ParsePositionAnswer(answer.data(), answer.size(), position));
    EXPECT_EQ(position.nControl, Q_CONTROL_PRE_EMPHASIS);
    EXPECT_EQ(position.nTrack, 3);
    EXPECT_EQ(position.nIndex, 0);
    EXPECT_EQ(position.nSector, 0x1234);
    EXPECT_FALSE(ParsePositionAnswer(answer.data(), 15, position));
    answer[4] = SUBCHANNEL_ISRC;
    EXPECT_FALSE(ParsePositionAnswer(answer.data(), answer.size(), position));
}

namespace {

// Track `track` starts at `start`, its gap at `gapStart`; the sectors in
// `unreadable` give no position. Counts the positions asked for.
class DiscPositions : public QPositionReader
{
public:
    DiscPositions(int track, int32_t gapStart, int32_t start, std::set<int32_t> unreadable = {})
        : track(track), gapStart(gapStart), start(start), unreadable(std::move(unreadable))
    {
    }

    bool ReadPosition(int32_t sector, QPosition& position) override
    {
        ++nReads;
        if (unreadable.count(sector))
            return false;
        position.nControl = 0;
        position.nTrack = sector >= gapStart ? track : track - 1;
        position.nIndex = sector >= start ? 1 : sector >= gapStart ? 0 : 1;
        position.nSector = sector;
        return true;
    }

    int nReads = 0;

private:
    int track;
    int32_t gapStart;
    int32_t start;
    std::set<int32_t> unreadable;
};

} // namespace

TEST(SubchannelTest, GapStartIsFoundByHalving)
{
    std::set<int32_t> everySeventh;
    for (int32_t s = 0; s < 300000; s += 7)
        everySeventh.insert(s);
    std::set<int32_t> aroundTheStart;
    for (int32_t s = 149990; s < 150003; ++s)
        aroundTheStart.insert(s);
    struct
    {
        const char* name;
        int track;
        int32_t previousStart;
        int32_t gapStart;
        int32_t start;
        std::set<int32_t> unreadable;
        int32_t expected;
    } const cases[] = {
        {"no gap", 2, 0, 20000, 20000, {}, 20000},
        {"two seconds", 2, 0, 19850, 20000, {}, 19850},
        {"one sector", 5, 100000, 299999, 300000, {}, 299999},
        {"a long track, every seventh sector unreadable", 7, 1000, 250000, 250150, everySeventh, 250000},
        {"the sectors around the gap's start unreadable", 3, 0, 150000, 150300, aroundTheStart, 150003},
        {"hidden audio before track 1", 1, 0, 0, 2250, {}, 0},
    };
    for (const auto& c : cases)
    {
        DiscPositions disc(c.track, c.gapStart, c.start, c.unreadable);
        EXPECT_EQ(FindGapStart(disc, c.track, c.previousStart, c.start), c.expected) << c.name;
        EXPECT_LT(disc.nReads, 100) << c.name;
    }
}
