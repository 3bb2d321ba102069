// The 46-byte header of the PCM WAV files the program writes: RIFF, an 18-byte
// "fmt " block and "data", with no other chunk and no pad byte.
#pragma once

#include <cstdint>

constexpr int WAVE_HEADER_SIZE = 46;
// Both size fields hold this while the file is being written, so that a file
// left behind by an interrupted write reads as audio of unknown length.
constexpr uint32_t WAVE_SIZE_UNKNOWN = 0xFFFFFFFF;

// `dataSize` of WAVE_SIZE_UNKNOWN writes the open-state header.
void MakeWaveHeader(uint8_t (&header)[WAVE_HEADER_SIZE], uint16_t channels, uint32_t rate, uint16_t bytesPerSample,
                    uint32_t dataSize);
