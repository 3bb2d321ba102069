#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "soundfile/FlacEncoding.h"

namespace {

TEST(FlacEncoding, Utf16BecomesUtf8)
{
    const struct
    {
        std::vector<uint16_t> text;
        std::string utf8;
    } cases[] = {
        {{'A', 'b'}, "Ab"},
        {{0xE9, 0xFC, 0xDF}, "\xC3\xA9\xC3\xBC\xC3\x9F"},  // é ü ß
        {{0x20AC}, "\xE2\x82\xAC"},                         // the euro sign, one unit, three bytes
        {{0xD834, 0xDD1E}, "\xF0\x9D\x84\x9E"},             // a surrogate pair: one character of four bytes
        {{0xDD1E, 'x'}, "\xEF\xBF\xBDx"},                   // a lone surrogate
        {{'a', 0xD834}, "a\xEF\xBF\xBD"},                   // a high surrogate at the end
    };
    for (const auto& c : cases)
    {
        char out[16];
        EXPECT_TRUE(Utf16ToUtf8(c.text.data(), c.text.size(), out, sizeof(out)));
        EXPECT_EQ(c.utf8, out);
    }
    // Cut before a character that does not fit whole.
    const uint16_t text[] = {'a', 0xE9, 0xE9};
    char out[5];
    EXPECT_FALSE(Utf16ToUtf8(text, 3, out, sizeof(out)));
    EXPECT_STREQ("a\xC3\xA9", out);
}

TEST(FlacEncoding, CommentsInTheirOrderWithoutEmptyOnes)
{
    char comments[FLAC_MAX_COMMENTS][FLAC_COMMENT_SIZE];
    const FlacTrackTags all = {"Song", "Band", "Album", 3, 12, "1999", "Jazz", "GBAYE0000351"};
    const int n = MakeFlacComments(all, comments);
    const std::vector<std::string> expected = {"TITLE=Song",  "ARTIST=Band", "ALBUM=Album",       "TRACKNUMBER=3",
                                               "TRACKTOTAL=12", "DATE=1999", "GENRE=Jazz",        "ISRC=GBAYE0000351",
                                               "COMMENT=Corvane 1.32"};
    EXPECT_EQ(expected, std::vector<std::string>(comments, comments + n));

    const FlacTrackTags few = {"Song", "", nullptr, 1, 0, nullptr, "", nullptr};
    EXPECT_EQ((std::vector<std::string>{"TITLE=Song", "TRACKNUMBER=1", "COMMENT=Corvane 1.32"}),
              std::vector<std::string>(comments, comments + MakeFlacComments(few, comments)));

    // The longest text of the program, each character three bytes in UTF-8, fits.
    const std::string longest(3 * 259, 'x');
    const FlacTrackTags big = {longest.c_str(), nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr};
    MakeFlacComments(big, comments);
    EXPECT_EQ("TITLE=" + longest, comments[0]);
}

TEST(FlacEncoding, LevelsAndSeekPoints)
{
    for (const auto& c : std::vector<std::pair<int, int>>{{-3, 0}, {0, 0}, {5, 5}, {8, 8}, {9, 8}, {100, 8}})
        EXPECT_EQ(c.second, FlacLevelFromSetting(c.first)) << c.first;

    uint64_t points[8];
    const struct
    {
        int64_t frames;
        int32_t rate;
        std::vector<uint64_t> points;
    } cases[] = {
        {21 * 44100, 44100, {0, 441000, 882000}},
        {20 * 44100, 44100, {0, 441000}},  // none at the very end
        {25 * 22050, 22050, {0, 220500, 441000}},
        {0, 44100, {}},                    // nothing known, nothing planned
        {100 * 48000, 48000, {0, 480000, 960000, 1440000, 1920000, 2400000, 2880000, 3360000}},  // at most 8
    };
    for (const auto& c : cases)
    {
        const int n = PlanFlacSeekPoints(c.frames, c.rate, points, 8);
        EXPECT_EQ(c.points, std::vector<uint64_t>(points, points + n)) << c.frames;
    }
}

} // namespace
