// The virtual drive's commands and faults, one table of cases per command,
// read independently of the program's rip job. Each test program runs them
// over the ways it reaches a drive (a DriveBackend): the model itself, or on
// Windows the ASPI manager and the pass-through seam through the program's
// SCSI transport. What a drive should deliver is worked out here from the
// image file's bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "mkdisc/DiscMaker.h"
#include "vdrive/VirtualDrive.h"

namespace drive_commands {

namespace fs = std::filesystem;

// What a command came back with.
struct Answer
{
    bool bGood = false;
    uint8_t senseKey = 0, asc = 0, ascq = 0;
    std::vector<uint8_t> data;  // the data buffer, as long as asked for
    int delayMs = 0;            // how much later than at once it completed (at least)
};

// One drive, reached some way.
class DriveBackend
{
public:
    virtual ~DriveBackend() = default;
    // A fresh drive serving `cue` with the configuration keys `keys`.
    virtual void Insert(const std::string& cue, const std::string& keys) = 0;
    virtual Answer Run(const std::vector<uint8_t>& cdb, size_t dataLength) = 0;
    virtual SectorReadCount Reads(int64_t sector) = 0;
};

struct Backend
{
    const char* name;
    std::function<std::unique_ptr<DriveBackend>()> make;
};
inline void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }
inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) { return info.param.name; }

// The sub-channel's and CD-Text's CRC, worked out here bit by bit from the
// polynomial x^16 + x^12 + x^5 + 1, most significant bit first, inverted.
inline uint16_t ReferenceCrc(const uint8_t* bytes, size_t size)
{
    uint32_t remainder = 0;
    for (size_t i = 0; i < size; ++i)
        for (int bit = 7; bit >= 0; --bit)
        {
            const bool bTop = ((remainder >> 15) ^ (bytes[i] >> bit)) & 1;
            remainder = (remainder << 1) & 0xFFFF;
            if (bTop)
                remainder ^= 0x1021;
        }
    return static_cast<uint16_t>(remainder ^ 0xFFFF);
}

inline int FromBcd(uint8_t value) { return (value >> 4) * 10 + (value & 15); }

inline std::vector<uint8_t> ReadCdCdb(int32_t lba, int n, uint8_t byte9, uint8_t byte10 = 0)
{
    const uint32_t a = static_cast<uint32_t>(lba);
    return {0xBE, 0x04, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a), uint8_t(n >> 16),
            uint8_t(n >> 8), uint8_t(n), byte9, byte10, 0};
}

inline std::vector<uint8_t> Read12Cdb(int32_t lba, int n, bool bFua)
{
    return {0xA8, uint8_t(bFua ? 0x08 : 0), uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba),
            0, 0, uint8_t(n >> 8), uint8_t(n), 0, 0};
}

inline std::vector<uint8_t> ReadSubChannelCdb(uint8_t format, uint8_t track = 0, bool bMsf = false)
{
    return {0x42, uint8_t(bMsf ? 0x02 : 0), 0x40, format, 0, 0, track, 0, 24, 0};
}

inline std::vector<uint8_t> ReadTocCdb(uint8_t format, uint16_t allocation = 4096)
{
    return {0x43, 0, format, 0, 0, 0, 0, uint8_t(allocation >> 8), uint8_t(allocation), 0};
}

class DriveCommandsTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path()
                 / ("vdrive-commands-" + std::string(GetParam().name) + "-"
                    + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        // Three tracks of 40, 35 and 60 sectors of noise.
        layout.trackSectors = {40, 35, 60};
        layout.seed = 3;
        std::string error;
        cue = (folder / "noise.cue").string();
        ASSERT_TRUE(WriteDisc(layout, cue, error)) << error;
        FILE* file = fopen((folder / "noise.bin").string().c_str(), "rb");
        ASSERT_NE(nullptr, file);
        image.resize(static_cast<size_t>(DiscTotalSectors(layout)) * kDiscSectorSize);
        ASSERT_EQ(image.size(), fread(image.data(), 1, image.size(), file));
        fclose(file);
        drive = GetParam().make();
    }
    void TearDown() override
    {
        drive.reset();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // A cue sheet of the test's own beside the image.
    std::string WriteSheet(const std::string& text)
    {
        const std::string path = (folder / "sheet.cue").string();
        FILE* file = fopen(path.c_str(), "wb");
        fputs(text.c_str(), file);
        fclose(file);
        return path;
    }

    // `nBytes` bytes of the image from byte `from` on, zeros outside it.
    std::vector<uint8_t> ImageBytes(int64_t from, size_t nBytes) const
    {
        std::vector<uint8_t> bytes(nBytes, 0);
        for (size_t i = 0; i < nBytes; ++i)
            if (from + static_cast<int64_t>(i) >= 0 && from + static_cast<int64_t>(i) < static_cast<int64_t>(image.size()))
                bytes[i] = image[from + i];
        return bytes;
    }
    // What sectors [lba, lba + n) hold on a drive delivering `early` frames early.
    std::vector<uint8_t> Shifted(int32_t lba, int n, int early) const
    {
        return ImageBytes((static_cast<int64_t>(lba) * 588 - early) * 4, static_cast<size_t>(n) * 2352);
    }

    DiscLayout layout;
    fs::path folder;
    std::string cue;
    std::vector<uint8_t> image;
    std::unique_ptr<DriveBackend> drive;
};

// READ CD: what each sector holds, and what C2 says of it.
TEST_P(DriveCommandsTest, ReadCD)
{
    const int32_t leadOut = DiscTotalSectors(layout);  // 135
    // The C2 pointers of a sector agree byte for byte with the damage they point at.
    const auto checkPointers = [&](const uint8_t* main, const uint8_t* c2, const std::vector<uint8_t>& right,
                                   bool bHonest) {
        int nWrong = 0;
        for (int b = 0; b < 2352; ++b)
        {
            const bool bWrong = main[b] != right[b];
            const bool bFlagged = (c2[b / 8] >> (7 - b % 8)) & 1;
            nWrong += bWrong;
            if (bHonest)
                EXPECT_EQ(bWrong, bFlagged) << "byte " << b;
            else
                EXPECT_FALSE(bFlagged) << "byte " << b;
        }
        return nWrong;
    };
    struct Case
    {
        const char* keys;
        int32_t lba;
        int n;
        uint8_t byte9;
        // Checks a good answer's data; null: the answer is ILLEGAL REQUEST with this ASC.
        std::function<void(const std::vector<uint8_t>&)> check;
        uint8_t asc;
    } cases[] = {
        {"", 10, 3, 0xF8, [&](const std::vector<uint8_t>& d) { EXPECT_TRUE(d == Shifted(10, 3, 0)); }, 0},
        {"", 10, 3, 0x10, [&](const std::vector<uint8_t>& d) { EXPECT_TRUE(d == Shifted(10, 3, 0)); }, 0},
        {"offset=30", 10, 2, 0xF8, [&](const std::vector<uint8_t>& d) { EXPECT_TRUE(d == Shifted(10, 2, 30)); }, 0},
        {"offset=-700", 10, 2, 0xF8, [&](const std::vector<uint8_t>& d) { EXPECT_TRUE(d == Shifted(10, 2, -700)); }, 0},
        // The edges: frames outside the image come back as zeros.
        {"offset=667", 0, 2, 0xF8,
         [&](const std::vector<uint8_t>& d) {
             EXPECT_TRUE(d == Shifted(0, 2, 667));
             EXPECT_EQ(std::vector<uint8_t>(667 * 4, 0), std::vector<uint8_t>(d.begin(), d.begin() + 667 * 4));
         },
         0},
        {"offset=-48", leadOut - 1, 1, 0xF8,
         [&](const std::vector<uint8_t>& d) {
             EXPECT_TRUE(d == Shifted(leadOut - 1, 1, -48));
             EXPECT_EQ(std::vector<uint8_t>(48 * 4, 0), std::vector<uint8_t>(d.end() - 48 * 4, d.end()));
         },
         0},
        // Before the disc and from the lead-out on only with overread.
        {"offset=6", -1, 2, 0xF8, nullptr, 0x21},
        {"", leadOut, 1, 0xF8, nullptr, 0x21},
        {"overread=1 offset=6", -1, 2, 0xF8, [&](const std::vector<uint8_t>& d) { EXPECT_TRUE(d == Shifted(-1, 2, 6)); }, 0},
        {"overread=1", leadOut, 1, 0xF8,
         [&](const std::vector<uint8_t>& d) { EXPECT_EQ(std::vector<uint8_t>(2352, 0), d); }, 0},
        // Jitter: the whole read misplaced by the same few frames, and C2 clean.
        {"jitter=4 seed=9", 20, 3, 0xFA,
         [&](const std::vector<uint8_t>& d) {
             std::set<int> fits;
             for (int i = 0; i < 3; ++i)
                 for (int b = 0; b < 294; ++b)
                     EXPECT_EQ(0, d[i * 2646 + 2352 + b]);
             for (int j = -4; j <= 4; ++j)
             {
                 const std::vector<uint8_t> expected = Shifted(20, 3, j);
                 bool bFits = true;
                 for (int i = 0; i < 3; ++i)
                     bFits = bFits && std::equal(expected.begin() + i * 2352, expected.begin() + (i + 1) * 2352,
                                                 d.begin() + i * 2646);
                 if (bFits)
                     fits.insert(j);
             }
             EXPECT_EQ(1u, fits.size());
         },
         0},
        // Honest C2 flags exactly the wrong bytes, in either layout; the 296
        // bytes end with a block error byte and a pad byte.
        {"flip=12 c2=honest", 11, 2, 0xFA,
         [&](const std::vector<uint8_t>& d) {
             EXPECT_EQ(0, checkPointers(&d[0], &d[2352], Shifted(11, 1, 0), true));
             EXPECT_LT(0, checkPointers(&d[2646], &d[2646 + 2352], Shifted(12, 1, 0), true));
         },
         0},
        {"flip=12", 12, 2, 0xFC,
         [&](const std::vector<uint8_t>& d) {
             EXPECT_LT(0, checkPointers(&d[0], &d[2352], Shifted(12, 1, 0), true));
             EXPECT_NE(0, d[2352 + 294]);
             EXPECT_EQ(0, d[2352 + 295]);
             EXPECT_EQ(0, checkPointers(&d[2648], &d[2648 + 2352], Shifted(13, 1, 0), true));
             EXPECT_EQ(0, d[2648 + 2352 + 294]);
         },
         0},
        // An offset moves the damage and its pointers together.
        {"flip=12 offset=100", 12, 2, 0xFA,
         [&](const std::vector<uint8_t>& d) {
             EXPECT_LT(0, checkPointers(&d[0], &d[2352], Shifted(12, 1, 100), true));
             EXPECT_LT(0, checkPointers(&d[2646], &d[2646 + 2352], Shifted(13, 1, 100), true));
         },
         0},
        {"flip=12 c2=false", 12, 1, 0xFA,
         [&](const std::vector<uint8_t>& d) { EXPECT_LT(0, checkPointers(&d[0], &d[2352], Shifted(12, 1, 0), false)); },
         0},
        {"c2=none", 12, 1, 0xFA, nullptr, 0x24},
        {"c2=none", 12, 1, 0xF8, [&](const std::vector<uint8_t>& d) { EXPECT_TRUE(d == Shifted(12, 1, 0)); }, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.keys) + " at " + std::to_string(c.lba) + " byte 9 " + std::to_string(c.byte9));
        drive->Insert(cue, c.keys);
        const int stride = 2352 + ((c.byte9 & 7) == 2 ? 294 : (c.byte9 & 7) == 4 ? 296 : 0);
        const Answer answer = drive->Run(ReadCdCdb(c.lba, c.n, c.byte9), static_cast<size_t>(c.n) * stride);
        if (!c.check)
        {
            EXPECT_FALSE(answer.bGood);
            EXPECT_EQ(0x05, answer.senseKey);
            EXPECT_EQ(c.asc, answer.asc);
            continue;
        }
        ASSERT_TRUE(answer.bGood);
        c.check(answer.data);
    }
}

// Reads repeated: wrong samples that stay or change, the cache that serves an
// old copy until K other sectors were read or FUA asks for the disc, and
// unreadable sectors; with the counts of reads the drive keeps. Each case runs
// twice, on fresh drives: the same seed gives the same bytes.
TEST_P(DriveCommandsTest, RepeatedReads)
{
    struct Step
    {
        int32_t lba;
        int n;
        bool bFua;        // READ(12) with FUA instead of READ CD
        int sameAsStep;   // -1, or the step whose sector 12 this one's must equal
    };
    struct Case
    {
        const char* keys;
        std::vector<Step> steps;
        SectorReadCount count;  // sector 12's, at the end
    } cases[] = {
        // Stable: the same wrong samples each time.
        {"flip=12", {{12, 1, false, -1}, {12, 1, false, 0}, {11, 3, false, 0}}, {3, 0}},
        // Jitter: each read misplaced anew (the second round shows the seed
        // repeats it), the disc's sector read each time.
        {"jitter=5 seed=11", {{12, 1, false, -1}, {12, 1, false, -1}, {11, 2, false, -1}}, {3, 0}},
        // A cache of 4: the copy with its errors comes back until four other
        // sectors were read, then the disc is read again; FUA reads it too.
        {"flip_transient=12 cache=4 seed=5",
         {{12, 1, false, -1}, {12, 1, false, 0}, {13, 3, false, -1}, {12, 1, false, 0},
          {13, 4, false, -1}, {12, 1, false, -1}, {12, 1, true, -1}, {12, 1, false, 6}},
         {3, 3}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.keys);
        std::vector<std::vector<uint8_t>> rounds[2];
        for (auto& seen : rounds)
        {
            drive->Insert(cue, c.keys);
            for (size_t i = 0; i < c.steps.size(); ++i)
            {
                const Step& step = c.steps[i];
                SCOPED_TRACE(i);
                const Answer answer = drive->Run(step.bFua ? Read12Cdb(step.lba, step.n, true)
                                                           : ReadCdCdb(step.lba, step.n, 0xF8),
                                                 static_cast<size_t>(step.n) * 2352);
                ASSERT_TRUE(answer.bGood);
                const size_t at = static_cast<size_t>(12 - step.lba) * 2352;
                seen.push_back(12 >= step.lba && 12 < step.lba + step.n
                                   ? std::vector<uint8_t>(answer.data.begin() + at, answer.data.begin() + at + 2352)
                                   : std::vector<uint8_t>());
                if (step.sameAsStep >= 0)
                {
                    EXPECT_TRUE(seen.back() == seen[step.sameAsStep]);
                }
            }
            EXPECT_EQ(c.count.physical, drive->Reads(12).physical);
            EXPECT_EQ(c.count.cached, drive->Reads(12).cached);
        }
        EXPECT_TRUE(rounds[0] == rounds[1]) << "the same seed gave other bytes";
    }

    // Transient: different wrong samples on different reads, right on some;
    // every read goes to the disc; again the same with the same seed.
    std::vector<std::vector<uint8_t>> transient[2];
    for (auto& reads : transient)
    {
        drive->Insert(cue, "flip_transient=12 seed=7");
        std::set<std::vector<uint8_t>> versions;
        int nRight = 0;
        for (int i = 0; i < 12; ++i)
        {
            const Answer answer = drive->Run(ReadCdCdb(12, 1, 0xF8), 2352);
            ASSERT_TRUE(answer.bGood);
            versions.insert(answer.data);
            reads.push_back(answer.data);
            nRight += answer.data == Shifted(12, 1, 0);
        }
        EXPECT_LE(3u, versions.size());
        EXPECT_LE(1, nRight);
        EXPECT_GE(8, nRight);
        EXPECT_EQ(12u, drive->Reads(12).physical);
        EXPECT_EQ(0u, drive->Reads(13).physical);
    }
    EXPECT_TRUE(transient[0] == transient[1]) << "the same seed gave other bytes";

    // Unreadable: MEDIUM ERROR, unrecovered read error, after the retries' time.
    drive->Insert(cue, "unreadable=20-21 retry_ms=200");
    Answer answer = drive->Run(ReadCdCdb(18, 3, 0xF8), 3 * 2352);
    EXPECT_FALSE(answer.bGood);
    EXPECT_EQ(0x03, answer.senseKey);
    EXPECT_EQ(0x11, answer.asc);
    EXPECT_EQ(0x00, answer.ascq);
    EXPECT_LE(200, answer.delayMs);
    EXPECT_EQ(1u, drive->Reads(20).physical);
    answer = drive->Run(ReadCdCdb(22, 3, 0xF8), 3 * 2352);
    EXPECT_TRUE(answer.bGood);
    EXPECT_TRUE(answer.data == Shifted(22, 3, 0));
}

// The sheet these answer for, in the style of libcdio's cdda.cue: a catalog
// number, disc and track texts, FLAGS DCP; with ISRCs, pre-emphasis, an INDEX
// 00 gap and a PREGAP.
inline std::string TextSheet(const std::string& songwriter = "")
{
    return "REM made by hand\r\n"
           "CATALOG 0000010271955\r\n"
           "TITLE \"Join us now we have the software\"\r\n"
           "PERFORMER \"The Free Noise Ensemble\"\r\n"
           + (songwriter.empty() ? std::string() : "SONGWRITER \"" + songwriter + "\"\r\n")
           + "FILE \"noise.bin\" BINARY\r\n"
             "  TRACK 01 AUDIO\r\n"
             "    FLAGS DCP\r\n"
             "    TITLE \"Soft\"\r\n"
             "    PERFORMER \"Richard Roe\"\r\n"
             "    ISRC USRC17607839\r\n"
             "    INDEX 01 00:00:00\r\n"
             "  TRACK 02 AUDIO\r\n"
             "    FLAGS PRE DCP\r\n"
             "    TITLE \"Ware\"\r\n"
             "    PERFORMER \"Richard Roe\"\r\n"
             "    INDEX 00 00:00:35\r\n"
             "    INDEX 01 00:00:40\r\n"
             "  TRACK 03 AUDIO\r\n"
             "    TITLE \"Free as in Freedom, a rather long title\"\r\n"
             "    PREGAP 00:00:10\r\n"
             "    INDEX 01 00:01:00\r\n";
}

// READ TOC: the CONTROL field (FLAGS), and format 5's CD-Text packs.
TEST_P(DriveCommandsTest, ReadTOC)
{
    const std::string sheet = WriteSheet(TextSheet());
    drive->Insert(sheet, "");
    Answer answer = drive->Run(ReadTocCdb(0, 2048), 2048);
    ASSERT_TRUE(answer.bGood);
    const std::vector<uint8_t>& toc = answer.data;
    ASSERT_EQ(2 + 8 * 4, toc[0] << 8 | toc[1]);
    struct
    {
        uint8_t control;
        uint32_t start;
    } expected[] = {{0x12, 0}, {0x13, 40}, {0x10, 85}, {0x14, 145}};  // a PREGAP's silence lies on the disc
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].control, toc[4 + 8 * i + 1]);
        EXPECT_EQ(expected[i].start, static_cast<uint32_t>(toc[8 + 8 * i] << 24 | toc[9 + 8 * i] << 16
                                                           | toc[10 + 8 * i] << 8 | toc[11 + 8 * i]));
    }

    struct
    {
        const char* keys;
        const char* songwriter;
        // Per pack type: the disc's string, then each track's.
        std::vector<std::vector<std::string>> texts;
        std::vector<uint8_t> types;
    } cases[] = {
        {"", "",
         {{"Join us now we have the software", "Soft", "Ware", "Free as in Freedom, a rather long title"},
          {"The Free Noise Ensemble", "Richard Roe", "\t", ""}},
         {0x80, 0x81}},
        {"", "Anon", {{"Join us now we have the software", "Soft", "Ware", "Free as in Freedom, a rather long title"},
                      {"The Free Noise Ensemble", "Richard Roe", "\t", ""}, {"Anon", "", "", ""}},
         {0x80, 0x81, 0x82}},
        {"cdtext=0", "", {}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.keys) + " " + c.songwriter);
        drive->Insert(WriteSheet(TextSheet(c.songwriter)), c.keys);
        answer = drive->Run(ReadTocCdb(5, 4), 4);
        ASSERT_TRUE(answer.bGood);
        const size_t length = answer.data[0] << 8 | answer.data[1];
        ASSERT_EQ(0u, (length - 2) % 18);
        answer = drive->Run(ReadTocCdb(5, static_cast<uint16_t>(length + 2)), length + 2);
        ASSERT_TRUE(answer.bGood);
        const size_t nPacks = (length - 2) / 18;
        EXPECT_EQ(c.texts.empty(), nPacks == 0);
        if (c.texts.empty())
            continue;
        // Every pack's CRC, its sequence number; the text of each type read
        // back string by string, with each pack's track and carried count.
        std::vector<std::string> streams(16);
        std::vector<int> counts(16, 0);
        for (size_t i = 0; i < nPacks; ++i)
        {
            const uint8_t* pack = &answer.data[4 + 18 * i];
            EXPECT_EQ(ReferenceCrc(pack, 16), pack[16] << 8 | pack[17]) << "pack " << i;
            EXPECT_EQ(i, pack[2]);
            ASSERT_GE(pack[0], 0x80);
            const std::string& stream = streams[pack[0] & 15];
            if (pack[0] != 0x8F)
            {
                // The track of the pack's first character, and how many of its string came before.
                const size_t nStrings = static_cast<size_t>(std::count(stream.begin(), stream.end(), '\0'));
                const size_t carried = stream.size() - (nStrings ? stream.rfind('\0') + 1 : 0);
                EXPECT_EQ(nStrings, pack[1]) << "pack " << i;
                EXPECT_EQ(carried < 15 ? carried : 15, pack[3] & 15u) << "pack " << i;
            }
            streams[pack[0] & 15].append(reinterpret_cast<const char*>(pack + 4), 12);
            ++counts[pack[0] & 15];
        }
        for (size_t t = 0; t < c.types.size(); ++t)
        {
            std::vector<std::string> strings;
            const std::string& stream = streams[c.types[t] & 15];
            for (size_t at = 0; strings.size() < 4 && at < stream.size(); at = stream.find('\0', at) + 1)
                strings.push_back(stream.substr(at, stream.find('\0', at) - at));
            EXPECT_EQ(c.texts[t], strings);
        }
        // Size information: ISO-8859-1, tracks 1 to 3, the packs of each type,
        // the last sequence number, English.
        const std::string& size = streams[15];
        ASSERT_EQ(36u, size.size());
        EXPECT_EQ(0, size[0]);
        EXPECT_EQ(1, size[1]);
        EXPECT_EQ(3, size[2]);
        for (int type = 0; type < 16; ++type)
            EXPECT_EQ(counts[type], size[4 + type]) << "type " << type;
        EXPECT_EQ(static_cast<int>(nPacks - 1), static_cast<uint8_t>(size[20]));
        EXPECT_EQ(0x09, size[28]);
    }
}

// READ SUB-CHANNEL's current position (after a read), catalog number and
// ISRC; READ CD's formatted Q for the same positions, with its CRC.
TEST_P(DriveCommandsTest, SubChannel)
{
    drive->Insert(WriteSheet(TextSheet()), "");
    struct Case
    {
        int32_t sector;  // read first
        int track, index, relative;
        uint8_t control;
    } positions[] = {
        {0, 1, 1, 0, 0x2}, {37, 2, 0, -3, 0x3}, {40, 2, 1, 0, 0x3}, {74, 2, 1, 34, 0x3},
        {75, 3, 0, -10, 0x0}, {84, 3, 0, -1, 0x0}, {90, 3, 1, 5, 0x0},
    };
    for (const Case& c : positions)
    {
        SCOPED_TRACE(c.sector);
        Answer read = drive->Run(ReadCdCdb(c.sector, 1, 0xF8, 0x02), 2352 + 16);
        ASSERT_TRUE(read.bGood);
        const uint8_t* q = &read.data[2352];
        EXPECT_EQ(c.control << 4 | 1, q[0]);
        EXPECT_EQ(c.track, FromBcd(q[1]));
        EXPECT_EQ(c.index, FromBcd(q[2]));
        const int relative = c.relative < 0 ? -c.relative : c.relative;
        EXPECT_EQ(relative, FromBcd(q[3]) * 4500 + FromBcd(q[4]) * 75 + FromBcd(q[5]));
        EXPECT_EQ(c.sector + 150, FromBcd(q[7]) * 4500 + FromBcd(q[8]) * 75 + FromBcd(q[9]));
        EXPECT_EQ(ReferenceCrc(q, 10), q[10] << 8 | q[11]);

        for (bool bMsf : {false, true})
        {
            const Answer answer = drive->Run(ReadSubChannelCdb(1, 0, bMsf), 16);
            ASSERT_TRUE(answer.bGood);
            const uint8_t* d = answer.data.data();
            EXPECT_EQ(12, d[3]);
            EXPECT_EQ(1, d[4]);
            EXPECT_EQ(0x10 | c.control, d[5]);
            EXPECT_EQ(c.track, d[6]);
            EXPECT_EQ(c.index, d[7]);
            if (bMsf)
            {
                EXPECT_EQ(c.sector + 150, d[9] * 4500 + d[10] * 75 + d[11]);
                EXPECT_EQ(relative, d[13] * 4500 + d[14] * 75 + d[15]);
            }
            else
            {
                EXPECT_EQ(c.sector, d[8] << 24 | d[9] << 16 | d[10] << 8 | d[11]);
                EXPECT_EQ(c.relative, static_cast<int32_t>(d[12] << 24 | d[13] << 16 | d[14] << 8 | d[15]));
            }
        }
    }
    // Q alone, with no main channel.
    Answer qOnly = drive->Run(ReadCdCdb(36, 2, 0x00, 0x02), 32);
    ASSERT_TRUE(qOnly.bGood);
    EXPECT_EQ(0, FromBcd(qOnly.data[2]));
    EXPECT_EQ(37 + 150, FromBcd(qOnly.data[16 + 7]) * 4500 + FromBcd(qOnly.data[16 + 8]) * 75 + FromBcd(qOnly.data[16 + 9]));

    struct
    {
        uint8_t format, track;
        const char* code;  // null: not valid; "refused": ILLEGAL REQUEST
    } codes[] = {{2, 0, "0000010271955"}, {3, 1, "USRC17607839"}, {3, 2, nullptr}, {3, 4, "refused"}};
    for (const auto& c : codes)
    {
        SCOPED_TRACE(std::to_string(c.format) + " " + std::to_string(c.track));
        const Answer answer = drive->Run(ReadSubChannelCdb(c.format, c.track), 24);
        if (c.code && std::string(c.code) == "refused")
        {
            EXPECT_FALSE(answer.bGood);
            EXPECT_EQ(0x05, answer.senseKey);
            continue;
        }
        ASSERT_TRUE(answer.bGood);
        EXPECT_EQ(20, answer.data[3]);
        EXPECT_EQ(c.format, answer.data[4]);
        EXPECT_EQ(c.code ? 0x80 : 0, answer.data[8] & 0x80);
        if (c.code)
        {
            EXPECT_EQ(c.code, std::string(reinterpret_cast<const char*>(&answer.data[9]), strlen(c.code)));
        }
    }

    // A disc without them: no catalog number, no ISRC.
    drive->Insert(cue, "");
    const Answer answer = drive->Run(ReadSubChannelCdb(2), 24);
    ASSERT_TRUE(answer.bGood);
    EXPECT_EQ(0, answer.data[8] & 0x80);
}

} // namespace drive_commands
