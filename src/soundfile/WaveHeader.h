// The headers of the WAV files the program writes: RIFF, a "fmt " block that
// holds a wave-format record (18 bytes and its cbSize codec bytes) and "data",
// with no other chunk and no pad byte. PCM records have cbSize 0, which makes
// the 46-byte header of a PCM file.
#pragma once

#include <cstddef>
#include <cstdint>

// A wave-format record without its codec bytes: tag, channels, rate, bytes
// per second, block align, bits per sample and cbSize, little-endian.
constexpr int WAVE_RECORD_BASE_SIZE = 18;
constexpr int WAVE_HEADER_SIZE = 46;
// Both size fields hold this while the file is being written, so that a file
// left behind by an interrupted write reads as audio of unknown length.
constexpr uint32_t WAVE_SIZE_UNKNOWN = 0xFFFFFFFF;

// The cbSize field of a record.
uint16_t WaveRecordExtraSize(const uint8_t* record);
// The header of a file in the record's format: 46 + cbSize bytes.
inline std::size_t WaveHeaderSize(uint16_t extraSize) { return WAVE_HEADER_SIZE + std::size_t(extraSize); }

// The record of 16-bit or 8-bit PCM; the channels and rate a codec is fed
// are those of its own record.
void MakePcmRecord(uint8_t (&record)[WAVE_RECORD_BASE_SIZE], uint16_t channels, uint32_t rate,
                   uint16_t bytesPerSample);

// Writes the header for `record` (18 + cbSize bytes) into `header`, which
// holds WaveHeaderSize(cbSize) bytes; `dataSize` of WAVE_SIZE_UNKNOWN writes
// the open-state header.
void MakeWaveHeader(uint8_t* header, const uint8_t* record, uint32_t dataSize);
// The same for PCM: the 46-byte header.
void MakeWaveHeader(uint8_t (&header)[WAVE_HEADER_SIZE], uint16_t channels, uint32_t rate, uint16_t bytesPerSample,
                    uint32_t dataSize);
