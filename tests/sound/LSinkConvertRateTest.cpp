#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"
#include "sound/RecordingSink.h"
#include "sound/ResampleReference.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// A sink whose Seek drops what follows the frame, as a file sink's does.
class SeekableSink : public RecordingSink
{
public:
    using RecordingSink::RecordingSink;
    void Seek(int frame) override
    {
        seeks.push_back(frame);
        framesAtSeek.push_back(nWritten);
        samples.resize(static_cast<size_t>(frame) * nChannels);
        nWritten = frame;
    }
    std::vector<int> seeks;
    std::vector<int> framesAtSeek;
};

// 16-bit values at the pipeline's scale.
std::vector<int32_t> Noise(int frames, int channels, int32_t amplitude, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> value(-amplitude, amplitude - 1);
    std::vector<int32_t> v(static_cast<size_t>(frames) * channels);
    for (int32_t& s : v)
        s = value(random) * 16;
    return v;
}

// Full scale, high for half of `period` frames and low for the rest.
std::vector<int32_t> Square(int frames, int channels, int period)
{
    std::vector<int32_t> v(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int ch = 0; ch < channels; ++ch)
            v[i * channels + ch] = (i % period < period / 2 ? 32767 : -32768) * 16;
    return v;
}

// Writes `data` in blocks of the given sizes, taken in turn, and releases the
// converter, which flushes it.
std::vector<int32_t> Convert(int32_t in, int32_t out, int channels, const std::vector<int32_t>& data,
    const std::vector<int>& blocks = {BRIDGE_BLOCK_FRAMES}, std::vector<int>* writeSizes = nullptr)
{
    LCountedPtr<RecordingSink> sink(new RecordingSink(out, static_cast<uint8_t>(channels)));
    {
        LSoundSinkPtr converter = LSinkConvertRateBase::OpenSink(in, LSoundSinkPtr(sink));
        const int frames = static_cast<int>(data.size()) / channels;
        size_t b = 0;
        for (int at = 0; at < frames;)
        {
            const int n = std::min(blocks[b++ % blocks.size()], frames - at);
            converter->Write(data.data() + static_cast<size_t>(at) * channels, n);
            at += n;
        }
        EXPECT_EQ(frames, converter->nWritten);
    }
    if (writeSizes)
        *writeSizes = sink->writeSizes;
    return sink->samples;
}

struct RatePair
{
    int32_t in;
    int32_t out;
};

const RatePair ratePairs[] = {
    {44100, 48000}, {48000, 44100}, {44100, 22050}, {22050, 44100}, {44100, 11025}, {11025, 44100},
    {44100, 8000}, {8000, 44100}, {44100, 32000}, {48000, 22050},
};

// The MP3 encoder is told how many frames to expect: the count must be the
// converter's own, to the frame, for tracks of any length.
TEST(LSinkConvertRate, ConvertedFramesIsWhatTheConverterPutsOut)
{
    for (const RatePair& pair : ratePairs)
        for (int frames : {1, 10, 588, 4095, 35280 + 7})
        {
            SCOPED_TRACE(testing::Message() << pair.in << " -> " << pair.out << ", " << frames << " frames");
            const std::vector<int32_t> data(static_cast<size_t>(frames) * 2, 1000);
            EXPECT_EQ(static_cast<int64_t>(Convert(pair.in, pair.out, 2, data).size() / 2),
                      ConvertedFrames(frames, pair.in, pair.out));
        }
    EXPECT_EQ(35280, ConvertedFrames(35280, 44100, 44100));
    // An hour and more of CD audio, at half its rate.
    EXPECT_EQ(int64_t(1) << 32, ConvertedFrames(int64_t(1) << 33, 44100, 22050));
}

TEST(LSinkConvertRate, OpenerKeepsASinkOfTheDataRateAndConvertsForAnyOther)
{
    LSoundSinkPtr same(new RecordingSink(44100, 2));
    EXPECT_EQ(same.Get(), LSinkConvertRateBase::OpenSink(44100, same).Get());
    EXPECT_FALSE(LSinkConvertRateBase::OpenSink(44100, LSoundSinkPtr())) << "an empty sink counts as 44100";

    LSoundSinkPtr mono(new RecordingSink(22050, 1));
    LSoundSinkPtr converter = LSinkConvertRateBase::OpenSink(44100, mono);
    ASSERT_TRUE(converter);
    EXPECT_NE(mono.Get(), converter.Get());
    EXPECT_EQ(44100, converter->nSampleRate);
    EXPECT_EQ(1, converter->nChannels);
    EXPECT_FALSE(converter->bError);

    // With nowhere to write it takes mono data and drops it.
    LSoundSinkPtr nowhere = LSinkConvertRateBase::OpenSink(48000, LSoundSinkPtr());
    ASSERT_TRUE(nowhere);
    EXPECT_EQ(48000, nowhere->nSampleRate);
    EXPECT_EQ(1, nowhere->nChannels);
    EXPECT_FALSE(nowhere->bError);
    const std::vector<int32_t> data = Noise(100, 1, 1000, 1);
    nowhere->Write(data.data(), 100);
    EXPECT_EQ(100, nowhere->nWritten);
}

TEST(LSinkConvertRate, PairsItCannotConvertRaiseTheErrorAndDropTheData)
{
    struct
    {
        int32_t in;
        int32_t out;
        uint8_t channels;
    } cases[] = {
        {192000, 8000, 2}, // 24 input frames an output frame: more than the filter spans
        {100, 192000, 2},  // no step of whole input frames comes near the ratio
        {44100, 48000, 3}, // mono and stereo only
        {0, 48000, 2},     // no data rate
        {INT32_MAX, 1, 1}, // as far apart as rates go
        // out / in = 3 / 64, where the cut-off of a filter would be 0
        {64000, 3000, 2},
        {32000, 1500, 1},
        {128000, 6000, 2},
        {192000, 9000, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out << ", " << int(c.channels) << " channels");
        LCountedPtr<RecordingSink> sink(new RecordingSink(c.out, c.channels));
        {
            LSoundSinkPtr converter = LSinkConvertRateBase::OpenSink(c.in, LSoundSinkPtr(sink));
            EXPECT_TRUE(converter->bError);
            const std::vector<int32_t> data = Noise(5000, c.channels, 1000, 2);
            converter->Write(data.data(), 5000);
            EXPECT_EQ(5000, converter->nWritten);
        }
        EXPECT_TRUE(sink->writeSizes.empty());
    }
}

// The sums over taps are exact for any 16-bit input, on every rate pair.
TEST(LSinkConvertRate, EqualsTheWideReferenceForAnySixteenBitInput)
{
    for (const RatePair& pair : ratePairs)
        for (int channels = 1; channels <= 2; ++channels)
        {
            SCOPED_TRACE(testing::Message() << pair.in << " -> " << pair.out << ", " << channels << " channels");
            const LResampleFilter filter(pair.out, pair.in);
            const std::vector<std::vector<int32_t>> signals = {
                Noise(20000, channels, 32768, 3),
                Square(20000, channels, 2),
                Square(20000, channels, 6),
                Square(20000, channels, 13),
            };
            for (const std::vector<int32_t>& data : signals)
            {
                const std::vector<int32_t> expected = ResampleReference(filter, data, channels, HalfSums::Wide).samples;
                ASSERT_EQ(expected, Convert(pair.in, pair.out, channels, data));
            }
        }
}

// Where no 32-bit sum overflows, the result is that of the 32-bit sums.
TEST(LSinkConvertRate, OrdinaryInputGivesThe32BitSumsBitForBit)
{
    for (const RatePair& pair : ratePairs)
    {
        SCOPED_TRACE(testing::Message() << pair.in << " -> " << pair.out);
        const LResampleFilter filter(pair.out, pair.in);
        const std::vector<int32_t> data = Noise(30000, 2, 20000, 4);
        const ReferenceOutput expected = ResampleReference(filter, data, 2, HalfSums::Wrapping32);
        EXPECT_FALSE(expected.bOverflow);
        EXPECT_EQ(expected.samples, Convert(pair.in, pair.out, 2, data));
    }
}

// A full-scale square of six frames meets the 44100 -> 48000 coefficients
// with the signs that overflow a 32-bit half sum.
TEST(LSinkConvertRate, FullScaleSquareThatOverflowed32BitSumsComesOutRight)
{
    const LResampleFilter filter(48000, 44100);
    const std::vector<int32_t> data = Square(8000, 2, 6);
    const ReferenceOutput wrapped = ResampleReference(filter, data, 2, HalfSums::Wrapping32);
    const ReferenceOutput wide = ResampleReference(filter, data, 2, HalfSums::Wide);
    ASSERT_TRUE(wrapped.bOverflow);
    EXPECT_NE(wrapped.samples, wide.samples);

    const std::vector<int32_t> out = Convert(44100, 48000, 2, data);
    EXPECT_EQ(wide.samples, out);
    // The square's fundamental and harmonics pass with some ringing, nothing wild.
    for (int32_t v : out)
        ASSERT_LE(std::abs(v), 2 * 524288);
}

TEST(LSinkConvertRate, SamplesBeyondSixteenBitsAreTakenAtItsLimits)
{
    std::vector<int32_t> loud = Noise(3000, 2, 32768, 5);
    std::vector<int32_t> clamped = loud;
    for (size_t i = 0; i < loud.size(); i += 7)
    {
        loud[i] = loud[i] < 0 ? -2000000 : 524288;
        clamped[i] = loud[i] < 0 ? -524288 : 524272;
    }
    EXPECT_EQ(Convert(44100, 48000, 2, clamped), Convert(44100, 48000, 2, loud));
}

TEST(LSinkConvertRate, IrregularBlocksGiveTheOutputOfWholeBlocks)
{
    const std::vector<int> blocks = {1, 8192, 7, 15, 16, 3000, 2, 8191, 1, 1, 100, 4097};
    const RatePair pairs[] = {{44100, 48000}, {44100, 8000}, {8000, 44100}, {44100, 22050}};
    for (const RatePair& pair : pairs)
        for (int channels = 1; channels <= 2; ++channels)
        {
            SCOPED_TRACE(testing::Message() << pair.in << " -> " << pair.out << ", " << channels << " channels");
            const std::vector<int32_t> data = Noise(60000, channels, 32768, 6);
            std::vector<int> wholeSizes;
            std::vector<int> irregularSizes;
            const std::vector<int32_t> whole = Convert(pair.in, pair.out, channels, data, {BRIDGE_BLOCK_FRAMES}, &wholeSizes);
            EXPECT_EQ(whole, Convert(pair.in, pair.out, channels, data, blocks, &irregularSizes));
            // One write larger than a block is taken a block at a time.
            EXPECT_EQ(whole, Convert(pair.in, pair.out, channels, data, {60000}));
            for (int n : wholeSizes)
                EXPECT_LE(n, BRIDGE_BLOCK_FRAMES);
            for (int n : irregularSizes)
                EXPECT_LE(n, BRIDGE_BLOCK_FRAMES);
        }
}

TEST(LSinkConvertRate, ReleaseAfterTenFramesPutsOutAllOfThem)
{
    for (const RatePair& pair : ratePairs)
    {
        SCOPED_TRACE(testing::Message() << pair.in << " -> " << pair.out);
        const LResampleFilter filter(pair.out, pair.in);
        // An impulse on the last of the ten frames.
        std::vector<int32_t> data(20, 0);
        data[18] = data[19] = 20000 * 16;
        const std::vector<int32_t> out = Convert(pair.in, pair.out, 2, data);
        // Output frame n falls on input frame n * step / phases.
        const int expectedFrames = (10 * filter.phases + filter.step - 1) / filter.step;
        ASSERT_EQ(size_t(expectedFrames) * 2, out.size());
        // The impulse reached the output: the frame that falls nearest to it
        // carries the most of it.
        int nearest = 0;
        int loudest = 0;
        for (int n = 0; n < expectedFrames; ++n)
        {
            if (std::fabs(double(n) * filter.step / filter.phases - 9) <
                std::fabs(double(nearest) * filter.step / filter.phases - 9))
                nearest = n;
            if (std::abs(out[2 * n]) > std::abs(out[2 * loudest]))
                loudest = n;
        }
        EXPECT_EQ(nearest, loudest);
        EXPECT_GT(out[2 * loudest], 0);
    }
}

TEST(LSinkConvertRate, SeekFlushesMovesTheInnerSinkAndStartsAfresh)
{
    const std::vector<int32_t> data = Noise(5000, 2, 32768, 7);
    const std::vector<int32_t> once = Convert(44100, 22050, 2, data);

    LCountedPtr<SeekableSink> sink(new SeekableSink(22050, 2));
    {
        LSoundSinkPtr converter = LSinkConvertRateBase::OpenSink(44100, LSoundSinkPtr(sink));
        converter->Write(data.data(), 5000);
        converter->Seek(0);
        // The flush ran before the seek: all of the first pass had arrived.
        EXPECT_EQ(std::vector<int>{0}, sink->seeks);
        EXPECT_EQ(std::vector<int>{int(once.size() / 2)}, sink->framesAtSeek);
        EXPECT_EQ(0, converter->nWritten);

        // Afresh: the same data gives the same output again.
        converter->Write(data.data(), 5000);
        converter->Seek(1000);
        EXPECT_EQ(1000, converter->nWritten) << "the inner sink's count, in its frames";
        converter->Write(data.data(), 5000);
    }
    std::vector<int32_t> expected(once.begin(), once.begin() + 2000);
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(expected, sink->samples);

    // An inner sink that cannot seek keeps its count, and the converter takes it.
    LCountedPtr<RecordingSink> unseekable(new RecordingSink(8000, 1));
    LSoundSinkPtr converter = LSinkConvertRateBase::OpenSink(44100, LSoundSinkPtr(unseekable));
    converter->Write(data.data(), 100);
    converter->Seek(50);
    EXPECT_EQ(19, unseekable->nWritten);
    EXPECT_EQ(19, converter->nWritten);
}

// The chain as a rip builds it: rate opener on the final sink, then the
// channel opener on the result, for stereo 44100 Hz data.
TEST(LSinkConvertRate, RipChainIntoAMonoSinkAtAnotherRate)
{
    const std::vector<int32_t> data = Noise(20000, 2, 32768, 8);
    LCountedPtr<RecordingSink> sink(new RecordingSink(22050, 1));
    {
        LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(44100, LSoundSinkPtr(sink)));
        for (int at = 0; at < 20000; at += 5000)
            chain->Write(data.data() + at * 2, 5000);
    }
    std::vector<int32_t> mono(20000);
    for (int i = 0; i < 20000; ++i)
        mono[i] = (data[2 * i] + data[2 * i + 1]) >> 1;
    EXPECT_EQ(ResampleReference(LResampleFilter(22050, 44100), mono, 1, HalfSums::Wide).samples, sink->samples);
}

// y ~ a sin + b cos + d at `cycles` per sample, by least squares.
struct ToneFit
{
    double snrDb;
    double amplitude;
};

ToneFit FitTone(const std::vector<double>& y, double cycles)
{
    double m[3][3] = {};
    double r[3] = {};
    for (size_t n = 0; n < y.size(); ++n)
    {
        const double basis[3] = {std::sin(2 * PI * cycles * n), std::cos(2 * PI * cycles * n), 1.0};
        for (int i = 0; i < 3; ++i)
        {
            r[i] += basis[i] * y[n];
            for (int j = 0; j < 3; ++j)
                m[i][j] += basis[i] * basis[j];
        }
    }
    // Gaussian elimination of the 3 x 3 normal equations.
    for (int i = 0; i < 3; ++i)
        for (int k = i + 1; k < 3; ++k)
        {
            const double f = m[k][i] / m[i][i];
            for (int j = i; j < 3; ++j)
                m[k][j] -= f * m[i][j];
            r[k] -= f * r[i];
        }
    double x[3];
    for (int i = 2; i >= 0; --i)
    {
        x[i] = r[i];
        for (int j = i + 1; j < 3; ++j)
            x[i] -= m[i][j] * x[j];
        x[i] /= m[i][i];
    }
    double signal = 0;
    double noise = 0;
    for (size_t n = 0; n < y.size(); ++n)
    {
        const double fit = x[0] * std::sin(2 * PI * cycles * n) + x[1] * std::cos(2 * PI * cycles * n);
        signal += fit * fit;
        noise += (y[n] - fit - x[2]) * (y[n] - fit - x[2]);
    }
    return {10 * std::log10(signal / noise), std::hypot(x[0], x[1])};
}

// Cycles per sample from the first and last upward zero crossing.
double ZeroCrossingCycles(const std::vector<double>& y)
{
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (size_t n = 1; n < y.size(); ++n)
        if (y[n - 1] < 0 && y[n] >= 0)
        {
            const double at = double(n - 1) + y[n - 1] / (y[n - 1] - y[n]);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    return (crossings - 1) / (last - first);
}

struct ToneCase
{
    int32_t in;
    int32_t out;
    double hz;
    // Floors a little under what the filter gives (the test prints it): the
    // signal to noise, or for a tone above the output's Nyquist frequency,
    // which can only come out as its alias, how far the filter keeps it down.
    double minDb;
    // Amplitude out over amplitude in: the filter's response at a tone the
    // output carries.
    double gain = 0;
};

const ToneCase toneCases[] = {
    {44100, 48000, 1000, 43, 1.002},
    {44100, 48000, 10000, 41, 0.991},
    {48000, 44100, 1000, 56, 0.999},
    {48000, 44100, 10000, 53, 1.003},
    {44100, 22050, 1000, 94, 1.002},
    {44100, 22050, 5000, 94, 1.006},
    {22050, 44100, 1000, 40, 0.997},
    {22050, 44100, 5000, 38, 0.991},
    {44100, 11025, 1000, 99, 0.983},
    {44100, 11025, 2500, 96, 0.851},
    {11025, 44100, 1000, 43, 0.996},
    {11025, 44100, 2500, 40, 0.991},
    {44100, 8000, 1000, 67, 0.849},
    {44100, 8000, 2000, 64, 0.696},
    {8000, 44100, 1000, 40, 1.002},
    {8000, 44100, 2000, 38, 0.999},
    // Just above the output's Nyquist frequency the cut-off sets the
    // attenuation; further up the window's side lobes do.
    {44100, 22050, 12000, 16},
    {44100, 22050, 16500, 44},
    {44100, 11025, 6000, 12.5},
    {44100, 11025, 8000, 35},
    {44100, 8000, 4500, 12.5},
    {44100, 8000, 6500, 33},
    {48000, 44100, 23000, 15},
    {48000, 44100, 23800, 21.5},
};

TEST(LSinkConvertRate, SineComesOutAtItsFrequencyWithTheFiltersSignalToNoise)
{
    for (const ToneCase& c : toneCases)
    {
        SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out << ", " << c.hz << " Hz");
        const int frames = c.in;
        std::vector<int32_t> data(static_cast<size_t>(frames) * 2);
        for (int i = 0; i < frames; ++i)
        {
            data[2 * i] = int32_t(std::lround(16384 * std::sin(2 * PI * c.hz * i / c.in))) * 16;
            data[2 * i + 1] = int32_t(std::lround(16384 * std::cos(2 * PI * c.hz * i / c.in))) * 16;
        }
        const std::vector<int32_t> out = Convert(c.in, c.out, 2, data);

        // The steady part of the left channel, away from both ends.
        const int skip = 64;
        std::vector<double> left;
        for (size_t i = skip; i + skip < out.size() / 2; ++i)
            left.push_back(out[2 * i]);
        const LResampleFilter filter(c.out, c.in);
        // Output frames step / phases input frames apart: the output rate is
        // that of the phase count, close to the sink's. What comes out is the
        // tone folded into the output's band.
        double cycles = c.hz / c.in * filter.step / filter.phases;
        cycles = std::fabs(cycles - std::round(cycles));
        const double foldedHz = std::fabs(c.hz - c.out * std::round(c.hz / c.out));
        const double measuredHz = ZeroCrossingCycles(left) * c.out;
        EXPECT_NEAR(foldedHz, measuredHz, foldedHz * 0.005);

        const ToneFit fit = FitTone(left, cycles);
        const double gain = fit.amplitude / (16384 * 16);
        if (c.hz < c.out / 2.0)
        {
            // Crossings placed between samples time the rate this finely only
            // where a cycle spans several samples, unlike aliases just under
            // the output's Nyquist frequency.
            EXPECT_NEAR(cycles * c.out, measuredHz, 0.01 * c.hz / 1000);
            std::printf("%5d -> %5d Hz, %5.0f Hz tone: %7.2f Hz out, SNR %5.1f dB, gain %.3f\n", c.in, c.out, c.hz,
                measuredHz, fit.snrDb, gain);
            EXPECT_GE(fit.snrDb, c.minDb);
            EXPECT_NEAR(c.gain, gain, 0.002);
        }
        else
        {
            std::printf("%5d -> %5d Hz, %5.0f Hz tone: %7.2f Hz alias, attenuated %5.1f dB\n", c.in, c.out, c.hz,
                measuredHz, -20 * std::log10(gain));
            EXPECT_GE(-20 * std::log10(gain), c.minDb);
        }
    }
}

} // namespace
