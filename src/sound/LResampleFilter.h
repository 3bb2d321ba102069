// The polyphase windowed-sinc table of the rate converter: `phases` rows of
// RESAMPLE_TAPS coefficients in Q16 (65536 = 1.0). Each output frame moves the
// input on by step / phases frames, so the output rate is approximate where
// the ratio of the two rates needs more than 255 phases.
#pragma once

#include <cstdint>

constexpr int RESAMPLE_TAPS = 15;
constexpr int RESAMPLE_MAX_PHASES = 255;

class LResampleFilter
{
public:
    // `outRate` is the sink's rate, `inRate` the data's; both > 0.
    LResampleFilter(int32_t outRate, int32_t inRate);
    ~LResampleFilter();
    LResampleFilter(const LResampleFilter&) = delete;
    LResampleFilter& operator=(const LResampleFilter&) = delete;

    // Row of RESAMPLE_TAPS coefficients for `phase` (0 <= phase < phases).
    const int32_t* Row(int phase) const { return coefficients + phase * RESAMPLE_TAPS; }

    int phases;
    int step;
    // Cut-off as a fraction of the input Nyquist frequency, and the Kaiser beta.
    double fc;
    double beta;
    int32_t* coefficients;
};
