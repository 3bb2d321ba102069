#include "sound/LResampleKernel.h"

#include <emmintrin.h>

#include "sound/LResampleFilter.h"
#include "sound/SampleFormat.h"

namespace {

// The three partial sums of one output sample, four lanes each: the high
// halves of all taps, and the low halves of taps 0-7 and 8-15 apart, since
// each of those two is halved (rounded down) on its own.
struct Partial
{
    __m128i high;
    __m128i low0;
    __m128i low1;
};

struct Coefficients
{
    __m128i high0, high1, low0, low1;
};

inline Coefficients LoadRow(const LResampleRow& row)
{
    const __m128i* high = reinterpret_cast<const __m128i*>(row.high);
    const __m128i* low = reinterpret_cast<const __m128i*>(row.low);
    return {_mm_loadu_si128(high), _mm_loadu_si128(high + 1), _mm_loadu_si128(low), _mm_loadu_si128(low + 1)};
}

inline Partial Taps(const Coefficients& k, const int16_t* x)
{
    const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
    const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8));
    return {_mm_add_epi32(_mm_madd_epi16(x0, k.high0), _mm_madd_epi16(x1, k.high1)), _mm_madd_epi16(x0, k.low0),
        _mm_madd_epi16(x1, k.low1)};
}

// [a0+a2, b0+b2, a1+a3, b1+b3]: half of the sum of four vectors' lanes.
inline __m128i PairSum(__m128i a, __m128i b)
{
    return _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
}

// From PairSum(a, b) and PairSum(c, d): the lane sums [a, b, c, d].
inline __m128i QuadSum(__m128i ab, __m128i cd)
{
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}

struct PairSums
{
    __m128i high, low0, low1;
};

inline PairSums Pair(const Partial& a, const Partial& b)
{
    return {PairSum(a.high, b.high), PairSum(a.low0, b.low0), PairSum(a.low1, b.low1)};
}

// Each lane held within [lowest, highest]; SSE2 has no 32-bit min and max.
inline __m128i Clamp(__m128i v, int32_t lowest, int32_t highest)
{
    const __m128i top = _mm_set1_epi32(highest);
    const __m128i bottom = _mm_set1_epi32(lowest);
    const __m128i over = _mm_cmpgt_epi32(v, top);
    v = _mm_or_si128(_mm_and_si128(over, top), _mm_andnot_si128(over, v));
    const __m128i under = _mm_cmplt_epi32(v, bottom);
    return _mm_or_si128(_mm_and_si128(under, bottom), _mm_andnot_si128(under, v));
}

// With S = 256 * high + low for each half:
//   (S0 >> 1) + (S1 >> 1) + 1024 = 128 * high + r,  r = (low0 >> 1) + (low1 >> 1) + 1024,
// and (128 * high + r) >> 11 = (high + (r >> 7)) >> 4.
// The filter passes a constant at up to 1.011 and can lift a full-scale
// signal's peaks further still, so the result is held within 16 bits.
inline __m128i Finish(const PairSums& first, const PairSums& second)
{
    const __m128i high = QuadSum(first.high, second.high);
    const __m128i low0 = QuadSum(first.low0, second.low0);
    const __m128i low1 = QuadSum(first.low1, second.low1);
    const __m128i r = _mm_add_epi32(_mm_add_epi32(_mm_srai_epi32(low0, 1), _mm_srai_epi32(low1, 1)), _mm_set1_epi32(1024));
    return Clamp(_mm_srai_epi32(_mm_add_epi32(high, _mm_srai_epi32(r, 7)), 4), SAMPLE_FLOOR_16BIT, SAMPLE_PEAK_16BIT);
}

// Position of the next output frame: phase += step, the whole input frames
// carried into `frame`.
struct Cursor
{
    int frame;
    int phase;
    int written;
    int whole;
    int rest;
    int phases;
    int avail;
    int maxFrames;

    bool More() const { return frame < avail && written < maxFrames; }
    void Advance()
    {
        ++written;
        frame += whole;
        phase += rest;
        if (phase >= phases)
        {
            phase -= phases;
            ++frame;
        }
    }
};

// One output sample of every channel of the cursor's frame, then moves on.
template <int CHANNELS>
inline void Frame(const LResampleRun& run, Cursor& at, Partial* out)
{
    const Coefficients k = LoadRow(run.rows[at.phase]);
    for (int ch = 0; ch < CHANNELS; ++ch)
        out[ch] = Taps(k, run.planes + ch * run.planeStride + at.frame);
    at.Advance();
}

// Four output samples a group: two stereo frames or four mono ones.
template <int CHANNELS>
int Run(const LResampleRun& run, int& frame, int& phase, int32_t* out, int maxFrames)
{
    Cursor at = {frame, phase, 0, run.step / run.phases, run.step % run.phases, run.phases, run.avail, maxFrames};
    while (at.More())
    {
        const int groupStart = at.written;
        Partial p[4];
        for (int i = 0; i < 4; i += CHANNELS)
        {
            if (at.More())
                Frame<CHANNELS>(run, at, p + i);
            else
                for (int ch = 0; ch < CHANNELS; ++ch)
                    p[i + ch] = Partial{};
        }
        const __m128i samples = Finish(Pair(p[0], p[1]), Pair(p[2], p[3]));
        const int n = (at.written - groupStart) * CHANNELS;
        if (n == 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), samples);
        else
        {
            alignas(16) int32_t last[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(last), samples);
            for (int i = 0; i < n; ++i)
                out[i] = last[i];
        }
        out += n;
    }
    frame = at.frame;
    phase = at.phase;
    return at.written;
}

} // namespace

void ResampleSplitRows(const LResampleFilter& filter, LResampleRow* rows)
{
    for (int j = 0; j < filter.phases; ++j)
    {
        const int32_t* c = filter.Row(j);
        for (int k = 0; k < 16; ++k)
        {
            const int32_t v = k < RESAMPLE_TAPS ? c[k] : 0;
            rows[j].high[k] = static_cast<int16_t>(v >> 8);
            rows[j].low[k] = static_cast<int16_t>(v & 255);
        }
    }
}

void ResampleLoad(const int32_t* frames, int count, int channels, int16_t* planes, int planeStride, int at)
{
    for (int ch = 0; ch < channels; ++ch)
    {
        int16_t* plane = planes + ch * planeStride + at;
        const int32_t* in = frames + ch;
        for (int i = 0; i < count; ++i)
        {
            const int32_t v = in[i * channels] >> 4;
            plane[i] = static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
        }
    }
}

int ResampleRunFrames(const LResampleRun& run, int& frame, int& phase, int32_t* out, int maxFrames)
{
    return run.channels == 1 ? Run<1>(run, frame, phase, out, maxFrames) : Run<2>(run, frame, phase, out, maxFrames);
}
