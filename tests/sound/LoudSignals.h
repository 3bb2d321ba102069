// Full-scale signals as a rip writes them (44100 Hz stereo, both channels
// alike, so that a mono mix stays full scale), and a count of the output
// samples that come out with the wrong sign, taken only where the sign is
// certain whatever the filter does to the signal's shape.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sound/LResampleFilter.h"

enum class Loud
{
    Sine,     // 1 kHz at 0 dBFS
    Square,   // full scale, 441 Hz
    Constant, // 99% of full scale
};

constexpr int LOUD_RATE = 44100;
constexpr int LOUD_FRAMES = 11025;
constexpr int LOUD_SQUARE_PERIOD = 100;
// Input frames on either side of an output frame that its taps reach.
constexpr double LOUD_REACH = RESAMPLE_TAPS / 2 + 1;

inline const char* LoudName(Loud kind)
{
    return kind == Loud::Sine ? "sine" : kind == Loud::Square ? "square" : "constant";
}

inline int32_t LoudSample(Loud kind, int frame)
{
    switch (kind)
    {
    case Loud::Sine:
        return static_cast<int32_t>(std::lround(32767 * std::sin(2 * 3.14159265358979323846 * 1000 * frame / LOUD_RATE))) * 16;
    case Loud::Square:
        return (frame % LOUD_SQUARE_PERIOD < LOUD_SQUARE_PERIOD / 2 ? 32767 : -32768) * 16;
    case Loud::Constant:
        break;
    }
    return 32439 * 16;
}

inline std::vector<int32_t> LoudFrames(Loud kind)
{
    std::vector<int32_t> v(static_cast<size_t>(LOUD_FRAMES) * 2);
    for (int i = 0; i < LOUD_FRAMES; ++i)
        v[2 * i] = v[2 * i + 1] = LoudSample(kind, i);
    return v;
}

// The sign an output sample at input time `t` must have: 0 where it may
// rightly be either (near the ends, the square's edges, the sine's zeros).
inline int LoudSign(Loud kind, double t)
{
    if (t < 2 * LOUD_REACH || t > LOUD_FRAMES - 2 * LOUD_REACH)
        return 0;
    switch (kind)
    {
    case Loud::Sine:
    {
        const double s = std::sin(2 * 3.14159265358979323846 * 1000 * t / LOUD_RATE);
        return s >= 0.5 ? 1 : s <= -0.5 ? -1 : 0;
    }
    case Loud::Square:
    {
        // Edges fall half-way between frames 49 and 50, 99 and 100, ...
        const double half = LOUD_SQUARE_PERIOD / 2;
        const double intoHalf = std::fmod(t + 0.5, half);
        if (intoHalf < LOUD_REACH || intoHalf > half - LOUD_REACH)
            return 0;
        return std::fmod(t + 0.5, LOUD_SQUARE_PERIOD) < half ? 1 : -1;
    }
    case Loud::Constant:
        break;
    }
    return 1;
}

struct SignCount
{
    int checked = 0;
    int flipped = 0;
};

// `centred` holds the output, interleaved, with 0 for silence (an 8-bit
// file's bytes less 128); output frame n falls on input time n * step / phases.
inline SignCount LoudSignFlips(Loud kind, const std::vector<int>& centred, int channels, int step, int phases)
{
    SignCount count;
    for (size_t i = 0; i < centred.size(); ++i)
    {
        const int sign = LoudSign(kind, double(i / channels) * step / phases);
        if (sign == 0)
            continue;
        ++count.checked;
        if (centred[i] * sign <= 0)
            ++count.flipped;
    }
    return count;
}

// Samples of an unconverted square that are not the extremes of `bits`.
inline int LoudSquareMissed(const std::vector<int>& centred, int channels, int bits)
{
    int missed = 0;
    for (size_t i = 0; i < centred.size(); ++i)
    {
        const bool high = (i / channels) % LOUD_SQUARE_PERIOD < LOUD_SQUARE_PERIOD / 2;
        if (centred[i] != (bits == 8 ? (high ? 127 : -128) : (high ? 32767 : -32768)))
            ++missed;
    }
    return missed;
}

struct LoudFormat
{
    int32_t rate;
    int bits;
    uint8_t channels;
};

const LoudFormat loudFormats[] = {
    {44100, 16, 2}, {44100, 16, 1}, {44100, 8, 2}, {44100, 8, 1},
    {48000, 16, 2}, {48000, 16, 1}, {48000, 8, 2}, {48000, 8, 1},
    {22050, 16, 2}, {22050, 16, 1}, {22050, 8, 2}, {22050, 8, 1},
    {8000, 16, 2}, {8000, 16, 1}, {8000, 8, 2}, {8000, 8, 1},
};

const Loud loudKinds[] = {Loud::Sine, Loud::Square, Loud::Constant};

// What a rip of `kind` into format `f` must keep, given its narrowed samples
// centred on 0: no sample of the wrong sign, and at the CD's own rate the
// square's extremes stay the extremes.
inline void ExpectLoudSignalKept(Loud kind, const LoudFormat& f, const std::vector<int>& centred)
{
    const LResampleFilter filter(f.rate, LOUD_RATE);
    const SignCount signs = LoudSignFlips(kind, centred, f.channels, filter.step, filter.phases);
    EXPECT_GT(signs.checked, int(centred.size() / 3));
    EXPECT_EQ(0, signs.flipped) << "of " << signs.checked;
    if (f.rate == LOUD_RATE && kind == Loud::Square)
    {
        EXPECT_EQ(size_t(LOUD_FRAMES) * f.channels, centred.size());
        EXPECT_EQ(0, LoudSquareMissed(centred, f.channels, f.bits));
    }
}
