// What a rip log says of a track's audio: the CRC-32 of its PCM bytes and its
// peak level, taken as the frames go by (16-bit little-endian stereo).
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/Crc.h"

class TrackAudioStats
{
public:
    void Add(const uint8_t* pcm, uint32_t nFrames)
    {
        crc = Crc32(crc, pcm, std::size_t(nFrames) * 4);
        for (uint32_t i = 0; i < nFrames * 2; ++i)
        {
            const int sample = int16_t(uint16_t(pcm[2 * i] | pcm[2 * i + 1] << 8));
            const int magnitude = sample < 0 ? -sample : sample;
            if (magnitude > peak)
                peak = magnitude;
        }
    }

    uint32_t Crc() const { return crc; }
    // The loudest sample, 0 to 32768 (full scale, -32768, counts as 32768).
    int Peak() const { return peak; }

private:
    uint32_t crc = 0;
    int peak = 0;
};
