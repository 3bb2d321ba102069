// The pipeline's sample form: interleaved frames of signed 32-bit samples at
// 16 times the 16-bit scale.
#pragma once

#include <cstdint>

// No caller hands more frames than this to one Read or Write.
constexpr int BRIDGE_BLOCK_FRAMES = 8192;
// The largest and smallest samples that still fit 16 bits (0x7FFF << 4 and
// -0x8000 << 4, which is also the smallest 8-bit one, -0x80 << 12).
constexpr int32_t SAMPLE_PEAK_16BIT = 524272;
constexpr int32_t SAMPLE_FLOOR_16BIT = -524288;
// The smallest sample that rounds to the largest 8-bit one (127 << 12).
constexpr int32_t SAMPLE_PEAK_8BIT = 520192;
// The placeholder source's bound: above anything real, so nothing trusts it.
constexpr int32_t SAMPLE_PEAK_PLACEHOLDER = 0x200000;

inline int32_t SampleFrom16(int16_t s) { return static_cast<int32_t>(s) * 16; }
inline int32_t SampleFrom8(uint8_t u) { return (static_cast<int32_t>(u) - 128) * 4096; }
// Rounded to the nearest, and held at the ends of the narrower range: a sample
// beyond it must clip, not wrap round to the other sign.
inline int16_t SampleTo16(int32_t v)
{
    if (v >= SAMPLE_PEAK_16BIT)
        return 32767;
    if (v <= SAMPLE_FLOOR_16BIT)
        return -32768;
    return static_cast<int16_t>((v + 8) >> 4);
}
inline uint8_t SampleTo8(int32_t v)
{
    if (v >= SAMPLE_PEAK_8BIT)
        return 255;
    if (v <= SAMPLE_FLOOR_16BIT)
        return 0;
    return static_cast<uint8_t>(((v + 2048) >> 12) + 128);
}
