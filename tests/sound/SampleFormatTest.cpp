#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "sound/LoudSignals.h"
#include "sound/RecordingSink.h"
#include "sound/SampleBlocks.h"
#include "sound/SampleFormat.h"

namespace {

struct NarrowCase
{
    int32_t sample;
    int16_t to16;
    uint8_t to8;
};

// Rounded to nearest within range; at or past either end, that end.
const NarrowCase narrowCases[] = {
    {0, 0, 128},
    {7, 0, 128},
    {8, 1, 128},
    {-9, -1, 128},
    {2048, 128, 129},
    {-2049, -128, 127},
    {1000 * 16, 1000, 132},
    {-1000 * 16, -1000, 124},
    {126 * 4096 + 2047, 32384, 254},
    {126 * 4096 + 2048, 32384, 255},
    {32767 * 16, 32767, 255},
    {32767 * 16 + 7, 32767, 255},
    {32767 * 16 + 8, 32767, 255},
    {32768 * 16, 32767, 255},
    {0x200000, 32767, 255},
    {INT32_MAX, 32767, 255},
    {-32767 * 16, -32767, 0},
    {-32768 * 16, -32768, 0},
    {-32768 * 16 - 1, -32768, 0},
    {-0x200000, -32768, 0},
    {INT32_MIN, -32768, 0},
};

TEST(SampleFormat, NarrowingRoundsAndSaturatesAtBothEnds)
{
    for (const NarrowCase& c : narrowCases)
    {
        EXPECT_EQ(c.to16, SampleTo16(c.sample)) << c.sample;
        EXPECT_EQ(c.to8, SampleTo8(c.sample)) << c.sample;
    }
    // Every 16-bit value comes back from the pipeline unchanged.
    for (int s = -32768; s <= 32767; ++s)
        ASSERT_EQ(s, SampleTo16(SampleFrom16(static_cast<int16_t>(s))));
}

// The block conversions against the per-sample ones, over every 16-bit value,
// the narrowing table's edges and a sweep of wide samples, at every length
// from 0 to 17 and an unaligned start, so that the SSE2 part and the tail
// both meet every kind of input.
TEST(SampleFormat, BlockConversionsEqualThePerSampleOnes)
{
    std::vector<uint8_t> bytes;
    for (int s = -32768; s <= 32767; ++s)
    {
        bytes.push_back(static_cast<uint8_t>(s));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    std::vector<int32_t> wide;
    for (const NarrowCase& c : narrowCases)
        for (int32_t d = -9; d <= 9; ++d)
            wide.push_back(c.sample > 0 && d > INT32_MAX - c.sample   ? INT32_MAX
                           : c.sample < 0 && d < INT32_MIN - c.sample ? INT32_MIN
                                                                      : c.sample + d);
    for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 65521 * 17)
        wide.push_back(static_cast<int32_t>(v));

    for (int count = 0; count <= 17; ++count)
        for (int start = 0; start + count <= static_cast<int>(wide.size()); start += 13)
        {
            std::vector<uint8_t> out(2 * count + 1, 0xA5);
            SamplesTo16LE(wide.data() + start, count, out.data() + 1);  // odd address
            for (int i = 0; i < count; ++i)
            {
                const int16_t expected = SampleTo16(wide[start + i]);
                ASSERT_EQ(expected, static_cast<int16_t>(out[1 + 2 * i] | (out[2 + 2 * i] << 8)))
                    << wide[start + i];
            }
        }

    std::vector<int32_t> samples(65536 + 1);
    for (int count : {0, 1, 7, 8, 9, 15, 16, 17, 65535, 65536})
    {
        std::fill(samples.begin(), samples.end(), 0x5A5A5A5A);
        SamplesFrom16LE(bytes.data(), count, samples.data());
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(SampleFrom16(static_cast<int16_t>(i - 32768)), samples[i]) << i;
        ASSERT_EQ(0x5A5A5A5A, samples[count]) << "written past the block";
    }
}

// Each sink format a rip can write, fed full-scale CD data through the chain a
// rip builds, and narrowed as the WAV file does it: never a sample beyond
// 16 bits, never one of the wrong sign, and at the CD's own rate the extremes
// stay the extremes.
TEST(SampleFormat, FullScaleSignalsKeepTheirSignInEverySinkFormat)
{
    for (const LoudFormat& f : loudFormats)
        for (Loud kind : loudKinds)
        {
            SCOPED_TRACE(testing::Message() << LoudName(kind) << " into " << f.rate << " Hz, " << f.bits << "-bit, "
                                            << int(f.channels) << " channels");
            LCountedPtr<RecordingSink> sink(new RecordingSink(f.rate, f.channels));
            const std::vector<int32_t> data = LoudFrames(kind);
            {
                LSoundSinkPtr chain =
                    LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(LOUD_RATE, LSoundSinkPtr(sink)));
                ASSERT_FALSE(chain->bError);
                for (int at = 0; at < LOUD_FRAMES; at += BRIDGE_BLOCK_FRAMES)
                    chain->Write(data.data() + 2 * at, std::min(BRIDGE_BLOCK_FRAMES, LOUD_FRAMES - at));
            }
            int beyond = 0;
            std::vector<int> centred;
            for (int32_t v : sink->samples)
            {
                if (v > 32767 * 16 || v < -32768 * 16)
                    ++beyond;
                centred.push_back(f.bits == 8 ? SampleTo8(v) - 128 : SampleTo16(v));
            }
            EXPECT_EQ(0, beyond) << "of " << sink->samples.size();

            ExpectLoudSignalKept(kind, f, centred);
        }
}

} // namespace
