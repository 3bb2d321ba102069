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

    uint8_t eject[6], load[6];
    MakeStartStopUnitCdb(eject, false);
    MakeStartStopUnitCdb(load, true);
    EXPECT_EQ(std::vector<uint8_t>({0x1B, 0, 0, 0, 0x02, 0}), std::vector<uint8_t>(eject, eject + 6));
    EXPECT_EQ(std::vector<uint8_t>({0x1B, 0, 0, 0, 0x03, 0}), std::vector<uint8_t>(load, load + 6));
}

// A READ TOC response in a 2048-byte buffer: a data length field and one
// descriptor per address, each with ADR/control, track number and LBA.
std::vector<uint8_t> Response(int dataLength, const std::vector<int32_t>& addresses)
{
    std::vector<uint8_t> response(TOC_RESPONSE_SIZE, 0);
    response[0] = static_cast<uint8_t>(dataLength >> 8);
    response[1] = static_cast<uint8_t>(dataLength);
    response[2] = 1;
    response[3] = static_cast<uint8_t>(addresses.size() - 1);
    for (size_t i = 0; i < addresses.size() && 4 + 8 * i + 8 <= response.size(); ++i)
    {
        uint8_t* descriptor = &response[4 + 8 * i];
        descriptor[1] = 0x10;
        descriptor[2] = i + 1 == addresses.size() ? 0xAA : static_cast<uint8_t>(i + 1);
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
        ProcessResult result;
        int nTracks;
    } cases[] = {
        {"three tracks", DataLengthFor(4), {0, 13000, 26500, 40000}, Done, 3},
        {"lead-out only", 10, {183000}, Done, 0},
        {"data length 9", 9, {0, 100}, Failed, 0},
        {"data length 2", 2, {}, Failed, 0},
        {"data length 0", 0, {}, Failed, 0},
        {"no room for a sign", 0xFFFF, {0, 100}, Failed, 0},
        {"address past 2^31", DataLengthFor(2), {0, -2}, Done, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<int32_t> addresses = c.addresses;
        if (addresses.empty())
            addresses.push_back(0);
        const std::vector<uint8_t> response = Response(c.dataLength, addresses);
        uint8_t nTracks = 77;
        int32_t starts[TOC_MAX_ENTRIES] = {};
        EXPECT_EQ(c.result, ParseTOCResponse(response.data(), response.size(), nTracks, starts));
        EXPECT_EQ(c.nTracks, nTracks);
        for (int i = 0; c.result == Done && i <= c.nTracks; ++i)
            EXPECT_EQ(c.addresses[i], starts[i]) << "entry " << i;
    }
}

TEST(CDCommandBlocks, NinetyNineTracks)
{
    std::vector<int32_t> addresses;
    for (int i = 0; i <= 99; ++i)
        addresses.push_back(i * 1000);
    const std::vector<uint8_t> response = Response(DataLengthFor(100), addresses);
    uint8_t nTracks = 0;
    int32_t starts[TOC_MAX_ENTRIES];
    ASSERT_EQ(Done, ParseTOCResponse(response.data(), response.size(), nTracks, starts));
    EXPECT_EQ(99, nTracks);
    EXPECT_EQ(99000, starts[99]);
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
        uint8_t nTracks = 0;
        int32_t starts[TOC_MAX_ENTRIES];
        ASSERT_EQ(Done, ParseTOCResponse(exact.data(), exact.size(), nTracks, starts));
        EXPECT_EQ(254, nTracks);
        EXPECT_EQ(2540, starts[254]);
    }
    // The largest claim a 2048-byte response carries whole stays as it is.
    std::vector<uint8_t> response = Response(DataLengthFor(255), addresses);
    uint8_t nTracks = 0;
    int32_t starts[TOC_MAX_ENTRIES];
    ASSERT_EQ(Done, ParseTOCResponse(response.data(), response.size(), nTracks, starts));
    EXPECT_EQ(254, nTracks);
}

} // namespace
