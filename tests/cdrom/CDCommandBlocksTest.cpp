#include <gtest/gtest.h>

#include <vector>

#include "cdrom/CDCommandBlocks.h"

namespace {

TEST(CDCommandBlocks, CommandBytes)
{
    uint8_t toc[10];
    MakeReadTOCCdb(toc);
    EXPECT_EQ(std::vector<uint8_t>({0x43, 0, 0, 0, 0, 0, 1, 0x08, 0x00, 0}), std::vector<uint8_t>(toc, toc + 10));

    uint8_t read[12];
    MakeReadCDCdb(read, 0x01020304, 27);
    EXPECT_EQ(std::vector<uint8_t>({0xBE, 0, 1, 2, 3, 4, 0, 0, 27, 0xF0, 0, 0}),
              std::vector<uint8_t>(read, read + 12));
    // Audio's user data alone, then with each layout of C2 pointers.
    const struct
    {
        int c2Bytes;
        uint8_t byte9;
    } audio[] = {{0, 0x10}, {294, 0x12}, {296, 0x14}};
    for (const auto& a : audio)
    {
        MakeReadCDAudioCdb(read, -2, 23, a.c2Bytes);
        EXPECT_EQ(std::vector<uint8_t>({0xBE, 0x04, 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 23, a.byte9, 0, 0}),
                  std::vector<uint8_t>(read, read + 12)) << a.c2Bytes;
    }

    uint8_t eject[6], load[6];
    MakeStartStopUnitCdb(eject, false);
    MakeStartStopUnitCdb(load, true);
    EXPECT_EQ(std::vector<uint8_t>({0x1B, 0, 0, 0, 0x02, 0}), std::vector<uint8_t>(eject, eject + 6));
    EXPECT_EQ(std::vector<uint8_t>({0x1B, 0, 0, 0, 0x03, 0}), std::vector<uint8_t>(load, load + 6));
}

// A READ TOC response in a 2048-byte buffer: a data length field and one
// descriptor per address, each with ADR/control (the data bit set for the
// tracks `data` marks), track number and LBA. Bytes past the descriptors are
// `fill`.
std::vector<uint8_t> Response(int dataLength, const std::vector<int32_t>& addresses,
                              const std::vector<bool>& data = {}, uint8_t fill = 0)
{
    std::vector<uint8_t> response(TOC_RESPONSE_SIZE, fill);
    response[0] = static_cast<uint8_t>(dataLength >> 8);
    response[1] = static_cast<uint8_t>(dataLength);
    response[2] = 1;
    response[3] = static_cast<uint8_t>(addresses.size() - 1);
    for (size_t i = 0; i < addresses.size() && 4 + 8 * i + 8 <= response.size(); ++i)
    {
        uint8_t* descriptor = &response[4 + 8 * i];
        descriptor[0] = 0;
        descriptor[1] = i < data.size() && data[i] ? 0x14 : 0x10;
        descriptor[2] = i + 1 == addresses.size() ? 0xAA : static_cast<uint8_t>(i + 1);
        descriptor[3] = 0;
        const uint32_t a = static_cast<uint32_t>(addresses[i]);
        descriptor[4] = static_cast<uint8_t>(a >> 24);
        descriptor[5] = static_cast<uint8_t>(a >> 16);
        descriptor[6] = static_cast<uint8_t>(a >> 8);
        descriptor[7] = static_cast<uint8_t>(a);
    }
    return response;
}

int DataLengthFor(int nDescriptors) { return 2 + 8 * nDescriptors; }

TEST(CDCommandBlocks, TableOfContents)
{
    struct Case
    {
        const char* name;
        int dataLength;
        std::vector<int32_t> addresses;
        std::vector<bool> data;
        ProcessResult result;
        int nTracks;
    } cases[] = {
        {"three tracks", DataLengthFor(4), {0, 13000, 26500, 40000}, {}, Done, 3},
        {"lead-out only", 10, {183000}, {}, Done, 0},
        {"data length 9", 9, {0, 100}, {}, Failed, 0},
        {"data length 2", 2, {}, {}, Failed, 0},
        {"data length 0", 0, {}, {}, Failed, 0},
        {"no room for a sign", 0xFFFF, {0, 100}, {}, Failed, 0},
        {"mixed mode", DataLengthFor(4), {0, 30, 70, 120}, {true, false, false}, Done, 3},
        {"CD-Extra", DataLengthFor(4), {0, 40, 11600, 11650}, {false, false, true}, Done, 3},
        {"from 00:02:00 to 99:59:74", DataLengthFor(2), {0, CD_LAST_ADDRESS}, {}, Done, 1},
        // An address outside the program area or beyond what MSF names makes
        // the whole table corrupt; near 2^31 a track's length would overflow.
        {"address past 2^31", DataLengthFor(2), {0, -2}, {}, Failed, 0},
        {"address before the program area", DataLengthFor(2), {-150, 100}, {}, Failed, 0},
        {"lead-out past 99:59:74", DataLengthFor(3), {0, 100, CD_LAST_ADDRESS + 1}, {}, Failed, 0},
        {"address near 2^31", DataLengthFor(3), {0, 0x7FFFFF00, 0x7FFFFFFF}, {}, Failed, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<int32_t> addresses = c.addresses;
        if (addresses.empty())
            addresses.push_back(0);
        const std::vector<uint8_t> response = Response(c.dataLength, addresses, c.data);
        CDTableOfContents toc;
        toc.nTracks = 77;
        EXPECT_EQ(c.result, ParseTOCResponse(response.data(), response.size(), toc));
        EXPECT_EQ(c.nTracks, toc.nTracks);
        for (int i = 0; c.result == Done && i <= c.nTracks; ++i)
            EXPECT_EQ(c.addresses[i], toc.nStartSector[i]) << "entry " << i;
        for (int i = 0; c.result == Done && i < c.nTracks; ++i)
            EXPECT_EQ(i < static_cast<int>(c.data.size()) && c.data[i], toc.bData[i]) << "track " << i + 1;
    }
}

TEST(CDCommandBlocks, NinetyNineTracks)
{
    std::vector<int32_t> addresses;
    for (int i = 0; i <= 99; ++i)
        addresses.push_back(i * 1000);
    const std::vector<uint8_t> response = Response(DataLengthFor(100), addresses);
    CDTableOfContents toc;
    ASSERT_EQ(Done, ParseTOCResponse(response.data(), response.size(), toc));
    EXPECT_EQ(99, toc.nTracks);
    EXPECT_EQ(99000, toc.nStartSector[99]);
}

// A drive that claims more descriptors than the 2048-byte response can hold:
// only the 255 descriptors that arrived are read, never the bytes beyond.
TEST(CDCommandBlocks, AnOverlongClaimIsCutToTheDescriptorsThatArrived)
{
    std::vector<int32_t> addresses;
    for (int i = 0; i < 255; ++i)
        addresses.push_back(i * 10);
    for (int claimed : {256, 300, 4000})
    {
        SCOPED_TRACE(claimed);
        std::vector<uint8_t> response = Response(DataLengthFor(claimed), addresses);
        // Exactly the allocated bytes, so that a sanitizer sees any read past them.
        std::vector<uint8_t> exact(response.begin(), response.begin() + TOC_RESPONSE_SIZE);
        CDTableOfContents toc;
        ASSERT_EQ(Done, ParseTOCResponse(exact.data(), exact.size(), toc));
        EXPECT_EQ(254, toc.nTracks);
        EXPECT_EQ(2540, toc.nStartSector[254]);
    }
    // The largest claim a 2048-byte response carries whole stays as it is.
    std::vector<uint8_t> response = Response(DataLengthFor(255), addresses);
    CDTableOfContents toc;
    ASSERT_EQ(Done, ParseTOCResponse(response.data(), response.size(), toc));
    EXPECT_EQ(254, toc.nTracks);
}

// A reply that claims ten descriptors but of which four were sent (three
// tracks and the lead-out): the bytes after them are no tracks, however the
// buffer was left. Only the bytes sent are parsed.
TEST(CDCommandBlocks, OnlyTheDescriptorsSentBecomeTracks)
{
    const std::vector<int32_t> addresses = {0, 40, 75, 135};
    for (uint8_t fill : {uint8_t(0x00), TOC_UNSENT_FILL})
    {
        SCOPED_TRACE(static_cast<int>(fill));
        const std::vector<uint8_t> response = Response(DataLengthFor(10), addresses, {}, fill);
        CDTableOfContents toc;
        ASSERT_EQ(Done, ParseTOCResponse(response.data(), 4 + 8 * 4, toc));
        EXPECT_EQ(3, toc.nTracks);
        EXPECT_EQ(std::vector<int32_t>(addresses), std::vector<int32_t>(toc.nStartSector, toc.nStartSector + 4));
    }
}

// Where the back end does not say how much arrived, the buffer was filled
// beforehand: the reply ends before the first descriptor still all fill.
TEST(CDCommandBlocks, TheBytesSentAreThoseBeforeTheFirstDescriptorStillAsFilled)
{
    const struct
    {
        const char* name;
        std::vector<int32_t> addresses;  // the descriptors sent
        std::size_t expected;
    } cases[] = {
        {"three tracks", {0, 40, 75, 135}, 4 + 8 * 4},
        // A descriptor with some bytes FFh is still one that was sent.
        {"addresses ending in FFh", {0xFF, 0xFFFF, 0xFFFFFF}, 4 + 8 * 3},
        {"lead-out only", {183000}, 4 + 8},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> response = Response(DataLengthFor(99), c.addresses, {}, TOC_UNSENT_FILL);
        EXPECT_EQ(c.expected, TOCResponseBytesSent(response.data(), response.size()));
    }
    // Every descriptor place of the buffer sent: all of it.
    std::vector<int32_t> full(255, 7);
    const std::vector<uint8_t> response = Response(DataLengthFor(255), full, {}, TOC_UNSENT_FILL);
    EXPECT_EQ(std::size_t(4 + 8 * 255), TOCResponseBytesSent(response.data(), response.size()));
    const std::vector<uint8_t> nothing(TOC_RESPONSE_SIZE, TOC_UNSENT_FILL);
    CDTableOfContents toc;
    EXPECT_EQ(Failed, ParseTOCResponse(nothing.data(), TOCResponseBytesSent(nothing.data(), nothing.size()), toc));
}

// An audio track ends at the next track's start, or, before a data track, a
// session gap (11400 sectors) earlier when it is at least that long.
TEST(CDCommandBlocks, TrackEnds)
{
    const struct
    {
        const char* name;
        std::vector<int32_t> starts;  // the tracks' and the lead-out's
        std::vector<bool> data;
        std::vector<int32_t> ends;
    } cases[] = {
        {"audio", {0, 40, 20000}, {false, false}, {40, 20000}},
        {"CD-Extra", {0, 40, 11600, 11650}, {false, false, true}, {40, 200, 11650}},
        {"mixed mode", {0, 30, 70, 120}, {true, false, false}, {30, 70, 120}},
        {"data after data", {0, 20000, 30000}, {true, true}, {20000, 30000}},
        {"gap of exactly the track", {500, 11900, 12000}, {false, true}, {500, 12000}},
        {"no room for the gap", {500, 11899, 12000}, {false, true}, {11899, 12000}},
        {"reversed", {20000, 100, 30000}, {false, true}, {100, 30000}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CDTableOfContents toc;
        toc.nTracks = static_cast<uint8_t>(c.data.size());
        for (size_t i = 0; i < c.starts.size(); ++i)
            toc.nStartSector[i] = c.starts[i];
        for (size_t i = 0; i < c.data.size(); ++i)
            toc.bData[i] = c.data[i];
        toc.bData[toc.nTracks] = true;  // whatever the lead-out's CONTROL field says
        std::vector<int32_t> ends;
        for (int i = 0; i < toc.nTracks; ++i)
            ends.push_back(TrackEndSector(toc, i));
        EXPECT_EQ(c.ends, ends);
    }
}

} // namespace
