#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "cdrom/CueSheet.h"

namespace {

CueTrack Track(int number, int32_t index0, int32_t index1, const char* title, const char* file)
{
    CueTrack t{};
    t.nNumber = number;
    t.nIndex0 = index0;
    t.nIndex1 = index1;
    CopyText(t.szTitle, title);
    CopyText(t.szFileName, file);
    return t;
}

std::unique_ptr<CueDisc> Disc()
{
    auto disc = std::make_unique<CueDisc>();
    *disc = CueDisc{};
    disc->cddbId = 0x2a03d404;
    CopyText(disc->szProgram, "Corvane 1.32");
    CopyText(disc->szFileType, "WAVE");
    return disc;
}

std::string Sheet(const CueDisc& disc)
{
    std::string text(CUE_SHEET_SIZE, '\0');
    EXPECT_TRUE(MakeCueSheet(disc, text.data(), text.size()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

} // namespace

TEST(CueSheetTest, EveryFieldAndGapsAtTheEndOfThePreviousFile)
{
    // Catalog, names, a "same" performer left out, flags, ISRCs, a silent
    // pregap before track 1, and gaps before tracks 2 and 4 (of 150 and 37 sectors).
    auto disc = Disc();
    CopyText(disc->szCatalog, "0731452918626");
    CopyText(disc->szPerformer, "Some \"Band\"");
    CopyText(disc->szTitle, "Album");
    disc->nTracks = 4;
    disc->Tracks[0] = Track(1, 0, 33, "One", "01 - One.wav");
    disc->Tracks[1] = Track(2, 4533, 4683, "Two", "02 - Two.wav");
    disc->Tracks[2] = Track(3, 9000, 9000, "Three", "03 - Three.wav");
    disc->Tracks[3] = Track(4, 80963, 81000, "Four", "04 - Four.wav");
    CopyText(disc->Tracks[0].szIsrc, "GBAYE6500001");
    disc->Tracks[1].bPreEmphasis = 1;
    disc->Tracks[2].bPreEmphasis = 1;
    disc->Tracks[2].bCopyPermitted = 1;
    CopyText(disc->Tracks[3].szPerformer, "Guest");
    EXPECT_EQ(Sheet(*disc),
              "REM DISCID 2A03D404\r\n"
              "REM COMMENT \"Corvane 1.32\"\r\n"
              "CATALOG 0731452918626\r\n"
              "PERFORMER \"Some 'Band'\"\r\n"
              "TITLE \"Album\"\r\n"
              "FILE \"01 - One.wav\" WAVE\r\n"
              "  TRACK 01 AUDIO\r\n"
              "    TITLE \"One\"\r\n"
              "    ISRC GBAYE6500001\r\n"
              "    PREGAP 00:00:33\r\n"
              "    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    TITLE \"Two\"\r\n"
              "    FLAGS PRE\r\n"
              "    INDEX 00 01:00:00\r\n"
              "FILE \"02 - Two.wav\" WAVE\r\n"
              "    INDEX 01 00:00:00\r\n"
              "FILE \"03 - Three.wav\" WAVE\r\n"
              "  TRACK 03 AUDIO\r\n"
              "    TITLE \"Three\"\r\n"
              "    FLAGS DCP PRE\r\n"
              "    INDEX 01 00:00:00\r\n"
              "  TRACK 04 AUDIO\r\n"
              "    TITLE \"Four\"\r\n"
              "    PERFORMER \"Guest\"\r\n"
              "    INDEX 00 15:59:38\r\n"
              "FILE \"04 - Four.wav\" WAVE\r\n"
              "    INDEX 01 00:00:00\r\n");
}

TEST(CueSheetTest, HiddenAudioIsTrackOnesIndexZeroInAFileOfItsOwn)
{
    auto disc = Disc();
    CopyText(disc->szFileType, "MP3");
    CopyText(disc->szHiddenFileName, "00 - Hidden Track.mp3");
    disc->nTracks = 2;
    disc->Tracks[0] = Track(1, 0, 2250, "One", "01 - One.mp3");
    disc->Tracks[1] = Track(2, 5000, 5000, "Two", "02 - Two.mp3");
    EXPECT_EQ(Sheet(*disc),
              "REM DISCID 2A03D404\r\n"
              "REM COMMENT \"Corvane 1.32\"\r\n"
              "FILE \"00 - Hidden Track.mp3\" MP3\r\n"
              "  TRACK 01 AUDIO\r\n"
              "    TITLE \"One\"\r\n"
              "    INDEX 00 00:00:00\r\n"
              "FILE \"01 - One.mp3\" MP3\r\n"
              "    INDEX 01 00:00:00\r\n"
              "FILE \"02 - Two.mp3\" MP3\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    TITLE \"Two\"\r\n"
              "    INDEX 01 00:00:00\r\n");
}

TEST(CueSheetTest, DiscsItCannotDescribe)
{
    auto disc = Disc();
    char text[64];
    struct
    {
        const char* name;
        int nTracks;
        CueTrack first;
        CueTrack second;
        std::size_t size;
    } const cases[] = {
        {"no track", 0, Track(1, 0, 0, "", "a"), Track(2, 10, 10, "", "b"), sizeof(text)},
        {"numbers out of order", 2, Track(2, 0, 0, "", "a"), Track(1, 10, 10, "", "b"), sizeof(text)},
        {"a gap before the previous track", 2, Track(1, 0, 100, "", "a"), Track(2, 50, 150, "", "b"),
         sizeof(text)},
        {"index 0 after index 1", 1, Track(1, 20, 10, "", "a"), Track(2, 50, 150, "", "b"), sizeof(text)},
        {"too small a buffer", 1, Track(1, 0, 0, "", "a"), Track(2, 50, 150, "", "b"), 30},
    };
    for (const auto& c : cases)
    {
        disc->nTracks = c.nTracks;
        disc->Tracks[0] = c.first;
        disc->Tracks[1] = c.second;
        EXPECT_FALSE(MakeCueSheet(*disc, text, c.size)) << c.name;
        EXPECT_LT(std::strlen(text), c.size) << c.name;
    }
}

TEST(CueSheetTest, NinetyNineFullTracksFit)
{
    auto disc = Disc();
    CopyText(disc->szHiddenFileName, std::string(TEXT_MAX_LENGTH, 'h').c_str());
    disc->nTracks = CUE_MAX_TRACKS;
    const std::string longest(TEXT_MAX_LENGTH, 'x');
    for (int i = 0; i < CUE_MAX_TRACKS; ++i)
    {
        disc->Tracks[i] = Track(i + 1, i * 1000 + (i > 0 ? 500 : 0), i * 1000 + 900, longest.c_str(),
                                longest.c_str());
        CopyText(disc->Tracks[i].szPerformer, longest.c_str());
        CopyText(disc->Tracks[i].szIsrc, "GBAYE6500001");
        disc->Tracks[i].bPreEmphasis = disc->Tracks[i].bCopyPermitted = 1;
    }
    std::string text(CUE_SHEET_SIZE, '\0');
    EXPECT_TRUE(MakeCueSheet(*disc, text.data(), text.size()));
}
