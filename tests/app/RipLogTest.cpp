#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/RipLog.h"

namespace {

std::unique_ptr<RipLogDisc> Disc(bool bSecure)
{
    auto disc = std::make_unique<RipLogDisc>();
    *disc = RipLogDisc{};
    CopyText(disc->szProgram, "Corvane 1.32");
    CopyText(disc->szDate, "2026-12-11 14:05");
    CopyText(disc->szDrive, "PLEXTOR  - DVDR   PX-716A");
    CopyText(disc->szArtist, "Artist");
    CopyText(disc->szAlbum, "Album");
    disc->bSecure = bSecure;
    disc->bC2 = 1;
    disc->nCorrectionFrames = 30;
    disc->nCacheSectors = 2400;
    disc->nTracks = 3;
    disc->Tracks[0] = {1, 0, 4500, 0, 0};
    disc->Tracks[1] = {2, 4500, 20000, 0, 0};
    disc->Tracks[2] = {3, 31400, 40000, 1, 0};
    return disc;
}

std::string Text(bool bFit, const char* out)
{
    EXPECT_TRUE(bFit);
    return out;
}

} // namespace

TEST(RipLogTest, TheDisc)
{
    char out[RIP_LOG_PART_SIZE];
    EXPECT_EQ(Text(FormatRipLogDisc(*Disc(true), out, sizeof(out)), out),
              "Corvane 1.32 rip log, 2026-12-11 14:05\r\n\r\n"
              "Artist / Album\r\n\r\n"
              "Drive: PLEXTOR  - DVDR   PX-716A\r\n"
              "Read mode: Secure\r\n"
              "C2 pointers: used\r\n"
              "Cache defeat: 2400 sectors read elsewhere between two reads\r\n"
              "Read offset correction: +30\r\n"
              "Overread into lead-in and lead-out: No\r\n"
              "Secure mode reads every sector until two reads agree: \"Copy OK\" says the drive read\r\n"
              "the track the same way twice, not that the data is right; AccurateRip tells that.\r\n"
              "A track the AccurateRip database confirms after one read is not read again.\r\n"
              "\r\nTable of contents\r\n\r\n"
              "  Track |   Start  |  Length  | Start sector | End sector\r\n"
              "     1  |  0:00.00 |  1:00.00 |            0 |       4499\r\n"
              "     2  |  1:00.00 |  3:26.50 |         4500 |      19999\r\n"
              "     3  |  6:58.50 |  1:54.50 |        31400 |      39999  (data)\r\n"
              "\r\n");
    auto burst = Disc(false);
    burst->nCorrectionFrames = -1164;
    const std::string text = Text(FormatRipLogDisc(*burst, out, sizeof(out)), out);
    EXPECT_NE(text.find("Read mode: Burst\r\nRead offset correction: -1164\r\n"), std::string::npos);
    EXPECT_EQ(text.find("C2"), std::string::npos);
    EXPECT_EQ(text.find("Catalog"), std::string::npos);
    EXPECT_EQ(text.find("CD-Text"), std::string::npos);

    // What the disc carries itself: its catalog number, a pre-emphasised
    // track, CD-Text in a character set that is not read.
    CopyText(burst->szCatalog, "0731452918626");
    burst->bCDTextSkipped = 1;
    burst->Tracks[1].bPreEmphasis = 1;
    const std::string carried = Text(FormatRipLogDisc(*burst, out, sizeof(out)), out);
    EXPECT_NE(carried.find("Overread into lead-in and lead-out: No\r\n"
                           "Catalog number: 0731452918626\r\n"
                           "CD-Text: MS-JIS block skipped\r\n"),
              std::string::npos)
        << carried;
    EXPECT_NE(carried.find("     2  |  1:00.00 |  3:26.50 |         4500 |      19999  (pre-emphasis)\r\n"),
              std::string::npos)
        << carried;
}

TEST(RipLogTest, Tracks)
{
    const int32_t suspicious[] = {1988, 1989, 1990, 2100};
    const int32_t errors[] = {3000, 3001, 3002};
    const AccurateRipEntry chunks[] = {{5, 0xC688E268, 0x3082A194}, {3, 0xCC309E4C, 0x3082A194}};
    const RipLogAccurateRip accurate = {0xC688E268, 0xCC309E4C, chunks, 2, {AccurateRipStatus::Accurate, 5, 0}, 1};
    const RipLogAccurateRip differ = {0x12345678, 0x9ABCDEF0, chunks, 2, {AccurateRipStatus::NotAccurate, 0, 8}, 0};
    const RipLogAccurateRip unknown = {0x12345678, 0x9ABCDEF0, nullptr, 0, {AccurateRipStatus::NotInDatabase, 0, 0}, 0};
    const RipLogAccurateRip unreached = {0x12345678, 0x9ABCDEF0, nullptr, 0, {AccurateRipStatus::NotReached, 0, 0}, 0};
    struct
    {
        const char* name;
        RipLogTrack track;
        const char* expected;
    } const cases[] = {
        {"copied OK",
         {1, "C:\\Music\\01 - One.wav", 32768, 1, 0x0F9C5492, 0x0F9C5492, RipLogStatus::CopyOk, nullptr, 0, nullptr,
          0, nullptr},
         "Track  1\r\n\r\n     Filename C:\\Music\\01 - One.wav\r\n\r\n     Peak level 100.0 %\r\n"
         "     Test CRC 0F9C5492\r\n     Copy CRC 0F9C5492\r\n     Copy OK\r\n\r\n"},
        {"suspicious and unreadable",
         {2, "02 - Two.wav", 16383, 1, 0x12345678, 0x9ABCDEF0, RipLogStatus::ReadError, suspicious, 4, errors, 3,
          nullptr},
         "Track  2\r\n\r\n     Filename 02 - Two.wav\r\n\r\n     Peak level 49.9 %\r\n"
         "     Test CRC 12345678\r\n     Copy CRC 9ABCDEF0\r\n"
         "     Suspicious positions: 0:26.38-0:26.40, 0:28.00\r\n"
         "     Read error at 0:40.00-0:40.02 (written as silence)\r\n     Read error\r\n\r\n"},
        {"burst",
         {3, "03 - Three.mp3", 0, 0, 0, 0xB2B1400E, RipLogStatus::Ripped, nullptr, 0, nullptr, 0, nullptr},
         "Track  3\r\n\r\n     Filename 03 - Three.mp3\r\n\r\n     Peak level 0.0 %\r\n"
         "     Copy CRC B2B1400E\r\n     Ripped\r\n\r\n"},
        {"accurate",
         {5, "05.wav", 0, 0, 0, 0xB2B1400E, RipLogStatus::Ripped, nullptr, 0, nullptr, 0, &accurate},
         "Track  5\r\n\r\n     Filename 05.wav\r\n\r\n     Peak level 0.0 %\r\n     Copy CRC B2B1400E\r\n"
         "     AccurateRip v1 C688E268, v2 CC309E4C\r\n     Database checksum C688E268 (confidence 5)\r\n"
         "     Database checksum CC309E4C (confidence 3)\r\n     AccurateRip: Accurate (confidence 5)\r\n"
         "     Read once: the database proves the copy\r\n     Ripped\r\n\r\n"},
        {"not accurate",
         {6, "06.wav", 0, 0, 0, 0xB2B1400E, RipLogStatus::Ripped, nullptr, 0, nullptr, 0, &differ},
         "Track  6\r\n\r\n     Filename 06.wav\r\n\r\n     Peak level 0.0 %\r\n     Copy CRC B2B1400E\r\n"
         "     AccurateRip v1 12345678, v2 9ABCDEF0\r\n     Database checksum C688E268 (confidence 5)\r\n"
         "     Database checksum CC309E4C (confidence 3)\r\n"
         "     AccurateRip: Not accurate (8 other rips differ)\r\n     Ripped\r\n\r\n"},
        {"not in database",
         {7, "07.wav", 0, 0, 0, 0xB2B1400E, RipLogStatus::Ripped, nullptr, 0, nullptr, 0, &unknown},
         "Track  7\r\n\r\n     Filename 07.wav\r\n\r\n     Peak level 0.0 %\r\n     Copy CRC B2B1400E\r\n"
         "     AccurateRip v1 12345678, v2 9ABCDEF0\r\n     AccurateRip: Not in database\r\n     Ripped\r\n\r\n"},
        {"database not reached",
         {8, "08.wav", 0, 0, 0, 0xB2B1400E, RipLogStatus::Ripped, nullptr, 0, nullptr, 0, &unreached},
         "Track  8\r\n\r\n     Filename 08.wav\r\n\r\n     Peak level 0.0 %\r\n     Copy CRC B2B1400E\r\n"
         "     AccurateRip v1 12345678, v2 9ABCDEF0\r\n     AccurateRip: Database not reached\r\n"
         "     Ripped\r\n\r\n"},
        {"cancelled",
         {4, "04 - Four.wav", 0, 0, 0, 0, RipLogStatus::Cancelled, nullptr, 0, nullptr, 0, nullptr},
         "Track  4\r\n\r\n     Filename 04 - Four.wav\r\n\r\n     Cancelled: no file was kept\r\n\r\n"},
    };
    for (const auto& c : cases)
    {
        char out[RIP_LOG_PART_SIZE];
        EXPECT_EQ(Text(FormatRipLogTrack(c.track, out, sizeof(out)), out), c.expected) << c.name;
    }
}

TEST(RipLogTest, Summaries)
{
    char out[128];
    struct
    {
        int nTracks, nCopyOk, nRipped, nSuspicious, nReadErrors;
        bool bCancelled;
        const char* expected;
    } const cases[] = {
        {5, 5, 0, 0, 0, false, "All 5 tracks copied OK\r\n"},
        {5, 0, 5, 0, 0, false, "All 5 tracks ripped\r\n"},
        {5, 3, 0, 1, 1, false, "3 of 5 tracks copied OK, 0 ripped, 1 suspicious, 1 with read errors\r\n"},
        {5, 2, 0, 0, 0, true, "Cancelled after 2 of 5 tracks\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(FormatRipLogSummary(c.nTracks, c.nCopyOk, c.nRipped, c.nSuspicious, c.nReadErrors,
                                           c.bCancelled, out, sizeof(out)),
                       out),
                  c.expected);

    EXPECT_EQ(Text(FormatRipLogAccurateRipSummary(5, 4, out, sizeof(out)), out), "Accurately ripped: 4 of 5 tracks\r\n");

    char tiny[16];
    EXPECT_FALSE(FormatRipLogSummary(5, 3, 0, 1, 1, false, tiny, sizeof(tiny)));
    EXPECT_LT(std::string(tiny).size(), sizeof(tiny));
}
