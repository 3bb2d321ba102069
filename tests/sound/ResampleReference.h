// The rate conversion of a whole signal written out plainly, to hold the
// converter against: 7 zero frames ahead of the data, the flush's 8 behind it,
// and per output sample the sums of taps 0-7 and 8-14, each halved, added with
// 1024, shifted down by 11 and held within the 16-bit range.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sound/LResampleFilter.h"

enum class HalfSums
{
    Wide,       // 64-bit: never overflows
    Wrapping32, // 32-bit, as the sums were first written, wrapping on overflow
};

struct ReferenceOutput
{
    std::vector<int32_t> samples;
    // Some 32-bit sum went out of range (only Wide gets these right).
    bool bOverflow = false;
};

inline int32_t Wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

inline ReferenceOutput ResampleReference(const LResampleFilter& filter, const std::vector<int32_t>& data, int channels,
    HalfSums sums)
{
    const int lead = 7;
    const int frames = static_cast<int>(data.size()) / channels;
    std::vector<int64_t> x(static_cast<size_t>(lead + frames + 8) * channels, 0);
    for (size_t i = 0; i < data.size(); ++i)
        x[lead * channels + i] = data[i] >> 4;
    const int avail = lead + frames + 8 - RESAMPLE_TAPS;

    ReferenceOutput out;
    auto fits = [&](int64_t v) {
        if (v != Wrap32(v))
            out.bOverflow = true;
        return sums == HalfSums::Wide ? v : Wrap32(v);
    };
    int c = 0;
    int phase = 0;
    while (c < avail)
    {
        const int32_t* row = filter.Row(phase);
        for (int ch = 0; ch < channels; ++ch)
        {
            int64_t half[2] = {0, 0};
            for (int k = 0; k < RESAMPLE_TAPS; ++k)
                half[k < 8 ? 0 : 1] = fits(half[k < 8 ? 0 : 1] + row[k] * x[(c + k) * channels + ch]);
            const int64_t total = fits(fits((half[0] >> 1) + (half[1] >> 1)) + 1024);
            out.samples.push_back(static_cast<int32_t>(std::clamp<int64_t>(total >> 11, -524288, 524272)));
        }
        phase += filter.step;
        c += phase / filter.phases;
        phase %= filter.phases;
    }
    return out;
}
