#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "SoundCapture.h"
#include "WaitFor.h"
#include "sound/BufferSource.h"
#include "sound/LSRCPeakLimit.h"
#include "sound/LSoundPlayer.h"

namespace {

// Noise over the whole 16-bit range, in the pipeline's scale.
std::vector<int32_t> Noise(int frames, int channels, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<int32_t> data(static_cast<size_t>(frames) * channels);
    for (int32_t& s : data)
        s = SampleFrom16(static_cast<int16_t>(sample(random)));
    return data;
}

std::vector<int16_t> As16(const std::vector<int32_t>& data)
{
    std::vector<int16_t> samples(data.size());
    std::transform(data.begin(), data.end(), samples.begin(), SampleTo16);
    return samples;
}

struct Receiver : LSoundPlayerNotify
{
    void spntfPlay(int value) override
    {
        ++nPlays;
        values.push_back(value);
    }
    void spntfStop(int value) override
    {
        ++nStops;
        values.push_back(value);
    }
    void spntfPosition(int, int64_t ms) override { positions.push_back(ms); }
    void spntfLevels(int, const LSoundLevels& levels) override { this->levels.push_back(levels); }

    int nPlays = 0;
    int nStops = 0;
    std::vector<int> values;
    std::vector<int64_t> positions;
    std::vector<LSoundLevels> levels;
};

class LSoundPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RemoveSoundCapture();
        player.SetNotifyTarget(&receiver, 7);
    }

    // Handles the player's notifications as the window's loop would.
    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    // Until the player has stopped itself; the source's own length bounds it.
    bool WaitForStop(DWORD timeoutMs = 60000)
    {
        return WaitFor(
            [&] {
                Pump();
                return receiver.nStops > 0;
            },
            timeoutMs);
    }

    Receiver receiver;
    LSoundPlayer player;
};

} // namespace

TEST_F(LSoundPlayerTest, WhatPlaysReachesTheDeviceBitForBit)
{
    // Stereo at 44100 Hz and mono at 22050 Hz, neither a whole number of buffers.
    const struct
    {
        int32_t rate;
        uint8_t channels;
        int frames;
    } cases[] = {{44100, 2, 44100 + 1234}, {22050, 1, 22050 * 2 + 7}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rate);
        RemoveSoundCapture();
        receiver = Receiver();
        const std::vector<int32_t> data = Noise(c.frames, c.channels, c.rate);
        ASSERT_TRUE(player.Start(LSoundSourcePtr(new BufferSource(c.rate, c.channels, SAMPLE_PEAK_16BIT, data))));
        EXPECT_TRUE(player.IsPlaying());
        EXPECT_EQ(1, receiver.nPlays);
        ASSERT_TRUE(WaitForStop());
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_EQ(1, receiver.nStops);
        EXPECT_EQ((std::vector<int>{7, 7}), receiver.values);
        EXPECT_TRUE(CaptureIs(As16(data)));
        // Reported from the start to the end of the source, never backwards.
        ASSERT_FALSE(receiver.positions.empty());
        EXPECT_EQ(0, receiver.positions.front());
        EXPECT_EQ(static_cast<int64_t>(c.frames) * 1000 / c.rate, receiver.positions.back());
        EXPECT_TRUE(std::is_sorted(receiver.positions.begin(), receiver.positions.end()));
        for (const LSoundLevels& levels : receiver.levels)
            EXPECT_EQ(c.channels, levels.nChannels);
    }
}

TEST_F(LSoundPlayerTest, ABufferAndAHalfIsTwoBuffersThenTheStop)
{
    // 22050 Hz mono: buffers of 2205 frames; the second holds half of one.
    const int frames = 2205 + 1102;
    std::vector<int32_t> data(frames);
    for (int i = 0; i < frames; ++i)
        data[i] = SampleFrom16(i < 2205 ? 16384 : -32768);
    ASSERT_TRUE(player.Start(LSoundSourcePtr(new BufferSource(22050, 1, SAMPLE_PEAK_16BIT, data))));
    ASSERT_TRUE(WaitForStop());
    EXPECT_TRUE(CaptureIs(As16(data)));
    EXPECT_EQ(1, receiver.nStops);
    EXPECT_EQ(frames * 1000 / 22050, receiver.positions.back());
    // The levels of a buffer that played: half scale or full scale, one channel.
    ASSERT_FALSE(receiver.levels.empty());
    for (const LSoundLevels& levels : receiver.levels)
    {
        EXPECT_EQ(1, levels.nChannels);
        EXPECT_TRUE(levels.nLevel[0] == PlayerLevel(512.0 * 512) || levels.nLevel[0] == PlayerLevel(1024.0 * 1024))
            << int(levels.nLevel[0]);
    }
}

TEST_F(LSoundPlayerTest, TheLimiterStandsInFrontOfSourcesThatCanExceedSixteenBits)
{
    // Declared within 16 bits the source plays as it is, even its -32768,
    // which the limiter would bring down; declared louder, it plays as the
    // limiter gives it, and the playback ends with the source.
    const int frames = 44100 / 2 + 99;
    std::vector<int32_t> quiet = Noise(frames, 2, 3);
    quiet[5] = SampleFrom16(-32768);
    std::vector<int32_t> loud(frames * 2);
    for (int i = 0; i < frames * 2; ++i)
        loud[i] = (i / 2) % 100 < 50 ? 1000000 : -1000000;
    const auto limited = [frames](const std::vector<int32_t>& data) {
        LSRCPeakLimit limiter(SAMPLE_PEAK_16BIT, LSoundSourcePtr(new BufferSource(44100, 2, 4 * SAMPLE_PEAK_16BIT, data)));
        std::vector<int32_t> out(data.size());
        limiter.Read(out.data(), frames);
        return out;
    };
    const std::vector<int32_t> quietLimited = limited(quiet);
    const std::vector<int32_t> loudLimited = limited(loud);
    ASSERT_NE(As16(quiet), As16(quietLimited));
    ASSERT_LT(*std::max_element(loudLimited.begin(), loudLimited.end()), SAMPLE_PEAK_16BIT);

    const struct
    {
        int32_t peak;
        const std::vector<int32_t>& data;
        std::vector<int32_t> played;
    } cases[] = {
        {SAMPLE_PEAK_16BIT, quiet, quiet},
        {SAMPLE_PEAK_16BIT + 1, quiet, quietLimited},
        {SAMPLE_PEAK_16BIT + 1, loud, loudLimited},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.peak);
        RemoveSoundCapture();
        receiver = Receiver();
        ASSERT_TRUE(player.Start(LSoundSourcePtr(new BufferSource(44100, 2, c.peak, c.data))));
        ASSERT_TRUE(WaitForStop());
        EXPECT_TRUE(CaptureIs(As16(c.played)));
    }
}

TEST_F(LSoundPlayerTest, StopEndsPlaybackOnceAndAClosedPlayerTellsNothing)
{
    player.Stop();
    Pump();
    EXPECT_EQ(0, receiver.nStops);
    EXPECT_TRUE(receiver.positions.empty());

    const std::vector<int32_t> data = Noise(44100 * 20, 2, 5);
    ASSERT_TRUE(player.Start(LSoundSourcePtr(new BufferSource(44100, 2, SAMPLE_PEAK_16BIT, data))));
    ASSERT_TRUE(WaitFor([&] {
        Pump();
        return receiver.levels.size() >= 3;
    }));
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(1, receiver.nStops);
    player.Stop();
    Pump();
    EXPECT_EQ(1, receiver.nStops);

    // What played is the start of the source, and playback ended long before its end.
    const std::vector<int16_t> captured = SoundCaptureSamples();
    const std::vector<int16_t> expected = As16(data);
    EXPECT_LT(captured.size(), expected.size() / 2);
    const auto audio = std::find_if(captured.rbegin(), captured.rend(), [](int16_t s) { return s != 0; });
    const size_t played = static_cast<size_t>(captured.rend() - audio);
    EXPECT_GE(played, 3u * 4410 * 2);
    EXPECT_TRUE(std::equal(captured.begin(), captured.begin() + played, expected.begin()));
}

TEST_F(LSoundPlayerTest, APlayerWhoseDeviceStallsStopsItself)
{
    const std::vector<int32_t> data = Noise(44100 * 30, 2, 9);
    ASSERT_TRUE(player.Start(LSoundSourcePtr(new BufferSource(44100, 2, SAMPLE_PEAK_16BIT, data))));
    ASSERT_TRUE(WaitFor([&] {
        Pump();
        return !receiver.levels.empty();
    }));
    // A paused device holds its buffers, as one that stopped answering.
    ASSERT_EQ(static_cast<MMRESULT>(MMSYSERR_NOERROR), waveOutPause(player.hDevice));
    ASSERT_TRUE(WaitForStop());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(1, receiver.nStops);
}

TEST_F(LSoundPlayerTest, AnUnusableSourceIsRefused)
{
    EXPECT_FALSE(player.Start(LSoundSourcePtr(new LSRCNull())));
    EXPECT_FALSE(player.IsPlaying());
    Pump();
    EXPECT_EQ(0, receiver.nPlays);
    EXPECT_EQ(0, receiver.nStops);
}
