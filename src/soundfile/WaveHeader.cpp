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

uint16_t WaveRecordExtraSize(const uint8_t* record) { return static_cast<uint16_t>(record[16] | record[17] << 8); }

void MakePcmRecord(uint8_t (&record)[WAVE_RECORD_BASE_SIZE], uint16_t channels, uint32_t rate,
                   uint16_t bytesPerSample)
{
    const uint16_t blockAlign = static_cast<uint16_t>(channels * bytesPerSample);
    Put16(record, 1);
    Put16(record + 2, channels);
    Put32(record + 4, rate);
    Put32(record + 8, rate * blockAlign);
    Put16(record + 12, blockAlign);
    Put16(record + 14, static_cast<uint16_t>(bytesPerSample * 8));
    Put16(record + 16, 0);
}

void MakeWaveHeader(uint8_t* header, const uint8_t* record, uint32_t dataSize)
{
    const uint32_t recordSize = WAVE_RECORD_BASE_SIZE + WaveRecordExtraSize(record);
    uint8_t* data = header + 20 + recordSize;
    memcpy(header, "RIFF", 4);
    Put32(header + 4, dataSize == WAVE_SIZE_UNKNOWN ? WAVE_SIZE_UNKNOWN : dataSize + 20 + recordSize);
    memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, recordSize);
    memcpy(header + 20, record, recordSize);
    memcpy(data, "data", 4);
    Put32(data + 4, dataSize);
}

void MakeWaveHeader(uint8_t (&header)[WAVE_HEADER_SIZE], uint16_t channels, uint32_t rate, uint16_t bytesPerSample,
                    uint32_t dataSize)
{
    uint8_t record[WAVE_RECORD_BASE_SIZE];
    MakePcmRecord(record, channels, rate, bytesPerSample);
    MakeWaveHeader(header, record, dataSize);
}
