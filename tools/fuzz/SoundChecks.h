// A sink that keeps what reaches it, and the inputs the sound targets feed
// the converters: the input's own samples, or full-scale tones.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "sound/LSoundStream.h"

class KeepingSink : public LSoundSinkBase
{
public:
    KeepingSink(int32_t rate, uint8_t channels) : LSoundSinkBase(rate, channels) {}
    void Write(const int32_t* frames, int count) override
    {
        FUZZ_CHECK(count >= 0 && count <= BRIDGE_BLOCK_FRAMES);
        nWritten += count;
        samples.insert(samples.end(), frames, frames + static_cast<std::size_t>(count) * nChannels);
    }
    void Seek(int frame) override
    {
        nWritten = frame < nWritten ? frame : nWritten;
        ++nSeeks;
    }

    std::vector<int32_t> samples;
    int nSeeks = 0;
};

// `frames` frames of `channels`: a full-scale square or sine (0 dBFS and
// beyond: `gain` eighths of full scale) of `period` frames, or the samples
// the input holds.
inline std::vector<int32_t> MakeFrames(FuzzInput& input, int channels, int frames)
{
    const uint8_t kind = input.Byte() % 3;
    const int period = 2 + input.U16() % 2000;
    const int gain = 1 + input.Byte() % 16;
    std::vector<int32_t> samples(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int ch = 0; ch < channels; ++ch)
        {
            int32_t v;
            if (kind == 0)
                v = (i % period) * 2 < period ? SAMPLE_PEAK_16BIT : SAMPLE_FLOOR_16BIT;
            else if (kind == 1)
                v = static_cast<int32_t>(std::lround(std::sin(6.283185307179586 * i / period) * 524288.0));
            else
                v = input.I32();
            if (kind != 2)
                v = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, std::max<int64_t>(INT32_MIN, int64_t(v) * gain / 8)));
            samples[static_cast<std::size_t>(i) * channels + ch] = v;
        }
    return samples;
}
