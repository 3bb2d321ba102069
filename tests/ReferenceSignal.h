// The signal the checksum tables of the exact-ripping references are computed
// on, made without a file: frame i holds left 7i and right 13i + 1, modulo
// 65536, as 16-bit little-endian samples (the first bytes are 00 00 01 00
// 07 00 0e 00).
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> ReferenceSignal(uint32_t nFrames)
{
    std::vector<uint8_t> pcm(std::size_t(nFrames) * 4);
    for (uint32_t i = 0; i < nFrames; ++i)
    {
        const uint16_t left = uint16_t(7 * i);
        const uint16_t right = uint16_t(13 * i + 1);
        pcm[4 * i] = uint8_t(left);
        pcm[4 * i + 1] = uint8_t(left >> 8);
        pcm[4 * i + 2] = uint8_t(right);
        pcm[4 * i + 3] = uint8_t(right >> 8);
    }
    return pcm;
}
