#include "sound/SampleBlocks.h"

#include <emmintrin.h>

#include "sound/SampleFormat.h"

void SamplesFrom16LE(const uint8_t* bytes, int count, int32_t* samples)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i));
        // Each sample into the upper half of a lane, then shifted down arithmetically
        // by 12: sign-extended and times 16 in one step.
        const __m128i zero = _mm_setzero_si128();
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(zero, in), 12);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(zero, in), 12);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i + 4), high);
    }
    for (; i < count; ++i)
        samples[i] = SampleFrom16(static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
}

void SamplesTo16LE(const int32_t* samples, int count, uint8_t* bytes)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        // (v + 8) >> 4 is (v >> 4) plus bit 3 of v, which cannot overflow as
        // the sum can; the signed pack then holds the result at the 16-bit ends.
        const __m128i bit3 = _mm_set1_epi32(8);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i + 4));
        const __m128i ra = _mm_add_epi32(_mm_srai_epi32(a, 4), _mm_srli_epi32(_mm_and_si128(a, bit3), 3));
        const __m128i rb = _mm_add_epi32(_mm_srai_epi32(b, 4), _mm_srli_epi32(_mm_and_si128(b, bit3), 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 2 * i), _mm_packs_epi32(ra, rb));
    }
    for (; i < count; ++i)
    {
        const uint16_t v = static_cast<uint16_t>(SampleTo16(samples[i]));
        bytes[2 * i] = static_cast<uint8_t>(v);
        bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
}
