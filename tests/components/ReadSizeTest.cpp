#include <gtest/gtest.h>

#include "components/ReadSize.h"

namespace {

TEST(NextReadSize, GrowsOnAFastLineAndFitsAQuarterSecondOnASlowOne)
{
    const struct
    {
        const char* what;
        uint32_t size, received, elapsedMs, next;
    } cases[] = {
        {"fast: doubles", 256, 256, 0, 512},
        {"fast: doubles up to the largest", 32768, 32768, 10, 65536},
        {"fast: stays at the largest", 65536, 65536, 5, 65536},
        {"4 KiB a second: a quarter second's worth", 2048, 2048, 500, 1024},
        {"slow: never below the smallest", 256, 256, 4000, 256},
        {"the end of the file: what came, at its rate", 65536, 100, 300, 256},
        {"a long stall: the smallest", 65536, 65536, 60000, 273},
        {"just at the target: fitted", 8192, 8192, 250, 8192},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.next, NextReadSize(c.size, c.received, c.elapsedMs));
    }
}

TEST(NextReadSize, FromTheSmallestToTheLargestInEightFastReads)
{
    uint32_t size = READ_SIZE_MIN;
    int reads = 0;
    while (size < READ_SIZE_MAX)
    {
        size = NextReadSize(size, size, 1);
        ++reads;
    }
    EXPECT_EQ(8, reads);
    EXPECT_EQ(READ_SIZE_MAX, size);
}

TEST(DownloadLimit, ADownloadStopsAtItsListedSizeOrAt64MegabytesWithoutOne)
{
    EXPECT_EQ(875126u, DownloadLimit(875126));
    EXPECT_EQ(64u * 1024 * 1024, DownloadLimit(0));
    const struct
    {
        const char* what;
        uint32_t total, received, limit;
        bool bWithin;
    } cases[] = {
        {"the last bytes up to the listed size", 875000, 126, 875126, true},
        {"one byte past the listed size", 875000, 127, 875126, false},
        {"a full read past it", 875126, 65536, 875126, false},
        {"the end of the file at the listed size", 875126, 0, 875126, true},
        {"up to the cap", DOWNLOAD_UNLISTED_LIMIT - 65536, 65536, DOWNLOAD_UNLISTED_LIMIT, true},
        {"past the cap", DOWNLOAD_UNLISTED_LIMIT, 1, DOWNLOAD_UNLISTED_LIMIT, false},
        {"a read whose sum would wrap", 0xFFFF0000u, 0x20000u, 0xFFFFFFFFu, false},
        {"a total already past the limit", 10, 0, 5, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.bWithin, IsWithinDownloadLimit(c.total, c.received, c.limit));
    }
}

} // namespace
