#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ReferenceSignal.h"
#include "cddb/CDDBDiscId.h"
#include "cdrom/AccurateRip.h"

namespace {

struct DiscCase
{
    const char* name;
    std::vector<int32_t> starts;  // every track, then the final lead-out
    std::vector<uint8_t> bData;
    const char* expected;  // "NNN-id1-id2-cddb", from the references' own discs
};

std::string IdsText(const AccurateRipDisc& disc)
{
    char text[40];
    snprintf(text, sizeof(text), "%03d-%08x-%08x-%08x", disc.nAudioTracks, unsigned(disc.id1), unsigned(disc.id2),
             unsigned(disc.cddbId));
    return text;
}

AccurateRipDisc DiscOf(const DiscCase& c)
{
    const int nTracks = int(c.bData.size());
    AccurateRipDisc disc{};
    EXPECT_TRUE(MakeAccurateRipDisc(c.starts.data(), c.bData.data(), nTracks,
                                    CDDBDiscId(c.starts.data(), nTracks), disc));
    return disc;
}

} // namespace

TEST(AccurateRipTest, DiscIdsOfKnownDiscs)
{
    const DiscCase cases[] = {
        {"one track", {0, 279037}, {0}, "001-000441fd-000883fb-020e8801"},
        {"hidden audio before track 1", {33, 107483, 178953, 284690, 356290}, {0, 0, 0, 0},
         "004-000e26d9-00380804-3e128e04"},
        {"CD-Extra, one audio track", {0, 90778 + 11400, 266899}, {0, 1}, "001-00041293-00082527-100de602"},
        {"CD-Extra, twelve audio tracks",
         {0, 15537, 31691, 50866, 66466, 81202, 99409, 115920, 133093, 149847, 161560, 177682, 207106, 210385},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
         "012-0013bd5a-00b8d489-c60af50d"},
        {"CD-Extra, ten audio tracks, final lead-out",
         {0, 12617, 40337, 63075, 93260, 117965, 151715, 184190, 215110, 247305, 281585, 333651},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
         "010-00164419-00b9f6e2-9e11600b"},
    };
    for (const DiscCase& c : cases)
        EXPECT_EQ(IdsText(DiscOf(c)), c.expected) << c.name;
}

TEST(AccurateRipTest, DataTrackFirstIsLeftOutAndAudioCountsFromOne)
{
    // The same audio as an audio-only disc, behind a data track: the ids see
    // only the audio tracks, numbered from 1.
    const int32_t mixed[] = {0, 2000, 5000, 9000};
    const uint8_t mixedData[] = {1, 0, 0};
    const int32_t audio[] = {2000, 5000, 9000};
    const uint8_t audioData[] = {0, 0};
    AccurateRipDisc a{}, b{};
    ASSERT_TRUE(MakeAccurateRipDisc(mixed, mixedData, 3, 0x12345678, a));
    ASSERT_TRUE(MakeAccurateRipDisc(audio, audioData, 2, 0x12345678, b));
    EXPECT_EQ(IdsText(a), IdsText(b));
    EXPECT_EQ(a.nAudioTracks, 2);

    const int32_t dataOnly[] = {0, 5000};
    const uint8_t dataOnlyData[] = {1};
    EXPECT_FALSE(MakeAccurateRipDisc(dataOnly, dataOnlyData, 1, 0, a));
}

TEST(AccurateRipTest, PathOfTheEntry)
{
    const DiscCase twelve = {"",
                             {0, 15537, 31691, 50866, 66466, 81202, 99409, 115920, 133093, 149847, 161560, 177682,
                              207106, 210385},
                             {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                             ""};
    char path[ACCURATERIP_PATH_SIZE];
    AccurateRipPath(DiscOf(twelve), path, sizeof(path));
    EXPECT_STREQ(path, "accuraterip/a/5/d/dBAR-012-0013bd5a-00b8d489-c60af50d.bin");

    const AccurateRipDisc widest = {99, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    AccurateRipPath(widest, path, sizeof(path));
    EXPECT_EQ(std::strlen(path) + 1, std::size_t(58));
}

TEST(AccurateRipTest, TrackChecksumsOfTheReferenceSignal)
{
    // 500 sectors of the reference signal as one track at each place on a disc.
    const std::vector<uint8_t> pcm = ReferenceSignal(294000);
    struct
    {
        const char* place;
        bool bFirst;
        bool bLast;
        uint32_t v1;
        uint32_t v2;
    } const cases[] = {
        {"1 of 1", true, true, 0xf8892d74, 0xe5997b49},
        {"1 of 10", true, false, 0xc688e268, 0xcc309e4c},
        {"5 of 10", false, false, 0xf8733850, 0xfe348bc7},
        {"10 of 10", false, true, 0x2a73835c, 0x179d68c4},
    };
    for (const auto& c : cases)
    {
        AccurateRipChecksum sum(294000, c.bFirst, c.bLast);
        // In irregular blocks, as a rip delivers them.
        std::size_t at = 0;
        for (std::size_t block = 1; at < 294000; block = block * 7 % 8191 + 1)
        {
            const std::size_t n = std::min(block, std::size_t(294000) - at);
            sum.Add(pcm.data() + at * 4, n);
            at += n;
        }
        EXPECT_EQ(sum.FramesAdded(), 294000u) << c.place;
        EXPECT_EQ(sum.V1(), c.v1) << c.place;
        EXPECT_EQ(sum.V2(), c.v2) << c.place;
        EXPECT_EQ(sum.Frame450(), 0x3082a194u) << c.place;
    }
    EXPECT_EQ(AccurateRipFrame450(pcm.data() + ACCURATERIP_FRAME450_START * 4), 0x3082a194u);
}

TEST(AccurateRipTest, SilenceAndShortTracks)
{
    const std::vector<uint8_t> silence(588 * 4 * 20, 0);
    AccurateRipChecksum quiet(588 * 20, false, false);
    quiet.Add(silence.data(), 588 * 20);
    EXPECT_EQ(quiet.V1(), 0u);
    EXPECT_EQ(quiet.V2(), 0u);

    // A lone track shorter than its two skipped edges sums nothing.
    const std::vector<uint8_t> pcm = ReferenceSignal(5000);
    AccurateRipChecksum lone(5000, true, true);
    lone.Add(pcm.data(), 5000);
    EXPECT_EQ(lone.V1(), 0u);
    EXPECT_EQ(lone.V2(), 0u);
    EXPECT_EQ(lone.Frame450(), 0u);
}

namespace {

// The references' example body: two chunks of one track each.
const uint8_t kExampleBody[] = {
    0x01, 0xfd, 0x41, 0x04, 0x00, 0xfb, 0x83, 0x08, 0x00, 0x01, 0x88, 0x0e, 0x02,
    0x07, 0x1e, 0x54, 0x16, 0x27, 0x6b, 0xca, 0xd5, 0x07,
    0x01, 0xfd, 0x41, 0x04, 0x00, 0xfb, 0x83, 0x08, 0x00, 0x01, 0x88, 0x0e, 0x02,
    0x06, 0x86, 0x54, 0x34, 0x80, 0x00, 0x00, 0x00, 0x00,
};
const AccurateRipDisc kExampleDisc = {1, 0x000441fd, 0x000883fb, 0x020e8801};

} // namespace

TEST(AccurateRipTest, ResponseOfTheReferenceExample)
{
    std::vector<AccurateRipChunk> chunks;
    ASSERT_TRUE(ParseAccurateRipResponse(kExampleBody, sizeof(kExampleBody), chunks));
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].nTracks, 1);
    EXPECT_EQ(chunks[0].id1, 0x000441fdu);
    EXPECT_EQ(chunks[0].id2, 0x000883fbu);
    EXPECT_EQ(chunks[0].cddbId, 0x020e8801u);
    EXPECT_EQ(chunks[0].Entries[0].nConfidence, 7);
    EXPECT_EQ(chunks[0].Entries[0].crc, 0x2716541eu);
    EXPECT_EQ(chunks[0].Entries[0].frame450, 0x07d5ca6bu);
    EXPECT_EQ(chunks[1].Entries[0].nConfidence, 6);
    EXPECT_EQ(chunks[1].Entries[0].crc, 0x80345486u);
    EXPECT_EQ(chunks[1].Entries[0].frame450, 0u);
}

TEST(AccurateRipTest, BodiesThatSayNothing)
{
    std::vector<uint8_t> oversized(kExampleBody, kExampleBody + sizeof(kExampleBody));
    oversized.push_back(0x00);
    std::vector<uint8_t> zeroTracks(kExampleBody, kExampleBody + 22);
    zeroTracks[0] = 0;
    std::vector<uint8_t> tooManyTracks(13 + 100 * 9, 0);
    tooManyTracks[0] = 100;
    const std::vector<uint8_t> html = {'<', 'h', 't', 'm', 'l', '>'};
    struct
    {
        const char* name;
        std::vector<uint8_t> body;
    } const cases[] = {
        {"empty", {}},
        {"cut in a header", std::vector<uint8_t>(kExampleBody, kExampleBody + 10)},
        {"cut in an entry", std::vector<uint8_t>(kExampleBody, kExampleBody + 30)},
        {"a byte too many", oversized},
        {"a chunk of no tracks", zeroTracks},
        {"a chunk of 100 tracks", tooManyTracks},
        {"a page", html},
    };
    for (const auto& c : cases)
    {
        std::vector<AccurateRipChunk> chunks(1);
        EXPECT_FALSE(ParseAccurateRipResponse(c.body.data(), c.body.size(), chunks)) << c.name;
        EXPECT_TRUE(chunks.empty()) << c.name;
    }
}

// An HTTP answer: only a 200 with whole chunks is an entry; a missing entry
// is a 404 or a page; anything else says the database was not reached.
TEST(AccurateRipTest, AnswersOfTheServer)
{
    const std::vector<uint8_t> example(kExampleBody, kExampleBody + sizeof(kExampleBody));
    const std::vector<uint8_t> cut(kExampleBody, kExampleBody + 30);
    const std::vector<uint8_t> page = {'<', 'h', 't', 'm', 'l', '>'};
    std::vector<uint8_t> huge;
    while (huge.size() <= ACCURATERIP_MAX_BODY)
        huge.insert(huge.end(), example.begin(), example.end());
    struct
    {
        const char* name;
        int status;
        const char* type;
        std::vector<uint8_t> body;
        AccurateRipAnswer expected;
        std::size_t nChunks;
    } const cases[] = {
        {"entry", 200, "application/octet-stream", example, AccurateRipAnswer::Found, 2},
        {"entry, no type", 200, "", example, AccurateRipAnswer::Found, 2},
        {"404", 404, "text/html", page, AccurateRipAnswer::NotInDatabase, 0},
        {"a page for a missing entry", 200, "Text/HTML; charset=utf-8", page, AccurateRipAnswer::NotInDatabase, 0},
        {"cut", 200, "application/octet-stream", cut, AccurateRipAnswer::NotReached, 0},
        {"empty", 200, "application/octet-stream", {}, AccurateRipAnswer::NotReached, 0},
        {"too large", 200, "application/octet-stream", huge, AccurateRipAnswer::NotReached, 0},
        {"server error", 500, "application/octet-stream", example, AccurateRipAnswer::NotReached, 0},
        {"forbidden", 403, "text/html", page, AccurateRipAnswer::NotReached, 0},
    };
    for (const auto& c : cases)
    {
        std::vector<AccurateRipChunk> chunks(1);
        EXPECT_EQ(c.expected, ReadAccurateRipAnswer(c.status, c.type, c.body.data(), c.body.size(), chunks))
            << c.name;
        EXPECT_EQ(c.nChunks, chunks.size()) << c.name;
    }
}

TEST(AccurateRipTest, ResultPerTrack)
{
    std::vector<AccurateRipChunk> chunks;
    ASSERT_TRUE(ParseAccurateRipResponse(kExampleBody, sizeof(kExampleBody), chunks));
    AccurateRipChunk other = chunks[0];  // another disc's, in the same answer
    other.id1 += 1;
    other.Entries[0] = {200, 0x11111111, 0};
    chunks.push_back(other);

    struct
    {
        const char* name;
        uint32_t v1;
        uint32_t v2;
        AccurateRipStatus status;
        int nConfidence;
        int nDiffering;
    } const cases[] = {
        {"v1 of the first chunk", 0x2716541e, 0x12345678, AccurateRipStatus::Accurate, 7, 0},
        {"v2 of the second chunk", 0x12345678, 0x80345486, AccurateRipStatus::Accurate, 6, 0},
        {"both: the higher confidence", 0x80345486, 0x2716541e, AccurateRipStatus::Accurate, 7, 0},
        {"neither", 0x12345678, 0x9abcdef0, AccurateRipStatus::NotAccurate, 0, 13},
        {"another disc's checksum", 0x11111111, 0x11111111, AccurateRipStatus::NotAccurate, 0, 13},
    };
    for (const auto& c : cases)
    {
        const AccurateRipResult result = MatchAccurateRip(chunks, kExampleDisc, 0, c.v1, c.v2);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.nConfidence, c.nConfidence) << c.name;
        EXPECT_EQ(result.nDiffering, c.nDiffering) << c.name;
    }

    // A slot without a value (a track too short, a data track) is no entry,
    // and silence, whose checksums are 0, does not match it.
    for (AccurateRipChunk& chunk : chunks)
        chunk.Entries[0] = {0, 0, 0};
    EXPECT_EQ(MatchAccurateRip(chunks, kExampleDisc, 0, 0, 0).status, AccurateRipStatus::NotInDatabase);
    EXPECT_EQ(MatchAccurateRip({}, kExampleDisc, 0, 0x2716541e, 0).status, AccurateRipStatus::NotInDatabase);
}

TEST(AccurateRipTest, ReadOffsetFromTheFrame450Checksum)
{
    // A track of the reference signal; a drive with correction c gives the
    // track's frame p at its frame p + c.
    const int32_t search = ACCURATERIP_OFFSET_SEARCH;
    const std::vector<uint8_t> track = ReferenceSignal(294000);
    const uint32_t wanted[] = {0, 0x3082a194};
    struct
    {
        const char* name;
        int32_t correction;
    } const cases[] = {{"+48", 48}, {"-1164", -1164}, {"none", 0}, {"the widest", search}, {"+6", 6}};
    for (const auto& c : cases)
    {
        // The drive's frames from ACCURATERIP_FRAME450_START - search, uncorrected.
        std::vector<uint8_t> read(std::size_t(CD_FRAMES_PER_SECTOR + 2 * search) * 4);
        const int64_t first = int64_t(ACCURATERIP_FRAME450_START) - search - c.correction;
        std::memcpy(read.data(), track.data() + first * 4, read.size());
        std::vector<int32_t> corrections;
        FindReadOffsets(read.data(), search, wanted, 2, corrections);
        ASSERT_FALSE(corrections.empty()) << c.name;
        EXPECT_EQ(corrections.front(), c.correction) << c.name;
    }

    // Nothing matches: no correction.
    std::vector<uint8_t> silence(std::size_t(CD_FRAMES_PER_SECTOR + 2 * search) * 4, 0);
    std::vector<int32_t> corrections = {1};
    FindReadOffsets(silence.data(), search, wanted, 2, corrections);
    EXPECT_TRUE(corrections.empty());
}
