// The polyphase windowed-sinc table of the rate converter: `phases` rows of
// RESAMPLE_TAPS coefficients in Q16 (65536 = 1.0). Each output frame moves the
// input on by step / phases frames, so the output rate is approximate where
// the ratio of the two rates needs more than 255 phases.
#pragma once

#include <cstdint>

constexpr int RESAMPLE_TAPS = 15;
constexpr int RESAMPLE_MAX_PHASES = 255;
// One output frame moves the input on by at most this many frames, so that the
// frames the converter keeps after a block never run short.
constexpr int RESAMPLE_MAX_ADVANCE = RESAMPLE_TAPS + 1;

class LResampleFilter
{
public:
    // `outRate` is the sink's rate, `inRate` the data's; both > 0. A pair
    // whose step is under one input frame or over RESAMPLE_MAX_ADVANCE gets
    // its phases and step but no table, and the converter refuses it; the
    // design's cut-off would reach zero for the widest of those ratios.
    LResampleFilter(int32_t outRate, int32_t inRate);
    ~LResampleFilter();
    LResampleFilter(const LResampleFilter&) = delete;
    LResampleFilter& operator=(const LResampleFilter&) = delete;

    bool HasTable() const { return coefficients != nullptr; }
    // Row of RESAMPLE_TAPS coefficients for `phase` (0 <= phase < phases).
    const int32_t* Row(int phase) const { return coefficients + phase * RESAMPLE_TAPS; }

    int phases;
    int step;
    // Cut-off as a fraction of the input Nyquist frequency, and the Kaiser beta.
    double fc = 0;
    double beta = 0;
    int32_t* coefficients = nullptr;
};
