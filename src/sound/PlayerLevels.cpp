#include "sound/PlayerLevels.h"

#include <algorithm>
#include <cmath>

#include "sound/SampleFormat.h"

namespace {

constexpr int BLOCKS_PER_SECOND = 10;
constexpr int MIN_BLOCK = 20;
// The squares' split: the low part keeps 13 bits.
constexpr int LOW_BITS = 13;
constexpr int64_t LOW_MASK = (1 << LOW_BITS) - 1;

} // namespace

int PlayerBlockFrames(int32_t rate)
{
    return std::clamp(rate / BLOCKS_PER_SECOND, MIN_BLOCK, BRIDGE_BLOCK_FRAMES);
}

int64_t PlayerMeanSquare(const int16_t* samples, int frames, int channels, int channel)
{
    if (frames <= 0)
        return 0;
    int64_t high = 0;
    int64_t low = 0;
    for (int i = 0; i < frames; ++i)
    {
        const int64_t v = samples[i * channels + channel] >> 5;
        const int64_t square = v * v;
        high += square >> LOW_BITS;
        low += square & LOW_MASK;
    }
    const int64_t sum = high + (low >> LOW_BITS);
    return (sum / frames) * (LOW_MASK + 1) + ((sum % frames) * (LOW_MASK + 1)) / frames;
}

int8_t PlayerLevel(double meanSquare)
{
    if (meanSquare <= 0)
        return PLAYER_LEVEL_MIN;
    const double level = std::round(10.0 * std::log10(meanSquare / PLAYER_LEVEL_REFERENCE));
    return static_cast<int8_t>(std::clamp(level, double(PLAYER_LEVEL_MIN), double(PLAYER_LEVEL_MAX)));
}

void PlayerLevels(const int16_t* samples, int frames, int channels, LSoundLevels& levels)
{
    levels.nChannels = static_cast<uint8_t>(channels);
    for (int ch = 0; ch < channels; ++ch)
        levels.nLevel[ch] = PlayerLevel(static_cast<double>(PlayerMeanSquare(samples, frames, channels, ch)));
}
