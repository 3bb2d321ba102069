// The disc id and query line, on discs named after their quirk. The ids and
// lengths are worked out by hand below; tests/cddb/CDDBDiscIdAgreementTest.cpp
// holds the rule against libcddb's over many generated discs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cddb/CDDBDiscId.h"

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

TEST(CDDBDiscId, AShortBufferIsCutAndTerminated)
{
    const std::vector<int32_t> threeTracks = {0, 15000, 30000, 45000};
    char small[21];
    std::memset(small, 'x', sizeof(small));
    MakeCDDBQuery(threeTracks.data(), 3, small, 20);
    EXPECT_STREQ("cddb query 0c025803", small);
    EXPECT_EQ('x', small[20]);

    MakeCDDBQuery(threeTracks.data(), 3, small, 1);
    EXPECT_STREQ("", small);
    small[0] = 'x';
    MakeCDDBQuery(threeTracks.data(), 3, small, 0);
    EXPECT_EQ('x', small[0]);
}

} // namespace
