#include <gtest/gtest.h>

#include <vector>

#include "ReferenceSignal.h"
#include "files/Crc.h"


TEST(CrcTest, Crc32KnownAnswers)
{
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);  // the polynomial's check value
    EXPECT_EQ(Crc32(0, "", 0), 0u);
    EXPECT_EQ(Crc32(0, "a", 1), 0xE8B7BE43u);
    const char fox[] = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32(0, fox, sizeof(fox) - 1), 0x414FA339u);
    const std::vector<uint8_t> zeros32(32, 0);
    EXPECT_EQ(Crc32(0, zeros32.data(), zeros32.size()), 0x190A55ADu);
    const std::vector<uint8_t> zeros(1176000, 0);  // 500 sectors of silence
    EXPECT_EQ(Crc32(0, zeros.data(), zeros.size()), 0xB2B1400Eu);
    const std::vector<uint8_t> signal = ReferenceSignal(294000);
    EXPECT_EQ(Crc32(0, signal.data(), signal.size()), 0x0F9C5492u);
}

TEST(CrcTest, Crc32OfAnySplitIsTheSame)
{
    const std::vector<uint8_t> signal = ReferenceSignal(5000);
    const uint32_t whole = Crc32(0, signal.data(), signal.size());
    for (std::size_t split : {std::size_t(0), std::size_t(1), std::size_t(7), std::size_t(8), std::size_t(2353),
                              signal.size() - 3, signal.size()})
    {
        const uint32_t first = Crc32(0, signal.data(), split);
        EXPECT_EQ(Crc32(first, signal.data() + split, signal.size() - split), whole) << "split at " << split;
    }
}

TEST(CrcTest, CdCrc16KnownAnswers)
{
    // Two CD-Text packs of the references, with the CRCs they carry.
    const uint8_t sizeInfo[] = {0x8f, 0x00, 0x2a, 0x00, 0x01, 0x01, 0x03, 0x00,
                                0x06, 0x05, 0x04, 0x05, 0x07, 0x06, 0x01, 0x02};
    const uint8_t other[] = {0x88, 0x01, 0x24, 0x00, 0x00, 0x02, 0x00, 0x04,
                             0x0b, 0x19, 0x08, 0x02, 0x32, 0x0b, 0x2f, 0x3e};
    EXPECT_EQ(CdCrc16(sizeInfo, sizeof(sizeInfo)), 0x4865);
    EXPECT_EQ(CdCrc16(other, sizeof(other)), 0x672d);
    EXPECT_EQ(CdCrc16("123456789", 9), uint16_t(~0x31C3));  // the polynomial's XMODEM check value, inverted
}
