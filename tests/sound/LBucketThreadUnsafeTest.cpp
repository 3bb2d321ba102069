#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "sound/LBucketThreadUnsafe.h"

namespace {

// One step on a ring: write or read `bytes`, then how many moved and how many
// the ring holds afterwards. Written bytes count up from 0, and every read
// must return the next bytes of that count, so order across the wrap shows.
struct RingStep
{
    bool bWrite;
    uint32_t bytes;
    uint32_t moved;
    uint32_t usedAfter;
};

struct RingCase
{
    const char* name;
    uint32_t size;
    std::vector<RingStep> steps;
};

constexpr bool W = true;
constexpr bool R = false;

const RingCase ringCases[] = {
    {"FullAtSizeLessOne", 8, {{W, 7, 7, 7}, {W, 1, 0, 7}, {R, 1, 1, 6}, {W, 5, 1, 7}}},
    {"NeverLooksEmptyWhenFull", 8, {{W, 20, 7, 7}, {R, 20, 7, 0}, {R, 1, 0, 0}}},
    {"WrapsOnWriteAndRead", 8, {{W, 5, 5, 5}, {R, 5, 5, 0}, {W, 6, 6, 6}, {R, 2, 2, 4}, {R, 4, 4, 0}}},
    {"ReadWrapsInTwoPieces", 10, {{W, 9, 9, 9}, {R, 6, 6, 3}, {W, 6, 6, 9}, {R, 9, 9, 0}}},
    {"IndexesRunAroundManyTimes", 3, {{W, 2, 2, 2}, {R, 1, 1, 1}, {W, 2, 1, 2}, {R, 2, 2, 0},
                                      {W, 2, 2, 2}, {R, 2, 2, 0}, {W, 1, 1, 1}, {R, 1, 1, 0}}},
    {"TooSmallToHoldAnything", 1, {{W, 1, 0, 0}, {R, 1, 0, 0}}},
    {"SizeZeroHoldsNothing", 0, {{W, 4, 0, 0}, {R, 4, 0, 0}}},
};

TEST(LBucketThreadUnsafe, UsedAndFreeFollowEachStepAndBytesComeOutInOrder)
{
    for (const RingCase& c : ringCases)
    {
        SCOPED_TRACE(c.name);
        LBucketThreadUnsafe ring(c.size);
        uint32_t capacity = std::max<uint32_t>(c.size, 1) - 1;
        EXPECT_EQ(capacity + 1, ring.GetSize());
        EXPECT_EQ(0u, ring.GetUsed());
        EXPECT_EQ(capacity, ring.GetFree());
        uint8_t nextIn = 0;
        uint8_t nextOut = 0;
        int iStep = 0;
        for (const RingStep& step : c.steps)
        {
            SCOPED_TRACE(iStep++);
            std::vector<uint8_t> bytes(step.bytes, 0xEE);
            if (step.bWrite)
            {
                for (uint8_t& b : bytes)
                    b = nextIn++;
                EXPECT_EQ(step.moved, ring.Write(bytes.data(), step.bytes));
                nextIn = static_cast<uint8_t>(nextIn - (step.bytes - step.moved));
            }
            else
            {
                ASSERT_EQ(step.moved, ring.Read(bytes.data(), step.bytes));
                for (uint32_t i = 0; i < step.moved; ++i)
                    EXPECT_EQ(nextOut++, bytes[i]) << "byte " << i;
                for (uint32_t i = step.moved; i < step.bytes; ++i)
                    EXPECT_EQ(0xEE, bytes[i]) << "untouched byte " << i;
            }
            EXPECT_EQ(step.usedAfter, ring.GetUsed());
            EXPECT_EQ(capacity - step.usedAfter, ring.GetFree());
        }
    }
}

// One writer and one reader thread with no lock between them, as in the bridge:
// irregular chunk sizes against a ring whose size divides none of them, so the
// indexes wrap at every offset.
TEST(LBucketThreadUnsafe, AWriterAndAReaderThreadMoveMillionsOfBytesInOrder)
{
    constexpr uint32_t total = 4000000;
    LBucketThreadUnsafe ring(4099);

    std::thread writer([&] {
        std::vector<uint8_t> chunk(3001);
        uint32_t sent = 0;
        uint32_t chunkSize = 1;
        while (sent < total)
        {
            uint32_t n = std::min(chunkSize, total - sent);
            for (uint32_t i = 0; i < n; ++i)
                chunk[i] = static_cast<uint8_t>((sent + i) * 7 + (sent + i) / 251);
            uint32_t done = 0;
            while (done < n)
            {
                uint32_t moved = ring.Write(chunk.data() + done, n - done);
                if (moved == 0)
                    std::this_thread::yield();
                done += moved;
            }
            sent += n;
            chunkSize = chunkSize * 37 % 3001 + 1;
        }
    });

    std::vector<uint8_t> chunk(2503);
    uint32_t received = 0;
    uint32_t chunkSize = 5;
    uint32_t nMismatches = 0;
    while (received < total)
    {
        uint32_t moved = ring.Read(chunk.data(), std::min(chunkSize, total - received));
        if (moved == 0)
            std::this_thread::yield();
        for (uint32_t i = 0; i < moved; ++i, ++received)
            if (chunk[i] != static_cast<uint8_t>(received * 7 + received / 251) && nMismatches++ == 0)
                ADD_FAILURE() << "first wrong byte at " << received;
        chunkSize = chunkSize * 53 % 2503 + 1;
    }
    writer.join();
    EXPECT_EQ(0u, nMismatches);
    EXPECT_EQ(0u, ring.GetUsed());
}

} // namespace
