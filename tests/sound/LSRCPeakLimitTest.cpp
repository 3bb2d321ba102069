#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "sound/BufferSource.h"
#include "sound/LSRCPeakLimit.h"

namespace {

std::vector<int32_t> ReadAll(LSoundSourceBase& source, int frames, int chunk)
{
    std::vector<int32_t> out(static_cast<size_t>(frames) * source.nChannels);
    for (int at = 0; at < frames; at += chunk)
        source.Read(out.data() + static_cast<size_t>(at) * source.nChannels, std::min(chunk, frames - at));
    return out;
}

TEST(LSRCPeakLimit, BlockIsAThirtyFifthOfASecondAndTheDelayThreeBlocks)
{
    const struct
    {
        int32_t rate;
        int block;
    } cases[] = {{44100, 1260}, {8000, 228}, {48000, 1371}, {11025, 315}, {700, 20}, {100, 20}, {286720, 8192}, {300000, 8192}};
    for (const auto& c : cases)
    {
        LSRCPeakLimit limiter(100, LSoundSourcePtr(new BufferSource(c.rate, 2, SAMPLE_PEAK_16BIT)));
        EXPECT_EQ(c.block, limiter.nBlock) << c.rate;
        EXPECT_EQ(3 * c.block, limiter.nDelay) << c.rate;
    }
}

TEST(LSRCPeakLimit, OpenerInsertsItOnlyBelowTheSourcesPeak)
{
    const LSoundSourcePtr source(new BufferSource(22050, 1, SAMPLE_PEAK_16BIT));
    EXPECT_EQ(source.Get(), LSPPeakLimit(SAMPLE_PEAK_16BIT).OpenSource(source).Get());
    EXPECT_EQ(source.Get(), LSPPeakLimit(600000).OpenSource(source).Get());

    const LSoundSourcePtr limited = LSPPeakLimit(SAMPLE_PEAK_16BIT - 1).OpenSource(source);
    ASSERT_NE(source.Get(), limited.Get());
    EXPECT_EQ(SAMPLE_PEAK_16BIT - 1, limited->nPeak);
    EXPECT_EQ(22050, limited->nSampleRate);
    EXPECT_EQ(1, limited->nChannels);
    EXPECT_FALSE(limited->bError);

    // The placeholder's error carries over, and the limit is kept in range.
    const LSoundSourcePtr placeholder = LSPPeakLimit(SAMPLE_PEAK_16BIT).OpenSource(LSoundSourcePtr(new LSRCNull));
    EXPECT_TRUE(placeholder->bError);
    EXPECT_EQ(SAMPLE_PEAK_16BIT, placeholder->nPeak);
    const LSoundSourcePtr huge(new BufferSource(44100, 2, INT32_MAX));
    EXPECT_EQ(PEAK_LIMIT_MAX, LSPPeakLimit(5000000).OpenSource(huge)->nPeak);
    EXPECT_EQ(0, LSPPeakLimit(-5).OpenSource(huge)->nPeak);
}

TEST(LSRCPeakLimit, BlockGainBringsThePeakDownToTheLimit)
{
    const struct
    {
        int64_t peak;
        int32_t limit;
        int32_t gain;
    } cases[] = {
        {524272, 524272, PEAK_GAIN_UNITY},
        {0, 0, PEAK_GAIN_UNITY},
        {524273, 524272, 16776704},
        {524288, 524272, 16774656}, // full scale: just under unity
        {1048576, 524272, 8387584},
        {4194304, 524272, 2096640},
        {600000, 100000, 2795520},
        {2000000, 0, 0},
        {int64_t(INT32_MAX) + 1, PEAK_LIMIT_MAX, 32256},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.gain, LSRCPeakLimit::BlockGain(c.peak, c.limit)) << c.peak << " over " << c.limit;

    for (int32_t x : {0, 1, -1, 4095, -4096, 524272, -524288, INT32_MAX, INT32_MIN})
        EXPECT_EQ(x, LSRCPeakLimit::ApplyGain(x, PEAK_GAIN_UNITY)) << x;
    EXPECT_EQ(500, LSRCPeakLimit::ApplyGain(1000, PEAK_GAIN_UNITY / 2));
    EXPECT_EQ(-500, LSRCPeakLimit::ApplyGain(-1000, PEAK_GAIN_UNITY / 2));
    EXPECT_EQ(0, LSRCPeakLimit::ApplyGain(524288, 0));
}

TEST(LSRCPeakLimit, FullScaleInputStaysWithinTheLimit)
{
    const int frames = 44100 * 2;
    std::mt19937 random(9);
    std::vector<int32_t> data(frames * 2);
    for (int i = 0; i < frames * 2; ++i)
        data[i] = i % 7 < 3 ? 524288 : i % 7 < 6 ? -524288 : int32_t(random() % 1048577) - 524288;
    LSRCPeakLimit limiter(SAMPLE_PEAK_16BIT, LSoundSourcePtr(new BufferSource(44100, 2, 524288, data)));
    const std::vector<int32_t> out = ReadAll(limiter, frames, 1000);
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_LE(std::abs(out[i]), SAMPLE_PEAK_16BIT) << i;
    // The gain just under unity takes off no more than it must.
    EXPECT_EQ(524208, *std::max_element(out.begin(), out.end()));
}

// Louder input: the gain at a block's peak is at most limit / peak, and the
// rounding of the product can take a negative sample at most 2 past -limit.
TEST(LSRCPeakLimit, LoudInputStaysWithinTheLimitButForRounding)
{
    const int frames = 48000 * 2;
    std::mt19937 random(10);
    std::vector<int32_t> data(frames);
    for (int i = 0; i < frames; ++i)
        data[i] = int32_t(random() % 4194304) - 2097152;
    LSRCPeakLimit limiter(SAMPLE_PEAK_16BIT, LSoundSourcePtr(new BufferSource(48000, 1, 0x200000, data)));
    const std::vector<int32_t> out = ReadAll(limiter, frames, 777);
    for (size_t i = 0; i < out.size(); ++i)
    {
        ASSERT_LE(out[i], SAMPLE_PEAK_16BIT) << i;
        ASSERT_GE(out[i], -SAMPLE_PEAK_16BIT - 2) << i;
    }
}

// A quiet tone with a loud burst: the gain goes down ahead of the burst, no
// sample exceeds the limit, and after it the tone comes out untouched again.
TEST(LSRCPeakLimit, GainRecoversAfterALoudPart)
{
    const int rate = 44100;
    const int frames = rate * 4;
    const int loudStart = rate + 500;
    const int loudEnd = loudStart + rate / 2;
    std::vector<int32_t> data(frames * 2);
    for (int i = 0; i < frames; ++i)
    {
        const int32_t amplitude = i >= loudStart && i < loudEnd ? 1500000 : 200000;
        const int32_t v = (i / 50) % 2 ? amplitude : -amplitude;
        data[2 * i] = v;
        data[2 * i + 1] = -v / 2;
    }
    const int32_t limit = 400000;
    LSRCPeakLimit limiter(limit, LSoundSourcePtr(new BufferSource(rate, 2, 0x200000, data)));
    const int block = limiter.nBlock;
    const std::vector<int32_t> out = ReadAll(limiter, frames, 4000);

    for (int i = 0; i < frames; ++i)
    {
        SCOPED_TRACE(i);
        for (int ch = 0; ch < 2; ++ch)
        {
            ASSERT_LE(std::abs(out[2 * i + ch]), limit + 2);
            if (i < loudStart - 3 * block || i >= loudEnd + 4 * block)
            {
                ASSERT_EQ(data[2 * i + ch], out[2 * i + ch]);
            }
        }
    }
    // In the burst the gain holds it at the limit, not far below.
    EXPECT_GT(*std::max_element(out.begin() + 2 * loudStart, out.begin() + 2 * loudEnd), limit * 99 / 100);
}

TEST(LSRCPeakLimit, PositionEndAndSeekCountTheLookAhead)
{
    const int frames = 8000 * 10;
    std::vector<int32_t> data(frames);
    for (int i = 0; i < frames; ++i)
        data[i] = (i * 37) % 20000 - 10000;
    LCountedPtr<BufferSource> inner(new BufferSource(8000, 1, 0x200000, data));
    LSRCPeakLimit limiter(SAMPLE_PEAK_16BIT, LSoundSourcePtr(inner));
    ASSERT_EQ(684, limiter.nDelay);

    EXPECT_EQ(0, limiter.GetPosition());
    EXPECT_EQ(frames, limiter.GetEndSample());
    std::vector<int32_t> out(300);
    limiter.Read(out.data(), 100);
    EXPECT_EQ(684, inner->GetPosition()) << "three blocks read ahead";
    EXPECT_EQ(100, limiter.GetPosition());
    EXPECT_EQ(std::vector<int32_t>(data.begin(), data.begin() + 100), std::vector<int32_t>(out.begin(), out.begin() + 100));

    limiter.Seek(5000);
    EXPECT_EQ(5000 + 684, inner->GetPosition()) << "a seek primes at once";
    EXPECT_EQ(5000, limiter.GetPosition());
    limiter.Read(out.data(), 300);
    EXPECT_EQ(std::vector<int32_t>(data.begin() + 5000, data.begin() + 5300), out);
    EXPECT_EQ(5300, limiter.GetPosition());

    // A growing source: what can be read is behind what it holds by the look-ahead.
    EXPECT_FALSE(limiter.IsStreaming());
    inner->bStreaming = true;
    EXPECT_TRUE(limiter.IsStreaming());
    EXPECT_EQ(frames - 684, limiter.GetEndSample());
    EXPECT_TRUE(limiter.WaitForData(25));
    EXPECT_EQ(std::vector<int>{25}, inner->waits);
}

} // namespace

TEST(LSRCPeakLimit, PositionReachesTheEndOfAFiniteSource)
{
    // Whatever the source's length against the blocks, a reader that stops
    // when the position reaches the end stops after the last real frame.
    for (int frames : {1, 227, 228, 684, 685, 1000, 8000})
    {
        std::vector<int32_t> data(frames, 1000);
        LCountedPtr<BufferSource> inner(new BufferSource(8000, 1, 0x200000, data));
        LSRCPeakLimit limiter(SAMPLE_PEAK_16BIT, LSoundSourcePtr(inner));
        std::vector<int32_t> out(100);
        int delivered = 0;
        while (limiter.GetEndSample() - limiter.GetPosition() > 0 && delivered <= frames)
        {
            const int n = std::min(100, limiter.GetEndSample() - limiter.GetPosition());
            limiter.Read(out.data(), n);
            delivered += n;
        }
        EXPECT_EQ(frames, delivered) << frames << " frames";
        EXPECT_EQ(frames, limiter.GetPosition()) << frames << " frames";
    }
}
