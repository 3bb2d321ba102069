#include <gtest/gtest.h>

#include <vector>

#include "ReferenceSignal.h"
#include "files/Crc32.h"


TEST(Crc32Test, KnownAnswers)
{
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);  // the polynomial's check value
    EXPECT_EQ(Crc32(0, "", 0), 0u);
    const std::vector<uint8_t> zeros(1176000, 0);  // 500 sectors of silence
    EXPECT_EQ(Crc32(0, zeros.data(), zeros.size()), 0xB2B1400Eu);
    const std::vector<uint8_t> signal = ReferenceSignal(294000);
    EXPECT_EQ(Crc32(0, signal.data(), signal.size()), 0x0F9C5492u);
}

TEST(Crc32Test, AnySplitGivesTheSameValue)
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
