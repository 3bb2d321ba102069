#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/Crc.h"

namespace {

// Known answers of the IEEE CRC-32 (the check value of the catalogue first).
TEST(Crc32, KnownAnswersInOneRunAndInAnySplit)
{
    const struct
    {
        std::string bytes;
        uint32_t crc;
    } cases[] = {
        {"123456789", 0xCBF43926u},
        {"", 0u},
        {"a", 0xE8B7BE43u},
        {std::string(32, '\0'), 0x190A55ADu},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.bytes.size());
        EXPECT_EQ(c.crc, Crc32(0, c.bytes.data(), c.bytes.size()));
        for (std::size_t split = 0; split <= c.bytes.size(); ++split)
            EXPECT_EQ(c.crc, Crc32(Crc32(0, c.bytes.data(), split), c.bytes.data() + split, c.bytes.size() - split));
    }
}

} // namespace
