#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sound/PlayerLevels.h"

namespace {

constexpr double PI = 3.14159265358979323846;

} // namespace

TEST(PlayerLevels, BlockIsATenthOfASecondWithinItsBounds)
{
    const struct
    {
        int32_t rate;
        int channels;
        int frames;
        int bytes;
    } cases[] = {
        {22050, 1, 2205, 4410}, {44100, 2, 4410, 17640}, {8000, 1, 800, 1600},
        {199, 2, 20, 80},       {100, 1, 20, 40},        {100000, 2, 8192, 32768},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.frames, PlayerBlockFrames(c.rate)) << c.rate << " Hz";
        EXPECT_EQ(c.bytes, PlayerBlockFrames(c.rate) * c.channels * 2) << c.rate << " Hz, " << c.channels;
    }
}

TEST(PlayerLevels, MeanSquareOfAWholeBufferIsExact)
{
    // The largest buffer at full scale: the squares' sum overflows 32 bits
    // many times over, the split keeps it exact.
    const std::vector<int16_t> high(8192, 32767);
    const std::vector<int16_t> low(8192, -32768);
    EXPECT_EQ(1023 * 1023, PlayerMeanSquare(high.data(), 8192, 1, 0));
    EXPECT_EQ(1024 * 1024, PlayerMeanSquare(low.data(), 8192, 1, 0));
    // Shifting right by 5 takes away what lies below 32.
    const std::vector<int16_t> quiet(100, 31);
    EXPECT_EQ(0, PlayerMeanSquare(quiet.data(), 100, 1, 0));
    EXPECT_EQ(0, PlayerMeanSquare(high.data(), 0, 1, 0));
}

TEST(PlayerLevels, LevelsInDecibelsAgainstTheReference)
{
    const struct
    {
        double meanSquare;
        int level;
    } cases[] = {
        {0, -127},
        {1, -69},  // 10 log10(1 / 8388626) = -69.24
        {PLAYER_LEVEL_REFERENCE, 0},
        {PLAYER_LEVEL_REFERENCE * 10, 10},
        {PLAYER_LEVEL_REFERENCE / 10, -10},
        {PLAYER_LEVEL_REFERENCE * std::pow(10.0, 0.049), 0},
        {PLAYER_LEVEL_REFERENCE * std::pow(10.0, 0.051), 1},
        {PLAYER_LEVEL_REFERENCE * std::pow(10.0, -0.051), -1},  // half away from zero
        {PLAYER_LEVEL_REFERENCE * 1e13, 127},                   // 130 dB, held
        {PLAYER_LEVEL_REFERENCE * 1e-13, -127},                 // -130 dB, held
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.level, PlayerLevel(c.meanSquare)) << c.meanSquare;
}

TEST(PlayerLevels, EachChannelOfABuffer)
{
    // Left silent, right a full-scale square wave, then a 1 kHz sine at half
    // scale over a whole number of periods (44100 Hz).
    const int frames = 4410;
    std::vector<int16_t> square(frames * 2);
    std::vector<int16_t> sine(frames * 2);
    for (int i = 0; i < frames; ++i)
    {
        square[2 * i] = 0;
        square[2 * i + 1] = i % 2 ? 32767 : -32768;
        const auto s = static_cast<int16_t>(std::lround(16384 * std::sin(2 * PI * 1000 * i / 44100.0)));
        sine[2 * i] = s;
        sine[2 * i + 1] = s;
    }
    LSoundLevels levels = {};
    PlayerLevels(square.data(), frames, 2, levels);
    EXPECT_EQ(2, levels.nChannels);
    EXPECT_EQ(-127, levels.nLevel[0]);
    // (1023^2 + 1024^2) / 2 = 1047552: 10 log10(1047552 / 8388626) = -9.04.
    EXPECT_EQ(-9, levels.nLevel[1]);

    // 512^2 / 2 = 131072: -18.06 dB.
    PlayerLevels(sine.data(), frames, 2, levels);
    EXPECT_NEAR(131072, PlayerMeanSquare(sine.data(), frames, 2, 0), 131072 * 0.01);
    EXPECT_EQ(-18, levels.nLevel[0]);
    EXPECT_EQ(-18, levels.nLevel[1]);
}
