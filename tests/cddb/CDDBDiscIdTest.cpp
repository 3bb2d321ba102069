// The disc id and query line, on discs named after their quirk. The ids and
// lengths are worked out by hand below; tests/cddb/CDDBDiscIdAgreementTest.cpp
// holds the rule against libcddb's over many generated discs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cddb/CDDBDiscId.h"
#include "cdrom/CDCommandBlocks.h"

namespace {

std::string Query(const std::vector<int32_t>& starts)
{
    char query[CDDB_QUERY_SIZE];
    MakeCDDBQuery(starts.data(), static_cast<int>(starts.size()) - 1, query, sizeof(query));
    return query;
}

uint32_t DiscId(const std::vector<int32_t>& starts)
{
    return CDDBDiscId(starts.data(), static_cast<int>(starts.size()) - 1);
}

TEST(CDDBDiscId, ThreeTracks)
{
    // Offsets 150, 15150, 30150 are 2, 202 and 402 seconds: digit sums
    // 2 + 4 + 6 = 12; the lead-out at 45150 is 602 seconds, 600 after the first.
    const std::vector<int32_t> threeTracks = {0, 15000, 30000, 45000};
    EXPECT_EQ(0x0c025803u, DiscId(threeTracks));
    EXPECT_EQ("cddb query 0c025803 3 150 15150 30150 602\n", Query(threeTracks));
}

TEST(CDDBDiscId, HiddenTrackOneTruncatesEachAddressOnItsOwn)
{
    // The first track starts at 3074: offset 3224 is 42 s (42.99), and the
    // lead-out's 50150 is 668 s, so the length is 668 - 42 = 626 s, although
    // the 46926 sectors between them are only 625 whole seconds. Digit sums:
    // 42 gives 6, offset 20150 (268 s) gives 16; 22 = 0x16, 626 = 0x272.
    const std::vector<int32_t> hiddenTrackOne = {3074, 20000, 50000};
    EXPECT_EQ(0x16027202u, DiscId(hiddenTrackOne));
    EXPECT_EQ("cddb query 16027202 2 3224 20150 668\n", Query(hiddenTrackOne));
}

TEST(CDDBDiscId, DigitSumsWrapAt255)
{
    // Seventeen tracks of 99 s from offset 150: seconds 2, 101, 200 ... 1586,
    // whose digit sums add up to 268, kept as 268 % 255 = 13.
    std::vector<int32_t> starts;
    for (int i = 0; i <= 17; ++i)
        starts.push_back(i * 99 * 75);
    uint32_t sum = 0;
    for (int i = 0; i < 17; ++i)
        for (uint32_t s = 2 + i * 99; s > 0; s /= 10)
            sum += s % 10;
    ASSERT_EQ(268u, sum);
    EXPECT_EQ(13u << 24 | 1683u << 8 | 17u, DiscId(starts));
}

TEST(CDDBDiscId, NinetyNineTracksFitTheQuery)
{
    std::vector<int32_t> starts;
    std::string offsets;
    for (int i = 0; i <= 99; ++i)
    {
        starts.push_back(i * 3000);
        if (i < 99)
            offsets += std::to_string(i * 3000 + 150) + " ";
    }
    const std::string query = Query(starts);
    EXPECT_EQ(0x63u, DiscId(starts) & 0xff);
    EXPECT_EQ(" 99 " + offsets + "3962\n", query.substr(std::strlen("cddb query 01234567")));
}

TEST(CDDBDiscId, TwoHundredFiftyFiveLongOffsetsFitTheQueryBuffer)
{
    // The widest query: every offset of six digits.
    std::vector<int32_t> starts;
    for (int i = 0; i <= 255; ++i)
        starts.push_back(200000 + i * 1000);
    const std::string query = Query(starts);
    EXPECT_LT(query.size(), CDDB_QUERY_SIZE - 1);
    EXPECT_EQ("cddb query e00d48ff 255 200150 201150 ", query.substr(0, 38));
    EXPECT_EQ(" 453150 454150 6068\n", query.substr(query.size() - 20));
}

TEST(CDDBDiscId, AShortBufferIsCutAndTerminatedAndTheLineRefused)
{
    const std::vector<int32_t> threeTracks = {0, 15000, 30000, 45000};
    char small[21];
    std::memset(small, 'x', sizeof(small));
    EXPECT_FALSE(MakeCDDBQuery(threeTracks.data(), 3, small, 20));
    EXPECT_STREQ("cddb query 0c025803", small);
    EXPECT_EQ('x', small[20]);

    EXPECT_FALSE(MakeCDDBQuery(threeTracks.data(), 3, small, 1));
    EXPECT_STREQ("", small);
    small[0] = 'x';
    EXPECT_FALSE(MakeCDDBQuery(threeTracks.data(), 3, small, 0));
    EXPECT_EQ('x', small[0]);

    // One byte short of the line and its terminator: the line end is what is cut.
    const size_t length = std::strlen("cddb query 0c025803 3 150 15150 30150 602\n");
    std::vector<char> exact(length + 1);
    EXPECT_FALSE(MakeCDDBQuery(threeTracks.data(), 3, exact.data(), length));
    EXPECT_TRUE(MakeCDDBQuery(threeTracks.data(), 3, exact.data(), length + 1));
    EXPECT_EQ('\n', exact[length - 1]);
}

// The widest tables of contents a drive can send (a 2048-byte reply holds 254
// tracks and the lead-out), at the extreme addresses: those the table of
// contents accepts give a whole query line in CDDB_QUERY_SIZE bytes; the
// others never reach the query.
TEST(CDDBDiscId, EveryTableOfContentsReadGivesAWholeQueryLine)
{
    const struct
    {
        const char* name;
        int32_t address;
        bool bAccepted;
    } cases[] = {
        {"99:59:74", CD_LAST_ADDRESS, true},
        {"00:02:00", 0, true},
        {"the widest below 2^31", -2147483647 - 1, false},
        {"just below 2^31", 2147483647, false},
    };
    for (int nTracks : {168, 254})
        for (const auto& c : cases)
        {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(nTracks) + " tracks");
            std::vector<uint8_t> response(TOC_RESPONSE_SIZE, 0);
            const int dataLength = 2 + 8 * (nTracks + 1);
            response[0] = static_cast<uint8_t>(dataLength >> 8);
            response[1] = static_cast<uint8_t>(dataLength);
            for (int i = 0; i <= nTracks; ++i)
            {
                uint8_t* descriptor = &response[4 + 8 * i];
                descriptor[1] = 0x10;
                descriptor[2] = i == nTracks ? 0xAA : static_cast<uint8_t>(i + 1);
                for (int b = 0; b < 4; ++b)
                    descriptor[4 + b] = static_cast<uint8_t>(static_cast<uint32_t>(c.address) >> (24 - 8 * b));
            }
            CDTableOfContents toc;
            const ProcessResult parsed = ParseTOCResponse(response.data(), response.size(), toc);
            ASSERT_EQ(c.bAccepted ? Done : Failed, parsed);
            if (parsed != Done)
                continue;
            ASSERT_EQ(nTracks, toc.nTracks);
            char query[CDDB_QUERY_SIZE];
            EXPECT_TRUE(MakeCDDBQuery(toc.nStartSector, toc.nTracks, query, sizeof(query)));
            const std::string line(query);
            EXPECT_EQ('\n', line.back());
        }

    // The longest line of all, of 255 tracks.
    const std::vector<int32_t> widest(256, CD_LAST_ADDRESS);
    char query[CDDB_QUERY_SIZE];
    EXPECT_TRUE(MakeCDDBQuery(widest.data(), 255, query, sizeof(query)));
    const std::string line(query);
    EXPECT_EQ(1814u, line.size());
    EXPECT_EQ(" 449999 449999 5999\n", line.substr(line.size() - 20));
}

} // namespace
