// What the player computes without the device: the frames of one device
// buffer, and the loudness of each channel of a buffer for the level meters.
#pragma once

#include <cstdint>

// The device's buffers, all filled in turn.
constexpr int PLAYER_BUFFERS = 64;

// Channels a level record has room for (a stream has at most 255).
constexpr int PLAYER_LEVEL_CHANNELS = 256;
// The level of silence, and the bounds of every level.
constexpr int PLAYER_LEVEL_MIN = -127;
constexpr int PLAYER_LEVEL_MAX = 127;

// One level per channel, in dB against PLAYER_LEVEL_REFERENCE.
struct LSoundLevels
{
    uint8_t nChannels;
    int8_t nLevel[PLAYER_LEVEL_CHANNELS];
};

// The mean square that reads 0 dB.
constexpr double PLAYER_LEVEL_REFERENCE = 8388626.0;

// Frames of one device buffer: a tenth of a second, within 20...8192.
int PlayerBlockFrames(int32_t rate);

// Mean square of channel `channel` of `frames` interleaved 16-bit frames, each
// sample shifted right by 5 first. The squares are summed as a high and a low
// part so that no sum of a whole buffer overflows; 0 for no frames.
int64_t PlayerMeanSquare(const int16_t* samples, int frames, int channels, int channel);

// 10 log10(meanSquare / PLAYER_LEVEL_REFERENCE), rounded half away from zero
// and held within -127...127; a mean square of 0 (or less) is -127.
int8_t PlayerLevel(double meanSquare);

// The levels of every channel of a buffer of 16-bit frames.
void PlayerLevels(const int16_t* samples, int frames, int channels, LSoundLevels& levels);
