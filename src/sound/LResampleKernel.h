// The rate converter's inner loop, in SSE2. Samples are 16-bit, one plane per
// channel. A half sum of whole Q16 coefficients times full-scale samples can
// pass 2^31, so each coefficient is split as 256 * high + low, |high| <= 256
// and low in 0..255: 16 products of either part stay far inside 32 bits, and
// the result is exactly that of the whole coefficients summed without overflow:
//   S0 = taps 0-7, S1 = taps 8-14, out = ((S0 >> 1) + (S1 >> 1) + 1024) >> 11,
// then held within the 16-bit range.
#pragma once

#include <cstdint>

class LResampleFilter;

// One phase's taps, padded from 15 to 16 with a zero.
struct LResampleRow
{
    int16_t high[16];
    int16_t low[16];
};

// Fills `phases` rows from the filter's Q16 coefficients.
void ResampleSplitRows(const LResampleFilter& filter, LResampleRow* rows);

// Appends `count` interleaved frames of `channels` (1 or 2) to the planes at
// frame `at`, back at 16-bit scale (>> 4) and clamped to 16 bits.
void ResampleLoad(const int32_t* frames, int count, int channels, int16_t* planes, int planeStride, int at);

struct LResampleRun
{
    const LResampleRow* rows;
    int phases;
    int step;
    int channels; // 1 or 2
    const int16_t* planes;
    int planeStride;
    // Output frames are made while frame < avail (frame + 15 must be buffered).
    int avail;
};

// Makes output frames from input frame `frame` at `phase` until `frame`
// reaches run.avail or `maxFrames` frames are written (interleaved, at the
// pipeline's scale, held within 16 bits). Returns the count; `frame` and
// `phase` move on.
int ResampleRunFrames(const LResampleRun& run, int& frame, int& phase, int32_t* out, int maxFrames);
