#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "sound/LCountedPtr.h"
#include "sound/LSoundStream.h"
#include "sound/LSoundTime.h"

namespace {

// The smallest concrete source and sink; they only carry the base fields.
class SilentSource : public LSoundSourceBase
{
public:
    SilentSource(int32_t rate, uint8_t channels) : LSoundSourceBase(rate, channels, SAMPLE_PEAK_16BIT) {}
    void Read(int32_t*, int) override {}
    int GetPosition() override { return 0; }
    int GetEndSample() override { return 0; }
};

class DroppingSink : public LSoundSinkBase
{
public:
    DroppingSink(int32_t rate, uint8_t channels) : LSoundSinkBase(rate, channels) {}
    void Write(const int32_t*, int count) override { nWritten += count; }
};

// Counts its destructions, so a delete through the base pointer shows.
class CountedSink : public DroppingSink
{
public:
    explicit CountedSink(int& nDeleted) : DroppingSink(44100, 2), nDeleted(nDeleted) {}
    ~CountedSink() override { ++nDeleted; }

private:
    int& nDeleted;
};

// GCC cannot see that a count above one keeps the object, and takes each
// use after a release for a use after the delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif
TEST(LCountedPtr, CopiesCountAndTheLastReleaseDeletesOnceThroughTheBase)
{
    int nDeleted = 0;
    CountedSink* sink = new CountedSink(nDeleted);
    EXPECT_EQ(0, sink->nRefs);
    {
        LCountedPtr<CountedSink> first(sink);
        EXPECT_EQ(1, sink->nRefs);
        LSoundSinkPtr asBase(first);
        EXPECT_EQ(2, sink->nRefs);
        {
            LSoundSinkPtr copy(asBase);
            EXPECT_EQ(3, sink->nRefs);
        }
        EXPECT_EQ(2, sink->nRefs);
        first = nullptr;
        EXPECT_EQ(1, asBase->nRefs);
        EXPECT_FALSE(first);
        EXPECT_EQ(0, nDeleted);
        EXPECT_EQ(sink, asBase.Get());
    }
    EXPECT_EQ(1, nDeleted);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

TEST(LCountedPtr, SelfAssignmentKeepsTheObjectAndReassignmentReleasesTheOld)
{
    int nDeletedA = 0;
    int nDeletedB = 0;
    LSoundSinkPtr p(new CountedSink(nDeletedA));
    LSoundSinkPtr& alias = p;
    p = alias;
    EXPECT_EQ(1, p->nRefs);
    p = p.Get();
    EXPECT_EQ(1, p->nRefs);
    EXPECT_EQ(0, nDeletedA);

    p = new CountedSink(nDeletedB);
    EXPECT_EQ(1, nDeletedA);
    EXPECT_EQ(1, p->nRefs);
    p = LSoundSinkPtr();
    EXPECT_EQ(1, nDeletedB);
    EXPECT_FALSE(p);
}

struct FormatCase
{
    int32_t rate;
    uint8_t channels;
    bool bError;
    int32_t expectedRate;
    uint8_t expectedChannels;
};

const FormatCase formatCases[] = {
    {44100, 2, false, 44100, 2},
    {11025, 1, false, 11025, 1},
    {48000, 255, false, 48000, 255},
    {0, 2, true, 44100, 2},
    {-8000, 2, true, 44100, 2},
    {22050, 0, true, 22050, 1},
    {0, 0, true, 44100, 1},
};

TEST(LSoundStream, InvalidRateOrChannelsRaiseTheErrorAndFallBack)
{
    for (const FormatCase& c : formatCases)
    {
        SCOPED_TRACE(testing::Message() << "rate " << c.rate << ", channels " << int(c.channels));
        SilentSource source(c.rate, c.channels);
        DroppingSink sink(c.rate, c.channels);
        EXPECT_EQ(c.bError, bool(source.bError));
        EXPECT_EQ(c.expectedRate, source.nSampleRate);
        EXPECT_EQ(c.expectedChannels, source.nChannels);
        EXPECT_EQ(c.bError, bool(sink.bError));
        EXPECT_EQ(c.expectedRate, sink.nSampleRate);
        EXPECT_EQ(c.expectedChannels, sink.nChannels);

        // Setting them later follows the same rules on a valid object.
        SilentSource later(44100, 2);
        later.SetSampleRate(c.rate);
        later.SetChannels(c.channels);
        DroppingSink laterSink(44100, 2);
        laterSink.SetSampleRate(c.rate);
        laterSink.SetChannels(c.channels);
        EXPECT_EQ(c.bError, bool(later.bError));
        EXPECT_EQ(c.expectedRate, later.nSampleRate);
        EXPECT_EQ(c.expectedChannels, later.nChannels);
        EXPECT_EQ(c.bError, bool(laterSink.bError));
        EXPECT_EQ(c.expectedRate, laterSink.nSampleRate);
        EXPECT_EQ(c.expectedChannels, laterSink.nChannels);
    }
}

TEST(LSRCNull, IsASilentMonoSourceFlaggedUnusable)
{
    LSoundSourcePtr source(new LSRCNull);
    EXPECT_EQ(11025, source->nSampleRate);
    EXPECT_EQ(1, source->nChannels);
    EXPECT_EQ(0x200000, source->nPeak);
    EXPECT_TRUE(source->bError);
    EXPECT_EQ(1, source->nRefs);

    int32_t buffer[64];
    for (int32_t& v : buffer)
        v = 12345;
    source->Read(buffer, 60);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(0, buffer[i]) << i;
    for (int i = 60; i < 64; ++i)
        EXPECT_EQ(12345, buffer[i]) << "past the request " << i;
    source->Seek(100);
    EXPECT_EQ(0, source->GetPosition());
    EXPECT_EQ(0, source->GetEndSample());
    EXPECT_FALSE(source->IsStreaming());
}

struct TimeCase
{
    int32_t samples;
    int32_t rate;
    int64_t ms;
};

const TimeCase timeCases[] = {
    {0, 44100, 0},
    {44100, 44100, 1000},
    {44099, 44100, 999},
    {88200 + 22050, 44100, 2500},
    {1, 8000, 0},
    {8, 8000, 1},
    {333, 1000, 333},
    // 2^31 - 1 frames, where samples × 1000 would pass 32 bits: still the
    // exact floor of samples × 1000 / rate.
    {INT32_MAX, 44100, 48695774},
    {INT32_MAX, 48000, 44739242},
    // Rates up to 1000, where the milliseconds outgrow the frames.
    {INT32_MAX, 1, 2147483647000},
    {INT32_MAX, 7, 306783378142},
    {INT32_MAX, 999, 2149633280},
    {1000, 1, 1000000},
    {5, 3, 1666},
    {INT32_MAX, 1000, INT32_MAX},
    // Rates past 2.1 million, where a remainder times 1000 passes 32 bits.
    {2999999, 3000000, 999},
    {2200000, 4400000, 500},
    {INT32_MAX, 2200000, 976128},
    {INT32_MAX - 1, INT32_MAX, 999},
    {INT32_MAX, INT32_MAX, 1000},
    {1, INT32_MAX, 0},
    {44100, 0, 0},
    {44100, -1, 0},
};

TEST(LSoundTime, MillisecondsFromFramesWithoutOverflow)
{
    for (const TimeCase& c : timeCases)
    {
        LSoundTime time;
        time.SetSamples(c.samples, c.rate);
        EXPECT_EQ(c.ms, time.nMilliseconds) << c.samples << " frames at " << c.rate;
    }
}

} // namespace
