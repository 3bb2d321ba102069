#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cdrom/CDText.h"
#include "files/Crc.h"

namespace {

// Packs as a disc carries them: the strings of one type, the disc's first,
// cut into 12-byte pieces, each pack naming the track of its first
// character and how many characters of that string earlier packs carried.
class PackWriter
{
public:
    explicit PackWriter(int block = 0, bool bDoubleByte = false) : block(block), bDoubleByte(bDoubleByte) {}

    void Strings(uint8_t type, const std::vector<std::string>& strings)
    {
        std::string all;
        std::vector<int> owner;  // the track of each character
        std::vector<int> position;  // its place in its string
        for (std::size_t track = 0; track < strings.size(); ++track)
        {
            const std::string s = strings[track] + '\0';
            for (std::size_t i = 0; i < s.size(); ++i)
            {
                all += s[i];
                owner.push_back(int(track));
                position.push_back(int(i));
            }
        }
        for (std::size_t at = 0; at < all.size(); at += 12)
        {
            uint8_t pack[18] = {type, uint8_t(owner[at]), sequence++,
                                uint8_t((bDoubleByte ? 0x80 : 0) | block << 4 | std::min(position[at], 15))};
            for (std::size_t i = 0; i < 12 && at + i < all.size(); ++i)
                pack[4 + i] = uint8_t(all[at + i]);
            Add(pack);
        }
    }

    void SizeInfo(uint8_t characterCode, int lastTrack)
    {
        uint8_t info[36] = {characterCode, 1, uint8_t(lastTrack)};
        for (uint8_t i = 0; i < 3; ++i)
        {
            uint8_t pack[18] = {0x8F, i, sequence++, uint8_t(block << 4)};
            std::copy(info + 12 * i, info + 12 * i + 12, pack + 4);
            Add(pack);
        }
    }

    // The whole answer: its length field, two reserved bytes and the packs.
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& more = {}) const
    {
        const std::size_t length = bytes.size() + more.size() + 2;
        std::vector<uint8_t> answer(length + 2, 0);
        answer[0] = uint8_t(length >> 8);
        answer[1] = uint8_t(length);
        std::copy(more.begin(), more.end(), std::copy(bytes.begin(), bytes.end(), answer.begin() + 4));
        return answer;
    }

    std::vector<uint8_t> bytes;

private:
    void Add(uint8_t (&pack)[18])
    {
        const uint16_t crc = CdCrc16(pack, 16);
        pack[16] = uint8_t(crc >> 8);
        pack[17] = uint8_t(crc);
        bytes.insert(bytes.end(), pack, pack + 18);
    }

    int block;
    bool bDoubleByte;
    uint8_t sequence = 0;
};

std::unique_ptr<CDText> Parse(const std::vector<uint8_t>& answer, bool bExpected = true)
{
    auto text = std::make_unique<CDText>();
    EXPECT_EQ(ParseCDText(answer.data(), answer.size(), *text), bExpected);
    return text;
}

} // namespace

TEST(CDTextTest, NamesOfTheDiscAndItsTracks)
{
    PackWriter disc;
    disc.Strings(0x80, {"An Album Title Longer Than A Pack", "One", "Caf\xe9 au lait", "Three"});
    disc.Strings(0x81, {"The Band", "", "Guest", "\t"});
    disc.Strings(0x82, {"Writer", "w1", "w2", "w3"});  // a songwriter: not read
    disc.SizeInfo(CDTEXT_ISO_8859_1, 3);
    auto text = Parse(disc.Answer());
    EXPECT_TRUE(text->bFound);
    EXPECT_FALSE(text->bSkippedDoubleByte);
    EXPECT_EQ(text->nDroppedPacks, 0);
    EXPECT_STREQ(text->szDiscTitle, "An Album Title Longer Than A Pack");
    EXPECT_STREQ(text->szDiscPerformer, "The Band");
    EXPECT_STREQ(text->szTrackTitle[1], "One");
    EXPECT_STREQ(text->szTrackTitle[2], "Caf\xe9 au lait");
    EXPECT_STREQ(text->szTrackTitle[3], "Three");
    EXPECT_STREQ(text->szTrackPerformer[1], "");
    EXPECT_STREQ(text->szTrackPerformer[2], "Guest");
    EXPECT_STREQ(text->szTrackPerformer[3], "Guest");  // the TAB: as the previous track
    EXPECT_STREQ(text->szTrackTitle[4], "");
}

TEST(CDTextTest, APackWithAWrongCrcLosesOnlyItsStrings)
{
    PackWriter disc;
    disc.Strings(0x80, {"Disc", "First track's title", "Second", "A third track's title", "Four"});
    disc.SizeInfo(CDTEXT_ASCII, 4);
    // Packs 1 and 3 hold the middles of the titles of tracks 1 and 3; pack 2
    // ends track 1's, holds all of track 2's and begins track 3's.
    disc.bytes[18 + 17] ^= 0x01;
    disc.bytes[3 * 18 + 17] ^= 0x01;
    auto text = Parse(disc.Answer());
    EXPECT_EQ(text->nDroppedPacks, 2);
    EXPECT_STREQ(text->szDiscTitle, "Disc");
    EXPECT_STREQ(text->szTrackTitle[1], "");
    EXPECT_STREQ(text->szTrackTitle[2], "Second");
    EXPECT_STREQ(text->szTrackTitle[3], "");
    EXPECT_STREQ(text->szTrackTitle[4], "Four");
}

TEST(CDTextTest, TheFirstBlockWeCanRead)
{
    struct
    {
        const char* name;
        bool bFirstDouble;
        uint8_t firstCode;
        bool bExpected;
        const char* title;
    } const cases[] = {
        {"MS-JIS first, then ASCII", true, CDTEXT_MS_JIS, true, "English"},
        {"a double-byte block without size information", true, 0xFF, true, "English"},
        {"ISO-8859-1 first", false, CDTEXT_ISO_8859_1, true, "First"},
    };
    for (const auto& c : cases)
    {
        PackWriter first(0, c.bFirstDouble);
        first.Strings(0x80, {"First", "T1"});
        if (c.firstCode != 0xFF)
            first.SizeInfo(c.firstCode, 1);
        PackWriter second(1);
        second.Strings(0x80, {"English", "T1"});
        second.SizeInfo(CDTEXT_ASCII, 1);
        auto text = Parse(first.Answer(second.bytes), c.bExpected);
        EXPECT_STREQ(text->szDiscTitle, c.title) << c.name;
        EXPECT_EQ(text->bSkippedDoubleByte, c.bFirstDouble) << c.name;
    }

    PackWriter only(0, true);
    only.Strings(0x80, {"\x82\xa0", "x"});
    only.SizeInfo(CDTEXT_MS_JIS, 1);
    auto text = Parse(only.Answer(), false);
    EXPECT_TRUE(text->bSkippedDoubleByte);
    EXPECT_STREQ(text->szDiscTitle, "");
}

TEST(CDTextTest, AnswersWithNothingInThem)
{
    PackWriter disc;
    disc.Strings(0x80, {"Disc", "One"});
    std::vector<uint8_t> claimsMore = disc.Answer();
    claimsMore[0] = 0x40;  // a length past what arrived: only what arrived is read
    const std::vector<std::vector<uint8_t>> answers = {{}, {0, 2, 0, 0}, {0, 2}};
    for (const auto& answer : answers)
        Parse(answer, false);
    EXPECT_STREQ(Parse(claimsMore)->szTrackTitle[1], "One");

    // Every pack wrong: nothing.
    std::vector<uint8_t> broken = disc.Answer();
    for (std::size_t p = 4; p + 18 <= broken.size(); p += 18)
        broken[p + 16] ^= 0xFF;
    EXPECT_EQ(Parse(broken, false)->nDroppedPacks, 1);
}
