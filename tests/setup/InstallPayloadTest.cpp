#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/Crc.h"
#include "setup/InstallPayload.h"

namespace {

TEST(InstallPayload, TheTableHoldsTheProgramFirstThenTheHelpFileAndTheEncoder)
{
    ASSERT_EQ(3, CountInstallFiles(InstallFileTable));
    EXPECT_STREQ("corvane.exe", InstallFileTable[0].szFileName);
    EXPECT_STREQ("corvane.hlp", InstallFileTable[1].szFileName);
    EXPECT_STREQ("mp3enc.exe", InstallFileTable[2].szFileName);
}

// The payload of three small files as a layout and their bytes.
struct SmallPayload
{
    std::string bytes;
    PayloadLayout layout;
};

SmallPayload ThreeFiles(std::vector<uint32_t> sizes, std::string bytes = "corvanehelpenc")
{
    SmallPayload payload = {bytes, {}};
    payload.layout.nFiles = static_cast<int>(sizes.size());
    std::memcpy(payload.layout.nSizes, sizes.data(), sizes.size() * 4);
    return payload;
}

uint32_t ChecksumOf(const SmallPayload& payload)
{
    return PayloadChecksum(Crc32(0, payload.bytes.data(), payload.bytes.size()), payload.layout);
}

TEST(InstallPayload, TheChecksumIsTheCrcOfTheFilesAndTheSizeTable)
{
    // zlib.crc32(b"corvanehelpenc" + struct.pack("<3I", 7, 4, 3))
    EXPECT_EQ(0xB49684DCu, ChecksumOf(ThreeFiles({7, 4, 3})));
    // A byte sum could see none of these.
    const struct
    {
        const char* what;
        SmallPayload damaged;
    } cases[] = {
        {"sizes shifted, the same total", ThreeFiles({6, 5, 3})},
        {"two sizes swapped", ThreeFiles({7, 3, 4})},
        {"zeros added to the last file", ThreeFiles({7, 4, 5}, std::string("corvanehelpenc") + '\0' + '\0')},
        {"two bytes swapped", ThreeFiles({7, 4, 3}, "ocrvanehelpenc")},
    };
    for (const auto& c : cases)
        EXPECT_NE(0xB49684DCu, ChecksumOf(c.damaged)) << c.what;
}

// A tail as the build writes it, for files of these sizes.
std::vector<unsigned char> Tail(std::vector<uint32_t> sizes, uint32_t checksum)
{
    PayloadLayout layout = {};
    layout.nFiles = static_cast<int>(sizes.size());
    std::memcpy(layout.nSizes, sizes.data(), sizes.size() * 4);
    layout.nChecksum = checksum;
    std::vector<unsigned char> tail(PayloadTailBytes(layout.nFiles));
    WritePayloadTail(layout, tail.data());
    return tail;
}

TEST(InstallPayload, ATailIsReadBackWhenItsSizesFillTheFileExactly)
{
    std::vector<unsigned char> tail = Tail({0x45000, 0x3DD0, 0x1B000}, 0x02BC9D22);
    // Little-endian dwords, the install trailer last (F0 F0 0F 0F on disk).
    const unsigned char expected[] = {0x00, 0x50, 0x04, 0x00, 0xD0, 0x3D, 0x00, 0x00, 0x00, 0xB0, 0x01, 0x00,
                                      0x22, 0x9D, 0xBC, 0x02, 0xF0, 0xF0, 0x0F, 0x0F};
    ASSERT_EQ(sizeof(expected), tail.size());
    EXPECT_EQ(0, std::memcmp(expected, tail.data(), tail.size()));

    PayloadLayout layout;
    ASSERT_TRUE(ReadPayloadTail(tail.data(), 3, 409060, layout));
    EXPECT_EQ(0x45000u, layout.nSizes[0]);
    EXPECT_EQ(0x3DD0u, layout.nSizes[1]);
    EXPECT_EQ(0x1B000u, layout.nSizes[2]);
    EXPECT_EQ(0x02BC9D22u, layout.nChecksum);
}

TEST(InstallPayload, ATailIsRefusedWhenItsSizesDoNotFitTheFile)
{
    const struct
    {
        const char* what;
        std::vector<uint32_t> sizes;
        uint64_t fileLength;
    } cases[] = {
        {"a file cut short", {100, 20, 30}, 169},
        {"bytes the sizes do not account for", {100, 20, 30}, 171},
        {"sizes that wrap around 32 bits", {0xFFFFFFF0, 0x20, 0}, 0x10 + 20},
        {"a file shorter than its tail", {0, 0, 0}, 19},
        {"a listed file of no bytes", {100, 0, 50}, 170},
        {"no files at all", {0, 0, 0}, 20},
    };
    for (const auto& c : cases)
    {
        std::vector<unsigned char> tail = Tail(c.sizes, 0);
        PayloadLayout layout;
        EXPECT_FALSE(ReadPayloadTail(tail.data(), 3, c.fileLength, layout)) << c.what;
    }
    std::vector<unsigned char> tail = Tail({100, 20, 30}, 0);
    PayloadLayout layout;
    EXPECT_TRUE(ReadPayloadTail(tail.data(), 3, 170, layout));
    tail.back() ^= 0xFF;  // the uninstall trailer instead
    EXPECT_FALSE(ReadPayloadTail(tail.data(), 3, 170, layout)) << "a file without the install trailer";
}

TEST(InstallPayload, DestinationsJoinTheFolderKeyOnlyWhenItNamesASubFolder)
{
    const struct
    {
        InstallFile file;
        const char* expected;
    } cases[] = {
        {{nullptr, "corvane.exe"}, "C:\\Program Files\\Talmarin\\Corvane\\corvane.exe"},
        {{"ProgramFiles", "a.txt"}, "C:\\Program Files\\Talmarin\\Corvane\\a.txt"},
        {{"DataFiles", "b.txt"}, "C:\\Program Files\\Talmarin\\Corvane\\b.txt"},
        {{"datafiles", "c.txt"}, "C:\\Program Files\\Talmarin\\Corvane\\datafiles\\c.txt"},  // case counts
        {{"Samples", "d.wav"}, "C:\\Program Files\\Talmarin\\Corvane\\Samples\\d.wav"},
    };
    for (const auto& c : cases)
    {
        char path[TEXT_BUFFER_SIZE];
        InstallDestination(path, "C:\\Program Files\\Talmarin\\Corvane", c.file);
        EXPECT_STREQ(c.expected, path);
        ASSERT_TRUE(InstallStagingPath(path, "C:\\Program Files\\Talmarin\\Corvane", c.file));
        EXPECT_EQ(std::string(c.expected) + ".new", path) << "a file is written beside its place first";
    }
}

TEST(InstallPayload, AStagingPathThatDoesNotFitIsRefused)
{
    const std::string folder = "C:\\" + std::string(240, 'f');
    const struct
    {
        const char* name;
        bool bFits;
    } cases[] = {
        {"corvane.exe", true},           // 243 + 12 + 4 = 259 characters
        {"corvane1.exe", false},         // one more
    };
    for (const auto& c : cases)
    {
        char path[TEXT_BUFFER_SIZE];
        EXPECT_EQ(c.bFits, InstallStagingPath(path, folder.c_str(), {nullptr, c.name})) << c.name;
    }
}

} // namespace
