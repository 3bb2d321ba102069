#include <gtest/gtest.h>

#include <cstring>

#include "cddb/CDDBEntry.h"

namespace {

class CDDBEntryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        memset(&info, 0, sizeof(info));
        for (int i = 0; i < 3; ++i)
            snprintf(info.Tracks[i].szName, sizeof(info.Tracks[i].szName), "Track %.2d", i + 1);
        info.nTracks = 3;
    }
    void Read(std::initializer_list<const char*> lines)
    {
        LCDDBEntryReader reader(info);
        for (const char* line : lines)
            reader.ReadLine(line);
        reader.Finish();
    }
    LCDDBInfo info;
};

TEST_F(CDDBEntryTest, TitlesAndTrackNamesLoseTheirCarriageReturn)
{
    Read({"# xmcd\r", "DISCID=0c025803\r", "DTITLE=Artist / Album\r", "DYEAR=1999\r", "DGENRE=Jazz\\tRock\r",
          "TTITLE0=First\r", "TTITLE2=Third\r", "EXTT0=\r", "PLAYORDER=\r", "DYEARS=2000\r"});
    EXPECT_STREQ("Artist / Album", info.szTitle);
    EXPECT_STREQ("1999", info.szYear) << "only the key DYEAR itself names the year";
    EXPECT_STREQ("Jazz\tRock", info.szGenre);
    EXPECT_STREQ("First", info.Tracks[0].szName);
    EXPECT_STREQ("Track 02", info.Tracks[1].szName) << "no line named it";
    EXPECT_STREQ("Third", info.Tracks[2].szName);
}

TEST_F(CDDBEntryTest, SplitValuesAreJoinedAndEscapesDecoded)
{
    Read({"DTITLE=A Very Long Artist Na\r", "DTITLE=me / And Album\r", "TTITLE1=Part \\\\ one\\tTwo\r",
          "TTITLE1=\\nend\r", "TTITLE0=LF only"});
    EXPECT_STREQ("A Very Long Artist Name / And Album", info.szTitle);
    EXPECT_STREQ("Part \\ one\tTwo\nend", info.Tracks[1].szName);
    EXPECT_STREQ("LF only", info.Tracks[0].szName) << "a line without CR keeps its last letter";
}

TEST_F(CDDBEntryTest, OutOfRangeTracksAndOverlongValuesStayHarmless)
{
    const std::string longValue(400, 'x');
    const std::string longLine = "TTITLE0=" + longValue;
    Read({"TTITLE300=Beyond\r", "TTITLE-1=Negative\r", "TTITLE255=Last slot\r", longLine.c_str(),
          "TTITLE0=more\r"});
    EXPECT_EQ(259u, strlen(info.Tracks[0].szName)) << "joined values stop at the field's size";
    EXPECT_STREQ("Last slot", info.Tracks[255].szName);
    EXPECT_STREQ("Track 02", info.Tracks[1].szName);
}

TEST(CDDBReplies, CodesAndMatchLines)
{
    EXPECT_TRUE(IsCDDBSuccess("200 rock 0c025803 Artist / Album\r"));
    EXPECT_TRUE(IsCDDBSuccess("211 Found inexact matches\r"));
    EXPECT_TRUE(IsCDDBSuccess("202 No match\r"));  // a 2xx that the lookup treats apart
    EXPECT_FALSE(IsCDDBSuccess("500 Command syntax error\r"));
    EXPECT_FALSE(IsCDDBSuccess("garbage"));
    char category[TEXT_BUFFER_SIZE];
    char discId[TEXT_BUFFER_SIZE];
    ASSERT_TRUE(ParseCDDBMatch("misc 7a0b2c1d Someone / Something\r", category, discId));
    EXPECT_STREQ("misc", category);
    EXPECT_STREQ("7a0b2c1d", discId);
    ASSERT_TRUE(ParseCDDBMatch("rock 0c025803\r", category, discId));
    EXPECT_STREQ("0c025803", discId);
    EXPECT_FALSE(ParseCDDBMatch("rock\r", category, discId));
    EXPECT_FALSE(ParseCDDBMatch(" 0c025803 x", category, discId));
    // A line of a list: the title with it, whatever its spaces.
    CDDBMatch match;
    ASSERT_TRUE(ParseCDDBMatch("jazz 7a0b2c1d Some One / Some  Thing\r\n", match));
    EXPECT_STREQ("jazz", match.szCategory);
    EXPECT_STREQ("7a0b2c1d", match.szDiscId);
    EXPECT_STREQ("Some One / Some  Thing", match.szTitle);
    ASSERT_TRUE(ParseCDDBMatch("rock 0c025803\r", match));
    EXPECT_STREQ("", match.szTitle);
    EXPECT_FALSE(ParseCDDBMatch("rock\r", match));
}

} // namespace
