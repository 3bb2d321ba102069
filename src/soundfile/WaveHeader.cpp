#include "soundfile/WaveHeader.h"

#include <cstring>

namespace {

void Put16(uint8_t* at, uint16_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* at, uint32_t v)
{
    Put16(at, static_cast<uint16_t>(v));
    Put16(at + 2, static_cast<uint16_t>(v >> 16));
}

} // namespace

void MakeWaveHeader(uint8_t (&header)[WAVE_HEADER_SIZE], uint16_t channels, uint32_t rate, uint16_t bytesPerSample,
                    uint32_t dataSize)
{
    const uint16_t blockAlign = static_cast<uint16_t>(channels * bytesPerSample);
    memcpy(header, "RIFF", 4);
    Put32(header + 4, dataSize == WAVE_SIZE_UNKNOWN ? WAVE_SIZE_UNKNOWN : dataSize + WAVE_HEADER_SIZE - 8);
    memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 18);
    Put16(header + 20, 1);
    Put16(header + 22, channels);
    Put32(header + 24, rate);
    Put32(header + 28, rate * blockAlign);
    Put16(header + 32, blockAlign);
    Put16(header + 34, static_cast<uint16_t>(bytesPerSample * 8));
    Put16(header + 36, 0);
    memcpy(header + 38, "data", 4);
    Put32(header + 42, dataSize);
}
